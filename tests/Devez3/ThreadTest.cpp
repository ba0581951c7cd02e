#include "virad/Thread.h"

#include "Src/Devez3/ThreadInternal.h"
#include "support/Readable.h"
#include "support/ThreadSupport.h"
#include "virad/ThreadManager.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

TEST(ThreadTest, StartStopRestartAndStopFromInside) {
    CapturePrinter quiet;
    Worker worker;
    EXPECT_TRUE(worker.isThreadOver());
    ASSERT_TRUE(worker.createThread());
    EXPECT_FALSE(worker.isThreadOver());
    const int id = worker.runId();
    EXPECT_TRUE(CThreadManager::instance()->hasThread(id));
    EXPECT_TRUE(worker.destroyThread());
    EXPECT_TRUE(worker.isThreadOver());
    EXPECT_TRUE(worker.finished.load()) << "destroyThread waits for the body";
    EXPECT_FALSE(CThreadManager::instance()->hasThread(id));
    EXPECT_EQ(worker.runs.load(), 1);
    // A restart after a cancel, which does not wait, waits for the old body to finish: runs never overlap. (A
    // restart after a destroy is the refusal test's.)
    worker.lingerMs = 150;
    ASSERT_TRUE(worker.createThread());
    ASSERT_TRUE(eventuallyEquals([&] { return worker.runs.load(); }, 2)); // the body has begun its second run
    EXPECT_TRUE(worker.cancelThread());
    EXPECT_FALSE(worker.finished.load());
    ASSERT_TRUE(worker.createThread());
    ASSERT_TRUE(eventuallyEquals([&] { return worker.runs.load(); }, 3));
    EXPECT_FALSE(worker.overlapped.load());
    worker.lingerMs = 0;
    EXPECT_TRUE(worker.destroyThread());

    Worker self("SelfStop");
    self.destroySelf = true;
    ASSERT_TRUE(self.createThread());
    ASSERT_TRUE(eventually([&] { return self.isThreadOver(); }));
    EXPECT_EQ(self.selfDestroyResult.load(), 1); // destroyThread from inside returns true at once
}

TEST(ThreadTest, RefusalsAreReportedAndChangeNothing) {
    CapturePrinter capture(true, 4);
    Worker worker("Refusals");
    // A second destroy of the same run is refused, but terminate finds the ended thread's handle still held.
    const std::vector<bool> results = {worker.cancelThread(),  worker.destroyThread(),  worker.terminateThread(),
                                       worker.createThread(),  worker.createThread(),   worker.destroyThread(),
                                       worker.destroyThread(), worker.terminateThread()};
    EXPECT_EQ(results, std::vector<bool>({false, false, false, true, false, true, false, true}));
    const std::string self = "this:" + address(&worker) + " ", thread = self + "CThread::DestroyThread() thread:";
    EXPECT_EQ(capture.bodies(),
              (Lines{self + "CThread::cancelThread() thread:Refusals not exist!\n", thread + "Refusals has exited!\n",
                     thread + "Refusals has exited!\n", self + "handle is null, can't be terminated\n",
                     self + "CThread::CreateThread() thread:Refusals is still running!\n",
                     thread + "Refusals has been destroyed!\n", thread + "Refusals has been destroyed!\n"}));
    EXPECT_EQ(capture.count("warn "), 6u); // each refusal at level 3
    worker.start();                        // a new run clears the destroyed mark
    EXPECT_TRUE(worker.terminateThread());
    EXPECT_TRUE(worker.isThreadOver());
}

// State of the Slow body below. It lives outside the object: once the
// derived destructor has run, the body may touch only the CThread part.
static std::atomic<bool> g_slowInBody{false}, g_slowLeftBody{false};

TEST(ThreadTest, DestructorWaitsForABodyThatHonoursLooping) {
    struct Slow : CThread { // relies on the base destructor alone to stop and wait
        Slow() : CThread("Slow") {}
        void threadProc() override {
            for (g_slowInBody = true; looping();) {
                CThread::sleep(5);
            }
            CThread::sleep(50);
            g_slowLeftBody = true;
        }
    };
    CapturePrinter quiet;
    g_slowInBody = g_slowLeftBody = false;
    auto slow = std::make_unique<Slow>();
    ASSERT_TRUE(slow->createThread());
    ASSERT_TRUE(eventually([] { return g_slowInBody.load(); }));
    slow.reset();
    EXPECT_TRUE(g_slowLeftBody.load());
}

TEST(ThreadTest, PriorityMappingAndWhatTheThreadIsGiven) {
    std::vector<int> normal, realTime;
    for (int priority : {-3, 0, 5, 6, 59, 60, 63, 64, 68, 69, 72, 73, 126, 127, 500}) {
        normal.push_back(windowsThreadPriority(0, priority));
        realTime.push_back(windowsThreadPriority(1, priority));
    }
    EXPECT_EQ(normal, std::vector<int>({15, 15, 15, 2, 2, 1, 1, 0, 0, -1, -1, -2, -2, -15, -15}));
    EXPECT_EQ(realTime, std::vector<int>(15, 15)); // real-time is always time critical

    CapturePrinter quiet;
    Worker low("Low", 100), high("High", 1);
    ASSERT_TRUE(low.createThread());
    ASSERT_TRUE(high.createThread());
    EXPECT_EQ(std::make_pair(Orvane::Platform::threadPriority(ThreadInternal::of(low)->handle),
                             Orvane::Platform::threadPriority(ThreadInternal::of(high)->handle)),
              std::make_pair(-2, 15));
}

TEST(ThreadTest, NamesIdsAndLoadHints) {
    CapturePrinter quiet;
    Worker unnamed(nullptr), long32(std::string(32, 'n').c_str());
    Lines names = {unnamed.getThreadName(), long32.getThreadName()};
    unnamed.setThreadName(std::string(31, 'm').c_str());
    long32.setThreadName(nullptr);
    names.insert(names.end(), {unnamed.getThreadName(), long32.getThreadName()});
    EXPECT_EQ(names, Lines({"Nonamed", std::string(31, 'n'), std::string(31, 'm'), "Nonamed"})); // cut to 31
    EXPECT_EQ(unnamed.getThreadID(), -1);

    // Deadlines passed or not are read through the thread registry's listing; here only a thread the
    // registry does not know.
    EXPECT_FALSE(CThread::setCurrentTimeout(10)); // the test's own thread is no CThread
    int other = 0;
    std::thread([&other] { other = CThread::getCurrentThreadID(); }).join();
    const int mine = CThread::getCurrentThreadID();
    EXPECT_GT(mine, 0) << "system ids";
    EXPECT_GT(other, 0);
    EXPECT_NE(other, mine) << "one per thread";
    EXPECT_EQ(reported([] {
                  for (int percent : {-1, 0, 1, 100, 101}) {
                      CThread::load(percent);
                  }
              }),
              (Lines{"thread load percent:-1 is invalid!\n", "thread load percent:0 is invalid!\n",
                     "thread load percent:101 is invalid!\n"}));
}

TEST(ThreadTest, LiteThreadsRunTheirDelegate) {
    CapturePrinter quiet;
    struct Job {
        std::atomic<int> calls{0};
        std::atomic<CThreadLite*> seen{nullptr};
        void run(CThreadLite& thread) {
            seen = &thread;
            calls.fetch_add(1);
            EXPECT_TRUE(CThread::setCurrentTimeout(5000));
            while (thread.looping()) {
                CThread::sleep(1);
            }
        }
    } job;
    {
        CThreadLite lite(CThreadLite::Procedure(&Job::run, &job, 77), "Lite");
        ASSERT_TRUE(lite.createThread());
        ASSERT_TRUE(eventuallyEquals([&] { return job.calls.load(); }, 1));
        EXPECT_EQ(job.seen.load(), &lite);
        EXPECT_FALSE(lite.isTimeout()); // the body set its own deadline 5 s ahead
    }                                   // the destructor stops the loop
    EXPECT_EQ(job.calls.load(), 1);
}
