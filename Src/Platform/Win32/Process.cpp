// Windows realisation of the process family: the process id and command
// lines started as new processes.
#include "Src/Platform/Process.h"

#include <cstring>
#include <new>

#include <windows.h>

namespace Orvane {
namespace Platform {

std::uint64_t currentProcessId() {
    return static_cast<std::uint64_t>(GetCurrentProcessId());
}

bool runCommandLine(const char* commandLine) {
    // A line of blanks names no program.
    if (commandLine == nullptr || commandLine[std::strspn(commandLine, " \t")] == '\0') {
        return false;
    }
    // The line goes to the new process whole, as the caller wrote it: no
    // shell in front, no handles inherited, default start-up settings.
    // CreateProcessA may write into the line, so it gets a copy.
    std::string line;
    try {
        line = commandLine;
    } catch (const std::bad_alloc&) {
        return false; // as CreateProcessA itself fails for want of memory
    }
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace Platform
} // namespace Orvane
