// CSha1: the published messages and libcrypto on both paths, the finished
// rule, the rooms and the texts.
#include "utils/Sha1.h"

#include "support/CapturePrinter.h"
#include "support/Libcrypto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using Orvane::Testing::Bytes;
using Orvane::Testing::bytesOf;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::onBothPaths;
using Orvane::Utils::CSha1;

namespace {

std::string hexOf(CSha1& sha) {
    char out[41];
    sha.hex(out, sizeof out);
    return out;
}

} // namespace

TEST(Sha1Test, PublishedMessagesOnBothPaths) {
    const std::string million(1000000, 'a');
    const struct {
        const char* message;
        const char* digest;
    } cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {million.c_str(), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    onBothPaths([&](const char* path) {
        for (const auto& c : cases) {
            CSha1 sha;
            sha.update(bytesOf(c.message), std::strlen(c.message));
            EXPECT_EQ(hexOf(sha), c.digest) << path << " length " << std::strlen(c.message);
        }
    });
}

TEST(Sha1Test, AgreesWithLibcryptoInRandomPiecesOnBothPaths) {
    onBothPaths([](const char*) {
        Orvane::Testing::checkAgainstLibcrypto(
            EVP_sha1(), 180, [] { return std::make_unique<CSha1>(); },
            [](CSha1& sha) {
                Bytes out(20);
                sha.final(out.data(), out.size());
                return out;
            });
    });
}

TEST(Sha1Test, RoomsTextsAndTheFinishedRule) {
    CapturePrinter capture;
    CSha1 sha;
    sha.update(bytesOf("abc"), 3);
    char room[42];
    std::memset(room, '#', sizeof room);
    sha.hex(room, 39);
    EXPECT_EQ(std::string(room, 42), std::string(42, '#')) << "room 39 writes nothing";
    sha.hex(room, 40);
    EXPECT_EQ(std::string(room, 42), "a9993e364706816aba3e25717850c26c9cd0d89d##") << "room 40: no terminator";
    sha.hex(room, 41);
    EXPECT_EQ(std::string(room, 42), std::string("a9993e364706816aba3e25717850c26c9cd0d89d") + '\0' + '#');
    Bytes digest(20, 0xEE);
    sha.final(digest.data(), 19);
    EXPECT_EQ(digest, Bytes(20, 0xEE)) << "room 19 writes nothing";
    sha.final(digest.data(), 20);
    EXPECT_EQ(digest[0], 0xa9);
    sha.final(nullptr, 20);
    sha.hex(nullptr, 41);
    sha.update(nullptr, 3);
    EXPECT_EQ(hexOf(sha), "a9993e364706816aba3e25717850c26c9cd0d89d") << "null data changes nothing";
    sha.update(bytesOf("abc"), 3);
    EXPECT_EQ(hexOf(sha), "a9993e364706816aba3e25717850c26c9cd0d89d") << "a fresh digest of only the new data";
    EXPECT_EQ(capture.bodies(), std::vector<std::string>({"len:39 is invalid!\n", "len:19 is invalid!\n",
                                                          "hash is NULL!\n", "str is NULL!\n"}));
}
