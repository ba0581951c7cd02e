// The text forms of the calendar time value: the process-wide format
// settings, formatting through the pattern language and parsing back.
#include "virad/CTime.h"

#include "Src/Base/NeverDestroyed.h"
#include "Src/Base/TimePattern.h"
#include "Src/Common/Report.h"
#include "Src/Devez3/Calendar.h"

#include <atomic>
#include <climits>
#include <cstring>

namespace Orvane {
namespace Virad {

static_assert(int{CTime::ymd} == int{Base::kYearMonthDay} && int{CTime::mdy} == int{Base::kMonthDayYear} &&
                  int{CTime::dmy} == int{Base::kDayMonthYear},
              "the date orders are the pattern language's");

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

// The date order of the pattern, or ymd with the report every caller that
// falls back to it gives.
Base::PatternDateOrder dateOrderOrDefault(const char* pattern) {
    Base::PatternDateOrder order = Base::kYearMonthDay;
    if (!Base::dateOrderOfPattern(pattern, order)) {
        VIRAD_REPORT(LOG_ERROR, "%s", Base::kDateOrderDefaulted);
    }
    return order;
}

Base::PatternFields fieldsOf(const CTime& time) {
    return Base::PatternFields{time.year, time.month, time.day, time.hour, time.minute, time.second};
}

} // namespace

void CTime::format(char* buffer, const char* pattern, int mask) const {
    if (buffer == nullptr) {
        VIRAD_REPORT(LOG_ERROR, "buf is NULL!!\n");
        return;
    }
    pattern = patternOrStored(pattern);
    Base::FormatChoice choice;
    choice.dateOrder = (mask & kUsePatternDateOrder) != 0
                           ? dateOrderOrDefault(pattern)
                           : static_cast<Base::PatternDateOrder>(g_dateOrder.load(std::memory_order_relaxed));
    choice.separator = g_separator.load(std::memory_order_relaxed);
    choice.ownSeparators = (mask & kUsePatternSeparator) != 0;
    choice.twelveHour =
        (mask & kUsePattern12Hour) != 0 ? contains(pattern, 'h') : g_twelveHour.load(std::memory_order_relaxed);
    choice.decimal = false;
    Base::formatFields(fieldsOf(*this), buffer, pattern, choice);
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

    Base::PatternDateOrder order = Base::kYearMonthDay;
    if (Base::dateOrderOfPattern(pattern, order)) {
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
    const Base::PatternSettings settings = Base::analysePattern(stored.c_str());
    for (const char* problem : settings.problems) {
        if (problem != nullptr) {
            VIRAD_REPORT(LOG_ERROR, "%s", problem);
        }
    }
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
