// The packet manager with the buddy pool, in a process of its own. Every test
// gives back what it takes, so each starts from the whole pool.
#include "Memory/PacketInternal.h"
#include "Platform/Platform.h"
#include "memory/Packet.h"
#include "support/PooledManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Memory::OldPacketInternal;
using namespace Orvane::Testing;

namespace {

constexpr std::uint64_t kTotal = 2097152, kChunk = 1024;

std::atomic<int> g_operatorCopies{0};
std::atomic<void*> g_poolMemory{nullptr};
std::atomic<bool> g_poolGivenBack{false};

void* poolMalloc(std::size_t size) {
    return std::malloc(size);
}
void poolFree(void* pointer) {
    if (pointer != nullptr && pointer == g_poolMemory.load()) {
        g_poolGivenBack = true;
    }
    std::free(pointer);
}
void* countingCopy(void* destination, const void* source, std::size_t length) {
    ++g_operatorCopies;
    return std::memcpy(destination, source, length);
}

// At the very end, after the manager's exit handler and the static packet below, the pool must be back.
void checkPoolGivenBack() {
    if (g_poolMemory.load() != nullptr && !g_poolGivenBack) {
        std::fprintf(stderr, "the pool was not given back at exit\n");
        std::_Exit(3);
    }
}

[[maybe_unused]] const bool g_configured = [] {
    CPacketManager::MemoryOperator memop;
    memop.malloc = &poolMalloc;
    memop.free = &poolFree;
    memop.memcpy = &countingCopy;
    std::atexit(checkPoolGivenBack);
    return configurePool(CPacketManager::policyPool, kTotal, kChunk, 4, &memop);
}();

// Constructed before the manager, so destroyed after its exit handler; it takes a packet once the tests
// are done, and checkPoolGivenBack verifies that releasing it then still gives the pool back.
CPacket g_heldUntilExit;
struct HoldAPacketPastExit : ::testing::Environment {
    void TearDown() override { g_heldUntilExit = CPacket(5000, 16); }
};
[[maybe_unused]] const ::testing::Environment* const g_hold =
    ::testing::AddGlobalTestEnvironment(new HoldAPacketPastExit);

CPacketManager& manager() {
    g_poolMemory = pooledManager().getPoolBuffer();
    return pooledManager();
}

std::uint64_t align4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

} // namespace

TEST(PacketPolicy2Test, PoolShapeAndFirstBlockFromTheTop) {
    CPacketManager& m = manager();
    ASSERT_NE(m.getPoolBuffer(), nullptr);
    EXPECT_EQ(m.getBufferSize(), kTotal);
    EXPECT_EQ(m.getFreeSize(), kTotal);
    void* first = m.malloc(1);
    EXPECT_EQ(first, poolBase(kChunk) + 2047 * kChunk);
    void* second = m.malloc(3000);
    EXPECT_EQ(m.getFreeSize(), kTotal - 1024 - 4096) << "the granted sizes are taken";
    m.free(first);
    m.free(second);
    m.free(nullptr);
    EXPECT_EQ(m.getFreeSize(), kTotal);
}

TEST(PacketPolicy2Test, ExhaustionIsReportedWithANodeDumpWhenStatisticsAreOn) {
    CPacketManager& m = manager();
    {
        CapturePrinter capture;
        testing::internal::CaptureStdout();
        EXPECT_EQ(m.malloc(kTotal + 1), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no statistics, no dump";
        const auto reports = capture.linesContaining("CPacket No Free Space, totalSize:2097152, freeSize:2097152 \n");
        ASSERT_EQ(reports.size(), 1u) << capture.text();
        EXPECT_NE(reports[0].find("warn"), std::string::npos);
        EXPECT_TRUE(capture.linesContaining("dump FreeList").empty());
    }

    m.enableNodesStatistics(true);
    void* whole = m.malloc(kTotal);
    ASSERT_NE(whole, nullptr);
    CapturePrinter capture;
    testing::internal::CaptureStdout();
    EXPECT_EQ(m.malloc(1), nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(capture.linesContaining("CPacket No Free Space, totalSize:2097152, freeSize:0 \n").size(), 1u);
    EXPECT_EQ(capture.linesContaining("CPacketManager: dump FreeList\n").size(), 1u) << capture.text();
    EXPECT_EQ(capture.linesContaining("BufferList id:").size(), 12u) << "every list, all empty";
    EXPECT_TRUE(capture.linesContaining("bufflist:").empty());
    const std::string self = std::to_string(Orvane::Platform::currentThreadId());
    EXPECT_EQ(out, "ThreadID " + self + "  nodes= 1  size(K)= 2048\nTotal  unfree count = 1 packetUsed(K) 2048\n");
    m.free(whole);
    m.enableNodesStatistics(false);
    EXPECT_EQ(m.getFreeSize(), kTotal);
}

TEST(PacketPolicy2Test, StatisticsShowOneLinePerHoldingThread) {
    CPacketManager& m = manager();
    m.enableNodesStatistics(true);
    void* mine = m.malloc(3000);
    std::uint32_t otherId = 0;
    void* theirs = nullptr;
    std::thread other([&] {
        otherId = Orvane::Platform::currentThreadId();
        theirs = m.malloc(100);
    });
    other.join();
    const std::uint32_t selfId = Orvane::Platform::currentThreadId();

    CapturePrinter quiet;
    testing::internal::CaptureStdout();
    m.dumpNodes();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string mineLine = "ThreadID " + std::to_string(selfId) + "  nodes= 1  size(K)= 4\n";
    const std::string theirLine = "ThreadID " + std::to_string(otherId) + "  nodes= 1  size(K)= 1\n";
    const std::string expected =
        (selfId < otherId ? mineLine + theirLine : theirLine + mineLine) + "Total  unfree count = 2 packetUsed(K) 5\n";
    EXPECT_EQ(out, expected);
    EXPECT_FALSE(quiet.linesContaining("bufflist:").empty()) << "the split blocks are listed";

    m.free(theirs);
    testing::internal::CaptureStdout();
    m.dumpNodes();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), mineLine + "Total  unfree count = 1 packetUsed(K) 4\n");

    m.enableNodesStatistics(false);
    m.enableNodesStatistics(true);
    m.free(mine);
    testing::internal::CaptureStdout();
    m.dumpNodes();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Total  unfree count = 0 packetUsed(K) 0\n")
        << "switching off forgets; freeing a block it forgot is fine";
    m.enableNodesStatistics(false);
}

TEST(PacketPolicy2Test, CopyUsesTheOperatorOnlyInsideThePool) {
    CPacketManager& m = manager();
    auto* a = static_cast<char*>(m.malloc(64));
    auto* b = static_cast<char*>(m.malloc(64));
    char outside[16] = "outside";
    const int before = g_operatorCopies;
    EXPECT_EQ(m.memcpy(a, outside, sizeof outside), a);
    EXPECT_EQ(m.memcpy(outside, a, 4), outside);
    EXPECT_EQ(g_operatorCopies, before) << "to or from outside the pool: the C library's copy";
    EXPECT_EQ(m.memcpy(b, a, sizeof outside), b);
    EXPECT_EQ(g_operatorCopies, before + 1);
    EXPECT_STREQ(b, "outside");

    CPacket source(16);
    std::memcpy(source.getBuffer(), "pooled bytes....", 16);
    CPacket target(64);
    ASSERT_TRUE(target.resize(0));
    EXPECT_EQ(target.putBuffer(source.getBuffer(), 16), 16u);
    EXPECT_EQ(g_operatorCopies, before + 2) << "a packet append inside the pool uses the operator";
    EXPECT_EQ(std::memcmp(target.getBuffer(), "pooled bytes....", 16), 0);
    m.free(a);
    m.free(b);
}

TEST(PacketPolicy2Test, PacketLayoutFillsOnePoolBlock) {
    CPacketManager& m = manager();
    const std::uint64_t tail = align4(OldPacketInternal::recordRoom(4));
    {
        CPacket packet(100);
        ASSERT_TRUE(packet.valid());
        EXPECT_EQ(packet.getBuffer(), poolBase(kChunk) + 2047 * kChunk);
        EXPECT_EQ(packet.size(), 100u);
        EXPECT_EQ(packet.capacity(), kChunk - tail) << "the capacity takes what the pool granted";
        EXPECT_EQ(m.getFreeSize(), kTotal - kChunk);

        const std::uint64_t extra = 40;
        CPacket exact(kChunk - align4(extra + OldPacketInternal::recordRoom(4)), extra);
        EXPECT_EQ(m.getFreeSize(), kTotal - 2 * kChunk) << "fits one chunk exactly";
        EXPECT_EQ(static_cast<unsigned char*>(exact.getExtraData()), exact.getBuffer() + exact.capacity());
        std::memset(exact.getExtraData(), 0xEE, extra);
        CPacket over(exact.capacity() + 1, extra);
        EXPECT_EQ(m.getFreeSize(), kTotal - 4 * kChunk) << "one byte more needs two chunks";
        EXPECT_EQ(over.capacity(), 2 * kChunk - align4(extra + OldPacketInternal::recordRoom(4)));
    }
    EXPECT_EQ(m.getFreeSize(), kTotal);

    CapturePrinter capture;
    CPacket tooBig(kTotal, 0);
    EXPECT_FALSE(tooBig.valid()) << "the record does not fit beside 2 MiB of data";
    EXPECT_EQ(capture.linesContaining("PacketInternal::create(): NO enough, need size:2097152 ext:0\n").size(), 1u);
}
