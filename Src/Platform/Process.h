// The platform's process: its id, starting command lines and the handlers
// that run when it exits.
#ifndef DOZUV2_PLATFORM_PROCESS_H
#define DOZUV2_PLATFORM_PROCESS_H

#include <cstdint>
#include <string>
#include <vector>

namespace Orvane {
namespace Platform {

// The process's system id.
std::uint64_t currentProcessId();
// Starts a command line as a new process without a shell and waits for it to
// end. The line is split into arguments as the Windows parser does (blanks
// separate, double quotes group, backslashes escape quotes). False when the
// process could not be started (for want of memory too); never throws.
bool runCommandLine(const char* commandLine);
// The arguments runCommandLine would start the command line with, in words
// (emptied first). False when memory ran out on the way; words then holds
// part of them. Never throws.
bool commandLineArguments(const char* commandLine, std::vector<std::string>& words);

// ---- Exit handlers ----

using ExitHandler = void (*)();
// Has handler run at normal process exit (return from main or exit), after
// the handlers registered later and before those registered earlier. A
// handler registered while exit handlers run still runs. False when the host
// refuses (its table is full).
bool registerExitHandler(ExitHandler handler);
// Redirects registerExitHandler, so tests can see a refusal without filling
// the host's table. Null restores the host's registration. Returns the
// previous redirection (null for none).
using RegisterExitHandlerFunction = bool (*)(ExitHandler handler);
RegisterExitHandlerFunction redirectRegisterExitHandler(RegisterExitHandlerFunction function);

} // namespace Platform
} // namespace Orvane

#endif
