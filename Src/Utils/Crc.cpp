// The checksums. CRC-16 runs a byte at a time over its table. CRC-32 runs
// eight bytes per step over eight tables (each table advances the register
// past one more byte), or folds 64 bytes per step with carry-less multiplies
// where the processor has them, or takes ARM's CRC-32 instructions; all give
// the byte-at-a-time result. The tables are computed at compile time.
#include "utils/Crc.h"

#include "Src/Utils/CrcCore.h"
#include "Src/Utils/InstructionPaths.h"

#include <cstdint>

namespace Orvane {
namespace Utils {

namespace {

struct Crc16Table {
    std::uint16_t entry[256];
};

constexpr Crc16Table makeCrc16Table() {
    Crc16Table t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        t.entry[i] = static_cast<std::uint16_t>(crc);
    }
    return t;
}

struct Crc32Tables {
    std::uint32_t slice[8][256];
};

constexpr Crc32Tables makeCrc32Tables() {
    Crc32Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        t.slice[0][i] = crc;
    }
    for (unsigned k = 1; k < 8; ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint32_t previous = t.slice[k - 1][i];
            t.slice[k][i] = (previous >> 8) ^ t.slice[0][previous & 0xFF];
        }
    }
    return t;
}

constexpr Crc16Table kCrc16 = makeCrc16Table();
constexpr Crc32Tables kCrc32 = makeCrc32Tables();

std::uint32_t crc32Portable(std::uint32_t reg, const unsigned char* data, std::size_t length) {
    const auto& t = kCrc32.slice;
    for (; length >= 8; length -= 8, data += 8) {
        const std::uint32_t low = reg ^ (data[0] | (std::uint32_t{data[1]} << 8) | (std::uint32_t{data[2]} << 16) |
                                         (std::uint32_t{data[3]} << 24));
        reg = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][data[4]] ^
              t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length != 0; --length, ++data) {
        reg = (reg >> 8) ^ t[0][(reg ^ *data) & 0xFF];
    }
    return reg;
}

std::uint32_t crc32Register(std::uint32_t reg, const unsigned char* data, std::size_t length) {
#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
    if (length >= Detail::kCrc32FoldMinimum && Detail::instructionPaths().clmul) {
        const std::size_t folded = length & ~std::size_t{15};
        reg = Detail::crc32Fold(reg, data, folded);
        data += folded;
        length -= folded;
    }
#endif
#if defined(DOZUV2_ARM64_PATHS)
    if (length != 0 && Detail::instructionPaths().crc32) {
        return Detail::crc32Instructions(reg, data, length);
    }
#endif
    return crc32Portable(reg, data, length);
}

} // namespace

unsigned short crc16(unsigned short crc, const unsigned char* data, std::size_t length) {
    unsigned reg = crc;
    for (std::size_t i = 0; i < length; ++i) {
        reg = (reg >> 8) ^ kCrc16.entry[(reg ^ data[i]) & 0xFF];
    }
    return static_cast<unsigned short>(reg);
}

unsigned int crc32(const unsigned char* data, std::size_t length) {
    return crc32(0u, data, length);
}

unsigned int crc32(unsigned int crc, const unsigned char* data, std::size_t length) {
    return crc32Register(crc ^ 0xFFFFFFFFu, data, length) ^ 0xFFFFFFFFu;
}

} // namespace Utils
} // namespace Orvane
