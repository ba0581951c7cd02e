// Packets on the work a server gives them, beside std::shared_ptr<unsigned
// char> over malloc'ed bytes, what a user would otherwise hold data in. One
// program per packet manager policy (the policy is fixed for the process);
// the report runs each under glibc's malloc and with mimalloc and jemalloc
// preloaded, so the anchor is always the same process's malloc.
//
//   - a live set: 4,096 blocks of 64 B to 8 KiB (log-uniform), each step
//     making one, writing its first byte and copy-assigning it over a random
//     member of the set, so the set outgrows the caches and the allocator
//     sees every size mixed with every other;
//   - the same live set with a reply per step: another packet made, its
//     first byte written and dropped at once, as a request's scratch buffer;
//   - producer and consumer: made on one thread, handed through a ring of
//     1,024 in flight, released on another thread;
//   - four threads, each with a live set of its own.
//
// Every program starts a thread before its benchmarks run, so every row is
// that of a process with threads, as a server is: neither side skips the
// atomic steps that a single-threaded process may skip, and the rows can be
// interleaved in any order.
#ifndef DOZUV2_BENCH_PACKETLOADBODIES_H
#define DOZUV2_BENCH_PACKETLOADBODIES_H

#include "PacketBenchBodies.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace PacketLoad {

constexpr std::size_t kLiveSet = 4096;
// Steps are drawn once and cycled, so drawing costs neither side anything.
constexpr std::size_t kSteps = std::size_t{1} << 16;
constexpr std::size_t kInFlight = 1024;

struct Step {
    std::uint32_t slot;
    std::uint32_t size;
};

// The steps of one thread: a random member of the set and a size of 64 B to
// 8 KiB, uniform in its logarithm.
inline const std::vector<Step>& stepsOf(int thread) {
    static const std::vector<std::vector<Step>> all = [] {
        std::vector<std::vector<Step>> made(4);
        for (std::size_t t = 0; t < made.size(); ++t) {
            std::mt19937 random(static_cast<unsigned>(2026 + t));
            std::uniform_int_distribution<std::uint32_t> slot(0, kLiveSet - 1);
            std::uniform_real_distribution<double> octaves(0.0, 7.0);
            made[t].resize(kSteps);
            for (Step& step : made[t]) {
                step.slot = slot(random);
                step.size = static_cast<std::uint32_t>(64.0 * std::exp2(octaves(random)));
            }
        }
        return made;
    }();
    return all[static_cast<std::size_t>(thread) % all.size()];
}

// The two kinds of handle, behind one face.
struct SharedBytes {
    using Handle = std::shared_ptr<unsigned char>;
    static Handle make(std::uint32_t size) {
        return Handle(static_cast<unsigned char*>(std::malloc(size)), &std::free);
    }
    static unsigned char* bytes(const Handle& handle) { return handle.get(); }
};

struct Packets {
    using Handle = Orvane::Memory::CPacket;
    static Handle make(std::uint32_t size) { return Handle(size); }
    static unsigned char* bytes(const Handle& handle) { return handle.getBuffer(); }
};

// One body for the live set, with or without a reply per step: beside the
// packet kept, a reply of another size from the same steps is made, its first
// byte written, and dropped at once, as a server drops a request's scratch
// buffer once it has answered.
template <class Kind, bool kReply> void liveSetSteps(benchmark::State& state) {
    using Handle = typename Kind::Handle;
    const std::vector<Step>& steps = stepsOf(state.thread_index());
    std::vector<Handle> live(kLiveSet);
    for (std::size_t i = 0; i < kLiveSet; ++i) {
        live[i] = Kind::make(steps[i].size);
    }
    std::size_t at = 0;
    for (auto _ : state) {
        const Step& step = steps[at];
        at = (at + 1) & (kSteps - 1);
        const Handle fresh = Kind::make(step.size);
        unsigned char* bytes = Kind::bytes(fresh);
        if (bytes == nullptr) {
            state.SkipWithError("no memory for the live set");
            break;
        }
        bytes[0] = static_cast<unsigned char>(at);
        if constexpr (kReply) {
            const Handle reply = Kind::make(steps[(at + kSteps / 2) & (kSteps - 1)].size);
            unsigned char* replyBytes = Kind::bytes(reply);
            if (replyBytes == nullptr) {
                state.SkipWithError("no memory for the reply");
                break;
            }
            replyBytes[0] = bytes[0];
            // The reply is dropped after the assignment, last in the step, as
            // a server answers after storing what it keeps.
            live[step.slot] = fresh;
        } else {
            live[step.slot] = fresh;
        }
    }
}

template <class Kind> void BM_LiveSet(benchmark::State& state) {
    liveSetSteps<Kind, false>(state);
}
template <class Kind> void BM_LiveSetWithReply(benchmark::State& state) {
    liveSetSteps<Kind, true>(state);
}

// A ring of handles from one producer thread to one consumer thread. A thread
// that finds the ring full (or empty) sleeps until the other has made room
// for (or filled) half of it, so waiting costs no processor time and the
// two threads wake each other a few times per 1,024 packets, not per packet.
// Each side keeps the last index it read of the other's and reads the
// shared one again only when that copy says full (or empty), so the indexes'
// cache lines cross between the cores once per run of packets, not twice
// per packet: what the row measures is the packets and the allocator, not
// the ring.
template <class Handle> class Ring {
public:
    void push(Handle&& handle) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tailSeen >= kInFlight) {
            m_tailSeen = m_tail.load();
            if (head - m_tailSeen >= kInFlight) {
                sleepUntil(m_producerAsleep, [&] { return head - m_tail.load() <= kInFlight / 2; });
                m_tailSeen = m_tail.load();
            }
        }
        m_slots[head % kInFlight] = std::move(handle);
        m_head.store(head + 1);
        if (m_consumerAsleep.load() && head + 1 - m_tail.load() >= kInFlight / 2) {
            wake();
        }
    }
    // False once the producer is done and everything it pushed is taken.
    bool pop(Handle& into) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (m_headSeen == tail) {
            m_headSeen = m_head.load();
            if (m_headSeen == tail) {
                sleepUntil(m_consumerAsleep, [&] { return m_head.load() - tail >= kInFlight / 2 || m_done.load(); });
                m_headSeen = m_head.load();
                if (m_headSeen == tail) {
                    return false;
                }
            }
        }
        into = std::move(m_slots[tail % kInFlight]);
        m_tail.store(tail + 1);
        if (m_producerAsleep.load() && m_head.load() - (tail + 1) <= kInFlight / 2) {
            wake();
        }
        return true;
    }
    void finish() {
        m_done.store(true);
        wake();
    }

private:
    // The flag and the index each side stores are sequentially consistent,
    // so a side that goes to sleep is always seen by the other's next look.
    template <class Ready> void sleepUntil(std::atomic<bool>& asleep, Ready ready) {
        std::unique_lock<std::mutex> lock(m_mutex);
        asleep.store(true);
        m_wakeUp.wait(lock, ready);
        asleep.store(false);
    }
    void wake() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_wakeUp.notify_all();
    }
    std::vector<Handle> m_slots = std::vector<Handle>(kInFlight);
    // The producer's line: its index and its copy of the consumer's.
    alignas(64) std::atomic<std::size_t> m_head{0};
    std::size_t m_tailSeen = 0;
    // The consumer's line.
    alignas(64) std::atomic<std::size_t> m_tail{0};
    std::size_t m_headSeen = 0;
    alignas(64) std::atomic<bool> m_producerAsleep{false};
    std::atomic<bool> m_consumerAsleep{false};
    std::atomic<bool> m_done{false};
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
};

template <class Kind> void BM_ProducerConsumer(benchmark::State& state) {
    using Handle = typename Kind::Handle;
    const std::vector<Step>& steps = stepsOf(0);
    auto ring = std::make_unique<Ring<Handle>>();
    std::thread consumer([&ring] {
        Handle taken;
        while (ring->pop(taken)) {
            taken = Handle(); // released here, on the consumer's thread
        }
    });
    std::size_t at = 0;
    for (auto _ : state) {
        Handle fresh = Kind::make(steps[at].size);
        at = (at + 1) & (kSteps - 1);
        unsigned char* bytes = Kind::bytes(fresh);
        if (bytes == nullptr) {
            state.SkipWithError("no memory for the packets in flight");
            break;
        }
        bytes[0] = static_cast<unsigned char>(at);
        ring->push(std::move(fresh));
    }
    ring->finish();
    consumer.join();
}

// Registers the rows of one policy's program, each packet row beside its
// anchor. Call after the policy is configured.
inline void registerLoads() {
    benchmark::RegisterBenchmark("BM_LiveSet_SharedPtr", BM_LiveSet<SharedBytes>);
    benchmark::RegisterBenchmark("BM_LiveSet_Packet", BM_LiveSet<Packets>);
    benchmark::RegisterBenchmark("BM_LiveSetWithReply_SharedPtr", BM_LiveSetWithReply<SharedBytes>);
    benchmark::RegisterBenchmark("BM_LiveSetWithReply_Packet", BM_LiveSetWithReply<Packets>);
    // Both threads' processor time per packet, and the wall time beside it.
    benchmark::RegisterBenchmark("BM_ProducerConsumer_SharedPtr", BM_ProducerConsumer<SharedBytes>)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_ProducerConsumer_Packet", BM_ProducerConsumer<Packets>)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_LiveSet_SharedPtr", BM_LiveSet<SharedBytes>)->Threads(4)->UseRealTime();
    benchmark::RegisterBenchmark("BM_LiveSet_Packet", BM_LiveSet<Packets>)->Threads(4)->UseRealTime();
}

// Fixes the policy with a pool large enough for four live sets (128 MiB of
// 1 KiB chunks), starts the thread that makes this a threaded process, and
// runs.
inline int runLoads(int argc, char** argv, Orvane::Memory::CPacketManager::Policy policy) {
    Orvane::Memory::CPacketManager::PoolParameter pool;
    pool.totalSize = std::uint64_t{128} << 20;
    Orvane::Memory::CPacketManager::config(policy, nullptr, &pool);
    Orvane::Virad::setPrintLogLevel(Orvane::Virad::LOG_WARN); // no creation banner between results
    Orvane::Memory::CPacketManager::instance();
    std::thread([] {}).join();
    registerLoads();
    return PacketBench::run(argc, argv);
}

} // namespace PacketLoad

#endif
