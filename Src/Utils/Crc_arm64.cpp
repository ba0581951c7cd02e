// CRC-32 on the ARMv8 CRC-32 instructions, eight bytes per instruction, and
// for long inputs by folding with the carry-less multiply instruction: four
// 128-bit accumulators each absorb 16 bytes per step (multiplying by
// x^(512+-32) modulo the polynomial moves a value 64 bytes further), then
// fold into one, reduce to 64 bits and finish with a Barrett reduction, as
// the x86 fold does with the same constants. The CRC instructions form one
// chain, each waiting for the last; the fold's four accumulators do not, so
// on long inputs it keeps more of the processor busy.
#include "Src/Utils/CrcCore.h"

#if defined(DOZUV2_ARM64_PATHS)

#include <arm_acle.h>
#include <arm_neon.h>

#include <cstring>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

// Two 64-bit polynomials as one register: the low one first.
inline uint64x2_t pair(std::uint64_t low, std::uint64_t high) {
    return vcombine_u64(vcreate_u64(low), vcreate_u64(high));
}

inline uint64x2_t load(const unsigned char* p) {
    return vreinterpretq_u64_u8(vld1q_u8(p));
}

// The carry-less product of two 64-bit polynomials.
inline uint64x2_t multiply(std::uint64_t a, std::uint64_t b) {
    return vreinterpretq_u64_p128(vmull_p64(a, b));
}

inline std::uint64_t low(uint64x2_t v) {
    return vgetq_lane_u64(v, 0);
}

inline std::uint64_t loadWord(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The accumulator moved forward by the distance the constants encode, plus
// the next data.
inline uint64x2_t fold(uint64x2_t accumulator, uint64x2_t constants, uint64x2_t data) {
    const uint64x2_t lowProduct = multiply(low(accumulator), low(constants));
    const uint64x2_t highProduct =
        vreinterpretq_u64_p128(vmull_high_p64(vreinterpretq_p64_u64(accumulator), vreinterpretq_p64_u64(constants)));
    return veorq_u64(veorq_u64(lowProduct, highProduct), data);
}

// The register shifted right by whole bytes, zeros coming in.
template <int Bytes> inline uint64x2_t shiftRight(uint64x2_t v) {
    return vreinterpretq_u64_u8(vextq_u8(vreinterpretq_u8_u64(v), vdupq_n_u8(0), Bytes));
}

} // namespace

std::uint32_t crc32Fold(std::uint32_t reg, const unsigned char* data, std::size_t length) {
    const Crc32FoldConstants& k = kCrc32Fold;
    const uint64x2_t by64 = pair(k.by64Low, k.by64High);
    const uint64x2_t by16 = pair(k.by16Low, k.by16High);
    const std::uint64_t by4 = k.by4;
    const std::uint64_t barrettLow = k.polynomial, barrettHigh = k.barrettQuotient;
    const std::uint64_t low32 = 0xFFFFFFFFULL;

    uint64x2_t x1 = veorq_u64(load(data), pair(reg, 0));
    uint64x2_t x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
    data += 64;
    length -= 64;
    for (; length >= 64; length -= 64, data += 64) {
        x1 = fold(x1, by64, load(data));
        x2 = fold(x2, by64, load(data + 16));
        x3 = fold(x3, by64, load(data + 32));
        x4 = fold(x4, by64, load(data + 48));
    }
    x1 = fold(x1, by16, x2);
    x1 = fold(x1, by16, x3);
    x1 = fold(x1, by16, x4);
    for (; length >= 16; length -= 16, data += 16) {
        x1 = fold(x1, by16, load(data));
    }

    // 128 bits to 64, then to 32 by Barrett reduction.
    uint64x2_t x = veorq_u64(shiftRight<8>(x1), multiply(low(x1), vgetq_lane_u64(by16, 1)));
    x = veorq_u64(shiftRight<4>(x), multiply(low(x) & low32, by4));
    uint64x2_t t = multiply(low(x) & low32, barrettHigh);
    t = multiply(low(t) & low32, barrettLow);
    x = veorq_u64(x, t);
    return vgetq_lane_u32(vreinterpretq_u32_u64(x), 1);
}

std::uint32_t crc32Instructions(std::uint32_t reg, const unsigned char* data, std::size_t length) {
    // Four words a step: the loads pair up and the loop's own instructions
    // are spread over 32 bytes.
    for (; length >= 32; length -= 32, data += 32) {
        reg = __crc32d(reg, loadWord(data));
        reg = __crc32d(reg, loadWord(data + 8));
        reg = __crc32d(reg, loadWord(data + 16));
        reg = __crc32d(reg, loadWord(data + 24));
    }
    for (; length >= 8; length -= 8, data += 8) {
        reg = __crc32d(reg, loadWord(data));
    }
    for (; length != 0; --length, ++data) {
        reg = __crc32b(reg, *data);
    }
    return reg;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
