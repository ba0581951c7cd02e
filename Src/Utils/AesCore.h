// The AES block transform behind the five modes: key schedules and the two
// engines that run them, the portable table-driven one and the one on the
// processor's AES instructions.
//
// A round key is four 32-bit column words, each holding its column's bytes
// in ascending order from the low byte up (the first byte of the block is the
// low byte of column 0). Stored in memory on a little-endian processor that
// is exactly the round key's byte string, so the instruction path loads the
// same schedule the portable path reads. Decryption uses the equivalent
// inverse cipher: its schedule is the encryption schedule reversed, with the
// inner round keys passed through InvMixColumns, which is the form the
// processor's decryption rounds expect as well.
#ifndef DOZUV2_UTILS_AESCORE_H
#define DOZUV2_UTILS_AESCORE_H

#include "Platform/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Utils {
namespace Detail {

struct AesKeySchedule {
    alignas(16) std::uint32_t words[60]; // (rounds + 1) round keys of 4 words
    unsigned int rounds;                 // 10, 12 or 14; 0 until expanded
};

// Expands a 128-, 192- or 256-bit key; false (schedule untouched) for any
// other size. The first expansion of the process builds the shared tables.
bool aesExpandEncryptKey(AesKeySchedule& schedule, const unsigned char* key, int bits);
// The decryption schedule from an expanded encryption schedule.
void aesMakeDecryptKey(AesKeySchedule& decrypt, const AesKeySchedule& encrypt);

// Bulk operations on whole 16-byte blocks. in and out may be the same
// buffer. The CBC and CTR forms carry their IV or counter block through.
struct AesEngine {
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
#if defined(DOZUV2_X86_PATHS)
const AesEngine& aesInstructionEngine();
#endif

// Adds one to a 128-bit big-endian counter block.
inline void aesIncrementCounter(unsigned char counter[16]) {
    for (int i = 15; i >= 0; --i) {
        if (++counter[i] != 0) {
            break;
        }
    }
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
