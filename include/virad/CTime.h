/// \file
/// Calendar time and the host's clocks.
///
/// A CTime is a broken-down local calendar time from year down to second,
/// laid out exactly like SystemTime (eight 32-bit fields, no virtual
/// functions), so it can be copied into and out of that record freely. It
/// converts to and from a count of seconds since 1970-01-01 00:00:00, does
/// arithmetic in seconds, compares, formats itself through a small pattern
/// language and parses text back.
///
/// Values are normalised into 1970..2106 by the field constructor and by the
/// conversions: fields out of range are clamped, not carried (month 13 becomes
/// 12, hour 24 becomes 23:59:59). The default constructor leaves every field 0,
/// which the conversions read as 1970-01-01 00:00:00.
///
/// Zones: makeTime and breakTime apply the host's standard-time offset
/// (getTimeZone, daylight saving not included) unless disableTimezone was
/// called; everything else (the arithmetic, the zone-free constructor,
/// timeToSeconds) counts the fields as they stand.
///
/// Patterns: 'yyyy'/'yy' year, 'MM'/'M' month, 'dd'/'d' day, 'HH'/'hh'/'h'
/// hour, 'mm'/'m' minute, 'ss'/'s' second, 't' AM/PM in 12-hour mode; '-', '.'
/// and '/' stand for the date separator. The process-wide settings (pattern,
/// date order, separator, 12-hour mode) steer format; setFormatString derives
/// the last three from the pattern it stores.
///
/// The static members also read the clocks: local time, UTC, and a monotonic
/// millisecond/microsecond counter that starts near 0 when the library is
/// loaded. Setting the host's clock goes through a replaceable hook; by default
/// it clamps the time into minTime..maxTime, leaves the clock alone within a
/// tolerance, sets it, and then calls every attached modify procedure.
///
/// Thread-safety: CTime values share nothing. Every clock may be read from any
/// thread; getCurrentMilliSecond never returns less than a value any thread
/// has already been given. The format settings, the zone switch, the
/// configured zone and daylight-saving flag and the set-time hooks are
/// process-wide values without a lock, meant to be set during start-up. The
/// modify-procedure list is locked; procedures are called on a copy of it,
/// without the lock, on the thread that set the clock.
#ifndef DOZUV2_VIRAD_CTIME_H
#define DOZUV2_VIRAD_CTIME_H

#include "virad/Export.h"
#include "virad/Function.h"
#include "virad/SystemTime.h"
#include "virad/devez3/detail/flex_string.h"

#include <cstdint>
#include <type_traits>

namespace Orvane {
namespace Virad {
/// \addtogroup time
/// @{

/// A broken-down local calendar time with the clocks as static members, described above.
class DOZUV2_API CTime {
public:
    /// The order of the date components in formatted text.
    enum DateFormat {
        ymd = 0, ///< year, month, day
        mdy = 1, ///< month, day, year
        dmy = 2, ///< day, month, year
    };

    /// A UTC reading with the configured zone, for embedded peers (getUTCForEmbed).
    struct UTCTimeDef {
        std::uint64_t utc;     ///< seconds since 1970-01-01 00:00:00 UTC
        std::int32_t timezone; ///< the configured zone, seconds east of UTC
        std::int32_t dst;      ///< the configured daylight-saving flag, 1 or 0
    };

    /// Bits of format's mask: each makes one call follow the pattern instead
    /// of the stored setting, without changing the setting.
    ///@{
    static constexpr int kUsePatternSeparator = 1; ///< '-', '.', '/' appear as written, not as the stored separator
    static constexpr int kUsePatternDateOrder = 2; ///< date order from the first 'y', 'M', 'd' of the pattern
    static constexpr int kUsePattern12Hour = 4;    ///< 12-hour mode exactly when the pattern contains 'h'
    static constexpr int kUsePatternAll = kUsePatternSeparator | kUsePatternDateOrder | kUsePattern12Hour;
    ///@}

    /// Sets the host's clock; the int is the tolerance in seconds.
    ///@{
    using SetTimeHook = TFunction2<void, const CTime&, int>;
    using SetTimeHookEx = TFunction2<void, const SystemTimeEx&, int>;
    ///@}
    /// Told the new time after the clock was set; its result is not looked at.
    using ModifyProc = TFunction1<bool, SystemTime>;

    /// The bounds of setting the clock: 2000-01-01 00:00:00 and 2038-01-01 00:00:00.
    ///@{
    static const CTime minTime;
    static const CTime maxTime;
    ///@}

    /// Every field 0 except isdst (-1); not normalised.
    CTime();
    /// The local time of a UTC count of seconds (breakTime).
    explicit CTime(std::uint64_t seconds);
    /// With useZone, as above; without, the plain split of the seconds.
    CTime(std::uint64_t seconds, bool useZone);
    /// The given fields, normalised, with the day of the week computed.
    CTime(int year, int month, int day, int hour, int minute, int second);

    /// Copied and moved as the plain record it is.
    ///@{
    CTime(const CTime&) = default;
    CTime(CTime&&) = default;
    CTime& operator=(const CTime&) = default;
    CTime& operator=(CTime&&) = default;
    ///@}
    ~CTime() = default;

    /// The UTC count of seconds of these local fields.
    std::uint64_t makeTime() const;
    /// Sets the fields to the local time of a UTC count of seconds; isdst is kept.
    void breakTime(std::uint64_t seconds);
    /// The seconds of the record's fields (normalised in a copy), with no zone offset.
    static std::uint64_t timeToSeconds(const SystemTime& time);
    /// The host's standard-time offset, UTC minus local standard time in
    /// seconds (-28800 eight hours east of UTC); 0 once zones are disabled.
    static std::int32_t getTimeZone();
    /// Turns the zone offset off for the rest of the process; 0.
    static int disableTimezone();

    /// Zone-free arithmetic in seconds.
    ///@{
    CTime operator+(std::int64_t seconds) const;
    CTime operator-(std::int64_t seconds) const;
    CTime& operator+=(std::int64_t seconds);
    CTime& operator-=(std::int64_t seconds);
    ///@}
    /// Seconds of this minus seconds of the other.
    std::int64_t operator-(const CTime& other) const;

    /// Compare year, month, day, hour, minute and second as stored (wday and
    /// isdst take no part; nothing is normalised).
    ///@{
    bool operator==(const CTime& other) const;
    bool operator!=(const CTime& other) const;
    bool operator<(const CTime& other) const;
    bool operator>(const CTime& other) const;
    bool operator<=(const CTime& other) const;
    bool operator>=(const CTime& other) const;
    ///@}

    /// Writes the text of this time into buffer, which must hold four
    /// characters per pattern character plus the terminator. A null pattern
    /// (the default) means the stored pattern, so t.format(buf) writes the
    /// time the way the process is configured; mask is a combination of the
    /// kUsePattern bits (0, the default, follows the stored settings).
    void format(char* buffer, const char* pattern = nullptr, int mask = 0) const;
    /// Sets the fields from text read with the pattern (null, the default:
    /// the stored pattern). On failure the six date and time fields are 0 and
    /// the result is false. The mask is accepted for symmetry and ignored.
    bool parse(const char* text, const char* pattern = nullptr, int mask = 0);

    /// Stores the pattern (null: empty) and derives the separator, 12-hour
    /// mode and date order from it.
    ///@{
    static void setFormatString(const char* pattern);
    static void setFormat(const flex_string& pattern);
    static flex_string getFormat();
    static DateFormat getDateFormat();
    static bool get12Hour();
    static char getSeparator();
    ///@}

    /// The host's local time to the second, normalised.
    static CTime getCurrentTime();
    /// The same reading; the one the print path and getUTCForEmbed use.
    static CTime getCurTimeForPrint();
    /// The host's local time with the day of the week and milliseconds as the
    /// host reports them, not normalised; reserved fields 0.
    static SystemTimeEx getCurrentTimeEx();
    /// Seconds since 1970-01-01 00:00:00 of the host's UTC time.
    static std::uint64_t getCurrentUTCtime();
    /// The same in milliseconds.
    static std::uint64_t getCurrentUTCMilliSecond();
    /// Microseconds of the monotonic counter since the library was loaded.
    static std::uint64_t getCurrentMicroSecond();
    /// Milliseconds of the monotonic counter since the library was loaded;
    /// never less than a value already returned to any thread.
    static std::uint64_t getCurrentMilliSecond();

    /// Stores the zone in seconds east of UTC; false (nothing stored) outside
    /// -43200..50400. Does not change getTimeZone, makeTime or breakTime.
    static bool setTimeZone(int secondsEast);
    /// The offset (seconds east of UTC) of a row of the 36-row zone table; 0
    /// with a report for an index outside 0..35.
    static int getTimeZonefromTable(int zoneIndex);
    /// Stores the daylight-saving flag; true.
    static bool setDst(bool on);
    /// The stored flag: 1, 0, or -1 while never set.
    static int getDst();
    /// Fills time from the local clock and the configured zone and flag;
    /// false, with time untouched, until both setTimeZone and setDst were called.
    static bool getUTCForEmbed(UTCTimeDef& time);

    /// Replace the set-time hooks; each returns the previous hook. The forms
    /// with a bool also store whether the modify procedures are told after a
    /// hook other than the default one ran; the one-argument forms leave that
    /// flag as it is.
    ///@{
    static SetTimeHook attachSetCurrentTimeHook(SetTimeHook hook);
    static SetTimeHook attachSetCurrentTimeHook(SetTimeHook hook, bool notifyAfterHook);
    static SetTimeHookEx attachSetCurrentTimeHookEx(SetTimeHookEx hook);
    static SetTimeHookEx attachSetCurrentTimeHookEx(SetTimeHookEx hook, bool notifyAfterHook);
    ///@}
    /// Appends a procedure told about every new clock setting; true. There
    /// is no detach, and the same procedure may be attached twice.
    static bool attachModifyProc(ModifyProc proc);

    /// Sets the host's clock to the (normalised) time through the set-time
    /// hook; tolerance is in seconds.
    static void setCurrentTime(const CTime& time, int tolerance);
    /// The same; false when the calling thread's last error afterwards is
    /// kErrorSetTimeFailed or kErrorSetRtcFailed. The last error is not reset
    /// first, so an earlier such failure of this thread also gives false.
    static bool setCurrentTimeEx(const CTime& time, int tolerance);
    /// The same to the millisecond through the extended hook, with the same result rule.
    static bool setCurrentTime(const SystemTimeEx& time, int tolerance);

    /// The calendar fields, as in SystemTime.
    ///@{
    int year;
    int month;
    int day;
    int wday; ///< 0..6, 0 = Sunday
    int hour;
    int minute;
    int second;
    int isdst; ///< -1; never read
    ///@}
};

static_assert(sizeof(CTime) == 32, "a CTime is the eight fields of a SystemTime");
static_assert(std::is_standard_layout<CTime>::value && std::is_trivially_copyable<CTime>::value,
              "a CTime copies like a SystemTime");
/// @}

} // namespace Virad
} // namespace Orvane

#endif
