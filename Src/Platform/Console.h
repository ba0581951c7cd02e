// The platform's console: the process's standard output, its text
// attributes, and the debugger channel.
//
// Attributes use the Windows encoding (blue 1, green 2, red 4, intensity 8;
// 7 is the plain grey). Where standard output is not a terminal, attributes
// are remembered but nothing is written for them.
#ifndef DOZUV2_PLATFORM_CONSOLE_H
#define DOZUV2_PLATFORM_CONSOLE_H

#include <cstdint>

namespace Orvane {
namespace Platform {

using ConsoleHandle = void*;
// The standard output handle; never null.
ConsoleHandle standardOutputHandle();
// The attribute last set through this layer (7 at start).
std::uint16_t consoleTextAttribute(ConsoleHandle console);
// Records the attribute and shows it on a terminal.
void setConsoleTextAttribute(ConsoleHandle console, std::uint16_t attribute);
// Whether standard output is a terminal (colours are shown only then).
bool standardOutputIsTerminal();

// Text for an attached debugger; nothing on hosts without such a channel.
void debuggerOutput(const char* text);

} // namespace Platform
} // namespace Orvane

#endif
