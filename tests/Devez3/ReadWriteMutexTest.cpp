// CReadWriteMutex under both policies: who waits for whom, what a stray
// leave does, the reports, and exclusion under contention.
#include "virad/ReadWriteMutex.h"

#include "support/CapturePrinter.h"
#include "support/Eventually.h"

#include <gtest/gtest.h>

#include <algorithm>
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
using Events = std::vector<std::string>;

// Long enough for a thread to reach a blocking call on a busy machine, so the order tests know it already waits.
constexpr auto kLetItBlock = 150ms;
constexpr auto kGenerous = 20s;
const std::string kNoLock = "No lock, maybe err\n";

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
    Events events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    bool has(const std::string& event) const {
        const Events all = events();
        return std::find(all.begin(), all.end(), event) != all.end();
    }

private:
    mutable std::mutex m_mutex;
    Events m_events;
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

    void waitStarted() { m_startedFuture.wait(); }
    // Waits for the start, then lets the thread get as far as it can.
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

// Takes the lock one way, records entering and leaving, and leaves.
std::function<void()> visit(CReadWriteMutex& rw, EventLog& log, bool writing, const std::string& who) {
    return [&rw, &log, writing, who] {
        writing ? rw.enterWriting() : rw.enterReading();
        log.add(who + " in");
        log.add(who + " out");
        rw.leave();
    };
}

class CReadWriteMutexPolicyTest : public ::testing::TestWithParam<CReadWriteMutex::RWPriority> {};

} // namespace

TEST_P(CReadWriteMutexPolicyTest, ReadersShareAndANewReaderQueuesBehindAWaitingWriter) {
    CReadWriteMutex rw(GetParam());
    EventLog log;
    ASSERT_TRUE(rw.enterReading());
    Worker sharer(visit(rw, log, false, "sharer"));
    EXPECT_TRUE(sharer.finishedWithin(kGenerous)) << "a second reader must not wait for the first";

    Worker writer(visit(rw, log, true, "writer"));
    writer.startAndLetBlock();
    EXPECT_FALSE(log.has("writer in")) << "the writer waits for the reader present";
    Worker lateReader(visit(rw, log, false, "late reader"));
    lateReader.startAndLetBlock();
    EXPECT_FALSE(log.has("late reader in")) << "readers may not pass a waiting writer";

    log.add("reader out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(writer.finishedWithin(kGenerous));
    EXPECT_TRUE(lateReader.finishedWithin(kGenerous));
    EXPECT_EQ(log.events(), (Events{"sharer in", "sharer out", "reader out", "writer in", "writer out",
                                    "late reader in", "late reader out"}));
}

TEST_P(CReadWriteMutexPolicyTest, OneLeavePerHoldAndOnlyTheDefaultPolicyReportsAStrayOne) {
    CapturePrinter capture;
    CReadWriteMutex rw(GetParam());
    EXPECT_FALSE(rw.leave());
    ASSERT_TRUE(rw.enterReading());
    ASSERT_TRUE(rw.enterReading());
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(rw.leave());
    EXPECT_FALSE(rw.leave());
    ASSERT_TRUE(rw.enterWriting());
    EXPECT_TRUE(rw.leave());
    EXPECT_FALSE(rw.leave());

    const Events lines = capture.lines();
    if (GetParam() == CReadWriteMutex::priorityWrite) {
        EXPECT_TRUE(lines.empty());
        return;
    }
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(endsWith(line, kNoLock)) << line;
        EXPECT_NE(line.find("error "), std::string::npos) << line;
    }
}

TEST(CReadWriteMutexDefaultTest, UnknownPolicyIsReportedOnceAndBehavesAsDefault) {
    CapturePrinter capture;
    auto rw = std::make_unique<CReadWriteMutex>(static_cast<CReadWriteMutex::RWPriority>(7));
    Events lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    char expected[128];
    std::snprintf(expected, sizeof expected, "this:%p Input rwpriority level error, priorityDefault used!\n",
                  static_cast<void*>(rw.get()));
    EXPECT_TRUE(endsWith(lines[0], expected)) << lines[0];
    EXPECT_NE(lines[0].find("warn "), std::string::npos) << lines[0];

    capture.clear();
    EXPECT_FALSE(rw->leave());
    EXPECT_EQ(capture.linesContaining(kNoLock).size(), 1u) << "a stray leave is reported as under the default";
}

TEST(CReadWriteMutexDefaultTest, DestroyingAHeldMutexReportsTheHold) {
    CapturePrinter capture;
    {
        CReadWriteMutex rw;
        rw.enterReading();
        rw.enterReading();
    }
    {
        CReadWriteMutex rw; // the writer's gate is released before it is destroyed
        rw.enterWriting();
    }
    {
        CReadWriteMutex rw(CReadWriteMutex::priorityWrite); // says nothing
        rw.enterReading();
    }
    const Events lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(endsWith(lines[0], "has lock Read count:2, maybe err\n")) << lines[0];
    EXPECT_NE(lines[0].find("error "), std::string::npos) << lines[0];
    EXPECT_TRUE(endsWith(lines[1], "has lock write, maybe err\n")) << lines[1];
}

TEST(CReadWriteMutexWriteTest, AWriterHandsTheLockToTheNextWriterBeforeWaitingReaders) {
    CReadWriteMutex rw(CReadWriteMutex::priorityWrite);
    EventLog log;
    ASSERT_TRUE(rw.enterWriting());
    // This reader starts waiting before the second writer does and still goes last.
    Worker reader(visit(rw, log, false, "reader"));
    reader.startAndLetBlock();
    Worker secondWriter(visit(rw, log, true, "second writer"));
    secondWriter.startAndLetBlock();
    EXPECT_TRUE(log.events().empty());

    log.add("first writer out");
    EXPECT_TRUE(rw.leave());
    EXPECT_TRUE(secondWriter.finishedWithin(kGenerous));
    EXPECT_TRUE(reader.finishedWithin(kGenerous));
    EXPECT_EQ(log.events(),
              (Events{"first writer out", "second writer in", "second writer out", "reader in", "reader out"}));
}

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
            if (Orvane::Testing::eventually([&] { return inside.load() == kReaders; }, 20000)) {
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
    // Readers must never see the halves differ; they are plain so that ThreadSanitizer sees any overlap too.
    long first = 0;
    long second = 0;
    std::atomic<int> writersInside{0};
    std::atomic<int> readersInside{0};
    std::atomic<int> faults{0};
    std::promise<void> start;
    std::shared_future<void> go = start.get_future().share();

    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters + kReaders; ++t) {
        threads.emplace_back([&, writer = t < kWriters] {
            go.wait();
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
                             return std::string(info.param == CReadWriteMutex::priorityDefault ? "Default" : "Write");
                         });
