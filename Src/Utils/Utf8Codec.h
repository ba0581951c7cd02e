// The six-byte UTF-8 form, one character at a time, shared by the
// conversions. Inline: these sit in every conversion's inner loop.
#ifndef DOZUV2_UTILS_UTF8CODEC_H
#define DOZUV2_UTILS_UTF8CODEC_H

namespace Orvane {
namespace Utils {
namespace Detail {

// Bytes the value needs, 1 to 6; 0 for values of 0x80000000 and above.
inline int utf8Length(unsigned int value) {
    return value < 0x80         ? 1
           : value < 0x800      ? 2
           : value < 0x10000    ? 3
           : value < 0x200000   ? 4
           : value < 0x4000000  ? 5
           : value < 0x80000000 ? 6
                                : 0;
}

// Writes the value in exactly length bytes (as utf8Length gave).
inline void utf8Encode(unsigned char* out, unsigned int value, int length) {
    static constexpr unsigned char kLeadMarker[7] = {0, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    for (int i = length - 1; i > 0; --i) {
        out[i] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    out[0] = static_cast<unsigned char>(kLeadMarker[length] | value);
}

// The sequence length a lead byte announces, or 0 for a byte that leads none
// (a continuation byte, 0xFE, 0xFF).
inline int utf8Announced(unsigned char lead) {
    return lead < 0x80   ? 1
           : lead < 0xC0 ? 0
           : lead < 0xE0 ? 2
           : lead < 0xF0 ? 3
           : lead < 0xF8 ? 4
           : lead < 0xFC ? 5
           : lead < 0xFE ? 6
                         : 0;
}

// Decodes the sequence at s within n bytes into its full value. Returns its
// length, or -1 when the lead byte leads none, a continuation byte is not
// 10xxxxxx, the sequence is cut by n, or the form is overlong.
inline int utf8Decode(const unsigned char* s, int n, unsigned int* value) {
    static constexpr unsigned int kLargest[6] = {0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};
    const int length = n > 0 ? utf8Announced(s[0]) : 0;
    if (length == 0 || length > n) {
        return -1;
    }
    unsigned int accumulated = length == 1 ? s[0] : s[0] & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned int next = s[i] ^ 0x80u;
        if (next > 0x3F) {
            return -1;
        }
        accumulated = accumulated << 6 | next;
    }
    if (length > 1 && accumulated <= kLargest[length - 2]) {
        return -1;
    }
    *value = accumulated;
    return length;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
