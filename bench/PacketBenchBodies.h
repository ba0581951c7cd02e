// Benchmark bodies shared by the packet programs, one program per packet
// manager policy (the policy is fixed for the whole process).
//
// Each creates and destroys a packet of state.range(0) bytes beside what a
// user would otherwise write: malloc and free of the same size, and a
// std::make_shared<std::vector<uint8_t>> of that size.
#ifndef DOZUV2_BENCH_PACKETBENCHBODIES_H
#define DOZUV2_BENCH_PACKETBENCHBODIES_H

#include <Dozuv2.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace PacketBench {

inline void BM_PacketCreateDestroy(benchmark::State& state) {
    const auto size = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) {
        Orvane::Memory::CPacket packet(size);
        benchmark::DoNotOptimize(packet.getBuffer());
    }
}

inline void BM_MallocFree(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        void* block = std::malloc(size);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}

inline void BM_MakeSharedVector(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        auto vector = std::make_shared<std::vector<std::uint8_t>>(size);
        benchmark::DoNotOptimize(vector->data());
    }
}

// Sizes around one chunk: small, a chunk's worth, a few chunks.
inline void packetSizes(benchmark::internal::Benchmark* b) {
    b->Arg(64)->Arg(1000)->Arg(4000);
}

// Registers the three create-and-destroy benchmarks.
inline void registerCreateDestroy() {
    benchmark::RegisterBenchmark("BM_PacketCreateDestroy", BM_PacketCreateDestroy)->Apply(packetSizes);
    benchmark::RegisterBenchmark("BM_MallocFree", BM_MallocFree)->Apply(packetSizes);
    benchmark::RegisterBenchmark("BM_MakeSharedVector", BM_MakeSharedVector)->Apply(packetSizes);
}

// A pool that takes one lock for each allocation and each release, as the
// pools of the library do once the process has a second thread: an exchange
// lock that waits with the processor's pause, and a free list of 64-byte
// units written inline, with no call. Measured beside a row, it shows what
// two threads pay for sharing one such pool, whatever the pool does inside
// the lock. It is a reference, not a bound: how the threads take turns at
// the lock moves it, and the buddy pool's shortcuts, which look before they
// lock and never wait for it, measure below it.
class OneLockFreeList {
public:
    OneLockFreeList() {
        for (std::size_t i = 0; i + 1 < kUnits; ++i) {
            m_units[i].next = &m_units[i + 1];
        }
        m_head = &m_units[0];
    }
    void* pop() {
        lock();
        Unit* unit = m_head;
        m_head = unit->next;
        unlock();
        return unit;
    }
    void push(void* given) {
        auto* unit = static_cast<Unit*>(given);
        lock();
        unit->next = m_head;
        m_head = unit;
        unlock();
    }

private:
    struct Unit {
        Unit* next;
        unsigned char rest[56];
    };
    static constexpr std::size_t kUnits = 256;
    void lock() {
        while (m_held.exchange(true, std::memory_order_acquire)) {
            while (m_held.load(std::memory_order_relaxed)) {
                __builtin_ia32_pause();
            }
        }
    }
    void unlock() { m_held.store(false, std::memory_order_release); }
    std::atomic<bool> m_held{false};
    Unit* m_head = nullptr;
    Unit m_units[kUnits];
};

inline void BM_OneLockFreeList64(benchmark::State& state) {
    static OneLockFreeList list;
    for (auto _ : state) {
        void* unit = list.pop();
        benchmark::DoNotOptimize(unit);
        list.push(unit);
    }
}

// Registers the reference for two threads on the one list, in wall time.
// (With one thread the pools take no atomic step while the process has only
// ever had one, so there is nothing left for it to show.)
inline void registerOneLockReference() {
    benchmark::RegisterBenchmark("BM_OneLockFreeList64", BM_OneLockFreeList64)->Threads(2)->UseRealTime();
}

// Fixes the policy; call it first in main, before anything (a packet made
// for a benchmark included) uses the packet manager.
inline void configurePolicy(Orvane::Memory::CPacketManager::Policy policy) {
    Orvane::Memory::CPacketManager::config(policy, nullptr, nullptr);
    Orvane::Virad::setPrintLogLevel(Orvane::Virad::LOG_WARN); // no creation banner between results
    Orvane::Memory::CPacketManager::instance();
}

// Runs the registered benchmarks.
inline int run(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Configures the policy, then runs.
inline int runWithPolicy(int argc, char** argv, Orvane::Memory::CPacketManager::Policy policy) {
    configurePolicy(policy);
    return run(argc, argv);
}

} // namespace PacketBench

#endif
