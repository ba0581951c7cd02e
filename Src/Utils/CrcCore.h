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
