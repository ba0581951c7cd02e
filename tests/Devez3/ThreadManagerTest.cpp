#include "virad/ThreadManager.h"

#include "support/ThreadSupport.h"
#include "virad/CTime.h"
#include "virad/Process.h"

#include <fstream>
#include <list>

using namespace Orvane::Virad;
using namespace Orvane::Testing;

static Lines dumpBodies() {
    return reported([] { CThreadManager::instance()->dumpThreads(); }, 4);
}

static std::string row(const char* name, int id, int priority, const char* state) {
    char text[128];
    std::snprintf(text, sizeof text, "%24s   %8d  %3d  %s\n", name, id, priority, state);
    return text;
}

const Lines kHeader = {"Threads:\n", "               Name            TID  Prior State\n",
                       "_______________________________________________________\n"};

// Name, id, stack size, priority, policy, time-out flag and whether the reserved bytes are zero.
static std::string describe(const CThreadManager::ThreadInfo& info) {
    const bool zero = std::all_of(std::begin(info.reserved), std::end(info.reserved), [](int b) { return b == 0; });
    return std::string(info.name) + " " + std::to_string(info.id) + " " + std::to_string(info.stackSize) + " " +
           std::to_string(info.priority) + " " + std::to_string(info.policy) + " " + std::to_string(info.timeout) +
           (zero ? "" : " reserved");
}

TEST(ThreadManagerDeathTest, AnEmptyRegistryInAProcessOfItsOwn) {
    expectInFreshProcess([] {
        std::list<CThreadManager::ThreadInfo> infos;
        flex_string text("stale");
        EXPECT_FALSE(CThreadManager::instance()->getThreadsInfo(infos));
        EXPECT_FALSE(CThreadManager::instance()->getTimeOutThreads(text));
        EXPECT_EQ(infos.size(), 0u);
        EXPECT_EQ(text, flex_string(""));
        Lines expected = kHeader;
        expected.insert(expected.end(), {row("Main", -1, 64, "Normal"), "\n"});
        EXPECT_EQ(dumpBodies(), expected) << "no thread runs and none was registered as main";
    });
}

TEST(ThreadManagerTest, RunningThreadsAreListedNewestFirstWithTheirTimeouts) {
    CapturePrinter quiet;
    CThreadManager* manager = CThreadManager::instance();
    manager->registerMainThread();
    Worker early("Early", 10), late("Late"), fine("Fine", 200, 3, 1 << 20);
    const int earlyId = early.start(), lateId = late.start(), fineId = fine.start();
    const unsigned long long now = CTime::getCurrentMilliSecond();
    early.setTimeout(1, now);
    late.setTimeout(1, now);
    fine.setTimeout(600000);
    ASSERT_TRUE(eventually([&] { return CTime::getCurrentMilliSecond() > now + 1; }));

    std::list<CThreadManager::ThreadInfo> infos;
    ASSERT_TRUE(manager->getThreadsInfo(infos));
    Lines described;
    std::transform(infos.begin(), infos.end(), std::back_inserter(described), describe);
    // Only the low 7 bits of priority 200 and bit 0 of policy 3 are kept.
    EXPECT_EQ(described, (Lines{"Fine " + std::to_string(fineId) + " 1048576 72 1 0",
                                "Late " + std::to_string(lateId) + " 0 64 0 1",
                                "Early " + std::to_string(earlyId) + " 0 10 0 1"}));

    // Main is not a body: its name is not found and the output is left alone.
    flex_string name("untouched"), lateName;
    EXPECT_FALSE(manager->getThreadNameByID(CThread::getCurrentThreadID(), name));
    EXPECT_EQ(name, flex_string("untouched"));
    EXPECT_TRUE(manager->getThreadNameByID(lateId, lateName));
    EXPECT_EQ(lateName, flex_string("Late"));

    // Each id is written as "(%d)" cut to 7 characters, newest first, no separator.
    auto id = [](int value) { return ("(" + std::to_string(value) + ")").substr(0, 7); };
    flex_string text;
    ASSERT_TRUE(manager->getTimeOutThreads(text));
    EXPECT_EQ(text, flex_string("Late" + id(lateId) + "Early" + id(earlyId)));
    Lines expected = kHeader;
    expected.insert(expected.end(),
                    {row("Main", CThread::getCurrentThreadID(), 64, "Normal"), row("Fine", fineId, 72, "Normal"),
                     row("Late", lateId, 64, "Timeout"), row("Early", earlyId, 10, "Timeout"), "\n"});
    EXPECT_EQ(dumpBodies(), expected);
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
    EXPECT_EQ(capture.bodies(), (Lines{"systemCall's input parameter is too long, command:" + tooLong + "\n",
                                       "systemCall CreateProcessA cmd:/nonexistent/program arg failed\n"}));
    // No shell: quotes group words, and nothing expands "$HOME" or ";".
    TempDir dir;
    const std::string file = dir / "made;$HOME";
    ASSERT_EQ(systemCall(("touch \"" + file + "\"").c_str()), 0);
    EXPECT_TRUE(exists(file)) << file;
}
