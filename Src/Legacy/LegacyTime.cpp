// The older global calendar-time class: conversions through the C library's
// local-time rules, its own format settings, and the clock of the current
// classes.
#include "legacy/LegacyTime.h"

#include "Src/Base/TimePattern.h"
#include "Src/Common/Containers.h"
#include "Src/Common/Report.h"
#include "Src/Platform/Clock.h"
#include "virad/CTime.h"
#include "virad/Thread.h"

namespace {

using Orvane::Platform::LocalTime;
using CurrentTime = Orvane::Virad::CTime;

// 1970-01-01 00:00:00, a Thursday.
const LocalTime kEpochFields = {1970, 1, 1, 4, 0, 0, 0, 0};

LocalTime localFields(const CTime& time) {
    return LocalTime{time.year, time.month, time.day, time.wday, time.hour, time.minute, time.second, 0};
}

} // namespace

std::string CTime::m_format = Orvane::Common::filledForCaller([] { return std::string("yyyy-MM-dd HH:mm:ss"); });
int CTime::m_dateFormat = 0;
bool CTime::m_12hour = false;
char CTime::m_dateSeparator = '-';
const CTime CTime::minTime(2000, 1, 1, 0, 0, 0);
const CTime CTime::maxTime(2038, 1, 1, 0, 0, 0);

CTime::CTime(std::uint64_t seconds) : isdst(0) {
    breakTime(seconds);
}

CTime::CTime(const Orvane::Virad::SystemTime& time)
    : year(time.year), month(time.month), day(time.day), wday(time.wday), hour(time.hour), minute(time.minute),
      second(time.second), isdst(time.isdst) {}

CTime::CTime(int year_, int month_, int day_, int hour_, int minute_, int second_)
    : year(year_), month(month_), day(day_), wday(0), hour(hour_), minute(minute_), second(second_), isdst(0) {
    breakTime(makeTime());
}

std::uint64_t CTime::makeTime() const {
    // Daylight-saving flag 0: the fields are standard time, as the older
    // interface has always read them.
    const std::int64_t seconds = Orvane::Platform::localSecondsOf(localFields(*this), 0);
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

void CTime::breakTime(std::uint64_t seconds) {
    LocalTime local;
    if (!Orvane::Platform::localFieldsOf(static_cast<std::int64_t>(seconds), local)) {
        // A count the C library cannot convert stands for the epoch, as
        // makeTime's 0 does for fields it cannot represent; the fields are
        // never left as they were, which callers would take for a result.
        local = kEpochFields;
    }
    year = local.year;
    month = local.month;
    day = local.day;
    wday = local.wday;
    hour = local.hour;
    minute = local.minute;
    second = local.second;
}

CTime CTime::operator+(std::int64_t seconds) const {
    CTime result(*this);
    return result += seconds;
}

CTime CTime::operator-(std::int64_t seconds) const {
    CTime result(*this);
    return result -= seconds;
}

CTime& CTime::operator+=(std::int64_t seconds) {
    breakTime(makeTime() + static_cast<std::uint64_t>(seconds));
    return *this;
}

CTime& CTime::operator-=(std::int64_t seconds) {
    breakTime(makeTime() - static_cast<std::uint64_t>(seconds));
    return *this;
}

std::int64_t CTime::operator-(const CTime& other) const {
    return static_cast<std::int64_t>(makeTime() - other.makeTime());
}

bool CTime::operator==(const CTime& other) const {
    return makeTime() == other.makeTime();
}

bool CTime::operator!=(const CTime& other) const {
    return makeTime() != other.makeTime();
}

bool CTime::operator<(const CTime& other) const {
    return makeTime() < other.makeTime();
}

bool CTime::operator<=(const CTime& other) const {
    return makeTime() <= other.makeTime();
}

bool CTime::operator>(const CTime& other) const {
    return makeTime() > other.makeTime();
}

bool CTime::operator>=(const CTime& other) const {
    return makeTime() >= other.makeTime();
}

void CTime::format(char* buffer, const char* pattern) const {
    if (buffer == nullptr) {
        VIRAD_REPORT(Orvane::Virad::LOG_ERROR, "buf is NULL!!\n");
        return;
    }
    if (pattern == nullptr) {
        VIRAD_REPORT(Orvane::Virad::LOG_ERROR, "format is NULL!!\n");
        return;
    }
    using Orvane::Base::PatternDateOrder;
    Orvane::Base::FormatChoice choice;
    choice.dateOrder = m_dateFormat == 0 || m_dateFormat == 1 ? static_cast<PatternDateOrder>(m_dateFormat)
                                                              : Orvane::Base::kDayMonthYear;
    choice.separator = m_dateSeparator;
    choice.ownSeparators = false;
    choice.twelveHour = m_12hour;
    choice.decimal = true;
    const Orvane::Base::PatternFields fields{year, month, day, hour, minute, second};
    Orvane::Base::formatFields(fields, buffer, pattern, choice);
}

CTime CTime::getCurrentTime() {
    const CurrentTime now = CurrentTime::getCurrentTime();
    return CTime(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

void CTime::setCurrentTime(const CTime& time, int tolerance) {
    CurrentTime::setCurrentTime(CurrentTime(time.year, time.month, time.day, time.hour, time.minute, time.second),
                                tolerance);
}

std::uint64_t CTime::getCurrentMilliSecond() {
    return CurrentTime::getCurrentMilliSecond();
}

std::uint64_t CTime::getCurrentMicroSecond() {
    return CurrentTime::getCurrentMicroSecond();
}

void CTime::sleep(int milliseconds) {
    Orvane::Virad::CThread::sleep(milliseconds);
}

void CTime::setFormat(const std::string& pattern) {
    Orvane::Common::filledForCaller([&pattern] { m_format = pattern; });
    const Orvane::Base::PatternSettings settings = Orvane::Base::analysePattern(m_format.c_str());
    for (const char* problem : settings.problems) {
        if (problem != nullptr) {
            VIRAD_REPORT(Orvane::Virad::LOG_ERROR, "%s", problem);
        }
    }
    m_dateSeparator = settings.separator;
    m_12hour = settings.twelveHour;
    m_dateFormat = settings.dateOrder;
}

void CTime::setFormat(int dateFormat, int separator, int timeFormat) {
    m_dateFormat = dateFormat;
    static const char kSeparators[3] = {'.', '-', '/'};
    if (separator >= 0 && separator <= 2) {
        m_dateSeparator = kSeparators[separator];
    }
    if (timeFormat == 0 || timeFormat == 1) {
        m_12hour = timeFormat == 1;
    }
}

std::string CTime::getFormat() {
    return Orvane::Common::filledForCaller([] { return m_format; });
}

int CTime::getDateFormat() {
    return m_dateFormat;
}

bool CTime::get12Hour() {
    return m_12hour;
}

char CTime::getSpliter() {
    return m_dateSeparator;
}

int CTime::getTimeFormat() {
    return m_12hour ? 1 : 0;
}

int CTime::getDateSeparator() {
    return m_dateSeparator == '/' ? 2 : (m_dateSeparator == '-' ? 1 : 0);
}
