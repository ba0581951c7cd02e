// The share-packet hook shares nothing here and hands packets back.
#include "memory/SharePacketHelper.h"

#include "support/Testing.h"

using Orvane::Memory::CPacket;
using Orvane::Memory::CSharePacketHelper;

TEST(SharePacketHelperTest, SharingIsUnavailableAndPacketsComeBackAsTheSameRecord) {
    CSharePacketHelper* helper = CSharePacketHelper::instance();
    EXPECT_FALSE(helper->initSharePacket(nullptr));
    EXPECT_FALSE(helper->toDescribePacket(CPacket()).valid());
    const CPacket packet(64);
    const CPacket described = helper->toDescribePacket(packet), original = helper->toOriginalPacket(described);
    // The returned packets are the same record: the same bytes and a write through one is seen by all.
    described.getBuffer()[0] = 0x5A;
    EXPECT_EQ(original.getBuffer(), packet.getBuffer());
    EXPECT_EQ(packet.getBuffer()[0], 0x5A);
}
