// CRC-32 folding on the carry-less multiply instruction, and on ARM the
// CRC-32 instructions, reached only through the dispatcher in Crc.cpp when
// the processor has them.
#ifndef DOZUV2_UTILS_CRCCORE_H
#define DOZUV2_UTILS_CRCCORE_H

#include "Src/Platform/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Utils {
namespace Detail {

#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
// Advances the CRC-32 register (the value before the final XOR) over data;
// length is a multiple of 16 and at least 64.
std::uint32_t crc32Fold(std::uint32_t reg, const unsigned char* data, std::size_t length);

// The shortest input the dispatcher folds. On x86 the fold is the only
// instruction path; ARM's CRC-32 instructions take 8 bytes an instruction,
// and the fold, whose set-up and final reduction cost about as much as 200
// bytes of them, is left for long inputs, where its independent accumulators
// outrun their single chain.
// The fold's constants for CRC-32's reflected polynomial, one set for every
// instruction path: the factors that move 128 bits on by 64 and by 16 bytes
// (two halves each), then by 4, and the polynomial and Barrett's quotient for
// the final reduction to 32 bits.
struct Crc32FoldConstants {
    std::uint64_t by64Low, by64High;
    std::uint64_t by16Low, by16High;
    std::uint64_t by4;
    std::uint64_t polynomial, barrettQuotient;
};
constexpr Crc32FoldConstants kCrc32Fold = {0x0154442bd4ULL, 0x01c6e41596ULL, 0x01751997d0ULL, 0x00ccaa009eULL,
                                           0x0163cd6124ULL, 0x01db710641ULL, 0x01f7011641ULL};

#if defined(DOZUV2_X86_PATHS)
constexpr std::size_t kCrc32FoldMinimum = 64;
#else
constexpr std::size_t kCrc32FoldMinimum = 1024;
#endif
#endif

#if defined(DOZUV2_ARM64_PATHS)
// Advances the CRC-32 register over data of any length.
std::uint32_t crc32Instructions(std::uint32_t reg, const unsigned char* data, std::size_t length);
#endif

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
