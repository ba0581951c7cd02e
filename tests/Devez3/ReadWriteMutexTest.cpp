// CReadWriteMutex under both policies: who waits for whom, what a stray
// leave does, the reports, and exclusion under contention.
#include "virad/ReadWriteMutex.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
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

// Long enough for a thread to reach a blocking call on a busy machine. The
// order tests need it to know that a thread is already waiting before the
// next one arrives; what they assert right after it holds however long the
// pause really was.
constexpr auto kLetItBlock = 150ms;
// How long a test waits for something that must happen.
constexpr auto kGenerous = 20s;

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Events in the order the threads recorded them.
class EventLog {
public:
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }
    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    bool has(const std::string& event) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& e : m_events) {
            if (e == event) {
                return true;
            }
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// Runs a body on its own thread; tells when it has started and whether it finished.
class Worker {
public:
    explicit Worker(std::function<void()> body)
        : m_body(std::move(body)), m_startedFuture(m_started.get_future()), m_finishedFuture(m_finished.get_future()),
          m_thread([this] {
              m_started.set_value();
              m_body();
              m_finished.set_value();
          }) {}
    ~Worker() { m_thread.join(); }

    // Returns once the thread is about to run its body.
    void waitStarted() { m_startedFuture.wait(); }
    // The same, then lets it get as far as it can.
    void startAndLetBlock() {
        waitStarted();
        std::this_thread::sleep_for(kLetItBlock);
    }
    bool finishedWithin(std::chrono::milliseconds limit) {
        return m_finishedFuture.wait_for(limit) == std::future_status::ready;
    }

private:
    std::function<void()> m_body;
    std::promise<void> m_started;
    std::future<void> m_startedFuture;
    std::promise<void> m_finished;
    std::future<void> m_finishedFuture;
    std::thread m_thread;
};

using Events = std::vector<std::string>;

} // namespace

// ---- priorityDefault ----

TEST(CReadWriteMutexDefaultTest, ReadersShareAndAWaitingWriterGoesBeforeNewReaders) {
    CReadWriteMutex rw;
    EventLog log;
    ASSERT_TRUE(rw.enterReading());

    Worker sharer([&] {
        rw.enterReading();
        log.add("sharer in");
        rw.leave();
    });
    EXPECT_TRUE(sharer.finishedWithin(kGenerous)) << "a second reader must not wait for the first";

    Worker writer([&] {
        rw.enterWriting();
        log.add("writer in");
        log.add("writer out");
        rw.leave();
    });
    writer.startAndLetBlock();
    EXPECT_FALSE(log.has("writer in")) << "the writer waits for the reader present";

    Worker lateReader([&] {
        rw.enterReading();
        log.add("late reader in");
        rw.leave();
    });
    lateReader.startAndLetBlock();
    EXPECT_FALSE(log.has("late reader in")) << "a new reader queues behind the waiting writer";

    log.add("reader out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(writer.finishedWithin(kGenerous));
    EXPECT_TRUE(lateReader.finishedWithin(kGenerous));
    EXPECT_EQ(log.events(), (Events{"sharer in", "reader out", "writer in", "writer out", "late reader in"}));
}

TEST(CReadWriteMutexDefaultTest, LeaveWithoutHoldFailsWithAReport) {
    CapturePrinter capture;
    CReadWriteMutex rw;

    EXPECT_FALSE(rw.leave());
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(endsWith(lines[0], "No lock, maybe err\n")) << lines[0];
    EXPECT_NE(lines[0].find("error "), std::string::npos) << lines[0];

    // One leave per hold; the next one finds nothing again.
    capture.clear();
    ASSERT_TRUE(rw.enterReading());
    ASSERT_TRUE(rw.enterReading());
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_FALSE(rw.leave());
    ASSERT_TRUE(rw.enterWriting());
    EXPECT_TRUE(rw.leave());
    EXPECT_FALSE(rw.leave());
    EXPECT_EQ(capture.linesContaining("No lock, maybe err\n").size(), 2u);
}

TEST(CReadWriteMutexDefaultTest, UnknownPolicyIsReportedOnceAndBehavesAsDefault) {
    CapturePrinter capture;
    auto rw = std::make_unique<CReadWriteMutex>(static_cast<CReadWriteMutex::RWPriority>(7));

    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    char expected[128];
    std::snprintf(expected, sizeof expected, "this:%p Input rwpriority level error, priorityDefault used!\n",
                  static_cast<void*>(rw.get()));
    EXPECT_TRUE(endsWith(lines[0], expected)) << lines[0];
    EXPECT_NE(lines[0].find("warn "), std::string::npos) << lines[0];

    // Only priorityDefault reports a stray leave.
    capture.clear();
    EXPECT_FALSE(rw->leave());
    EXPECT_EQ(capture.linesContaining("No lock, maybe err\n").size(), 1u);
}

TEST(CReadWriteMutexDefaultTest, DestroyingAHeldMutexReportsTheHold) {
    CapturePrinter capture;
    {
        CReadWriteMutex rw;
        rw.enterReading();
        rw.enterReading();
    }
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(endsWith(lines[0], "has lock Read count:2, maybe err\n")) << lines[0];
    EXPECT_NE(lines[0].find("error "), std::string::npos) << lines[0];

    // The writer's gate is released before it is destroyed (a sanitizer
    // would object to destroying a held lock).
    capture.clear();
    {
        CReadWriteMutex rw;
        rw.enterWriting();
    }
    lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(endsWith(lines[0], "has lock write, maybe err\n")) << lines[0];

    // priorityWrite says nothing.
    capture.clear();
    {
        CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
        rw.enterReading();
    }
    EXPECT_TRUE(capture.lines().empty());
}

// ---- priorityWrite ----

TEST(CReadWriteMutexWriteTest, AReaderArrivingBehindAWaitingWriterWaitsUntilTheWriterHasLeft) {
    CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
    EventLog log;
    ASSERT_TRUE(rw.enterReading());

    Worker writer([&] {
        rw.enterWriting();
        log.add("writer in");
        log.add("writer out");
        rw.leave();
    });
    writer.startAndLetBlock();
    EXPECT_FALSE(log.has("writer in"));

    Worker secondReader([&] {
        rw.enterReading();
        log.add("second reader in");
        rw.leave();
    });
    secondReader.startAndLetBlock();
    EXPECT_FALSE(log.has("second reader in")) << "readers may not pass a waiting writer";

    log.add("first reader out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(writer.finishedWithin(kGenerous));
    EXPECT_TRUE(secondReader.finishedWithin(kGenerous));
    EXPECT_EQ(log.events(), (Events{"first reader out", "writer in", "writer out", "second reader in"}));
}

TEST(CReadWriteMutexWriteTest, AWriterHandsTheLockToTheNextWriterBeforeWaitingReaders) {
    CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
    EventLog log;
    ASSERT_TRUE(rw.enterWriting());

    // This reader starts waiting before the second writer does and still goes last.
    Worker reader([&] {
        rw.enterReading();
        log.add("reader in");
        rw.leave();
    });
    reader.startAndLetBlock();
    Worker secondWriter([&] {
        rw.enterWriting();
        log.add("second writer in");
        log.add("second writer out");
        rw.leave();
    });
    secondWriter.startAndLetBlock();
    EXPECT_TRUE(log.events().empty());

    log.add("first writer out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(secondWriter.finishedWithin(kGenerous));
    EXPECT_TRUE(reader.finishedWithin(kGenerous));
    EXPECT_EQ(log.events(), (Events{"first writer out", "second writer in", "second writer out", "reader in"}));
}

TEST(CReadWriteMutexWriteTest, LeaveWithoutHoldFailsSilently) {
    CapturePrinter capture;
    CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
    EXPECT_FALSE(rw.leave());
    ASSERT_TRUE(rw.enterReading());
    EXPECT_TRUE(rw.leave());
    EXPECT_FALSE(rw.leave());
    ASSERT_TRUE(rw.enterWriting());
    EXPECT_TRUE(rw.leave());
    EXPECT_FALSE(rw.leave());
    EXPECT_TRUE(capture.lines().empty());
}

// ---- both policies ----

class CReadWriteMutexPolicyTest : public ::testing::TestWithParam<CReadWriteMutex::RWPriority> {};

TEST_P(CReadWriteMutexPolicyTest, ReadersWaitingForAWriterAllShareOnceItLeaves) {
    constexpr int kReaders = 3;
    CReadWriteMutex rw(GetParam());
    std::atomic<int> inside{0};
    std::atomic<int> sharedWithAll{0};
    ASSERT_TRUE(rw.enterWriting());

    std::vector<std::unique_ptr<Worker>> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.push_back(std::make_unique<Worker>([&] {
            rw.enterReading();
            ++inside;
            // Stay until every reader is in; readers that could not share would never get there.
            const auto deadline = std::chrono::steady_clock::now() + kGenerous;
            while (inside.load() < kReaders && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::yield();
            }
            if (inside.load() == kReaders) {
                ++sharedWithAll;
            }
            rw.leave();
        }));
    }
    for (auto& reader : readers) {
        reader->waitStarted();
    }
    std::this_thread::sleep_for(kLetItBlock);
    EXPECT_EQ(inside.load(), 0);
    EXPECT_TRUE(rw.leave());
    for (auto& reader : readers) {
        EXPECT_TRUE(reader->finishedWithin(kGenerous + kGenerous));
    }
    EXPECT_EQ(sharedWithAll.load(), kReaders);
}

TEST_P(CReadWriteMutexPolicyTest, WritersExcludeEveryoneUnderContention) {
    constexpr int kWriters = 2;
    constexpr int kReaders = 3;
    constexpr int kRounds = 20000;
    CReadWriteMutex rw(GetParam());

    // Writers change both halves; readers must never see them differ. The
    // halves are plain so that ThreadSanitizer sees any overlap as well.
    long first = 0;
    long second = 0;
    std::atomic<int> writersInside{0};
    std::atomic<int> readersInside{0};
    std::atomic<int> faults{0};
    // All threads start together so that they really meet.
    std::promise<void> start;
    std::shared_future<void> go = start.get_future().share();

    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&] {
            go.wait();
            for (int i = 0; i < kRounds; ++i) {
                rw.enterWriting();
                if (writersInside.fetch_add(1) != 0 || readersInside.load() != 0) {
                    ++faults;
                }
                ++first;
                ++second;
                writersInside.fetch_sub(1);
                rw.leave();
            }
        });
    }
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            go.wait();
            for (int i = 0; i < kRounds; ++i) {
                rw.enterReading();
                readersInside.fetch_add(1);
                if (writersInside.load() != 0 || first != second) {
                    ++faults;
                }
                readersInside.fetch_sub(1);
                rw.leave();
            }
        });
    }
    start.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(first, long{kWriters} * kRounds);
    EXPECT_EQ(second, first);
    CapturePrinter quiet; // priorityDefault reports the stray leave
    EXPECT_FALSE(rw.leave()) << "every hold was released";
}

INSTANTIATE_TEST_SUITE_P(BothPolicies, CReadWriteMutexPolicyTest,
                         ::testing::Values(CReadWriteMutex::priorityDefault, CReadWriteMutex::priorityWrite),
                         [](const ::testing::TestParamInfo<CReadWriteMutex::RWPriority>& info) {
                             return info.param == CReadWriteMutex::priorityDefault ? std::string("Default")
                                                                                   : std::string("Write");
                         });
