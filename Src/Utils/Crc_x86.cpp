// CRC-32 by folding with the carry-less multiply instruction: four 128-bit
// accumulators each absorb 16 bytes per step (multiplying by x^(512+-32)
// modulo the polynomial moves a value 64 bytes further), then fold into one,
// reduce to 64 bits and finish with a Barrett reduction. The constants are
// the bit-reflected powers of x modulo the CRC-32 polynomial and the Barrett
// quotient.
#include "Src/Utils/CrcCore.h"

#if defined(DOZUV2_X86_PATHS)

#include <immintrin.h>

#define CLMUL_TARGET DOZUV2_TARGET_ISA("pclmul,sse2")

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

// A register of two 64-bit halves, the low one first.
CLMUL_TARGET inline __m128i pair(std::uint64_t low, std::uint64_t high) {
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

CLMUL_TARGET inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The accumulator moved forward by the distance the constants encode, plus
// the next data.
CLMUL_TARGET inline __m128i fold(__m128i accumulator, __m128i constants, __m128i data) {
    const __m128i low = _mm_clmulepi64_si128(accumulator, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(accumulator, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), data);
}

} // namespace

CLMUL_TARGET std::uint32_t crc32Fold(std::uint32_t reg, const unsigned char* data, std::size_t length) {
    const Crc32FoldConstants& k = kCrc32Fold;
    const __m128i by64 = pair(k.by64Low, k.by64High);
    const __m128i by16 = pair(k.by16Low, k.by16High);
    const __m128i by4 = pair(k.by4, 0);
    const __m128i barrett = pair(k.polynomial, k.barrettQuotient);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
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
    __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, by16, 0x10));
    x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), by4, 0x00));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)));
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
