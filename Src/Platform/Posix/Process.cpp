// POSIX realisation of the process family: the process id, command lines
// started without a shell, and exit handlers.
#include "Platform/Process.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Orvane {
namespace Platform {

std::uint64_t currentProcessId() {
    return static_cast<std::uint64_t>(getpid());
}

namespace {

// Splits a command line the way the Windows C runtime does: blanks and tabs
// separate arguments; double quotes group; 2n backslashes before a quote give
// n backslashes and the quote toggles grouping; 2n+1 give n and a literal
// quote; other backslashes are literal.
std::vector<std::string> splitCommandLine(const char* line) {
    std::vector<std::string> words;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        std::string word;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                std::size_t slashes = 0;
                while (*p == '\\') {
                    ++slashes;
                    ++p;
                }
                if (*p == '"') {
                    word.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        word.push_back('"');
                        ++p;
                    }
                } else {
                    word.append(slashes, '\\');
                }
            } else if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else {
                word.push_back(*p++);
            }
        }
        words.push_back(word);
    }
    return words;
}

} // namespace

std::vector<std::string> commandLineArguments(const char* commandLine) {
    return splitCommandLine(commandLine);
}

bool runCommandLine(const char* commandLine) {
    std::vector<std::string> words = splitCommandLine(commandLine != nullptr ? commandLine : "");
    if (words.empty()) {
        return false;
    }
    std::vector<char*> argv;
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

namespace {

std::atomic<RegisterExitHandlerFunction> g_registerExitHandlerRedirect{nullptr};

} // namespace

bool registerExitHandler(ExitHandler handler) {
    const RegisterExitHandlerFunction redirect = g_registerExitHandlerRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(handler);
    }
    return std::atexit(handler) == 0;
}

RegisterExitHandlerFunction redirectRegisterExitHandler(RegisterExitHandlerFunction function) {
    return g_registerExitHandlerRedirect.exchange(function, std::memory_order_acq_rel);
}

} // namespace Platform
} // namespace Orvane
