// CReadWriteMutex under both policies: who waits for whom, what a stray
// leave does, the reports, and exclusion under contention.
#include "virad/ReadWriteMutex.h"

#include "support/Testing.h"

#include <future>

using namespace Orvane::Testing;
using Orvane::Virad::CReadWriteMutex;

using namespace std::chrono_literals;

// Events in the order the threads recorded them.
struct EventLog {
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
    }
    Lines get() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::mutex mutex;
    Lines events;
};

// Takes the lock one way on a thread of its own, records entering and leaving, and leaves; returns once the
// thread had time to reach its blocking call on a busy machine.
std::future<void> visit(CReadWriteMutex& rw, EventLog& log, bool writing, const std::string& who) {
    auto done = std::async(std::launch::async, [&rw, &log, writing, who] {
        writing ? rw.enterWriting() : rw.enterReading();
        log.add(who + " in");
        log.add(who + " out");
        rw.leave();
    });
    std::this_thread::sleep_for(150ms);
    return done;
}

bool finished(std::future<void>& f) {
    return f.wait_for(20s) == std::future_status::ready;
}

class CReadWriteMutexPolicyTest : public ::testing::TestWithParam<CReadWriteMutex::RWPriority> {};

TEST_P(CReadWriteMutexPolicyTest, ReadersShareAndANewReaderQueuesBehindAWaitingWriter) {
    CReadWriteMutex rw(GetParam());
    EventLog log;
    ASSERT_TRUE(rw.enterReading());
    auto sharer = visit(rw, log, false, "sharer");
    EXPECT_TRUE(finished(sharer)) << "a second reader must not wait for the first";
    auto writer = visit(rw, log, true, "writer");
    auto lateReader = visit(rw, log, false, "late reader");
    log.add("reader out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(finished(writer) && finished(lateReader));
    EXPECT_EQ(log.get(), (Lines{"sharer in", "sharer out", "reader out", "writer in", "writer out", "late reader in",
                                "late reader out"}))
        << "the writer waits for the reader present; readers may not pass a waiting writer";
}

TEST(CReadWriteMutexWriteTest, AWriterHandsTheLockToTheNextWriterBeforeWaitingReaders) {
    CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
    EventLog log;
    ASSERT_TRUE(rw.enterWriting());
    auto reader = visit(rw, log, false, "reader"); // waits before the second writer and still goes last
    auto secondWriter = visit(rw, log, true, "second writer");
    log.add("first writer out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(finished(secondWriter) && finished(reader));
    EXPECT_EQ(log.get(),
              (Lines{"first writer out", "second writer in", "second writer out", "reader in", "reader out"}));
}

TEST_P(CReadWriteMutexPolicyTest, OneLeavePerHoldAndOnlyTheDefaultPolicyReportsAStrayOne) {
    CapturePrinter capture;
    CReadWriteMutex rw(GetParam());
    std::vector<bool> results = {rw.leave()};
    rw.enterReading();
    rw.enterReading();
    results.insert(results.end(), {rw.leave(), rw.leave(), rw.leave()});
    rw.enterWriting();
    results.insert(results.end(), {rw.leave(), rw.leave()});
    EXPECT_EQ(results, (std::vector<bool>{false, true, true, false, true, false}));
    const std::string stray = "No lock, maybe err\n";
    EXPECT_EQ(capture.bodies(), GetParam() == CReadWriteMutex::priorityDefault ? Lines(3, stray) : Lines{});
}

TEST(CReadWriteMutexDefaultTest, UnknownPoliciesAndHeldDestructionAreReported) {
    CapturePrinter capture;
    auto rw = std::make_unique<CReadWriteMutex>(static_cast<CReadWriteMutex::RWPriority>(7));
    EXPECT_FALSE(rw->leave()) << "behaves as the default policy";
    {
        CReadWriteMutex reading;
        reading.enterReading();
        reading.enterReading();
        CReadWriteMutex writing; // the writer's gate is released before it is destroyed
        writing.enterWriting();
        CReadWriteMutex quiet(CReadWriteMutex::priorityWrite);
        quiet.enterReading();
    }
    EXPECT_EQ(capture.bodies(),
              (Lines{"this:" + address(rw.get()) + " Input rwpriority level error, priorityDefault used!\n",
                     "No lock, maybe err\n", "has lock write, maybe err\n", "has lock Read count:2, maybe err\n"}));
}

TEST_P(CReadWriteMutexPolicyTest, WritersExcludeEveryoneUnderContention) {
    constexpr int kWriters = 2, kRounds = 20000;
    CReadWriteMutex rw(GetParam());
    // Plain halves that readers must never see differ, so that ThreadSanitizer sees any overlap too.
    long first = 0, second = 0;
    std::atomic<int> writersInside{0}, readersInside{0}, faults{0};
    onThreads(kWriters + 3, [&](int t) {
        for (int i = 0; i < kRounds; ++i) {
            if (t < kWriters) {
                rw.enterWriting();
                faults += writersInside.fetch_add(1) != 0 || readersInside.load() != 0;
                ++first;
                ++second;
                writersInside.fetch_sub(1);
            } else {
                rw.enterReading();
                readersInside.fetch_add(1);
                faults += writersInside.load() != 0 || first != second;
                readersInside.fetch_sub(1);
            }
            rw.leave();
        }
    });
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(first + second, 2L * kWriters * kRounds);
}

INSTANTIATE_TEST_SUITE_P(BothPolicies, CReadWriteMutexPolicyTest,
                         ::testing::Values(CReadWriteMutex::priorityDefault, CReadWriteMutex::priorityWrite),
                         [](const ::testing::TestParamInfo<CReadWriteMutex::RWPriority>& info) {
                             return std::string(info.param == CReadWriteMutex::priorityDefault ? "Default" : "Write");
                         });
