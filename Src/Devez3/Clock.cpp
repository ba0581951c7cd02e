// The clocks (local, UTC, monotonic), the configured zone with its table and
// daylight-saving flag, and setting the host's clock through the set-time
// hooks with the modify procedures told afterwards.
#include "virad/CTime.h"

#include "Src/Devez3/Calendar.h"
#include "Src/Devez3/ClockInternal.h"
#include "Src/Common/Containers.h"
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/Report.h"
#include "Src/Platform/Clock.h"
#include "virad/LastError.h"
#include "virad/Mutex.h"

#include <atomic>
#include <cstdlib>

namespace Orvane {
namespace Virad {

namespace {

// ---- Monotonic clock ----

// The counter's value when the library was loaded. A function-local static,
// so a clock read from another library's static initialiser still finds it;
// the initialiser below fixes it at load time otherwise.
std::uint64_t loadNanoseconds() {
    static const std::uint64_t atLoad = Platform::monotonicNanoseconds();
    return atLoad;
}
[[maybe_unused]] const std::uint64_t g_loadNanoseconds = loadNanoseconds();

// Whole microseconds since load: the nanosecond difference divided and
// truncated, which is what the counter divided by its ticks per microsecond,
// minus the load value, gives, without the rounding of a double once the
// counter is large. Both clocks call this directly rather than each other,
// since a call between exported functions goes through the symbol table.
std::uint64_t microsecondsSinceLoad() {
    return (Platform::monotonicNanoseconds() - loadNanoseconds()) / 1000;
}

// The last value getCurrentMilliSecond returned to any thread.
std::atomic<std::uint64_t> g_lastMillisecond{0};

// ---- Zone and daylight saving ----

constexpr std::int32_t kZoneNotSet = 0x0FFFFFFF;
constexpr int kMinZone = -43200;
constexpr int kMaxZone = 50400;

std::atomic<std::int32_t> g_zone{kZoneNotSet};
std::atomic<int> g_dst{-1};

// Standard zone offsets in seconds east of UTC, by index. The last three
// rows were added after the table was first laid out and so stand out of
// offset order.
const std::int32_t kZoneTable[36] = {
    0,      3600,   7200,   10800,  12600,  14400,  16200,  18000,  19800,  20700,  21600,  23400,
    25200,  28800,  32400,  34200,  36000,  39600,  43200,  46800,  -3600,  -7200,  -10800, -12600,
    -14400, -18000, -21600, -25200, -28800, -32400, -36000, -39600, -43200, -16200, 37800,  50400,
};

// ---- Setting the clock ----

void defaultSetCurrentTime(const CTime& time, int tolerance);
void defaultSetCurrentTimeEx(const SystemTimeEx& time, int tolerance);

// The hooks and their notify flags: plain values, set during start-up.
struct SetTimeHooks {
    CTime::SetTimeHook hook{&defaultSetCurrentTime};
    CTime::SetTimeHookEx hookEx{&defaultSetCurrentTimeEx};
    bool notifyAfterHook = false;
    bool notifyAfterHookEx = false;
};

SetTimeHooks& setTimeHooks() {
    static SetTimeHooks hooks;
    return hooks;
}

// The modify procedures in attachment order, with their lock. Never torn
// down, so a clock set from an exit handler still finds them.
struct ModifyProcList {
    CMutex lock;
    Common::Vector<CTime::ModifyProc> procs;
};

ModifyProcList& modifyProcList() {
    static Base::NeverDestroyed<ModifyProcList> list;
    return list.get();
}

// A copy of the procedures taken under the lock, to be called without it:
// a procedure may attach another one, which is then called from the next
// setting on.
Common::Vector<CTime::ModifyProc> modifyProcs() {
    ModifyProcList& list = modifyProcList();
    CGuard guard(list.lock);
    return list.procs;
}

void callModifyProcs(const Common::Vector<CTime::ModifyProc>& procs, const CTime& time) {
    const SystemTime fields{time.year, time.month,  time.day,    time.wday,
                            time.hour, time.minute, time.second, time.isdst};
    for (const CTime::ModifyProc& proc : procs) {
        proc(fields);
    }
}

// What both default hooks do: clamp into minTime..maxTime, leave a clock
// within the tolerance alone, set the clock, then tell the procedures.
void applyClockSetting(const CTime& requested, int tolerance, int millisecond) {
    CTime time = requested;
    if (time < CTime::minTime) {
        time = CTime::minTime;
    } else if (time > CTime::maxTime) {
        time = CTime::maxTime;
    }
    if (tolerance != 0) {
        const std::int32_t drift = static_cast<std::int32_t>(CTime::getCurrentTime() - time);
        if (std::llabs(static_cast<long long>(drift)) <= tolerance) {
            return;
        }
    }
    // The host works out the day of the week itself.
    const Platform::LocalTime target{time.year, time.month,  time.day,    0,
                                     time.hour, time.minute, time.second, millisecond};
    if (!Platform::setLocalTime(target)) {
        setLastError(kErrorSetTimeFailed);
        return;
    }
    const Common::Vector<CTime::ModifyProc> procs = modifyProcs();
    if (procs.empty()) {
        VIRAD_REPORT(LOG_INFO, "CTime::setCurrentTime() success without callback function\n");
        return;
    }
    callModifyProcs(procs, time);
}

void defaultSetCurrentTime(const CTime& time, int tolerance) {
    applyClockSetting(time, tolerance, 0);
}

void defaultSetCurrentTimeEx(const SystemTimeEx& time, int tolerance) {
    applyClockSetting(CTime(time.year, time.month, time.day, time.hour, time.minute, time.second), tolerance,
                      time.millisecond);
}

// The result of a setting: false when this thread's last error says the
// clock or the real-time clock could not be set.
bool settingSucceeded() {
    const int error = getLastError();
    return error != kErrorSetTimeFailed && error != kErrorSetRtcFailed;
}

} // namespace

// ---- Reading the clocks ----

namespace Detail {

std::uint64_t raiseLastMillisecond(std::uint64_t candidate) {
    std::uint64_t last = g_lastMillisecond.load(std::memory_order_acquire);
    while (candidate > last) {
        if (g_lastMillisecond.compare_exchange_weak(last, candidate, std::memory_order_acq_rel,
                                                    std::memory_order_acquire)) {
            return candidate;
        }
    }
    return last;
}

} // namespace Detail

namespace {

SystemTimeEx fieldsOf(const Platform::LocalTime& now) {
    return SystemTimeEx{now.year,   now.month,  now.day,         now.wday,    now.hour,
                        now.minute, now.second, now.millisecond, {0, 0, 0, 0}};
}

} // namespace

// The reading of the host's local clock that the other local clocks come
// from. It converts every time, so a zone change shows at once; printed
// lines, which need speed more, use the cached reading below.
SystemTimeEx CTime::getCurrentTimeEx() {
    Platform::LocalTime now;
    Platform::currentLocalTime(now);
    return fieldsOf(now);
}

namespace Detail {

SystemTimeEx currentTimeForPrint() {
    Platform::LocalTime now;
    Platform::currentLocalTimeCached(now);
    return fieldsOf(now);
}

} // namespace Detail

CTime CTime::getCurrentTime() {
    const SystemTimeEx now = getCurrentTimeEx();
    return CTime(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

CTime CTime::getCurTimeForPrint() {
    return getCurrentTime();
}

std::uint64_t CTime::getCurrentUTCtime() {
    return getCurrentUTCMilliSecond() / 1000;
}

std::uint64_t CTime::getCurrentUTCMilliSecond() {
    // One reading serves both the seconds and the milliseconds, so they cannot
    // straddle a second boundary.
    Platform::LocalTime now;
    Platform::currentUtcTime(now);
    const SystemTime fields{now.year, now.month, now.day, now.wday, now.hour, now.minute, now.second, -1};
    return timeToSeconds(fields) * 1000 + static_cast<std::uint64_t>(now.millisecond);
}

std::uint64_t CTime::getCurrentMicroSecond() {
    return microsecondsSinceLoad();
}

std::uint64_t CTime::getCurrentMilliSecond() {
    return Detail::raiseLastMillisecond(microsecondsSinceLoad() / 1000);
}

// ---- Zones and daylight saving ----

bool CTime::setTimeZone(int secondsEast) {
    if (secondsEast < kMinZone || secondsEast > kMaxZone) {
        return false;
    }
    g_zone.store(secondsEast, std::memory_order_relaxed);
    return true;
}

int CTime::getTimeZonefromTable(int zoneIndex) {
    if (zoneIndex < 0 || zoneIndex >= static_cast<int>(sizeof kZoneTable / sizeof kZoneTable[0])) {
        VIRAD_REPORT(LOG_ERROR, "CTime::getTimeZonefromTable, zoneIndex error:%d\n", zoneIndex);
        return 0;
    }
    return kZoneTable[zoneIndex];
}

bool CTime::setDst(bool on) {
    g_dst.store(on ? 1 : 0, std::memory_order_relaxed);
    return true;
}

int CTime::getDst() {
    return g_dst.load(std::memory_order_relaxed);
}

bool CTime::getUTCForEmbed(UTCTimeDef& time) {
    const std::int32_t zone = g_zone.load(std::memory_order_relaxed);
    const int dst = g_dst.load(std::memory_order_relaxed);
    if (zone == kZoneNotSet || dst == -1) {
        return false;
    }
    const CTime now = getCurTimeForPrint();
    const std::int64_t shift = static_cast<std::int64_t>(zone) + (dst == 1 ? 3600 : 0);
    time.utc = Detail::secondsOfFields(now) - static_cast<std::uint64_t>(shift);
    time.timezone = zone;
    time.dst = dst;
    return true;
}

// ---- Setting the clock ----

CTime::SetTimeHook CTime::attachSetCurrentTimeHook(SetTimeHook hook) {
    SetTimeHooks& hooks = setTimeHooks();
    const SetTimeHook previous = hooks.hook;
    hooks.hook = hook;
    return previous;
}

CTime::SetTimeHook CTime::attachSetCurrentTimeHook(SetTimeHook hook, bool notifyAfterHook) {
    setTimeHooks().notifyAfterHook = notifyAfterHook;
    return attachSetCurrentTimeHook(hook);
}

CTime::SetTimeHookEx CTime::attachSetCurrentTimeHookEx(SetTimeHookEx hook) {
    SetTimeHooks& hooks = setTimeHooks();
    const SetTimeHookEx previous = hooks.hookEx;
    hooks.hookEx = hook;
    return previous;
}

CTime::SetTimeHookEx CTime::attachSetCurrentTimeHookEx(SetTimeHookEx hook, bool notifyAfterHook) {
    setTimeHooks().notifyAfterHookEx = notifyAfterHook;
    return attachSetCurrentTimeHookEx(hook);
}

bool CTime::attachModifyProc(ModifyProc proc) {
    ModifyProcList& list = modifyProcList();
    CGuard guard(list.lock);
    list.procs.push_back(proc);
    return true;
}

void CTime::setCurrentTime(const CTime& time, int tolerance) {
    const CTime value(time.year, time.month, time.day, time.hour, time.minute, time.second);
    SetTimeHooks& hooks = setTimeHooks();
    const SetTimeHook hook = hooks.hook;
    hook(value, tolerance);
    // The default hook tells the procedures itself; a replacement asks for it.
    if (hooks.notifyAfterHook && hook != SetTimeHook(&defaultSetCurrentTime)) {
        callModifyProcs(modifyProcs(), value);
    }
}

bool CTime::setCurrentTimeEx(const CTime& time, int tolerance) {
    setCurrentTime(time, tolerance);
    return settingSucceeded();
}

bool CTime::setCurrentTime(const SystemTimeEx& time, int tolerance) {
    // The day of the week of the date as given, without clamping.
    const SystemTimeEx value{time.year,   time.month,
                             time.day,    Detail::weekdayOfDays(Detail::daysFromCivil(time.year, time.month, time.day)),
                             time.hour,   time.minute,
                             time.second, time.millisecond,
                             {0, 0, 0, 0}};
    SetTimeHooks& hooks = setTimeHooks();
    const SetTimeHookEx hook = hooks.hookEx;
    hook(value, tolerance);
    if (hooks.notifyAfterHookEx && hook != SetTimeHookEx(&defaultSetCurrentTimeEx)) {
        callModifyProcs(modifyProcs(), CTime(time.year, time.month, time.day, time.hour, time.minute, time.second));
    }
    return settingSucceeded();
}

} // namespace Virad
} // namespace Orvane
