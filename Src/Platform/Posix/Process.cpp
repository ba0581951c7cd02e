// POSIX realisation of the process family: the process id and command lines
// started without a shell.
#include "Src/Platform/Process.h"

#include <cerrno>
#include <new>

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
    std::vector<std::string> words;
    std::vector<char*> argv;
    if (!commandLineArguments(commandLine != nullptr ? commandLine : "", words) || words.empty()) {
        return false;
    }
    try {
        argv.reserve(words.size() + 1);
    } catch (const std::bad_alloc&) {
        return false; // as a host that cannot start the process for want of memory
    }
    for (std::string& word : words) {
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
