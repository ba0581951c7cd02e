// The pattern language of calendar times: formatting fields under a pattern
// and reading the settings a pattern implies.
#include "Src/Base/TimePattern.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Base {

const char kDateOrderDefaulted[] = "setFormat dateFormat is invalid,set default separator: ymd \n";

namespace {

const char kSeparatorDefaulted[] = "setFormat separator is invalid,set default separator: - \n";

bool contains(const char* text, char c) {
    return std::strchr(text, c) != nullptr;
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

} // namespace

bool dateOrderOfPattern(const char* pattern, PatternDateOrder& order) {
    const char* y = std::strchr(pattern, 'y');
    const char* m = std::strchr(pattern, 'M');
    const char* d = std::strchr(pattern, 'd');
    if (y == nullptr || m == nullptr || d == nullptr) {
        return false;
    }
    if (y < m && m < d) {
        order = kYearMonthDay;
    } else if (m < d && d < y) {
        order = kMonthDayYear;
    } else if (d < m && m < y) {
        order = kDayMonthYear;
    } else {
        return false;
    }
    return true;
}

PatternSettings analysePattern(const char* text) {
    PatternSettings settings{'-', contains(text, 'h'), kYearMonthDay, {nullptr, nullptr}};
    if (contains(text, '.')) {
        settings.separator = '.';
    } else if (contains(text, '/')) {
        settings.separator = '/';
    } else if (!contains(text, '-')) {
        settings.problems[0] = kSeparatorDefaulted;
    }
    if (!dateOrderOfPattern(text, settings.dateOrder)) {
        settings.dateOrder = kYearMonthDay;
        settings.problems[1] = kDateOrderDefaulted;
    }
    return settings;
}

void formatFields(const PatternFields& fields, char* buffer, const char* pattern, const FormatChoice& choice) {
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

} // namespace Base
} // namespace Orvane
