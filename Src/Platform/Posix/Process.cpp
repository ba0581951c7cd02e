// POSIX realisation of the process family: the process id and command lines
// started without a shell.
#include "Src/Platform/Process.h"

#include <cerrno>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Orvane {
namespace Platform {

std::uint64_t currentProcessId() {
    return static_cast<std::uint64_t>(getpid());
}

bool runCommandLine(const char* commandLine) {
    Common::Vector<Common::String> words = commandLineArguments(commandLine != nullptr ? commandLine : "");
    if (words.empty()) {
        return false;
    }
    Common::Vector<char*> argv;
    for (Common::String& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);

    // Nothing but the standard streams is handed to the child.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t child = 0;
    const int rc = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace Platform
} // namespace Orvane
