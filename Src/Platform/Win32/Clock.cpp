// Windows part of the clock family: the system time, its conversions
// through the C runtime's zone rules, setting the local time, and the
// performance counter.
//
// The local reading converts the system time with the C runtime rather than
// asking GetLocalTime: the two agree while the process leaves the zone alone,
// and the runtime's conversion also follows a zone the process sets through
// TZ, as the contract asks.
#include "Src/Platform/Clock.h"

#include "Src/Platform/HostParts.h"

#include <cstring>
#include <ctime>

#include <windows.h>

namespace Orvane {
namespace Platform {

namespace {

// 100-nanosecond ticks between 1601-01-01 (the system time's origin) and 1970-01-01.
constexpr std::uint64_t kEpochTicks = 116444736000000000ULL;

// The runtime's conversion of seconds since 1970 (_localtime64_s or
// _gmtime64_s); false, with out untouched, when it cannot convert them.
bool brokenDown(errno_t (*convert)(std::tm*, const __time64_t*), std::int64_t seconds, std::tm& out) {
    const __time64_t value = static_cast<__time64_t>(seconds);
    std::tm fields;
    std::memset(&fields, 0, sizeof fields);
    if (convert(&fields, &value) != 0) {
        return false;
    }
    out = fields;
    return true;
}

} // namespace

Host::WallReading Host::wallClockNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::uint64_t sinceEpoch = ticks - kEpochTicks;
    return WallReading{static_cast<std::int64_t>(sinceEpoch / 10000000ULL),
                       static_cast<int>(sinceEpoch % 10000000ULL / 10000ULL)};
}

bool Host::localBrokenDown(std::int64_t seconds, std::tm& out) {
    return brokenDown(&_localtime64_s, seconds, out);
}

bool Host::utcBrokenDown(std::int64_t seconds, std::tm& out) {
    return brokenDown(&_gmtime64_s, seconds, out);
}

std::int64_t Host::makeLocalSeconds(std::tm& fields) {
    // The runtime's -1 (a time before 1970 or past its range) is negative, as
    // the contract asks.
    return static_cast<std::int64_t>(_mktime64(&fields));
}

void Host::rereadTimeZone() {
    _tzset();
}

// The runtime's zone variables, not its _get_ functions: the system's own
// msvcrt.dll, which MinGW links against, has only the variables.
Host::ZoneMark Host::currentZoneMark() {
    return ZoneMark{_timezone, _daylight, _dstbias, nullptr, nullptr};
}

bool Host::setHostLocalTime(const LocalTime& time) {
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
