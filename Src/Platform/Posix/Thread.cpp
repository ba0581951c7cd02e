// POSIX part of the thread family: thread-local slots, thread ids,
// sleeping and yielding, and system threads.
#include "Src/Platform/Thread.h"

#include "Src/Platform/HostParts.h"
#include "Src/Platform/Sync.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

static_assert(sizeof(pthread_key_t) <= sizeof(TlsIndex), "TLS keys must fit the slot index");

TlsIndex tlsAlloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) {
        return kTlsNone;
    }
    return static_cast<TlsIndex>(key);
}

bool tlsFree(TlsIndex index) {
    return index != kTlsNone && pthread_key_delete(static_cast<pthread_key_t>(index)) == 0;
}

bool tlsSetValue(TlsIndex index, const void* value) {
    return index != kTlsNone && pthread_setspecific(static_cast<pthread_key_t>(index), value) == 0;
}

void* tlsGetValue(TlsIndex index) {
    return index == kTlsNone ? nullptr : pthread_getspecific(static_cast<pthread_key_t>(index));
}

// The calling thread's id once asked of the kernel, 0 before. Every lock
// reads it: constant initialisation and the initial-exec model make that one
// load, without the first-use check and the call a dynamically initialised
// thread-local variable of a shared library costs.
static thread_local std::uint32_t t_threadId __attribute__((tls_model("initial-exec"))) = 0;

std::uint32_t currentThreadId() {
    // The id is asked of the kernel once per thread: it never changes.
    if (t_threadId == 0) {
        t_threadId = static_cast<std::uint32_t>(syscall(SYS_gettid));
    }
    return t_threadId;
}

void sleepMicroseconds(std::uint64_t microseconds) {
    timespec ts;
    ts.tv_sec = static_cast<time_t>(microseconds / 1000000);
    ts.tv_nsec = static_cast<long>(microseconds % 1000000) * 1000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void sleepMilliseconds(unsigned int milliseconds) {
    sleepMicroseconds(std::uint64_t{milliseconds} * 1000);
}

void yieldThread() {
    sched_yield();
}

// ---- System threads ----

// Shared by the owner's handle and the running thread: whichever lets go
// last frees it.
struct SystemThread {
    SystemThread(ThreadEntry entryGiven, void* argumentGiven) : entry(entryGiven), argument(argumentGiven) {}

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

SystemThread* Host::newThreadRecord(ThreadEntry entry, void* argument) {
    return new (std::nothrow) SystemThread(entry, argument);
}

bool Host::launchThread(SystemThread* thread, int stackSize, int& error) {
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
        error = rc;
        delete thread;
        return false;
    }
    return true;
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

bool Host::forceThreadEnd(SystemThread* thread) {
    return pthread_cancel(thread->thread) == 0;
}

void closeThreadHandle(ThreadHandle thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_detach(thread->thread);
    release(thread);
}

} // namespace Platform
} // namespace Orvane
