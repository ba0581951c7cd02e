// crc16 and crc32: the catalogue's check values, a starting value carried and
// empty input. zlib for random lengths (either side of the processor path's
// 64-byte fold), pieces and alignments, on both paths, is the cipher stream
// fuzz target's.
#include "utils/Crc.h"

#include <gtest/gtest.h>

using namespace Orvane::Utils;

namespace {

const unsigned char kDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

} // namespace

TEST(CrcTest, CheckValuesStartingValuesAndEmptyInput) {
    EXPECT_EQ(crc16(0, kDigits, 9), 0xBB3D) << "CRC-16/ARC";
    EXPECT_EQ(crc16(0xFFFF, kDigits, 9), 0x4B37) << "CRC-16/MODBUS";
    EXPECT_EQ(crc16(0x1234, kDigits, 0), 0x1234);
    EXPECT_EQ(crc32(kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0u, kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(kDigits, 0), 0u);
    EXPECT_EQ(crc32(0xCBF43926u, kDigits, 0), 0xCBF43926u);
}
