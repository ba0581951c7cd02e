// SHA-1 on the processor's SHA instructions: four rounds per instruction,
// with the message schedule computed four words at a time alongside.
//
// Group g (rounds 4g..4g+3) uses the schedule words W[4g..4g+3], held in
// message register g mod 4. While group g runs, the registers are prepared
// for the groups ahead: the first schedule step for group g + 3, the middle
// term for g + 2, the last step for g + 1. The fifth state word is carried
// separately and folded in by the next-E instruction.
#include "Src/Utils/Sha1Core.h"

#if defined(DOZUV2_X86_PATHS)

#include <immintrin.h>

#define SHA_TARGET DOZUV2_TARGET_ISA("sha,ssse3")

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

struct Sha1Registers {
    __m128i abcd;
    __m128i e[2]; // alternate: one feeds the group, the other keeps the state before it
    __m128i message[4];
};

template <int G> SHA_TARGET inline void group(Sha1Registers& r) {
    constexpr int current = G % 4, feeding = G % 2, saving = 1 - G % 2;
    if constexpr (G == 0) {
        r.e[feeding] = _mm_add_epi32(r.e[feeding], r.message[current]);
    } else {
        r.e[feeding] = _mm_sha1nexte_epu32(r.e[feeding], r.message[current]);
    }
    r.e[saving] = r.abcd;
    if constexpr (G >= 3 && G <= 18) {
        r.message[(G + 1) % 4] = _mm_sha1msg2_epu32(r.message[(G + 1) % 4], r.message[current]);
    }
    r.abcd = _mm_sha1rnds4_epu32(r.abcd, r.e[feeding], G / 5);
    if constexpr (G >= 1 && G <= 16) {
        r.message[(G + 3) % 4] = _mm_sha1msg1_epu32(r.message[(G + 3) % 4], r.message[current]);
    }
    if constexpr (G >= 2 && G <= 17) {
        r.message[(G + 2) % 4] = _mm_xor_si128(r.message[(G + 2) % 4], r.message[current]);
    }
    if constexpr (G < 19) {
        group<G + 1>(r);
    }
}

} // namespace

SHA_TARGET void sha1BlocksInstructions(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    Sha1Registers r;
    // A in the highest lane, as the instructions expect; E likewise.
    r.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    r.e[0] = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (; blocks != 0; --blocks, data += 64) {
        const __m128i abcdBefore = r.abcd, eBefore = r.e[0];
        for (int i = 0; i < 4; ++i) {
            r.message[i] =
                _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteOrder);
        }
        group<0>(r);
        r.e[0] = _mm_sha1nexte_epu32(r.e[0], eBefore);
        r.abcd = _mm_add_epi32(r.abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(r.abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(r.e[0], 12)));
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
