// The AES engine on the ARMv8 cryptography extension. ECB, CTR and CBC
// decryption have no dependency between blocks, so they keep eight blocks in
// flight to hide the latency of the round instructions; CBC encryption is a
// chain and runs one block at a time, as do the stream modes' blocks, with
// the rounds written out for the key size. Reached only through the
// dispatcher, when the processor reports the instructions.
//
// ARM splits a round differently from x86: AESE adds the round key first and
// then substitutes and shifts, AESMC mixes the columns. So round r of the
// encryption is AESMC(AESE(b, key r)), the last round AESE with the last but
// one key and an XOR with the last; decryption likewise with AESD and AESIMC
// over the same equivalent-inverse schedule the x86 engine uses. Each AESE is
// followed at once by its AESMC, the pair processors fuse.
#include "Src/Utils/AesCore.h"

#if defined(DOZUV2_ARM64_PATHS)

#include <arm_neon.h>

#include <cstring>
#include <utility>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

constexpr std::size_t kLanes = 8;
using Block = uint8x16_t;
using Lanes = std::make_index_sequence<kLanes>;

inline Block load(const unsigned char* p) {
    return vld1q_u8(p);
}

inline void store(unsigned char* p, Block v) {
    vst1q_u8(p, v);
}

// The round keys of a schedule, loaded once per call.
struct RoundKeys {
    Block key[15];
    unsigned rounds;

    explicit RoundKeys(const AesKeySchedule& ks) : rounds(ks.rounds) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(ks.words);
        for (unsigned r = 0; r <= rounds; ++r) {
            key[r] = load(bytes + 16 * r);
        }
    }
};

// The two directions: a full round (substitution and shift with the key
// added first, then the column mix) and the last round's first part.
struct Encryption {
    static Block round(Block b, Block key) { return vaesmcq_u8(vaeseq_u8(b, key)); }
    static Block lastRound(Block b, Block key) { return vaeseq_u8(b, key); }
};
struct Decryption {
    static Block round(Block b, Block key) { return vaesimcq_u8(vaesdq_u8(b, key)); }
    static Block lastRound(Block b, Block key) { return vaesdq_u8(b, key); }
};

template <typename Direction> inline Block runOne(const RoundKeys& rk, Block b) {
    for (unsigned r = 0; r + 1 < rk.rounds; ++r) {
        b = Direction::round(b, rk.key[r]);
    }
    return veorq_u8(Direction::lastRound(b, rk.key[rk.rounds - 1]), rk.key[rk.rounds]);
}

// All lanes through every round, round by round, so the lanes' instructions
// interleave.
template <typename Direction, std::size_t... I>
inline void runLanes(const RoundKeys& rk, Block (&b)[kLanes], std::index_sequence<I...>) {
    for (unsigned r = 0; r + 1 < rk.rounds; ++r) {
        const Block k = rk.key[r];
        ((b[I] = Direction::round(b[I], k)), ...);
    }
    const Block last = rk.key[rk.rounds - 1], final = rk.key[rk.rounds];
    ((b[I] = veorq_u8(Direction::lastRound(b[I], last), final)), ...);
}

template <std::size_t... I>
inline void loadLanes(Block (&b)[kLanes], const unsigned char* in, std::index_sequence<I...>) {
    ((b[I] = load(in + 16 * I)), ...);
}

template <std::size_t... I>
inline void storeLanes(unsigned char* out, const Block (&b)[kLanes], std::index_sequence<I...>) {
    (store(out + 16 * I, b[I]), ...);
}

// out = in xor b, lane by lane.
template <std::size_t... I>
inline void xorStoreLanes(unsigned char* out, const unsigned char* in, const Block (&b)[kLanes],
                          std::index_sequence<I...>) {
    (store(out + 16 * I, veorq_u8(load(in + 16 * I), b[I])), ...);
}

// The round keys of one key size in registers, for a chain of single blocks
// whose rounds are written out in full: the chain waits on every block, so a
// loop's own instructions would only add to each block's time.
template <unsigned Rounds> struct UnrolledKeys {
    Block key[Rounds + 1];

    explicit UnrolledKeys(const AesKeySchedule& ks) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(ks.words);
        for (unsigned r = 0; r <= Rounds; ++r) {
            key[r] = load(bytes + 16 * r);
        }
    }

    Block encrypt(Block b) const { return encrypt(b, std::make_index_sequence<Rounds - 1>()); }

    template <std::size_t... R> Block encrypt(Block b, std::index_sequence<R...>) const {
        ((b = Encryption::round(b, key[R])), ...);
        return veorq_u8(Encryption::lastRound(b, key[Rounds - 1]), key[Rounds]);
    }
};

// Calls body with the schedule's round keys in registers, for its key size.
template <typename Body> inline void withUnrolledKeys(const AesKeySchedule& ks, Body body) {
    if (ks.rounds == 10) {
        body(UnrolledKeys<10>(ks));
    } else if (ks.rounds == 12) {
        body(UnrolledKeys<12>(ks));
    } else {
        body(UnrolledKeys<14>(ks));
    }
}

// Runs of eight blocks, then single blocks with the rounds written out: the
// stream modes come here for one block at a time.
void encryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    if (blocks >= kLanes) {
        const RoundKeys rk(ks);
        for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
            Block b[kLanes];
            loadLanes(b, in, Lanes());
            runLanes<Encryption>(rk, b, Lanes());
            storeLanes(out, b, Lanes());
        }
    }
    if (blocks != 0) {
        withUnrolledKeys(ks, [&](const auto& keys) {
            for (; blocks != 0; --blocks, in += 16, out += 16) {
                store(out, keys.encrypt(load(in)));
            }
        });
    }
}

void decryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    const RoundKeys rk(ks);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        Block b[kLanes];
        loadLanes(b, in, Lanes());
        runLanes<Decryption>(rk, b, Lanes());
        storeLanes(out, b, Lanes());
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        store(out, runOne<Decryption>(rk, load(in)));
    }
}

void cbcEncrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    withUnrolledKeys(ks, [&](const auto& keys) {
        Block chain = load(iv);
        for (; blocks != 0; --blocks, in += 16, out += 16) {
            chain = keys.encrypt(veorq_u8(load(in), chain));
            store(out, chain);
        }
        store(iv, chain);
    });
}

void cbcDecrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    const RoundKeys rk(ks);
    Block chain = load(iv);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        Block cipher[kLanes], b[kLanes];
        loadLanes(cipher, in, Lanes()); // all read before any write: out may be in
        for (std::size_t i = 0; i < kLanes; ++i) {
            b[i] = cipher[i];
        }
        runLanes<Decryption>(rk, b, Lanes());
        store(out, veorq_u8(b[0], chain));
        for (std::size_t i = 1; i < kLanes; ++i) {
            store(out + 16 * i, veorq_u8(b[i], cipher[i - 1]));
        }
        chain = cipher[kLanes - 1];
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        const Block cipher = load(in);
        store(out, veorq_u8(runOne<Decryption>(rk, cipher), chain));
        chain = cipher;
    }
    store(iv, chain);
}

// The counter block's high eight bytes stay as they are while its low half,
// kept as a native number, counts; one byte reversal per block turns the low
// half back into big-endian bytes.
inline uint8x8_t bigEndianHalf(std::uint64_t value) {
    return vrev64_u8(vcreate_u8(value));
}

template <std::size_t... I>
inline void counterLanes(Block (&b)[kLanes], uint8x8_t high, std::uint64_t low, std::index_sequence<I...>) {
    ((b[I] = vcombine_u8(high, bigEndianHalf(low + I))), ...);
}

void ctrBlocks(const AesKeySchedule& ks, unsigned char counter[16], unsigned char* out, const unsigned char* in,
               std::size_t blocks) {
    const RoundKeys rk(ks);
    const uint8x8_t high = vld1_u8(counter);
    std::uint64_t low = vget_lane_u64(vreinterpret_u64_u8(vrev64_u8(vld1_u8(counter + 8))), 0);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
        if (low > ~std::uint64_t{0} - kLanes) {
            break; // the low half wraps inside this run: the carry takes the byte-wise path below
        }
        Block b[kLanes];
        counterLanes(b, high, low, Lanes());
        runLanes<Encryption>(rk, b, Lanes());
        xorStoreLanes(out, in, b, Lanes());
        low += kLanes;
    }
    vst1_u8(counter + 8, bigEndianHalf(low));
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        const Block stream = runOne<Encryption>(rk, load(counter));
        aesIncrementCounter(counter);
        store(out, veorq_u8(load(in), stream));
    }
}

// SubWord through AESE with a zero key: with the word in all four columns
// ShiftRows moves nothing, so the first column comes out as the S-box of each
// byte.
std::uint32_t subWord(std::uint32_t w) {
    const Block s = vaeseq_u8(vreinterpretq_u8_u32(vdupq_n_u32(w)), vdupq_n_u8(0));
    return vgetq_lane_u32(vreinterpretq_u32_u8(s), 0);
}

bool expandEncryptKey(AesKeySchedule& schedule, const unsigned char* key, int bits) {
    return aesExpandKeyWords(schedule, key, bits, subWord);
}

// The inner round keys through InvMixColumns, in reverse order.
void makeDecryptKey(AesKeySchedule& decrypt, const AesKeySchedule& encrypt) {
    const unsigned char* ek = reinterpret_cast<const unsigned char*>(encrypt.words);
    unsigned char* dk = reinterpret_cast<unsigned char*>(decrypt.words);
    const unsigned rounds = encrypt.rounds;
    store(dk, load(ek + 16 * rounds));
    for (unsigned r = 1; r < rounds; ++r) {
        store(dk + 16 * r, vaesimcq_u8(load(ek + 16 * (rounds - r))));
    }
    store(dk + 16 * rounds, load(ek));
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
