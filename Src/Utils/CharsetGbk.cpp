// GBK (code page 936) with 16-bit Unicode and UTF-8, through the two-level
// tables generated from the published code page.
//
// GBK <-> UTF-8 are defined as two steps through 16-bit text; they run as one
// pass over the text that gives the same bytes and results, with no
// temporary buffer.
#include "utils/Charset.h"

#include "Src/Utils/Charset/CodePages.h"
#include "Src/Utils/Utf8Codec.h"

#include <cstring>

namespace Orvane {
namespace Utils {

namespace {

constexpr unsigned short kReplacement = 0xFFFD; // stands for a two-byte code without a character

// The code point of a pair, 0 when it has none; page is the lead byte's (not 0).
inline unsigned short pairToUnicode(unsigned page, unsigned char trail) {
    return trail >= Detail::kGbkTrailFirst ? Detail::kGbkToUnicode[page - 1][trail - Detail::kGbkTrailFirst] : 0;
}

// Reads one character of a terminated GBK text with remaining bytes left;
// returns the bytes it takes (1 or 2). A byte without a character reads as
// 0; an unmapped pair reads as U+FFFD and takes its second byte only when
// that byte is not ASCII.
inline int readGbk(const unsigned char* s, std::size_t remaining, unsigned short* unit) {
    const unsigned page = remaining > 1 ? Detail::kGbkLeadIndex[s[0]] : 0;
    if (page == 0) {
        *unit = Detail::kGbkSingleByte[s[0]];
        return 1;
    }
    *unit = pairToUnicode(page, s[1]);
    if (*unit != 0) {
        return 2;
    }
    *unit = kReplacement;
    return s[1] >= 0x80 ? 2 : 1;
}

// uni2char's rules without the argument checks.
inline int writeGbk(unsigned short uni, unsigned char* out, int room) {
    const unsigned page = Detail::kUnicodeToGbkIndex[uni >> 8];
    if (page == 0) {
        // Without a page only U+0001..U+00FF have a code: the byte of the same value.
        if (uni > 0xFF || uni == 0) {
            return -1;
        }
        out[0] = static_cast<unsigned char>(uni);
        return 1;
    }
    const unsigned short code = Detail::kUnicodeToGbk[page - 1][uni & 0xFF];
    if (code < 0x100) {
        if (code == 0) {
            return -1;
        }
        out[0] = static_cast<unsigned char>(code); // the euro sign's single byte
        return 1;
    }
    if (room < 2) {
        return -1;
    }
    out[0] = static_cast<unsigned char>(code >> 8);
    out[1] = static_cast<unsigned char>(code);
    return 2;
}

// Appends one unit to GBK output of outSize bytes: 1 on success, 0 when its
// bytes do not fit, -1 when GBK has no code for it.
inline int appendGbk(unsigned short unit, char* out, int& written, int outSize) {
    unsigned char bytes[2];
    const int length = unit < 0x80 ? 1 : writeGbk(unit, bytes, 2);
    if (length < 0) {
        return -1;
    }
    if (length > outSize - written) {
        return 0;
    }
    if (unit < 0x80) {
        out[written++] = static_cast<char>(unit);
    } else {
        std::memcpy(out + written, bytes, static_cast<std::size_t>(length));
        written += length;
    }
    return 1;
}

// Clears what is left of an output buffer after the bytes written.
inline void clearRest(void* out, std::size_t written, std::size_t size) {
    if (size > written) {
        std::memset(static_cast<char*>(out) + written, 0, size - written);
    }
}

} // namespace

int uni2char(unsigned short uni, unsigned char* out, int room) {
    return out == nullptr || room < 1 ? -1 : writeGbk(uni, out, room);
}

int char2uni(const unsigned char* s, int n, unsigned short* uni) {
    if (s == nullptr || n < 1) {
        return -1;
    }
    unsigned short point = Detail::kGbkSingleByte[s[0]];
    int consumed = 1;
    const unsigned page = n >= 2 ? Detail::kGbkLeadIndex[s[0]] : 0;
    if (page != 0 && s[1] != 0) {
        point = pairToUnicode(page, s[1]);
        if (point == 0) {
            return -1;
        }
        consumed = 2;
    }
    if (uni != nullptr) {
        *uni = point;
    }
    return consumed;
}

int UniTGb2312(unsigned short* uni, int uniCount, char* out, int outSize) {
    if (uni == nullptr || out == nullptr) {
        return 0;
    }
    int taken = 0;
    int written = 0;
    int appended = 1;
    for (; taken < uniCount && uni[taken] != 0; ++taken) {
        appended = appendGbk(uni[taken], out, written, outSize);
        if (appended <= 0) {
            break;
        }
    }
    clearRest(out, static_cast<std::size_t>(written), outSize > 0 ? static_cast<std::size_t>(outSize) : 0);
    return appended < 0 ? -1 : taken;
}

int Gb2312ToUni(char* gbk, unsigned short* out, int outCount) {
    if (gbk == nullptr || out == nullptr) {
        return 0;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(gbk);
    const std::size_t length = std::strlen(gbk);
    std::size_t at = 0;
    int written = 0;
    while (at < length && written < outCount) {
        at += static_cast<std::size_t>(readGbk(s + at, length - at, &out[written++]));
    }
    const std::size_t count = outCount > 0 ? static_cast<std::size_t>(outCount) : 0;
    clearRest(out, static_cast<std::size_t>(written) * sizeof *out, count * sizeof *out);
    return written;
}

int Gb2312TUtf8(char* gbk, unsigned char* utf8, int utf8Size) {
    if (gbk == nullptr || utf8 == nullptr || gbk[0] == '\0') {
        return 0;
    }
    // The 16-bit text ends at its first unit 0; a character that does not fit
    // still costs one byte of room. While room for three bytes (the longest
    // character) is left, none can be dropped, so that part runs unchecked.
    const unsigned char* s = reinterpret_cast<const unsigned char*>(gbk);
    const unsigned char* const end = s + std::strlen(gbk);
    unsigned char* out = utf8;
    unsigned short unit = 1;
    int room = utf8Size;
    while (s < end && room >= 3) {
        unit = *s;
        if (unit < 0x80) {
            *out++ = static_cast<unsigned char>(unit);
            ++s;
            --room;
            continue;
        }
        s += readGbk(s, static_cast<std::size_t>(end - s), &unit);
        if (unit == 0) {
            break;
        }
        const int bytes = unit < 0x800 ? 2 : 3;
        Detail::utf8Encode(out, unit, bytes);
        out += bytes;
        room -= bytes;
    }
    while (s < end && room > 0 && unit != 0) {
        s += readGbk(s, static_cast<std::size_t>(end - s), &unit);
        const int bytes = Detail::utf8Length(unit);
        if (unit == 0) {
            break;
        }
        if (bytes > room) {
            --room;
            continue;
        }
        Detail::utf8Encode(out, unit, bytes);
        out += bytes;
        room -= bytes;
    }
    const int written = static_cast<int>(out - utf8);
    clearRest(utf8, static_cast<std::size_t>(written), utf8Size > 0 ? static_cast<std::size_t>(utf8Size) : 0);
    return written;
}

int utf8TGb2312(unsigned char* utf8, char* gbk, int utf8Length, int gbkSize) {
    if (utf8 == nullptr || gbk == nullptr || utf8Length < 1 || utf8[0] == 0) {
        return 0;
    }
    // Invalid bytes are skipped one at a time; a unit 0 ends the 16-bit text.
    // ASCII and three-byte sequences (Chinese) take the short ways.
    const unsigned char* s = utf8;
    int n = utf8Length;
    int taken = 0;
    int written = 0;
    int appended = 1;
    while (n > 0 && *s != 0) {
        unsigned int value = *s;
        int length = 1;
        if (value >= 0x80) {
            if ((value & 0xF0) == 0xE0 && n >= 3 && ((s[1] ^ 0x80) | (s[2] ^ 0x80)) < 0x40) {
                value = (value & 0x0F) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
                length = value >= 0x800 ? 3 : -1;
            } else {
                length = Detail::utf8Decode(s, n, &value);
            }
            if (length < 0) {
                ++s;
                --n;
                continue;
            }
        }
        s += length;
        n -= length;
        const unsigned short unit = static_cast<unsigned short>(value);
        if (unit == 0 || (appended = appendGbk(unit, gbk, written, gbkSize)) <= 0) {
            break;
        }
        ++taken;
    }
    clearRest(gbk, static_cast<std::size_t>(written), gbkSize > 0 ? static_cast<std::size_t>(gbkSize) : 0);
    return appended < 0 ? -1 : taken;
}

} // namespace Utils
} // namespace Orvane
