// crc16 and crc32: the catalogue's check values, a starting value carried,
// empty input, the bounds of the processor paths' folds, and the processor's
// path against the portable one on random lengths and alignments. zlib for
// random lengths, pieces and alignments is the cipher stream fuzz target's.
#include "utils/Crc.h"

#include "support/CryptoData.h"

#include <vector>

using namespace Orvane::Testing;
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

// Lengths on both sides of each fold bound (64 bytes on x86, 1024 on ARM) and
// of the 8- and 16-byte steps, then random lengths at random alignments: the
// processor's path gives the portable path's value, and a value carried over
// a random split gives the whole.
TEST(CrcTest, ProcessorPathAgreesWithThePortableOneOnBoundsAndRandomLengths) {
    std::mt19937 random(32);
    const Bytes data = randomBytes(random, 2200);
    std::vector<std::pair<std::size_t, std::size_t>> cases; // offset, length
    for (std::size_t length : {1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 79, 80, 1023, 1024, 1025, 1039, 1040, 2048}) {
        cases.push_back({0, length});
    }
    for (int i = 0; i < 200; ++i) {
        cases.push_back({random() % 16, random() % 2100});
    }
    for (const auto& testCase : cases) {
        // Named, not bound: the lambda below captures them.
        const std::size_t offset = testCase.first, length = testCase.second;
        const unsigned char* bytes = data.data() + offset;
        const auto [portable, processor] = resultsOnBothPaths([&] { return crc32(bytes, length); });
        EXPECT_EQ(portable, processor) << "offset " << offset << " length " << length;
        const std::size_t split = length == 0 ? 0 : random() % length;
        EXPECT_EQ(crc32(crc32(bytes, split), bytes + split, length - split), processor)
            << "offset " << offset << " length " << length << " split " << split;
    }
}
