// SHA-1 on the ARMv8 SHA-1 instructions: four rounds per instruction (choose,
// parity or majority by the round's fifth of the block), with the message
// schedule computed four words at a time.
//
// Group g (rounds 4g..4g+3) uses the schedule words W[4g..4g+3], held in
// message register g mod 4; from group 4 on they replace the words of group
// g - 4, made from those of groups g - 4, g - 3, g - 2 and g - 1. The fifth
// state word of the next group is the first of this one, rotated, which the
// fixed-rotate instruction gives.
#include "Src/Utils/Sha1Core.h"

#if defined(DOZUV2_ARM64_PATHS)

#include <arm_neon.h>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

struct Sha1Registers {
    uint32x4_t abcd;
    std::uint32_t e;
    uint32x4_t message[4];
};

constexpr std::uint32_t kRoundConstant[4] = {0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xCA62C1D6u};

template <int G> inline void group(Sha1Registers& r) {
    constexpr int current = G % 4;
    if constexpr (G >= 4) {
        r.message[current] = vsha1su1q_u32(
            vsha1su0q_u32(r.message[current], r.message[(G + 1) % 4], r.message[(G + 2) % 4]), r.message[(G + 3) % 4]);
    }
    const uint32x4_t wk = vaddq_u32(r.message[current], vdupq_n_u32(kRoundConstant[G / 5]));
    const std::uint32_t nextE = vsha1h_u32(vgetq_lane_u32(r.abcd, 0));
    if constexpr (G < 5) {
        r.abcd = vsha1cq_u32(r.abcd, r.e, wk);
    } else if constexpr (G >= 10 && G < 15) {
        r.abcd = vsha1mq_u32(r.abcd, r.e, wk);
    } else {
        r.abcd = vsha1pq_u32(r.abcd, r.e, wk);
    }
    r.e = nextE;
    if constexpr (G < 19) {
        group<G + 1>(r);
    }
}

} // namespace

void sha1BlocksInstructions(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
    Sha1Registers r;
    r.abcd = vld1q_u32(state); // A in the first lane, as the instructions expect
    r.e = state[4];
    for (; blocks != 0; --blocks, data += 64) {
        const uint32x4_t abcdBefore = r.abcd;
        const std::uint32_t eBefore = r.e;
        for (int i = 0; i < 4; ++i) {
            r.message[i] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(data + 16 * i))); // big-endian words
        }
        group<0>(r);
        r.abcd = vaddq_u32(r.abcd, abcdBefore);
        r.e += eBefore;
    }
    vst1q_u32(state, r.abcd);
    state[4] = r.e;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
