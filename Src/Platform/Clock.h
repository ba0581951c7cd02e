// The platform's clocks: the wall clock as local and UTC calendar fields, the
// host's zone, setting the clock, and a monotonic counter.
#ifndef DOZUV2_PLATFORM_CLOCK_H
#define DOZUV2_PLATFORM_CLOCK_H

#include <cstdint>

namespace Orvane {
namespace Platform {

// Broken-down time of the wall clock, with milliseconds.
struct LocalTime {
    int year;   // e.g. 2026
    int month;  // 1..12
    int day;    // 1..31
    int wday;   // 0..6, 0 = Sunday
    int hour;   // 0..23
    int minute; // 0..59
    int second; // 0..59 (60 only in a leap second)
    int millisecond;
};

// The local time now, converted with the host's zone rules as they are at
// this moment: a zone the process changed a moment ago (TZ set, tzset
// called) is already in effect.
void currentLocalTime(LocalTime& out);
// The same reading for callers that ask many times a second (the prefix of
// every printed line): each thread converts at most once per second and
// reuses the fields, with fresh milliseconds, for the rest of that second. A
// zone change through refreshTimeZone, or one that moves the host's offset,
// daylight flag or zone names, shows at once; any other change made behind
// the library's back shows from the next second.
void currentLocalTimeCached(LocalTime& out);
// The same fields for UTC.
void currentUtcTime(LocalTime& out);
// Rereads the host's zone rules (after the TZ setting changed) and drops
// every thread's cached local time, so the next reading uses the new zone.
void refreshTimeZone();
// The host's standard-time offset: UTC minus local standard time in seconds
// (positive west of Greenwich); daylight saving is not included.
std::int32_t standardTimeOffset();
// Sets the host's clock to the given local time (wday is ignored). False when
// the host refuses, for instance for lack of rights.
bool setLocalTime(const LocalTime& time);
// Redirects setLocalTime, so tests can record the requested setting or
// simulate a refusal without touching the machine's clock. Null restores the
// host's clock. Returns the previous redirection (null for none).
using SetLocalTimeFunction = bool (*)(const LocalTime& time);
SetLocalTimeFunction redirectSetLocalTime(SetLocalTimeFunction function);

// The C library's own calendar conversions under the host's zone rules,
// daylight saving included, for the older time class that is defined by them.
// localSecondsOf reads the fields (millisecond and wday ignored) the way
// mktime does with the daylight-saving flag given, carrying out-of-range
// fields over (any int values); the result is negative when the time cannot
// be represented.
std::int64_t localSecondsOf(const LocalTime& fields, int daylightFlag);
// The local fields of a count of seconds since 1970-01-01 00:00:00 UTC, as
// localtime reports them (millisecond 0); false, with out untouched, when the
// count cannot be converted or its year does not fit an int.
bool localFieldsOf(std::int64_t seconds, LocalTime& out);

// Nanoseconds of a monotonic clock with an arbitrary origin.
std::uint64_t monotonicNanoseconds();

} // namespace Platform
} // namespace Orvane

#endif
