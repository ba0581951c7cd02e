// The host-independent part of the process family: command lines split as
// the Windows C runtime splits them, and exit handlers through the C library.
#include "Src/Platform/Process.h"

#include "Src/Platform/Sync.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>

namespace Orvane {
namespace Platform {

namespace {

// Splits a command line the way the Windows C runtime does: blanks and tabs
// separate arguments; double quotes group; 2n backslashes before a quote give
// n backslashes and the quote toggles grouping; 2n+1 give n and a literal
// quote; other backslashes are literal. Throws std::bad_alloc when memory runs out.
void splitCommandLine(const char* line, std::vector<std::string>& words) {
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
        words.push_back(std::move(word));
    }
}

std::atomic<RegisterExitHandlerFunction> g_registerExitHandlerRedirect{nullptr};

// Not every C runtime runs a handler registered while exit handlers run
// (Windows' does not), so the handlers are kept here, newest last, and each
// registration puts one runNewest into the runtime's table. The runtime runs
// those in reverse order of registration, so each finds its own handler at
// the top; a handler registered while one of ours runs is not given to the
// runtime but run by that runNewest right after the handler that registered
// it, as the runtimes that allow it would do.
//
// The lock is a critical section, not a spinning one: registration holds it
// across a growing vector and the runtime's own registration, both of which
// may wait. The handlers run outside it.
struct HandlerTable {
    CriticalSection lock;
    // Kept with the standard allocator: registration has a failure result of
    // its own (the refusal of a full table), which running out of room gives.
    std::vector<ExitHandler> handlers;
};

// Built in place on first use (the language makes that thread-safe, and it
// may come before this file's static constructors run) and never destroyed:
// handlers still run, and register others, after the statics are gone.
HandlerTable& handlerTable() {
    alignas(HandlerTable) static unsigned char storage[sizeof(HandlerTable)];
    static HandlerTable* const table = new (storage) HandlerTable;
    return *table;
}

std::atomic<int> g_handlersRunning{0};

// The newest handler above floor, taken off the table; null when none is left.
ExitHandler takeNewestAbove(std::size_t floor) {
    HandlerTable& table = handlerTable();
    table.lock.enter();
    ExitHandler handler = nullptr;
    if (table.handlers.size() > floor) {
        handler = table.handlers.back();
        table.handlers.pop_back();
    }
    table.lock.leave();
    return handler;
}

void runNewest() {
    HandlerTable& table = handlerTable();
    table.lock.enter();
    const std::size_t count = table.handlers.size();
    table.lock.leave();
    if (count == 0) {
        return;
    }
    g_handlersRunning.fetch_add(1, std::memory_order_acq_rel);
    while (ExitHandler handler = takeNewestAbove(count - 1)) {
        handler();
    }
    g_handlersRunning.fetch_sub(1, std::memory_order_acq_rel);
}

// Adds the handler, and a runNewest to the runtime's table unless one of
// ours is running now (it takes the handler next). Called with the lock held.
bool addHandler(std::vector<ExitHandler>& handlers, ExitHandler handler) {
    try {
        handlers.push_back(handler);
    } catch (const std::bad_alloc&) {
        return false; // no room is a refusal, as a full host table is
    }
    if (g_handlersRunning.load(std::memory_order_acquire) > 0) {
        return true;
    }
    if (std::atexit(&runNewest) != 0) {
        handlers.pop_back();
        return false;
    }
    return true;
}

} // namespace

bool commandLineArguments(const char* commandLine, std::vector<std::string>& words) {
    words.clear();
    try {
        splitCommandLine(commandLine, words);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool registerExitHandler(ExitHandler handler) {
    const RegisterExitHandlerFunction redirect = g_registerExitHandlerRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(handler);
    }
    HandlerTable& table = handlerTable();
    table.lock.enter();
    const bool added = addHandler(table.handlers, handler);
    table.lock.leave();
    return added;
}

RegisterExitHandlerFunction redirectRegisterExitHandler(RegisterExitHandlerFunction function) {
    return g_registerExitHandlerRedirect.exchange(function, std::memory_order_acq_rel);
}

} // namespace Platform
} // namespace Orvane
