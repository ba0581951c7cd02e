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
