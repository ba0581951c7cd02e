// CAes: published vectors on both paths, the failure texts. Random keys,
// lengths, pieces and copies made mid-stream against libcrypto are the cipher
// stream fuzz target's.
#include "utils/Aes.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CAes;

namespace {

const char* const kKey128 = "2b7e151628aed2a6abf7158809cf4f3c";
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
    {CAes::CBC, CAes::bits128, kKey128, kIv, kPlain,
     "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
     "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
    {CAes::CFB8, CAes::bits128, kKey128, kIv, "6bc1bee22e409f96e93d7e117393172aae2d",
     "3b79424c9c0dd436bace9e0ed4586a4f32b9"},
    {CAes::CFB128, CAes::bits128, kKey128, kIv, kPlain,
     "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {CAes::CTR, CAes::bits128, kKey128, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", kPlain,
     "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
     "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee"},
};

} // namespace

TEST(AesTest, PublishedVectorsOnBothPaths) {
    onBothPaths([&](const char* path) {
        for (const Vector& v : kVectors) {
            const Bytes key = fromHex(v.key), iv = fromHex(v.iv), plain = fromHex(v.plain);
            const unsigned char* ivp = iv.empty() ? nullptr : iv.data();
            CAes encryptor(v.mode, key.data(), v.bits, ivp), decryptor(v.mode, key.data(), v.bits, ivp);
            Bytes out(plain.size());
            ASSERT_TRUE(encryptor.encrypt(out.data(), plain.data(), plain.size()));
            EXPECT_EQ(out, fromHex(v.cipher)) << path << " mode " << v.mode << " bits " << v.bits;
            ASSERT_TRUE(decryptor.decrypt(out.data(), out.data(), out.size()));
            EXPECT_EQ(out, plain) << path << " mode " << v.mode << " bits " << v.bits;
        }
    });
}

TEST(AesTest, BrokenObjectsAndBadLengthsFailWithTheirTexts) {
    CapturePrinter capture;
    const unsigned char key[32] = {1, 2, 3};
    unsigned char buffer[17] = {}, untouched[17] = {};
    CAes badBits(CAes::CTR, key, static_cast<CAes::KeyBits>(100), nullptr);
    CAes badMode(static_cast<CAes::EncMode>(5), key, CAes::bits128, nullptr);
    EXPECT_FALSE(badBits.encrypt(buffer, buffer, 16));
    CAes copy(CAes::ECB, key, CAes::bits128, nullptr);
    copy = badMode;
    EXPECT_FALSE(copy.decrypt(buffer, buffer, 16)) << "a copy of a broken object is broken";
    const char* const names[] = {"AesECB", "AesCBC", "AesCFB8", "AesCFB128", "AesCTR"};
    Lines expected(2, "aes init failed.\n");
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
    EXPECT_EQ(capture.count(" error "), capture.lines().size()) << "every text is an error";
}

// Twelve blocks take a full run of the processor path's eight parallel lanes and
// a tail; each mode must give the portable path's bytes and come back, and the
// stream modes the same bytes in pieces. The second counter's low half wraps
// inside the run of lanes.
TEST(AesTest, LongMessagesAgreeOnBothPathsAndComeBack) {
    Bytes plain(192);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    const Bytes key = fromHex(kKey128);
    const std::pair<CAes::EncMode, const char*> cases[] = {
        {CAes::ECB, kIv},    {CAes::CBC, kIv}, {CAes::CFB8, kIv},
        {CAes::CFB128, kIv}, {CAes::CTR, kIv}, {CAes::CTR, "0000000000000000fffffffffffffffa"}};
    for (const auto& testCase : cases) {
        const CAes::EncMode mode = testCase.first; // named, not bound: lambdas below capture them
        const char* const ivText = testCase.second;
        std::map<std::string, Bytes> ciphers;
        onBothPaths([&](const char* path) {
            const Bytes iv = fromHex(ivText);
            CAes encryptor(mode, key.data(), CAes::bits128, iv.data()),
                decryptor(mode, key.data(), CAes::bits128, iv.data());
            Bytes out(plain.size()), back(plain.size());
            ASSERT_TRUE(encryptor.encrypt(out.data(), plain.data(), out.size()) &&
                        decryptor.decrypt(back.data(), out.data(), out.size()));
            EXPECT_EQ(back, plain) << path << " mode " << mode;
            ciphers[path] = out;
            if (mode == CAes::ECB || mode == CAes::CBC) {
                return; // whole blocks only
            }
            // The stream modes in 7-byte pieces, continued by a copy of the object made after the first piece.
            CAes first(mode, key.data(), CAes::bits128, iv.data());
            ASSERT_TRUE(first.encrypt(back.data(), plain.data(), 7));
            CAes copy(first);
            for (std::size_t at = 7; at < plain.size(); at += 7) {
                ASSERT_TRUE(
                    copy.encrypt(back.data() + at, plain.data() + at, std::min<std::size_t>(7, plain.size() - at)));
            }
            EXPECT_EQ(back, out) << path << " mode " << mode << " in pieces";
        });
        EXPECT_EQ(ciphers["portable"], ciphers["processor"]) << "mode " << mode << " iv " << ivText;
    }
}

// Every key size and mode on messages that fill the portable path's groups
// of four and eight blocks exactly, partly and several times over: each gives
// the processor path's bytes and each path brings its message back. Block k
// of the message has byte (k + 29 j) at position j, so over 256 blocks every
// position carries every byte value into the first round's S-box, and into
// the inverse S-box when the same message is decrypted as ciphertext. The IV
// of all ones makes the counter wrap to zero after the first block.
TEST(AesTest, EveryKeySizeAndGroupOfBlocksAgreesOnBothPaths) {
    Bytes message(16 * 256);
    for (std::size_t i = 0; i < message.size(); ++i) {
        message[i] = static_cast<unsigned char>(i / 16 + 29 * (i % 16));
    }
    const Bytes key = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const Bytes iv(16, 0xff);
    for (CAes::KeyBits bits : {CAes::bits128, CAes::bits192, CAes::bits256}) {
        for (CAes::EncMode mode : {CAes::ECB, CAes::CBC, CAes::CFB8, CAes::CFB128, CAes::CTR}) {
            for (std::size_t blocks : {1, 3, 4, 5, 7, 8, 9, 14, 256}) {
                const std::size_t size = 16 * blocks;
                std::map<std::string, std::pair<Bytes, Bytes>> results; // path: ciphertext, plaintext of the message
                onBothPaths([&](const char* path) {
                    CAes encryptor(mode, key.data(), bits, iv.data()), decryptor(mode, key.data(), bits, iv.data()),
                        reader(mode, key.data(), bits, iv.data());
                    Bytes cipher(size), back(size), plain(size);
                    ASSERT_TRUE(encryptor.encrypt(cipher.data(), message.data(), size));
                    ASSERT_TRUE(decryptor.decrypt(back.data(), cipher.data(), size));
                    ASSERT_TRUE(reader.decrypt(plain.data(), message.data(), size));
                    EXPECT_EQ(back, Bytes(message.begin(), message.begin() + size))
                        << path << " mode " << mode << " bits " << bits << " blocks " << blocks;
                    results[path] = {cipher, plain};
                });
                EXPECT_EQ(results["portable"].first, results["processor"].first)
                    << "encrypted: mode " << mode << " bits " << bits << " blocks " << blocks;
                EXPECT_EQ(results["portable"].second, results["processor"].second)
                    << "decrypted: mode " << mode << " bits " << bits << " blocks " << blocks;
            }
        }
    }
}
