// A lock for critical sections of a few instructions that never block inside
// (the allocators' free lists).
//
// Taking it free costs one atomic exchange and no call; giving it back is one
// store. While the process has only ever had one thread, taking it is a plain
// store too: nobody can race, and a thread started later finds the lock in
// the state it was left in (glibc's allocator and libstdc++'s reference
// counts skip their atomic steps on the same flag).
//
// A thread that finds it taken spins briefly, then gives its time slice away
// between tries, so a holder that was preempted gets the processor back on a
// busy machine, and a running one keeps the lock's cache line. It is not
// recursive and not fair. Waiters burn processor time, so sections that can
// wait on something (another lock, a system call) belong under CMutex; the
// rare long section (a dump) is correct under it, only wasteful.
#ifndef DOZUV2_BASE_SHORTLOCK_H
#define DOZUV2_BASE_SHORTLOCK_H

#include "Src/Platform/Cpu.h"
#include "Src/Platform/Thread.h"
#include "virad/Compiler.h"

#include <atomic>
#include <mutex>

namespace Orvane {
namespace Base {

// Waiting for another thread to make a condition true: a processor pause for
// the first tries, then the time slice given away, so a thread that lost its
// processor gets it back on a busy machine.
class SpinWait {
public:
    explicit SpinWait(int pausesBeforeYield) : m_pausesLeft(pausesBeforeYield) {}
    void pause() {
        if (m_pausesLeft > 0) {
            --m_pausesLeft;
            Platform::cpuRelax();
        } else {
            Platform::yieldThread();
        }
    }

private:
    int m_pausesLeft;
};

// Held for a scope with std::lock_guard<ShortLock>.
class ShortLock {
public:
    ShortLock() = default;
    ShortLock(const ShortLock&) = delete;
    ShortLock& operator=(const ShortLock&) = delete;

    void lock() {
        if (!try_lock()) {
            lockContended();
        }
    }
    // Takes it only if it is free; never waits. (Alone in the process, a
    // held lock is one this thread is inside of.)
    bool try_lock() {
        if (Platform::processHasOneThread()) {
            if (m_held.load(std::memory_order_relaxed)) {
                return false;
            }
            // Still marked held, so a thread started inside the section
            // waits for the release like any other.
            m_held.store(true, std::memory_order_relaxed);
            return true;
        }
        return !m_held.exchange(true, std::memory_order_acquire);
    }
    void unlock() { m_held.store(false, std::memory_order_release); }

private:
    // Waits reading only, so the waiters do not keep taking the cache line
    // from the holder; tries again once it looks free. Out of line, so that
    // the sections' own paths stay short.
    DOZUV2_NOINLINE void lockContended() {
        SpinWait wait(kSpinsBeforeYield);
        for (;;) {
            while (m_held.load(std::memory_order_relaxed)) {
                wait.pause();
            }
            if (!m_held.exchange(true, std::memory_order_acquire)) {
                return;
            }
        }
    }

    // A few pauses only. The sections are a few list steps, so a holder that
    // keeps the lock longer is most likely taking it again and again (it is
    // not fair) or has lost its processor. Either way a waiter that keeps
    // reading the lock's cache line only slows the holder, whose every
    // re-take must fetch the line back; giving the time slice away leaves
    // the holder the line. (Two threads on one pool, 64-byte units: 46 ns a
    // cycle with 32 pauses, 21 ns with 4, over 100 ns with 256.)
    static constexpr int kSpinsBeforeYield = 4;
    std::atomic<bool> m_held{false};
};

} // namespace Base
} // namespace Orvane

#endif
