// The packet manager's fourth policy, in a process of its own: the manager
// allocates through the memory operator but makes no packets; packets over
// the caller's own buffers still work.
#include "memory/PacketManager.h"

#include "memory/Packet.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Testing::CapturePrinter;

namespace {

[[maybe_unused]] const bool g_configured = [] {
    CPacketManager::config(CPacketManager::policyNoPacket, nullptr, nullptr);
    return true;
}();

} // namespace

TEST(PacketPolicy4Test, ManagerPacketsCannotBeCreated) {
    CapturePrinter capture(true, 6);
    CPacket packet(100, 8);
    EXPECT_FALSE(packet.valid());
    const auto reports = capture.linesContaining("tracepoint:\n");
    ASSERT_EQ(reports.size(), 1u) << capture.text();
    EXPECT_EQ(capture.linesContaining("NO enough").size(), 0u);
}

TEST(PacketPolicy4Test, TheManagerStillAllocatesAndCopies) {
    CapturePrinter capture;
    CPacketManager* m = CPacketManager::instance();
    EXPECT_EQ(m->getBufferSize(), 0u);
    EXPECT_EQ(m->getFreeSize(), 0u);
    EXPECT_EQ(m->getPoolBuffer(), nullptr);
    void* block = m->malloc(32);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(m->memcpy(block, "policy four", 12), block);
    EXPECT_STREQ(static_cast<char*>(block), "policy four");
    m->free(block);
    m->dumpNodes();
    EXPECT_TRUE(capture.lines().empty()) << "nothing to dump: " << capture.text();
}

TEST(PacketPolicy4Test, CallersBuffersStillMakePackets) {
    unsigned char bytes[16] = {};
    CPacket wrapped(bytes, sizeof bytes, CPacket::BufferProc());
    ASSERT_TRUE(wrapped.resize(4));
    EXPECT_EQ(wrapped.putBuffer(const_cast<char*>("abcdef"), 6), 6u);
    EXPECT_EQ(std::memcmp(bytes + 4, "abcdef", 6), 0);
    CPacket slice(wrapped, 4, 6);
    EXPECT_TRUE(slice.valid());
}
