// The growable buffer: exact growth and growth by a step, resize, reserve,
// the empty states and the failure reports.
#include "memory/Buffer.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using Orvane::Memory::CBuffer;
using Orvane::Testing::CapturePrinter;

namespace {

unsigned char g_bytes[64] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

} // namespace

TEST(BufferTest, AppendsGrowExactlyOrByTheStep) {
    CBuffer exact;
    EXPECT_EQ(exact.putBuffer(g_bytes, 10), 10u);
    EXPECT_EQ(exact.capacity(), 10u);
    EXPECT_EQ(exact.size(), 10u);
    EXPECT_EQ(exact.putBuffer(g_bytes + 10, 5), 5u);
    EXPECT_EQ(exact.capacity(), 15u);
    EXPECT_EQ(std::memcmp(exact.getBuffer(), g_bytes, 15), 0) << "data survives the move";

    CBuffer stepped;
    EXPECT_EQ(stepped.putBuffer(g_bytes, 10), 10u);
    stepped.setIncreasedSize(8);
    EXPECT_EQ(stepped.capacity(), 10u) << "setting the step on an allocated buffer takes no room";
    EXPECT_EQ(stepped.putBuffer(g_bytes + 10, 5), 5u);
    EXPECT_EQ(stepped.capacity(), 16u);
    EXPECT_EQ(stepped.putBuffer(g_bytes + 15, 1), 1u);
    EXPECT_EQ(stepped.capacity(), 16u) << "fits without growing";
    EXPECT_EQ(stepped.putBuffer(g_bytes + 16, 1), 1u);
    EXPECT_EQ(stepped.capacity(), 24u);
    EXPECT_EQ(std::memcmp(stepped.getBuffer(), g_bytes, 17), 0);
}

TEST(BufferTest, EmptyStatesAndSetIncreasedSize) {
    CBuffer buffer;
    EXPECT_EQ(buffer.getBuffer(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.capacity(), 0u);
    buffer.resize(0);
    EXPECT_EQ(buffer.capacity(), 0u);
    EXPECT_EQ(buffer.getBuffer(), nullptr);
    EXPECT_EQ(buffer.putBuffer(g_bytes, 0), 0u);
    EXPECT_EQ(buffer.putBuffer(g_bytes, 3), 3u);
    EXPECT_EQ(buffer.capacity(), 3u);

    CBuffer stepped;
    stepped.setIncreasedSize(64);
    EXPECT_EQ(stepped.capacity(), 64u);
    EXPECT_EQ(stepped.size(), 0u);
    EXPECT_EQ(stepped.getBuffer(), nullptr) << "allocated but empty";
    stepped.resize(65);
    EXPECT_EQ(stepped.capacity(), 128u) << "resize grows by the step";
    stepped.reset();
    EXPECT_EQ(stepped.capacity(), 0u);
    EXPECT_EQ(stepped.putBuffer(g_bytes, 5), 5u);
    EXPECT_EQ(stepped.capacity(), 5u) << "reset forgets the step";
}

TEST(BufferTest, ResizeAndReserve) {
    CBuffer buffer;
    buffer.resize(20);
    EXPECT_EQ(buffer.size(), 20u);
    EXPECT_EQ(buffer.capacity(), 20u);
    buffer.resize(4);
    EXPECT_EQ(buffer.capacity(), 20u);
    std::memcpy(buffer.getBuffer(), "abcd", 4);

    buffer.reserve(10);
    EXPECT_EQ(buffer.capacity(), 20u) << "below the capacity: nothing changes";
    buffer.setIncreasedSize(16);
    buffer.reserve(33);
    EXPECT_EQ(buffer.capacity(), 33u) << "reserve takes exactly what is asked, without the step";
    EXPECT_EQ(buffer.size(), 4u);
    EXPECT_EQ(std::memcmp(buffer.getBuffer(), "abcd", 4), 0);

    CBuffer fresh;
    fresh.reserve(12);
    EXPECT_EQ(fresh.capacity(), 12u);
    EXPECT_EQ(fresh.size(), 0u);
}

TEST(BufferTest, FailedAllocationsAreReportedAndLeaveTheBufferAsItWas) {
    CapturePrinter capture;
    const std::uint64_t impossible = UINT64_MAX - 8;
    CBuffer empty;
    EXPECT_EQ(empty.putBuffer(g_bytes, impossible), 0u);
    empty.resize(impossible);
    empty.reserve(impossible);
    empty.setIncreasedSize(impossible);
    EXPECT_EQ(empty.capacity(), 0u);

    CBuffer held;
    held.putBuffer(g_bytes, 8);
    EXPECT_EQ(held.putBuffer(g_bytes, impossible), 0u);
    held.resize(impossible);
    held.reserve(impossible);
    EXPECT_EQ(held.size(), 8u);
    EXPECT_EQ(held.capacity(), 8u);
    EXPECT_EQ(std::memcmp(held.getBuffer(), g_bytes, 8), 0);
    held.setIncreasedSize(16);
    EXPECT_EQ(held.putBuffer(g_bytes, UINT64_MAX - 4), 0u) << "rounding up to the step must not wrap";
    EXPECT_EQ(held.capacity(), 8u);

    const std::vector<std::string> expected = {
        " CBuffer putbuffer Malloc fail:\n",  " CBuffer resize Malloc fail:\n",
        " CBuffer resize Malloc fail:\n",     " CBuffer setIncreasedSize Malloc fail:\n",
        "CBuffer putbuffer ReMalloc fail:\n", " CBuffer resize ReMalloc fail:\n",
        " CBuffer reserve Malloc fail:\n",    "CBuffer putbuffer ReMalloc fail:\n"};
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), expected.size()) << capture.text();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(line.substr(line.size() - expected[i].size()), expected[i]);
        EXPECT_NE(line.find("info"), std::string::npos) << line;
    }
}
