// The packet manager's fourth policy, in a process of its own: the manager
// allocates through the memory operator but makes no packets; packets over
// the caller's own buffers still work.
#include "memory/PacketManager.h"

#include "memory/Packet.h"
#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;

[[maybe_unused]] static const bool g_configured = [] {
    CPacketManager::config(CPacketManager::policyNoPacket, nullptr, nullptr);
    return true;
}();

TEST(PacketPolicy4Test, NoManagerPacketsButTheManagerAndCallersBuffersWork) {
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
    EXPECT_EQ(wrapped.putBuffer(const_cast<char*>("abcdef"), 6), 6u) << "the copy goes through the operator";
    EXPECT_EQ(std::memcmp(bytes + 4, "abcdef", 6), 0);
    EXPECT_TRUE(CPacket(wrapped, 4, 6).valid());
}
