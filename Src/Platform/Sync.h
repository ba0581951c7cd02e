// The platform's synchronisation objects: the Windows primitives the locks
// are written against (critical section, kernel semaphore, manual-reset
// event, owned kernel mutex), each with the contract the algorithms rely on.
//
// Each object keeps its native object in suitably aligned inline storage, so
// creating one never allocates and this header needs no system header. They
// cannot be copied or moved: the native objects may not be.
#ifndef DOZUV2_PLATFORM_SYNC_H
#define DOZUV2_PLATFORM_SYNC_H

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Platform {

// Raw, suitably aligned room for a native object of at most Size bytes.
template <std::size_t Size> struct NativeStorage {
    alignas(16) unsigned char bytes[Size];

    // The native object kept here; only the host's implementation knows its type.
    template <typename T> T* as() {
        static_assert(sizeof(T) <= Size, "native object does not fit");
        return reinterpret_cast<T*>(bytes);
    }
};

// A recursive lock: the holder may enter again and must leave as often.
// tryEnter never blocks.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Waits until the calling thread holds the lock (at once if it holds it already).
    void enter();
    // Takes the lock if that needs no waiting; false otherwise.
    bool tryEnter();
    // Gives back one entry of the calling thread.
    void leave();

private:
    NativeStorage<64> m_native;
};

// A counting semaphore with a maximum count. post fails (and changes nothing)
// when the count would pass the maximum. Timed waits run on the monotonic
// clock, so changing the wall clock neither shortens nor stretches them.
class KernelSemaphore {
public:
    static constexpr long kMaximum = 2147483647L;

    // initial must be 0..maximum and maximum 1..kMaximum; otherwise valid() is false.
    KernelSemaphore(long initial, long maximum);
    ~KernelSemaphore();
    KernelSemaphore(const KernelSemaphore&) = delete;
    KernelSemaphore& operator=(const KernelSemaphore&) = delete;

    // Whether the native semaphore exists.
    bool valid() const { return m_valid; }
    // Takes one unit, waiting without limit. False only if the wait failed.
    bool wait();
    // Takes one unit, waiting at most the given milliseconds (0: try only).
    // False on time-out or failure.
    bool timedWait(unsigned int milliseconds);
    // Takes one unit if one is there; never blocks.
    bool tryWait();
    // Adds one unit; false when that would pass the maximum.
    bool post();

private:
    NativeStorage<32> m_sem;
    NativeStorage<48> m_postLock; // serialises posts when the maximum is below the native one
    long m_maximum;
    bool m_valid;
};

// A manual-reset event: once set, every waiter passes until it is reset.
// Every thread that was waiting when the event was set is released, even if
// the event is reset again before that thread runs.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    // Releases every waiter and lets later waits pass until reset.
    void set();
    // Makes later waits block again.
    void reset();
    // Waits without limit until the event is set.
    void wait();
    // The number of sets so far; with waitSince, a waiter that must let go of
    // a lock before it waits cannot miss a set that comes in between.
    unsigned long generation();
    // Waits until the event is set or has been set since the generation given.
    void waitSince(unsigned long generation);
    // Waits at most the given milliseconds; true if the event was set.
    bool timedWait(unsigned int milliseconds);

private:
    NativeStorage<48> m_mutex;
    NativeStorage<48> m_cond;
    bool m_set;
    // Counts sets, so a waiter can tell it was released; changed under the
    // lock, read without it by generation().
    std::atomic<unsigned long> m_generation;
};

// A kernel mutex owned by a thread: re-entrant for its owner; a release by
// any other thread fails and changes nothing. A thread that ends while it
// owns the mutex abandons it: the next thread to acquire it becomes its owner
// (once, whatever the ended thread's count was) and is told so.
class KernelMutex {
public:
    // How an acquisition ended.
    enum class Ownership {
        none,     // not owned: the mutex was busy (a try only)
        taken,    // owned in the ordinary way
        abandoned // owned, taken over from a thread that ended owning it
    };

    KernelMutex();
    // A mutex the calling thread still owns is let go first.
    ~KernelMutex();
    KernelMutex(const KernelMutex&) = delete;
    KernelMutex& operator=(const KernelMutex&) = delete;

    // Waits without limit until the calling thread owns the mutex (once more).
    Ownership acquire();
    // Acquires if that needs no waiting; none otherwise.
    Ownership tryAcquire();
    // False when the calling thread does not own the mutex.
    bool release();

private:
    NativeStorage<48> m_mutex;
    // Where the host's mutex keeps no owner and count: the owner's thread
    // serial (0 while free; never a system thread id, which is reused once
    // its thread has ended, so that an abandoned mutex would look owned by a
    // later thread with the same id) and the owner's count.
    std::atomic<std::uint64_t> m_owner;
    int m_count;
};

} // namespace Platform
} // namespace Orvane

#endif
