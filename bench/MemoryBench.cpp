// Memory under the default (system) policy: packet create and destroy, packet
// copies, the fixed-size pool and the growable buffer, each beside what a
// user would otherwise pick (malloc, std::make_shared, std::shared_ptr,
// std::vector). Pairs share a name stem so they line up in the output.
#include "PacketBenchBodies.h"

#include <atomic>
#include <cstring>

using Orvane::Memory::CBuffer;
using Orvane::Memory::CPacket;
using Orvane::Memory::Detail::CMemPool;

namespace {

// ---- Copies: one atomic increment and decrement per copy ----

CPacket g_sharedPacket;
std::shared_ptr<std::vector<std::uint8_t>> g_sharedVector;

void BM_PacketCopy(benchmark::State& state) {
    for (auto _ : state) {
        CPacket copy(g_sharedPacket);
        benchmark::DoNotOptimize(&copy);
    }
}

void BM_SharedPtrCopy(benchmark::State& state) {
    for (auto _ : state) {
        std::shared_ptr<std::vector<std::uint8_t>> copy(g_sharedVector);
        benchmark::DoNotOptimize(&copy);
    }
}

// ---- 64-byte units ----

CMemPool g_pool(64, 256);

void BM_MemPool64(benchmark::State& state) {
    for (auto _ : state) {
        void* unit = g_pool.malloc();
        benchmark::DoNotOptimize(unit);
        g_pool.free(unit);
    }
}

void BM_Malloc64(benchmark::State& state) {
    for (auto _ : state) {
        void* unit = std::malloc(64);
        benchmark::DoNotOptimize(unit);
        std::free(unit);
    }
}

// The least any pool costs that takes one lock for each malloc and each
// free, as the fixed-size pool does: an exchange lock and a free list written
// inline, with no call. What separates the pool from malloc beyond this is
// its design, not its code.
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
            }
        }
    }
    void unlock() { m_held.store(false, std::memory_order_release); }
    std::atomic<bool> m_held{false};
    Unit* m_head = nullptr;
    Unit m_units[kUnits];
};

OneLockFreeList g_oneLockList;

void BM_OneLockFreeList64(benchmark::State& state) {
    for (auto _ : state) {
        void* unit = g_oneLockList.pop();
        benchmark::DoNotOptimize(unit);
        g_oneLockList.push(unit);
    }
}

// ---- Appends: 64 KiB in 16-byte pieces ----

constexpr int kPieces = 4096;
unsigned char g_piece[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

void BM_BufferAppend(benchmark::State& state) {
    const auto step = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) {
        CBuffer buffer;
        if (step != 0) {
            buffer.setIncreasedSize(step);
        }
        for (int i = 0; i < kPieces; ++i) {
            buffer.putBuffer(g_piece, sizeof g_piece);
        }
        benchmark::DoNotOptimize(buffer.getBuffer());
    }
}

void BM_VectorAppend(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> vector;
        for (int i = 0; i < kPieces; ++i) {
            vector.insert(vector.end(), g_piece, g_piece + sizeof g_piece);
        }
        benchmark::DoNotOptimize(vector.data());
    }
}

// Uncontended and with two threads on one object; wall time, so the
// two-thread figures include waiting for each other.
void pairSettings(benchmark::internal::Benchmark* b) {
    b->Threads(1)->Threads(2)->UseRealTime();
}

} // namespace

int main(int argc, char** argv) {
    PacketBench::configurePolicy(Orvane::Memory::CPacketManager::policySystem);
    PacketBench::registerCreateDestroy();
    g_sharedPacket = CPacket(64);
    g_sharedVector = std::make_shared<std::vector<std::uint8_t>>(64);
    benchmark::RegisterBenchmark("BM_PacketCopy", BM_PacketCopy)->Apply(pairSettings);
    benchmark::RegisterBenchmark("BM_SharedPtrCopy", BM_SharedPtrCopy)->Apply(pairSettings);
    benchmark::RegisterBenchmark("BM_MemPool64", BM_MemPool64)->Apply(pairSettings);
    benchmark::RegisterBenchmark("BM_Malloc64", BM_Malloc64)->Apply(pairSettings);
    benchmark::RegisterBenchmark("BM_OneLockFreeList64", BM_OneLockFreeList64)->Apply(pairSettings);
    // Growth step 0 (exact growth) and 4096.
    benchmark::RegisterBenchmark("BM_BufferAppend", BM_BufferAppend)->Arg(0)->Arg(4096);
    benchmark::RegisterBenchmark("BM_VectorAppend", BM_VectorAppend);
    const int result = PacketBench::run(argc, argv);
    g_sharedPacket.reset();
    return result;
}
