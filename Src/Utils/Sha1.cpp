// CSha1: the portable SHA-1 compression function with a 16-word rolling
// message schedule, the instruction path where the processor has it, and the
// shared digest buffering.
#include "utils/Sha1.h"

#include "Src/Common/Report.h"
#include "Src/Utils/DigestStream.h"
#include "Src/Utils/InstructionPaths.h"
#include "Src/Utils/Sha1Core.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace Orvane {
namespace Utils {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t loadBe(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void compressPortable(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
    std::uint32_t w[16];
    for (; blocks != 0; --blocks, data += 64) {
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        for (int t = 0; t < 80; ++t) {
            std::uint32_t word;
            if (t < 16) {
                word = w[t] = loadBe(data + 4 * t);
            } else {
                word = w[t & 15] = rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
            }
            std::uint32_t f;
            if (t < 20) {
                f = (d ^ (b & (c ^ d))) + 0x5A827999;
            } else if (t < 40) {
                f = (b ^ c ^ d) + 0x6ED9EBA1;
            } else if (t < 60) {
                f = ((b & c) | (d & (b | c))) + 0x8F1BBCDC;
            } else {
                f = (b ^ c ^ d) + 0xCA62C1D6;
            }
            const std::uint32_t next = rotl(a, 5) + f + e + word;
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = next;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

void compress(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
    if (Detail::instructionPaths().sha) {
        Detail::sha1BlocksInstructions(state, data, blocks);
        return;
    }
#endif
    compressPortable(state, data, blocks);
}

} // namespace

struct CSha1::Sha1Internal {
    std::uint32_t state[5];
    Detail::DigestStream stream;
    unsigned char digest[20];
    bool finished;

    void restart() {
        std::memset(this, 0, sizeof *this);
        state[0] = 0x67452301;
        state[1] = 0xEFCDAB89;
        state[2] = 0x98BADCFE;
        state[3] = 0x10325476;
        state[4] = 0xC3D2E1F0;
    }

    void finish() {
        if (finished) {
            return;
        }
        Detail::digestPad(stream, state, compress, true);
        for (int i = 0; i < 20; ++i) {
            digest[i] = static_cast<unsigned char>(state[i / 4] >> (24 - 8 * (i % 4)));
        }
        finished = true;
    }
};

CSha1::CSha1() : m_internal(new (std::nothrow) Sha1Internal) {
    VIRAD_ASSERT(m_internal);
    m_internal->restart();
}

CSha1::~CSha1() {
    delete m_internal;
}

void CSha1::update(const unsigned char* data, std::size_t length) {
    if (data == nullptr || length == 0) {
        return;
    }
    if (m_internal->finished) {
        m_internal->restart();
    }
    Detail::digestFeed(m_internal->stream, m_internal->state, compress, data, length);
}

void CSha1::final(unsigned char* digest, std::size_t length) {
    if (digest == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "hash is NULL!\n");
        return;
    }
    if (length < 20) {
        VIRAD_REPORT(Virad::LOG_ERROR, "len:%u is invalid!\n", static_cast<unsigned>(length));
        return;
    }
    m_internal->finish();
    std::memcpy(digest, m_internal->digest, 20);
}

void CSha1::hex(char* text, std::size_t length) {
    if (text == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "str is NULL!\n");
        return;
    }
    if (length < 40) {
        VIRAD_REPORT(Virad::LOG_ERROR, "len:%u is invalid!\n", static_cast<unsigned>(length));
        return;
    }
    m_internal->finish();
    Detail::digestHex(text, m_internal->digest, 20);
    if (length > 40) {
        text[40] = '\0';
    }
}

} // namespace Utils
} // namespace Orvane
