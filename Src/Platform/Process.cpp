// The host-independent part of the process family: command lines split as
// the Windows C runtime splits them, and exit handlers through the C library.
#include "Src/Platform/Process.h"

#include "Src/Base/NeverDestroyed.h"
#include "Src/Base/ShortLock.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace Orvane {
namespace Platform {

// Splits a command line the way the Windows C runtime does: blanks and tabs
// separate arguments; double quotes group; 2n backslashes before a quote give
// n backslashes and the quote toggles grouping; 2n+1 give n and a literal
// quote; other backslashes are literal.
Common::Vector<Common::String> commandLineArguments(const char* line) {
    Common::Vector<Common::String> words;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        Common::String word;
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

namespace {

std::atomic<RegisterExitHandlerFunction> g_registerExitHandlerRedirect{nullptr};

// Not every C runtime runs a handler registered while exit handlers run
// (Windows' does not), so the handlers are kept here, newest last, and each
// registration puts one runNewest into the runtime's table. The runtime runs
// those in reverse order of registration, so each finds its own handler at
// the top; a handler registered while one of ours runs is not given to the
// runtime but run by that runNewest right after the handler that registered
// it, as the runtimes that allow it would do.
Base::ShortLock g_handlersLock; // constant-initialised: usable before any constructor runs
std::atomic<int> g_handlersRunning{0};

// Never destroyed: handlers still run after the statics are gone. Kept with
// the standard allocator: registration has a failure result of its own (the
// refusal of a full table), which running out of room gives.
std::vector<ExitHandler>& handlers() {
    static Base::NeverDestroyed<std::vector<ExitHandler>> list;
    return list.get();
}

void runNewest() {
    std::size_t floor = 0;
    {
        std::lock_guard<Base::ShortLock> lock(g_handlersLock);
        if (handlers().empty()) {
            return;
        }
        floor = handlers().size() - 1;
    }
    g_handlersRunning.fetch_add(1, std::memory_order_acq_rel);
    for (;;) {
        ExitHandler handler = nullptr;
        {
            std::lock_guard<Base::ShortLock> lock(g_handlersLock);
            if (handlers().size() <= floor) {
                break;
            }
            handler = handlers().back();
            handlers().pop_back();
        }
        handler();
    }
    g_handlersRunning.fetch_sub(1, std::memory_order_acq_rel);
}

} // namespace

bool registerExitHandler(ExitHandler handler) {
    const RegisterExitHandlerFunction redirect = g_registerExitHandlerRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(handler);
    }
    std::lock_guard<Base::ShortLock> lock(g_handlersLock);
    std::vector<ExitHandler>& list = handlers();
    try {
        list.push_back(handler);
    } catch (const std::bad_alloc&) {
        return false; // no room is a refusal, as a full host table is
    }
    if (g_handlersRunning.load(std::memory_order_acquire) > 0) {
        return true; // the runNewest now running takes it next
    }
    if (std::atexit(&runNewest) != 0) {
        list.pop_back();
        return false;
    }
    return true;
}

RegisterExitHandlerFunction redirectRegisterExitHandler(RegisterExitHandlerFunction function) {
    return g_registerExitHandlerRedirect.exchange(function, std::memory_order_acq_rel);
}

} // namespace Platform
} // namespace Orvane
