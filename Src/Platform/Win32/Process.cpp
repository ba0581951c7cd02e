// Windows realisation of the process family: the process id and command
// lines started as new processes.
#include "Src/Platform/Process.h"

#include <cstring>

#include <windows.h>

namespace Orvane {
namespace Platform {

std::uint64_t currentProcessId() {
    return static_cast<std::uint64_t>(GetCurrentProcessId());
}

bool runCommandLine(const char* commandLine) {
    if (commandLine == nullptr || commandLineArguments(commandLine).empty()) {
        return false;
    }
    // The line goes to the new process whole, as the caller wrote it: no
    // shell in front, no handles inherited, default start-up settings.
    // CreateProcessA may write into the line, so it gets a copy.
    Common::String line = commandLine;
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
