// UTF-8 with 16-bit Unicode and UCS-4, Windows-1252 both ways, and the
// single-byte code pages to UTF-8. GBK lives in CharsetGbk.cpp.
#include "utils/Charset.h"

#include "Common/Report.h"
#include "Utils/Charset/CodePages.h"

#include <cstring>

namespace Orvane {
namespace Utils {

namespace {

// The six-byte form: per length, the lead byte's marker and the largest value.
constexpr unsigned char kLeadMarker[7] = {0, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
constexpr unsigned int kLargest[7] = {0, 0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};

// Bytes the value needs, 1 to 6; 0 for values of 0x80000000 and above.
inline int encodedLength(unsigned int value) {
    int length = 1;
    while (length <= 6 && value > kLargest[length]) {
        ++length;
    }
    return length <= 6 ? length : 0;
}

// Writes the value in exactly length bytes (as encodedLength gave).
inline void encode(unsigned char* out, unsigned int value, int length) {
    if (length == 1) {
        out[0] = static_cast<unsigned char>(value);
        return;
    }
    for (int i = length - 1; i > 0; --i) {
        out[i] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    out[0] = static_cast<unsigned char>(kLeadMarker[length] | value);
}

// The sequence length a lead byte announces, or 0 for a byte that leads none
// (a continuation byte, 0xFE, 0xFF).
inline int announcedLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    for (int length = 2; length <= 6; ++length) {
        const unsigned char classMask = static_cast<unsigned char>(0xFF << (7 - length));
        if ((lead & classMask) == kLeadMarker[length]) {
            return length;
        }
    }
    return 0;
}

// Decodes the sequence at s within n bytes into its full value. Returns its
// length, or -1 when the lead byte leads none, a continuation byte is not
// 10xxxxxx, the sequence is cut by n, or the form is overlong.
int decode(const unsigned char* s, int n, unsigned int* value) {
    if (s == nullptr || n < 1) {
        return -1;
    }
    const int length = announcedLength(s[0]);
    if (length == 0 || length > n) {
        return -1;
    }
    if (length == 1) {
        *value = s[0];
        return 1;
    }
    unsigned int accumulated = s[0] & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned int next = s[i] ^ 0x80u;
        if ((next & 0xC0u) != 0) {
            return -1;
        }
        accumulated = accumulated << 6 | next;
    }
    if (accumulated <= kLargest[length - 1]) {
        return -1;
    }
    *value = accumulated;
    return length;
}

// Converts a single-byte page to UTF-8 with the family's rules.
int singleByteToUtf8(const unsigned short* table, unsigned char* out, int& outSize, const unsigned char* in,
                     int& inLength) {
    if (out == nullptr || in == nullptr || inLength < 1 || outSize < inLength) {
        return -1;
    }
    int taken = 0;
    int written = 0;
    for (; taken < inLength; ++taken) {
        const unsigned int point = table[in[taken]];
        if (point == 0) {
            continue;
        }
        const int length = encodedLength(point);
        if (length > outSize - written) {
            break;
        }
        encode(out + written, point, length);
        written += length;
    }
    inLength = taken;
    outSize = written;
    return 0;
}

} // namespace

// ---- UTF-8 and 16-bit Unicode ----

int utf8_mbtowc(unsigned short* wc, const unsigned char* s, int n) {
    unsigned int value = 0;
    const int length = decode(s, n, &value);
    if (length > 0 && wc != nullptr) {
        *wc = static_cast<unsigned short>(value);
    }
    return length;
}

int utf8_mbstowcs(unsigned short* out, const unsigned char* s, int n) {
    if (out == nullptr || s == nullptr) {
        return 0;
    }
    int units = 0;
    while (n > 0 && *s != 0) {
        if (*s < 0x80) {
            out[units++] = *s++;
            --n;
            continue;
        }
        unsigned int value = 0;
        const int length = decode(s, n, &value);
        if (length > 0) {
            out[units++] = static_cast<unsigned short>(value);
            s += length;
            n -= length;
        } else {
            ++s;
            --n;
        }
    }
    return units;
}

int utf8_wctomb(unsigned char* s, unsigned short wc, int maxlen) {
    if (s == nullptr) {
        return 0;
    }
    const int length = encodedLength(wc);
    if (length > maxlen) {
        return -1;
    }
    encode(s, wc, length);
    return length;
}

int utf8_wcstombs(unsigned char* out, const unsigned short* wcs, int maxlen) {
    if (out == nullptr || wcs == nullptr) {
        return 0;
    }
    int written = 0;
    for (; *wcs != 0 && maxlen > 0; ++wcs) {
        const int length = encodedLength(*wcs);
        if (length > maxlen) {
            --maxlen; // a character that does not fit still costs one byte
            continue;
        }
        encode(out + written, *wcs, length);
        written += length;
        maxlen -= length;
    }
    return written;
}

unsigned short GetUnicodeFromUtf8(const char* s, int* length) {
    int ignored = 0;
    int& count = length != nullptr ? *length : ignored;
    count = 0;
    if (s == nullptr) {
        return 0;
    }
    unsigned int value = 0;
    int missing = 0; // continuation bytes still expected after the lead byte
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s);; ++p) {
        const unsigned char byte = *p;
        if (byte == 0) {
            return 0;
        }
        const bool continuation = (byte & 0xC0) == 0x80;
        if (count == 0) {
            const int announced = announcedLength(byte);
            if (continuation || announced == 0 || announced > 3) {
                return 0;
            }
            count = announced;
            missing = announced - 1;
            value = byte & (announced == 1 ? 0x7Fu : 0x7Fu >> announced);
        } else if (continuation) {
            value = value << 6 | (byte & 0x3Fu);
            --missing;
        } else {
            return static_cast<unsigned short>(value); // a further lead byte cuts the character short
        }
        if (missing == 0) {
            return static_cast<unsigned short>(value);
        }
    }
}

int UCS4ToUtf8(char* ucs4, int ucs4Bytes, unsigned char* utf8, int utf8Size) {
    if (ucs4 == nullptr) {
        VIRAD_REPORT(3, "ucs4 is invalid\n");
        return 0;
    }
    if (utf8 == nullptr) {
        VIRAD_REPORT(3, "utf8 is invalid\n");
        return 0;
    }
    if (ucs4Bytes % 4 != 0) {
        VIRAD_REPORT(3, "UCS4ToUtf8 ucs4Len error\n");
        return 0;
    }
    int written = 0;
    for (int offset = 0; offset < ucs4Bytes; offset += 4) {
        unsigned int code = 0;
        std::memcpy(&code, ucs4 + offset, sizeof code);
        const int length = encodedLength(code);
        if (length == 0) {
            continue;
        }
        if (length > utf8Size - written) {
            VIRAD_REPORT(3, "UCS4ToUtf8 utf8Size error\n");
            break;
        }
        encode(utf8 + written, code, length);
        written += length;
    }
    return written;
}

// ---- Windows-1252 ----

int cp1252_to_utf8(unsigned char* out, int outSize, const unsigned char* in, int inLength) {
    if (in == nullptr || inLength < 1) {
        return -1;
    }
    // The first byte without a character ends the mapping: it and every later
    // byte count as code point 0, one 0 byte each.
    int mapped = 0;
    int needed = 0;
    for (; mapped < inLength; ++mapped) {
        const unsigned int point = Detail::kCp1252[in[mapped]];
        if (point == 0 && in[mapped] != 0) {
            break;
        }
        needed += encodedLength(point);
    }
    needed += inLength - mapped;
    if (out == nullptr || outSize < needed) {
        return needed;
    }
    unsigned char* at = out;
    for (int i = 0; i < mapped; ++i) {
        const unsigned int point = Detail::kCp1252[in[i]];
        const int length = encodedLength(point);
        encode(at, point, length);
        at += length;
    }
    std::memset(at, 0, static_cast<std::size_t>(inLength - mapped));
    return 0;
}

int utf8_to_cp1252(const unsigned char* in, int inLength, unsigned char* out, int outSize) {
    if (in == nullptr || out == nullptr) {
        return 0;
    }
    int read = 0;
    int written = 0;
    while (read < inLength && written < outSize) {
        unsigned int point = 0;
        const int length = decode(in + read, inLength - read, &point);
        if (length < 0) {
            break;
        }
        read += length;
        // Most code points below 0x100 stand for the byte of the same value;
        // the rest are looked for among all 256 bytes.
        int byte = point < 0x100 && Detail::kCp1252[point] == point ? static_cast<int>(point) : -1;
        for (int candidate = 0x80; byte < 0 && candidate < 0x100; ++candidate) {
            if (Detail::kCp1252[candidate] == point) {
                byte = candidate;
            }
        }
        if (byte >= 0) {
            out[written++] = static_cast<unsigned char>(byte);
        }
    }
    return written;
}

// ---- Single-byte pages to UTF-8 ----

#define DOZUV2_SINGLE_BYTE_PAGE(function, table)                                                                       \
    int function(unsigned char* out, int& outSize, const unsigned char* in, int& inLength) {                           \
        return singleByteToUtf8(Detail::table, out, outSize, in, inLength);                                            \
    }

DOZUV2_SINGLE_BYTE_PAGE(cp862_to_utf8, kCp862)
DOZUV2_SINGLE_BYTE_PAGE(cp874_to_utf8, kCp874)
DOZUV2_SINGLE_BYTE_PAGE(cp1250_to_utf8, kCp1250)
DOZUV2_SINGLE_BYTE_PAGE(cp1251_to_utf8, kCp1251)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_1_to_utf8, kIso8859_1)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_2_to_utf8, kIso8859_2)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_3_to_utf8, kIso8859_3)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_4_to_utf8, kIso8859_4)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_5_to_utf8, kIso8859_5)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_6_to_utf8, kIso8859_6)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_7_to_utf8, kIso8859_7)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_8_to_utf8, kIso8859_8)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_9_to_utf8, kIso8859_9)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_10_to_utf8, kIso8859_10)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_13_to_utf8, kIso8859_13)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_14_to_utf8, kIso8859_14)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_15_to_utf8, kIso8859_15)
DOZUV2_SINGLE_BYTE_PAGE(iso8859_16_to_utf8, kIso8859_16)

#undef DOZUV2_SINGLE_BYTE_PAGE

} // namespace Utils
} // namespace Orvane
