// CThreadSpecific: one value per thread, slots shared between copies and
// returned when their last owner goes.
#include "virad/ThreadLocalSlot.h"

#include "support/Eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using Orvane::Virad::CThreadSpecific;

namespace {

// What the calling thread reads from the slot; a distinct marker when the read fails.
void* valueOf(const CThreadSpecific& slot) {
    static int failed;
    void* value = &failed;
    return slot.getValue(&value) ? value : &failed;
}

} // namespace

TEST(CThreadSpecificTest, EachThreadSeesOnlyItsOwnValue) {
    constexpr int kThreads = 4;
    CThreadSpecific slot;
    ASSERT_TRUE(slot.valid());
    EXPECT_EQ(valueOf(slot), nullptr) << "null until the thread stores a value";
    int mine = 0;
    ASSERT_TRUE(slot.setValue(&mine));
    EXPECT_EQ(valueOf(slot), &mine);
    EXPECT_FALSE(slot.getValue(nullptr));

    // Every thread reads, stores, waits until all have stored, then reads its own back.
    int values[kThreads];
    std::vector<void*> seen(2 * kThreads), expected(2 * kThreads);
    std::atomic<int> stored{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        expected[2 * t + 1] = &values[t];
        threads.emplace_back([&, t] {
            seen[2 * t] = valueOf(slot);
            slot.setValue(&values[t]);
            ++stored;
            Orvane::Testing::eventually([&] { return stored.load() == kThreads; });
            seen[2 * t + 1] = valueOf(slot);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(seen, expected) << "null first, then each thread's own value";
    EXPECT_EQ(valueOf(slot), &mine) << "the other threads did not touch this one's value";
}

TEST(CThreadSpecificTest, CopiesShareTheSlotUntilTheLastOwnerGoes) {
    int x = 0, y = 0, z = 0;
    auto original = std::make_unique<CThreadSpecific>();
    ASSERT_TRUE(original->setValue(&x));
    CThreadSpecific copy(*original);
    EXPECT_EQ(valueOf(copy), &x);
    ASSERT_TRUE(copy.setValue(&y));
    EXPECT_EQ(valueOf(*original), &y);

    // Had the slot gone with the first owner, new slots could reuse it and overwrite its value.
    original.reset();
    std::vector<std::unique_ptr<CThreadSpecific>> others;
    std::vector<int> values(8);
    for (int& value : values) {
        others.push_back(std::make_unique<CThreadSpecific>());
        ASSERT_TRUE(others.back()->setValue(&value));
    }
    EXPECT_EQ(valueOf(copy), &y);
    for (std::size_t i = 0; i < others.size(); ++i) {
        EXPECT_EQ(valueOf(*others[i]), &values[i]);
    }

    CThreadSpecific assigned;
    ASSERT_TRUE(assigned.setValue(&z));
    assigned = copy;
    EXPECT_EQ(valueOf(assigned), &y);
    const CThreadSpecific& same = assigned;
    assigned = same; // assigning an object to itself keeps its slot
    EXPECT_EQ(valueOf(assigned), &y);
}

TEST(CThreadSpecificTest, SlotsAreReturnedWhenTheirLastOwnerGoes) {
    // Far more rounds than the host has slots: one kept by mistake, through
    // destruction or assignment, runs the host out of them.
    for (int round = 0; round < 5000; ++round) {
        CThreadSpecific a;
        CThreadSpecific b(a);
        CThreadSpecific c;
        ASSERT_TRUE(a.valid() && c.valid()) << "round " << round;
        c = b; // c's own slot goes here
        ASSERT_TRUE(c.valid()) << "round " << round;
    }
}

TEST(CThreadSpecificTest, WithoutASlotEverythingFailsAndLeavesTheOutputAlone) {
    // Take slots until the host has none left, try the first object that got
    // none, then give them all back; no assertion runs while they are exhausted.
    std::vector<std::unique_ptr<CThreadSpecific>> slots;
    CThreadSpecific* without = nullptr;
    while (without == nullptr && slots.size() < 100000) {
        slots.push_back(std::make_unique<CThreadSpecific>());
        without = slots.back()->valid() ? nullptr : slots.back().get();
    }
    int marker = 0;
    void* untouched = &marker;
    const bool setFailed = without != nullptr && !without->setValue(&marker);
    const bool getFailed = without != nullptr && !without->getValue(&untouched);
    const bool exhausted = without != nullptr;
    slots.clear();

    if (!exhausted) {
        GTEST_SKIP() << "this host did not run out of slots";
    }
    EXPECT_TRUE(setFailed && getFailed);
    EXPECT_EQ(untouched, &marker);
    EXPECT_TRUE(CThreadSpecific().valid()) << "slots are back once their owners are gone";
}
