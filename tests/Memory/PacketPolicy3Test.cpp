// The packet manager with pooled packet data only (extra data and record from
// the C heap), in a process of its own.
#include "memory/Packet.h"
#include "support/PooledManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using Orvane::Memory::CPacket;
using namespace Orvane::Testing;

namespace {

constexpr std::uint64_t kTotal = 65536, kChunk = 2048;
[[maybe_unused]] const bool g_configured =
    configurePool(Orvane::Memory::CPacketManager::policyPoolBuffer, kTotal, kChunk, 16);

} // namespace

TEST(PacketPolicy3Test, DataFromThePoolExtraAndRecordFromTheHeap) {
    auto& m = pooledManager();
    EXPECT_EQ(m.getBufferSize(), kTotal);
    {
        CPacket packet(100, 24), larger(kChunk + 1), empty(0, 8);
        ASSERT_TRUE(packet.valid() && larger.valid() && empty.valid());
        EXPECT_EQ(packet.size(), 100u);
        EXPECT_EQ(packet.capacity(), kChunk) << "the capacity is the granted pool block";
        EXPECT_EQ(larger.capacity(), 2 * kChunk) << "no room is taken from the data for the record";
        EXPECT_TRUE(insidePool(packet.getBuffer(), kTotal, kChunk));
        EXPECT_FALSE(insidePool(packet.getExtraData(), kTotal, kChunk));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(packet.getExtraData()) % 16, 0u);
        std::memset(packet.getExtraData(), 0x11, 24);
        std::memset(packet.getBuffer(), 0x22, packet.capacity());
        EXPECT_EQ(empty.getBuffer(), nullptr) << "an empty packet takes nothing from the pool";
        EXPECT_EQ(empty.capacity(), 0u);
        EXPECT_NE(empty.getExtraData(), nullptr);
        unsigned char byte = 1;
        EXPECT_EQ(empty.putBuffer(&byte, 1), 0u);
        EXPECT_EQ(m.getFreeSize(), kTotal - 3 * kChunk);
    }
    EXPECT_EQ(m.getFreeSize(), kTotal);
    CapturePrinter capture;
    m.dumpNodes();
    EXPECT_EQ(capture.linesContaining("CPacketManager dump: SYS Policy\n").size(), 1u) << capture.text();
    EXPECT_TRUE(capture.linesContaining("BufferList").empty());
}

TEST(PacketPolicy3Test, ExhaustionIsReportedTwice) {
    std::vector<CPacket> held(32, CPacket());
    for (CPacket& packet : held) {
        packet = CPacket(kChunk);
        ASSERT_TRUE(packet.valid());
    }
    EXPECT_EQ(pooledManager().getFreeSize(), 0u);
    CapturePrinter capture;
    EXPECT_FALSE(CPacket(1, 4).valid());
    EXPECT_EQ(capture.linesContaining("CPacket No Free Space, totalSize:65536, freeSize:0 \n").size(), 1u)
        << capture.text();
    EXPECT_EQ(capture.linesContaining("PacketInternal::create(): 2 NO enough, need size:1 ext:4\n").size(), 1u);
    held.clear();
    EXPECT_EQ(pooledManager().getFreeSize(), kTotal);
}
