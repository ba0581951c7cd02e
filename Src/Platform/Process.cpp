// The host-independent part of the process family: command lines split as
// the Windows C runtime splits them, and exit handlers through the C library.
#include "Platform/Process.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

namespace Orvane {
namespace Platform {

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
