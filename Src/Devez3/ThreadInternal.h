// The records shared by thread objects and the thread manager.
#ifndef DOZUV2_DEVEZ3_THREADINTERNAL_H
#define DOZUV2_DEVEZ3_THREADINTERNAL_H

#include "Src/Platform/Thread.h"
#include "virad/Mutex.h"
#include "virad/Thread.h"

#include <atomic>
#include <cstdint>
#include <cstring>

namespace Orvane {
namespace Virad {

struct ThreadManagerInternal;

// One thread object's state. The lock guards handle, alive, thread id,
// looping, destroyed and deadline; the list links belong to the manager's lock.
struct ThreadInternal {
    Platform::ThreadHandle handle = nullptr;
    std::atomic<int> alive{0};
    int policy;
    int priority;
    int stackSize;
    std::atomic<int> threadId{-1};
    char name[32];
    ThreadInternal* previous = nullptr;
    ThreadInternal* next = nullptr;
    std::atomic<std::uint64_t> deadline{0};
    std::atomic<unsigned char> looping{0};
    std::atomic<unsigned char> destroyed{0};
    unsigned char stackSizeRequested = 0;
    ThreadManagerInternal* manager;
    CThread* owner;
    CMutex lock;

    // Stores the name: null gives "Nonamed"; longer names are cut to 31
    // characters. Call with the lock held.
    void setName(const char* text);
    // A copy of the name, taken under the lock: a thread may be renamed at
    // any time (a pooled timer worker takes its timer's name).
    struct NameCopy {
        char text[sizeof name];
    };
    NameCopy nameNow() {
        CGuard guard(lock);
        NameCopy copy;
        std::memcpy(copy.text, name, sizeof copy.text);
        return copy;
    }
    // A deadline is set and lies before now.
    bool timedOut(std::uint64_t now) const {
        const std::uint64_t due = deadline.load(std::memory_order_relaxed);
        return due != 0 && due < now;
    }
    // Calls the owner's threadProc (which is private to the owner's classes).
    void runOwner() { owner->threadProc(); }
    // The record of a thread object.
    static ThreadInternal* of(CThread& thread) { return thread.m_internal; }
};

// The Windows-scale priority (15 time critical .. -15 idle) for a policy and a
// 1..127 priority.
int windowsThreadPriority(int policy, int priority);

// The registry of running thread bodies: a list through the records' own
// links, newest first, under one mutex.
struct ThreadManagerInternal {
    CMutex mutex;
    ThreadInternal* head = nullptr;
    int mainThreadId = -1;

    void add(ThreadInternal* record);
    void remove(ThreadInternal* record);
    // The first record with that thread id, or null; call with the mutex held.
    ThreadInternal* findLocked(int threadId);
};

// The process's manager record; never null.
ThreadManagerInternal* threadManagerInternal();

} // namespace Virad
} // namespace Orvane

#endif
