/// \file
/// The older calendar-time class of the global namespace, kept for callers
/// written against it.
///
/// A ::CTime has the field layout of Orvane::Virad::SystemTime (eight 32-bit
/// fields, no virtual functions) but converts through the host C library's
/// local-time rules, daylight saving included: makeTime is mktime of the
/// fields read as standard time (daylight-saving flag 0) and breakTime is
/// localtime. Fields out of range carry over the way the C library normalises
/// them (the 30th of February becomes a day of March). Because the fields are
/// read as standard time, a value built from fields that fall in daylight
/// saving time comes out one hour later (12:00 in a summer month becomes
/// 13:00), and comparisons and differences count such fields an hour later too.
///
/// Its format settings (pattern, date order, separator, 12-hour mode) are its
/// own static members, separate from Orvane::Virad::CTime's. Reading and
/// setting the clock, the monotonic counters and sleeping are those of the
/// current classes, so the set-time hooks of Orvane::Virad::CTime apply.
///
/// Thread-safety: values share nothing. The static settings are plain values
/// without a lock, meant to be set during start-up.
#ifndef DOZUV2_LEGACY_LEGACYTIME_H
#define DOZUV2_LEGACY_LEGACYTIME_H

#include "virad/Export.h"
#include "virad/SystemTime.h"

#include <cstdint>
#include <string>
#include <type_traits>

/// \addtogroup legacy
/// @{

/// The older calendar time, described above.
class DOZUV2_API CTime {
public:
    /// Nothing is set.
    CTime() = default;
    /// The local fields of a count of seconds since 1970-01-01 00:00:00 UTC.
    explicit CTime(std::uint64_t seconds);
    /// All eight fields, as they are (not normalised).
    CTime(const Orvane::Virad::SystemTime& time);
    /// The six values carried over as the C library normalises them.
    CTime(int year, int month, int day, int hour, int minute, int second);

    /// Copied and moved as the plain record it is.
    ///@{
    CTime(const CTime&) = default;
    CTime(CTime&&) = default;
    CTime& operator=(const CTime&) = default;
    CTime& operator=(CTime&&) = default;
    ///@}

    /// The UTC count of seconds of the fields read as local standard time; 0
    /// for a time the C library cannot represent (before 1970 included).
    std::uint64_t makeTime() const;
    /// Sets the fields (isdst excepted) to the local time of a count of
    /// seconds. A count the C library cannot convert (a year beyond an int
    /// here, beyond 3000 on Windows) sets 1970-01-01 00:00:00, a Thursday:
    /// the epoch, as makeTime's 0 is for fields it cannot represent.
    void breakTime(std::uint64_t seconds);

    /// breakTime of makeTime plus or minus the seconds (modulo 2^64), so a
    /// sum the C library cannot convert gives the epoch's fields as above.
    ///@{
    CTime operator+(std::int64_t seconds) const;
    CTime operator-(std::int64_t seconds) const;
    CTime& operator+=(std::int64_t seconds);
    CTime& operator-=(std::int64_t seconds);
    ///@}
    /// makeTime of this minus makeTime of the other.
    std::int64_t operator-(const CTime& other) const;

    /// Compare makeTime values: fields that normalise to one instant are equal.
    ///@{
    bool operator==(const CTime& other) const;
    bool operator!=(const CTime& other) const;
    bool operator<(const CTime& other) const;
    bool operator<=(const CTime& other) const;
    bool operator>(const CTime& other) const;
    bool operator>=(const CTime& other) const;
    ///@}

    /// Writes the text of this time under pattern into buffer (four characters
    /// per pattern character and the terminator are always enough for fields in
    /// range), with the legacy date order, separator and 12-hour mode. A null
    /// buffer or pattern is reported and nothing is written.
    void format(char* buffer, const char* pattern) const;

    /// The host's local time now, normalised like the six-value constructor.
    static CTime getCurrentTime();
    /// Sets the host's clock through Orvane::Virad::CTime::setCurrentTime and
    /// its hook; tolerance in seconds.
    static void setCurrentTime(const CTime& time, int tolerance);
    /// The clocks and the sleep of Orvane::Virad::CTime.
    ///@{
    static std::uint64_t getCurrentMilliSecond();
    static std::uint64_t getCurrentMicroSecond();
    static void sleep(int milliseconds);
    ///@}

    /// Stores the pattern and derives separator, 12-hour mode and date order
    /// from it, as Orvane::Virad::CTime::setFormatString does.
    static void setFormat(const std::string& pattern);
    /// Date order stored as given (0 year-month-day, 1 month-day-year, other
    /// day-month-year); separator 0 '.', 1 '-', 2 '/'; time format 0 24-hour,
    /// 1 12-hour. Other separator or time-format values leave that setting.
    static void setFormat(int dateFormat, int separator, int timeFormat);
    /// The stored settings, as setFormat left them.
    ///@{
    static std::string getFormat();
    static int getDateFormat();
    static bool get12Hour();
    static char getSpliter();
    ///@}
    /// 1 in 12-hour mode, else 0.
    static int getTimeFormat();
    /// 0 for '.', 1 for '-', 2 for '/', 0 for any other separator.
    static int getDateSeparator();

    /// The settings, initially "yyyy-MM-dd HH:mm:ss", 0, false and '-'.
    /// The settings, initially "yyyy-MM-dd HH:mm:ss", 0, false and '-'.
    ///@{
    static std::string m_format;
    static int m_dateFormat;
    static bool m_12hour;
    static char m_dateSeparator;
    ///@}
    /// 2000-01-01 00:00:00 and 2038-01-01 00:00:00.
    ///@{
    static const CTime minTime;
    static const CTime maxTime;
    ///@}

    /// The calendar fields, as in Orvane::Virad::SystemTime.
    ///@{
    int year;
    int month;
    int day;
    int wday; ///< 0..6, 0 = Sunday
    int hour;
    int minute;
    int second;
    int isdst; ///< carried along, never read; 0 from every constructor but the default one
    ///@}
};

static_assert(sizeof(CTime) == sizeof(Orvane::Virad::SystemTime), "a legacy CTime is the eight fields of a SystemTime");
static_assert(std::is_standard_layout<CTime>::value && std::is_trivially_copyable<CTime>::value,
              "a legacy CTime copies like a SystemTime");
/// @}

#endif
