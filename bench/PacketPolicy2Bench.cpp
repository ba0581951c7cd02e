// Packets from the buddy pool (one pool block per packet) beside malloc and
// std::make_shared, and the pool's own malloc and free with two threads
// contending beside the C library's.
#include "PacketBenchBodies.h"

using Orvane::Memory::CPacketManager;

namespace {

// Each thread takes and gives back a block just under one chunk. With
// argument 0 the pool is otherwise empty, so every block is split off the
// whole pool and merged back into it (eleven levels each way, the worst
// case); with 1 each thread first holds a block of its own, as in a pool
// that is in use, and the cycle splits and merges one level.
void BM_PoolMallocFree(benchmark::State& state) {
    CPacketManager* manager = CPacketManager::instance();
    void* held = state.range(0) != 0 ? manager->malloc(1000) : nullptr;
    for (auto _ : state) {
        void* block = manager->malloc(1000);
        benchmark::DoNotOptimize(block);
        manager->free(block);
    }
    manager->free(held);
}

void BM_CMallocFree(benchmark::State& state) {
    for (auto _ : state) {
        void* block = std::malloc(1000);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}

} // namespace

int main(int argc, char** argv) {
    PacketBench::registerCreateDestroy();
    // One thread first, while the process has only one (see MemoryBench).
    for (int threads = 1; threads <= 2; ++threads) {
        benchmark::RegisterBenchmark("BM_PoolMallocFree", BM_PoolMallocFree)
            ->Arg(0)
            ->Arg(1)
            ->Threads(threads)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_CMallocFree", BM_CMallocFree)->Threads(threads)->UseRealTime();
    }
    // The pool in use by one thread once the process has had two: the lock's
    // atomic steps, nobody to take turns with. What the two-thread rows
    // would cost if the threads never met at the lock.
    benchmark::RegisterBenchmark("BM_PoolMallocFreeAfterThreads", BM_PoolMallocFree)->Arg(1)->UseRealTime();
    PacketBench::registerOneLockReference();
    return PacketBench::runWithPolicy(argc, argv, CPacketManager::policyPool);
}
