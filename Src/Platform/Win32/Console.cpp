// Windows realisation of the console: the standard output handle, its text
// attributes, and the debugger output.
#include "Platform/Console.h"

#include <atomic>

#include <windows.h>

namespace Orvane {
namespace Platform {

namespace {

// The attribute last set; 7 (grey) is the console's plain text. Kept for
// output that is not a console, where the host has none to report.
std::atomic<std::uint16_t> g_attribute{7};

} // namespace

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

std::uint16_t consoleTextAttribute(ConsoleHandle console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (standardOutputIsTerminal() && GetConsoleScreenBufferInfo(static_cast<HANDLE>(console), &info)) {
        return static_cast<std::uint16_t>(info.wAttributes);
    }
    return g_attribute.load(std::memory_order_relaxed);
}

void setConsoleTextAttribute(ConsoleHandle console, std::uint16_t attribute) {
    g_attribute.store(attribute, std::memory_order_relaxed);
    if (standardOutputIsTerminal()) {
        SetConsoleTextAttribute(static_cast<HANDLE>(console), attribute);
    }
}

void debuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

} // namespace Platform
} // namespace Orvane
