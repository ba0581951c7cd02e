// Calendar time text: formatting, parsing and the stored pattern.
//
// Properties: the field constructor and a successful parse leave every field
// in range with the right day of the week; a count of seconds splits into the
// day a slow count gives and counts back to itself; a failed parse zeroes the six
// fields; format never writes more than four characters per pattern
// character; a pattern spelled from the input formats a time that parses
// back to the same time; setFormatString derives separator, 12-hour mode and
// date order as a model of the rules does, and formatting with the stored
// settings equals formatting with the pattern under the same settings.
//
// Extremes, for both classes, with UndefinedBehaviorSanitizer watching the
// arithmetic: any 64-bit count of seconds and any int fields. The current
// class splits any count into fields in range (the year cut to an int). The
// older class, converting through the C library in UTC, sets every field of
// a value built over garbage: a count up to the last second of the year
// 2147483647 counts back to itself, a later one up to 2^63 - 1 gives the
// epoch, and field sets and sums of any size give fields in range.
#include "support/FuzzCheck.h"

#include "Src/Platform/Clock.h"
#include "legacy/LegacyTime.h"
#include "virad/CTime.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Orvane::Virad::CTime;

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01, counted the slow way.
long daysSince1970(int y, int m, int d) {
    long n = 0;
    for (int year = 1970; year < y; ++year) {
        n += leap(year) ? 366 : 365;
    }
    for (int month = 1; month < m; ++month) {
        n += daysInMonth(y, month);
    }
    return n + d - 1;
}

// One field of a time value in its range; the description shows the whole value.
template <typename Time>
void checkField(const Time& t, const char* what, const char* name, int value, int low, int high) {
    FUZZ_CHECK(Fuzz::within(value, low, high), "%s: %s %d outside %d..%d in %d-%d-%d w%d %d:%d:%d", what, name, value,
               low, high, t.year, t.month, t.day, t.wday, t.hour, t.minute, t.second);
}

// Month, day of the week and time of day in range; the last second is 59, or 60 for a leap second.
template <typename Time> void checkDayAndTime(const Time& t, const char* what, int lastSecond) {
    checkField(t, what, "month", t.month, 1, 12);
    checkField(t, what, "weekday", t.wday, 0, 6);
    checkField(t, what, "hour", t.hour, 0, 23);
    checkField(t, what, "minute", t.minute, 0, 59);
    checkField(t, what, "second", t.second, 0, lastSecond);
}

void checkInRange(const CTime& t, const char* what) {
    checkField(t, what, "year", t.year, 1970, 2106);
    checkDayAndTime(t, what, 59);
    checkField(t, what, "day", t.day, 1, daysInMonth(t.year, t.month));
    FUZZ_CHECK(t.wday == (daysSince1970(t.year, t.month, t.day) + 4) % 7, "%s: weekday %d of %d-%d-%d", what, t.wday,
               t.year, t.month, t.day);
}

// Formats into a buffer of exactly the promised room, so that one byte too
// many is an AddressSanitizer report.
std::string formatted(const CTime& t, const char* pattern, int mask) {
    const std::size_t room = 4 * std::strlen(pattern != nullptr ? pattern : CTime::getFormat().c_str()) + 1;
    std::vector<char> buffer(room);
    t.format(buffer.data(), pattern, mask);
    const std::size_t length = strnlen(buffer.data(), room);
    FUZZ_CHECK(length < room, "format left no terminator in %zu bytes", room);
    return std::string(buffer.data(), length);
}

// The date order spelled by the first 'y', 'M' and 'd', or -1.
int orderOf(const std::string& p) {
    const std::size_t y = p.find('y'), m = p.find('M'), d = p.find('d');
    if (y == std::string::npos || m == std::string::npos || d == std::string::npos) {
        return -1;
    }
    return y < m && m < d ? CTime::ymd : m < d && d < y ? CTime::mdy : d < m && m < y ? CTime::dmy : -1;
}

void roundTrip(FuzzedDataProvider& in, const CTime& t) {
    static const char* const separators[] = {"-", ".", "/", " ", ":", ", ", "_", " / "};
    const auto separator = [&in] { return std::string(in.PickValueInArray(separators)); };
    const std::string year = "yyyy";
    const std::string month = in.ConsumeBool() ? "MM" : "M";
    const std::string day = in.ConsumeBool() ? "dd" : "d";
    const int order = in.ConsumeIntegralInRange(0, 2);
    const std::string first = order == 0 ? year : order == 1 ? month : day;
    const std::string second = order == 2 ? month : order == 1 ? day : month;
    const std::string third = order == 0 ? day : year;
    const bool twelve = in.ConsumeBool();
    const std::string hour = twelve ? (in.ConsumeBool() ? "hh" : "h") : (in.ConsumeBool() ? "HH" : "H");
    std::string pattern = first + separator() + second + separator() + third + separator() + hour + separator() +
                          (in.ConsumeBool() ? "mm" : "m") + separator() + (in.ConsumeBool() ? "ss" : "s");
    if (twelve) {
        pattern += " t";
    }
    const std::string text = formatted(t, pattern.c_str(), CTime::kUsePatternAll);
    CTime back;
    FUZZ_CHECK(back.parse(text.c_str(), pattern.c_str()), "'%s' does not parse with '%s'", text.c_str(),
               pattern.c_str());
    FUZZ_CHECK(back == t, "'%s' with '%s' parses to %d-%d-%d %d:%d:%d", text.c_str(), pattern.c_str(), back.year,
               back.month, back.day, back.hour, back.minute, back.second);
    FUZZ_CHECK(back.wday == t.wday, "'%s' with '%s' parses to weekday %d, not %d", text.c_str(), pattern.c_str(),
               back.wday, t.wday);
}

// The last second of the year 2147483647, the last year an int holds, in UTC.
constexpr std::uint64_t kLastConvertible = 67767976233532799ULL;

// A count of seconds anywhere in the 64 bits, often near an edge.
std::uint64_t extremeSeconds(FuzzedDataProvider& in) {
    static const std::uint64_t edges[] = {0, kLastConvertible, INT64_MAX, UINT64_MAX, 1ULL << 56, 1ULL << 63};
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return in.ConsumeIntegral<std::uint64_t>();
    case 1:
        return in.PickValueInArray(edges) + static_cast<std::uint64_t>(in.ConsumeIntegralInRange(-100000, 100000));
    default:
        return in.ConsumeIntegralInRange<std::uint64_t>(0, kLastConvertible);
    }
}

// A field anywhere in an int, often near its ends or the C library's 1900.
int extremeField(FuzzedDataProvider& in) {
    static const std::int64_t edges[] = {INT_MIN, INT_MAX, 0, 1900, -1900};
    if (in.ConsumeBool()) {
        return in.ConsumeIntegral<int>();
    }
    const std::int64_t near = in.PickValueInArray(edges) + in.ConsumeIntegralInRange(-3000, 3000);
    return static_cast<int>(std::clamp<std::int64_t>(near, INT_MIN, INT_MAX));
}

void checkLegacyFields(const ::CTime& t, const char* what) {
    checkDayAndTime(t, what, 60);
    checkField(t, what, "day", t.day, 1, 31);
}

// The fields of a legacy value as one record.
std::tuple<int, int, int, int, int, int, int> fieldsOf(const ::CTime& t) {
    return {t.year, t.month, t.day, t.wday, t.hour, t.minute, t.second};
}

// A legacy value made by make in storage filled with 0x5A first, so that a field it leaves unset shows.
template <typename Make>::CTime overGarbage(Make make) {
    alignas(::CTime) unsigned char storage[sizeof(::CTime)];
    std::memset(storage, 0x5A, sizeof storage);
    return *make(storage);
}

void legacyExtremes(FuzzedDataProvider& in) {
    const std::uint64_t seconds = extremeSeconds(in);
    const ::CTime split = overGarbage([seconds](void* at) { return new (at)::CTime(seconds); });
    checkLegacyFields(split, "a count");
    const std::uint64_t back = split.makeTime();
    if (seconds <= kLastConvertible) {
        FUZZ_CHECK(back == seconds, "%llu seconds count back as %llu", static_cast<unsigned long long>(seconds),
                   static_cast<unsigned long long>(back));
    } else if (seconds <= INT64_MAX) {
        FUZZ_CHECK(fieldsOf(split) == std::make_tuple(1970, 1, 1, 4, 0, 0, 0),
                   "%llu seconds give %d-%d-%d w%d %d:%d:%d", static_cast<unsigned long long>(seconds), split.year,
                   split.month, split.day, split.wday, split.hour, split.minute, split.second);
        FUZZ_CHECK(back == 0, "%llu seconds count back as %llu", static_cast<unsigned long long>(seconds),
                   static_cast<unsigned long long>(back));
    } else {
        FUZZ_CHECK(back == 0, "%llu seconds (before 1970) count back as %llu", static_cast<unsigned long long>(seconds),
                   static_cast<unsigned long long>(back));
    }

    int f[6];
    for (int& field : f) {
        field = extremeField(in);
    }
    const ::CTime made = overGarbage([&f](void* at) { return new (at)::CTime(f[0], f[1], f[2], f[3], f[4], f[5]); });
    checkLegacyFields(made, "the field constructor");
    ::CTime(Orvane::Virad::SystemTime{f[0], f[1], f[2], 0, f[3], f[4], f[5], 0}).makeTime();
    const std::int64_t step = in.ConsumeIntegral<std::int64_t>();
    checkLegacyFields(made + step, "a sum");
    checkLegacyFields(made - step, "a difference");
}

// The current class splits any count into fields in range; only the year is cut to an int.
void currentExtremes(FuzzedDataProvider& in) {
    const CTime any(extremeSeconds(in), false);
    checkDayAndTime(any, "any count", 59);
    checkField(any, "any count", "day", any.day, 1, 31);
    const CTime moved = any + in.ConsumeIntegral<std::int64_t>();
    CTime::timeToSeconds(Orvane::Virad::SystemTime{moved.year, moved.month, moved.day, moved.wday, moved.hour,
                                                   moved.minute, moved.second, -1});
}

// The checks that use the calendar of the current class.
void currentFormsAndTexts(FuzzedDataProvider& in) {
    int fields[6];
    for (int& field : fields) {
        field = in.ConsumeBool() ? in.ConsumeIntegralInRange(-5, 70) : in.ConsumeIntegral<int>();
    }
    fields[0] = in.ConsumeBool() ? 1960 + in.ConsumeIntegralInRange(0, 160) : fields[0];
    const CTime t(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
    checkInRange(t, "the field constructor");
    roundTrip(in, t);

    // Any count of seconds up to the last second of 2106 splits into the day the slow count gives, and counts back
    // to itself.
    const std::uint64_t seconds = in.ConsumeIntegralInRange<std::uint64_t>(0, 50037ULL * 86400 + 86399);
    const CTime split(seconds, false);
    checkInRange(split, "splitting a count");
    FUZZ_CHECK(static_cast<std::uint64_t>(daysSince1970(split.year, split.month, split.day)) == seconds / 86400,
               "%llu seconds split into the day %d-%d-%d", static_cast<unsigned long long>(seconds), split.year,
               split.month, split.day);
    const std::uint64_t countedBack = CTime::timeToSeconds(Orvane::Virad::SystemTime{
        split.year, split.month, split.day, split.wday, split.hour, split.minute, split.second, -1});
    FUZZ_CHECK(countedBack == seconds, "%llu seconds split into %d-%d-%d %d:%d:%d and count back as %llu",
               static_cast<unsigned long long>(seconds), split.year, split.month, split.day, split.hour, split.minute,
               split.second, static_cast<unsigned long long>(countedBack));

    const std::string pattern = in.ConsumeRandomLengthString(48);
    const std::string text = in.ConsumeRandomLengthString(96);
    const int mask = in.ConsumeIntegral<int>();
    formatted(t, pattern.c_str(), mask);

    CTime parsed(t);
    if (parsed.parse(text.c_str(), pattern.c_str(), mask)) {
        checkInRange(parsed, "a successful parse");
    } else {
        const auto cleared =
            std::make_tuple(parsed.year, parsed.month, parsed.day, parsed.hour, parsed.minute, parsed.second);
        FUZZ_CHECK(cleared == std::make_tuple(0, 0, 0, 0, 0, 0),
                   "a failed parse of '%s' with '%s' kept %d-%d-%d %d:%d:%d", text.c_str(), pattern.c_str(),
                   parsed.year, parsed.month, parsed.day, parsed.hour, parsed.minute, parsed.second);
    }

    CTime::setFormatString(pattern.c_str());
    const std::string stored = CTime::getFormat().str();
    FUZZ_CHECK(stored == pattern.c_str(), "stored '%s' for '%s'", stored.c_str(), pattern.c_str());
    const char separator = stored.find('.') != std::string::npos   ? '.'
                           : stored.find('/') != std::string::npos ? '/'
                                                                   : '-';
    const int order = orderOf(stored);
    FUZZ_CHECK(CTime::getSeparator() == separator, "separator '%c' for '%s'", CTime::getSeparator(), stored.c_str());
    FUZZ_CHECK(CTime::get12Hour() == (stored.find('h') != std::string::npos), "12-hour mode for '%s'", stored.c_str());
    FUZZ_CHECK(CTime::getDateFormat() == (order < 0 ? CTime::ymd : order), "date order %d for '%s'",
               static_cast<int>(CTime::getDateFormat()), stored.c_str());
    FUZZ_CHECK(formatted(t, nullptr, 0) == formatted(t, stored.c_str(), 0), "the stored pattern '%s' formats alike",
               stored.c_str());
    CTime::setFormatString("yyyy-MM-dd HH:mm:ss");
}

} // namespace

// The older class converts in UTC, so that counts and fields map one to one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Orvane::Testing::quietLibrary();
    setenv("TZ", "UTC0", 1);
    Orvane::Platform::refreshTimeZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    currentFormsAndTexts(in);
    currentExtremes(in);
    legacyExtremes(in);
    return 0;
}
