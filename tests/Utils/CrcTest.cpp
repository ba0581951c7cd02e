// crc16 and crc32: the catalogue's check values and chaining. zlib for random
// lengths, pieces and alignments is the cipher stream fuzz target's.
#include "utils/Crc.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Orvane::Utils;

namespace {

const unsigned char kDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

} // namespace

TEST(CrcTest, CheckValuesAndChaining) {
    EXPECT_EQ(crc16(0, kDigits, 9), 0xBB3D) << "CRC-16/ARC";
    EXPECT_EQ(crc16(0xFFFF, kDigits, 9), 0x4B37) << "CRC-16/MODBUS";
    EXPECT_EQ(crc16(crc16(0xFFFF, kDigits, 4), kDigits + 4, 5), 0x4B37);
    EXPECT_EQ(crc16(0x1234, kDigits, 0), 0x1234);
    EXPECT_EQ(crc32(kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0u, kDigits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32(crc32(kDigits, 4), kDigits + 4, 5), 0xCBF43926u);
    EXPECT_EQ(crc32(kDigits, 0), 0u);
    EXPECT_EQ(crc32(0xCBF43926u, kDigits, 0), 0xCBF43926u);
}

// From 64 bytes on, the processor path folds 16 bytes at a time. A message
// followed by its CRC-32 (low byte first) always checks to 0x2144DF1C.
TEST(CrcTest, FoldedLengthsKeepTheResidue) {
    for (std::size_t length : {63, 64, 65, 80, 1000}) {
        std::vector<unsigned char> data(length + 4);
        for (std::size_t i = 0; i < length; ++i) {
            data[i] = static_cast<unsigned char>(i * 31 + 7);
        }
        const unsigned int whole = crc32(data.data(), length);
        for (int i = 0; i < 4; ++i) {
            data[length + i] = static_cast<unsigned char>(whole >> (8 * i));
        }
        EXPECT_EQ(crc32(data.data(), length + 4), 0x2144DF1Cu) << length;
    }
}
