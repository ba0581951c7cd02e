// UTF-8 with 16-bit Unicode and UCS-4, Windows-1252 both ways, and the
// single-byte code pages to UTF-8. GBK lives in CharsetGbk.cpp.
#include "utils/Charset.h"

#include "Src/Common/Report.h"
#include "Src/Utils/Charset/CodePages.h"
#include "Src/Utils/Utf8Codec.h"

#include <cstring>

namespace Orvane {
namespace Utils {

using Detail::utf8Announced;
using Detail::utf8Decode;
using Detail::utf8Encode;
using Detail::utf8Length;

namespace {

// Converts single-byte text through its packed UTF-8 table a chunk at a time:
// every byte stores three bytes into a staging buffer and moves on by its
// character's length (0 skips it), and only what a chunk produced is copied
// out, so nothing past the output is touched. Stops before a chunk that does
// not fit in room. With stopAtUnmapped the first byte without a character
// other than 0 ends the text, and byte 0 gives one 0 byte. Returns the bytes
// written; taken receives the input bytes converted.
template <bool stopAtUnmapped>
int convertChunks(const unsigned int* packed, const unsigned char* in, int inLength, unsigned char* out, int room,
                  int& taken) {
    constexpr int kChunk = 256;
    unsigned char staged[kChunk * 3];
    int written = 0;
    for (taken = 0; taken < inLength;) {
        const int count = inLength - taken < kChunk ? inLength - taken : kChunk;
        int produced = 0;
        int i = 0;
        for (; i < count; ++i) {
            const unsigned char byte = in[taken + i];
            const unsigned int entry = packed[byte];
            int length = static_cast<int>(entry >> 24);
            if (stopAtUnmapped && length == 0) {
                if (byte != 0) {
                    break;
                }
                length = 1;
            }
            staged[produced] = static_cast<unsigned char>(entry);
            staged[produced + 1] = static_cast<unsigned char>(entry >> 8);
            staged[produced + 2] = static_cast<unsigned char>(entry >> 16);
            produced += length;
        }
        if (produced > room - written) {
            break;
        }
        std::memcpy(out + written, staged, static_cast<std::size_t>(produced));
        written += produced;
        taken += i;
        if (i < count) {
            break;
        }
    }
    return written;
}

// Converts a single-byte page to UTF-8 with the family's rules: whole chunks
// while they fit, then character by character.
int singleByteToUtf8(const unsigned short* table, const unsigned int* packed, unsigned char* out, int& outSize,
                     const unsigned char* in, int& inLength) {
    if (out == nullptr || in == nullptr || inLength < 1 || outSize < inLength) {
        return -1;
    }
    int taken = 0;
    int written = convertChunks<false>(packed, in, inLength, out, outSize, taken);
    for (; taken < inLength; ++taken) {
        const unsigned int point = table[in[taken]];
        if (point == 0) {
            continue;
        }
        const int length = utf8Length(point);
        if (length > outSize - written) {
            break;
        }
        utf8Encode(out + written, point, length);
        written += length;
    }
    inLength = taken;
    outSize = written;
    return 0;
}

// The UTF-8 size of Windows-1252 text: the first byte without a character
// ends the mapping, and it and every later byte count as one 0 byte.
int cp1252Size(const unsigned char* in, int inLength) {
    int needed = 0;
    int mapped = 0;
    for (; mapped < inLength; ++mapped) {
        const int length = static_cast<int>(Detail::kCp1252Utf8[in[mapped]] >> 24);
        if (length == 0 && in[mapped] != 0) {
            break;
        }
        needed += length == 0 ? 1 : length;
    }
    return needed + inLength - mapped;
}

} // namespace

// ---- UTF-8 and 16-bit Unicode ----

int utf8_mbtowc(unsigned short* wc, const unsigned char* s, int n) {
    unsigned int value = 0;
    const int length = s != nullptr ? utf8Decode(s, n, &value) : -1;
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
        const int length = utf8Decode(s, n, &value);
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
    const int length = utf8Length(wc);
    if (length > maxlen) {
        return -1;
    }
    utf8Encode(s, wc, length);
    return length;
}

int utf8_wcstombs(unsigned char* out, const unsigned short* wcs, int maxlen) {
    if (out == nullptr || wcs == nullptr) {
        return 0;
    }
    int written = 0;
    for (; *wcs != 0 && maxlen > 0; ++wcs) {
        const int length = utf8Length(*wcs);
        if (length > maxlen) {
            --maxlen; // a character that does not fit still costs one byte
            continue;
        }
        utf8Encode(out + written, *wcs, length);
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
            const int announced = utf8Announced(byte);
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
        VIRAD_REPORT(Virad::LOG_WARN, "ucs4 is invalid\n");
        return 0;
    }
    if (utf8 == nullptr) {
        VIRAD_REPORT(Virad::LOG_WARN, "utf8 is invalid\n");
        return 0;
    }
    if (ucs4Bytes % 4 != 0) {
        VIRAD_REPORT(Virad::LOG_WARN, "UCS4ToUtf8 ucs4Len error\n");
        return 0;
    }
    int written = 0;
    for (int offset = 0; offset < ucs4Bytes; offset += 4) {
        unsigned int code = 0;
        std::memcpy(&code, ucs4 + offset, sizeof code);
        const int length = utf8Length(code);
        if (length == 0) {
            continue;
        }
        if (length > utf8Size - written) {
            VIRAD_REPORT(Virad::LOG_WARN, "UCS4ToUtf8 utf8Size error\n");
            break;
        }
        utf8Encode(utf8 + written, code, length);
        written += length;
    }
    return written;
}

// ---- Windows-1252 ----

int cp1252_to_utf8(unsigned char* out, int outSize, const unsigned char* in, int inLength) {
    if (in == nullptr || inLength < 1) {
        return -1;
    }
    // No byte needs more than three bytes: with that much room the size is
    // not counted first.
    if (out == nullptr || outSize / 3 < inLength) {
        const int needed = cp1252Size(in, inLength);
        if (out == nullptr || outSize < needed) {
            return needed;
        }
    }
    int taken = 0;
    const int written = convertChunks<true>(Detail::kCp1252Utf8, in, inLength, out, outSize, taken);
    std::memset(out + written, 0, static_cast<std::size_t>(inLength - taken));
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
        const int length = utf8Decode(in + read, inLength - read, &point);
        if (length < 0) {
            break;
        }
        read += length;
        // Most code points below 0x100 stand for the byte of the same value;
        // only bytes 0x80..0x9F stand for other code points, so the rest are
        // looked for among those 32.
        int byte = point < 0x100 && Detail::kCp1252[point] == point ? static_cast<int>(point) : -1;
        for (int candidate = 0x80; byte < 0 && candidate < 0xA0; ++candidate) {
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
        return singleByteToUtf8(Detail::table, Detail::table##Utf8, out, outSize, in, inLength);                       \
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
