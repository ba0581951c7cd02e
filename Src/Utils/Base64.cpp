// Base64. Encoding takes 12 bits at a time through a table of character
// pairs; decoding maps each character through a table in which 0x80 marks
// the bytes outside the alphabet, and never reads past the first of them.
// The tables are computed at compile time.
#include "utils/Base64.h"

#include <cstdint>
#include <cstring>

namespace Orvane {
namespace Utils {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kOutside = 0x80;

struct Base64Tables {
    char pairs[4096][2];       // the two characters of 12 bits
    unsigned char values[256]; // the value of a character, or kOutside
};

constexpr Base64Tables makeTables() {
    Base64Tables t{};
    for (unsigned v = 0; v < 4096; ++v) {
        t.pairs[v][0] = kAlphabet[v >> 6];
        t.pairs[v][1] = kAlphabet[v & 63];
    }
    for (unsigned c = 0; c < 256; ++c) {
        t.values[c] = kOutside;
    }
    for (unsigned v = 0; v < 64; ++v) {
        t.values[static_cast<unsigned char>(kAlphabet[v])] = static_cast<unsigned char>(v);
    }
    return t;
}

constexpr Base64Tables kTables = makeTables();

// The number of leading characters that belong to the alphabet.
std::size_t alphabetRun(const char* in) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
    std::size_t n = 0;
    while (kTables.values[p[n]] != kOutside) {
        ++n;
    }
    return n;
}

// Signed 32-bit arithmetic that wraps instead of overflowing.
int wrap32(std::int64_t value) {
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

} // namespace

std::size_t base64EncodeLenEx(std::size_t length) {
    return (length + 2) / 3 * 4 + 1;
}

int base64EncodeLen(int length) {
    const int groups = wrap32(std::int64_t{length} + 2) / 3;
    return wrap32(std::int64_t{wrap32(std::int64_t{groups} * 4)} + 1);
}

std::size_t base64EncodeEx(char* out, const char* in, std::size_t length) {
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    char* dst = out;
    for (; length >= 3; length -= 3, src += 3, dst += 4) {
        const std::uint32_t bits = (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8) | src[2];
        std::memcpy(dst, kTables.pairs[bits >> 12], 2);
        std::memcpy(dst + 2, kTables.pairs[bits & 0xFFF], 2);
    }
    if (length != 0) {
        const std::uint32_t bits = (std::uint32_t{src[0]} << 16) | (length == 2 ? std::uint32_t{src[1]} << 8 : 0);
        std::memcpy(dst, kTables.pairs[bits >> 12], 2);
        dst[2] = length == 2 ? kAlphabet[(bits >> 6) & 63] : '=';
        dst[3] = '=';
        dst += 4;
    }
    *dst = '\0';
    return static_cast<std::size_t>(dst - out) + 1;
}

int base64Encode(char* out, const char* in, int length) {
    if (length < 1) {
        return 0;
    }
    return static_cast<int>(base64EncodeEx(out, in, static_cast<std::size_t>(length)));
}

std::size_t base64DecodeLenEx(const char* in) {
    return (alphabetRun(in) + 3) / 4 * 3 + 1;
}

int base64DecodeLen(const char* in) {
    return static_cast<int>(base64DecodeLenEx(in));
}

std::size_t base64DecodeEx(char* out, const char* in) {
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(out);
    const unsigned char* values = kTables.values;
    for (;;) {
        // Each character is looked at only once the one before it belonged
        // to the alphabet, so the terminator is never passed.
        const unsigned a = values[src[0]];
        if (a == kOutside) {
            break;
        }
        const unsigned b = values[src[1]];
        if (b == kOutside) {
            break; // a single leftover character gives nothing
        }
        const unsigned c = values[src[2]];
        if (c == kOutside) {
            *dst++ = static_cast<unsigned char>((a << 2) | (b >> 4));
            break;
        }
        const unsigned d = values[src[3]];
        if (d == kOutside) {
            *dst++ = static_cast<unsigned char>((a << 2) | (b >> 4));
            *dst++ = static_cast<unsigned char>((b << 4) | (c >> 2));
            break;
        }
        dst[0] = static_cast<unsigned char>((a << 2) | (b >> 4));
        dst[1] = static_cast<unsigned char>((b << 4) | (c >> 2));
        dst[2] = static_cast<unsigned char>((c << 6) | d);
        dst += 3;
        src += 4;
    }
    *dst = '\0';
    return static_cast<std::size_t>(dst - reinterpret_cast<unsigned char*>(out));
}

int base64Decode(char* out, const char* in) {
    return static_cast<int>(base64DecodeEx(out, in));
}

} // namespace Utils
} // namespace Orvane
