// The AES block transform behind the five modes: key schedules and the two
// engines that run them, the portable bitsliced one and the one on the
// processor's AES instructions.
//
// A round key is four 32-bit column words, each holding its column's bytes
// in ascending order from the low byte up (the first byte of the block is the
// low byte of column 0). Stored in memory on a little-endian processor that
// is exactly the round key's byte string, so the instruction path loads the
// same schedule the portable path reads. Decryption uses the equivalent
// inverse cipher: its schedule is the encryption schedule reversed, with the
// inner round keys passed through InvMixColumns, which is the form the
// processor's decryption rounds expect as well. For the portable engine the
// schedule also holds the same round keys as its bit planes, made with it.
//
// Neither engine branches on, or reads memory at an address computed from,
// the key, the IV or the data: the processor's instructions take the same
// time for any value, and ctcheck/ shows it of the portable engine under
// valgrind.
#ifndef DOZUV2_UTILS_AESCORE_H
#define DOZUV2_UTILS_AESCORE_H

#include "Src/Platform/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Utils {
namespace Detail {

struct AesKeySchedule {
    alignas(16) std::uint32_t words[60]; // (rounds + 1) round keys of 4 words
    unsigned int rounds;                 // 10, 12 or 14; 0 until expanded
    std::uint64_t planes[15][8];         // the portable engine's: each round key bitsliced, in all four lanes
};

// The key expansion on column words, with the engine's SubWord (the S-box on
// each byte of a word): fills the words and the round count of the schedule
// from a 128-, 192- or 256-bit key; false (schedule untouched) for any other
// size.
bool aesExpandKeyWords(AesKeySchedule& schedule, const unsigned char* key, int bits,
                       std::uint32_t (*subWord)(std::uint32_t));

// An engine: its key set-up, and bulk operations on whole 16-byte blocks.
// in and out may be the same buffer. The CBC and CTR forms carry their IV
// or counter block through.
struct AesEngine {
    // Expands a 128-, 192- or 256-bit key; false (schedule untouched) for any
    // other size.
    bool (*expandEncryptKey)(AesKeySchedule& schedule, const unsigned char* key, int bits);
    // The decryption schedule from an expanded encryption schedule.
    void (*makeDecryptKey)(AesKeySchedule& decrypt, const AesKeySchedule& encrypt);
    void (*encryptBlocks)(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks);
    void (*decryptBlocks)(const AesKeySchedule& ks, unsigned char* out, const unsigned char* in, std::size_t blocks);
    void (*cbcEncrypt)(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                       std::size_t blocks);
    void (*cbcDecrypt)(const AesKeySchedule& ks, unsigned char iv[16], unsigned char* out, const unsigned char* in,
                       std::size_t blocks);
    // out = in xor E(counter), E(counter + 1), ...; the counter, a 128-bit
    // big-endian number, is left one past the last block used.
    void (*ctrBlocks)(const AesKeySchedule& ks, unsigned char counter[16], unsigned char* out, const unsigned char* in,
                      std::size_t blocks);
};

const AesEngine& aesPortableEngine();
#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
const AesEngine& aesInstructionEngine();
#endif

// Overwrites the schedule's round keys with zeros, a word at a time, in
// stores the optimiser cannot drop although the memory is about to be
// released. Only the round keys of its size are written; the rest were
// never set.
inline void aesWipeSchedule(AesKeySchedule& schedule) {
    const unsigned keys = schedule.rounds + 1;
    volatile std::uint32_t* words = schedule.words;
    for (unsigned i = 0; i < 4 * keys && i < 60; ++i) {
        words[i] = 0;
    }
    volatile std::uint64_t* planes = &schedule.planes[0][0];
    for (unsigned i = 0; i < 8 * keys && i < 120; ++i) {
        planes[i] = 0;
    }
}

// The column word of four bytes, the first in the low byte.
inline std::uint32_t aesLoadColumn(const unsigned char* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// Adds one to a 128-bit big-endian counter block. The carry runs through
// every byte, so the time taken does not depend on the counter.
inline void aesIncrementCounter(unsigned char counter[16]) {
    unsigned carry = 1;
    for (int i = 15; i >= 0; --i) {
        const unsigned sum = counter[i] + carry;
        counter[i] = static_cast<unsigned char>(sum);
        carry = sum >> 8;
    }
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
