// CMd5: the published suite, the finished rule and the texts.
#include "utils/Md5.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CMd5;

namespace {

// The 32 digits hex writes, checking that no terminator follows them.
std::string hexOf(CMd5& md5) {
    char out[33];
    out[32] = '#';
    md5.hex(out);
    EXPECT_EQ(out[32], '#') << "no terminator is written";
    return std::string(out, 32);
}

} // namespace

// The published suite at its lengths around the block: empty, one, three, one
// block less two and more than one block (the middle ones add nothing).
TEST(Md5Test, PublishedSuite) {
    const char* const cases[][2] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        CMd5 md5;
        md5.update(bytesOf(c[0]), std::strlen(c[0]));
        EXPECT_EQ(hexOf(md5), c[1]) << c[0];
    }
}

TEST(Md5Test, PaddingBoundsAndPieces) {
    for (const RepeatedA& c : kRepeatedA) {
        CMd5 md5;
        const Bytes message(c.length, 'a');
        md5.update(message.data(), message.size());
        EXPECT_EQ(hexOf(md5), c.md5) << "length " << c.length;
    }
    const Bytes message(128, 'a');
    for (const std::vector<std::size_t>& pieces : kPieces) {
        CMd5 md5;
        feedInPieces(md5, message, pieces);
        EXPECT_EQ(hexOf(md5), "e510683b3f5ffe4093d021808bc6ff70") << testing::PrintToString(pieces);
    }
}

TEST(Md5Test, FinishedDigestStaysUntilNewDataStartsAnother) {
    CapturePrinter capture;
    CMd5 md5;
    md5.update(bytesOf("ab"), 2);
    md5.update(nullptr, 5);
    md5.update(bytesOf("c"), 0);
    md5.update(bytesOf("c"), 1);
    Bytes first(16), second(16);
    md5.final(first.data());
    md5.final(second.data());
    EXPECT_EQ(first, second);
    EXPECT_EQ(hexOf(md5), "900150983cd24fb0d6963f7d28e17f72");
    md5.update(bytesOf("a"), 1);
    EXPECT_EQ(hexOf(md5), "0cc175b9c0f1b6a831c399e269772661") << "only the new data";
    md5.update(bytesOf("xyz"), 3);
    md5.init();
    EXPECT_EQ(hexOf(md5), "d41d8cd98f00b204e9800998ecf8427e");
    md5.final(nullptr);
    md5.hex(nullptr);
    EXPECT_EQ(capture.bodies(), Lines({"digest is NULL\n", "hash is NULL\n"}));
}
