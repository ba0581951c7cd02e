// The packet manager under the system policy with the test's memory operator;
// rules that need a manager not yet created run in fresh processes.
#include "memory/PacketManager.h"

#include "Memory/PacketInternal.h"
#include "memory/Packet.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Memory::OldPacketInternal;
using Orvane::Testing::CapturePrinter;

namespace {

// The test's memory operator: counts calls and can be told to refuse.
std::atomic<int> g_mallocs{0}, g_frees{0}, g_copies{0};
std::atomic<std::size_t> g_lastRequest{0};
std::atomic<void*> g_lastFreed{nullptr};
std::atomic<bool> g_refuse{false};

void* countingMalloc(std::size_t size) {
    ++g_mallocs;
    g_lastRequest = size;
    return g_refuse ? nullptr : std::malloc(size);
}
void countingFree(void* pointer) {
    ++g_frees;
    g_lastFreed = pointer;
    std::free(pointer);
}
void* countingCopy(void* destination, const void* source, std::size_t length) {
    ++g_copies;
    return std::memcpy(destination, source, length);
}

CPacketManager::MemoryOperator countingOperator() {
    CPacketManager::MemoryOperator memop;
    memop.malloc = &countingMalloc;
    memop.free = &countingFree;
    memop.memcpy = &countingCopy;
    return memop;
}

// Before any test (and in every re-executed death-test child).
[[maybe_unused]] const bool g_configured = [] {
    const CPacketManager::MemoryOperator memop = countingOperator();
    CPacketManager::config(CPacketManager::policySystem, &memop, nullptr);
    return true;
}();

std::uint64_t align4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

} // namespace

TEST(PacketManagerTest, SystemPolicyHasNoPoolUsesTheOperatorAndIgnoresLateConfig) {
    CPacketManager* manager = CPacketManager::instance();
    EXPECT_EQ(manager->getPoolBuffer(), nullptr);
    EXPECT_EQ(manager->getFreeSize() + manager->getBufferSize(), 0u);
    const int calls = g_mallocs + g_frees + g_copies;
    void* block = manager->malloc(100);
    EXPECT_EQ(g_lastRequest, 100u) << "the system policy asks the operator for exactly the size";
    char text[] = "through the operator";
    EXPECT_EQ(manager->memcpy(block, text, sizeof text), block);
    EXPECT_STREQ(static_cast<char*>(block), text);
    manager->free(block);
    EXPECT_EQ(g_lastFreed, block);
    EXPECT_EQ(g_mallocs + g_frees + g_copies, calls + 3);

    CapturePrinter capture;
    CPacketManager::PoolParameter param;
    CPacketManager::config(CPacketManager::policyPool, nullptr, &param);
    EXPECT_EQ(capture.linesContaining("PacketManagerInternal::config() failured: Packet Manager has been configured!\n")
                  .size(),
              1u)
        << capture.text();
    EXPECT_EQ(manager->getBufferSize(), 0u) << "still the system policy";
}

TEST(PacketManagerTest, PacketIsOneOperatorBlockOfTheAlignedSizesOrInvalid) {
    const int mallocs = g_mallocs;
    const int copies = g_copies;
    unsigned char* start = nullptr;
    {
        CPacket packet(101, 7);
        ASSERT_TRUE(packet.valid());
        EXPECT_EQ(g_mallocs, mallocs + 1) << "buffer, extra data and record share one block";
        EXPECT_EQ(g_lastRequest, align4(101) + align4(7 + OldPacketInternal::recordRoom(4)));
        EXPECT_EQ(packet.capacity(), 104u);
        start = packet.getBuffer();
        ASSERT_TRUE(packet.resize(100));
        const unsigned char tail[4] = {1, 2, 3, 4};
        EXPECT_EQ(packet.putBuffer(const_cast<unsigned char*>(tail), 4), 4u);
        EXPECT_EQ(g_copies, copies + 1) << "appends go through the operator's copy";
    }
    EXPECT_EQ(g_lastFreed, start) << "the block, whose start is the buffer, goes back to the operator";
    CapturePrinter capture;
    g_refuse = true;
    CPacket packet(100, 8);
    g_refuse = false;
    EXPECT_FALSE(packet.valid());
    const auto reports = capture.linesContaining("PacketInternal::create(): NO enough, need size:100 ext:8\n");
    ASSERT_EQ(reports.size(), 1u) << capture.text();
    EXPECT_NE(reports[0].find("warn"), std::string::npos) << reports[0];
}

TEST(PacketManagerTest, DumpNodesShowsStatisticsAndTheSystemPolicy) {
    CPacketManager* manager = CPacketManager::instance();
    CapturePrinter capture;
    for (const bool statistics : {false, true}) {
        manager->enableNodesStatistics(statistics);
        testing::internal::CaptureStdout();
        manager->dumpNodes();
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  statistics ? "Total  unfree count = 0 packetUsed(K) 0\n" : "");
    }
    manager->enableNodesStatistics(false);
    EXPECT_EQ(capture.linesContaining("CPacketManager dump: SYS Policy\n").size(), 2u) << capture.text();
}

// ---- In fresh processes: the manager does not exist yet there ----

class PacketManagerFreshTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(PacketManagerFreshTest, CreationAnnouncesTheSystemPolicy) {
    EXPECT_EXIT(
        {
            CapturePrinter capture;
            CPacketManager::instance();
            std::exit(capture.linesContaining("CPacketManager: System Policy\n").size() == 1 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(PacketManagerFreshTest, PolicyZeroKeepsThePolicyWhileParametersChange) {
    EXPECT_EXIT(
        {
            CapturePrinter quiet;
            CPacketManager::config(CPacketManager::policyPool, nullptr, nullptr);
            CPacketManager::PoolParameter param;
            param.totalSize = 4194304;
            param.chunkSize = 2048;
            CPacketManager::config(CPacketManager::policyKeep, nullptr, &param);
            CPacketManager::config(static_cast<CPacketManager::Policy>(9), nullptr, nullptr); // unknown: kept
            CPacketManager* manager = CPacketManager::instance();
            std::uint64_t size = 1;
            void* block = manager->malloc(size);
            const bool ok = manager->getBufferSize() == 4194304 && manager->getFreeSize() == 4194304 - 2048;
            manager->free(block);
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(PacketManagerFreshTest, InvalidParametersAndOperatorsEndTheProcess) {
    CPacketManager::PoolParameter small;
    small.chunkSize = 1023;
    small.totalSize = 1023 * 4;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &small),
                 "param->chunkSize >= 1024 && param->chunkSize > 0 && param->totalSize % param->chunkSize == 0");
    CPacketManager::PoolParameter ragged;
    ragged.totalSize = 1024 * 10 + 1;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &ragged), "param->totalSize %");
    CPacketManager::PoolParameter loose;
    loose.alignSize = 3;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &loose), "param->alignSize >= 4");
    CPacketManager::MemoryOperator partial = countingOperator();
    partial.free = CPacketManager::MemoryOperator().free;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, &partial, nullptr),
                 "!memop->malloc\\.empty\\(\\) && !memop->free\\.empty\\(\\) && !memop->memcpy\\.empty\\(\\)");
}
