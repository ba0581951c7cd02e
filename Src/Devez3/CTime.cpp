// The calendar time value: construction, conversion to and from seconds,
// the zone offset those conversions apply, arithmetic and comparison.
#include "virad/CTime.h"

#include "Src/Devez3/Calendar.h"
#include "Src/Platform/Clock.h"

#include <atomic>

namespace Orvane {
namespace Virad {

namespace {

// Cleared for good by disableTimezone. Atomic so that a late switch is never
// a data race, although it is meant to happen during start-up.
std::atomic<bool> g_zonesEnabled{true};

} // namespace

const CTime CTime::minTime(2000, 1, 1, 0, 0, 0);
const CTime CTime::maxTime(2038, 1, 1, 0, 0, 0);

CTime::CTime() : year(0), month(0), day(0), wday(0), hour(0), minute(0), second(0), isdst(-1) {}

CTime::CTime(std::uint64_t seconds) : CTime() {
    breakTime(seconds);
}

CTime::CTime(std::uint64_t seconds, bool useZone) : CTime() {
    if (useZone) {
        breakTime(seconds);
    } else {
        Detail::splitSeconds(seconds, *this);
    }
}

CTime::CTime(int year_, int month_, int day_, int hour_, int minute_, int second_)
    : year(year_), month(month_), day(day_), wday(0), hour(hour_), minute(minute_), second(second_), isdst(-1) {
    Detail::normalise(*this, true);
}

std::uint64_t CTime::makeTime() const {
    // Local seconds plus (UTC minus local) is UTC; a zone east of Greenwich
    // is negative and wraps as an unsigned addition should.
    return Detail::secondsOfFields(*this) + static_cast<std::uint64_t>(static_cast<std::int64_t>(getTimeZone()));
}

void CTime::breakTime(std::uint64_t seconds) {
    Detail::splitSeconds(seconds - static_cast<std::uint64_t>(static_cast<std::int64_t>(getTimeZone())), *this);
}

std::uint64_t CTime::timeToSeconds(const SystemTime& time) {
    return Detail::secondsOfFields(time);
}

std::int32_t CTime::getTimeZone() {
    return g_zonesEnabled.load(std::memory_order_relaxed) ? Platform::standardTimeOffset() : 0;
}

int CTime::disableTimezone() {
    g_zonesEnabled.store(false, std::memory_order_relaxed);
    return 0;
}

CTime CTime::operator+(std::int64_t seconds) const {
    return CTime(Detail::secondsOfFields(*this) + static_cast<std::uint64_t>(seconds), false);
}

CTime CTime::operator-(std::int64_t seconds) const {
    return CTime(Detail::secondsOfFields(*this) - static_cast<std::uint64_t>(seconds), false);
}

CTime& CTime::operator+=(std::int64_t seconds) {
    Detail::splitSeconds(Detail::secondsOfFields(*this) + static_cast<std::uint64_t>(seconds), *this);
    return *this;
}

CTime& CTime::operator-=(std::int64_t seconds) {
    Detail::splitSeconds(Detail::secondsOfFields(*this) - static_cast<std::uint64_t>(seconds), *this);
    return *this;
}

std::int64_t CTime::operator-(const CTime& other) const {
    return static_cast<std::int64_t>(Detail::secondsOfFields(*this) - Detail::secondsOfFields(other));
}

bool CTime::operator==(const CTime& other) const {
    return year == other.year && month == other.month && day == other.day && hour == other.hour &&
           minute == other.minute && second == other.second;
}

bool CTime::operator!=(const CTime& other) const {
    return !(*this == other);
}

bool CTime::operator<(const CTime& other) const {
    const int mine[6] = {year, month, day, hour, minute, second};
    const int theirs[6] = {other.year, other.month, other.day, other.hour, other.minute, other.second};
    for (int i = 0; i < 6; ++i) {
        if (mine[i] != theirs[i]) {
            return mine[i] < theirs[i];
        }
    }
    return false;
}

bool CTime::operator>(const CTime& other) const {
    return other < *this;
}

bool CTime::operator<=(const CTime& other) const {
    return !(*this > other);
}

bool CTime::operator>=(const CTime& other) const {
    return !(*this < other);
}

} // namespace Virad
} // namespace Orvane
