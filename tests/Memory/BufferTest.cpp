// The growable buffer: exact growth and growth by a step, resize, reserve,
// the empty states and the failure reports.
#include "memory/Buffer.h"

#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::CBuffer;

unsigned char g_bytes[64] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// "size/capacity", with "-" when getBuffer is null, and "!" when the data lost the pattern it was filled with.
std::string state(const CBuffer& b) {
    const bool kept =
        b.getBuffer() == nullptr || std::memcmp(b.getBuffer(), g_bytes, b.size() < 17 ? b.size() : 17) == 0;
    return std::to_string(b.size()) + "/" + std::to_string(b.capacity()) + (b.getBuffer() ? "" : "-") +
           (kept ? "" : "!");
}

TEST(BufferTest, GrowthExactlyOrByTheStepResizeReserveAndReset) {
    CBuffer exact, stepped, fresh;
    Lines states = {state(exact)};
    exact.putBuffer(g_bytes, 10);
    states.push_back(state(exact));
    exact.putBuffer(g_bytes + 10, 5);
    states.push_back(state(exact));
    stepped.putBuffer(g_bytes, 10);
    stepped.setIncreasedSize(8); // an allocated buffer takes no room for it
    states.push_back(state(stepped));
    for (int i : {10, 15, 16}) { // 15 fits a capacity of 16 exactly
        stepped.putBuffer(g_bytes + i, i == 10 ? 5 : 1);
        states.push_back(state(stepped));
    }
    EXPECT_EQ(states, (Lines{"0/0-", "10/10", "15/15", "10/10", "15/16", "16/16", "17/24"}));

    states.clear();
    fresh.resize(0); // a header with no room
    states.push_back(state(fresh));
    fresh.putBuffer(g_bytes, 0);
    fresh.putBuffer(g_bytes, 3);
    states.push_back(state(fresh));
    fresh.reset();
    fresh.setIncreasedSize(64);
    states.push_back(state(fresh));
    fresh.resize(65); // grows by the step; the new bytes are not initialised
    std::memcpy(fresh.getBuffer(), g_bytes, 17);
    states.push_back(state(fresh));
    fresh.resize(4);
    fresh.reserve(10); // below the capacity: nothing changes
    states.push_back(state(fresh));
    fresh.reserve(129); // exactly what is asked, without the step
    states.push_back(state(fresh));
    fresh.reset();
    fresh.putBuffer(g_bytes, 5); // reset forgets the step
    states.push_back(state(fresh));
    CBuffer reserved;
    reserved.reserve(12);
    states.push_back(state(reserved));
    EXPECT_EQ(states, (Lines{"0/0-", "3/3", "0/64-", "65/128", "4/128", "4/129", "5/5", "0/12-"}));
}

TEST(BufferTest, FailedAllocationsAreReportedAndLeaveTheBufferAsItWas) {
    CapturePrinter capture;
    const std::uint64_t impossible = UINT64_MAX - 8;
    CBuffer empty, held;
    EXPECT_EQ(empty.putBuffer(g_bytes, impossible), 0u);
    empty.resize(impossible);
    empty.reserve(impossible);
    empty.setIncreasedSize(impossible);
    held.putBuffer(g_bytes, 8);
    EXPECT_EQ(held.putBuffer(g_bytes, impossible), 0u);
    held.resize(impossible);
    held.reserve(impossible);
    held.setIncreasedSize(16);
    EXPECT_EQ(held.putBuffer(g_bytes, UINT64_MAX - 4), 0u) << "rounding up to the step must not wrap";
    EXPECT_EQ(empty.putBuffer(nullptr, 1) + held.putBuffer(nullptr, 9), 0u) << "a null source, silently";
    EXPECT_EQ(state(empty) + " " + state(held), "0/0- 8/8");

    EXPECT_EQ(capture.bodies(), (Lines{" CBuffer putbuffer Malloc fail:\n", " CBuffer resize Malloc fail:\n",
                                       " CBuffer resize Malloc fail:\n", " CBuffer setIncreasedSize Malloc fail:\n",
                                       "CBuffer putbuffer ReMalloc fail:\n", " CBuffer resize ReMalloc fail:\n",
                                       " CBuffer reserve Malloc fail:\n", "CBuffer putbuffer ReMalloc fail:\n"}));
    EXPECT_EQ(capture.count(" info "), 8u) << "reported at level 4";
}
