// The AES key expansion on column words, shared by the engines, each of
// which brings its own SubWord: the portable engine its S-box circuit, the
// instruction engine the processor's last-round instruction. Neither looks
// anything up by the key's value.
#include "Src/Utils/AesCore.h"

namespace Orvane {
namespace Utils {
namespace Detail {

bool aesExpandKeyWords(AesKeySchedule& schedule, const unsigned char* key, int bits,
                       std::uint32_t (*subWord)(std::uint32_t)) {
    if (bits != 128 && bits != 192 && bits != 256) {
        return false;
    }
    const unsigned nk = static_cast<unsigned>(bits) / 32;
    const unsigned rounds = nk + 6;
    std::uint32_t* w = schedule.words;
    for (unsigned i = 0; i < nk; ++i) {
        w[i] = aesLoadColumn(key + 4 * i);
    }
    std::uint32_t rcon = 1; // x^(i/nk - 1) in GF(2^8); depends on the position only
    for (unsigned i = nk; i < 4 * (rounds + 1); ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = subWord((temp >> 8) | (temp << 24)) ^ rcon; // RotWord on column words
            rcon = (rcon << 1) ^ ((rcon & 0x80) ? 0x11B : 0);
        } else if (nk > 6 && i % nk == 4) {
            temp = subWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    schedule.rounds = rounds;
    return true;
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane
