// Memory under the default (system) policy: packet create and destroy, packet
// copies, the fixed-size pool and the growable buffer, each beside what a
// user would otherwise pick (malloc, std::make_shared, std::shared_ptr,
// std::vector). Pairs share a name stem so they line up in the output.
#include "PacketBenchBodies.h"
#include "PacketShape.h"

#include <atomic>
#include <cstring>
#include <new>

using Orvane::Memory::CBuffer;
using Orvane::Memory::CPacket;
using Orvane::Memory::Detail::CMemPool;

namespace {

// ---- Creation under the system policy ----

using PacketBench::PacketRecordFields;

// The least a system-policy packet costs with a packet's record: one malloc of
// the data and the record, the record written at the block's end, one free,
// all inline with no call of the library.
void BM_RecordInHeapBlock64(benchmark::State& state) {
    constexpr std::size_t kData = 64;
    constexpr std::size_t kBlock = kData + sizeof(PacketRecordFields);
    for (auto _ : state) {
        auto* block = static_cast<unsigned char*>(std::malloc(kBlock));
        auto* record = new (block + kData) PacketRecordFields;
        record->buffer = block;
        record->size = kData;
        record->capacity = kData;
        record->extra = block + kData;
        benchmark::DoNotOptimize(record);
        benchmark::ClobberMemory(); // the record is written, as a packet's must be
        record->~PacketRecordFields();
        std::free(block);
    }
}

// The same block and record behind exported calls and nothing else (see
// PacketShape.h): the least any packet costs behind the packet's interface.
void BM_PacketShape64(benchmark::State& state) {
    for (auto _ : state) {
        PacketBench::PacketShape packet(64);
        benchmark::DoNotOptimize(packet.getBuffer());
    }
}

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

} // namespace

int main(int argc, char** argv) {
    PacketBench::configurePolicy(Orvane::Memory::CPacketManager::policySystem);
    PacketBench::registerCreateDestroy();
    benchmark::RegisterBenchmark("BM_RecordInHeapBlock64", BM_RecordInHeapBlock64);
    benchmark::RegisterBenchmark("BM_PacketShape64", BM_PacketShape64);
    g_sharedPacket = CPacket(64);
    g_sharedVector = std::make_shared<std::vector<std::uint8_t>>(64);
    // Uncontended and with two threads on one object, in wall time, so the
    // two-thread figures include waiting for each other. Every one-thread
    // run comes first: until a benchmark starts a second thread the process
    // has only one, as a single-threaded program does, and the library and
    // the C library both skip their atomic steps; after that neither does.
    for (int threads = 1; threads <= 2; ++threads) {
        benchmark::RegisterBenchmark("BM_PacketCopy", BM_PacketCopy)->Threads(threads)->UseRealTime();
        benchmark::RegisterBenchmark("BM_SharedPtrCopy", BM_SharedPtrCopy)->Threads(threads)->UseRealTime();
        benchmark::RegisterBenchmark("BM_MemPool64", BM_MemPool64)->Threads(threads)->UseRealTime();
        benchmark::RegisterBenchmark("BM_Malloc64", BM_Malloc64)->Threads(threads)->UseRealTime();
    }
    // One thread once the process has had two (see PacketPolicy2Bench).
    benchmark::RegisterBenchmark("BM_MemPool64AfterThreads", BM_MemPool64)->UseRealTime();
    PacketBench::registerOneLockReference();
    // Growth step 0 (exact growth) and 4096.
    benchmark::RegisterBenchmark("BM_BufferAppend", BM_BufferAppend)->Arg(0)->Arg(4096);
    benchmark::RegisterBenchmark("BM_VectorAppend", BM_VectorAppend);
    const int result = PacketBench::run(argc, argv);
    g_sharedPacket.reset();
    return result;
}
