// The portable AES engine, bitsliced: four blocks at a time in eight 64-bit
// words, one word per bit of a byte, with the S-box computed as a Boolean
// circuit. No memory address and no branch depends on the key or the data,
// so the cipher's timing tells a neighbour on the same processor (through the
// caches or the branch predictor) nothing about either; a table-driven round
// reads its tables at key- and data-dependent places.
//
// Layout of the bit planes: word i holds bit i (value 2^i) of each of the 64
// state bytes of four blocks; the byte in row r, column c of block b is bit
// 16r + 4c + b. A row is then 16 consecutive bits, so the row rotations of
// MixColumns are rotations of the whole word by multiples of 16, and
// ShiftRows moves 4-bit groups inside each row.
//
// A chained mode (CBC encryption, CFB) has one block to work on at a time
// and pays for four. ECB, CTR and CBC decryption fill the lanes, eight blocks
// at a time: two words per plane give the processor two independent chains
// of work (about a fifth faster than two groups of four, measured on x86-64).
#include "Src/Utils/AesCore.h"

#include <algorithm>
#include <cstring>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

using Word = std::uint64_t;
constexpr std::size_t kLanes = 4;

// ---- Moving blocks into bit planes and back ----

inline void storeColumn(unsigned char* p, std::uint32_t w) {
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
    p[3] = static_cast<unsigned char>(w >> 24);
}

// The four bytes of x into the even bytes of a word.
inline Word spreadBytes(std::uint32_t x) {
    Word w = x;
    w = (w | (w << 16)) & 0x0000FFFF0000FFFFull;
    return (w | (w << 8)) & 0x00FF00FF00FF00FFull;
}

// The even bytes of w, packed.
inline std::uint32_t gatherBytes(Word w) {
    w &= 0x00FF00FF00FF00FFull;
    w = (w | (w >> 8)) & 0x0000FFFF0000FFFFull;
    return static_cast<std::uint32_t>(w | (w >> 16));
}

// Exchanges the bits of b under mask with the bits of a under mask << n.
inline void swapBits(Word& a, Word& b, Word mask, unsigned n) {
    const Word t = ((a >> n) ^ b) & mask;
    b ^= t;
    a ^= t << n;
}

// Transposes eight words seen as 8 x 8 bit matrices, one per byte position:
// bit k of byte m of word j changes places with bit j of byte m of word k.
// Its own inverse.
inline void transpose(Word q[8]) {
    for (unsigned j = 0; j < 8; j += 2) {
        swapBits(q[j], q[j + 1], 0x5555555555555555ull, 1);
    }
    for (unsigned j = 0; j < 8; j += 4) {
        swapBits(q[j], q[j + 2], 0x3333333333333333ull, 2);
        swapBits(q[j + 1], q[j + 3], 0x3333333333333333ull, 2);
    }
    for (unsigned j = 0; j < 4; ++j) {
        swapBits(q[j], q[j + 4], 0x0F0F0F0F0F0F0F0Full, 4);
    }
}

// Word 4x + b before the transposition holds columns x and x + 2 of block
// b, their bytes interleaved: byte 2r + h is row r of column x + 2h. After
// it, bit 8(2r + h) + 4x + b of plane i is bit i of that byte, which is bit
// 16r + 4c + b for column c = x + 2h.
inline Word columnPair(std::uint32_t low, std::uint32_t high) {
    return spreadBytes(low) | (spreadBytes(high) << 8);
}

// Planes from `blocks` (0 to 4) blocks of `in`; the lanes left over are zero.
inline void toPlanes(Word q[8], const unsigned char* in, std::size_t blocks) {
    for (std::size_t b = 0; b < kLanes; ++b) {
        if (b < blocks) {
            const unsigned char* block = in + 16 * b;
            q[b] = columnPair(aesLoadColumn(block), aesLoadColumn(block + 8));
            q[4 + b] = columnPair(aesLoadColumn(block + 4), aesLoadColumn(block + 12));
        } else {
            q[b] = q[4 + b] = 0;
        }
    }
    transpose(q);
}

// Writes `blocks` (1 to 4) blocks from the planes, which it consumes.
inline void fromPlanes(unsigned char* out, Word q[8], std::size_t blocks) {
    transpose(q);
    for (std::size_t b = 0; b < blocks; ++b) {
        unsigned char* block = out + 16 * b;
        storeColumn(block, gatherBytes(q[b]));
        storeColumn(block + 8, gatherBytes(q[b] >> 8));
        storeColumn(block + 4, gatherBytes(q[4 + b]));
        storeColumn(block + 12, gatherBytes(q[4 + b] >> 8));
    }
}

// ---- The round functions on the planes ----

// One bit plane of 4N blocks: N words side by side, each holding four
// blocks' bits as above, every operation applied to each word.
template <unsigned N> struct Slice { Word w[N]; };

template <unsigned N> inline Slice<N> operator^(Slice<N> a, const Slice<N>& b) {
    for (unsigned k = 0; k < N; ++k) {
        a.w[k] ^= b.w[k];
    }
    return a;
}

template <unsigned N> inline Slice<N> operator&(Slice<N> a, const Slice<N>& b) {
    for (unsigned k = 0; k < N; ++k) {
        a.w[k] &= b.w[k];
    }
    return a;
}

template <unsigned N> inline Slice<N> operator~(Slice<N> a) {
    for (unsigned k = 0; k < N; ++k) {
        a.w[k] = ~a.w[k];
    }
    return a;
}

// f applied to every word of the plane.
template <unsigned N, typename F> inline Slice<N> eachWord(Slice<N> a, F f) {
    for (unsigned k = 0; k < N; ++k) {
        a.w[k] = f(a.w[k]);
    }
    return a;
}

// The S-box on every byte: inversion in GF(2^8) and the affine map as one
// circuit of 113 XOR, AND and NOT gates (Boyar and Peralta's depth-16
// circuit): a linear layer into 27 sums, a non-linear middle, and a linear
// layer out. u0 is the most significant bit of the byte.
template <unsigned N> void subBytes(Slice<N> q[8]) {
    using S = Slice<N>;
    const S u0 = q[7], u1 = q[6], u2 = q[5], u3 = q[4], u4 = q[3], u5 = q[2], u6 = q[1], u7 = q[0];

    const S t1 = u0 ^ u3, t2 = u0 ^ u5, t3 = u0 ^ u6, t4 = u3 ^ u5, t5 = u4 ^ u6;
    const S t6 = t1 ^ t5, t7 = u1 ^ u2, t8 = u7 ^ t6, t9 = u7 ^ t7, t10 = t6 ^ t7;
    const S t11 = u1 ^ u5, t12 = u2 ^ u5, t13 = t3 ^ t4, t14 = t6 ^ t11, t15 = t5 ^ t11;
    const S t16 = t5 ^ t12, t17 = t9 ^ t16, t18 = u3 ^ u7, t19 = t7 ^ t18, t20 = t1 ^ t19;
    const S t21 = u6 ^ u7, t22 = t7 ^ t21, t23 = t2 ^ t22, t24 = t2 ^ t10, t25 = t20 ^ t17;
    const S t26 = t3 ^ t16, t27 = t1 ^ t12;

    const S m1 = t13 & t6, m2 = t23 & t8, m3 = t14 ^ m1, m4 = t19 & u7, m5 = m4 ^ m1;
    const S m6 = t3 & t16, m7 = t22 & t9, m8 = t26 ^ m6, m9 = t20 & t17, m10 = m9 ^ m6;
    const S m11 = t1 & t15, m12 = t4 & t27, m13 = m12 ^ m11, m14 = t2 & t10, m15 = m14 ^ m11;
    const S m16 = m3 ^ m2, m17 = m5 ^ t24, m18 = m8 ^ m7, m19 = m10 ^ m15, m20 = m16 ^ m13;
    const S m21 = m17 ^ m15, m22 = m18 ^ m13, m23 = m19 ^ t25, m24 = m22 ^ m23, m25 = m22 & m20;
    const S m26 = m21 ^ m25, m27 = m20 ^ m21, m28 = m23 ^ m25, m29 = m28 & m27, m30 = m26 & m24;
    const S m31 = m20 & m23, m32 = m27 & m31, m33 = m27 ^ m25, m34 = m21 & m22, m35 = m24 & m34;
    const S m36 = m24 ^ m25, m37 = m21 ^ m29, m38 = m32 ^ m33, m39 = m23 ^ m30, m40 = m35 ^ m36;
    const S m41 = m38 ^ m40, m42 = m37 ^ m39, m43 = m37 ^ m38, m44 = m39 ^ m40, m45 = m42 ^ m41;
    const S m46 = m44 & t6, m47 = m40 & t8, m48 = m39 & u7, m49 = m43 & t16, m50 = m38 & t9;
    const S m51 = m37 & t17, m52 = m42 & t15, m53 = m45 & t27, m54 = m41 & t10, m55 = m44 & t13;
    const S m56 = m40 & t23, m57 = m39 & t19, m58 = m43 & t3, m59 = m38 & t22, m60 = m37 & t20;
    const S m61 = m42 & t1, m62 = m45 & t4, m63 = m41 & t2;

    const S l0 = m61 ^ m62, l1 = m50 ^ m56, l2 = m46 ^ m48, l3 = m47 ^ m55, l4 = m54 ^ m58;
    const S l5 = m49 ^ m61, l6 = m62 ^ l5, l7 = m46 ^ l3, l8 = m51 ^ m59, l9 = m52 ^ m53;
    const S l10 = m53 ^ l4, l11 = m60 ^ l2, l12 = m48 ^ m51, l13 = m50 ^ l0, l14 = m52 ^ m61;
    const S l15 = m55 ^ l1, l16 = m56 ^ l0, l17 = m57 ^ l1, l18 = m58 ^ l8, l19 = m63 ^ l4;
    const S l20 = l0 ^ l1, l21 = l1 ^ l7, l22 = l3 ^ l12, l23 = l18 ^ l2, l24 = l15 ^ l9;
    const S l25 = l6 ^ l10, l26 = l7 ^ l9, l27 = l8 ^ l10, l28 = l11 ^ l14, l29 = l11 ^ l17;

    q[7] = l6 ^ l24;
    q[6] = ~(l16 ^ l26);
    q[5] = ~(l19 ^ l28);
    q[4] = l6 ^ l21;
    q[3] = l20 ^ l22;
    q[2] = l25 ^ l29;
    q[1] = ~(l13 ^ l27);
    q[0] = ~(l6 ^ l23);
}

// The inverse of the S-box's affine map: bit i of the result is bits i + 2,
// i + 5 and i + 7 (mod 8) of the input, plus the constant 0x05.
template <unsigned N> void inverseAffine(Slice<N> q[8]) {
    Slice<N> r[8];
    for (unsigned i = 0; i < 8; ++i) {
        r[i] = q[(i + 2) % 8] ^ q[(i + 5) % 8] ^ q[(i + 7) % 8];
    }
    r[0] = ~r[0];
    r[2] = ~r[2];
    for (unsigned i = 0; i < 8; ++i) {
        q[i] = r[i];
    }
}

// The inverse S-box through the forward circuit: S(x) is the affine map of
// the inverse of x, so the inverse of y is the inverse affine map of
// S(the inverse affine map of y).
template <unsigned N> void inverseSubBytes(Slice<N> q[8]) {
    inverseAffine(q);
    subBytes(q);
    inverseAffine(q);
}

// Row r, column c takes column c + r (ShiftRows) or c - r (its inverse).
inline Word shiftRows(Word x) {
    return (x & 0x000000000000FFFFull) | ((x & 0x00000000FFF00000ull) >> 4) | ((x & 0x00000000000F0000ull) << 12) |
           ((x & 0x0000FF0000000000ull) >> 8) | ((x & 0x000000FF00000000ull) << 8) |
           ((x & 0xF000000000000000ull) >> 12) | ((x & 0x0FFF000000000000ull) << 4);
}

inline Word inverseShiftRows(Word x) {
    return (x & 0x000000000000FFFFull) | ((x & 0x000000000FFF0000ull) << 4) | ((x & 0x00000000F0000000ull) >> 12) |
           ((x & 0x0000FF0000000000ull) >> 8) | ((x & 0x000000FF00000000ull) << 8) |
           ((x & 0xFFF0000000000000ull) >> 4) | ((x & 0x000F000000000000ull) << 12);
}

// Row r then holds row r + 1 of the same column.
inline Word nextRow(Word x) {
    return (x >> 16) | (x << 48);
}

// Row r then holds row r + 2 of the same column.
inline Word oppositeRow(Word x) {
    return (x >> 32) | (x << 32);
}

// Multiplication by x (that is, 2) in GF(2^8) on every byte.
template <unsigned N> inline void timesTwo(Slice<N> out[8], const Slice<N> in[8]) {
    out[0] = in[7];
    out[1] = in[0] ^ in[7];
    out[2] = in[1];
    out[3] = in[2] ^ in[7];
    out[4] = in[3] ^ in[7];
    out[5] = in[4];
    out[6] = in[5];
    out[7] = in[6];
}

// Each column's new row r is 2 a(r) + 3 a(r+1) + a(r+2) + a(r+3), written as
// 2 (a(r) + a(r+1)) + a(r+1) + (a(r+2) + a(r+3)).
template <unsigned N> void mixColumns(Slice<N> q[8]) {
    Slice<N> next[8], pair[8], doubled[8];
    for (unsigned i = 0; i < 8; ++i) {
        next[i] = eachWord(q[i], nextRow);
        pair[i] = q[i] ^ next[i];
    }
    timesTwo(doubled, pair);
    for (unsigned i = 0; i < 8; ++i) {
        q[i] = doubled[i] ^ next[i] ^ eachWord(pair[i], oppositeRow);
    }
}

// InvMixColumns is MixColumns after adding 4 (a(r) + a(r+2)) to rows r and
// r + 2 of every column.
template <unsigned N> void inverseMixColumns(Slice<N> q[8]) {
    Slice<N> opposite[8], twice[8], four[8];
    for (unsigned i = 0; i < 8; ++i) {
        opposite[i] = q[i] ^ eachWord(q[i], oppositeRow);
    }
    timesTwo(twice, opposite);
    timesTwo(four, twice);
    for (unsigned i = 0; i < 8; ++i) {
        q[i] = q[i] ^ four[i];
    }
    mixColumns(q);
}

template <unsigned N> inline void addRoundKey(Slice<N> q[8], const Word key[8]) {
    for (unsigned i = 0; i < 8; ++i) {
        for (unsigned k = 0; k < N; ++k) {
            q[i].w[k] ^= key[i];
        }
    }
}

// The rounds of the cipher, or of the equivalent inverse cipher: its schedule
// is the encryption schedule reversed with the inner round keys through
// InvMixColumns, so decryption keeps the encryption's order of steps.
template <unsigned N, bool Decrypt> void cipherPlanes(const AesKeySchedule& ks, Slice<N> q[8]) {
    addRoundKey(q, ks.planes[0]);
    for (unsigned round = 1; round <= ks.rounds; ++round) {
        if constexpr (Decrypt) {
            inverseSubBytes(q);
        } else {
            subBytes(q);
        }
        for (unsigned i = 0; i < 8; ++i) {
            q[i] = eachWord(q[i], Decrypt ? inverseShiftRows : shiftRows);
        }
        if (round != ks.rounds) { // the last round has no column mixing
            if constexpr (Decrypt) {
                inverseMixColumns(q);
            } else {
                mixColumns(q);
            }
        }
        addRoundKey(q, ks.planes[round]);
    }
}

// ---- The engine's operations ----

// 1 to 4N blocks of `in` through the planes and out again. Everything is
// read before anything is written, so out may be in.
template <unsigned N, bool Decrypt>
void transform(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    Slice<N> q[8];
    for (unsigned k = 0; k < N; ++k) {
        const std::size_t start = kLanes * k;
        Word group[8];
        toPlanes(group, in + 16 * start, blocks > start ? std::min(blocks - start, kLanes) : 0);
        for (unsigned i = 0; i < 8; ++i) {
            q[i].w[k] = group[i];
        }
    }
    cipherPlanes<N, Decrypt>(ks, q);
    for (unsigned k = 0; k < N && kLanes * k < blocks; ++k) {
        const std::size_t start = kLanes * k;
        Word group[8];
        for (unsigned i = 0; i < 8; ++i) {
            group[i] = q[i].w[k];
        }
        fromPlanes(out + 16 * start, group, std::min(blocks - start, kLanes));
    }
}

// Encrypts or decrypts 1 to kWide blocks: up to four on one word per plane,
// more on two.
constexpr std::size_t kWide = 2 * kLanes;

template <bool Decrypt>
void transformGroup(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    if (blocks <= kLanes) {
        transform<1, Decrypt>(ks, out, in, blocks);
    } else {
        transform<2, Decrypt>(ks, out, in, blocks);
    }
}

// out = a xor b over whole blocks, a word at a time. out may be a or b.
inline void xorBlocks(unsigned char* out, const unsigned char* a, const unsigned char* b, std::size_t blocks) {
    for (std::size_t i = 0; i < 16 * blocks; i += sizeof(Word)) {
        Word x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        x ^= y;
        std::memcpy(out + i, &x, sizeof x);
    }
}

template <bool Decrypt>
void eachGroup(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    while (blocks != 0) {
        const std::size_t group = blocks < kWide ? blocks : kWide;
        transformGroup<Decrypt>(ks, out, in, group);
        blocks -= group;
        in += 16 * group;
        out += 16 * group;
    }
}

void encryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    eachGroup<false>(ks, out, in, blocks);
}

void decryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    eachGroup<true>(ks, out, in, blocks);
}

void cbcEncrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        unsigned char block[16];
        xorBlocks(block, in, iv, 1);
        transform<1, false>(ks, iv, block, 1);
        std::memcpy(out, iv, 16);
    }
}

void cbcDecrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    while (blocks != 0) {
        const std::size_t group = blocks < kWide ? blocks : kWide;
        unsigned char cipher[16 * kWide], plain[16 * kWide];
        std::memcpy(cipher, in, 16 * group); // out may be in
        transformGroup<true>(ks, plain, cipher, group);
        xorBlocks(out, plain, iv, 1);
        xorBlocks(out + 16, plain + 16, cipher, group - 1);
        std::memcpy(iv, cipher + 16 * (group - 1), 16);
        blocks -= group;
        in += 16 * group;
        out += 16 * group;
    }
}

// The counter blocks are made with the byte-wise increment. A counter held
// in two 64-bit halves and stepped by one per block is a few percent faster,
// but the compiler then ended the loop on a comparison of the counter itself
// rather than of the block count.
void ctrBlocks(const AesKeySchedule& ks, unsigned char counter[16], unsigned char* out, const unsigned char* in,
               std::size_t blocks) {
    while (blocks != 0) {
        const std::size_t group = blocks < kWide ? blocks : kWide;
        unsigned char stream[16 * kWide];
        for (std::size_t b = 0; b < group; ++b) {
            std::memcpy(stream + 16 * b, counter, 16);
            aesIncrementCounter(counter);
        }
        transformGroup<false>(ks, stream, stream, group);
        xorBlocks(out, in, stream, group);
        blocks -= group;
        in += 16 * group;
        out += 16 * group;
    }
}

// ---- Key schedules ----

// The planes of one round key, the same in all four lanes.
void sliceRoundKey(Word planes[8], const std::uint32_t* words) {
    for (std::size_t b = 0; b < kLanes; ++b) {
        planes[b] = columnPair(words[0], words[2]);
        planes[4 + b] = columnPair(words[1], words[3]);
    }
    transpose(planes);
}

void sliceSchedule(AesKeySchedule& schedule) {
    for (unsigned r = 0; r <= schedule.rounds; ++r) {
        sliceRoundKey(schedule.planes[r], schedule.words + 4 * r);
    }
}

// Transposes the 8 x 8 bit matrix of a word's bytes: bit i of byte k
// changes places with bit k of byte i.
inline Word transposeBytes(Word x) {
    Word t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    return x ^ t ^ (t << 28);
}

// SubWord of the key expansion: the S-box on the four bytes of a column
// word through the same circuit, the bytes in the low bits of the planes.
std::uint32_t subWord(std::uint32_t w) {
    const Word bits = transposeBytes(w); // byte i: bit i of each of the four bytes
    Slice<1> q[8];
    for (unsigned i = 0; i < 8; ++i) {
        q[i].w[0] = (bits >> (8 * i)) & 0xF;
    }
    subBytes(q);
    Word out = 0;
    for (unsigned i = 0; i < 8; ++i) {
        out |= (q[i].w[0] & 0xF) << (8 * i);
    }
    return static_cast<std::uint32_t>(transposeBytes(out));
}

// Multiplication by 2 in GF(2^8) on the four bytes of a word, without a
// branch or a table: a byte's top bit becomes the reduction 0x1B.
inline std::uint32_t timesTwo(std::uint32_t w) {
    const std::uint32_t top = (w >> 7) & 0x01010101u;
    return ((w & 0x7F7F7F7Fu) << 1) ^ top ^ (top << 1) ^ (top << 3) ^ (top << 4);
}

inline std::uint32_t rotateBytes(std::uint32_t w, unsigned n) {
    return (w >> n) | (w << (32 - n));
}

// InvMixColumns of one column word: row r becomes
// 14 a(r) + 11 a(r+1) + 13 a(r+2) + 9 a(r+3).
std::uint32_t inverseMixColumn(std::uint32_t a) {
    const std::uint32_t a2 = timesTwo(a), a4 = timesTwo(a2), a8 = timesTwo(a4);
    return (a8 ^ a4 ^ a2) ^ rotateBytes(a8 ^ a2 ^ a, 8) ^ rotateBytes(a8 ^ a4 ^ a, 16) ^ rotateBytes(a8 ^ a, 24);
}

bool expandEncryptKey(AesKeySchedule& schedule, const unsigned char* key, int bits) {
    if (!aesExpandKeyWords(schedule, key, bits, subWord)) {
        return false;
    }
    sliceSchedule(schedule);
    return true;
}

void makeDecryptKey(AesKeySchedule& decrypt, const AesKeySchedule& encrypt) {
    const unsigned rounds = encrypt.rounds;
    for (unsigned r = 0; r <= rounds; ++r) {
        for (unsigned c = 0; c < 4; ++c) {
            const std::uint32_t w = encrypt.words[4 * (rounds - r) + c];
            decrypt.words[4 * r + c] = (r == 0 || r == rounds) ? w : inverseMixColumn(w);
        }
    }
    decrypt.rounds = rounds;
    sliceSchedule(decrypt);
}

} // namespace

const AesEngine& aesPortableEngine() {
    static const AesEngine engine = {expandEncryptKey, makeDecryptKey, encryptBlocks, decryptBlocks,
                                     cbcEncrypt,       cbcDecrypt,     ctrBlocks};
    return engine;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane
