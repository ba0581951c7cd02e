// CThreadSpecific: one value per thread, shared slots between copies, and
// slots returned when their last owner goes.
#include "virad/ThreadSpecific.h"

#include <gtest/gtest.h>

#include <future>
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

void* valueOnFreshThread(const CThreadSpecific& slot) {
    return std::async(std::launch::async, [&] { return valueOf(slot); }).get();
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
    EXPECT_EQ(valueOnFreshThread(slot), nullptr);
    EXPECT_FALSE(slot.getValue(nullptr));

    // Every thread stores, waits until all have stored, then reads its own back.
    int values[kThreads];
    std::vector<std::thread> threads;
    std::promise<void> allStored;
    std::shared_future<void> go = allStored.get_future().share();
    std::vector<std::promise<void>> stored(kThreads);
    std::vector<void*> seen(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            slot.setValue(&values[t]);
            stored[t].set_value();
            go.wait();
            seen[t] = valueOf(slot);
        });
    }
    for (std::promise<void>& s : stored) {
        s.get_future().wait();
    }
    allStored.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(seen[t], &values[t]) << "thread " << t;
    }
    EXPECT_EQ(valueOf(slot), &mine) << "the other threads did not touch this one's value";
}

TEST(CThreadSpecificTest, CopiesAndAssignmentsNameTheSameSlot) {
    int x = 0;
    int y = 0;
    CThreadSpecific original;
    ASSERT_TRUE(original.setValue(&x));

    CThreadSpecific copy(original);
    EXPECT_EQ(valueOf(copy), &x);
    ASSERT_TRUE(copy.setValue(&y));
    EXPECT_EQ(valueOf(original), &y);

    CThreadSpecific assigned;
    int z = 0;
    ASSERT_TRUE(assigned.setValue(&z));
    assigned = original;
    EXPECT_EQ(valueOf(assigned), &y);
    const CThreadSpecific& same = assigned;
    assigned = same; // assigning an object to itself keeps its slot
    EXPECT_TRUE(assigned.valid());
    EXPECT_EQ(valueOf(assigned), &y);
}

TEST(CThreadSpecificTest, TheSlotLivesUntilItsLastOwnerGoes) {
    int kept = 0;
    auto first = std::make_unique<CThreadSpecific>();
    CThreadSpecific survivor(*first);
    ASSERT_TRUE(survivor.setValue(&kept));
    first.reset();

    // Had the slot been freed with the first owner, these new slots could
    // reuse it and the values would overwrite each other.
    std::vector<std::unique_ptr<CThreadSpecific>> others;
    std::vector<int> values(8);
    for (int& value : values) {
        others.push_back(std::make_unique<CThreadSpecific>());
        ASSERT_TRUE(others.back()->setValue(&value));
    }
    EXPECT_TRUE(survivor.valid());
    EXPECT_EQ(valueOf(survivor), &kept);
    for (std::size_t i = 0; i < others.size(); ++i) {
        EXPECT_EQ(valueOf(*others[i]), &values[i]);
    }
}

TEST(CThreadSpecificTest, SlotsAreReturnedWhenTheirLastOwnerGoes) {
    // Far more rounds than the host has slots: a slot kept by mistake, through
    // destruction or through assignment, runs the host out of them.
    constexpr int kRounds = 5000;
    int invalid = 0;
    for (int i = 0; i < kRounds; ++i) {
        CThreadSpecific a;
        CThreadSpecific b(a);
        CThreadSpecific c;
        if (!a.valid() || !c.valid()) {
            ++invalid;
        }
        c = b; // c's own slot goes here
        if (!c.valid()) {
            ++invalid;
        }
    }
    EXPECT_EQ(invalid, 0);
}

TEST(CThreadSpecificTest, WithoutASlotEverythingFailsAndLeavesTheOutputAlone) {
    // Take slots until the host has none left, look at the first object that
    // got none, then give them all back. No test assertion runs while the
    // slots are exhausted.
    constexpr int kLimit = 100000;
    std::vector<std::unique_ptr<CThreadSpecific>> slots;
    CThreadSpecific* without = nullptr;
    while (without == nullptr && static_cast<int>(slots.size()) < kLimit) {
        slots.push_back(std::make_unique<CThreadSpecific>());
        if (!slots.back()->valid()) {
            without = slots.back().get();
        }
    }
    bool setFailed = false;
    bool getFailed = false;
    int marker = 0;
    void* untouched = &marker;
    if (without != nullptr) {
        setFailed = !without->setValue(&marker);
        getFailed = !without->getValue(&untouched);
    }
    slots.clear();

    if (without == nullptr) {
        GTEST_SKIP() << "this host did not run out of slots";
    }
    EXPECT_TRUE(setFailed);
    EXPECT_TRUE(getFailed);
    EXPECT_EQ(untouched, &marker);
    EXPECT_TRUE(CThreadSpecific().valid()) << "slots are back once their owners are gone";
}
