// The packet manager under the system policy with the test's memory operator;
// rules that need a manager not yet created run in fresh processes.
#include "memory/PacketManager.h"

#include "Memory/PacketInternal.h"
#include "memory/Packet.h"
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
}

TEST(PacketManagerTest, PacketIsOneOperatorBlockOfTheAlignedSizesOrInvalid) {
    calls();
    unsigned char* start = nullptr;
    {
        CPacket packet(101, 7);
        ASSERT_TRUE(packet.valid());
        EXPECT_EQ(packet.capacity(), 104u);
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

// The statistics lines are the pooled test's; without statistics only the policy is named.
TEST(PacketManagerTest, DumpNodesNamesTheSystemPolicy) {
    CPacketManager* manager = CPacketManager::instance(); // made first: its creation is reported too
    std::string out = "?";
    EXPECT_EQ(reported([&] { out = stdoutOf([&] { manager->dumpNodes(); }); }),
              Lines{"CPacketManager dump: SYS Policy\n"});
    EXPECT_EQ(out, "");
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
