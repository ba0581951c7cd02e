#include "virad/ThreadManager.h"

#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "support/TempDir.h"
#include "virad/CTime.h"
#include "virad/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

namespace {

class Idler : public CThread {
public:
    Idler(const char* name, int priority = 64, int policy = 0, int stackSize = 0)
        : CThread(name, priority, policy, stackSize) {}
    ~Idler() override { destroyThread(); }

    int startAndWaitForId() {
        EXPECT_TRUE(createThread());
        Orvane::Testing::eventually([this] { return getThreadID() != -1; });
        return getThreadID();
    }

private:
    void threadProc() override {
        while (looping()) {
            CThread::sleep(1);
        }
    }
};

// The lines of a dump with their prefixes removed.
std::vector<std::string> dumpBodies() {
    CapturePrinter capture(true, 4);
    CThreadManager::instance()->dumpThreads();
    return capture.bodies();
}

std::string row(const char* name, int id, int priority, const char* state) {
    char text[128];
    std::snprintf(text, sizeof text, "%24s   %8d  %3d  %s\n", name, id, priority, state);
    return text;
}

} // namespace

// What a process in which no thread runs and none was registered as main reports.
bool emptyRegistryReported() {
    std::list<CThreadManager::ThreadInfo> infos;
    flex_string text("stale");
    const bool any = CThreadManager::instance()->getThreadsInfo(infos) ||
                     CThreadManager::instance()->getTimeOutThreads(text) || !infos.empty() || !text.empty();
    const std::vector<std::string> expected = {"Threads:\n", "               Name            TID  Prior State\n",
                                               "_______________________________________________________\n",
                                               row("Main", -1, 64, "Normal"), "\n"};
    return !any && dumpBodies() == expected;
}

TEST(ThreadManagerDeathTest, AnEmptyRegistryInAProcessOfItsOwn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(emptyRegistryReported() ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(ThreadManagerTest, RunningThreadsAreListedNewestFirstWithTheirTimeouts) {
    CapturePrinter quiet;
    CThreadManager* manager = CThreadManager::instance();
    manager->registerMainThread();
    Idler early("Early", 10), late("Late"), fine("Fine", 200, 3, 1 << 20);
    const int earlyId = early.startAndWaitForId();
    const int lateId = late.startAndWaitForId();
    const int fineId = fine.startAndWaitForId();
    const unsigned long long now = CTime::getCurrentMilliSecond();
    early.setTimeout(1, now);
    late.setTimeout(1, now);
    fine.setTimeout(600000);
    while (CTime::getCurrentMilliSecond() <= now + 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::list<CThreadManager::ThreadInfo> infos;
    ASSERT_TRUE(manager->getThreadsInfo(infos));
    ASSERT_EQ(infos.size(), 3u);
    const CThreadManager::ThreadInfo& newest = infos.front();
    EXPECT_STREQ(newest.name, "Fine");
    EXPECT_EQ(newest.id, fineId);
    EXPECT_EQ(newest.stackSize, 1 << 20);
    EXPECT_EQ(newest.priority, 72u) << "only the low 7 bits of 200";
    EXPECT_EQ(newest.policy, 1u) << "bit 0 of policy 3";
    EXPECT_EQ(newest.timeout, 0u);
    EXPECT_EQ(std::vector<unsigned char>(std::begin(newest.reserved), std::end(newest.reserved)),
              std::vector<unsigned char>(sizeof newest.reserved, 0));
    EXPECT_EQ(infos.back().timeout, 1u);

    flex_string name;
    EXPECT_TRUE(manager->getThreadNameByID(lateId, name));
    EXPECT_EQ(name, flex_string("Late"));
    name = "untouched";
    EXPECT_FALSE(manager->getThreadNameByID(CThread::getCurrentThreadID(), name)) << "main is not a body";
    EXPECT_EQ(name, flex_string("untouched"));
    EXPECT_TRUE(manager->hasThread(earlyId));
    EXPECT_FALSE(manager->hasThread(-1));

    // Each id is written as "(%d)" cut to 7 characters.
    auto id = [](int value) { return ("(" + std::to_string(value) + ")").substr(0, 7); };
    flex_string text;
    ASSERT_TRUE(manager->getTimeOutThreads(text));
    EXPECT_EQ(text, flex_string("Late" + id(lateId) + "Early" + id(earlyId))) << "newest first, no separator";
    const std::vector<std::string> bodies = dumpBodies();
    ASSERT_EQ(bodies.size(), 8u);
    EXPECT_EQ(bodies[3], row("Main", CThread::getCurrentThreadID(), 64, "Normal"));
    EXPECT_EQ(bodies[4], row("Fine", fineId, 72, "Normal"));
    EXPECT_EQ(bodies[5], row("Late", lateId, 64, "Timeout"));
    EXPECT_EQ(bodies[6], row("Early", earlyId, 10, "Timeout"));
    EXPECT_EQ(bodies[7], "\n");
}

TEST(ThreadManagerTest, ABodyCanSetItsOwnTimeout) {
    CapturePrinter quiet;
    std::atomic<bool> set{false};
    struct SelfTimed : CThread {
        std::atomic<bool>* done;
        explicit SelfTimed(std::atomic<bool>* d) : CThread("SelfTimed"), done(d) {}
        ~SelfTimed() override { destroyThread(); }
        void threadProc() override {
            done->store(CThread::setCurrentTimeout(10));
            while (looping()) {
                CThread::sleep(1);
            }
        }
    } thread(&set);
    ASSERT_TRUE(thread.createThread());
    flex_string text;
    Orvane::Testing::eventually([&] { return CThreadManager::instance()->getTimeOutThreads(text); });
    EXPECT_TRUE(set.load());
    EXPECT_EQ(text.substr(0, 10), flex_string("SelfTimed("));
    EXPECT_TRUE(thread.isTimeout());
}

TEST(ThreadManagerTest, ProcessIdAndSystemCall) {
    std::ifstream stat("/proc/self/stat");
    unsigned long long pid = 0;
    stat >> pid;
    EXPECT_EQ(getCurrectProcessID(), pid);

    // A null command, 260 characters (refused), 259 (run), an exit code that is not returned, a missing program.
    CapturePrinter capture;
    const std::string tooLong = "true " + std::string(255, 'x');
    const std::vector<int> results = {systemCall(nullptr), systemCall(tooLong.c_str()),
                                      systemCall(tooLong.substr(0, 259).c_str()), systemCall("false"),
                                      systemCall("/nonexistent/program arg")};
    EXPECT_EQ(results, std::vector<int>({1, -1, 0, 0, -1}));
    EXPECT_EQ(capture.linesContaining("systemCall's input parameter is too long, command:true xxx").size(), 1u);
    EXPECT_EQ(capture.linesContaining("systemCall CreateProcessA cmd:/nonexistent/program arg failed\n").size(), 1u);
    // No shell: quotes group words, and nothing expands "$HOME" or ";".
    Orvane::Testing::TempDir dir;
    const std::string file = dir / "made;$HOME";
    ASSERT_EQ(systemCall(("touch \"" + file + "\"").c_str()), 0);
    EXPECT_TRUE(Orvane::Testing::exists(file)) << file;
}
