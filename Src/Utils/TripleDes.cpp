// CTripleDes: DES and TDEA over per-object key schedules.
//
// The round function uses combined S-box and permutation tables, so a round
// is eight lookups; the initial and final permutations are byte-indexed
// tables. All tables are computed at compile time from the standard's
// permutations and S-boxes, so nothing is shared or set up at run time.
#include "utils/TripleDes.h"

#include "Src/Common/Report.h"
#include "Src/Utils/Wipe.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace Orvane {
namespace Utils {

namespace {

// Bit positions count from 1 at the most significant bit, as the standard
// writes them.
constexpr unsigned char kInitialPermutation[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                                   62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                                   57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                                   61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr unsigned char kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1, 58, 50, 42, 34, 26, 18, 10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22, 14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4};
constexpr unsigned char kPermutedChoice2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                                26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                                51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr unsigned char kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr unsigned char kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
// Each S-box as four rows of sixteen.
constexpr unsigned char kSboxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2, 8, 4, 6,  15, 11, 1, 10, 9,  3,  14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7,  4,  12, 5, 6, 11, 0, 14, 9, 2, 7,
     11, 4, 1, 9, 12, 14, 2,  0, 6,  10, 13, 15, 3, 5, 8,  2, 1, 14, 7,  4, 10, 8, 13, 15, 12, 9, 0, 3,  5, 6,  11}};

// out bit i (of outBits) = in bit table[i] (of inBits), both from the top.
constexpr std::uint64_t permute(std::uint64_t in, const unsigned char* table, unsigned inBits, unsigned outBits) {
    std::uint64_t out = 0;
    for (unsigned i = 0; i < outBits; ++i) {
        out = (out << 1) | ((in >> (inBits - table[i])) & 1);
    }
    return out;
}

struct DesTables {
    std::uint32_t sp[8][64];       // S-box j's output, through the round permutation
    std::uint64_t initial[8][256]; // IP of one input byte, by byte position
    std::uint64_t final[8][256];   // IP^-1 of one input byte, by byte position
};

constexpr DesTables makeTables() {
    DesTables t{};
    unsigned char inverse[64] = {};
    for (unsigned i = 0; i < 64; ++i) {
        inverse[kInitialPermutation[i] - 1] = static_cast<unsigned char>(i + 1);
    }
    for (unsigned j = 0; j < 8; ++j) {
        for (unsigned v = 0; v < 64; ++v) {
            const unsigned row = ((v >> 4) & 2) | (v & 1), column = (v >> 1) & 0xF;
            const std::uint64_t s = std::uint64_t{kSboxes[j][row * 16 + column]} << (28 - 4 * j);
            t.sp[j][v] = static_cast<std::uint32_t>(permute(s, kRoundPermutation, 32, 32));
        }
        for (unsigned v = 0; v < 256; ++v) {
            const std::uint64_t placed = std::uint64_t{v} << (56 - 8 * j);
            t.initial[j][v] = permute(placed, kInitialPermutation, 64, 64);
            t.final[j][v] = permute(placed, inverse, 64, 64);
        }
    }
    return t;
}

constexpr DesTables kTables = makeTables();

// One round key: the eight 6-bit groups, the even ones in evenGroups and the
// odd ones in oddGroups, one group to a byte from the top.
struct RoundKey {
    std::uint32_t evenGroups;
    std::uint32_t oddGroups;
};
using KeySchedule = RoundKey[16];

void makeSchedule(KeySchedule& schedule, const unsigned char* key, bool decrypt) {
    std::uint64_t k = 0;
    for (int i = 0; i < 8; ++i) {
        k = (k << 8) | key[i];
    }
    const std::uint64_t cd = permute(k, kPermutedChoice1, 64, 56);
    std::uint32_t c = static_cast<std::uint32_t>(cd >> 28), d = static_cast<std::uint32_t>(cd & 0xFFFFFFF);
    for (int round = 0; round < 16; ++round) {
        const unsigned shift = kShifts[round];
        c = ((c << shift) | (c >> (28 - shift))) & 0xFFFFFFF;
        d = ((d << shift) | (d >> (28 - shift))) & 0xFFFFFFF;
        const std::uint64_t subkey = permute((std::uint64_t{c} << 28) | d, kPermutedChoice2, 56, 48);
        std::uint32_t even = 0, odd = 0;
        for (int g = 0; g < 8; g += 2) {
            even = (even << 8) | static_cast<std::uint32_t>((subkey >> (42 - 6 * g)) & 0x3F);
            odd = (odd << 8) | static_cast<std::uint32_t>((subkey >> (36 - 6 * g)) & 0x3F);
        }
        schedule[decrypt ? 15 - round : round] = RoundKey{even, odd};
    }
}

inline std::uint32_t rotr(std::uint32_t x, unsigned n) {
    return (x >> n) | (x << (32 - n));
}

// The cipher function: expansion, key mixing, S-boxes and permutation. The
// expansion's overlapping groups fall byte-aligned into two rotations of r.
inline std::uint32_t feistel(std::uint32_t r, const RoundKey& key) {
    const std::uint32_t even = (rotr(r, 3) & 0x3F3F3F3F) ^ key.evenGroups;
    const std::uint32_t odd = (rotr(r, 31) & 0x3F3F3F3F) ^ key.oddGroups;
    const auto& sp = kTables.sp;
    return sp[0][even >> 24] ^ sp[2][(even >> 16) & 0xFF] ^ sp[4][(even >> 8) & 0xFF] ^ sp[6][even & 0xFF] ^
           sp[1][odd >> 24] ^ sp[3][(odd >> 16) & 0xFF] ^ sp[5][(odd >> 8) & 0xFF] ^ sp[7][odd & 0xFF];
}

// Sixteen rounds on (l, r), leaving (l16, r16); the caller exchanges them.
inline void rounds(std::uint32_t& l, std::uint32_t& r, const KeySchedule& schedule) {
    for (int i = 0; i < 16; i += 2) {
        l ^= feistel(r, schedule[i]);
        r ^= feistel(l, schedule[i + 1]);
    }
}

inline std::uint64_t byteTable(const std::uint64_t (&table)[8][256], std::uint64_t v) {
    std::uint64_t out = 0;
    for (int j = 0; j < 8; ++j) {
        out |= table[j][(v >> (56 - 8 * j)) & 0xFF];
    }
    return out;
}

inline std::uint64_t load64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
}

inline void store64(unsigned char* p, std::uint64_t v) {
    for (int i = 7; i >= 0; --i, v >>= 8) {
        p[i] = static_cast<unsigned char>(v);
    }
}

// One 8-byte block through the given single-DES steps in order. Between
// steps the final permutation and the next initial one cancel, leaving only
// the exchange of the halves.
std::uint64_t desSteps(std::uint64_t block, const KeySchedule* steps, int count) {
    const std::uint64_t permuted = byteTable(kTables.initial, block);
    std::uint32_t l = static_cast<std::uint32_t>(permuted >> 32), r = static_cast<std::uint32_t>(permuted);
    for (int s = 0; s < count; ++s) {
        rounds(l, r, steps[s]);
        const std::uint32_t t = l;
        l = r;
        r = t;
    }
    return byteTable(kTables.final, (std::uint64_t{l} << 32) | r);
}

} // namespace

struct CTripleDes::TripleDesInternal {
    unsigned char key[24];
    std::size_t keyLength;
    unsigned char iv[16];
    bool useChaining;
    std::size_t blockSize; // 8, or 16 for the paired block
    int steps;             // 1 for DES, 3 for TDEA
    KeySchedule encryptSteps[3];
    KeySchedule decryptSteps[3];

    // The block transform in the given direction: one block of blockSize
    // bytes from in to out (which may be the same).
    void transform(unsigned char* out, const unsigned char* in, const KeySchedule* schedules) const {
        if (blockSize == 8) {
            store64(out, desSteps(load64(in), schedules, steps));
            return;
        }
        // The paired block: each step on both halves, then L1 and R0 change places.
        std::uint64_t left = load64(in), right = load64(in + 8);
        for (int s = 0; s < 3; ++s) {
            left = desSteps(left, schedules + s, 1);
            right = desSteps(right, schedules + s, 1);
            if (s < 2) {
                const std::uint64_t l1 = left & 0xFFFFFFFF, r0 = right >> 32;
                left = (left & 0xFFFFFFFF00000000ULL) | r0;
                right = (right & 0xFFFFFFFF) | (l1 << 32);
            }
        }
        store64(out, left);
        store64(out + 8, right);
    }

    // One encrypt or decrypt call: the key and size tests with their
    // messages (decryption's keeps its own spelling), then the whole blocks.
    bool call(const CTripleDes* self, unsigned char* out, const unsigned char* in, std::size_t size,
              bool encrypting) const {
        if (keyLength == 0) {
            VIRAD_REPORT(Virad::LOG_ERROR, "this:%p key_length is %u,is unvalid!\n", static_cast<const void*>(self),
                         static_cast<unsigned>(keyLength));
            return false;
        }
        const std::size_t real_size = size - size % blockSize;
        if (real_size != size) {
            VIRAD_REPORT(Virad::LOG_ERROR,
                         encrypting ? "this:%p CTripleDes::encrypt(): size is not the multiple of the 'BlockSize'!!! "
                                      "size:%zu, real_size:%zu\n"
                                    : "this:%p CTripleDes::encrypt(): size is not the multiple of th 'BlockSize'!!! "
                                      "size:%zu, real_size:%zu\n",
                         static_cast<const void*>(self), size, real_size);
        }
        enDeCrypt(out, in, real_size, encrypting);
        return real_size == size;
    }

    void enDeCrypt(unsigned char* dst, const unsigned char* src, std::size_t size, bool encrypting) const {
        if (src == nullptr) {
            VIRAD_REPORT(Virad::LOG_ERROR, "en_de_crypt(): src is NULL!!\n");
            return;
        }
        if (dst == nullptr) {
            VIRAD_REPORT(Virad::LOG_ERROR, "en_de_crypt(): dst is NULL!!\n");
            return;
        }
        const KeySchedule* schedules = encrypting ? encryptSteps : decryptSteps;
        std::size_t count = size < 0x7FFFFFFF ? size : 0x7FFFFFFF - 0x7FFFFFFF % blockSize;
        unsigned char chain[16];
        std::memcpy(chain, iv, blockSize);
        for (; count >= blockSize; count -= blockSize, src += blockSize, dst += blockSize) {
            if (!useChaining) {
                transform(dst, src, schedules);
            } else if (encrypting) {
                for (std::size_t i = 0; i < blockSize; ++i) {
                    chain[i] ^= src[i];
                }
                transform(dst, chain, schedules);
                std::memcpy(chain, dst, blockSize);
            } else {
                unsigned char cipher[16];
                std::memcpy(cipher, src, blockSize); // dst may be src
                transform(dst, cipher, schedules);
                for (std::size_t i = 0; i < blockSize; ++i) {
                    dst[i] ^= chain[i];
                }
                std::memcpy(chain, cipher, blockSize);
            }
        }
    }
};

CTripleDes::CTripleDes(const unsigned char* key, std::size_t keyLength, BlockType type, const unsigned char* iv)
    : m_internal(new (std::nothrow) TripleDesInternal) {
    VIRAD_ASSERT(m_internal);
    TripleDesInternal& d = *m_internal;
    d.keyLength = key == nullptr ? 0 : (keyLength < 24 ? keyLength : 24);
    const std::size_t block_size = (d.keyLength > 8 && type == block16) ? 16 : 8;
    VIRAD_ASSERT(block_size > 0);
    VIRAD_ASSERT(sizeof(m_internal->iv) >= block_size);
    d.blockSize = block_size;
    d.steps = d.keyLength > 8 ? 3 : 1;
    std::memset(d.key, 0, sizeof d.key);
    if (d.keyLength != 0) {
        std::memcpy(d.key, key, d.keyLength);
    }
    d.useChaining = iv != nullptr;
    std::memset(d.iv, 0, sizeof d.iv);
    if (d.useChaining) {
        std::memcpy(d.iv, iv, block_size);
    }
    // E_K1 D_K2 E_K3 and its inverse D_K3 E_K2 D_K1; two-key TDEA has K3 = K1.
    const unsigned char* k1 = d.key;
    const unsigned char* k2 = d.key + 8;
    const unsigned char* k3 = d.keyLength > 16 ? d.key + 16 : d.key;
    makeSchedule(d.encryptSteps[0], k1, false);
    makeSchedule(d.decryptSteps[d.steps - 1], k1, true);
    if (d.steps == 3) {
        makeSchedule(d.encryptSteps[1], k2, true);
        makeSchedule(d.encryptSteps[2], k3, false);
        makeSchedule(d.decryptSteps[0], k3, true);
        makeSchedule(d.decryptSteps[1], k2, false);
    }
}

CTripleDes::~CTripleDes() {
    Detail::wipe(m_internal, sizeof *m_internal);
    delete m_internal;
}

bool CTripleDes::encrypt(unsigned char* out, const unsigned char* in, std::size_t size) {
    VIRAD_ASSERT(m_internal);
    return m_internal->call(this, out, in, size, true);
}

bool CTripleDes::decrypt(unsigned char* out, const unsigned char* in, std::size_t size) {
    VIRAD_ASSERT(m_internal);
    return m_internal->call(this, out, in, size, false);
}

} // namespace Utils
} // namespace Orvane
