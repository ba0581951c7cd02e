// The text forms of the calendar time value: the process-wide format
// settings, formatting through the pattern language and parsing back.
#include "virad/CTime.h"

#include "Src/Devez3/Calendar.h"
#include "Src/Devez3/TimeText.h"
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/Report.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Virad {

namespace {

// The settings are plain process-wide values meant to be set during start-up;
// the scalar ones are atomics so that a late change is never a data race.
// The pattern is stored as given at load and analysed only when it is set
// through setFormatString, so the other settings keep their defaults until then.
flex_string& storedPattern() {
    static Base::NeverDestroyed<flex_string> pattern("yyyy-MM-dd HH:mm:ss");
    return pattern.get();
}
// Touched at load, so the pattern exists before any thread formats.
[[maybe_unused]] const flex_string& g_patternAtLoad = storedPattern();

std::atomic<int> g_dateOrder{CTime::ymd};
std::atomic<char> g_separator{'-'};
std::atomic<bool> g_twelveHour{false};

const char* patternOrStored(const char* pattern) {
    return pattern != nullptr ? pattern : storedPattern().c_str();
}

bool contains(const char* text, char c) {
    return std::strchr(text, c) != nullptr;
}

// The date order the pattern spells with its first 'y', 'M' and 'd'; false
// when it is none of year-month-day, month-day-year and day-month-year (a
// missing letter included).
bool dateOrderOfPattern(const char* pattern, CTime::DateFormat& order) {
    const char* y = std::strchr(pattern, 'y');
    const char* m = std::strchr(pattern, 'M');
    const char* d = std::strchr(pattern, 'd');
    if (y == nullptr || m == nullptr || d == nullptr) {
        return false;
    }
    if (y < m && m < d) {
        order = CTime::ymd;
    } else if (m < d && d < y) {
        order = CTime::mdy;
    } else if (d < m && m < y) {
        order = CTime::dmy;
    } else {
        return false;
    }
    return true;
}

// The date order of the pattern, or ymd with the report every caller that
// falls back to it gives.
CTime::DateFormat dateOrderOrDefault(const char* pattern) {
    CTime::DateFormat order = CTime::ymd;
    if (!dateOrderOfPattern(pattern, order)) {
        VIRAD_REPORT(LOG_ERROR, "setFormat dateFormat is invalid,set default separator: ymd \n");
    }
    return order;
}

// The decimal digit of value at place (1, 10, 100 ...). Out-of-range fields
// still give a digit, so the text never outgrows its room.
char digitAt(int value, unsigned int place) {
    return static_cast<char>('0' + static_cast<unsigned int>(value) / place % 10);
}

// Appends text to the caller's buffer, which is kept terminated.
class TextWriter {
public:
    explicit TextWriter(char* buffer) : m_start(buffer), m_end(buffer) { *m_end = '\0'; }

    void put(char c) {
        *m_end++ = c;
        *m_end = '\0';
    }
    void put(const char* text) {
        while (*text != '\0') {
            put(*text++);
        }
    }
    // The value's units digit, after its tens digit when the value is 10 or
    // more or a padded form is asked for; or the whole decimal number, padded
    // to two digits when asked.
    void number(int value, bool padded, bool decimal) {
        if (decimal) {
            char text[12];
            std::snprintf(text, sizeof text, padded ? "%02d" : "%d", value);
            put(text);
            return;
        }
        if (value >= 10 || padded) {
            put(digitAt(value, 10));
        }
        put(digitAt(value, 1));
    }
    void trimTrailingSpaces() {
        while (m_end != m_start && m_end[-1] == ' ') {
            *--m_end = '\0';
        }
    }

private:
    char* m_start;
    char* m_end;
};

// The length of the run of characters at text accepted by the predicate.
template <typename Accept> std::size_t runLength(const char* text, Accept accept) {
    std::size_t n = 0;
    while (text[n] != '\0' && accept(text[n])) {
        ++n;
    }
    return n;
}

std::size_t countOf(const char* text, char c) {
    std::size_t n = 0;
    for (; *text != '\0'; ++text) {
        n += *text == c ? 1 : 0;
    }
    return n;
}

// A component's text under the counts of its letter in the pattern: none
// for 0; for the year, two digits for 1 or 2 and four for more; for month
// and day, the tens digit when the value is 10 or more or the letter is
// doubled. The decimal forms print the whole number in at least that many
// digits. out holds 12 characters.
constexpr std::size_t kComponentRoom = 12;

void yearText(int year, std::size_t letters, bool decimal, char* out) {
    if (decimal && letters != 0) {
        std::snprintf(out, kComponentRoom, letters >= 3 ? "%04d" : "%02d", letters >= 3 ? year : year % 100);
        return;
    }
    char* p = out;
    if (letters >= 3) {
        *p++ = digitAt(year, 1000);
        *p++ = digitAt(year, 100);
    }
    if (letters >= 1) {
        *p++ = digitAt(year, 10);
        *p++ = digitAt(year, 1);
    }
    *p = '\0';
}

void monthOrDayText(int value, std::size_t letters, bool decimal, char* out) {
    if (decimal && letters != 0) {
        std::snprintf(out, kComponentRoom, letters >= 2 ? "%02d" : "%d", value);
        return;
    }
    char* p = out;
    if (letters >= 1) {
        if (value >= 10 || letters >= 2) {
            *p++ = digitAt(value, 10);
        }
        *p++ = digitAt(value, 1);
    }
    *p = '\0';
}

SystemTime fieldsOf(const CTime& time) {
    return SystemTime{time.year, time.month, time.day, time.wday, time.hour, time.minute, time.second, time.isdst};
}

} // namespace

namespace Detail {

void formatFields(const SystemTime& fields, char* buffer, const char* pattern, const FormatChoice& choice) {
    TextWriter out(buffer);

    char yearPart[kComponentRoom];
    char monthPart[kComponentRoom];
    char dayPart[kComponentRoom];
    yearText(fields.year, countOf(pattern, 'y'), choice.decimal, yearPart);
    monthOrDayText(fields.month, countOf(pattern, 'M'), choice.decimal, monthPart);
    monthOrDayText(fields.day, countOf(pattern, 'd'), choice.decimal, dayPart);

    // The non-empty texts in the chosen order; the k-th run of date letters
    // in the pattern takes the k-th of them.
    const char* const byOrder[3][3] = {
        {yearPart, monthPart, dayPart}, {monthPart, dayPart, yearPart}, {dayPart, monthPart, yearPart}};
    const char* dates[3];
    int dateCount = 0;
    for (const char* part : byOrder[choice.dateOrder]) {
        if (part[0] != '\0') {
            dates[dateCount++] = part;
        }
    }
    int nextDate = 0;

    const bool twelveHour = choice.twelveHour;
    int shownHour = fields.hour;
    if (twelveHour) {
        if (shownHour > 12) {
            shownHour -= 12;
        } else if (shownHour == 0) {
            shownHour = 12;
        }
    }

    for (const char* c = pattern; *c != '\0';) {
        const char letter = *c;
        std::size_t run = 1;
        switch (letter) {
        case '-':
        case '.':
        case '/':
            out.put(choice.ownSeparators ? letter : choice.separator);
            break;
        case 'h':
        case 'H':
            run = runLength(c, [](char x) { return x == 'h' || x == 'H'; });
            out.number(shownHour, run > 1, choice.decimal);
            break;
        case 'y':
        case 'M':
        case 'd':
            // A letter repeated in a later run finds no text left and adds nothing.
            run = runLength(c, [letter](char x) { return x == letter; });
            if (nextDate < dateCount) {
                out.put(dates[nextDate++]);
            }
            break;
        case 'm':
            run = runLength(c, [](char x) { return x == 'm'; });
            out.number(fields.minute, run > 1, choice.decimal);
            break;
        case 's':
            run = runLength(c, [](char x) { return x == 's'; });
            out.number(fields.second, run > 1, choice.decimal);
            break;
        case 't':
            if (twelveHour) {
                run = runLength(c, [](char x) { return x == 't'; });
                out.put(fields.hour < 12 ? "AM" : "PM");
            } else {
                // No marker in 24-hour mode, and no blank left before it.
                out.trimTrailingSpaces();
            }
            break;
        default:
            out.put(letter);
            break;
        }
        c += run;
    }
}

PatternSettings analysePattern(const char* text) {
    PatternSettings settings{'-', contains(text, 'h'), CTime::ymd};
    if (contains(text, '.')) {
        settings.separator = '.';
    } else if (contains(text, '/')) {
        settings.separator = '/';
    } else if (!contains(text, '-')) {
        VIRAD_REPORT(LOG_ERROR, "setFormat separator is invalid,set default separator: - \n");
    }
    settings.dateOrder = dateOrderOrDefault(text);
    return settings;
}

} // namespace Detail

void CTime::format(char* buffer, const char* pattern, int mask) const {
    if (buffer == nullptr) {
        VIRAD_REPORT(LOG_ERROR, "buf is NULL!!\n");
        return;
    }
    pattern = patternOrStored(pattern);
    Detail::FormatChoice choice;
    choice.dateOrder =
        (mask & kUsePatternDateOrder) != 0 ? dateOrderOrDefault(pattern) : g_dateOrder.load(std::memory_order_relaxed);
    choice.separator = g_separator.load(std::memory_order_relaxed);
    choice.ownSeparators = (mask & kUsePatternSeparator) != 0;
    choice.twelveHour =
        (mask & kUsePattern12Hour) != 0 ? contains(pattern, 'h') : g_twelveHour.load(std::memory_order_relaxed);
    choice.decimal = false;
    Detail::formatFields(fieldsOf(*this), buffer, pattern, choice);
}

bool CTime::parse(const char* text, const char* pattern, int /*mask: accepted for symmetry with format*/) {
    pattern = patternOrStored(pattern);
    if (text == nullptr) {
        text = "";
    }

    // Up to six numbers: a run of digits (empty reads as 0), then whatever
    // separates it from the next one.
    int numbers[6] = {};
    int read = 0;
    const char* p = text;
    do {
        long long value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            value = value * 10 + (*p - '0');
            if (value > INT_MAX) {
                value = INT_MAX; // an absurdly long run saturates, and normalisation clamps it
            }
        }
        numbers[read++] = static_cast<int>(value);
        while (*p != '\0' && !(*p >= '0' && *p <= '9')) {
            ++p;
        }
    } while (*p != '\0' && read < 6);

    DateFormat order = ymd;
    if (dateOrderOfPattern(pattern, order)) {
        int* const targets[3][3] = {{&year, &month, &day}, {&month, &day, &year}, {&day, &month, &year}};
        for (int i = 0; i < 3; ++i) {
            *targets[order][i] = numbers[i];
        }
    }
    hour = numbers[3];
    minute = numbers[4];
    second = numbers[5];
    const bool twelveHour = contains(pattern, 'h');

    bool ok = true;
    if (read < 6) {
        VIRAD_REPORT(LOG_ERROR, "this:%p CTime parser input information is not enough.\n", static_cast<void*>(this));
        ok = false;
    } else if (twelveHour && hour > 12) {
        VIRAD_REPORT(LOG_ERROR, "this:%p CTime parser input hour format is not accord with real value format.\n",
                     static_cast<void*>(this));
        ok = false;
    } else if (twelveHour) {
        if (std::strstr(text, "PM") != nullptr) {
            hour = hour == 12 ? 12 : hour + 12;
        } else if (std::strstr(text, "AM") != nullptr) {
            hour = hour == 12 ? 0 : hour;
        } else {
            VIRAD_REPORT(LOG_ERROR, "this:%p 12 hours time point is unclear.\n", static_cast<void*>(this));
            ok = false;
        }
    }
    if (!ok) {
        year = month = day = hour = minute = second = 0;
        return false;
    }
    Detail::normalise(*this, true);
    return true;
}

void CTime::setFormatString(const char* pattern) {
    flex_string& stored = storedPattern();
    stored = pattern != nullptr ? pattern : "";
    const Detail::PatternSettings settings = Detail::analysePattern(stored.c_str());
    g_separator.store(settings.separator, std::memory_order_relaxed);
    g_twelveHour.store(settings.twelveHour, std::memory_order_relaxed);
    g_dateOrder.store(settings.dateOrder, std::memory_order_relaxed);
}

void CTime::setFormat(const flex_string& pattern) {
    setFormatString(pattern.c_str());
}

flex_string CTime::getFormat() {
    return storedPattern();
}

CTime::DateFormat CTime::getDateFormat() {
    return static_cast<DateFormat>(g_dateOrder.load(std::memory_order_relaxed));
}

bool CTime::get12Hour() {
    return g_twelveHour.load(std::memory_order_relaxed);
}

char CTime::getSeparator() {
    return g_separator.load(std::memory_order_relaxed);
}

} // namespace Virad
} // namespace Orvane
