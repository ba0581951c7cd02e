// The packet manager with pooled packet data only (extra data and record from
// the C heap), in a process of its own: the layout, empty packets, exhaustion
// and the dump, which names the system policy here.
#include "memory/PacketManager.h"

#include "memory/Packet.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Testing::CapturePrinter;

namespace {

constexpr std::uint64_t kTotal = 65536;
constexpr std::uint64_t kChunk = 2048;

[[maybe_unused]] const bool g_configured = [] {
    CPacketManager::PoolParameter param;
    param.totalSize = kTotal;
    param.chunkSize = kChunk;
    param.alignSize = 16;
    CPacketManager::config(CPacketManager::policyPoolBuffer, nullptr, &param);
    return true;
}();

CPacketManager& manager() {
    static CPacketManager* const instance = [] {
        CapturePrinter quiet;
        return CPacketManager::instance();
    }();
    return *instance;
}

bool insidePool(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const auto memory = reinterpret_cast<std::uintptr_t>(manager().getPoolBuffer());
    return at >= memory && at < memory + kTotal + kChunk;
}

} // namespace

TEST(PacketPolicy3Test, DataFromThePoolExtraAndRecordFromTheHeap) {
    CPacketManager& m = manager();
    EXPECT_EQ(m.getBufferSize(), kTotal);
    {
        CPacket packet(100, 24);
        ASSERT_TRUE(packet.valid());
        EXPECT_EQ(packet.size(), 100u);
        EXPECT_EQ(packet.capacity(), kChunk) << "the capacity is the granted pool block";
        EXPECT_TRUE(insidePool(packet.getBuffer()));
        ASSERT_NE(packet.getExtraData(), nullptr);
        EXPECT_FALSE(insidePool(packet.getExtraData()));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(packet.getExtraData()) % 16, 0u);
        std::memset(packet.getExtraData(), 0x11, 24);
        std::memset(packet.getBuffer(), 0x22, packet.capacity());
        EXPECT_EQ(m.getFreeSize(), kTotal - kChunk);

        CPacket larger(kChunk + 1);
        EXPECT_EQ(larger.capacity(), 2 * kChunk) << "no room is taken from the data for the record";
        EXPECT_EQ(m.getFreeSize(), kTotal - 3 * kChunk);
    }
    EXPECT_EQ(m.getFreeSize(), kTotal);
}

TEST(PacketPolicy3Test, AnEmptyPacketTakesNothingFromThePool) {
    CPacket empty(0, 8);
    ASSERT_TRUE(empty.valid());
    EXPECT_EQ(empty.getBuffer(), nullptr);
    EXPECT_EQ(empty.capacity(), 0u);
    EXPECT_NE(empty.getExtraData(), nullptr);
    unsigned char byte = 1;
    EXPECT_EQ(empty.putBuffer(&byte, 1), 0u);
    EXPECT_EQ(manager().getFreeSize(), kTotal);
}

TEST(PacketPolicy3Test, ExhaustionIsReportedTwice) {
    CPacketManager& m = manager();
    std::vector<CPacket> held;
    for (int i = 0; i < 32; ++i) {
        held.emplace_back(kChunk);
        ASSERT_TRUE(held.back().valid());
    }
    EXPECT_EQ(m.getFreeSize(), 0u);
    CapturePrinter capture;
    CPacket refused(1, 4);
    EXPECT_FALSE(refused.valid());
    EXPECT_EQ(capture.linesContaining("CPacket No Free Space, totalSize:65536, freeSize:0 \n").size(), 1u)
        << capture.text();
    EXPECT_EQ(capture.linesContaining("PacketInternal::create(): 2 NO enough, need size:1 ext:4\n").size(), 1u);
    held.clear();
    EXPECT_EQ(m.getFreeSize(), kTotal);
}

TEST(PacketPolicy3Test, DumpNamesTheSystemPolicy) {
    CapturePrinter capture;
    manager().dumpNodes();
    EXPECT_EQ(capture.linesContaining("CPacketManager dump: SYS Policy\n").size(), 1u) << capture.text();
    EXPECT_TRUE(capture.linesContaining("BufferList").empty());
}
