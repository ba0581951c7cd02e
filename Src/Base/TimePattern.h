// The pattern language of calendar times ("yyyy-MM-dd HH:mm:ss"), shared by
// the current time class and the older global one, which differ only in
// where their settings live and in how a few component texts are printed.
//
// Pure text work: it reports nothing itself. Where a pattern does not spell
// a setting, the analysis says which report its caller gives.
#ifndef DOZUV2_BASE_TIMEPATTERN_H
#define DOZUV2_BASE_TIMEPATTERN_H

namespace Orvane {
namespace Base {

// Date orders: the order of the year, month and day texts.
enum PatternDateOrder { kYearMonthDay = 0, kMonthDayYear = 1, kDayMonthYear = 2 };

// The report of a pattern whose first 'y', 'M' and 'd' spell no date order
// (year-month-day is taken instead).
extern const char kDateOrderDefaulted[];

// The date order the pattern spells with its first 'y', 'M' and 'd'; false
// when it is none of the three (a missing letter included).
bool dateOrderOfPattern(const char* pattern, PatternDateOrder& order);

// What a pattern says about the settings: the separator it uses, 12-hour
// mode and the date order. problems holds the reports of the settings the
// pattern does not spell (each replaced by its default), in the order they
// are given; null where there is none.
struct PatternSettings {
    char separator;
    bool twelveHour;
    PatternDateOrder dateOrder;
    const char* problems[2];
};

PatternSettings analysePattern(const char* pattern);

// The fields a pattern formats.
struct PatternFields {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// How one call formats.
struct FormatChoice {
    PatternDateOrder dateOrder;
    char separator;     // written for every '-', '.' and '/' of the pattern
    bool ownSeparators; // write the pattern's own separators instead
    bool twelveHour;
    // The components as plain decimal numbers ("%04d", "%02d", "%d") rather
    // than digit by digit: the same texts for values in range, wider ones
    // for values outside it.
    bool decimal;
};

// Writes the text of the fields under the pattern into buffer (neither null).
void formatFields(const PatternFields& fields, char* buffer, const char* pattern, const FormatChoice& choice);

} // namespace Base
} // namespace Orvane

#endif
