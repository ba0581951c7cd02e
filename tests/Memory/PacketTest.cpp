// Packets under the default (system) policy.
#include "memory/Packet.h"

#include "Src/Memory/PacketInternal.h"
#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::CPacket;
using Orvane::Memory::OldPacketInternal;
using U64s = std::vector<std::uint64_t>;
using Bytes = std::vector<unsigned char>;

// Records every call of a buffer procedure as "pointer size".
struct ProcLog {
    void onRelease(void* pointer, std::uint64_t size) {
        calls.push_back(address(pointer) + " " + std::to_string(size));
    }
    CPacket::BufferProc proc() { return CPacket::BufferProc(&ProcLog::onRelease, this); }
    Lines calls;
};

TEST(PacketTest, ManagerPacketsAppendAfterTheSizeWithinTheCapacity) {
    CPacket packet(100, 16), odd(101), empty(0, 8);
    ASSERT_TRUE(packet.valid());
    ASSERT_TRUE(empty.valid());
    // The system policy grants what is asked, rounded to the alignment; extra data follows the capacity.
    EXPECT_EQ(U64s({packet.size(), packet.capacity(), packet.getExtraSize(), odd.capacity(), empty.capacity()}),
              U64s({100, 100, 16, 104, 0}));
    EXPECT_EQ(packet.getExtraData(), packet.getBuffer() + 100);
    EXPECT_NE(empty.getExtraData(), nullptr);
    EXPECT_EQ(odd.getExtraData(), nullptr);
    unsigned char bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const U64s results = {
        packet.putBuffer(bytes, 10), packet.resize(90),  packet.putBuffer(bytes, 10), packet.size(), packet.resize(95),
        packet.putBuffer(bytes, 10), packet.resize(100), packet.resize(101),          packet.size()};
    EXPECT_EQ(results, U64s({0, 1, 10, 100, 1, 5, 1, 0, 100}));
    EXPECT_EQ(Bytes(packet.getBuffer() + 90, packet.getBuffer() + 100), Bytes({1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));
}

TEST(PacketTest, SlicesAreBoundedShareBytesAndKeepTheirParentAlive) {
    CPacket packet(64);
    const std::string invalid = "PacketInternal::create() offset or size is invalid!! huge_size:";
    EXPECT_EQ(reported([&] {
                  CPacket whole(packet, 0, 64), tail(packet, 63, 1, 4);
                  EXPECT_EQ(whole.getBuffer(), packet.getBuffer());
                  EXPECT_EQ(whole.capacity(), 64u);
                  EXPECT_EQ(tail.getBuffer(), packet.getBuffer() + 63);
                  EXPECT_NE(tail.getExtraData(), nullptr);
                  // An offset at the end even for size 0, one byte past the end, no wrap-around, no invalid parent.
                  EXPECT_FALSE(CPacket(packet, 64, 0).valid());
                  EXPECT_FALSE(CPacket(packet, 10, 55).valid());
                  EXPECT_FALSE(CPacket(packet, 1, UINT64_MAX).valid());
                  EXPECT_FALSE(CPacket(CPacket(), 0, 0).valid());
              }),
              (Lines{invalid + "64, offset:64, size:0\n", invalid + "64, offset:10, size:55\n",
                     invalid + "64, offset:1, size:18446744073709551615\n", invalid + "0, offset:0, size:0\n"}));

    ProcLog log;
    auto* bytes = new unsigned char[32]();
    CPacket parent(bytes, 32, log.proc());
    CPacket slice(parent, 8, 8);
    CPacket sliceOfSlice(slice, 4, 4);
    slice.getBuffer()[4] = 0x5A; // lands in the parent
    bytes[13] = 0x6B;
    unsigned char more[4] = {9, 9, 9, 9};
    ASSERT_TRUE(slice.resize(6));
    EXPECT_EQ(slice.putBuffer(more, 4), 2u); // a slice's capacity is its size at creation
    EXPECT_EQ(std::vector<int>({bytes[12], sliceOfSlice.getBuffer()[1], bytes[14]}), std::vector<int>({0x5A, 0x6B, 9}));
    parent.reset();
    slice.reset();
    EXPECT_EQ(log.calls, Lines{}); // the slice of the slice still holds the parent
    sliceOfSlice.reset();
    EXPECT_EQ(log.calls, Lines{address(bytes) + " 32"});
    delete[] bytes;
    // A slice assigned over its parent's handle keeps the bytes it points at.
    packet.getBuffer()[3] = 42;
    packet = CPacket(packet, 2, 4);
    EXPECT_EQ(packet.getBuffer()[1], 42);
}

TEST(PacketTest, BufferProceduresSeeTheSizeAtReleaseOrTheCapacity) {
    ProcLog log;
    unsigned char bytes[1000] = {};
    int user = 0;
    {
        CPacket packet(bytes, 40, 12, log.proc());
        EXPECT_EQ(packet.capacity(), 40u);
        std::memset(packet.getExtraData(), 1, 12);
        ASSERT_TRUE(packet.resize(17));
        CPacket copy(packet), noDeleter(bytes, 40, CPacket::BufferProc()), never(256u, log.proc(), &user, 8);
        packet.reset();
        EXPECT_EQ(log.calls, Lines{});
        EXPECT_EQ(noDeleter.getExtraData(), nullptr);
        EXPECT_EQ(never.getBuffer(), nullptr);
        EXPECT_EQ(never.size(), 256u);
        EXPECT_NE(never.getExtraData(), nullptr);
        CPacket later(256u, log.proc(), &user, 0);
        EXPECT_EQ(later.putBuffer(bytes, 1000), 1000u); // attached without a check against the capacity
        EXPECT_EQ(later.getBuffer(), bytes);
        EXPECT_EQ(std::make_pair(later.size(), later.capacity()),
                  std::make_pair(std::uint64_t{1000}, std::uint64_t{256}));
        EXPECT_EQ(later.getExtraData(), nullptr);
    }
    // Empty deleters and unattached buffers are not released; the deleter sees the resized size; the release
    // procedure gets the user value and the capacity.
    EXPECT_EQ(log.calls, (Lines{address(&user) + " 256", address(bytes) + " 17"}));

    // Assignment shares records; self-assignment keeps them.
    ProcLog other;
    CPacket x(bytes, 4, other.proc());
    CPacket y(x);
    y = x;
    const CPacket& same = y;
    y = same;
    x = CPacket();
    EXPECT_EQ(other.calls, Lines{});
    y = CPacket(bytes, 4, log.proc());
    EXPECT_EQ(other.calls, Lines{address(bytes) + " 4"});
}

// A move hands the record over without counting: the source is left invalid, the block goes once, when the last
// holder goes; moving into a holder of another block lets that one go.
TEST(PacketTest, MovesHandTheRecordOverAndLeaveTheSourceInvalid) {
    static_assert(std::is_nothrow_move_constructible<CPacket>::value, "vectors of packets must move, not copy");
    static_assert(std::is_nothrow_move_assignable<CPacket>::value, "");
    ProcLog log;
    unsigned char first[8] = {}, second[8] = {};
    {
        CPacket source(first, 8, log.proc());
        CPacket moved(std::move(source));
        EXPECT_FALSE(source.valid());
        EXPECT_EQ(moved.getBuffer(), first);
        CPacket& alias = moved;
        moved = std::move(alias); // into itself: kept
        EXPECT_EQ(moved.getBuffer(), first);
        std::vector<CPacket> packets;
        packets.push_back(std::move(moved));
        packets.emplace_back(second, 8, log.proc());
        packets.resize(64); // grows by moving
        EXPECT_EQ(log.calls, Lines{});
        packets[1] = std::move(packets[0]);
        EXPECT_FALSE(packets[0].valid());
        EXPECT_EQ(log.calls, Lines{address(second) + " 8"});
        CPacket sharer(packets[1]);
        packets[1] = std::move(sharer); // another holder of the same record: one count fewer, block kept
        EXPECT_FALSE(sharer.valid());
        EXPECT_EQ(log.calls, Lines{address(second) + " 8"});
    }
    EXPECT_EQ(log.calls, (Lines{address(second) + " 8", address(first) + " 8"}));
}

TEST(PacketDeathTest, AnUnknownSourceIsAnAssertion) {
    Orvane::Testing::reexecuteDeathTests();
    EXPECT_DEATH(
        {
            OldPacketInternal* record = OldPacketInternal::createForBuffer(nullptr, 0, 0, CPacket::BufferProc());
            record->m_source = static_cast<OldPacketInternal::Source>(7);
            record->release();
        },
        "assertion \\(false\\) failed.*PacketInternal::destroy\\(\\): unreachable!");
}

TEST(PacketTest, TheRecordKeepsItsSizeAndEndsWithTheFieldsEveryPacketUses) {
    // The record's size decides how many bytes a packet asks the manager for,
    // and so which pool order it gets: it must not drift.
    EXPECT_EQ(sizeof(OldPacketInternal), 144u);
    // A pool block ends on a cache line, and so does its record: what every
    // copy, release and read of the data touches must lie in that last line.
    OldPacketInternal* record = OldPacketInternal::createForBuffer(nullptr, 0, 0, CPacket::BufferProc());
    ASSERT_NE(record, nullptr);
    const auto* end = reinterpret_cast<const unsigned char*>(record) + sizeof(OldPacketInternal);
    const auto distance = [end](const void* field) {
        return static_cast<long>(end - static_cast<const unsigned char*>(field));
    };
    const struct {
        const char* name;
        const void* at;
    } hot[] = {{"count", &record->m_count},   {"buffer", &record->m_buffer}, {"size", &record->m_size},
               {"capacity", &record->m_capacity}, {"extra", &record->m_extra},   {"extra size", &record->m_extraSize},
               {"source", &record->m_source}};
    Lines outside;
    for (const auto& field : hot) {
        if (distance(field.at) > 64) {
            outside.push_back(field.name);
        }
    }
    EXPECT_EQ(outside, Lines{});
    record->release();
}
