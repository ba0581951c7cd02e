// CMd5: the MD5 compression function, fully unrolled, over the shared
// digest buffering.
#include "utils/Md5.h"

#include "Src/Common/Report.h"
#include "Src/Utils/DigestStream.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace Orvane {
namespace Utils {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t loadLe(const unsigned char* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// The four round functions in forms with fewer operations but the same value.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, k, s, t) (a) = (b) + rotl((a) + f((b), (c), (d)) + w[k] + (t), (s))

void compress(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
    std::uint32_t w[16];
    for (; blocks != 0; --blocks, data += 64) {
        for (int i = 0; i < 16; ++i) {
            w[i] = loadLe(data + 4 * i);
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        MD5_STEP(MD5_F, a, b, c, d, 0, 7, 0xd76aa478);
        MD5_STEP(MD5_F, d, a, b, c, 1, 12, 0xe8c7b756);
        MD5_STEP(MD5_F, c, d, a, b, 2, 17, 0x242070db);
        MD5_STEP(MD5_F, b, c, d, a, 3, 22, 0xc1bdceee);
        MD5_STEP(MD5_F, a, b, c, d, 4, 7, 0xf57c0faf);
        MD5_STEP(MD5_F, d, a, b, c, 5, 12, 0x4787c62a);
        MD5_STEP(MD5_F, c, d, a, b, 6, 17, 0xa8304613);
        MD5_STEP(MD5_F, b, c, d, a, 7, 22, 0xfd469501);
        MD5_STEP(MD5_F, a, b, c, d, 8, 7, 0x698098d8);
        MD5_STEP(MD5_F, d, a, b, c, 9, 12, 0x8b44f7af);
        MD5_STEP(MD5_F, c, d, a, b, 10, 17, 0xffff5bb1);
        MD5_STEP(MD5_F, b, c, d, a, 11, 22, 0x895cd7be);
        MD5_STEP(MD5_F, a, b, c, d, 12, 7, 0x6b901122);
        MD5_STEP(MD5_F, d, a, b, c, 13, 12, 0xfd987193);
        MD5_STEP(MD5_F, c, d, a, b, 14, 17, 0xa679438e);
        MD5_STEP(MD5_F, b, c, d, a, 15, 22, 0x49b40821);
        MD5_STEP(MD5_G, a, b, c, d, 1, 5, 0xf61e2562);
        MD5_STEP(MD5_G, d, a, b, c, 6, 9, 0xc040b340);
        MD5_STEP(MD5_G, c, d, a, b, 11, 14, 0x265e5a51);
        MD5_STEP(MD5_G, b, c, d, a, 0, 20, 0xe9b6c7aa);
        MD5_STEP(MD5_G, a, b, c, d, 5, 5, 0xd62f105d);
        MD5_STEP(MD5_G, d, a, b, c, 10, 9, 0x02441453);
        MD5_STEP(MD5_G, c, d, a, b, 15, 14, 0xd8a1e681);
        MD5_STEP(MD5_G, b, c, d, a, 4, 20, 0xe7d3fbc8);
        MD5_STEP(MD5_G, a, b, c, d, 9, 5, 0x21e1cde6);
        MD5_STEP(MD5_G, d, a, b, c, 14, 9, 0xc33707d6);
        MD5_STEP(MD5_G, c, d, a, b, 3, 14, 0xf4d50d87);
        MD5_STEP(MD5_G, b, c, d, a, 8, 20, 0x455a14ed);
        MD5_STEP(MD5_G, a, b, c, d, 13, 5, 0xa9e3e905);
        MD5_STEP(MD5_G, d, a, b, c, 2, 9, 0xfcefa3f8);
        MD5_STEP(MD5_G, c, d, a, b, 7, 14, 0x676f02d9);
        MD5_STEP(MD5_G, b, c, d, a, 12, 20, 0x8d2a4c8a);
        MD5_STEP(MD5_H, a, b, c, d, 5, 4, 0xfffa3942);
        MD5_STEP(MD5_H, d, a, b, c, 8, 11, 0x8771f681);
        MD5_STEP(MD5_H, c, d, a, b, 11, 16, 0x6d9d6122);
        MD5_STEP(MD5_H, b, c, d, a, 14, 23, 0xfde5380c);
        MD5_STEP(MD5_H, a, b, c, d, 1, 4, 0xa4beea44);
        MD5_STEP(MD5_H, d, a, b, c, 4, 11, 0x4bdecfa9);
        MD5_STEP(MD5_H, c, d, a, b, 7, 16, 0xf6bb4b60);
        MD5_STEP(MD5_H, b, c, d, a, 10, 23, 0xbebfbc70);
        MD5_STEP(MD5_H, a, b, c, d, 13, 4, 0x289b7ec6);
        MD5_STEP(MD5_H, d, a, b, c, 0, 11, 0xeaa127fa);
        MD5_STEP(MD5_H, c, d, a, b, 3, 16, 0xd4ef3085);
        MD5_STEP(MD5_H, b, c, d, a, 6, 23, 0x04881d05);
        MD5_STEP(MD5_H, a, b, c, d, 9, 4, 0xd9d4d039);
        MD5_STEP(MD5_H, d, a, b, c, 12, 11, 0xe6db99e5);
        MD5_STEP(MD5_H, c, d, a, b, 15, 16, 0x1fa27cf8);
        MD5_STEP(MD5_H, b, c, d, a, 2, 23, 0xc4ac5665);
        MD5_STEP(MD5_I, a, b, c, d, 0, 6, 0xf4292244);
        MD5_STEP(MD5_I, d, a, b, c, 7, 10, 0x432aff97);
        MD5_STEP(MD5_I, c, d, a, b, 14, 15, 0xab9423a7);
        MD5_STEP(MD5_I, b, c, d, a, 5, 21, 0xfc93a039);
        MD5_STEP(MD5_I, a, b, c, d, 12, 6, 0x655b59c3);
        MD5_STEP(MD5_I, d, a, b, c, 3, 10, 0x8f0ccc92);
        MD5_STEP(MD5_I, c, d, a, b, 10, 15, 0xffeff47d);
        MD5_STEP(MD5_I, b, c, d, a, 1, 21, 0x85845dd1);
        MD5_STEP(MD5_I, a, b, c, d, 8, 6, 0x6fa87e4f);
        MD5_STEP(MD5_I, d, a, b, c, 15, 10, 0xfe2ce6e0);
        MD5_STEP(MD5_I, c, d, a, b, 6, 15, 0xa3014314);
        MD5_STEP(MD5_I, b, c, d, a, 13, 21, 0x4e0811a1);
        MD5_STEP(MD5_I, a, b, c, d, 4, 6, 0xf7537e82);
        MD5_STEP(MD5_I, d, a, b, c, 11, 10, 0xbd3af235);
        MD5_STEP(MD5_I, c, d, a, b, 2, 15, 0x2ad7d2bb);
        MD5_STEP(MD5_I, b, c, d, a, 9, 21, 0xeb86d391);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
}

#undef MD5_STEP
#undef MD5_I
#undef MD5_H
#undef MD5_G
#undef MD5_F

} // namespace

struct CMd5::Md5Internal {
    std::uint32_t state[4];
    Detail::DigestStream stream;
    unsigned char digest[16];
    bool finished;

    void restart() {
        std::memset(this, 0, sizeof *this);
        state[0] = 0x67452301;
        state[1] = 0xefcdab89;
        state[2] = 0x98badcfe;
        state[3] = 0x10325476;
    }

    void finish() {
        if (finished) {
            return;
        }
        Detail::digestPad(stream, state, compress, false);
        for (int i = 0; i < 16; ++i) {
            digest[i] = static_cast<unsigned char>(state[i / 4] >> (8 * (i % 4)));
        }
        finished = true;
    }
};

CMd5::CMd5() : m_internal(new (std::nothrow) Md5Internal) {
    VIRAD_ASSERT(m_internal);
    m_internal->restart();
}

CMd5::~CMd5() {
    delete m_internal;
}

void CMd5::init() {
    m_internal->restart();
}

void CMd5::update(const unsigned char* data, std::size_t length) {
    if (data == nullptr || length == 0) {
        return;
    }
    if (m_internal->finished) {
        m_internal->restart();
    }
    Detail::digestFeed(m_internal->stream, m_internal->state, compress, data, length);
}

void CMd5::final(unsigned char* digest) {
    if (digest == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "digest is NULL\n");
        return;
    }
    m_internal->finish();
    std::memcpy(digest, m_internal->digest, 16);
}

void CMd5::hex(char* text) {
    if (text == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "hash is NULL\n");
        return;
    }
    m_internal->finish();
    Detail::digestHex(text, m_internal->digest, 16);
}

} // namespace Utils
} // namespace Orvane
