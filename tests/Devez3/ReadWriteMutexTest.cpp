// CReadWriteMutex under both policies: who waits for whom, what a stray
// leave does, the reports, and exclusion under contention.
#include "virad/ReadWriteMutex.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Orvane::Testing::CapturePrinter;
using Orvane::Virad::CReadWriteMutex;

namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

// Events in the order the threads recorded them.
struct EventLog {
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
    }
    Events get() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::mutex mutex;
    Events events;
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

} // namespace

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
    EXPECT_EQ(log.get(), (Events{"sharer in", "sharer out", "reader out", "writer in", "writer out", "late reader in",
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
              (Events{"first writer out", "second writer in", "second writer out", "reader in", "reader out"}));
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
    const bool reports = GetParam() == CReadWriteMutex::priorityDefault;
    EXPECT_EQ(capture.linesContaining("error ").size(), reports ? 3u : 0u);
    EXPECT_EQ(capture.linesContaining("No lock, maybe err\n").size(), reports ? 3u : 0u);
    EXPECT_EQ(capture.lines().size(), reports ? 3u : 0u);
}

TEST(CReadWriteMutexDefaultTest, UnknownPoliciesAndHeldDestructionAreReported) {
    CapturePrinter capture;
    auto rw = std::make_unique<CReadWriteMutex>(static_cast<CReadWriteMutex::RWPriority>(7));
    char expected[128];
    std::snprintf(expected, sizeof expected, "this:%p Input rwpriority level error, priorityDefault used!\n",
                  static_cast<void*>(rw.get()));
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.text().find(expected), std::string::npos) << capture.text();
    EXPECT_NE(capture.text().find("warn "), std::string::npos);
    EXPECT_FALSE(rw->leave());
    EXPECT_EQ(capture.linesContaining("No lock, maybe err\n").size(), 1u) << "behaves as the default policy";
    capture.clear();
    {
        CReadWriteMutex reading;
        reading.enterReading();
        reading.enterReading();
        CReadWriteMutex writing; // the writer's gate is released before it is destroyed
        writing.enterWriting();
        CReadWriteMutex quiet(CReadWriteMutex::priorityWrite);
        quiet.enterReading();
    }
    const Events lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("error "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("has lock write, maybe err\n"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("has lock Read count:2, maybe err\n"), std::string::npos) << lines[1];
}

TEST_P(CReadWriteMutexPolicyTest, WritersExcludeEveryoneUnderContention) {
    constexpr int kWriters = 2, kRounds = 20000;
    CReadWriteMutex rw(GetParam());
    // Plain halves that readers must never see differ, so that ThreadSanitizer sees any overlap too.
    long first = 0, second = 0;
    std::atomic<int> writersInside{0}, readersInside{0}, faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters + 3; ++t) {
        threads.emplace_back([&, writer = t < kWriters] {
            for (int i = 0; i < kRounds; ++i) {
                if (writer) {
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
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(first, long{kWriters} * kRounds);
    EXPECT_EQ(second, first);
}

INSTANTIATE_TEST_SUITE_P(BothPolicies, CReadWriteMutexPolicyTest,
                         ::testing::Values(CReadWriteMutex::priorityDefault, CReadWriteMutex::priorityWrite),
                         [](const ::testing::TestParamInfo<CReadWriteMutex::RWPriority>& info) {
                             return std::string(info.param == CReadWriteMutex::priorityDefault ? "Default" : "Write");
                         });
