// Windows part of the thread family: TLS slots, thread ids, sleeping,
// and system threads started through the C runtime.
#include "Src/Platform/Thread.h"

#include "Src/Platform/HostParts.h"

#include <atomic>
#include <cerrno>
#include <new>

#include <process.h>
#include <windows.h>

namespace Orvane {
namespace Platform {

static_assert(TLS_OUT_OF_INDEXES == kTlsNone, "the slot value for none is the host's");

TlsIndex tlsAlloc() {
    return static_cast<TlsIndex>(TlsAlloc());
}

bool tlsFree(TlsIndex index) {
    return index != kTlsNone && TlsFree(index) != 0;
}

bool tlsSetValue(TlsIndex index, const void* value) {
    return index != kTlsNone && TlsSetValue(index, const_cast<void*>(value)) != 0;
}

void* tlsGetValue(TlsIndex index) {
    return index == kTlsNone ? nullptr : TlsGetValue(index);
}

std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(GetCurrentThreadId());
}

void sleepMilliseconds(unsigned int milliseconds) {
    // INFINITE would never return; a finite request stays finite.
    Sleep(milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds));
}

void sleepMicroseconds(std::uint64_t microseconds) {
    // Sleep counts whole milliseconds: round up, so the wait is never shorter
    // than asked.
    const std::uint64_t milliseconds = (microseconds + 999) / 1000;
    sleepMilliseconds(milliseconds >= INFINITE ? INFINITE - 1 : static_cast<unsigned int>(milliseconds));
}

void yieldThread() {
    Sleep(0);
}

// ---- System threads ----

// Shared by the owner's handle and the running thread: whichever lets go
// last frees it. A thread ended by force never lets go itself, so whoever
// ends it does that on its behalf; `threadDone` makes sure only one of them does.
struct SystemThread {
    SystemThread(ThreadEntry entryGiven, void* argumentGiven) : entry(entryGiven), argument(argumentGiven) {}

    HANDLE handle = nullptr;
    ThreadEntry entry;
    void* argument;
    std::atomic<int> references{2};
    std::atomic<bool> threadDone{false};
    std::atomic<int> windowsPriority{0};
};

namespace {

void release(SystemThread* thread) {
    if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        CloseHandle(thread->handle);
        delete thread;
    }
}

void releaseForThread(SystemThread* thread) {
    if (!thread->threadDone.exchange(true, std::memory_order_acq_rel)) {
        release(thread);
    }
}

unsigned __stdcall trampoline(void* argument) {
    SystemThread* thread = static_cast<SystemThread*>(argument);
    thread->entry(thread->argument);
    releaseForThread(thread);
    return 0; // the exit code of every thread of the library
}

} // namespace

SystemThread* Host::newThreadRecord(ThreadEntry entry, void* argument) {
    return new (std::nothrow) SystemThread(entry, argument);
}

bool Host::launchThread(SystemThread* thread, int stackSize, int& error) {
    // Created suspended so the handle is stored before the thread can use it.
    unsigned id = 0;
    const std::uintptr_t handle = _beginthreadex(nullptr, stackSize > 0 ? static_cast<unsigned>(stackSize) : 0,
                                                 &trampoline, thread, CREATE_SUSPENDED, &id);
    if (handle == 0) {
        error = errno;
        delete thread;
        return false;
    }
    thread->handle = reinterpret_cast<HANDLE>(handle);
    ResumeThread(thread->handle);
    return true;
}

bool setThreadPriority(ThreadHandle thread, int windowsPriority, bool) {
    // The Windows scale is the host's own; the real-time policy has no
    // separate class for one thread, so it takes the same value.
    if (thread == nullptr) {
        return false;
    }
    thread->windowsPriority.store(windowsPriority, std::memory_order_relaxed);
    return SetThreadPriority(thread->handle, windowsPriority) != 0;
}

int threadPriority(ThreadHandle thread) {
    return thread == nullptr ? 0 : thread->windowsPriority.load(std::memory_order_relaxed);
}

bool waitForThread(ThreadHandle thread, unsigned int milliseconds) {
    if (thread == nullptr) {
        return true;
    }
    const DWORD span = milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds);
    return WaitForSingleObject(thread->handle, span) == WAIT_OBJECT_0;
}

bool threadStillActive(ThreadHandle thread) {
    DWORD code = 0;
    return thread != nullptr && GetExitCodeThread(thread->handle, &code) != 0 && code == STILL_ACTIVE;
}

bool Host::forceThreadEnd(SystemThread* thread) {
    // Nothing on the ended thread unwinds: its share of the record is given
    // back here once the kernel reports it gone.
    if (TerminateThread(thread->handle, 0) == 0) {
        return false;
    }
    WaitForSingleObject(thread->handle, INFINITE);
    releaseForThread(thread);
    return true;
}

void closeThreadHandle(ThreadHandle thread) {
    if (thread != nullptr) {
        release(thread);
    }
}

} // namespace Platform
} // namespace Orvane
