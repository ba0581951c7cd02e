// POSIX part of the clock family: the wall clock, the C library's
// conversions and zone state, setting the clock and the monotonic counter.
#include "Src/Platform/Clock.h"

#include "Src/Platform/HostParts.h"

#include <ctime>

namespace Orvane {
namespace Platform {

namespace {

// The count as the C library's time_t; false when it does not fit.
bool asTimeT(std::int64_t seconds, time_t& value) {
    value = static_cast<time_t>(seconds);
    return static_cast<std::int64_t>(value) == seconds;
}

} // namespace

Host::WallReading Host::wallClockNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return WallReading{static_cast<std::int64_t>(now.tv_sec), static_cast<int>(now.tv_nsec / 1000000L)};
}

bool Host::localBrokenDown(std::int64_t seconds, std::tm& out) {
    time_t value;
    return asTimeT(seconds, value) && localtime_r(&value, &out) != nullptr;
}

bool Host::utcBrokenDown(std::int64_t seconds, std::tm& out) {
    time_t value;
    return asTimeT(seconds, value) && gmtime_r(&value, &out) != nullptr;
}

std::int64_t Host::makeLocalSeconds(std::tm& fields) {
    return static_cast<std::int64_t>(mktime(&fields));
}

void Host::rereadTimeZone() {
    tzset();
}

Host::ZoneMark Host::currentZoneMark() {
    return ZoneMark{::timezone, ::daylight, 0, ::tzname[0], ::tzname[1]};
}

bool Host::setHostLocalTime(const LocalTime& time) {
    // Daylight saving left to the zone rules, as a local clock setting does.
    const std::int64_t seconds = localSecondsOf(time, -1);
    timespec target;
    if (seconds == -1 || !asTimeT(seconds, target.tv_sec)) {
        return false;
    }
    target.tv_nsec = static_cast<long>(time.millisecond) * 1000000L;
    return clock_settime(CLOCK_REALTIME, &target) == 0;
}

std::uint64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace Platform
} // namespace Orvane
