// Windows part of the console: the standard output handle, its text
// attributes, and the debugger output.
#include "Src/Platform/Console.h"

#include "Src/Platform/HostParts.h"

#include <windows.h>

namespace Orvane {
namespace Platform {

ConsoleHandle standardOutputHandle() {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    // A process without standard output still gets a handle the calls accept.
    return handle != nullptr ? handle : INVALID_HANDLE_VALUE;
}

bool standardOutputIsTerminal() {
    static const bool terminal = [] {
        DWORD mode = 0;
        return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    }();
    return terminal;
}

bool Host::shownTextAttribute(ConsoleHandle console, std::uint16_t& attribute) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(static_cast<HANDLE>(console), &info)) {
        return false;
    }
    attribute = static_cast<std::uint16_t>(info.wAttributes);
    return true;
}

void Host::showTextAttribute(ConsoleHandle console, std::uint16_t attribute) {
    SetConsoleTextAttribute(static_cast<HANDLE>(console), attribute);
}

void debuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

} // namespace Platform
} // namespace Orvane
