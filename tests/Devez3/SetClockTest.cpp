// The machine's clock is never touched: the platform's clock setting goes to a recorder.
// Procedures cannot be detached, so tests compare against those attached so far.
#include "virad/CTime.h"
#include "virad/LastError.h"

#include "Src/Platform/Platform.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

// In order: "set 2000-01-01 00:00:00.000" (what reached the platform; no weekday is supplied there),
// "A 2000-01-01 00:00:00 w6" (a procedure), "hook ..." (a replaced hook).
Lines g_calls;
Lines g_attached; // tags of the procedures attached so far
bool g_hostAccepts = true;
std::thread::id g_procThread;

// Before any test: the clock setting is recorded, and the default hooks are kept.
const std::pair<CTime::SetTimeHook, CTime::SetTimeHookEx> g_defaults = [] {
    Orvane::Platform::redirectSetLocalTime(+[](const Orvane::Platform::LocalTime& time) {
        g_calls.push_back("set " + timeFields(time).substr(0, 19) + "." +
                          std::to_string(1000 + time.millisecond).substr(1));
        return g_hostAccepts;
    });
    const auto hook = CTime::attachSetCurrentTimeHook(CTime::SetTimeHook());
    const auto hookEx = CTime::attachSetCurrentTimeHookEx(CTime::SetTimeHookEx());
    CTime::attachSetCurrentTimeHook(hook);
    CTime::attachSetCurrentTimeHookEx(hookEx);
    return std::make_pair(hook, hookEx);
}();

template <char Tag> bool recordingProc(SystemTime time) {
    g_calls.push_back(std::string(1, Tag) + " " + timeFields(time));
    g_procThread = std::this_thread::get_id();
    return false; // the result is not looked at: the next procedures still run
}

void attach(const std::string& tag, CTime::ModifyProc proc) {
    ASSERT_TRUE(CTime::attachModifyProc(proc));
    g_attached.push_back(tag);
}

// A procedure that, when asked, attaches another one while a notification is running.
bool g_attachLate = false;
bool attachingProc(SystemTime time) {
    g_calls.push_back("C " + timeFields(time));
    if (std::exchange(g_attachLate, false)) {
        attach("L", &recordingProc<'L'>);
    }
    return true;
}

// The calls of every attached procedure, in order, told the time, after the given calls.
Lines notified(const std::string& time, Lines calls = {}) {
    for (const std::string& tag : g_attached) {
        calls.push_back(tag + " " + time);
    }
    return calls;
}

// What a setting through the default hook records: the platform's setting, then every procedure.
Lines setting(const std::string& time, int wday, const char* ms = "000", Lines calls = {}) {
    calls.push_back("set " + time + "." + ms);
    return notified(time + " w" + std::to_string(wday), calls);
}

void customHook(const CTime& time, int tolerance) {
    g_calls.push_back("hook " + timeFields(time) + " tolerance " + std::to_string(tolerance));
}

void customHookEx(const SystemTimeEx& time, int tolerance) {
    const int* r = time.reserved;
    g_calls.push_back("hookEx " + timeFields(time) + " ms " + std::to_string(time.millisecond) + " reserved " +
                      std::to_string(r[0]) + " " + std::to_string(r[1]) + " " + std::to_string(r[2]) + " " +
                      std::to_string(r[3]) + " tolerance " + std::to_string(tolerance));
}

class SetClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_hostAccepts = true;
        setLastError(0);
        if (g_attached.empty()) { // once per process: a second attach would run them twice
            attach("A", &recordingProc<'A'>);
            attach("C", &attachingProc);
        }
    }
    void TearDown() override { // the default hooks, without notification
        CTime::attachSetCurrentTimeHook(g_defaults.first, false);
        CTime::attachSetCurrentTimeHookEx(g_defaults.second, false);
    }
    CapturePrinter m_capture;
    const CTime m_time{2024, 7, 5, 9, 3, 2};
};

TEST(SetClockDeathTest, ASettingWithoutProceduresIsReported) {
    expectInFreshProcess(
        [] {
            CapturePrinter capture;
            const bool set = CTime::setCurrentTimeEx(CTime(2024, 7, 5, 9, 3, 2), 0);
            std::fprintf(stderr, "%d %zu %s", set, g_calls.size(), capture.text().c_str());
        },
        "^1 1 \\[.* info .*\\]CTime::setCurrentTime\\(\\) success without callback function\n$");
}

TEST_F(SetClockTest, DefaultHookClampsSetsAndTellsTheProceduresInOrder) {
    for (const CTime& t : {CTime(1999, 6, 1, 12, 0, 0), CTime(2040, 1, 1, 0, 0, 0), CTime(2024, 13, 40, 25, 0, 0)}) {
        CTime::setCurrentTime(t, 0); // the last one is normalised first
    }
    EXPECT_EQ(g_calls, setting("2024-12-31 23:59:59", 2, "000",
                               setting("2038-01-01 00:00:00", 5, "000", setting("2000-01-01 00:00:00", 6))));
    EXPECT_EQ(m_capture.text(), "") << "no report";
    EXPECT_EQ(getLastError(), 0) << "no error";
}

TEST_F(SetClockTest, ToleranceLeavesANearClockAloneMeasuredToTheClampedTime) {
    const CTime now = CTime::getCurrentTime(), far(2040, 1, 1, 0, 0, 0);
    // A tolerance between the distances to maxTime and to 2040 skips.
    const int toClamped = static_cast<int>((CTime::maxTime - now + (far - now)) / 2);
    const std::tuple<CTime, int, bool> cases[] = {{now + 3, 5, false}, {now - 3, 5, false}, {now + 3, 0, true},
                                                  {now + 60, 5, true}, {now + 3, -5, true}, {far, toClamped, false}};
    for (const auto& [time, tolerance, set] : cases) {
        g_calls.clear();
        CTime::setCurrentTime(time, tolerance);
        EXPECT_EQ(g_calls.size(), set ? 1 + g_attached.size() : 0u) << timeFields(time) << " within " << tolerance;
    }
}

TEST_F(SetClockTest, RefusalAndTheResultRule) {
    g_hostAccepts = false;
    EXPECT_FALSE(CTime::setCurrentTimeEx(m_time, 0));
    EXPECT_EQ(getLastError(), 0x1000000e);
    EXPECT_EQ(m_capture.lines(), Lines{}); // tried, nobody told (below), no report

    // The last error is not reset: the next setting fails too, though it works; the rule reads the calling
    // thread's own last error.
    g_hostAccepts = true;
    bool elsewhere = false;
    std::thread::id setter;
    EXPECT_FALSE(CTime::setCurrentTimeEx(m_time, 0));
    std::thread([&] {
        setter = std::this_thread::get_id();
        elsewhere = CTime::setCurrentTimeEx(m_time, 0);
    }).join();
    EXPECT_TRUE(elsewhere);
    EXPECT_EQ(g_procThread, setter) << "the procedures run on the setting thread";
    EXPECT_EQ(g_calls, setting("2024-07-05 09:03:02", 5, "000",
                               setting("2024-07-05 09:03:02", 5, "000", {"set 2024-07-05 09:03:02.000"})));

    // After a replaced hook: only the two clock codes count.
    CTime::attachSetCurrentTimeHook(&customHook);
    const std::pair<int, bool> results[] = {{0, true},           {0x10000001, true},  {0x1000000d, true},
                                            {0x1000000e, false}, {0x1000000f, false}, {0x10000010, true}};
    for (const auto& [code, set] : results) {
        setLastError(code);
        EXPECT_EQ(CTime::setCurrentTimeEx(m_time, 0), set) << std::hex << code;
    }
    setLastError(0);
    CTime::attachSetCurrentTimeHook(CTime::SetTimeHook(+[](const CTime&, int) { setLastError(kErrorSetRtcFailed); }));
    EXPECT_FALSE(CTime::setCurrentTimeEx(m_time, 0));
}

TEST_F(SetClockTest, ReplacedHooksNotifyOnlyWhenAskedAndTheExtendedOneSeesTheRecordAsGiven) {
    // One-argument form: the flag stays off, only the hook runs, with the normalised value unclamped.
    EXPECT_EQ(CTime::attachSetCurrentTimeHook(&customHook), g_defaults.first);
    CTime::setCurrentTime(CTime(1999, 13, 2, 9, 3, 2), 7);
    // With notification: the hook, then every procedure with the same value.
    EXPECT_EQ(CTime::attachSetCurrentTimeHook(&customHook, true), CTime::SetTimeHook(&customHook));
    CTime::setCurrentTime(m_time, 0);
    // The default hook back, flag still on: it notifies once, by itself.
    CTime::attachSetCurrentTimeHook(g_defaults.first);
    CTime::setCurrentTime(m_time, 0);

    // The extended form with garbage reserved fields and weekday: the default hook clamps and keeps milliseconds;
    // a replaced hook sees the record as given (weekday of the unclamped date), procedures the normalised one.
    const SystemTimeEx late{1969, 12, 31, 0, 23, 59, 58, 250, {7, 7, 7, 7}};
    const std::string hooked = "hookEx 1969-12-31 23:59:58 w3 ms 250 reserved 0 0 0 0 tolerance 3";
    EXPECT_TRUE(CTime::setCurrentTime(late, 0));
    EXPECT_EQ(CTime::attachSetCurrentTimeHookEx(&customHookEx), g_defaults.second);
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    CTime::attachSetCurrentTimeHookEx(&customHookEx, true);
    EXPECT_TRUE(CTime::setCurrentTime(late, 3));
    CTime::attachSetCurrentTimeHookEx(g_defaults.second);
    EXPECT_TRUE(CTime::setCurrentTime(SystemTimeEx{2024, 7, 5, 0, 9, 3, 2, 999, {0, 0, 0, 0}}, 0));
    Lines expected = notified("2024-07-05 09:03:02 w5",
                              {"hook 1999-12-02 09:03:02 w4 tolerance 7", "hook 2024-07-05 09:03:02 w5 tolerance 0"});
    expected = setting("2000-01-01 00:00:00", 6, "250", setting("2024-07-05 09:03:02", 5, "000", expected));
    expected.insert(expected.end(), {hooked, hooked});
    EXPECT_EQ(g_calls, setting("2024-07-05 09:03:02", 5, "999", notified("1970-12-31 23:59:58 w4", expected)));
}

TEST_F(SetClockTest, ProcedureAttachedDuringANotificationRunsFromTheNextOne) {
    g_attachLate = true;
    const Lines before = setting("2024-07-05 09:03:02", 5);
    CTime::setCurrentTime(m_time, 0);
    CTime::setCurrentTime(m_time, 0);
    ASSERT_EQ(g_attached.back(), "L");
    EXPECT_EQ(g_calls, setting("2024-07-05 09:03:02", 5, "000", before))
        << "the procedure attached meanwhile waits for the next setting";
}
