// The read-write mutex and its two policies.
//
// priorityDefault keeps one gate (a critical section) that a writer holds for
// the whole of its hold and that readers pass through only to count
// themselves in. A writer that has taken the gate waits for the readers
// already inside to leave; readers that arrive meanwhile queue at the gate
// behind it. While no writer holds the gate a reader need not touch it: it
// counts itself in and then looks whether a writer has come to the gate
// since. Both sides store before they load (sequentially consistent), so
// either the reader sees the writer and goes round through the gate, or the
// writer sees the reader and waits for it.
//
// priorityWrite keeps its counters under a critical section of its own.
// Readers that must wait block on a manual-reset event, writers on a
// semaphore of at most one unit; whoever releases the lock to a writer makes
// that writer the holder before waking it, so nobody can slip in between.
#include "virad/ReadWriteMutex.h"

#include "Src/Common/Report.h"
#include "Src/Base/ShortLock.h"
#include "Src/Platform/Sync.h"

#include <atomic>
#include <new>
#include <optional>

namespace Orvane {
namespace Virad {

namespace {

// priorityWrite's state word: the low 16 bits count the active readers.
constexpr int kActiveReaderMask = 0xFFFF;
constexpr int kWriterHolds = 0x10000;

// A waiting priorityDefault writer looks at the reader count this many times
// before it starts giving its time slice away: readers usually leave quickly.
constexpr int kSpinsBeforeYield = 100;

} // namespace

struct CReadWriteMutex::RWMutexInternal {
    explicit RWMutexInternal(RWPriority priority) : m_priority(priority) {
        if (priority == priorityWrite) {
            m_readerEvent.emplace(false);
            m_writerSemaphore.emplace(0, 1);
        }
    }

    RWPriority m_priority;

    // priorityDefault: readers inside, and 1 while a writer holds the gate.
    std::atomic<int> m_readCount{0};
    std::atomic<int> m_writeFlag{0};
    // Writers that have taken the gate and not yet given it back; readers
    // take the gate only while this is not 0.
    std::atomic<int> m_writersAtGate{0};
    Platform::CriticalSection m_gate;

    // priorityWrite: waiting writers, waiting readers and the state word.
    int m_waitingWriters = 0;
    int m_waitingReaders = 0;
    int m_state = 0;
    std::optional<Platform::ManualResetEvent> m_readerEvent;
    std::optional<Platform::KernelSemaphore> m_writerSemaphore;
    Platform::CriticalSection m_counterLock;
};

CReadWriteMutex::CReadWriteMutex() : m_internal(new (std::nothrow) RWMutexInternal(priorityDefault)) {
    VIRAD_ASSERT(m_internal);
}

CReadWriteMutex::CReadWriteMutex(RWPriority priority) : m_internal(nullptr) {
    if (priority != priorityDefault && priority != priorityWrite) {
        VIRAD_REPORT(LOG_WARN, "this:%p Input rwpriority level error, priorityDefault used!\n",
                     static_cast<void*>(this));
        priority = priorityDefault;
    }
    m_internal = new (std::nothrow) RWMutexInternal(priority);
    VIRAD_ASSERT(m_internal);
}

CReadWriteMutex::~CReadWriteMutex() {
    if (m_internal->m_priority == priorityDefault) {
        const int readers = m_internal->m_readCount.load(std::memory_order_relaxed);
        if (readers > 0) {
            VIRAD_REPORT(LOG_ERROR, "has lock Read count:%d, maybe err\n", readers);
        }
        if (m_internal->m_writeFlag.load(std::memory_order_relaxed) != 0) {
            // The gate is released so that destroying it is legal.
            m_internal->m_gate.leave();
            VIRAD_REPORT(LOG_ERROR, "has lock write, maybe err\n");
        }
    }
    delete m_internal;
}

bool CReadWriteMutex::enterReading() {
    RWMutexInternal& self = *m_internal;
    if (self.m_priority == priorityDefault) {
        self.m_readCount.fetch_add(1, std::memory_order_seq_cst);
        if (self.m_writersAtGate.load(std::memory_order_seq_cst) == 0) {
            return true;
        }
        // A writer is at the gate: step back out and queue behind it.
        self.m_readCount.fetch_sub(1, std::memory_order_release);
        self.m_gate.enter();
        self.m_readCount.fetch_add(1, std::memory_order_relaxed);
        self.m_gate.leave();
        return true;
    }

    self.m_counterLock.enter();
    if (self.m_waitingWriters == 0 && self.m_state != kWriterHolds) {
        ++self.m_state;
        const bool wakeReaders = self.m_state == 1 && self.m_waitingReaders > 0;
        self.m_counterLock.leave();
        if (wakeReaders) {
            self.m_readerEvent->set();
        }
        return true;
    }
    ++self.m_waitingReaders;
    do {
        self.m_readerEvent->reset();
        // Taken before the counters are let go, so a set that comes between
        // leaving them and waiting is not lost to a later reset.
        const unsigned long generation = self.m_readerEvent->generation();
        self.m_counterLock.leave();
        self.m_readerEvent->waitSince(generation);
        self.m_counterLock.enter();
    } while (self.m_waitingWriters != 0 || self.m_state == kWriterHolds);
    --self.m_waitingReaders;
    ++self.m_state;
    self.m_counterLock.leave();
    return true;
}

bool CReadWriteMutex::enterWriting() {
    RWMutexInternal& self = *m_internal;
    if (self.m_priority == priorityDefault) {
        self.m_gate.enter();
        self.m_writersAtGate.fetch_add(1, std::memory_order_seq_cst);
        // Holding the gate keeps new readers out; wait for those inside.
        for (Base::SpinWait wait(kSpinsBeforeYield); self.m_readCount.load(std::memory_order_seq_cst) > 0;) {
            wait.pause();
        }
        self.m_writeFlag.store(1, std::memory_order_relaxed);
        return true;
    }

    self.m_counterLock.enter();
    if (self.m_state == 0) {
        self.m_state = kWriterHolds;
        self.m_counterLock.leave();
        return true;
    }
    ++self.m_waitingWriters;
    self.m_counterLock.leave();
    // Whoever posts has already made this thread the holder.
    self.m_writerSemaphore->wait();
    return true;
}

bool CReadWriteMutex::leave() {
    RWMutexInternal& self = *m_internal;
    if (self.m_priority == priorityDefault) {
        // The writer is asked first: while it holds the lock no reader is
        // inside, but a reader on its way to the gate may have raised the
        // count for a moment, which must not be taken for a reader leaving.
        if (self.m_writeFlag.load(std::memory_order_relaxed) != 0) {
            self.m_writeFlag.store(0, std::memory_order_relaxed);
            self.m_writersAtGate.fetch_sub(1, std::memory_order_release);
            self.m_gate.leave();
            return true;
        }
        // Only a count above zero is lowered, so a stray leave can never
        // drive it negative and lock writers out for good.
        int readers = self.m_readCount.load(std::memory_order_relaxed);
        while (readers > 0) {
            if (self.m_readCount.compare_exchange_weak(readers, readers - 1, std::memory_order_release,
                                                       std::memory_order_relaxed)) {
                return true;
            }
        }
        VIRAD_REPORT(LOG_ERROR, "No lock, maybe err\n");
        return false;
    }

    self.m_counterLock.enter();
    if (self.m_state >= 1 && self.m_state <= kActiveReaderMask) {
        if (--self.m_state == 0) {
            // Readers released by an earlier set still get through: the
            // event releases every thread that was waiting when it was set.
            self.m_readerEvent->reset();
            if (self.m_waitingWriters > 0) {
                --self.m_waitingWriters;
                self.m_state = kWriterHolds;
                self.m_writerSemaphore->post();
            }
        }
        self.m_counterLock.leave();
        return true;
    }
    if (self.m_state == kWriterHolds) {
        if (self.m_waitingWriters > 0) {
            // The hold passes straight to one waiting writer.
            --self.m_waitingWriters;
            self.m_writerSemaphore->post();
        } else {
            self.m_state = 0;
            if (self.m_waitingReaders > 0) {
                self.m_readerEvent->set();
            }
        }
        self.m_counterLock.leave();
        return true;
    }
    self.m_counterLock.leave();
    return false;
}

} // namespace Virad
} // namespace Orvane
