// The buffering shared by the 64-byte-block digests (MD5, SHA-1): whole
// blocks go straight to the compression function, the rest waits in the
// buffer; the closing padding appends 0x80, zeros and the message length in
// bits in the digest's byte order.
#ifndef DOZUV2_UTILS_DIGESTSTREAM_H
#define DOZUV2_UTILS_DIGESTSTREAM_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Orvane {
namespace Utils {
namespace Detail {

// Runs the compression function over whole 64-byte blocks.
using CompressBlocks = void (*)(std::uint32_t* state, const unsigned char* data, std::size_t blocks);

struct DigestStream {
    std::uint64_t length;     // bytes fed so far
    unsigned char buffer[64]; // the incomplete block
};

inline void digestFeed(DigestStream& stream, std::uint32_t* state, CompressBlocks compress, const unsigned char* data,
                       std::size_t length) {
    std::size_t used = static_cast<std::size_t>(stream.length % 64);
    stream.length += length;
    if (used != 0) {
        const std::size_t take = length < 64 - used ? length : 64 - used;
        std::memcpy(stream.buffer + used, data, take);
        data += take;
        length -= take;
        used += take;
        if (used < 64) {
            return;
        }
        compress(state, stream.buffer, 1);
    }
    if (length >= 64) {
        compress(state, data, length / 64);
        data += length - length % 64;
        length %= 64;
    }
    std::memcpy(stream.buffer, data, length);
}

inline void digestPad(DigestStream& stream, std::uint32_t* state, CompressBlocks compress, bool bigEndianLength) {
    const std::uint64_t bits = stream.length * 8;
    std::size_t used = static_cast<std::size_t>(stream.length % 64);
    stream.buffer[used++] = 0x80;
    if (used > 56) {
        std::memset(stream.buffer + used, 0, 64 - used);
        compress(state, stream.buffer, 1);
        used = 0;
    }
    std::memset(stream.buffer + used, 0, 56 - used);
    for (int i = 0; i < 8; ++i) {
        stream.buffer[56 + i] = static_cast<unsigned char>(bits >> (bigEndianLength ? 56 - 8 * i : 8 * i));
    }
    compress(state, stream.buffer, 1);
}

// Lower-case hexadecimal, high nibble first; no terminator.
inline void digestHex(char* text, const unsigned char* digest, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < size; ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 0xF];
    }
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
