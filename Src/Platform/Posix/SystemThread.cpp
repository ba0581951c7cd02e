// POSIX realisation of system threads, the process id and starting commands.
#include "Platform/Platform.h"

#include <atomic>
#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Orvane {
namespace Platform {

// Shared by the owner's handle and the running thread: whichever lets go
// last frees it.
struct SystemThread {
    pthread_t thread;
    ThreadEntry entry;
    void* argument;
    std::atomic<int> references{2};
    ManualResetEvent ended;
    CriticalSection lock; // guards the priority and the kernel id
    int windowsPriority = 0;
    bool priorityGiven = false;
    bool realTime = false;
    std::uint32_t kernelId = 0;
};

namespace {

void release(SystemThread* thread) {
    if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete thread;
    }
}

// Windows-scale priorities onto nice values; only the normal policy is mapped.
int niceFor(int windowsPriority) {
    if (windowsPriority >= 15) {
        return -20;
    }
    if (windowsPriority >= 2) {
        return -10;
    }
    if (windowsPriority == 1) {
        return -5;
    }
    if (windowsPriority == 0) {
        return 0;
    }
    if (windowsPriority == -1) {
        return 5;
    }
    if (windowsPriority >= -2) {
        return 10;
    }
    return 19;
}

// Called with the thread's lock held, once both the priority and the kernel
// id are known. Best effort: raising priority needs rights the process may
// not have, and that must not stop the thread.
void applyPriority(SystemThread* thread) {
    if (thread->priorityGiven && thread->kernelId != 0 && !thread->realTime) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(thread->kernelId), niceFor(thread->windowsPriority));
    }
}

// Marks the thread ended however it leaves: by returning or by cancellation,
// which unwinds through here.
struct EndMark {
    SystemThread* thread;
    ~EndMark() {
        thread->ended.set();
        release(thread);
    }
};

void* trampoline(void* argument) {
    SystemThread* thread = static_cast<SystemThread*>(argument);
    EndMark mark{thread};
    thread->lock.enter();
    thread->kernelId = currentThreadId();
    applyPriority(thread);
    thread->lock.leave();
    thread->entry(thread->argument);
    return nullptr;
}

} // namespace

ThreadHandle startThread(ThreadEntry entry, void* argument, int stackSize, int* errorNumber) {
    SystemThread* thread = new (std::nothrow) SystemThread;
    if (thread == nullptr) {
        if (errorNumber != nullptr) {
            *errorNumber = ENOMEM;
        }
        return nullptr;
    }
    thread->entry = entry;
    thread->argument = argument;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    int rc = 0;
    if (stackSize > 0) {
        rc = pthread_attr_setstacksize(&attr, static_cast<size_t>(stackSize));
    }
    if (rc == 0) {
        rc = pthread_create(&thread->thread, &attr, &trampoline, thread);
    }
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        if (errorNumber != nullptr) {
            *errorNumber = rc;
        }
        delete thread;
        return nullptr;
    }
    return thread;
}

bool setThreadPriority(ThreadHandle thread, int windowsPriority, bool realTime) {
    if (thread == nullptr) {
        return false;
    }
    thread->lock.enter();
    thread->windowsPriority = windowsPriority;
    thread->realTime = realTime;
    thread->priorityGiven = true;
    applyPriority(thread);
    thread->lock.leave();
    return true;
}

int threadPriority(ThreadHandle thread) {
    if (thread == nullptr) {
        return 0;
    }
    thread->lock.enter();
    const int priority = thread->windowsPriority;
    thread->lock.leave();
    return priority;
}

bool waitForThread(ThreadHandle thread, unsigned int milliseconds) {
    return thread == nullptr || thread->ended.timedWait(milliseconds);
}

bool threadStillActive(ThreadHandle thread) {
    return thread != nullptr && !thread->ended.timedWait(0);
}

bool terminateSystemThread(ThreadHandle thread) {
    if (thread == nullptr) {
        return false;
    }
    if (!threadStillActive(thread)) {
        return true;
    }
    return pthread_cancel(thread->thread) == 0;
}

void closeThreadHandle(ThreadHandle thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_detach(thread->thread);
    release(thread);
}

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

} // namespace Platform
} // namespace Orvane
