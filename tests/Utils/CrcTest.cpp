// crc16 and crc32: the catalogue's check values, a starting value carried,
// empty input and the bound of the processor path's fold. zlib for random
// lengths, pieces and alignments, on both paths, is the cipher stream fuzz
// target's.
#include "utils/Crc.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Orvane::Utils;

namespace {

const unsigned char kDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

} // namespace

TEST(CrcTest, CheckValuesStartingValuesEmptyInputAndTheFoldBound) {
    EXPECT_EQ(crc16(0, kDigits, 9), 0xBB3D) << "CRC-16/ARC";
    EXPECT_EQ(crc16(0xFFFF, kDigits, 9), 0x4B37) << "CRC-16/MODBUS";
    EXPECT_EQ(crc16(0x1234, kDigits, 0), 0x1234);
    EXPECT_EQ(crc32(kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0u, kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(kDigits, 0), 0u);
    EXPECT_EQ(crc32(0xCBF43926u, kDigits, 0), 0xCBF43926u);
    // A result passed on continues the computation over the next piece.
    EXPECT_EQ(crc16(crc16(0, kDigits, 4), kDigits + 4, 5), 0xBB3D);
    EXPECT_EQ(crc16(crc16(0xFFFF, kDigits, 4), kDigits + 4, 5), 0x4B37);
    EXPECT_EQ(crc32(crc32(kDigits, 4), kDigits + 4, 5), 0xCBF43926u);
    // The processor path folds from 64 bytes on: one below the bound, at it, and with a tail (zlib's values).
    const std::vector<unsigned char> a(100, 'a');
    EXPECT_EQ(std::vector<unsigned int>({crc32(a.data(), 63), crc32(a.data(), 64), crc32(a.data(), 100)}),
              std::vector<unsigned int>({0x6824C5DEu, 0x89B46555u, 0xAF707A64u}));
    // Continued on either side of the bound.
    EXPECT_EQ(
        std::vector<unsigned int>({crc32(crc32(a.data(), 64), a.data(), 36), crc32(crc32(a.data(), 36), a.data(), 64),
                                   crc32(crc32(a.data(), 1), a.data(), 63)}),
        std::vector<unsigned int>({0xAF707A64u, 0xAF707A64u, 0x89B46555u}));
}
