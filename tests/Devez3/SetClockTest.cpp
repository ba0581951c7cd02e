// The machine's clock is never touched: the platform's clock setting goes to a recorder.
// Procedures cannot be detached, so tests compare against those attached so far.
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

// Date, time and weekday of any broken-down record.
template <typename Fields> std::string text(const Fields& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return buffer;
}

std::vector<std::string> g_settings; // what reached the platform layer, to the millisecond (no weekday is supplied)
bool g_hostAccepts = true;
CTime::SetTimeHook g_defaultHook;
CTime::SetTimeHookEx g_defaultHookEx;

bool recordSetting(const LocalTime& time) {
    g_settings.push_back(text(time).substr(0, 19) + "." + std::to_string(1000 + time.millisecond).substr(1));
    return g_hostAccepts;
}

// Redirects the clock setting and keeps the default hooks before any test runs.
class RedirectedClock : public ::testing::Environment {
public:
    void SetUp() override {
        Orvane::Platform::redirectSetLocalTime(&recordSetting);
        g_defaultHook = CTime::attachSetCurrentTimeHook(CTime::SetTimeHook());
        CTime::attachSetCurrentTimeHook(g_defaultHook);
        g_defaultHookEx = CTime::attachSetCurrentTimeHookEx(CTime::SetTimeHookEx());
        CTime::attachSetCurrentTimeHookEx(g_defaultHookEx);
    }
    void TearDown() override { Orvane::Platform::redirectSetLocalTime(nullptr); }
};
const ::testing::Environment* const g_redirect = ::testing::AddGlobalTestEnvironment(new RedirectedClock);

std::vector<std::string> g_calls;    // in order: "A 2000-01-01 00:00:00 w6", "hook ..."
std::vector<std::string> g_attached; // tags of the procedures attached so far
std::thread::id g_procThread;

template <char Tag> bool recordingProc(SystemTime time) {
    g_calls.push_back(std::string(1, Tag) + " " + text(time));
    g_procThread = std::this_thread::get_id();
    return Tag == 'B'; // the result is not looked at
}

void attach(const std::string& tag, CTime::ModifyProc proc) {
    ASSERT_TRUE(CTime::attachModifyProc(proc));
    g_attached.push_back(tag);
}

// The calls of every attached procedure, in order, told the time.
std::vector<std::string> notified(const std::string& time, std::vector<std::string> calls = {}) {
    for (const std::string& tag : g_attached) {
        calls.push_back(tag + " " + time);
    }
    return calls;
}

void customHook(const CTime& time, int tolerance) {
    g_calls.push_back("hook " + text(time) + " tolerance " + std::to_string(tolerance));
}

void customHookEx(const SystemTimeEx& time, int tolerance) {
    const int* r = time.reserved;
    g_calls.push_back("hookEx " + text(time) + " ms " + std::to_string(time.millisecond) + " reserved " +
                      std::to_string(r[0] | r[1] | r[2] | r[3]) + " tolerance " + std::to_string(tolerance));
}

void failingRtcHook(const CTime&, int) {
    setLastError(kErrorSetRtcFailed);
}

class SetClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_settings.clear();
        g_calls.clear();
        g_hostAccepts = true;
        setLastError(0);
        if (g_attached.empty()) { // once per process: a second attach would run them twice
            attach("A", &recordingProc<'A'>);
            attach("B", &recordingProc<'B'>);
        }
    }
    void TearDown() override { // the default hooks, without notification
        CTime::attachSetCurrentTimeHook(g_defaultHook, false);
        CTime::attachSetCurrentTimeHookEx(g_defaultHookEx, false);
        setLastError(0);
    }
};

} // namespace

// In a process of its own, where no procedure was attached yet.
TEST(SetClockDeathTest, ASettingWithoutProceduresIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CapturePrinter capture;
            const bool set = CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0);
            std::fprintf(stderr, "%d %zu %s", set, g_settings.size(), capture.text().c_str());
            std::exit(0);
        },
        testing::ExitedWithCode(0),
        "^1 1 \\[.* info .*\\]CTime::setCurrentTime\\(\\) success without callback function\n$");
}

TEST_F(SetClockTest, DefaultHookClampsSetsAndTellsTheProceduresInOrder) {
    CapturePrinter capture;
    for (const CTime& t : {CTime(1999, 6, 1, 12, 0, 0), CTime(2040, 1, 1, 0, 0, 0), CTime(2024, 13, 40, 25, 0, 0)}) {
        CTime::setCurrentTime(t, 0); // the last one is normalised first
    }
    EXPECT_EQ(g_settings, std::vector<std::string>(
                              {"2000-01-01 00:00:00.000", "2038-01-01 00:00:00.000", "2024-12-31 23:59:59.000"}));
    EXPECT_EQ(g_calls, notified("2024-12-31 23:59:59 w2",
                                notified("2038-01-01 00:00:00 w5", notified("2000-01-01 00:00:00 w6"))))
        << "every procedure, in attachment order, with the clamped time";
    EXPECT_TRUE(capture.linesContaining(kNoCallbackReport).empty());
    EXPECT_EQ(getLastError(), 0);

    // Procedures run on the thread that sets the clock.
    std::thread::id setter;
    std::thread([&] {
        setter = std::this_thread::get_id();
        CTime::setCurrentTime(CTime(2024, 1, 1, 0, 0, 0), 0);
    }).join();
    EXPECT_EQ(g_procThread, setter);
}

TEST_F(SetClockTest, ToleranceLeavesANearClockAlone) {
    CapturePrinter capture;
    const CTime now = CTime::getCurrentTime();
    const struct {
        std::int64_t offset;
        int tolerance;
        bool set;
    } cases[] = {{3, 5, false}, {-3, 5, false}, {3, 0, true}, {60, 5, true}, {3, -5, true}};
    for (const auto& c : cases) {
        g_settings.clear();
        g_calls.clear();
        CTime::setCurrentTime(now + c.offset, c.tolerance);
        EXPECT_EQ(g_settings.size(), c.set ? 1u : 0u) << c.offset << " within " << c.tolerance;
        EXPECT_EQ(g_calls.size(), c.set ? g_attached.size() : 0u);
    }
    EXPECT_TRUE(capture.lines().empty()) << capture.text();
    EXPECT_EQ(getLastError(), 0);

    // Measured to the clamped time: a tolerance between the distances to maxTime and to 2040 skips.
    const CTime far(2040, 1, 1, 0, 0, 0);
    const std::int64_t toMax = CTime::maxTime - CTime::getCurrentTime();
    g_settings.clear();
    CTime::setCurrentTime(far, static_cast<int>((toMax + (far - CTime::getCurrentTime())) / 2));
    EXPECT_TRUE(g_settings.empty());
}

TEST_F(SetClockTest, RefusalAndTheResultRule) {
    CapturePrinter capture;
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    EXPECT_EQ(getLastError(), 0x1000000e);
    EXPECT_EQ(g_settings.size() + g_calls.size() + capture.lines().size(), 1u) << "tried, nobody told, no report";

    // The last error is not reset: the next setting fails too, though it works.
    g_hostAccepts = true;
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
    // The rule reads the calling thread's own last error.
    bool elsewhere = false;
    std::thread([&] { elsewhere = CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0); }).join();
    EXPECT_TRUE(elsewhere);

    // After a replaced hook: only the two clock codes count.
    CTime::attachSetCurrentTimeHook(&customHook);
    for (const int code : {0, 0x10000001, 0x1000000d, 0x1000000e, 0x1000000f, 0x10000010}) {
        setLastError(code);
        EXPECT_EQ(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0), code != 0x1000000e && code != 0x1000000f)
            << std::hex << code;
    }
    setLastError(0);
    CTime::attachSetCurrentTimeHook(&failingRtcHook);
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
}

TEST_F(SetClockTest, ReplacedHookNotifiesOnlyWhenAsked) {
    const CTime requested(2024, 7, 5, 9, 3, 2);

    // One-argument form: the flag stays off, only the hook runs.
    const CTime::SetTimeHook previous = CTime::attachSetCurrentTimeHook(&customHook);
    EXPECT_TRUE(previous == g_defaultHook);
    CTime::setCurrentTime(CTime(1999, 13, 2, 9, 3, 2), 7);
    EXPECT_EQ(g_calls, std::vector<std::string>{"hook 1999-12-02 09:03:02 w4 tolerance 7"})
        << "the hook gets the normalised value, unclamped, and the tolerance";
    EXPECT_TRUE(g_settings.empty());

    // With notification: the hook, then every procedure with the same value.
    g_calls.clear();
    EXPECT_TRUE(CTime::attachSetCurrentTimeHook(&customHook, true) == CTime::SetTimeHook(&customHook));
    CTime::setCurrentTime(requested, 0);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5", {"hook 2024-07-05 09:03:02 w5 tolerance 0"}));

    // The default hook back, flag still on: it notifies once, by itself.
    g_calls.clear();
    CTime::attachSetCurrentTimeHook(previous);
    CTime::setCurrentTime(requested, 0);
    EXPECT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5")) << "no second notification";
}

TEST_F(SetClockTest, ExtendedFormKeepsMillisecondsAndWeekdayOfTheDateAsGiven) {
    // Garbage reserved fields and weekday, rebuilt; the default hook clamps and keeps milliseconds.
    const SystemTimeEx late{1969, 12, 31, 0, 23, 59, 58, 250, {7, 7, 7, 7}};
    EXPECT_TRUE(CTime::setCurrentTime(late, 0));
    EXPECT_EQ(g_settings, std::vector<std::string>{"2000-01-01 00:00:00.250"});
    EXPECT_EQ(g_calls, notified("2000-01-01 00:00:00 w6"));

    // A replaced hook sees the record as given (weekday of the unclamped date); procedures the normalised one.
    g_calls.clear();
    const CTime::SetTimeHookEx previous = CTime::attachSetCurrentTimeHookEx(&customHookEx);
    EXPECT_TRUE(previous == g_defaultHookEx);
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    const std::string hooked = "hookEx 1969-12-31 23:59:58 w3 ms 250 reserved 0 tolerance 3";
    EXPECT_EQ(g_calls, std::vector<std::string>{hooked});
    g_calls.clear();
    CTime::attachSetCurrentTimeHookEx(&customHookEx, true);
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    EXPECT_EQ(g_calls, notified("1970-12-31 23:59:58 w4", {hooked}));
    EXPECT_EQ(g_settings.size(), 1u) << "only the default hook reaches the host";

    g_calls.clear();
    g_hostAccepts = true;
    CTime::attachSetCurrentTimeHookEx(previous);
    EXPECT_TRUE(CTime::setCurrentTime(SystemTimeEx{2024, 7, 5, 0, 9, 3, 2, 999, {0, 0, 0, 0}}, 0));
    EXPECT_EQ(g_settings.back(), "2024-07-05 09:03:02.999");
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
}

namespace {

bool lateProc(SystemTime time) {
    g_calls.push_back("late " + text(time));
    return true;
}

bool g_attachOnNextCall = false;
bool attachingProc(SystemTime time) {
    g_calls.push_back("attaching " + text(time));
    if (g_attachOnNextCall) {
        g_attachOnNextCall = false;
        attach("late", &lateProc);
    }
    return true;
}

} // namespace

TEST_F(SetClockTest, ProcedureAttachedDuringANotificationRunsFromTheNextOne) {
    if (std::find(g_attached.begin(), g_attached.end(), "attaching") == g_attached.end()) {
        attach("attaching", &attachingProc);
    }
    g_attachOnNextCall = true;
    const std::vector<std::string> expected = notified("2024-07-05 09:03:02 w5");
    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    ASSERT_EQ(g_attached.back(), "late");
    EXPECT_EQ(g_calls, expected) << "the procedure attached meanwhile waits for the next setting";

    g_calls.clear();
    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    EXPECT_EQ(g_calls.back(), "late 2024-07-05 09:03:02 w5");
}
