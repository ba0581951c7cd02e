// The portable AES engine: 32-bit column words and the four-table round
// functions, one block at a time, with no instruction beyond the baseline.
//
// The tables are computed from the field arithmetic on the first key
// expansion of the process. They live in a function-local never-destroyed
// object: the language makes its construction thread-safe when two threads
// make their first CAes at once, and it stays valid through process exit.
#include "Utils/AesCore.h"

#include "Common/NeverDestroyed.h"

#include <cstring>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

// Te[i][x] is the MixColumns column of S(x) for an input byte in row i,
// Td[i][x] the InvMixColumns column of S^-1(x), both as column words.
struct AesTables {
    unsigned char sbox[256];
    unsigned char inverseSbox[256];
    std::uint32_t te[4][256];
    std::uint32_t td[4][256];

    AesTables() {
        // S-box from the multiplicative inverse (walking the powers of 3
        // and of its inverse together) and the affine map.
        unsigned char p = 1, q = 1;
        do {
            p = static_cast<unsigned char>(p ^ (p << 1) ^ ((p & 0x80) ? 0x1B : 0));
            q = static_cast<unsigned char>(q ^ (q << 1));
            q = static_cast<unsigned char>(q ^ (q << 2));
            q = static_cast<unsigned char>(q ^ (q << 4));
            if (q & 0x80) {
                q ^= 0x09;
            }
            const unsigned char affine =
                static_cast<unsigned char>(q ^ rotl8(q, 1) ^ rotl8(q, 2) ^ rotl8(q, 3) ^ rotl8(q, 4));
            sbox[p] = static_cast<unsigned char>(affine ^ 0x63);
        } while (p != 1);
        sbox[0] = 0x63;
        for (int x = 0; x < 256; ++x) {
            inverseSbox[sbox[x]] = static_cast<unsigned char>(x);
        }
        for (int x = 0; x < 256; ++x) {
            const unsigned s = sbox[x], si = inverseSbox[x];
            const std::uint32_t e = word(mul(s, 2), s, s, mul(s, 3));
            const std::uint32_t d = word(mul(si, 14), mul(si, 9), mul(si, 13), mul(si, 11));
            for (int i = 0; i < 4; ++i) {
                te[i][x] = rotl32(e, 8 * i);
                td[i][x] = rotl32(d, 8 * i);
            }
        }
    }

    static unsigned char rotl8(unsigned char x, int n) { return static_cast<unsigned char>((x << n) | (x >> (8 - n))); }
    static std::uint32_t rotl32(std::uint32_t x, int n) { return n == 0 ? x : (x << n) | (x >> (32 - n)); }
    static std::uint32_t word(unsigned b0, unsigned b1, unsigned b2, unsigned b3) {
        return b0 | (b1 << 8) | (b2 << 16) | (std::uint32_t{b3} << 24);
    }
    // Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
    static unsigned mul(unsigned a, unsigned b) {
        unsigned product = 0;
        while (b != 0) {
            if (b & 1) {
                product ^= a;
            }
            a = ((a << 1) ^ ((a & 0x80) ? 0x1B : 0)) & 0xFF;
            b >>= 1;
        }
        return product;
    }
};

const AesTables& tables() {
    static Common::NeverDestroyed<AesTables> instance;
    return instance.get();
}

inline std::uint32_t loadWord(const unsigned char* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

inline void storeWord(unsigned char* p, std::uint32_t w) {
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
    p[3] = static_cast<unsigned char>(w >> 24);
}

inline unsigned b0(std::uint32_t w) {
    return w & 0xFF;
}
inline unsigned b1(std::uint32_t w) {
    return (w >> 8) & 0xFF;
}
inline unsigned b2(std::uint32_t w) {
    return (w >> 16) & 0xFF;
}
inline unsigned b3(std::uint32_t w) {
    return w >> 24;
}

// One block's state: four column words.
using State = std::uint32_t[4];

inline void loadState(State& s, const unsigned char* in, const std::uint32_t* rk) {
    for (int c = 0; c < 4; ++c) {
        s[c] = loadWord(in + 4 * c) ^ rk[c];
    }
}

inline void encryptRound(const AesTables& t, State& s, const std::uint32_t* rk) {
    const std::uint32_t t0 = t.te[0][b0(s[0])] ^ t.te[1][b1(s[1])] ^ t.te[2][b2(s[2])] ^ t.te[3][b3(s[3])] ^ rk[0];
    const std::uint32_t t1 = t.te[0][b0(s[1])] ^ t.te[1][b1(s[2])] ^ t.te[2][b2(s[3])] ^ t.te[3][b3(s[0])] ^ rk[1];
    const std::uint32_t t2 = t.te[0][b0(s[2])] ^ t.te[1][b1(s[3])] ^ t.te[2][b2(s[0])] ^ t.te[3][b3(s[1])] ^ rk[2];
    const std::uint32_t t3 = t.te[0][b0(s[3])] ^ t.te[1][b1(s[0])] ^ t.te[2][b2(s[1])] ^ t.te[3][b3(s[2])] ^ rk[3];
    s[0] = t0;
    s[1] = t1;
    s[2] = t2;
    s[3] = t3;
}

inline void encryptLastRound(const AesTables& t, const State& s, const std::uint32_t* rk, unsigned char* out) {
    const unsigned char* x = t.sbox;
    for (int c = 0; c < 4; ++c) {
        storeWord(out + 4 * c,
                  AesTables::word(x[b0(s[c])], x[b1(s[(c + 1) % 4])], x[b2(s[(c + 2) % 4])], x[b3(s[(c + 3) % 4])]) ^
                      rk[c]);
    }
}

void encryptBlock(const AesTables& t, const AesKeySchedule& ks, unsigned char* out, const unsigned char* in) {
    State s;
    loadState(s, in, ks.words);
    for (unsigned round = 1; round < ks.rounds; ++round) {
        encryptRound(t, s, ks.words + 4 * round);
    }
    encryptLastRound(t, s, ks.words + 4 * ks.rounds, out);
}

// Two independent blocks round by round, so the table lookups of one fill
// the waits of the other.
void encryptTwoBlocks(const AesTables& t, const AesKeySchedule& ks, unsigned char* out, const unsigned char* in) {
    State a, b;
    loadState(a, in, ks.words);
    loadState(b, in + 16, ks.words);
    for (unsigned round = 1; round < ks.rounds; ++round) {
        encryptRound(t, a, ks.words + 4 * round);
        encryptRound(t, b, ks.words + 4 * round);
    }
    encryptLastRound(t, a, ks.words + 4 * ks.rounds, out);
    encryptLastRound(t, b, ks.words + 4 * ks.rounds, out + 16);
}

void decryptBlock(const AesTables& t, const AesKeySchedule& ks, unsigned char* out, const unsigned char* in) {
    const std::uint32_t* rk = ks.words;
    std::uint32_t s0 = loadWord(in) ^ rk[0], s1 = loadWord(in + 4) ^ rk[1];
    std::uint32_t s2 = loadWord(in + 8) ^ rk[2], s3 = loadWord(in + 12) ^ rk[3];
    for (unsigned round = 1; round < ks.rounds; ++round) {
        rk += 4;
        const std::uint32_t t0 = t.td[0][b0(s0)] ^ t.td[1][b1(s3)] ^ t.td[2][b2(s2)] ^ t.td[3][b3(s1)] ^ rk[0];
        const std::uint32_t t1 = t.td[0][b0(s1)] ^ t.td[1][b1(s0)] ^ t.td[2][b2(s3)] ^ t.td[3][b3(s2)] ^ rk[1];
        const std::uint32_t t2 = t.td[0][b0(s2)] ^ t.td[1][b1(s1)] ^ t.td[2][b2(s0)] ^ t.td[3][b3(s3)] ^ rk[2];
        const std::uint32_t t3 = t.td[0][b0(s3)] ^ t.td[1][b1(s2)] ^ t.td[2][b2(s1)] ^ t.td[3][b3(s0)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const unsigned char* s = t.inverseSbox;
    storeWord(out, AesTables::word(s[b0(s0)], s[b1(s3)], s[b2(s2)], s[b3(s1)]) ^ rk[0]);
    storeWord(out + 4, AesTables::word(s[b0(s1)], s[b1(s0)], s[b2(s3)], s[b3(s2)]) ^ rk[1]);
    storeWord(out + 8, AesTables::word(s[b0(s2)], s[b1(s1)], s[b2(s0)], s[b3(s3)]) ^ rk[2]);
    storeWord(out + 12, AesTables::word(s[b0(s3)], s[b1(s2)], s[b2(s1)], s[b3(s0)]) ^ rk[3]);
}

inline void xorBlock(unsigned char* out, const unsigned char* a, const unsigned char* b) {
    for (int i = 0; i < 16; ++i) {
        out[i] = static_cast<unsigned char>(a[i] ^ b[i]);
    }
}

void encryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    const AesTables& t = tables();
    for (; blocks >= 2; blocks -= 2, in += 32, out += 32) {
        encryptTwoBlocks(t, ks, out, in);
    }
    if (blocks != 0) {
        encryptBlock(t, ks, out, in);
    }
}

void decryptBlocks(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks) {
    const AesTables& t = tables();
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        decryptBlock(t, ks, out, in);
    }
}

void cbcEncrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    const AesTables& t = tables();
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        unsigned char block[16];
        xorBlock(block, in, iv);
        encryptBlock(t, ks, iv, block);
        std::memcpy(out, iv, 16);
    }
}

void cbcDecrypt(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                std::size_t blocks) {
    const AesTables& t = tables();
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        unsigned char cipher[16], plain[16];
        std::memcpy(cipher, in, 16); // out may be in
        decryptBlock(t, ks, plain, cipher);
        xorBlock(out, plain, iv);
        std::memcpy(iv, cipher, 16);
    }
}

void ctrBlocks(const AesKeySchedule& ks, unsigned char counter[16], unsigned char* out, const unsigned char* in,
               std::size_t blocks) {
    const AesTables& t = tables();
    while (blocks != 0) {
        const std::size_t lanes = blocks >= 2 ? 2 : 1;
        unsigned char counters[32], stream[32];
        for (std::size_t i = 0; i < lanes; ++i) {
            std::memcpy(counters + 16 * i, counter, 16);
            aesIncrementCounter(counter);
        }
        if (lanes == 2) {
            encryptTwoBlocks(t, ks, stream, counters);
        } else {
            encryptBlock(t, ks, stream, counters);
        }
        for (std::size_t i = 0; i < 16 * lanes; ++i) {
            out[i] = static_cast<unsigned char>(in[i] ^ stream[i]);
        }
        blocks -= lanes;
        in += 16 * lanes;
        out += 16 * lanes;
    }
}

} // namespace

bool aesExpandEncryptKey(AesKeySchedule& schedule, const unsigned char* key, int bits) {
    if (bits != 128 && bits != 192 && bits != 256) {
        return false;
    }
    const AesTables& t = tables();
    const unsigned nk = static_cast<unsigned>(bits) / 32;
    const unsigned rounds = nk + 6;
    std::uint32_t* w = schedule.words;
    for (unsigned i = 0; i < nk; ++i) {
        w[i] = loadWord(key + 4 * i);
    }
    unsigned char rcon = 1;
    for (unsigned i = nk; i < 4 * (rounds + 1); ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = (temp >> 8) | (temp << 24); // RotWord on column words
            temp = AesTables::word(t.sbox[b0(temp)], t.sbox[b1(temp)], t.sbox[b2(temp)], t.sbox[b3(temp)]) ^ rcon;
            rcon = static_cast<unsigned char>((rcon << 1) ^ ((rcon & 0x80) ? 0x1B : 0));
        } else if (nk > 6 && i % nk == 4) {
            temp = AesTables::word(t.sbox[b0(temp)], t.sbox[b1(temp)], t.sbox[b2(temp)], t.sbox[b3(temp)]);
        }
        w[i] = w[i - nk] ^ temp;
    }
    schedule.rounds = rounds;
    return true;
}

void aesMakeDecryptKey(AesKeySchedule& decrypt, const AesKeySchedule& encrypt) {
    const AesTables& t = tables();
    const unsigned rounds = encrypt.rounds;
    for (unsigned r = 0; r <= rounds; ++r) {
        for (unsigned c = 0; c < 4; ++c) {
            const std::uint32_t w = encrypt.words[4 * (rounds - r) + c];
            decrypt.words[4 * r + c] = (r == 0 || r == rounds) ? w
                                                               : t.td[0][t.sbox[b0(w)]] ^ t.td[1][t.sbox[b1(w)]] ^
                                                                     t.td[2][t.sbox[b2(w)]] ^ t.td[3][t.sbox[b3(w)]];
        }
    }
    decrypt.rounds = rounds;
}

const AesEngine& aesPortableEngine() {
    static const AesEngine engine = {encryptBlocks, decryptBlocks, cbcEncrypt, cbcDecrypt, ctrBlocks};
    return engine;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane
