// Packets under the default (system) policy.
#include "memory/Packet.h"

#include "Memory/PacketInternal.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

using Orvane::Memory::CPacket;
using Orvane::Memory::OldPacketInternal;
using Orvane::Testing::CapturePrinter;

namespace {

// Records every call of a buffer procedure.
struct ProcLog {
    void onRelease(void* pointer, std::uint64_t size) {
        ++calls;
        lastPointer = pointer;
        lastSize = size;
    }
    CPacket::BufferProc proc() { return CPacket::BufferProc(&ProcLog::onRelease, this); }
    int calls = 0;
    void* lastPointer = nullptr;
    std::uint64_t lastSize = 0;
};

// Released after the manager's exit handler, which must still work.
CPacket g_heldUntilExit;

} // namespace

TEST(PacketTest, ManagerPacketReportsItsSizeAndAppendsAfterIt) {
    CPacket packet(100, 16);
    ASSERT_TRUE(packet.valid());
    EXPECT_EQ(packet.size() + packet.capacity() + packet.getExtraSize(), 216u)
        << "the system policy grants what is asked (100 is aligned)";
    EXPECT_EQ(packet.getExtraData(), packet.getBuffer() + packet.capacity()) << "extra data follows the capacity";

    // Appends go after the size and copy only what fits; resize stops at the capacity.
    unsigned char bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<std::uint64_t> results = {
        packet.putBuffer(bytes, 10), packet.resize(90),  packet.putBuffer(bytes, 10), packet.size(), packet.resize(95),
        packet.putBuffer(bytes, 10), packet.resize(100), packet.resize(101),          packet.size()};
    EXPECT_EQ(results, (std::vector<std::uint64_t>{0, 1, 10, 100, 1, 5, 1, 0, 100}));
    EXPECT_EQ(std::memcmp(packet.getBuffer() + 90, bytes, 5), 0);
    EXPECT_EQ(std::memcmp(packet.getBuffer() + 95, bytes, 5), 0);
    CPacket odd(101), empty(0, 8);
    EXPECT_EQ(odd.capacity(), 104u) << "the capacity is the size rounded to the alignment";
    EXPECT_EQ(odd.getExtraData(), nullptr) << "no extra data asked for";
    EXPECT_TRUE(empty.valid() && empty.capacity() == 0u && empty.getExtraData() != nullptr);
}

TEST(PacketTest, SliceBoundsAreCheckedAndReported) {
    CPacket parent(64);
    CapturePrinter capture;
    CPacket whole(parent, 0, 64), tail(parent, 63, 1, 4);
    EXPECT_TRUE(whole.getBuffer() == parent.getBuffer() && whole.capacity() == 64u);
    EXPECT_TRUE(tail.getBuffer() == parent.getBuffer() + 63 && tail.getExtraData() != nullptr);
    EXPECT_TRUE(capture.lines().empty()) << capture.text();

    EXPECT_FALSE(CPacket(parent, 64, 0).valid() || CPacket(parent, 10, 55).valid() ||
                 CPacket(parent, 1, UINT64_MAX).valid() || CPacket(CPacket(), 0, 0).valid())
        << "an offset at the end even for size 0, one byte past the end, no wrap-around, nothing in an invalid parent";
    const auto reports = capture.linesContaining("PacketInternal::create() offset or size is invalid!! ");
    ASSERT_EQ(reports.size(), 4u) << capture.text();
    EXPECT_NE(reports[0].find("huge_size:64, offset:64, size:0\n"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("huge_size:64, offset:10, size:55\n"), std::string::npos) << reports[1];
    EXPECT_NE(reports[3].find("huge_size:0, offset:0, size:0\n"), std::string::npos) << reports[3];
}

TEST(PacketTest, SlicesShareBytesAndKeepTheirParentAlive) {
    ProcLog log;
    auto* bytes = new unsigned char[32]();
    CPacket parent(bytes, 32, log.proc());
    CPacket slice(parent, 8, 8);
    CPacket sliceOfSlice(slice, 4, 4);
    slice.getBuffer()[4] = 0x5A; // lands in the parent
    bytes[13] = 0x6B;
    unsigned char more[4] = {9, 9, 9, 9};
    ASSERT_TRUE(slice.resize(6));
    EXPECT_EQ(slice.putBuffer(more, 4), 2u) << "a slice's capacity is its size at creation";
    EXPECT_EQ(std::vector<int>({bytes[12], sliceOfSlice.getBuffer()[1], bytes[14]}), std::vector<int>({0x5A, 0x6B, 9}));

    parent.reset();
    slice.reset();
    EXPECT_EQ(log.calls, 0) << "the slice of the slice still holds the parent";
    EXPECT_EQ(sliceOfSlice.getBuffer()[1], 0x6B);
    sliceOfSlice.reset();
    EXPECT_EQ(log.calls, 1);
    EXPECT_EQ(log.lastPointer, bytes);
    delete[] bytes;
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
        CPacket copy(packet);
        packet.reset();
        EXPECT_EQ(log.calls, 0);
        CPacket noDeleter(bytes, 40, CPacket::BufferProc());
        EXPECT_EQ(noDeleter.getExtraData(), nullptr);
        CPacket never(256u, log.proc(), &user, 8);
        EXPECT_EQ(never.getBuffer(), nullptr);
        EXPECT_EQ(never.size(), 256u);
        EXPECT_NE(never.getExtraData(), nullptr);
    }
    EXPECT_EQ(log.calls, 1) << "empty deleters and unattached buffers are not released";
    EXPECT_EQ(log.lastPointer, bytes);
    EXPECT_EQ(log.lastSize, 17u) << "the deleter sees the resized size";
    {
        CPacket later(256u, log.proc(), &user, 0);
        EXPECT_EQ(later.putBuffer(bytes, 1000), 1000u) << "attached without a check against the capacity";
        EXPECT_EQ(later.getBuffer(), bytes);
        EXPECT_EQ(later.size() + later.capacity(), 1256u);
        EXPECT_EQ(later.getExtraData(), nullptr);
    }
    EXPECT_EQ(log.calls, 2);
    EXPECT_EQ(log.lastPointer, &user) << "the release procedure gets the user value";
    EXPECT_EQ(log.lastSize, 256u) << "and the capacity";

    // Assignment shares records; self-assignment keeps them.
    ProcLog other;
    CPacket x(bytes, 4, other.proc());
    CPacket y(x);
    y = x;
    const CPacket& same = y;
    y = same;
    x = CPacket();
    EXPECT_EQ(other.calls, 0);
    y = CPacket(bytes, 4, log.proc());
    EXPECT_EQ(other.calls, 1);
    // A slice assigned over its parent's handle keeps the bytes it points at.
    CPacket parent(32);
    parent.getBuffer()[3] = 42;
    parent = CPacket(parent, 2, 4);
    EXPECT_EQ(parent.getBuffer()[1], 42);
}

TEST(PacketTest, ConcurrentCopiesAndReleasesDestroyOnce) {
    std::atomic<int> destroyed{0};
    struct Counter {
        void onRelease(void*, std::uint64_t) { destroyed->fetch_add(1); }
        std::atomic<int>* destroyed;
    } counter{&destroyed};
    unsigned char bytes[8];
    for (int round = 0; round < 200; ++round) {
        auto* shared = new CPacket(bytes, sizeof bytes, CPacket::BufferProc(&Counter::onRelease, &counter));
        CPacket managerPacket(64);
        std::atomic<bool> go{false};
        auto work = [&] {
            while (!go.load()) {
            }
            std::vector<CPacket> copies;
            for (int i = 0; i < 50; ++i) {
                copies.emplace_back(*shared);
                copies.emplace_back(managerPacket, 0, 8);
                CPacket assigned;
                assigned = copies.back();
            }
        };
        std::thread one(work);
        std::thread two(work);
        go = true;
        one.join();
        two.join();
        delete shared;
        EXPECT_EQ(destroyed.load(), round + 1);
    }
}

TEST(PacketDeathTest, AnUnknownSourceIsAnAssertion) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            OldPacketInternal* record = OldPacketInternal::createForBuffer(nullptr, 0, 0, CPacket::BufferProc());
            record->m_source = static_cast<OldPacketInternal::Source>(7);
            record->release();
        },
        "assertion \\(false\\) failed.*PacketInternal::destroy\\(\\): unreachable!");
}

TEST(PacketTest, PacketsMayOutliveTheManagersExitHandler) {
    g_heldUntilExit = CPacket(128, 32);
    CPacket slice(g_heldUntilExit, 0, 16);
    g_heldUntilExit = slice; // the parent lives on through the slice until exit
    EXPECT_TRUE(g_heldUntilExit.valid());
}
