// The buddy pool on its own: how blocks are carved, split, merged and listed.
#include "Src/Memory/BuddyPool.h"

#include "support/Testing.h"

#include <deque>
#include <random>

using namespace Orvane::Testing;
using Orvane::Memory::Detail::BuddyPool;

static constexpr std::uint64_t kChunk = 1024;
static int g_givenBack = 0; // times the pool memory was given back

// The plain algorithm written the obvious way, to hold the pool to: a list of
// chunk indexes per order, front first, and the order of every block out.
struct ReferenceBuddy {
    explicit ReferenceBuddy(std::uint32_t chunks, std::uint32_t orders) : count(chunks), lists(orders) {
        std::uint32_t carved = 0;
        for (std::uint32_t k = orders; k-- > 0;) {
            for (; count - carved >= 1u << k; carved += 1u << k) {
                lists[k].push_back(carved);
            }
        }
    }
    // The index granted for order r, or -1.
    long take(std::uint32_t r) {
        std::uint32_t k = r;
        while (k < lists.size() && lists[k].empty()) {
            ++k;
        }
        if (k == lists.size()) {
            return -1;
        }
        std::uint32_t index = lists[k].front();
        lists[k].pop_front();
        while (k > r) {
            lists[--k].push_front(index);
            index += 1u << k;
        }
        out[index] = r;
        return index;
    }
    void give(std::uint32_t index) {
        std::uint32_t k = out.at(index);
        out.erase(index);
        for (; k + 1 < lists.size(); ++k) {
            const auto buddy = std::find(lists[k].begin(), lists[k].end(), index ^ (1u << k));
            if (buddy == lists[k].end()) {
                break;
            }
            lists[k].erase(buddy);
            index &= ~(1u << k);
        }
        lists[k].push_front(index);
    }
    std::uint32_t count;
    std::vector<std::deque<std::uint32_t>> lists;
    std::map<std::uint32_t, std::uint32_t> out;
};

// A pool of the given number of 1 KiB chunks, created quietly.
struct TestPool {
    explicit TestPool(std::uint32_t chunks) {
        CapturePrinter quiet;
        pool.create(std::uint64_t{chunks} * kChunk, kChunk, BuddyPool::Allocate(&std::malloc),
                    BuddyPool::Release(+[](void* memory) {
                        ++g_givenBack;
                        std::free(memory);
                    }));
    }
    unsigned char* chunk(std::uint32_t index) const { return pool.base() + index * kChunk; }
    // Where the free size and the lists differ from the reference's; empty when they match.
    std::string difference(const ReferenceBuddy& reference) {
        std::uint64_t freeChunks = reference.count;
        for (const auto& block : reference.out) {
            freeChunks -= 1u << block.second;
        }
        std::string found;
        if (pool.freeSize() != freeChunks * kChunk) {
            found += " free " + std::to_string(pool.freeSize() / kChunk) + " chunks, reference " +
                     std::to_string(freeChunks);
        }
        for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
            const auto list = pool.freeBlocks(k);
            if (!std::equal(list.begin(), list.end(), reference.lists[k].begin(), reference.lists[k].end())) {
                found += " list of order " + std::to_string(k);
            }
        }
        return found;
    }
    void* take() {
        std::uint64_t size = 1;
        return pool.allocate(size);
    }
    // "take <bytes>" and "release <chunk index>", in turn; then "@<chunk index>/<granted bytes>" (or
    // "null/<size left alone>") for the last take, the free chunks and "order:index,index" for every list
    // that is not empty, in list order.
    std::string run(const std::vector<std::string>& fields) {
        std::string result;
        for (std::size_t i = 1; i + 1 < fields.size(); i += 2) {
            std::uint64_t n = std::stoull(fields[i + 1]);
            if (fields[i] == "take") {
                const auto* block = static_cast<unsigned char*>(pool.allocate(n));
                result = block != nullptr ? "@" + std::to_string((block - pool.base()) / kChunk) : "null";
                result += "/" + std::to_string(n) + " ";
            } else {
                pool.release(chunk(static_cast<std::uint32_t>(n)));
            }
        }
        result += std::to_string(pool.freeSize() / kChunk);
        for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
            std::string list;
            for (std::uint32_t index : pool.freeBlocks(k)) {
                list += (list.empty() ? " " + std::to_string(k) + ":" : ",") + std::to_string(index);
            }
            result += list;
        }
        return result;
    }
    BuddyPool pool;
};

// A pool of 16 chunks starts as one block; the highest piece of a split block is granted and the lower
// halves go in front of their lists; a released block merges with its free buddy, or goes in front of its
// list while the buddy is held. A 3000-chunk pool is carved 2048 + 512 + 256 + 128 + 32 + 16 + 8, upward.
// Grants are power-of-two runs; 0 and more than the pool are refused.
TEST(BuddyPoolTest, CarvingSplittingAndMergingInListOrder) {
    TestPool whole(16), odd(3000);
    const auto base = reinterpret_cast<std::uintptr_t>(whole.pool.base());
    // The spare chunk absorbs the shift to a chunk boundary.
    EXPECT_EQ(base % kChunk, 0u);
    EXPECT_LT(base - reinterpret_cast<std::uintptr_t>(whole.pool.memory()), kChunk);
    EXPECT_EQ(std::make_pair(whole.pool.orderCount(), odd.pool.orderCount()), std::make_pair(5u, 12u));
    EXPECT_EQ(runCaseTable(R"(
odd = 3000 3:2992 4:2976 5:2944 7:2816 8:2560 9:2048 11:0
odd take 2097152 = @0/2097152 952 3:2992 4:2976 5:2944 7:2816 8:2560 9:2048
odd release 0 = 3000 3:2992 4:2976 5:2944 7:2816 8:2560 9:2048 11:0
whole = 16 4:0 | whole take 16384 = @0/16384 0 | whole release 0 = 16 4:0
whole take 1 = @15/1024 15 0:14 1:12 2:8 3:0 | whole take 1 = @14/1024 14 1:12 2:8 3:0
whole take 1 = @13/1024 13 0:12 2:8 3:0 | whole release 14 = 14 0:14,12 2:8 3:0
whole release 15 = 15 0:12 1:14 2:8 3:0 | whole release 13 = 16 4:0 | whole take 1 = @15/1024 15 0:14 1:12 2:8 3:0
whole take 1024 = @14/1024 14 1:12 2:8 3:0 | whole take 1025 = @12/2048 12 2:8 3:0 | whole take 3000 = @8/4096 8 3:0
whole take 4097 = @0/8192 0 | whole take 0 = null/0 0 | whole release 15 take 16385 = null/16385 1 0:15
whole release 14 release 12 release 8 release 0 = 16 4:0)",
                           [&](const std::vector<std::string>& fields) {
                               return (fields[0] == "odd" ? odd : whole).run(fields);
                           }),
              20);
}

// Long random runs against the reference, weighted to what pools see most: a block given back and the same
// order asked for next, from the same place or after other traffic. Every grant is compared; the lists and
// the free size at random moments, so that runs of several operations pass between two looks.
TEST(BuddyPoolTest, GrantsListsAndFreeSizeMatchThePlainAlgorithmOverLongRandomRuns) {
    for (const std::uint32_t chunks : {16u, 37u, 3000u}) {
        TestPool t(chunks);
        ReferenceBuddy reference(chunks, t.pool.orderCount());
        std::mt19937 random(chunks);
        std::vector<std::uint32_t> held;
        std::uint64_t looks = 0;
        int step = 0;
        Lines mismatches; // the first few steps where the pool and the reference part
        const auto mismatch = [&](const std::string& what) {
            if (mismatches.size() < 5) {
                mismatches.push_back("step " + std::to_string(step) + ":" + what);
            }
        };
        const auto take = [&](std::uint32_t r) {
            std::uint64_t size = (kChunk << r) - (r == 0 ? 1000 : kChunk - 1); // just over half, or under one
            auto* block = static_cast<unsigned char*>(t.pool.allocate(size));
            const long expected = reference.take(r);
            const long got = block != nullptr ? static_cast<long>((block - t.pool.base()) / kChunk) : -1;
            if (got != expected || (block != nullptr && size != kChunk << r)) {
                mismatch(" order " + std::to_string(r) + " granted at " + std::to_string(got) + " as " +
                         std::to_string(size) + " bytes, reference at " + std::to_string(expected));
            }
            if (block != nullptr) {
                held.push_back(static_cast<std::uint32_t>(got));
            }
        };
        const auto giveAny = [&](bool thenSameOrder) {
            const std::size_t at = random() % held.size();
            const std::uint32_t index = held[at];
            const std::uint32_t r = reference.out.at(index);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(at));
            t.pool.release(t.chunk(index));
            reference.give(index);
            if (thenSameOrder) {
                take(r);
            }
        };
        for (; step < 20000; ++step) {
            const unsigned roll = random() % 16;
            if (held.empty() || roll < 5) {
                take(random() % 4 == 0 ? random() % t.pool.orderCount() : random() % 3);
            } else if (roll < 12) {
                giveAny(true);
            } else {
                giveAny(false);
            }
            if (random() % 8 == 0) {
                ++looks;
                const std::string difference = t.difference(reference);
                if (!difference.empty()) {
                    mismatch(difference);
                }
            }
        }
        EXPECT_EQ(mismatches, Lines{}) << chunks << " chunks";
        EXPECT_GT(looks, 2000u);
        while (!held.empty()) {
            giveAny(false);
        }
        EXPECT_EQ(t.difference(ReferenceBuddy(chunks, t.pool.orderCount())), "") << chunks << " chunks"; // whole again
    }
}

TEST(BuddyPoolTest, ClosingGivesThePoolBackOnceTheLastBlockReturns) {
    g_givenBack = 0;
    {
        TestPool idle(16);
        idle.pool.release(idle.take()); // the last block back just before closing
        idle.pool.close();              // nothing out: given back at once
        EXPECT_EQ(idle.take(), nullptr) << "a given-back pool grants nothing";
        EXPECT_EQ(idle.pool.freeSize(), 0u);
    }
    TestPool busy(16);
    std::vector<void*> held = {busy.take(), busy.take()};
    busy.pool.close();
    busy.pool.release(held[0]);
    const int whileOut = g_givenBack;
    busy.pool.release(held[1]);
    EXPECT_EQ(std::vector<int>({whileOut, g_givenBack}), std::vector<int>({1, 2}));
}

TEST(BuddyPoolTest, DumpsEveryListAndBlock) {
    TestPool t(6);
    Lines lines = reported([&] { t.pool.dumpFreeLists(); });
    EXPECT_NE(lines.at(2).find(", order:2, pre:"), std::string::npos) << lines[2];
    for (std::string& line : lines) { // each up to its first address, which follows "head:" or "self:"
        line.resize(std::min(line.find("head:"), line.find("self:")) + 5);
    }
    EXPECT_EQ(lines, (Lines{"BufferList id:0, order:1, head:", "BufferList id:1, order:2, head:",
                            "bufflist:1, id:0, realIdx:4, self:", "BufferList id:2, order:3, head:",
                            "bufflist:2, id:0, realIdx:0, self:"}));
}

TEST(BuddyPoolDeathTest, ReleasingBelowThePoolOrTwiceEndsTheProcess) {
    Orvane::Testing::reexecuteDeathTests();
    TestPool t(4);
    EXPECT_DEATH(t.pool.release(t.pool.base() - kChunk), "assertion \\(id >= 0\\) failed");
    void* block = t.take();
    t.pool.release(block);
    EXPECT_DEATH(t.pool.release(block), "assertion \\(order > 0\\) failed");
}
