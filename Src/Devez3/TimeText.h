// The pattern language of calendar times, shared by the current time class
// and the older global one, which differ only in where their settings live
// and in how a few component texts are printed.
#ifndef DOZUV2_DEVEZ3_TIMETEXT_H
#define DOZUV2_DEVEZ3_TIMETEXT_H

#include "virad/SystemTime.h"

namespace Orvane {
namespace Virad {
namespace Detail {

// What a pattern says about the settings: the separator it uses, 12-hour
// mode and the date order (0 year-month-day, 1 month-day-year, 2
// day-month-year).
struct PatternSettings {
    char separator;
    bool twelveHour;
    int dateOrder;
};

// The settings a stored pattern implies, with the reports of a separator or
// date order the pattern does not spell (each replaced by its default).
PatternSettings analysePattern(const char* pattern);

// How one call formats.
struct FormatChoice {
    int dateOrder;      // 0, 1 or 2 as above
    char separator;     // written for every '-', '.' and '/' of the pattern
    bool ownSeparators; // write the pattern's own separators instead
    bool twelveHour;
    // The components as plain decimal numbers ("%04d", "%02d", "%d") rather
    // than digit by digit: the same texts for values in range, wider ones
    // for values outside it.
    bool decimal;
};

// Writes the text of the fields under the pattern into buffer (neither null).
void formatFields(const SystemTime& fields, char* buffer, const char* pattern, const FormatChoice& choice);

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
