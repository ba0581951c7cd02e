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
#include <cstdint>
#include <cstdlib>
#include <memory>
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

template <class Kind> void BM_LiveSet(benchmark::State& state) {
    const std::vector<Step>& steps = stepsOf(state.thread_index());
    std::vector<typename Kind::Handle> live(kLiveSet);
    for (std::size_t i = 0; i < kLiveSet; ++i) {
        live[i] = Kind::make(steps[i].size);
    }
    std::size_t at = 0;
    for (auto _ : state) {
        const Step& step = steps[at];
        at = (at + 1) & (kSteps - 1);
        const typename Kind::Handle fresh = Kind::make(step.size);
        unsigned char* bytes = Kind::bytes(fresh);
        if (bytes == nullptr) {
            state.SkipWithError("no memory for the live set");
            break;
        }
        bytes[0] = static_cast<unsigned char>(at);
        live[step.slot] = fresh;
    }
}

// A ring of handles from one producer thread to one consumer thread. A full
// or empty ring is waited out by spinning briefly, then yielding, so a
// thread that lost its processor on a busy machine gets it back.
template <class Handle> class Ring {
public:
    void push(Handle&& handle) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        wait([&] { return head - m_tail.load(std::memory_order_acquire) < kInFlight; });
        m_slots[head % kInFlight] = std::move(handle);
        m_head.store(head + 1, std::memory_order_release);
    }
    // False once the producer is done and everything it pushed is taken.
    bool pop(Handle& into) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        wait([&] { return m_head.load(std::memory_order_acquire) != tail || m_done.load(std::memory_order_acquire); });
        if (m_head.load(std::memory_order_acquire) == tail) {
            return false;
        }
        into = std::move(m_slots[tail % kInFlight]);
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }
    void finish() { m_done.store(true, std::memory_order_release); }

private:
    template <class Ready> static void wait(Ready ready) {
        for (int tries = 0; !ready(); ++tries) {
            if (tries >= 64) {
                std::this_thread::yield();
            }
        }
    }
    std::vector<Handle> m_slots = std::vector<Handle>(kInFlight);
    alignas(64) std::atomic<std::size_t> m_head{0};
    alignas(64) std::atomic<std::size_t> m_tail{0};
    alignas(64) std::atomic<bool> m_done{false};
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
    benchmark::RegisterBenchmark("BM_ProducerConsumer_SharedPtr", BM_ProducerConsumer<SharedBytes>)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ProducerConsumer_Packet", BM_ProducerConsumer<Packets>)->UseRealTime();
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
