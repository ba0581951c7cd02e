// CReadWriteMutex under both policies: who waits for whom, what a stray
// leave does and the reports. Exclusion under contention is the lock stress
// program's.
#include "virad/ReadWriteMutex.h"

#include "support/Testing.h"

#include <future>

using namespace Orvane::Testing;
using Orvane::Virad::CReadWriteMutex;

using namespace std::chrono_literals;

// Events in the order the threads recorded them; read once every thread has finished.
struct EventLog {
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
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
    ASSERT_TRUE(finished(writer));
    ASSERT_TRUE(finished(lateReader));
    EXPECT_EQ(log.events, (Lines{"sharer in", "sharer out", "reader out", "writer in", "writer out", "late reader in",
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
    ASSERT_TRUE(finished(secondWriter));
    ASSERT_TRUE(finished(reader));
    EXPECT_EQ(log.events,
              (Lines{"first writer out", "second writer in", "second writer out", "reader in", "reader out"}));
}

TEST_P(CReadWriteMutexPolicyTest, OneLeavePerHoldAndOnlyTheDefaultPolicyReportsAStrayOne) {
    CapturePrinter capture;
    CReadWriteMutex rw(GetParam());
    const std::vector<bool> results = {rw.leave(), rw.enterReading(), rw.enterReading(), rw.leave(), rw.leave(),
                                       rw.leave(), rw.enterWriting(), rw.leave(),        rw.leave()}; // in this order
    EXPECT_EQ(results, (std::vector<bool>{false, true, true, true, true, false, true, true, false}));
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

INSTANTIATE_TEST_SUITE_P(BothPolicies, CReadWriteMutexPolicyTest,
                         ::testing::Values(CReadWriteMutex::priorityDefault, CReadWriteMutex::priorityWrite),
                         [](const ::testing::TestParamInfo<CReadWriteMutex::RWPriority>& info) {
                             return std::string(info.param == CReadWriteMutex::priorityDefault ? "Default" : "Write");
                         });
