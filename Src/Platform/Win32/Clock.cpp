// Windows realisation of the clock family: the system time, its local
// reading through the C runtime's zone rules, setting the local time, and the
// performance counter.
//
// The local reading converts the system time with the C runtime rather than
// asking GetLocalTime: the two agree while the process leaves the zone alone,
// and the runtime's conversion also follows a zone the process sets through
// TZ, as the contract asks.
#include "Platform/Clock.h"

#include <atomic>
#include <cstring>
#include <ctime>

#include <windows.h>

namespace Orvane {
namespace Platform {

namespace {

// Bumped by refreshTimeZone; a thread's cached conversion from an older
// generation is stale.
std::atomic<unsigned int> g_zoneGeneration{0};

std::atomic<SetLocalTimeFunction> g_setLocalTimeRedirect{nullptr};

// 100-nanosecond ticks between 1601-01-01 (the system time's origin) and 1970-01-01.
constexpr std::uint64_t kEpochTicks = 116444736000000000ULL;

// The system time as seconds since 1970 and the milliseconds within them.
struct Reading {
    __time64_t seconds;
    int millisecond;
};

Reading systemNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::uint64_t sinceEpoch = ticks - kEpochTicks;
    return Reading{static_cast<__time64_t>(sinceEpoch / 10000000ULL),
                   static_cast<int>(sinceEpoch % 10000000ULL / 10000ULL)};
}

// False, with out untouched, when the runtime cannot convert the time.
bool localFields(const Reading& now, LocalTime& out) {
    tm fields;
    std::memset(&fields, 0, sizeof fields);
    if (_localtime64_s(&fields, &now.seconds) != 0) {
        return false;
    }
    out.year = fields.tm_year + 1900;
    out.month = fields.tm_mon + 1;
    out.day = fields.tm_mday;
    out.wday = fields.tm_wday;
    out.hour = fields.tm_hour;
    out.minute = fields.tm_min;
    out.second = fields.tm_sec;
    out.millisecond = now.millisecond;
    return true;
}

// What the C runtime's _tzset leaves behind for the zone in force.
struct ZoneMark {
    long offset;
    int daylight;
    long daylightBias;

    bool operator==(const ZoneMark& other) const {
        return offset == other.offset && daylight == other.daylight && daylightBias == other.daylightBias;
    }
};

// The runtime's zone variables, not its _get_ functions: the system's own
// msvcrt.dll, which MinGW links against, has only the variables.
ZoneMark currentZoneMark() {
    return ZoneMark{_timezone, _daylight, _dstbias};
}

} // namespace

void currentLocalTime(LocalTime& out) {
    localFields(systemNow(), out);
}

void currentLocalTimeCached(LocalTime& out) {
    // Each thread keeps its last conversion for the rest of that second; a
    // zone change shows through the generation or the runtime's zone fields.
    struct Cache {
        __time64_t second = -1;
        unsigned int generation = 0;
        ZoneMark zone = {0, 0, 0};
        LocalTime fields = {};
    };
    static thread_local Cache cache;
    const Reading now = systemNow();
    const unsigned int generation = g_zoneGeneration.load(std::memory_order_acquire);
    const ZoneMark zone = currentZoneMark();
    if (cache.second != now.seconds || cache.generation != generation || !(cache.zone == zone)) {
        localFields(now, cache.fields);
        cache.second = now.seconds;
        cache.generation = generation;
        cache.zone = currentZoneMark();
    }
    out = cache.fields;
    out.millisecond = now.millisecond;
}

void currentUtcTime(LocalTime& out) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    out.year = now.wYear;
    out.month = now.wMonth;
    out.day = now.wDay;
    out.wday = now.wDayOfWeek;
    out.hour = now.wHour;
    out.minute = now.wMinute;
    out.second = now.wSecond;
    out.millisecond = now.wMilliseconds;
}

void refreshTimeZone() {
    _tzset();
    g_zoneGeneration.fetch_add(1, std::memory_order_acq_rel);
}

std::int32_t standardTimeOffset() {
    _tzset();
    return static_cast<std::int32_t>(_timezone);
}

bool setLocalTime(const LocalTime& time) {
    const SetLocalTimeFunction redirect = g_setLocalTimeRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(time);
    }
    SYSTEMTIME local;
    std::memset(&local, 0, sizeof local);
    local.wYear = static_cast<WORD>(time.year);
    local.wMonth = static_cast<WORD>(time.month);
    local.wDay = static_cast<WORD>(time.day);
    local.wHour = static_cast<WORD>(time.hour);
    local.wMinute = static_cast<WORD>(time.minute);
    local.wSecond = static_cast<WORD>(time.second);
    local.wMilliseconds = static_cast<WORD>(time.millisecond);
    return SetLocalTime(&local) != 0;
}

SetLocalTimeFunction redirectSetLocalTime(SetLocalTimeFunction function) {
    return g_setLocalTimeRedirect.exchange(function, std::memory_order_acq_rel);
}

std::int64_t localSecondsOf(const LocalTime& fields, int daylightFlag) {
    tm local;
    std::memset(&local, 0, sizeof local);
    local.tm_year = fields.year - 1900;
    local.tm_mon = fields.month - 1;
    local.tm_mday = fields.day;
    local.tm_hour = fields.hour;
    local.tm_min = fields.minute;
    local.tm_sec = fields.second;
    local.tm_isdst = daylightFlag;
    // The runtime's -1 (a time before 1970 or past its range) is negative, as
    // the contract asks.
    return static_cast<std::int64_t>(_mktime64(&local));
}

bool localFieldsOf(std::int64_t seconds, LocalTime& out) {
    return localFields(Reading{static_cast<__time64_t>(seconds), 0}, out);
}

std::uint64_t monotonicNanoseconds() {
    // The counter's frequency is fixed at boot.
    static const std::uint64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<std::uint64_t>(value.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const std::uint64_t ticks = static_cast<std::uint64_t>(counter.QuadPart);
    // Whole seconds and the remainder apart, so the product cannot overflow.
    return ticks / frequency * 1000000000ULL + ticks % frequency * 1000000000ULL / frequency;
}

} // namespace Platform
} // namespace Orvane
