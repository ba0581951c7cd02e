// The C level of the print path: the option flags, the line prefix, the
// console output with its colours, and the C-callable filter.
#include "Src/Devez3/PrintState.h"

#include "Src/Devez3/ClockInternal.h"
#include "Src/Platform/Console.h"
#include "Src/Platform/File.h"
#include "Src/Platform/Thread.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Virad {
namespace Detail {

std::atomic<int> g_printLevel{LOG_INFO};
std::atomic<int> g_moduleMode{2};
std::atomic<bool> g_lineStart{true};

namespace {

PrintOptions g_options = {};
unsigned char g_flags[kFlagCount] = {};

// Colour state: the attribute saved before the last change, and whether the
// console has been given it back.
std::atomic<std::uint16_t> g_savedAttribute{7};
std::atomic<bool> g_colorReset{true};

struct LevelStyle {
    const char* name;
    std::uint16_t attribute;
};

// Index 0 is unused; 6 is folded into 5 before anything reads this table.
// Each name carries the blank that separates it from the module.
const LevelStyle kLevelStyles[7] = {
    {"", 7}, {"fatal ", 5}, {"error ", 4}, {"warn ", 6}, {"info ", 2}, {"trace ", 7}, {"trace ", 7},
};

// Sets a console attribute. The standard output is flushed first so that
// text already written keeps its colour; without a terminal there is no
// colour to keep, so the flush is skipped.
void applyAttribute(std::uint16_t attribute) {
    if (Platform::standardOutputIsTerminal()) {
        std::fflush(stdout);
    }
    Platform::setConsoleTextAttribute(Platform::standardOutputHandle(), attribute);
}

// Appends the prefix's pieces within a fixed room, cutting what does not fit
// (the bounded formatting of printf's "%s" and "%0Nd", without its cost).
class PrefixWriter {
public:
    PrefixWriter(char* buffer, int room) : m_cursor(buffer), m_left(room), m_total(0) {}

    int length() const { return m_total; }

    void text(const char* s) { bytes(s, std::strlen(s)); }

    // A decimal number with at least `width` digits, zero-padded, like "%0*d".
    void number(int value, int width = 0) {
        char digits[16];
        char* end = digits + sizeof digits;
        char* p = end;
        unsigned int magnitude = value < 0 ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        const int count = static_cast<int>(end - p) + (value < 0 ? 1 : 0);
        if (value < 0) {
            bytes("-", 1);
        }
        for (int pad = count; pad < width; ++pad) {
            bytes("0", 1);
        }
        bytes(p, static_cast<std::size_t>(end - p));
    }

    void character(char c) { bytes(&c, 1); }

private:
    void bytes(const char* s, std::size_t count) {
        const std::size_t n = count < static_cast<std::size_t>(m_left) ? count : static_cast<std::size_t>(m_left);
        std::memcpy(m_cursor, s, n);
        m_cursor += n;
        m_left -= static_cast<int>(n);
        m_total += static_cast<int>(n);
        *m_cursor = '\0';
    }

    char* m_cursor;
    int m_left;
    int m_total;
};

// Builds the prefix into room characters of buffer (which holds room + 1).
int buildPrefix(char* buffer, int room, int level, const char* module, const char* file, const char* function, int line,
                const char* version, const SystemTimeEx& now) {
    const bool tagged = loadFlag(kTagged) != 0;
    const bool hideModule = loadFlag(kHideModule) != 0;
    const bool hideVersion = loadFlag(kHideVersion) != 0;
    const char* levelName = (level >= 1 && level <= 6) ? kLevelStyles[level].name : "";
    module = module != nullptr ? module : "";
    file = file != nullptr ? file : "";
    function = function != nullptr ? function : "";
    version = version != nullptr ? version : "";

    PrefixWriter out(buffer, room);
    out.text(tagged ? "[|T: " : "[");
    if (loadFlag(kShowDate)) {
        out.number(now.year, 4);
        out.character('-');
        out.number(now.month, 2);
        out.character('-');
        out.number(now.day, 2);
        out.character('T');
    }
    if (loadFlag(kHideTime)) {
        out.character(' ');
    } else {
        out.number(now.hour, 2);
        out.character(':');
        out.number(now.minute, 2);
        out.character(':');
        out.number(now.second, 2);
        if (loadFlag(kShowMilliseconds)) {
            out.character('.');
            out.number(now.millisecond, 3);
        }
        out.character(' ');
    }
    if (!loadFlag(kHideLevel)) {
        out.text(tagged ? "L:" : "");
        out.text(levelName);
        out.text(tagged ? "|" : "");
    }
    if (!hideModule) {
        out.text(tagged ? "[" : "");
        out.text(module);
        out.text(tagged ? "] " : "");
    }
    if (!hideVersion) {
        if (tagged) {
            out.text("[ver:");
            out.text(version);
            out.text("] ");
        } else if (version[0] != '\0' && std::strcmp(version, "Unknown") != 0) {
            out.character(':');
            out.text(version);
            out.character(' ');
        } else {
            out.character(' ');
        }
    } else if (!tagged && !hideModule) {
        out.character(' ');
    }
    if (!loadFlag(kHideThreadId)) {
        out.text(tagged ? "tid:" : "");
        out.number(static_cast<int>(Platform::currentThreadId()));
        out.character(' ');
    }
    if (!loadFlag(kHideFile)) {
        out.text(tagged ? "F:" : "");
        out.text(file);
        out.character(tagged ? '|' : ':');
    }
    if (!loadFlag(kHideLine)) {
        out.text(tagged ? "l:" : "");
        out.number(line);
        out.text(tagged ? "|" : "");
    }
    if (loadFlag(kShowFunction)) {
        out.text(tagged ? "f:" : " ");
        out.text(function);
        out.text(tagged ? "|" : "");
    }
    if (tagged) {
        out.text("m:");
    }
    out.character(']');
    return out.length();
}

} // namespace

unsigned char* optionFlags() {
    return g_flags;
}

unsigned char loadFlag(int index) {
    return loadByte(g_flags[index]);
}

PrintOptions& optionsRecord() {
    return g_options;
}

void setPrintFlag(int index, unsigned char value) {
    unsigned char* record = reinterpret_cast<unsigned char*>(&g_options);
    storeByte(record[index], value);
    storeByte(g_flags[index], value);
}

const char* fileNameOf(const char* path) {
    return Platform::fileNamePart(path);
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane

using namespace Orvane::Virad;
using namespace Orvane::Virad::Detail;

int Virad_logOptionControl(char* buffer, int room, int level, const char* module, const char* file,
                           const char* function, int line, const char* version, SystemTimeEx* time) {
    const SystemTimeEx now = currentTimeForPrint();
    if (time != nullptr) {
        *time = now;
    }
    if (buffer == nullptr || room < 0) {
        return -1;
    }
    if (!g_lineStart.load(std::memory_order_relaxed)) {
        return 0;
    }
    if (!loadFlag(kNoColor)) {
        const int styleLevel = (level >= 1 && level <= 6) ? level : 5;
        g_savedAttribute.store(Orvane::Platform::consoleTextAttribute(Orvane::Platform::standardOutputHandle()),
                               std::memory_order_relaxed);
        applyAttribute(kLevelStyles[styleLevel].attribute);
        g_colorReset.store(false, std::memory_order_relaxed);
    }
    return buildPrefix(buffer, room, level, module, file, function, line, version, now);
}

int Virad_print(int, const char* text) {
    if (text == nullptr) {
        return 0;
    }
    Orvane::Platform::debuggerOutput(text);
    std::fputs(text, stdout);
    return 0;
}

void Virad_resetcolor() {
    if (!g_lineStart.load(std::memory_order_relaxed)) {
        return;
    }
    if (loadFlag(kNoColor) && g_colorReset.load(std::memory_order_relaxed)) {
        return;
    }
    applyAttribute(g_savedAttribute.load(std::memory_order_relaxed));
    g_colorReset.store(true, std::memory_order_relaxed);
}

unsigned char* Virad_getPrintOption() {
    return optionFlags();
}

int Virad_logFilter(int level, const char* module, const char* file, const char* function, int line,
                    const char* version, const char* format, ...) {
    char buffer[kLineBufferSize];
    va_list args;
    va_start(args, format);
    const int length = composeLine(buffer, level, module, false, file, function, line, version, nullptr, format, args);
    va_end(args);
    if (length < 0) {
        return 0;
    }
    Virad_print(level, buffer);
    Virad_resetcolor();
    return length;
}
