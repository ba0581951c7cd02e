// CRC-32 folding on the carry-less multiply instruction, reached only
// through the dispatcher in Crc.cpp when the processor has it.
#ifndef DOZUV2_UTILS_CRCCORE_H
#define DOZUV2_UTILS_CRCCORE_H

#include "Src/Platform/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Utils {
namespace Detail {

#if defined(DOZUV2_X86_PATHS)
// Advances the CRC-32 register (the value before the final XOR) over data;
// length is a multiple of 16 and at least 64.
std::uint32_t crc32Fold(std::uint32_t reg, const unsigned char* data, std::size_t length);
#endif

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
