// The share-packet hook shares nothing here and hands packets back.
#include "memory/SharePacketHelper.h"

#include <gtest/gtest.h>

using Orvane::Memory::CPacket;
using Orvane::Memory::CSharePacketHelper;

TEST(SharePacketHelperTest, SharingIsUnavailableAndPacketsComeBackUnchanged) {
    CSharePacketHelper* helper = CSharePacketHelper::instance();
    ASSERT_NE(helper, nullptr);
    EXPECT_FALSE(helper->initSharePacket(nullptr));

    unsigned char bytes[8] = {};
    int released = 0;
    struct Counter {
        void onRelease(void*, std::uint64_t) { ++*count; }
        int* count;
    } counter{&released};
    {
        CPacket packet(bytes, sizeof bytes, CPacket::BufferProc(&Counter::onRelease, &counter));
        CPacket described = helper->toDescribePacket(packet);
        CPacket original = helper->toOriginalPacket(described);
        EXPECT_TRUE(described.getBuffer() == bytes && original.getBuffer() == bytes);
        packet.reset();
        described.reset();
        EXPECT_EQ(released, 0) << "the returned packets share the record";
    }
    EXPECT_EQ(released, 1);
    EXPECT_FALSE(helper->toDescribePacket(CPacket()).valid());
    EXPECT_EQ(&(*helper = *helper), helper);
}
