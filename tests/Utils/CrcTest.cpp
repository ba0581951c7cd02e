// crc16 and crc32: the catalogue's check values, chaining, and zlib for
// random lengths, pieces and alignments on both paths.
#include "utils/Crc.h"

#include "support/CryptoData.h"

#include <gtest/gtest.h>
#include <zlib.h>

using Orvane::Testing::Bytes;
using Orvane::Testing::onBothPaths;
using Orvane::Testing::randomBytes;
using Orvane::Testing::randomPieces;
using Orvane::Utils::crc16;
using Orvane::Utils::crc32;

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

TEST(CrcTest, AgreesWithZlibOnBothPaths) {
    std::mt19937 rng(802);
    const Bytes data = randomBytes(rng, 4096 + 64);
    onBothPaths([&](const char* path) {
        for (int round = 0; round < 400; ++round) {
            // Lengths around the folding's 16- and 64-byte steps, then any.
            const std::size_t length = round < 160 ? static_cast<std::size_t>(round) : rng() % 4097;
            const unsigned char* start = data.data() + rng() % 64;
            const unsigned long expected = ::crc32(0, start, static_cast<uInt>(length));
            ASSERT_EQ(crc32(start, length), expected) << path << " length " << length;
            unsigned int running = 0;
            std::size_t at = 0;
            for (std::size_t piece : randomPieces(rng, length)) {
                running = crc32(running, start + at, piece);
                at += piece;
            }
            ASSERT_EQ(running, expected) << path << " in pieces, length " << length;
        }
    });
}
