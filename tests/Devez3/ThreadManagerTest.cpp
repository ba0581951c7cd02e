#include "virad/ThreadManager.h"

#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
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
        while (getThreadID() == -1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
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
    std::vector<std::string> bodies;
    for (const std::string& line : capture.lines()) {
        bodies.push_back(line.substr(line.find(']') + 1));
    }
    return bodies;
}

std::string row(const char* name, int id, int priority, const char* state) {
    char text[128];
    std::snprintf(text, sizeof text, "%24s   %8d  %3d  %s\n", name, id, priority, state);
    return text;
}

} // namespace

// Runs first, while no thread was ever registered as main.
TEST(ThreadManagerTest, AnEmptyRegistry) {
    CThreadManager* manager = CThreadManager::instance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager, CThreadManager::instance());
    std::list<CThreadManager::ThreadInfo> infos;
    EXPECT_FALSE(manager->getThreadsInfo(infos));
    EXPECT_TRUE(infos.empty());
    flex_string text("stale");
    EXPECT_FALSE(manager->getTimeOutThreads(text));
    EXPECT_TRUE(text.empty()) << "the string is cleared first";

    const std::vector<std::string> expected = {
        "Threads:\n",
        "               Name            TID  Prior State\n",
        "_______________________________________________________\n",
        row("Main", -1, 64, "Normal"),
        "\n",
    };
    EXPECT_EQ(dumpBodies(), expected);
}

TEST(ThreadManagerTest, RunningThreadsAreListedNewestFirst) {
    CapturePrinter quiet;
    CThreadManager* manager = CThreadManager::instance();
    manager->registerMainThread();
    Idler first("First", 200, 3, 1 << 20);
    Idler second("Second", 10);
    const int firstId = first.startAndWaitForId();
    const int secondId = second.startAndWaitForId();

    std::list<CThreadManager::ThreadInfo> infos;
    ASSERT_TRUE(manager->getThreadsInfo(infos));
    ASSERT_EQ(infos.size(), 2u);
    const CThreadManager::ThreadInfo& newest = infos.front();
    const CThreadManager::ThreadInfo& oldest = infos.back();
    EXPECT_STREQ(newest.name, "Second");
    EXPECT_EQ(newest.id, secondId);
    EXPECT_EQ(newest.priority, 10u);
    EXPECT_STREQ(oldest.name, "First");
    EXPECT_EQ(oldest.stackSize, 1 << 20);
    EXPECT_EQ(oldest.priority, 200u & 0x7F) << "only the low 7 bits";
    EXPECT_EQ(oldest.policy, 1u) << "bit 0 of policy 3";
    EXPECT_EQ(oldest.timeout, 0u);
    for (unsigned char byte : oldest.reserved) {
        EXPECT_EQ(byte, 0);
    }

    flex_string name;
    EXPECT_TRUE(manager->getThreadNameByID(firstId, name));
    EXPECT_EQ(name, flex_string("First"));
    name = "untouched";
    EXPECT_FALSE(manager->getThreadNameByID(CThread::getCurrentThreadID(), name)) << "main is not a body";
    EXPECT_EQ(name, flex_string("untouched"));
    EXPECT_TRUE(manager->hasThread(secondId));
    EXPECT_FALSE(manager->hasThread(-1));
}

TEST(ThreadManagerTest, TimedOutThreadsAreNamedAndDumped) {
    CapturePrinter quiet;
    CThreadManager* manager = CThreadManager::instance();
    manager->registerMainThread();
    Idler early("Early");
    Idler late("Late");
    Idler fine("Fine");
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

    flex_string text;
    ASSERT_TRUE(manager->getTimeOutThreads(text));
    EXPECT_EQ(text, flex_string("Late(" + std::to_string(lateId) + ")Early(" + std::to_string(earlyId) + ")"))
        << "newest first, no separator";

    const std::vector<std::string> bodies = dumpBodies();
    ASSERT_EQ(bodies.size(), 8u);
    EXPECT_EQ(bodies[3], row("Main", CThread::getCurrentThreadID(), 64, "Normal"));
    EXPECT_EQ(bodies[4], row("Fine", fineId, 64, "Normal"));
    EXPECT_EQ(bodies[5], row("Late", lateId, 64, "Timeout"));
    EXPECT_EQ(bodies[6], row("Early", earlyId, 64, "Timeout"));
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
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    flex_string text;
    while (!CThreadManager::instance()->getTimeOutThreads(text) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(set.load());
    EXPECT_EQ(text.substr(0, 10), flex_string("SelfTimed("));
    EXPECT_TRUE(thread.isTimeout());
}

TEST(ThreadManagerTest, ProcessIdMatchesTheKernelsView) {
    std::ifstream stat("/proc/self/stat");
    unsigned long long pid = 0;
    stat >> pid;
    EXPECT_EQ(getCurrectProcessID(), pid);
}

TEST(ThreadManagerTest, SystemCallBoundsQuotingAndFailures) {
    CapturePrinter capture;
    EXPECT_EQ(systemCall(nullptr), 1);

    std::string tooLong = "true ";
    tooLong.append(260 - tooLong.size(), 'x');
    ASSERT_EQ(tooLong.size(), 260u);
    EXPECT_EQ(systemCall(tooLong.c_str()), -1);
    EXPECT_EQ(capture.linesContaining("systemCall's input parameter is too long, command:true xxx").size(), 1u);
    tooLong.pop_back();
    EXPECT_EQ(systemCall(tooLong.c_str()), 0) << "259 characters are run";

    EXPECT_EQ(systemCall("false"), 0) << "the exit code is not returned";
    EXPECT_EQ(systemCall("/nonexistent/program arg"), -1);
    EXPECT_EQ(capture.linesContaining("systemCall CreateProcessA cmd:/nonexistent/program arg failed\n").size(), 1u);

    // No shell: quotes group words, and nothing expands "$HOME" or ";".
    const std::string dir = ::testing::TempDir() + "dozuv2 system call";
    const std::string file = dir + "/made;$HOME";
    std::remove(file.c_str());
    ASSERT_EQ(systemCall(("mkdir -p \"" + dir + "\"").c_str()), 0);
    ASSERT_EQ(systemCall(("touch \"" + file + "\"").c_str()), 0);
    EXPECT_TRUE(std::ifstream(file).good()) << file;
    std::remove(file.c_str());
    systemCall(("rmdir \"" + dir + "\"").c_str());
}

TEST(ThreadManagerTest, CommandLinesSplitLikeTheWindowsParser) {
    using Orvane::Platform::commandLineArguments;
    using Words = std::vector<std::string>;
    EXPECT_EQ(commandLineArguments("  prog  a\tb  "), (Words{"prog", "a", "b"}));
    EXPECT_EQ(commandLineArguments("prog \"a b\" c\"d e\"f"), (Words{"prog", "a b", "cd ef"}));
    EXPECT_EQ(commandLineArguments("prog \"\" x"), (Words{"prog", "", "x"}));
    EXPECT_EQ(commandLineArguments(R"(prog a\\b a\"b a\\"b c" a\\\"b)"),
              (Words{"prog", R"(a\\b)", "a\"b", R"(a\b c)", R"(a\"b)"}));
    EXPECT_TRUE(commandLineArguments("   ").empty());
}
