// CThreadSpecific: one value per thread, slots shared between copies and
// returned when their last owner goes.
#include "virad/ThreadLocalSlot.h"

#include "support/Testing.h"

using Orvane::Testing::eventually;
using Orvane::Virad::CThreadSpecific;

// What the calling thread reads from the slot; a distinct marker when the read fails.
void* valueOf(const CThreadSpecific& slot) {
    static int failed;
    void* value = &failed;
    return slot.getValue(&value) ? value : &failed;
}

TEST(CThreadSpecificTest, EachThreadSeesOnlyItsOwnValue) {
    CThreadSpecific slot;
    ASSERT_TRUE(slot.valid());
    int mine = 0, values[4];
    ASSERT_TRUE(slot.setValue(&mine));
    EXPECT_FALSE(slot.getValue(nullptr));

    // Every thread reads, stores, waits until all have stored, then reads its own back.
    std::vector<void*> seen(8),
        expected = {nullptr, &values[0], nullptr, &values[1], nullptr, &values[2], nullptr, &values[3]};
    std::atomic<int> stored{0};
    Orvane::Testing::onThreads(4, [&](int t) {
        seen[2 * t] = valueOf(slot);
        slot.setValue(&values[t]);
        ++stored;
        eventually([&] { return stored.load() == 4; });
        seen[2 * t + 1] = valueOf(slot);
    });
    EXPECT_EQ(seen, expected) << "null first, then each thread's own value";
    EXPECT_EQ(valueOf(slot), &mine) << "the other threads did not touch this one's value";
}

TEST(CThreadSpecificTest, CopiesShareTheSlotUntilTheLastOwnerGoesAndThenReturnIt) {
    int x = 0, y = 0, z = 0;
    auto original = std::make_unique<CThreadSpecific>();
    ASSERT_TRUE(original->setValue(&x));
    CThreadSpecific copy(*original);
    ASSERT_TRUE(copy.setValue(&y));
    EXPECT_EQ(valueOf(*original), &y);

    original.reset();
    CThreadSpecific assigned;
    ASSERT_TRUE(assigned.setValue(&z));
    assigned = copy;
    const CThreadSpecific& same = assigned;
    assigned = same; // assigning an object to itself keeps its slot

    // Far more rounds than the host has slots: one kept by mistake, through
    // destruction or assignment, runs the host out of them. Had the slot gone
    // with the first owner, these new slots would reuse it and lose its value.
    for (int round = 0; round < 5000; ++round) {
        CThreadSpecific a, b(a), c;
        c = b; // c's own slot goes here
        ASSERT_TRUE(a.valid()) << "round " << round;
        ASSERT_TRUE(c.valid()) << "round " << round;
    }
    EXPECT_EQ(valueOf(copy), &y);
    EXPECT_EQ(valueOf(assigned), &y);
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
    const bool exhausted = without != nullptr;
    const bool set = exhausted && without->setValue(&marker);
    const bool got = exhausted && without->getValue(&untouched);
    slots.clear();
    if (!exhausted) {
        GTEST_SKIP() << "this host did not run out of slots";
    }
    EXPECT_FALSE(set);
    EXPECT_FALSE(got);
    EXPECT_EQ(untouched, &marker);
    EXPECT_TRUE(CThreadSpecific().valid()) << "slots are back once their owners are gone";
}
