// The AES tables are built by the first key expansion of the process; two
// threads making the first objects at once must both get a working cipher.
// A program of its own, so that this really is the first use.
#include "utils/Aes.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CAes;

TEST(AesFirstUseTest, TwoThreadsMakingTheFirstObjectsAtOnce) {
    Orvane::Utils::Detail::forcePortablePaths(true);
    const Bytes key = fromHex("000102030405060708090a0b0c0d0e0f"), plain = fromHex("00112233445566778899aabbccddeeff");
    Bytes out[2] = {Bytes(16), Bytes(16)};
    auto work = [&](int i) {
        CAes aes(CAes::ECB, key.data(), CAes::bits128, nullptr);
        EXPECT_TRUE(aes.encrypt(out[i].data(), plain.data(), 16));
    };
    onThreads(2, work);
    Orvane::Utils::Detail::forcePortablePaths(false);
    EXPECT_EQ(out[0], fromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));
    EXPECT_EQ(out[1], out[0]);
}
