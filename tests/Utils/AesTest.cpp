// CAes: published vectors and libcrypto on both paths, whole and in pieces;
// the failure texts; copies.
#include "utils/Aes.h"

#include "support/CapturePrinter.h"
#include "support/CryptoData.h"
#include "support/Libcrypto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using Orvane::Testing::Bytes;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::fromHex;
using Orvane::Testing::onBothPaths;
using Orvane::Testing::randomBytes;
using Orvane::Testing::randomPieces;
using Orvane::Utils::CAes;

namespace {

const char* const kKey128 = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const kKey192 = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
const char* const kKey256 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* const kIv = "000102030405060708090a0b0c0d0e0f";
const char* const kPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                           "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";

struct Vector {
    CAes::EncMode mode;
    CAes::KeyBits bits;
    const char *key, *iv, *plain, *cipher;
};

// The block cipher's own examples (ECB, one block per key size) and the
// modes' examples on the four-block message above.
const Vector kVectors[] = {
    {CAes::ECB, CAes::bits128, "000102030405060708090a0b0c0d0e0f", "", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {CAes::ECB, CAes::bits192, "000102030405060708090a0b0c0d0e0f1011121314151617", "",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {CAes::ECB, CAes::bits256, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    {CAes::ECB, CAes::bits128, kKey128, "", kPlain,
     "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
     "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4"},
    {CAes::ECB, CAes::bits256, kKey256, "", kPlain,
     "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
     "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"},
    {CAes::CBC, CAes::bits128, kKey128, kIv, kPlain,
     "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
     "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
    {CAes::CBC, CAes::bits192, kKey192, kIv, kPlain,
     "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
     "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
    {CAes::CFB8, CAes::bits128, kKey128, kIv, "6bc1bee22e409f96e93d7e117393172aae2d",
     "3b79424c9c0dd436bace9e0ed4586a4f32b9"},
    {CAes::CFB128, CAes::bits128, kKey128, kIv, kPlain,
     "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {CAes::CTR, CAes::bits128, kKey128, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", kPlain,
     "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
     "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee"},
    {CAes::CTR, CAes::bits256, kKey256, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", kPlain,
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6"},
};

std::size_t granule(CAes::EncMode mode) {
    return mode == CAes::ECB || mode == CAes::CBC ? 16 : 1;
}

// Runs the whole buffer through one object, piece by piece, in place.
Bytes runInPieces(CAes& aes, bool encrypting, Bytes data, const std::vector<std::size_t>& pieces) {
    std::size_t at = 0;
    for (std::size_t piece : pieces) {
        unsigned char* p = data.data() + at;
        EXPECT_TRUE(encrypting ? aes.encrypt(p, p, piece) : aes.decrypt(p, p, piece));
        at += piece;
    }
    return data;
}

Bytes evp(CAes::EncMode mode, const Bytes& key, const Bytes& iv, const Bytes& in, bool encrypting) {
    typedef const EVP_CIPHER* (*Cipher)();
    const Cipher ciphers[5][3] = {{EVP_aes_128_ecb, EVP_aes_192_ecb, EVP_aes_256_ecb},
                                  {EVP_aes_128_cbc, EVP_aes_192_cbc, EVP_aes_256_cbc},
                                  {EVP_aes_128_cfb8, EVP_aes_192_cfb8, EVP_aes_256_cfb8},
                                  {EVP_aes_128_cfb128, EVP_aes_192_cfb128, EVP_aes_256_cfb128},
                                  {EVP_aes_128_ctr, EVP_aes_192_ctr, EVP_aes_256_ctr}};
    return Orvane::Testing::evpCipher(ciphers[mode][key.size() / 8 - 2](), key, iv, in, encrypting);
}

} // namespace

TEST(AesTest, PublishedVectorsOnBothPathsWholeAndInPieces) {
    std::mt19937 rng(197);
    onBothPaths([&](const char* path) {
        for (const Vector& v : kVectors) {
            const Bytes key = fromHex(v.key), iv = fromHex(v.iv), plain = fromHex(v.plain);
            const unsigned char* ivp = iv.empty() ? nullptr : iv.data();
            CAes whole(v.mode, key.data(), v.bits, ivp), pieces(v.mode, key.data(), v.bits, ivp);
            CAes inverse(v.mode, key.data(), v.bits, ivp);
            Bytes out(plain.size());
            ASSERT_TRUE(whole.encrypt(out.data(), plain.data(), plain.size()));
            EXPECT_EQ(out, fromHex(v.cipher)) << path << " mode " << v.mode << " bits " << v.bits;
            EXPECT_EQ(runInPieces(pieces, true, plain, randomPieces(rng, plain.size(), granule(v.mode))), out);
            EXPECT_EQ(runInPieces(inverse, false, out, randomPieces(rng, out.size(), granule(v.mode))), plain)
                << path << " mode " << v.mode;
        }
    });
}

TEST(AesTest, AgreesWithLibcryptoForRandomKeysIvsAndLengths) {
    std::mt19937 rng(4096);
    const CAes::KeyBits sizes[] = {CAes::bits128, CAes::bits192, CAes::bits256};
    for (int round = 0; round < 150; ++round) {
        const auto mode = static_cast<CAes::EncMode>(round % 5);
        const CAes::KeyBits bits = sizes[rng() % 3];
        const Bytes key = randomBytes(rng, bits / 8);
        Bytes iv = randomBytes(rng, 16);
        if (round % 4 == 0) {
            std::memset(iv.data() + 8, 0xFF, 7); // the counter's low half wraps within the message
        }
        const std::size_t length = (round < 5 ? 0 : rng() % 4097) / granule(mode) * granule(mode);
        const Bytes plain = randomBytes(rng, length), cipher = evp(mode, key, iv, plain, true);
        ASSERT_EQ(evp(mode, key, iv, cipher, false), plain);
        onBothPaths([&](const char* path) {
            CAes encryptor(mode, key.data(), bits, iv.data()), decryptor(mode, key.data(), bits, iv.data());
            EXPECT_EQ(runInPieces(encryptor, true, plain, randomPieces(rng, length, granule(mode))), cipher)
                << path << " mode " << mode << " bits " << bits << " length " << length;
            EXPECT_EQ(runInPieces(decryptor, false, cipher, randomPieces(rng, length, granule(mode))), plain)
                << path << " mode " << mode << " bits " << bits << " length " << length;
        });
    }
}

TEST(AesTest, BrokenObjectsAndBadLengthsFailWithTheirTexts) {
    CapturePrinter capture;
    const unsigned char key[32] = {1, 2, 3};
    unsigned char buffer[17] = {}, untouched[17] = {};
    CAes badBits(CAes::CTR, key, static_cast<CAes::KeyBits>(100), nullptr);
    CAes badMode(static_cast<CAes::EncMode>(5), key, CAes::bits128, nullptr);
    EXPECT_FALSE(badBits.encrypt(buffer, buffer, 16));
    EXPECT_FALSE(badMode.decrypt(buffer, buffer, 16));
    const char* const names[] = {"AesECB", "AesCBC", "AesCFB8", "AesCFB128", "AesCTR"};
    std::vector<std::string> expected = {"aes init failed.\n", "aes init failed.\n"};
    for (int mode = 0; mode < 5; ++mode) {
        CAes noKey(static_cast<CAes::EncMode>(mode), nullptr, CAes::bits256, nullptr);
        EXPECT_FALSE(noKey.encrypt(buffer, buffer, 16));
        expected.push_back(std::string(names[mode]) + " key is NULL\n");
        expected.push_back("aes init failed.\n");
    }
    for (CAes::EncMode mode : {CAes::ECB, CAes::CBC}) {
        CAes aes(mode, key, CAes::bits128, nullptr);
        for (std::size_t length : {1, 15, 17}) {
            EXPECT_FALSE(aes.encrypt(buffer, untouched, length)) << length;
            EXPECT_FALSE(aes.decrypt(buffer, untouched, length)) << length;
        }
        EXPECT_TRUE(aes.encrypt(buffer, untouched, 0));
        EXPECT_FALSE(aes.encrypt(nullptr, untouched, 16));
    }
    EXPECT_EQ(std::memcmp(buffer, untouched, sizeof buffer), 0) << "refused calls write nothing";
    EXPECT_EQ(capture.bodies(), expected);
    for (const std::string& line : capture.lines()) {
        EXPECT_NE(line.find(" error "), std::string::npos) << line;
    }
}

TEST(AesTest, CopiesGoOnFromTheSameStreamPositionOnTheirOwn) {
    const Bytes key = fromHex(kKey128), iv = fromHex(kIv), plain = fromHex(kPlain);
    for (int mode = 0; mode < 5; ++mode) {
        const auto m = static_cast<CAes::EncMode>(mode);
        CAes reference(m, key.data(), CAes::bits128, iv.data());
        Bytes expected(64);
        ASSERT_TRUE(reference.encrypt(expected.data(), plain.data(), 64));
        Bytes out(64);
        auto original = std::make_unique<CAes>(m, key.data(), CAes::bits128, iv.data());
        ASSERT_TRUE(original->encrypt(out.data(), plain.data(), 16));
        CAes assigned(CAes::ECB, iv.data(), CAes::bits256, nullptr), constructed(*original);
        assigned = *original;
        CAes& alias = assigned;
        assigned = alias; // self-assignment keeps the state
        Bytes second(out), third(out);
        ASSERT_TRUE(original->encrypt(out.data() + 16, plain.data() + 16, 48));
        original.reset();
        ASSERT_TRUE(assigned.encrypt(second.data() + 16, plain.data() + 16, 48));
        ASSERT_TRUE(constructed.encrypt(third.data() + 16, plain.data() + 16, 48));
        EXPECT_EQ(out, expected) << mode;
        EXPECT_EQ(second, expected) << mode;
        EXPECT_EQ(third, expected) << mode;
    }
    CapturePrinter capture;
    CAes broken(static_cast<CAes::EncMode>(9), key.data(), CAes::bits128, nullptr);
    CAes working(CAes::ECB, key.data(), CAes::bits128, nullptr);
    working = broken;
    unsigned char block[16] = {};
    EXPECT_FALSE(working.encrypt(block, block, 16));
    EXPECT_EQ(capture.bodies(), std::vector<std::string>({"aes init failed.\n"}));
}
