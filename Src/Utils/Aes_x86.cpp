// The AES engine on the processor's AES instructions. ECB, CTR and CBC
// decryption have no dependency between blocks, so they keep eight blocks in
// flight to hide the latency of the round instruction; CBC encryption is a
// chain and runs one block at a time. Reached only through the dispatcher,
// when the processor reports the instructions.
#include "Src/Utils/AesCore.h"

#if defined(DOZUV2_X86_PATHS)

#include <immintrin.h>

#include <utility>

#define AES_TARGET DOZUV2_TARGET_ISA("aes,ssse3")

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

constexpr std::size_t kLanes = 8;

AES_TARGET inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

AES_TARGET inline void store(unsigned char* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

AES_TARGET inline const __m128i* roundKeys(const AesKeySchedule& ks) {
    return reinterpret_cast<const __m128i*>(ks.words);
}

AES_TARGET inline __m128i encryptOne(const __m128i* rk, unsigned rounds, __m128i b) {
    b = _mm_xor_si128(b, rk[0]);
    for (unsigned r = 1; r < rounds; ++r) {
        b = _mm_aesenc_si128(b, rk[r]);
    }
    return _mm_aesenclast_si128(b, rk[rounds]);
}

AES_TARGET inline __m128i decryptOne(const __m128i* rk, unsigned rounds, __m128i b) {
    b = _mm_xor_si128(b, rk[0]);
    for (unsigned r = 1; r < rounds; ++r) {
        b = _mm_aesdec_si128(b, rk[r]);
    }
    return _mm_aesdeclast_si128(b, rk[rounds]);
}

// All lanes through every round, round by round, so the lanes' instructions
// interleave.
template <std::size_t... I>
AES_TARGET inline void encryptLanes(const __m128i* rk, unsigned rounds, __m128i (&b)[kLanes],
                                    std::index_sequence<I...>) {
    ((b[I] = _mm_xor_si128(b[I], rk[0])), ...);
    for (unsigned r = 1; r < rounds; ++r) {
        const __m128i k = rk[r];
        ((b[I] = _mm_aesenc_si128(b[I], k)), ...);
    }
    ((b[I] = _mm_aesenclast_si128(b[I], rk[rounds])), ...);
}

template <std::size_t... I>
AES_TARGET inline void decryptLanes(const __m128i* rk, unsigned rounds, __m128i (&b)[kLanes],
                                    std::index_sequence<I...>) {
    ((b[I] = _mm_xor_si128(b[I], rk[0])), ...);
    for (unsigned r = 1; r < rounds; ++r) {
        const __m128i k = rk[r];
        ((b[I] = _mm_aesdec_si128(b[I], k)), ...);
    }
    ((b[I] = _mm_aesdeclast_si128(b[I], rk[rounds])), ...);
}

template <std::size_t... I>
AES_TARGET inline void loadLanes(__m128i (&b)[kLanes], const unsigned char* in, std::index_sequence<I...>) {
    ((b[I] = load(in + 16 * I)), ...);
}

template <std::size_t... I>
AES_TARGET inline void storeLanes(unsigned char* out, const __m128i (&b)[kLanes], std::index_sequence<I...>) {
    (store(out + 16 * I, b[I]), ...);
}

// out = in xor b, lane by lane.
template <std::size_t... I>
AES_TARGET inline void xorStoreLanes(unsigned char* out, const unsigned char* in, const __m128i (&b)[kLanes],
                                     std::index_sequence<I...>) {
    (store(out + 16 * I, _mm_xor_si128(load(in + 16 * I), b[I])), ...);
}

using Lanes = std::make_index_sequence<kLanes>;

AES_TARGET void encryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in,
                              std::size_t blocks) {
    const __m128i* rk = roundKeys(ks);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        __m128i b[kLanes];
        loadLanes(b, in, Lanes());
        encryptLanes(rk, ks.rounds, b, Lanes());
        storeLanes(out, b, Lanes());
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        store(out, encryptOne(rk, ks.rounds, load(in)));
    }
}

AES_TARGET void decryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in,
                              std::size_t blocks) {
    const __m128i* rk = roundKeys(ks);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        __m128i b[kLanes];
        loadLanes(b, in, Lanes());
        decryptLanes(rk, ks.rounds, b, Lanes());
        storeLanes(out, b, Lanes());
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        store(out, decryptOne(rk, ks.rounds, load(in)));
    }
}

AES_TARGET void cbcEncrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                           std::size_t blocks) {
    const __m128i* rk = roundKeys(ks);
    __m128i chain = load(iv);
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        chain = encryptOne(rk, ks.rounds, _mm_xor_si128(load(in), chain));
        store(out, chain);
    }
    store(iv, chain);
}

AES_TARGET void cbcDecrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                           std::size_t blocks) {
    const __m128i* rk = roundKeys(ks);
    __m128i chain = load(iv);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        __m128i cipher[kLanes], b[kLanes];
        loadLanes(cipher, in, Lanes()); // all read before any write: out may be in
        for (std::size_t i = 0; i < kLanes; ++i) {
            b[i] = cipher[i];
        }
        decryptLanes(rk, ks.rounds, b, Lanes());
        store(out, _mm_xor_si128(b[0], chain));
        for (std::size_t i = 1; i < kLanes; ++i) {
            store(out + 16 * i, _mm_xor_si128(b[i], cipher[i - 1]));
        }
        chain = cipher[kLanes - 1];
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        const __m128i cipher = load(in);
        store(out, _mm_xor_si128(decryptOne(rk, ks.rounds, cipher), chain));
        chain = cipher;
    }
    store(iv, chain);
}

// The counter is kept as two 64-bit halves in the processor's order, high
// half in the low lane; one byte shuffle per block turns it back into the
// big-endian counter block.
template <std::size_t... I>
AES_TARGET inline void counterLanes(__m128i (&b)[kLanes], __m128i counter, std::index_sequence<I...>) {
    const __m128i swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    ((b[I] = _mm_shuffle_epi8(_mm_add_epi64(counter, _mm_set_epi64x(static_cast<long long>(I), 0)), swap)), ...);
}

AES_TARGET void ctrBlocks(const AesKeySchedule& ks, unsigned char counter[16], unsigned char* out,
                          const unsigned char* in, std::size_t blocks) {
    const __m128i* rk = roundKeys(ks);
    const __m128i swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    __m128i native = _mm_shuffle_epi8(load(counter), swap);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        const unsigned long long low = static_cast<unsigned long long>(_mm_cvtsi128_si64(_mm_srli_si128(native, 8)));
        if (low > ~0ULL - kLanes) {
            break; // the low half wraps inside this run: the carry takes the byte-wise path below
        }
        __m128i b[kLanes];
        counterLanes(b, native, Lanes());
        encryptLanes(rk, ks.rounds, b, Lanes());
        xorStoreLanes(out, in, b, Lanes());
        native = _mm_add_epi64(native, _mm_set_epi64x(static_cast<long long>(kLanes), 0));
    }
    store(counter, _mm_shuffle_epi8(native, swap));
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        const __m128i stream = encryptOne(rk, ks.rounds, load(counter));
        aesIncrementCounter(counter);
        store(out, _mm_xor_si128(load(in), stream));
    }
}

// SubWord through the last-round instruction: with the word in all four
// columns ShiftRows moves nothing, so the first column comes out as the
// S-box of each byte.
AES_TARGET std::uint32_t subWord(std::uint32_t w) {
    const __m128i s = _mm_aesenclast_si128(_mm_set1_epi32(static_cast<int>(w)), _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(s));
}

bool expandEncryptKey(AesKeySchedule& schedule, const unsigned char* key, int bits) {
    return aesExpandKeyWords(schedule, key, bits, subWord);
}

// The inner round keys through InvMixColumns, in reverse order.
AES_TARGET void makeDecryptKey(AesKeySchedule& decrypt, const AesKeySchedule& encrypt) {
    const __m128i* ek = roundKeys(encrypt);
    __m128i* dk = reinterpret_cast<__m128i*>(decrypt.words);
    const unsigned rounds = encrypt.rounds;
    dk[0] = ek[rounds];
    for (unsigned r = 1; r < rounds; ++r) {
        dk[r] = _mm_aesimc_si128(ek[rounds - r]);
    }
    dk[rounds] = ek[0];
    decrypt.rounds = rounds;
}

} // namespace

const AesEngine& aesInstructionEngine() {
    static const AesEngine engine = {expandEncryptKey, makeDecryptKey, encryptBlocks, decryptBlocks,
                                     cbcEncrypt,       cbcDecrypt,     ctrBlocks};
    return engine;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
