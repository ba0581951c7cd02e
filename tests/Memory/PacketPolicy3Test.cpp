// The packet manager with pooled packet data only (extra data and record from
// the C heap), in a process of its own.
#include "memory/Packet.h"
#include "support/PooledManager.h"
#include "support/Testing.h"

using Orvane::Memory::CPacket;
using namespace Orvane::Testing;

static constexpr std::uint64_t kTotal = 65536, kChunk = 2048;
[[maybe_unused]] static const bool g_configured =
    configurePool(Orvane::Memory::CPacketManager::policyPoolBuffer, kTotal, kChunk, 16);

TEST(PacketPolicy3Test, DataFromThePoolExtraAndRecordFromTheHeap) {
    auto& m = pooledManager();
    EXPECT_EQ(m.getBufferSize(), kTotal);
    {
        CPacket packet(100, 24), larger(kChunk + 1), empty(0, 8);
        ASSERT_TRUE(packet.valid() && larger.valid() && empty.valid());
        // The capacity is the granted pool block: no room is taken from the data for the record.
        EXPECT_EQ(std::vector<std::uint64_t>({packet.size(), packet.capacity(), larger.capacity(), empty.capacity()}),
                  std::vector<std::uint64_t>({100, kChunk, 2 * kChunk, 0}));
        EXPECT_TRUE(insidePool(packet.getBuffer(), kTotal, kChunk) &&
                    !insidePool(packet.getExtraData(), kTotal, kChunk));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(packet.getExtraData()) % 16, 0u);
        std::memset(packet.getExtraData(), 0x11, 24);
        std::memset(packet.getBuffer(), 0x22, packet.capacity());
        EXPECT_EQ(empty.getBuffer(), nullptr) << "an empty packet takes nothing from the pool";
        EXPECT_NE(empty.getExtraData(), nullptr);
        unsigned char byte = 1;
        EXPECT_EQ(empty.putBuffer(&byte, 1), 0u);
        EXPECT_EQ(m.getFreeSize(), kTotal - 3 * kChunk);
    }
    EXPECT_EQ(m.getFreeSize(), kTotal);
    EXPECT_EQ(reported([&] { m.dumpNodes(); }), Lines{"CPacketManager dump: SYS Policy\n"});
}

TEST(PacketPolicy3Test, ExhaustionIsReportedTwice) {
    std::vector<CPacket> held(32, CPacket());
    for (CPacket& packet : held) {
        packet = CPacket(kChunk);
        ASSERT_TRUE(packet.valid());
    }
    EXPECT_EQ(pooledManager().getFreeSize(), 0u);
    EXPECT_EQ(reported([] { EXPECT_FALSE(CPacket(1, 4).valid()); }),
              (Lines{"CPacket No Free Space, totalSize:65536, freeSize:0 \n",
                     "PacketInternal::create(): 2 NO enough, need size:1 ext:4\n"}));
    held.clear();
    EXPECT_EQ(pooledManager().getFreeSize(), kTotal);
}
