/// \file
/// Plain broken-down time records shared by the clocks, the calendar time value
/// and the print path.
#ifndef DOZUV2_VIRAD_SYSTEMTIME_H
#define DOZUV2_VIRAD_SYSTEMTIME_H

namespace Orvane {
namespace Virad {
/// \addtogroup time
/// @{

/// A calendar time to the second.
struct SystemTime {
    int year;   ///< four-digit year
    int month;  ///< 1..12
    int day;    ///< 1..31
    int wday;   ///< 0..6, 0 = Sunday
    int hour;   ///< 0..23
    int minute; ///< 0..59
    int second; ///< 0..59
    int isdst;  ///< -1 wherever the library builds one; never read
};

/// A calendar time to the millisecond.
struct SystemTimeEx {
    /// The fields of SystemTime.
    ///@{
    int year;
    int month;
    int day;
    int wday;
    int hour;
    int minute;
    int second;
    int millisecond; ///< 0..999
    int reserved[4]; ///< 0 wherever the library fills the record
    ///@}
};

static_assert(sizeof(SystemTime) == 32, "eight 32-bit fields");
static_assert(sizeof(SystemTimeEx) == 48, "twelve 32-bit fields");
/// @}

} // namespace Virad
} // namespace Orvane

#endif
