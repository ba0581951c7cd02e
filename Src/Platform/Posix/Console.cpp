// POSIX part of the console: standard output, colours as ANSI escapes, and
// the (absent) debugger channel.
#include "Src/Platform/Console.h"

#include "Src/Platform/HostParts.h"

#include <cstdio>

#include <unistd.h>

namespace Orvane {
namespace Platform {

ConsoleHandle standardOutputHandle() {
    return stdout;
}

bool standardOutputIsTerminal() {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}

bool Host::shownTextAttribute(ConsoleHandle, std::uint16_t&) {
    // A terminal cannot be asked its colours; the attribute last set stands.
    return false;
}

void Host::showTextAttribute(ConsoleHandle console, std::uint16_t attribute) {
    // Windows orders the colour bits blue, green, red; ANSI orders them red,
    // green, blue.
    const unsigned colour = attribute & 7u;
    const unsigned ansi = ((colour & 4u) ? 1u : 0u) | (colour & 2u) | ((colour & 1u) ? 4u : 0u);
    FILE* out = static_cast<FILE*>(console);
    if (attribute == 7) {
        std::fputs("\033[0m", out);
    } else {
        std::fprintf(out, "\033[%s3%um", (attribute & 8u) ? "1;" : "", ansi);
    }
}

void debuggerOutput(const char*) {}

} // namespace Platform
} // namespace Orvane
