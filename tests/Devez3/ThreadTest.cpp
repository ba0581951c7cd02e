#include "virad/Thread.h"

#include "Devez3/ThreadInternal.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "virad/CTime.h"
#include "virad/ThreadManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::eventually;

namespace {

// A well-behaved worker: loops while asked to, counting its runs. It can be
// made to linger after a stop request, to destroy itself from inside, or to
// report whether two runs ever overlapped.
class Worker : public CThread {
public:
    explicit Worker(const char* name = "Worker", int priority = 64) : CThread(name, priority) {}
    ~Worker() override { destroyThread(); }

    std::atomic<int> runs{0}, inside{0}, lingerMs{0}, selfDestroyResult{-1};
    std::atomic<bool> overlapped{false}, finished{false}, destroySelf{false};

private:
    void threadProc() override {
        overlapped = overlapped || inside.fetch_add(1) != 0;
        runs.fetch_add(1);
        finished = false;
        if (destroySelf) {
            selfDestroyResult = destroyThread() ? 1 : 0;
        }
        while (looping()) {
            CThread::sleep(1);
        }
        CThread::sleep(lingerMs.load());
        finished = true;
        inside.fetch_sub(1);
    }
};

int currentRunId(CThread& thread) {
    int id = -1;
    eventually([&] { return (id = thread.getThreadID()) != -1; });
    return id;
}

} // namespace

TEST(ThreadTest, StartStopRestartAndStopFromInside) {
    CapturePrinter capture;
    Worker worker;
    EXPECT_TRUE(worker.isThreadOver());
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_TRUE(worker.createThread());
        EXPECT_FALSE(worker.isThreadOver());
        const int id = currentRunId(worker);
        EXPECT_TRUE(CThreadManager::instance()->hasThread(id));
        EXPECT_TRUE(worker.destroyThread());
        EXPECT_TRUE(worker.isThreadOver() && worker.finished.load()) << "destroyThread waits for the body";
        EXPECT_FALSE(CThreadManager::instance()->hasThread(id));
        EXPECT_EQ(worker.runs.load(), cycle);
    }
    // A restart after a cancel waits for the old body to finish.
    worker.lingerMs = 150;
    ASSERT_TRUE(worker.createThread());
    currentRunId(worker);
    EXPECT_TRUE(worker.cancelThread()) << "cancel does not wait";
    EXPECT_FALSE(worker.finished.load());
    ASSERT_TRUE(worker.createThread());
    ASSERT_TRUE(eventually([&] { return worker.runs.load() == 4; }));
    EXPECT_FALSE(worker.overlapped.load()) << "runs never overlap";
    worker.lingerMs = 0;
    EXPECT_TRUE(worker.destroyThread());

    Worker self("SelfStop");
    self.destroySelf = true;
    ASSERT_TRUE(self.createThread());
    ASSERT_TRUE(eventually([&] { return self.isThreadOver(); }));
    EXPECT_EQ(self.selfDestroyResult.load(), 1) << "destroyThread from inside returns true at once";
}

TEST(ThreadTest, RefusalsAreReportedAndChangeNothing) {
    CapturePrinter capture;
    Worker worker("Refusals");
    EXPECT_FALSE(worker.cancelThread() || worker.destroyThread() || worker.terminateThread());
    ASSERT_TRUE(worker.createThread());
    EXPECT_FALSE(worker.createThread());
    EXPECT_TRUE(worker.destroyThread());
    EXPECT_FALSE(worker.destroyThread()) << "a second destroy of the same run";
    EXPECT_TRUE(worker.terminateThread()) << "its destroy is refused, but the ended thread's handle is still held";
    for (const char* text : {"CThread::cancelThread() thread:Refusals not exist!\n",
                             "CThread::DestroyThread() thread:Refusals has exited!\n",
                             "CThread::CreateThread() thread:Refusals is still running!\n",
                             "CThread::DestroyThread() thread:Refusals has been destroyed!\n"}) {
        EXPECT_NE(capture.text().find(text), std::string::npos) << text;
    }
    EXPECT_EQ(capture.linesContaining("warn ").size(), 6u) << "each refusal at level 3";
    EXPECT_EQ(capture.linesContaining("handle is null, can't be terminated\n").size(), 1u);
    ASSERT_TRUE(worker.createThread()) << "a new run clears the destroyed mark";
    currentRunId(worker);
    EXPECT_TRUE(worker.terminateThread());
    EXPECT_TRUE(worker.isThreadOver());
}

namespace {

// State of the Slow body below. It lives outside the object: once the
// derived destructor has run, the body may touch only the CThread part.
std::atomic<bool> g_slowInBody{false}, g_slowLeftBody{false};

// Relies on the base destructor alone to stop and wait.
struct Slow : CThread {
    Slow() : CThread("Slow") {}
    void threadProc() override {
        g_slowInBody = true;
        while (looping()) {
            CThread::sleep(5);
        }
        CThread::sleep(50);
        g_slowLeftBody = true;
    }
};

} // namespace

TEST(ThreadTest, DestructorWaitsForABodyThatHonoursLooping) {
    CapturePrinter capture;
    g_slowInBody = false;
    g_slowLeftBody = false;
    auto slow = std::make_unique<Slow>();
    ASSERT_TRUE(slow->createThread());
    ASSERT_TRUE(eventually([] { return g_slowInBody.load(); }));
    slow.reset();
    EXPECT_TRUE(g_slowLeftBody.load()) << "the destructor returned only after the body had left";
}

TEST(ThreadTest, PriorityMappingAndWhatTheThreadIsGiven) {
    std::vector<int> normal, realTime;
    for (int priority : {-3, 0, 5, 6, 59, 60, 63, 64, 68, 69, 72, 73, 126, 127, 500}) {
        normal.push_back(windowsThreadPriority(0, priority));
        realTime.push_back(windowsThreadPriority(1, priority));
    }
    EXPECT_EQ(normal, std::vector<int>({15, 15, 15, 2, 2, 1, 1, 0, 0, -1, -1, -2, -2, -15, -15}));
    EXPECT_EQ(realTime, std::vector<int>(15, 15)) << "real-time is always time critical";

    CapturePrinter capture;
    Worker low("Low", 100), high("High", 1);
    ASSERT_TRUE(low.createThread() && high.createThread());
    EXPECT_EQ(Orvane::Platform::threadPriority(ThreadInternal::of(low)->handle), -2);
    EXPECT_EQ(Orvane::Platform::threadPriority(ThreadInternal::of(high)->handle), 15);
}

TEST(ThreadTest, NamesIdsTimeoutsAndSmallHelpers) {
    CapturePrinter capture;
    Worker unnamed(nullptr), long32(std::string(32, 'n').c_str());
    std::string names = unnamed.getThreadName() + std::string("|") + long32.getThreadName();
    unnamed.setThreadName(std::string(31, 'm').c_str());
    long32.setThreadName(nullptr);
    names += std::string("|") + unnamed.getThreadName() + "|" + long32.getThreadName();
    EXPECT_EQ(names, "Nonamed|" + std::string(31, 'n') + "|" + std::string(31, 'm') + "|Nonamed") << "cut to 31";
    EXPECT_EQ(unnamed.getThreadID(), -1);

    const unsigned long long now = CTime::getCurrentMilliSecond();
    unnamed.setTimeout(50, now);
    EXPECT_FALSE(unnamed.isTimeout()) << "not before its deadline";
    ASSERT_TRUE(eventually([&] { return CTime::getCurrentMilliSecond() > now + 50; }));
    EXPECT_TRUE(unnamed.isTimeout());
    unnamed.setTimeout(0);
    EXPECT_FALSE(unnamed.isTimeout());

    EXPECT_FALSE(CThread::setCurrentTimeout(10)) << "the test's own thread is no CThread";
    EXPECT_GT(CThread::getCurrentThreadID(), 0);

    for (int percent : {-1, 0, 1, 100, 101}) {
        CThread::load(percent);
    }
    EXPECT_EQ(capture.linesContaining("is invalid!\n").size(), 3u);
    EXPECT_EQ(capture.linesContaining("error Unknown").size(), 3u);
    EXPECT_EQ(capture.linesContaining("thread load percent:101 is invalid!\n").size(), 1u);
}

namespace {

struct LiteJob {
    std::atomic<int> calls{0};
    std::atomic<CThreadLite*> seen{nullptr};
    std::atomic<unsigned int> reuse{0};
    void run(CThreadLite& thread) {
        seen = &thread;
        reuse = getCurrentFunctionReuse();
        calls.fetch_add(1);
        EXPECT_TRUE(CThread::setCurrentTimeout(5000));
        while (thread.looping()) {
            CThread::sleep(1);
        }
    }
};

} // namespace

TEST(ThreadTest, LiteThreadsRunTheirDelegate) {
    CapturePrinter capture;
    LiteJob job;
    {
        CThreadLite lite(CThreadLite::Procedure(&LiteJob::run, &job, 77), "Lite");
        ASSERT_TRUE(lite.createThread());
        ASSERT_TRUE(eventually([&] { return job.calls.load() == 1; }));
        EXPECT_EQ(job.seen.load(), &lite);
        EXPECT_EQ(job.reuse.load(), 77u) << "a numbered delegate records its number on the thread";
        EXPECT_FALSE(lite.isTimeout()) << "the body set its own deadline 5 s ahead";
    } // the destructor stops the loop
    EXPECT_EQ(job.calls.load(), 1);
}
