// CSha1: the published messages on both paths, random lengths on both, the
// finished rule, the rooms and the texts.
#include "utils/Sha1.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CSha1;

TEST(Sha1Test, PublishedMessagesOnBothPaths) {
    const std::string million(1000000, 'a');
    const char* const cases[][2] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {million.c_str(), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    onBothPaths([&](const char* path) {
        for (const auto& c : cases) {
            CSha1 sha;
            sha.update(bytesOf(c[0]), std::strlen(c[0]));
            char out[41];
            sha.hex(out, sizeof out);
            EXPECT_STREQ(out, c[1]) << path << " length " << std::strlen(c[0]);
        }
    });
}

TEST(Sha1Test, PaddingBoundsAndPiecesOnBothPaths) {
    const Bytes message(128, 'a');
    onBothPaths([&](const char* path) {
        for (const RepeatedA& c : kRepeatedA) {
            CSha1 sha;
            sha.update(message.data(), c.length);
            char out[41];
            sha.hex(out, sizeof out);
            EXPECT_STREQ(out, c.sha1) << path << " length " << c.length;
        }
        for (const std::vector<std::size_t>& pieces : kPieces) {
            CSha1 sha;
            feedInPieces(sha, message, pieces);
            char out[41];
            sha.hex(out, sizeof out);
            EXPECT_STREQ(out, "ad5b3fdbcb526778c2839d2f151ea753995e26a0")
                << path << " " << testing::PrintToString(pieces);
        }
    });
}

// Random messages of random lengths, fed whole and in two random pieces at
// a random alignment: the processor's path gives the portable path's digest.
TEST(Sha1Test, ProcessorPathAgreesWithThePortableOneOnRandomLengths) {
    std::mt19937 random(1);
    const Bytes data = randomBytes(random, 700);
    for (int i = 0; i < 150; ++i) {
        const std::size_t offset = random() % 8, length = random() % 690, split = random() % (length + 1);
        const auto [portable, processor] = resultsOnBothPaths([&] {
            CSha1 sha;
            sha.update(data.data() + offset, split);
            sha.update(data.data() + offset + split, length - split);
            char out[41];
            sha.hex(out, sizeof out);
            return std::string(out);
        });
        EXPECT_EQ(portable, processor) << "offset " << offset << " length " << length << " split " << split;
    }
}

TEST(Sha1Test, RoomsTextsAndTheFinishedRule) {
    CapturePrinter capture;
    const std::string abc = "a9993e364706816aba3e25717850c26c9cd0d89d";
    CSha1 sha;
    sha.update(bytesOf("abc"), 3);
    char room[42];
    std::memset(room, '#', sizeof room);
    sha.hex(room, 39);
    EXPECT_EQ(std::string(room, 42), std::string(42, '#')) << "room 39 writes nothing";
    sha.hex(room, 40);
    EXPECT_EQ(std::string(room, 42), abc + "##") << "room 40: no terminator";
    sha.hex(room, 41);
    EXPECT_EQ(std::string(room, 42), abc + '\0' + '#');
    Bytes digest(21, 0xEE);
    sha.final(digest.data(), 19);
    EXPECT_EQ(digest, Bytes(21, 0xEE)) << "room 19 writes nothing";
    sha.final(digest.data(), 20);
    EXPECT_EQ(digest, fromHex(abc + "ee"));
    std::fill(digest.begin(), digest.end(), 0xEE);
    sha.final(digest.data(), 21);
    EXPECT_EQ(digest, fromHex(abc + "ee")) << "20 bytes whatever the room";
    sha.final(nullptr, 20);
    sha.hex(nullptr, 41);
    sha.update(nullptr, 3);
    sha.update(bytesOf("abc"), 3);
    sha.hex(room, 41);
    EXPECT_EQ(room, abc) << "after a digest, new data starts a fresh one; null data changes nothing";
    EXPECT_EQ(capture.bodies(),
              Lines({"len:39 is invalid!\n", "len:19 is invalid!\n", "hash is NULL!\n", "str is NULL!\n"}));
}
