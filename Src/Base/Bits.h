// Bit arithmetic on sizes, shared by the allocators.
#ifndef DOZUV2_BASE_BITS_H
#define DOZUV2_BASE_BITS_H

#include "Src/Platform/Cpu.h"

#include <cstdint>

namespace Orvane {
namespace Base {

// floor(log2(value)); value must not be 0.
inline unsigned floorLog2(std::uint64_t value) {
    return Platform::highestSetBit(value);
}

// The index of the lowest set bit; value must not be 0.
inline unsigned lowestSetBit(std::uint64_t value) {
    return Platform::lowestSetBit(value);
}

// The largest power of two not above value; value must not be 0.
inline std::uint64_t floorPowerOfTwo(std::uint64_t value) {
    return std::uint64_t{1} << floorLog2(value);
}

} // namespace Base
} // namespace Orvane

#endif
