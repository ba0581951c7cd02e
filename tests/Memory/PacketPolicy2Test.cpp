// The packet manager with the buddy pool, in a process of its own. Every test
// gives back what it takes, so each starts from the whole pool.
#include "Memory/PacketInternal.h"
#include "Platform/Platform.h"
#include "memory/Packet.h"
#include "support/PooledManager.h"
#include "support/Testing.h"

using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Memory::OldPacketInternal;
using namespace Orvane::Testing;

static constexpr std::uint64_t kTotal = 2097152, kChunk = 1024;
static std::atomic<int> g_operatorCopies{0};
static std::atomic<void*> g_poolMemory{nullptr};
static std::atomic<bool> g_poolGivenBack{false};

[[maybe_unused]] static const bool g_configured = [] {
    CPacketManager::MemoryOperator memop;
    memop.malloc = &std::malloc;
    memop.free = +[](void* pointer) {
        g_poolGivenBack = g_poolGivenBack || (pointer != nullptr && pointer == g_poolMemory.load());
        std::free(pointer);
    };
    memop.memcpy = +[](void* destination, const void* source, std::size_t length) {
        ++g_operatorCopies;
        return std::memcpy(destination, source, length);
    };
    // At the very end, after the manager's exit handler and the static packet below, the pool must be back.
    std::atexit(+[] {
        if (g_poolMemory.load() != nullptr && !g_poolGivenBack) {
            std::fprintf(stderr, "the pool was not given back at exit\n");
            std::_Exit(3);
        }
    });
    return configurePool(CPacketManager::policyPool, kTotal, kChunk, 4, &memop);
}();

// Constructed before the manager, so destroyed after its exit handler; it takes a packet once the tests
// are done, and the check above verifies that releasing it then still gives the pool back.
static CPacket g_heldUntilExit;
struct HoldAPacketPastExit : ::testing::Environment {
    void TearDown() override { g_heldUntilExit = CPacket(5000, 16); }
};
[[maybe_unused]] static const ::testing::Environment* const g_hold =
    ::testing::AddGlobalTestEnvironment(new HoldAPacketPastExit);

static CPacketManager& manager() {
    g_poolMemory = pooledManager().getPoolBuffer();
    return pooledManager();
}

static std::uint64_t align4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

static std::string dumped(CPacketManager& m) {
    return stdoutOf([&] { m.dumpNodes(); });
}

static std::string holder(std::uint32_t thread, int kilobytes) {
    return "ThreadID " + std::to_string(thread) + "  nodes= 1  size(K)= " + std::to_string(kilobytes) + "\n";
}

TEST(PacketPolicy2Test, ExhaustionIsReportedWithANodeDumpWhenStatisticsAreOn) {
    CPacketManager& m = manager();
    m.enableNodesStatistics(true);
    void* whole = m.malloc(kTotal);
    ASSERT_NE(whole, nullptr);
    CapturePrinter capture;
    const std::string out = stdoutOf([&] { EXPECT_EQ(m.malloc(1), nullptr); });
    EXPECT_EQ(out, holder(Orvane::Platform::currentThreadId(), 2048) + "Total  unfree count = 1 packetUsed(K) 2048\n");
    EXPECT_EQ(std::vector<std::size_t>({capture.count("CPacket No Free Space, totalSize:2097152, freeSize:0 \n"),
                                        capture.count("CPacketManager: dump FreeList\n"),
                                        capture.count("BufferList id:"), capture.count("bufflist:")}),
              (std::vector<std::size_t>{1, 1, 12, 0}))
        << "every list, all empty";
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
    std::thread([&] {
        otherId = Orvane::Platform::currentThreadId();
        theirs = m.malloc(100);
    }).join();
    const std::uint32_t selfId = Orvane::Platform::currentThreadId();

    CapturePrinter quiet;
    const std::string mineLine = holder(selfId, 4), theirLine = holder(otherId, 1);
    EXPECT_EQ(dumped(m), (selfId < otherId ? mineLine + theirLine : theirLine + mineLine) +
                             "Total  unfree count = 2 packetUsed(K) 5\n");
    EXPECT_NE(quiet.count("bufflist:"), 0u) << "the split blocks are listed";
    m.free(theirs);
    EXPECT_EQ(dumped(m), mineLine + "Total  unfree count = 1 packetUsed(K) 4\n");
    m.enableNodesStatistics(false);
    m.enableNodesStatistics(true);
    m.free(mine);
    // Switching off forgets; freeing a block it forgot is fine.
    EXPECT_EQ(dumped(m), "Total  unfree count = 0 packetUsed(K) 0\n");
    m.enableNodesStatistics(false);
}

TEST(PacketPolicy2Test, CopyUsesTheOperatorOnlyInsideThePool) {
    CPacketManager& m = manager();
    auto* a = static_cast<char*>(m.malloc(64));
    auto* b = static_cast<char*>(m.malloc(64));
    char outside[16] = "outside";
    const int before = g_operatorCopies;
    EXPECT_TRUE(m.memcpy(a, outside, sizeof outside) == a && m.memcpy(outside, a, 4) == outside);
    EXPECT_EQ(g_operatorCopies, before) << "to or from outside the pool: the C library's copy";
    EXPECT_EQ(m.memcpy(b, a, sizeof outside), b);
    EXPECT_EQ(g_operatorCopies, before + 1);
    CPacket source(16), target(64);
    ASSERT_TRUE(target.resize(0));
    EXPECT_EQ(target.putBuffer(source.getBuffer(), 16), 16u);
    EXPECT_EQ(g_operatorCopies, before + 2) << "a packet append inside the pool uses the operator";
    m.free(a);
    m.free(b);
}

TEST(PacketPolicy2Test, PacketLayoutFillsOnePoolBlock) {
    CPacketManager& m = manager();
    const std::uint64_t extra = 40, room = align4(extra + OldPacketInternal::recordRoom(4));
    ASSERT_NE(m.getPoolBuffer(), nullptr);
    EXPECT_EQ(std::vector<std::uint64_t>({m.getBufferSize(), m.getFreeSize()}), std::vector<std::uint64_t>(2, kTotal));
    m.free(nullptr);
    {
        CPacket packet(100);
        ASSERT_TRUE(packet.valid());
        EXPECT_EQ(packet.getBuffer(), poolBase(kChunk) + 2047 * kChunk) << "the first block is the pool's top";
        EXPECT_EQ(packet.size(), 100u);
        // The capacity takes what the pool granted.
        EXPECT_EQ(packet.capacity(), kChunk - align4(OldPacketInternal::recordRoom(4)));
        EXPECT_EQ(m.getFreeSize(), kTotal - kChunk);
        CPacket exact(kChunk - room, extra);
        EXPECT_EQ(m.getFreeSize(), kTotal - 2 * kChunk) << "fits one chunk exactly";
        EXPECT_EQ(static_cast<unsigned char*>(exact.getExtraData()), exact.getBuffer() + exact.capacity());
        std::memset(exact.getExtraData(), 0xEE, extra);
        CPacket over(exact.capacity() + 1, extra);
        EXPECT_EQ(m.getFreeSize(), kTotal - 4 * kChunk) << "one byte more needs two chunks";
        EXPECT_EQ(over.capacity(), 2 * kChunk - room);
    }
    EXPECT_EQ(m.getFreeSize(), kTotal);

    // No room for the record beside 2 MiB of data; without statistics no node dump.
    std::string out = "?";
    EXPECT_EQ(reported([&] { out = stdoutOf([] { EXPECT_FALSE(CPacket(kTotal, 0).valid()); }); }),
              (Lines{"CPacket No Free Space, totalSize:2097152, freeSize:2097152 \n",
                     "PacketInternal::create(): NO enough, need size:2097152 ext:0\n"}));
    EXPECT_EQ(out, "");
}
