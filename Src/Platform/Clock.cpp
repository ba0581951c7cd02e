// The host-independent part of the clock family: calendar fields from the C
// library's broken-down time, the per-thread cache of the local reading,
// zone refreshes and the redirection of clock settings; the host supplies
// the wall clock, its conversions and the zone's state.
#include "Src/Platform/Clock.h"

#include "Src/Platform/HostParts.h"

#include <atomic>
#include <climits>

namespace Orvane {
namespace Platform {

namespace {

// Bumped by refreshTimeZone; a thread's cached conversion from an older
// generation is stale.
std::atomic<unsigned int> g_zoneGeneration{0};

std::atomic<SetLocalTimeFunction> g_setLocalTimeRedirect{nullptr};

// Copies the C library's fields; false, with to untouched, when the year
// (tm_year counts from 1900) does not fit an int.
bool copyFields(const std::tm& from, LocalTime& to) {
    const std::int64_t year = static_cast<std::int64_t>(from.tm_year) + 1900;
    if (year > INT_MAX) {
        return false;
    }
    to.year = static_cast<int>(year);
    to.month = from.tm_mon + 1;
    to.day = from.tm_mday;
    to.wday = from.tm_wday;
    to.hour = from.tm_hour;
    to.minute = from.tm_min;
    to.second = from.tm_sec;
    return true;
}

// The wall clock now, broken down by convert (local or UTC); out stays
// untouched when the host cannot convert it.
void brokenDownNow(bool (*convert)(std::int64_t, std::tm&), LocalTime& out) {
    const Host::WallReading now = Host::wallClockNow();
    std::tm fields;
    if (convert(now.seconds, fields) && copyFields(fields, out)) {
        out.millisecond = now.millisecond;
    }
}

} // namespace

void currentLocalTime(LocalTime& out) {
    brokenDownNow(&Host::localBrokenDown, out);
}

void currentLocalTimeCached(LocalTime& out) {
    // Every printed line asks for the time, and the C library's conversion
    // takes a process-wide lock; within one second the answer differs only in
    // its milliseconds, so each thread keeps its last conversion. Rereading
    // the zone rewrites its offset, daylight flag and names, so a zone change
    // made without refreshTimeZone is seen at once when it moves any of them.
    struct Cache {
        std::int64_t second = -1;
        unsigned int generation = 0;
        Host::ZoneMark zone = {};
        LocalTime fields = {};
    };
    static thread_local Cache cache;
    const Host::WallReading now = Host::wallClockNow();
    const unsigned int generation = g_zoneGeneration.load(std::memory_order_acquire);
    const Host::ZoneMark zone = Host::currentZoneMark();
    if (cache.second != now.seconds || cache.generation != generation || !(cache.zone == zone)) {
        std::tm local;
        if (Host::localBrokenDown(now.seconds, local)) {
            copyFields(local, cache.fields);
        }
        cache.second = now.seconds;
        cache.generation = generation;
        // Read after the conversion, which may itself settle the names.
        cache.zone = Host::currentZoneMark();
    }
    out = cache.fields;
    out.millisecond = now.millisecond;
}

void currentUtcTime(LocalTime& out) {
    brokenDownNow(&Host::utcBrokenDown, out);
}

void refreshTimeZone() {
    // The local conversion need not look at TZ again by itself; rereading makes it.
    Host::rereadTimeZone();
    g_zoneGeneration.fetch_add(1, std::memory_order_acq_rel);
}

std::int32_t standardTimeOffset() {
    Host::rereadTimeZone();
    return static_cast<std::int32_t>(Host::currentZoneMark().offset);
}

bool setLocalTime(const LocalTime& time) {
    const SetLocalTimeFunction redirect = g_setLocalTimeRedirect.load(std::memory_order_acquire);
    if (redirect != nullptr) {
        return redirect(time);
    }
    return Host::setHostLocalTime(time);
}

SetLocalTimeFunction redirectSetLocalTime(SetLocalTimeFunction function) {
    return g_setLocalTimeRedirect.exchange(function, std::memory_order_acq_rel);
}

std::int64_t localSecondsOf(const LocalTime& fields, int daylightFlag) {
    // wday and millisecond are not used. Months beyond 0..11 carry into the
    // year as mktime would carry them; done here in 64 bits, so that no
    // field overflows on its way into the C library's int fields.
    const std::int64_t months =
        (static_cast<std::int64_t>(fields.year) - 1900) * 12 + (static_cast<std::int64_t>(fields.month) - 1);
    std::int64_t years = months / 12;
    std::int64_t month = months % 12;
    if (month < 0) {
        month += 12;
        --years;
    }
    if (years < INT_MIN || years > INT_MAX) {
        return -1;
    }
    std::tm local = {};
    local.tm_year = static_cast<int>(years);
    local.tm_mon = static_cast<int>(month);
    local.tm_mday = fields.day;
    local.tm_hour = fields.hour;
    local.tm_min = fields.minute;
    local.tm_sec = fields.second;
    local.tm_isdst = daylightFlag;
    // mktime's -1 is also a valid second (1969-12-31 23:59:59 UTC); both are
    // before 1970 and so equally unrepresentable for the callers.
    return Host::makeLocalSeconds(local);
}

bool localFieldsOf(std::int64_t seconds, LocalTime& out) {
    std::tm local;
    if (!Host::localBrokenDown(seconds, local) || !copyFields(local, out)) {
        return false;
    }
    out.millisecond = 0;
    return true;
}

} // namespace Platform
} // namespace Orvane
