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

// Each row acts on one of four buffers ("put n" appends n bytes of the pattern, "step n" sets the increase
// size, "resize n", "reserve n", "reset") and gives that buffer's state. Buffer 0 holds room for 20 after
// growing to 15, so 18 fits it and 22 does not; the capacity stays exact either way. Buffer 1 was allocated before its
// step was set, so the step takes no room there; 15 then fits a capacity of 16 exactly. Buffer 2: "resize 0"
// makes a header with no room, "resize 65" grows by the step (the new bytes are not initialised, so the
// runner gives them the pattern), a reserve below the capacity changes nothing, one above it gives exactly
// what is asked, without the step, and a reset forgets the step.
TEST(BufferTest, GrowthExactlyOrByTheStepResizeReserveAndReset) {
    CBuffer buffers[4];
    const auto run = [&buffers](const std::vector<std::string>& fields) {
        CBuffer& b = buffers[std::stoi(fields[0])];
        for (std::size_t i = 1; i < fields.size(); ++i) {
            if (fields[i] == "reset") {
                b.reset();
                continue;
            }
            const std::string& op = fields[i];
            const std::uint64_t n = std::stoull(fields[++i]), old = b.size();
            if (op == "put") {
                b.putBuffer(g_bytes + old, n);
            } else if (op == "step") {
                b.setIncreasedSize(n);
            } else if (op == "reserve") {
                b.reserve(n);
            } else {
                b.resize(n);
                for (std::uint64_t at = old; at < n && at < 17; ++at) {
                    b.getBuffer()[at] = g_bytes[at];
                }
            }
        }
        return state(b);
    };
    EXPECT_EQ(runCaseTable(R"(
0 = 0/0- | 0 put 10 = 10/10 | 0 put 5 = 15/15 | 0 put 3 = 18/18 | 0 put 4 = 22/22
1 put 10 step 8 = 10/10 | 1 put 5 = 15/16 | 1 put 1 = 16/16 | 1 put 1 = 17/24
2 resize 0 = 0/0- | 2 put 0 put 3 = 3/3 | 2 reset step 64 = 0/64- | 2 resize 65 = 65/128
2 resize 4 reserve 10 = 4/128 | 2 reserve 129 = 4/129 | 2 reset put 5 = 5/5 | 3 reserve 12 = 0/12-)",
                           run),
              17);
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
    EXPECT_EQ(empty.putBuffer(nullptr, 1), 0u) << "a null source, silently";
    EXPECT_EQ(held.putBuffer(nullptr, 9), 0u);
    EXPECT_EQ(Lines({state(empty), state(held)}), Lines({"0/0-", "8/8"}));

    EXPECT_EQ(capture.bodies(), (Lines{" CBuffer putbuffer Malloc fail:\n", " CBuffer resize Malloc fail:\n",
                                       " CBuffer resize Malloc fail:\n", " CBuffer setIncreasedSize Malloc fail:\n",
                                       "CBuffer putbuffer ReMalloc fail:\n", " CBuffer resize ReMalloc fail:\n",
                                       " CBuffer reserve Malloc fail:\n", "CBuffer putbuffer ReMalloc fail:\n"}));
    EXPECT_EQ(capture.count(" info "), 8u) << "reported at level 4";
}

// Short appends are copied by the public header itself and long ones by the library; either side of the
// 4096-byte cut they must land the same, within the capacity and past it.
TEST(BufferTest, AppendsEitherSideOfTheLongAppendCutLandAlike) {
    std::vector<unsigned char> source(3 * 4096 + 1);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<unsigned char>(i * 7 + i / 251);
    }
    CBuffer buffer;
    buffer.reserve(4095 + 4096 + 4097 - 1);
    std::uint64_t at = 0;
    for (const std::uint64_t n : {4095u, 4096u, 4097u}) {
        EXPECT_EQ(buffer.putBuffer(source.data() + at, n), n);
        at += n;
    }
    EXPECT_EQ(buffer.size(), 12288u);
    EXPECT_EQ(buffer.capacity(), 12288u) << "the last append needed one byte more than was reserved";
    EXPECT_EQ(std::vector<unsigned char>(buffer.getBuffer(), buffer.getBuffer() + 12288),
              std::vector<unsigned char>(source.begin(), source.begin() + 12288));
}

// A move takes the data with its size, capacity and step and leaves the source empty; moving over a buffer frees
// what that one held (the sanitizer builds see a leak or a double free).
TEST(BufferTest, MovesTakeTheDataAndLeaveTheSourceEmpty) {
    CBuffer source, target;
    source.setIncreasedSize(16);
    source.putBuffer(g_bytes, 10);
    target.putBuffer(g_bytes, 3);
    CBuffer moved(std::move(source));
    CBuffer& alias = moved;
    moved = std::move(alias); // into itself: kept
    target = std::move(moved);
    target.putBuffer(g_bytes + 10, 7); // the step came along: 17 bytes round up to 32
    EXPECT_EQ(Lines({state(source), state(moved), state(target)}), Lines({"0/0-", "0/0-", "17/32"}));
}
