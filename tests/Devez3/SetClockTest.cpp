// Setting the clock: the default hooks (clamping, tolerance, refusal,
// procedures), replaced hooks with and without notification, and the
// result rule. The machine's clock is never touched: the whole program runs
// with the platform layer's clock setting redirected to a recorder.
//
// Modify procedures cannot be detached, so they accumulate over the tests
// of one process; every procedure records into one log, and the tests
// compare against the list of procedures attached so far.
#include "virad/CTime.h"
#include "virad/LastError.h"

#include "Platform/Platform.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Platform::LocalTime;
using Orvane::Testing::CapturePrinter;

namespace {

const char* const kNoCallbackReport = "CTime::setCurrentTime() success without callback function\n";

// What reached the platform layer, and whether it accepts.
std::vector<LocalTime> g_settings;
bool g_hostAccepts = true;

bool recordSetting(const LocalTime& time) {
    g_settings.push_back(time);
    return g_hostAccepts;
}

// Redirects the clock setting for the whole program, before any test runs.
class RedirectedClock : public ::testing::Environment {
public:
    void SetUp() override { Orvane::Platform::redirectSetLocalTime(&recordSetting); }
    void TearDown() override { Orvane::Platform::redirectSetLocalTime(nullptr); }
};
const ::testing::Environment* const g_redirect = ::testing::AddGlobalTestEnvironment(new RedirectedClock);

// One log of calls, in order: "A 2000-01-01 00:00:00 w6", "hook ...".
std::vector<std::string> g_calls;
std::vector<std::string> g_attached;
std::thread::id g_procThread;

std::string text(const SystemTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return buffer;
}

std::string text(const CTime& t) {
    return text(SystemTime{t.year, t.month, t.day, t.wday, t.hour, t.minute, t.second, t.isdst});
}

std::string text(const LocalTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return buffer;
}

template <char Tag> bool recordingProc(SystemTime time) {
    g_calls.push_back(std::string(1, Tag) + " " + text(time));
    g_procThread = std::this_thread::get_id();
    return Tag == 'A' ? false : true; // results are not looked at
}

void attach(const std::string& tag, CTime::ModifyProc proc) {
    ASSERT_TRUE(CTime::attachModifyProc(proc));
    g_attached.push_back(tag);
}

// Attaches A and B once per process (a second attach would run them twice).
void attachRecordingProcs() {
    if (g_attached.empty()) {
        attach("A", &recordingProc<'A'>);
        attach("B", &recordingProc<'B'>);
    }
}

// The calls every attached procedure makes when told the time.
std::vector<std::string> notified(const std::string& time) {
    std::vector<std::string> calls;
    for (const std::string& tag : g_attached) {
        calls.push_back(tag + " " + time);
    }
    return calls;
}

void customHook(const CTime& time, int tolerance) {
    g_calls.push_back("hook " + text(time) + " tolerance " + std::to_string(tolerance));
}

void customHookEx(const SystemTimeEx& time, int tolerance) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "hookEx %04d-%02d-%02d %02d:%02d:%02d.%03d w%d r%d%d%d%d tolerance %d",
                  time.year, time.month, time.day, time.hour, time.minute, time.second, time.millisecond, time.wday,
                  time.reserved[0], time.reserved[1], time.reserved[2], time.reserved[3], tolerance);
    g_calls.push_back(buffer);
}

void failingRtcHook(const CTime&, int) {
    setLastError(kErrorSetRtcFailed);
}

class SetClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Taken before the first test replaces anything.
        defaultHook();
        defaultHookEx();
        g_settings.clear();
        g_calls.clear();
        g_hostAccepts = true;
        setLastError(0);
    }
    void TearDown() override {
        // Every test leaves the default hooks without notification behind.
        CTime::attachSetCurrentTimeHook(defaultHook(), false);
        CTime::attachSetCurrentTimeHookEx(defaultHookEx(), false);
        setLastError(0);
    }

    // The default hooks, as the first attach of the process handed them out.
    static CTime::SetTimeHook defaultHook() {
        static const CTime::SetTimeHook hook = [] {
            const CTime::SetTimeHook original = CTime::attachSetCurrentTimeHook(CTime::SetTimeHook());
            CTime::attachSetCurrentTimeHook(original);
            return original;
        }();
        return hook;
    }
    static CTime::SetTimeHookEx defaultHookEx() {
        static const CTime::SetTimeHookEx hook = [] {
            const CTime::SetTimeHookEx original = CTime::attachSetCurrentTimeHookEx(CTime::SetTimeHookEx());
            CTime::attachSetCurrentTimeHookEx(original);
            return original;
        }();
        return hook;
    }
};

} // namespace

TEST_F(SetClockTest, WithoutProceduresASuccessfulSettingIsReported) {
    if (!g_attached.empty()) {
        GTEST_SKIP() << "needs a process in which no procedure was attached yet";
    }
    CapturePrinter capture;
    EXPECT_TRUE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    ASSERT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(text(g_settings[0]), "2024-07-05 09:03:02.000");
    const std::vector<std::string> lines = capture.linesContaining(kNoCallbackReport);
    ASSERT_EQ(lines.size(), 1u) << capture.text();
    EXPECT_NE(lines[0].find("info"), std::string::npos) << lines[0];
}

TEST_F(SetClockTest, DefaultHookClampsSetsAndTellsTheProceduresInOrder) {
    attachRecordingProcs();
    CapturePrinter capture;

    CTime::setCurrentTime(CTime(1999, 6, 1, 12, 0, 0), 0);
    CTime::setCurrentTime(CTime(2040, 1, 1, 0, 0, 0), 0);
    CTime::setCurrentTime(CTime(2024, 13, 40, 25, 0, 0), 0); // normalised before anything else
    ASSERT_EQ(g_settings.size(), 3u);
    EXPECT_EQ(text(g_settings[0]), "2000-01-01 00:00:00.000");
    EXPECT_EQ(text(g_settings[1]), "2038-01-01 00:00:00.000");
    EXPECT_EQ(text(g_settings[2]), "2024-12-31 23:59:59.000");
    std::vector<std::string> expected = notified("2000-01-01 00:00:00 w6");
    for (const std::string& call : notified("2038-01-01 00:00:00 w5")) {
        expected.push_back(call);
    }
    for (const std::string& call : notified("2024-12-31 23:59:59 w2")) {
        expected.push_back(call);
    }
    EXPECT_EQ(g_calls, expected) << "every procedure, in attachment order, with the clamped time";
    EXPECT_TRUE(capture.linesContaining(kNoCallbackReport).empty());
    EXPECT_EQ(getLastError(), 0);

    // Procedures run on the thread that sets the clock.
    g_calls.clear();
    std::thread::id setter;
    std::thread([&] {
        setter = std::this_thread::get_id();
        CTime::setCurrentTime(CTime(2024, 1, 1, 0, 0, 0), 0);
    }).join();
    EXPECT_EQ(g_procThread, setter);
}

TEST_F(SetClockTest, ToleranceLeavesANearClockAlone) {
    attachRecordingProcs();
    CapturePrinter capture;
    const CTime now = CTime::getCurrentTime();
    CTime::setCurrentTime(now + 3, 5);
    CTime::setCurrentTime(now - 3, 5);
    EXPECT_TRUE(g_settings.empty());
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(capture.lines().empty()) << capture.text();
    EXPECT_EQ(getLastError(), 0);

    CTime::setCurrentTime(now + 3, 0);
    EXPECT_EQ(g_settings.size(), 1u) << "tolerance 0 always sets";
    CTime::setCurrentTime(now + 60, 5);
    EXPECT_EQ(g_settings.size(), 2u);
    CTime::setCurrentTime(now + 3, -5);
    EXPECT_EQ(g_settings.size(), 3u) << "no distance is within a negative tolerance";

    // The distance is measured to the clamped time: a tolerance between the
    // distances to maxTime and to the requested 2040 skips the setting.
    const CTime far(2040, 1, 1, 0, 0, 0);
    const std::int64_t toMax = CTime::maxTime - CTime::getCurrentTime();
    const std::int64_t toFar = far - CTime::getCurrentTime();
    g_settings.clear();
    CTime::setCurrentTime(far, static_cast<int>((toMax + toFar) / 2));
    EXPECT_TRUE(g_settings.empty());
}

TEST_F(SetClockTest, RefusalSetsTheLastErrorAndTellsNobody) {
    attachRecordingProcs();
    CapturePrinter capture;
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    EXPECT_EQ(getLastError(), kErrorSetTimeFailed);
    EXPECT_EQ(g_settings.size(), 1u);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(capture.lines().empty()) << capture.text();

    // The last error is not reset: the next setting fails too, even though it works.
    g_hostAccepts = true;
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    EXPECT_EQ(g_settings.size(), 2u);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
    setLastError(0);
    EXPECT_TRUE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));

    // The result reads the calling thread's own last error.
    setLastError(kErrorSetTimeFailed);
    bool elsewhere = false;
    std::thread([&] { elsewhere = CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0); }).join();
    EXPECT_TRUE(elsewhere);
}

TEST_F(SetClockTest, ReplacedHookNotifiesOnlyWhenAsked) {
    attachRecordingProcs();
    const CTime requested(2024, 7, 5, 9, 3, 2);

    // One-argument form: the flag stays off, only the hook runs.
    const CTime::SetTimeHook previous = CTime::attachSetCurrentTimeHook(&customHook);
    EXPECT_TRUE(previous == defaultHook());
    CTime::setCurrentTime(CTime(1999, 13, 2, 9, 3, 2), 7);
    EXPECT_EQ(g_calls, std::vector<std::string>{"hook 1999-12-02 09:03:02 w4 tolerance 7"})
        << "the hook gets the normalised value, unclamped, and the tolerance";
    EXPECT_TRUE(g_settings.empty());

    // With notification: the hook, then every procedure with the same value.
    g_calls.clear();
    EXPECT_TRUE(CTime::attachSetCurrentTimeHook(&customHook, true) == CTime::SetTimeHook(&customHook));
    CTime::setCurrentTime(requested, 0);
    std::vector<std::string> expected{"hook 2024-07-05 09:03:02 w5 tolerance 0"};
    for (const std::string& call : notified("2024-07-05 09:03:02 w5")) {
        expected.push_back(call);
    }
    EXPECT_EQ(g_calls, expected);

    // The default hook back, flag still on: it notifies once, by itself.
    g_calls.clear();
    EXPECT_TRUE(CTime::attachSetCurrentTimeHook(previous) == CTime::SetTimeHook(&customHook));
    CTime::setCurrentTime(requested, 0);
    EXPECT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5")) << "no second notification";

    // An empty hook does nothing at all, yet is not the default.
    g_calls.clear();
    g_settings.clear();
    CTime::attachSetCurrentTimeHook(CTime::SetTimeHook(), true);
    CTime::setCurrentTime(requested, 0);
    EXPECT_TRUE(g_settings.empty());
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
}

TEST_F(SetClockTest, ResultRuleAfterAReplacedHook) {
    CTime::attachSetCurrentTimeHook(&customHook);
    EXPECT_TRUE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    setLastError(0x10000001);
    EXPECT_TRUE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0)) << "other codes do not count";
    setLastError(kErrorSetRtcFailed);
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0)) << "a code left from earlier counts";
    setLastError(0);
    CTime::attachSetCurrentTimeHook(&failingRtcHook);
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
}

TEST_F(SetClockTest, ExtendedFormKeepsMillisecondsAndWeekdayOfTheDateAsGiven) {
    attachRecordingProcs();
    // Reserved fields with garbage and a wrong weekday: both are rebuilt.
    const SystemTimeEx late{1969, 12, 31, 0, 23, 59, 58, 250, {7, 7, 7, 7}};

    // Default extended hook: clamped like the other, milliseconds kept.
    EXPECT_TRUE(CTime::setCurrentTime(late, 0));
    ASSERT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(text(g_settings[0]), "2000-01-01 00:00:00.250");
    EXPECT_EQ(g_calls, notified("2000-01-01 00:00:00 w6"));
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTime(late, 0));
    EXPECT_EQ(getLastError(), kErrorSetTimeFailed);
    g_hostAccepts = true;
    setLastError(0);

    // A replaced extended hook sees the record as given, weekday computed without clamping.
    g_calls.clear();
    g_settings.clear();
    const CTime::SetTimeHookEx previous = CTime::attachSetCurrentTimeHookEx(&customHookEx);
    EXPECT_TRUE(previous == defaultHookEx());
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    EXPECT_EQ(g_calls, std::vector<std::string>{"hookEx 1969-12-31 23:59:58.250 w3 r0000 tolerance 3"});
    EXPECT_TRUE(g_settings.empty());

    // With notification the procedures get the normalised value of the fields.
    g_calls.clear();
    CTime::attachSetCurrentTimeHookEx(&customHookEx, true);
    EXPECT_TRUE(CTime::setCurrentTime(late, 0));
    ASSERT_EQ(g_calls.size(), 1 + g_attached.size());
    EXPECT_EQ(std::vector<std::string>(g_calls.begin() + 1, g_calls.end()), notified("1970-12-31 23:59:58 w4"));

    // The default back: one notification from the default hook only.
    g_calls.clear();
    CTime::attachSetCurrentTimeHookEx(previous);
    EXPECT_TRUE(CTime::setCurrentTime(SystemTimeEx{2024, 7, 5, 0, 9, 3, 2, 999, {0, 0, 0, 0}}, 0));
    EXPECT_EQ(text(g_settings.back()), "2024-07-05 09:03:02.999");
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
}

namespace {

bool lateProc(SystemTime time) {
    g_calls.push_back("late " + text(time));
    return true;
}

// Attaches another procedure while being called.
bool attachingProc(SystemTime time) {
    g_calls.push_back("attaching " + text(time));
    static bool done = false;
    if (!done) {
        done = true;
        attach("late", &lateProc);
    }
    return true;
}

} // namespace

TEST_F(SetClockTest, ProcedureAttachedDuringANotificationRunsFromTheNextOne) {
    attachRecordingProcs();
    attach("attaching", &attachingProc);
    const std::vector<std::string> before = g_attached;

    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    std::vector<std::string> expected;
    for (const std::string& tag : before) {
        expected.push_back(tag + " 2024-07-05 09:03:02 w5");
    }
    EXPECT_EQ(g_calls, expected) << "the procedure attached meanwhile waits for the next setting";
    ASSERT_EQ(g_attached.size(), before.size() + 1);

    g_calls.clear();
    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
    EXPECT_EQ(g_calls.back(), "late 2024-07-05 09:03:02 w5");
}

TEST_F(SetClockTest, TheSameProcedureAttachedTwiceRunsTwice) {
    attachRecordingProcs();
    attach("B", &recordingProc<'B'>);
    CTime::setCurrentTime(CTime(2030, 1, 1, 0, 0, 0), 0);
    const std::vector<std::string> calls = notified("2030-01-01 00:00:00 w2");
    EXPECT_EQ(g_calls, calls);
    EXPECT_GE(std::count(calls.begin(), calls.end(), "B 2030-01-01 00:00:00 w2"), 2);
}
