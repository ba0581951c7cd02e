// POSIX realisation of the clock family: the wall clock as local and UTC
// fields, the host's zone offset, setting the clock and the monotonic counter.
#include "Platform/Clock.h"

#include <atomic>
#include <ctime>

namespace Orvane {
namespace Platform {

namespace {

// Bumped by refreshTimeZone; a thread's cached conversion from an older
// generation is stale.
std::atomic<unsigned int> g_zoneGeneration{0};

std::atomic<SetLocalTimeFunction> g_setLocalTimeRedirect{nullptr};

void copyFields(const tm& from, LocalTime& to) {
    to.year = from.tm_year + 1900;
    to.month = from.tm_mon + 1;
    to.day = from.tm_mday;
    to.wday = from.tm_wday;
    to.hour = from.tm_hour;
    to.minute = from.tm_min;
    to.second = from.tm_sec;
}

// The C library's form of the fields (wday and millisecond are not used).
tm brokenDownOf(const LocalTime& from, int daylightFlag) {
    tm to = {};
    to.tm_year = from.year - 1900;
    to.tm_mon = from.month - 1;
    to.tm_mday = from.day;
    to.tm_hour = from.hour;
    to.tm_min = from.minute;
    to.tm_sec = from.second;
    to.tm_isdst = daylightFlag;
    return to;
}

// What the C library's tzset leaves behind for the zone in force.
struct ZoneMark {
    long offset;
    int daylight;
    const char* standardName;
    const char* daylightName;

    bool operator==(const ZoneMark& other) const {
        return offset == other.offset && daylight == other.daylight && standardName == other.standardName &&
               daylightName == other.daylightName;
    }
};

ZoneMark currentZoneMark() {
    return ZoneMark{::timezone, ::daylight, ::tzname[0], ::tzname[1]};
}

int millisecondsOf(const timespec& now) {
    return static_cast<int>(now.tv_nsec / 1000000L);
}

// The wall clock now, broken down by convert (localtime_r or gmtime_r).
void brokenDownNow(tm* (*convert)(const time_t*, tm*), LocalTime& out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields;
    convert(&now.tv_sec, &fields);
    copyFields(fields, out);
    out.millisecond = millisecondsOf(now);
}

} // namespace

void currentLocalTime(LocalTime& out) {
    brokenDownNow(&localtime_r, out);
}

void currentLocalTimeCached(LocalTime& out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    // Every printed line asks for the time, and the C library's conversion
    // takes a process-wide lock; within one second the answer differs only in
    // its milliseconds, so each thread keeps its last conversion. tzset
    // rewrites the zone's offset, daylight flag and names, so a zone change
    // made without refreshTimeZone is seen at once when it moves any of them.
    struct Cache {
        time_t second = -1;
        unsigned int generation = 0;
        ZoneMark zone = {};
        LocalTime fields = {};
    };
    static thread_local Cache cache;
    const unsigned int generation = g_zoneGeneration.load(std::memory_order_acquire);
    const ZoneMark zone = currentZoneMark();
    if (cache.second != now.tv_sec || cache.generation != generation || !(cache.zone == zone)) {
        tm local;
        localtime_r(&now.tv_sec, &local);
        copyFields(local, cache.fields);
        cache.second = now.tv_sec;
        cache.generation = generation;
        // Read after the conversion, which may itself settle the names.
        cache.zone = currentZoneMark();
    }
    out = cache.fields;
    out.millisecond = millisecondsOf(now);
}

void currentUtcTime(LocalTime& out) {
    brokenDownNow(&gmtime_r, out);
}

void refreshTimeZone() {
    // localtime_r need not look at TZ again by itself; tzset makes it.
    tzset();
    g_zoneGeneration.fetch_add(1, std::memory_order_acq_rel);
}

std::int32_t standardTimeOffset() {
    tzset();
    return static_cast<std::int32_t>(::timezone);
}

bool setLocalTime(const LocalTime& time) {
    const SetLocalTimeFunction redirect = g_setLocalTimeRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(time);
    }
    tm local = brokenDownOf(time, -1); // let the zone rules decide, as a local clock setting does
    const time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1)) {
        return false;
    }
    timespec target;
    target.tv_sec = seconds;
    target.tv_nsec = static_cast<long>(time.millisecond) * 1000000L;
    return clock_settime(CLOCK_REALTIME, &target) == 0;
}

SetLocalTimeFunction redirectSetLocalTime(SetLocalTimeFunction function) {
    return g_setLocalTimeRedirect.exchange(function, std::memory_order_acq_rel);
}

std::int64_t localSecondsOf(const LocalTime& fields, int daylightFlag) {
    tm local = brokenDownOf(fields, daylightFlag);
    // mktime's -1 is also a valid second (1969-12-31 23:59:59 UTC); both are
    // before 1970 and so equally unrepresentable for the callers.
    return static_cast<std::int64_t>(mktime(&local));
}

bool localFieldsOf(std::int64_t seconds, LocalTime& out) {
    const time_t value = static_cast<time_t>(seconds);
    tm local;
    if (static_cast<std::int64_t>(value) != seconds || localtime_r(&value, &local) == nullptr) {
        return false;
    }
    copyFields(local, out);
    out.millisecond = 0;
    return true;
}

std::uint64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace Platform
} // namespace Orvane
