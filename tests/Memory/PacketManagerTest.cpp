// The packet manager under the system policy with the test's memory operator;
// rules that need a manager not yet created, and the other policies, run in
// fresh processes.
#include "memory/PacketManager.h"

#include "Memory/PacketInternal.h"
#include "memory/Packet.h"
#include "support/PooledManager.h"
#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Memory::OldPacketInternal;

// The test's memory operator: records calls ("malloc 100", "free", "copy") and can be told to refuse.
static Lines g_calls;
static void* g_lastFreed = nullptr;
static bool g_refuse = false;

static void record(const std::string& call) {
    g_calls.push_back(call);
}
static Lines calls() { // and forgets them
    return std::exchange(g_calls, Lines{});
}

static CPacketManager::MemoryOperator countingOperator() {
    CPacketManager::MemoryOperator memop;
    memop.malloc = +[](std::size_t size) {
        record("malloc " + std::to_string(size));
        return g_refuse ? nullptr : std::malloc(size);
    };
    memop.free = +[](void* pointer) {
        record("free");
        g_lastFreed = pointer;
        std::free(pointer);
    };
    memop.memcpy = +[](void* destination, const void* source, std::size_t length) {
        record("copy");
        return std::memcpy(destination, source, length);
    };
    return memop;
}

// Before any test (and in every re-executed death-test child).
[[maybe_unused]] static const bool g_configured = [] {
    const CPacketManager::MemoryOperator memop = countingOperator();
    CPacketManager::config(CPacketManager::policySystem, &memop, nullptr);
    return true;
}();

static std::uint64_t align4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

TEST(PacketManagerTest, SystemPolicyHasNoPoolUsesTheOperatorAndIgnoresLateConfig) {
    CPacketManager* manager = CPacketManager::instance();
    EXPECT_EQ(manager->getPoolBuffer(), nullptr);
    EXPECT_EQ(manager->getFreeSize() + manager->getBufferSize(), 0u);
    calls();
    void* block = manager->malloc(100);
    char text[] = "through the operator";
    EXPECT_EQ(manager->memcpy(block, text, sizeof text), block);
    manager->free(block);
    EXPECT_EQ(g_lastFreed, block);
    EXPECT_EQ(calls(), (Lines{"malloc 100", "copy", "free"})) << "the system policy asks for exactly the size";

    CPacketManager::PoolParameter param;
    EXPECT_EQ(reported([&] { CPacketManager::config(CPacketManager::policyPool, nullptr, &param); }),
              Lines{"PacketManagerInternal::config() failured: Packet Manager has been configured!\n"});
    EXPECT_EQ(manager->getBufferSize(), 0u) << "still the system policy";
    // The statistics lines are the pooled test's; without statistics only the policy is named.
    std::string out = "?";
    EXPECT_EQ(reported([&] { out = stdoutOf([&] { manager->dumpNodes(); }); }),
              Lines{"CPacketManager dump: SYS Policy\n"});
    EXPECT_EQ(out, "");
}

TEST(PacketManagerTest, PacketIsOneOperatorBlockOfTheAlignedSizesOrInvalid) {
    calls();
    unsigned char* start = nullptr;
    {
        CPacket packet(101, 7);
        ASSERT_TRUE(packet.valid());
        start = packet.getBuffer();
        ASSERT_TRUE(packet.resize(100));
        const unsigned char tail[4] = {1, 2, 3, 4};
        EXPECT_EQ(packet.putBuffer(const_cast<unsigned char*>(tail), 4), 4u);
    }
    // Buffer, extra data and record share one block, whose start is the buffer; appends copy through the operator.
    EXPECT_EQ(calls(), (Lines{"malloc " + std::to_string(align4(101) + align4(7 + OldPacketInternal::recordRoom(4))),
                              "copy", "free"}));
    EXPECT_EQ(g_lastFreed, start);
    g_refuse = true;
    EXPECT_EQ(reported([] { EXPECT_FALSE(CPacket(100, 8).valid()); }),
              Lines{"PacketInternal::create(): NO enough, need size:100 ext:8\n"});
    g_refuse = false;
}

TEST(PacketManagerFreshTest, CreationAnnouncesTheSystemPolicy) {
    expectInFreshProcess(
        [] { EXPECT_EQ(reported([] { CPacketManager::instance(); }), Lines{"CPacketManager: System Policy\n"}); });
}

TEST(PacketManagerFreshTest, PolicyZeroKeepsThePolicyWhileParametersChange) {
    expectInFreshProcess([] {
        CapturePrinter quiet;
        CPacketManager::config(CPacketManager::policyPool, nullptr, nullptr);
        CPacketManager::PoolParameter param;
        param.totalSize = 4194304;
        param.chunkSize = 2048;
        CPacketManager::config(CPacketManager::policyKeep, nullptr, &param);
        CPacketManager::config(static_cast<CPacketManager::Policy>(9), nullptr, nullptr); // unknown: kept
        CPacketManager* manager = CPacketManager::instance();
        void* block = manager->malloc(1);
        EXPECT_EQ(std::vector<std::uint64_t>({manager->getBufferSize(), manager->getFreeSize()}),
                  std::vector<std::uint64_t>({4194304, 4194304 - 2048}));
        manager->free(block);
    });
}

TEST(PacketManagerFreshTest, InvalidParametersAndOperatorsEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CPacketManager::PoolParameter small, ragged, loose;
    small.chunkSize = 1023;
    small.totalSize = 1023 * 4;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &small),
                 "param->chunkSize >= 1024 && param->chunkSize > 0 && param->totalSize % param->chunkSize == 0");
    ragged.totalSize = 1024 * 10 + 1;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &ragged), "param->totalSize %");
    loose.alignSize = 3;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &loose), "param->alignSize >= 4");
    CPacketManager::MemoryOperator partial = countingOperator();
    partial.free = CPacketManager::MemoryOperator().free;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, &partial, nullptr),
                 "!memop->malloc\\.empty\\(\\) && !memop->free\\.empty\\(\\) && !memop->memcpy\\.empty\\(\\)");
}

// Pooled packet data only: the extra data and the record come from the C heap.
TEST(PacketManagerFreshTest, PoolBufferPolicyTakesOnlyTheDataFromThePool) {
    expectInFreshProcess([] {
        const std::uint64_t total = 65536, chunk = 2048;
        configurePool(CPacketManager::policyPoolBuffer, total, chunk, 16);
        CPacketManager& m = pooledManager();
        EXPECT_EQ(m.getBufferSize(), total);
        {
            CPacket packet(100, 24), larger(chunk + 1), empty(0, 8);
            ASSERT_TRUE(packet.valid() && larger.valid() && empty.valid());
            // The capacity is the granted pool block: no room is taken from the data for the record.
            EXPECT_EQ(
                std::vector<std::uint64_t>({packet.size(), packet.capacity(), larger.capacity(), empty.capacity()}),
                std::vector<std::uint64_t>({100, 2048, 4096, 0}));
            EXPECT_TRUE(insidePool(packet.getBuffer(), total, chunk) &&
                        !insidePool(packet.getExtraData(), total, chunk));
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(packet.getExtraData()) % 16, 0u);
            std::memset(packet.getExtraData(), 0x11, 24);
            std::memset(packet.getBuffer(), 0x22, packet.capacity());
            EXPECT_EQ(empty.getBuffer(), nullptr) << "an empty packet takes nothing from the pool";
            EXPECT_NE(empty.getExtraData(), nullptr);
            unsigned char byte = 1;
            EXPECT_EQ(empty.putBuffer(&byte, 1), 0u);
            EXPECT_EQ(m.getFreeSize(), total - 3 * chunk);
        }
        EXPECT_EQ(m.getFreeSize(), total);
        EXPECT_EQ(reported([&] { m.dumpNodes(); }), Lines{"CPacketManager dump: SYS Policy\n"});

        std::vector<CPacket> held(32);
        for (CPacket& packet : held) {
            packet = CPacket(chunk);
            ASSERT_TRUE(packet.valid());
        }
        EXPECT_EQ(m.getFreeSize(), 0u);
        EXPECT_EQ(reported([] { EXPECT_FALSE(CPacket(1, 4).valid()); }),
                  (Lines{"CPacket No Free Space, totalSize:65536, freeSize:0 \n",
                         "PacketInternal::create(): 2 NO enough, need size:1 ext:4\n"}));
        held.clear();
        EXPECT_EQ(m.getFreeSize(), total);
    });
}

// The manager allocates through the memory operator but makes no packets;
// packets over the caller's own buffers still work.
TEST(PacketManagerFreshTest, NoPacketPolicyKeepsTheManagerAndCallersBuffers) {
    expectInFreshProcess([] {
        CPacketManager::config(CPacketManager::policyNoPacket, nullptr, nullptr);
        calls();
        CapturePrinter capture(true, 6);
        EXPECT_FALSE(CPacket(100, 8).valid());
        CPacketManager* m = CPacketManager::instance();
        EXPECT_EQ(m->getBufferSize() + m->getFreeSize(), 0u);
        EXPECT_EQ(m->getPoolBuffer(), nullptr);
        void* block = m->malloc(32);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(m->memcpy(block, "policy four", 12), block);
        m->free(block);
        m->dumpNodes();
        EXPECT_EQ(capture.bodies(), Lines{"tracepoint:\n"}) << "no shortage is reported, nothing to dump";

        unsigned char bytes[16] = {};
        CPacket wrapped(bytes, sizeof bytes, CPacket::BufferProc());
        ASSERT_TRUE(wrapped.resize(4));
        EXPECT_EQ(wrapped.putBuffer(const_cast<char*>("abcdef"), 6), 6u);
        EXPECT_TRUE(CPacket(wrapped, 4, 6).valid());
        EXPECT_EQ(calls(), (Lines{"malloc 32", "copy", "free", "copy"})) << "the append copies through the operator";
    });
}
