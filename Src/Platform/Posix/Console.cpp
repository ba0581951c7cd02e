// POSIX realisation of the console: standard output, colours as ANSI escapes,
// and the (absent) debugger channel.
#include "Platform/Console.h"

#include <atomic>
#include <cstdio>

#include <unistd.h>

namespace Orvane {
namespace Platform {

namespace {

// The attribute last set; 7 (grey) is the console's plain text.
std::atomic<std::uint16_t> g_attribute{7};

} // namespace

ConsoleHandle standardOutputHandle() {
    return stdout;
}

bool standardOutputIsTerminal() {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}

std::uint16_t consoleTextAttribute(ConsoleHandle) {
    return g_attribute.load(std::memory_order_relaxed);
}

void setConsoleTextAttribute(ConsoleHandle console, std::uint16_t attribute) {
    g_attribute.store(attribute, std::memory_order_relaxed);
    if (!standardOutputIsTerminal()) {
        return;
    }
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
