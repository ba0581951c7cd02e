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

// One log of calls, in order ("A 2000-01-01 00:00:00 w6", "hook ..."), and
// the tags of the procedures attached so far.
std::vector<std::string> g_calls;
std::vector<std::string> g_attached;
std::thread::id g_procThread;

// Date, time and weekday of any broken-down record.
template <typename Fields> std::string text(const Fields& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return buffer;
}

// A setting that reached the host, to the millisecond (the weekday is not supplied).
std::string setting(const LocalTime& t) {
    return text(t).substr(0, 19) + "." + std::to_string(1000 + t.millisecond).substr(1);
}

template <char Tag> bool recordingProc(SystemTime time) {
    g_calls.push_back(std::string(1, Tag) + " " + text(time));
    g_procThread = std::this_thread::get_id();
    return Tag == 'B'; // results are not looked at
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
        return originalHook<CTime::SetTimeHook, &CTime::attachSetCurrentTimeHook>();
    }
    static CTime::SetTimeHookEx defaultHookEx() {
        return originalHook<CTime::SetTimeHookEx, &CTime::attachSetCurrentTimeHookEx>();
    }

private:
    template <typename Hook, Hook (*Attach)(Hook)> static Hook originalHook() {
        static const Hook hook = [] {
            const Hook original = Attach(Hook());
            Attach(original);
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
    EXPECT_EQ(setting(g_settings[0]), "2024-07-05 09:03:02.000");
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
    EXPECT_EQ(setting(g_settings[0]), "2000-01-01 00:00:00.000");
    EXPECT_EQ(setting(g_settings[1]), "2038-01-01 00:00:00.000");
    EXPECT_EQ(setting(g_settings[2]), "2024-12-31 23:59:59.000");
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
    CTime::setCurrentTime(far, static_cast<int>((toMax + toFar) / 2));
    EXPECT_EQ(g_settings.size(), 3u);
}

TEST_F(SetClockTest, RefusalAndTheResultRule) {
    attachRecordingProcs();
    CapturePrinter capture;
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
    EXPECT_EQ(getLastError(), kErrorSetTimeFailed);
    EXPECT_EQ(g_settings.size(), 1u);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(capture.lines().empty()) << capture.text();

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
    const int codes[] = {0, 0x10000001, kErrorSetTimeFailed, kErrorSetRtcFailed};
    const bool results[] = {true, true, false, false};
    for (int i = 0; i < 4; ++i) {
        setLastError(codes[i]);
        EXPECT_EQ(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0), results[i]) << codes[i];
    }
    setLastError(0);
    CTime::attachSetCurrentTimeHook(&failingRtcHook);
    EXPECT_FALSE(CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0));
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
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5", {"hook 2024-07-05 09:03:02 w5 tolerance 0"}));

    // The default hook back, flag still on: it notifies once, by itself.
    g_calls.clear();
    CTime::attachSetCurrentTimeHook(previous);
    CTime::setCurrentTime(requested, 0);
    EXPECT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5")) << "no second notification";
}

TEST_F(SetClockTest, ExtendedFormKeepsMillisecondsAndWeekdayOfTheDateAsGiven) {
    attachRecordingProcs();
    // Garbage in the reserved fields and a wrong weekday: both are rebuilt.
    const SystemTimeEx late{1969, 12, 31, 0, 23, 59, 58, 250, {7, 7, 7, 7}};

    // Default extended hook: clamped like the other, milliseconds kept.
    EXPECT_TRUE(CTime::setCurrentTime(late, 0));
    ASSERT_EQ(g_settings.size(), 1u);
    EXPECT_EQ(setting(g_settings[0]), "2000-01-01 00:00:00.250");
    EXPECT_EQ(g_calls, notified("2000-01-01 00:00:00 w6"));
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTime(late, 0));
    EXPECT_EQ(getLastError(), kErrorSetTimeFailed);
    setLastError(0);

    // A replaced hook sees the record as given, weekday computed without clamping;
    // with notification the procedures get the normalised fields.
    g_calls.clear();
    const CTime::SetTimeHookEx previous = CTime::attachSetCurrentTimeHookEx(&customHookEx);
    EXPECT_TRUE(previous == defaultHookEx());
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    const std::string hooked = "hookEx 1969-12-31 23:59:58 w3 ms 250 reserved 0 tolerance 3";
    EXPECT_EQ(g_calls, std::vector<std::string>{hooked});
    g_calls.clear();
    CTime::attachSetCurrentTimeHookEx(&customHookEx, true);
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    EXPECT_EQ(g_calls, notified("1970-12-31 23:59:58 w4", {hooked}));
    EXPECT_EQ(g_settings.size(), 2u) << "only the default hook reaches the host";

    // The default back: one notification, by the default hook.
    g_calls.clear();
    g_hostAccepts = true;
    CTime::attachSetCurrentTimeHookEx(previous);
    EXPECT_TRUE(CTime::setCurrentTime(SystemTimeEx{2024, 7, 5, 0, 9, 3, 2, 999, {0, 0, 0, 0}}, 0));
    EXPECT_EQ(setting(g_settings.back()), "2024-07-05 09:03:02.999");
    EXPECT_EQ(g_calls, notified("2024-07-05 09:03:02 w5"));
}

namespace {

bool lateProc(SystemTime time) {
    g_calls.push_back("late " + text(time));
    return true;
}

// Attaches another procedure the first time it is called after being armed.
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
    attachRecordingProcs();
    attach("attaching", &attachingProc);
    g_attachOnNextCall = true;
    const std::vector<std::string> before = g_attached;
    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    ASSERT_EQ(g_attached.size(), before.size() + 1);
    std::vector<std::string> expected;
    for (const std::string& tag : before) {
        expected.push_back(tag + " 2024-07-05 09:03:02 w5");
    }
    EXPECT_EQ(g_calls, expected) << "the procedure attached meanwhile waits for the next setting";

    g_calls.clear();
    CTime::setCurrentTime(CTime(2024, 7, 5, 9, 3, 2), 0);
    EXPECT_EQ(g_calls.back(), "late 2024-07-05 09:03:02 w5");
}
