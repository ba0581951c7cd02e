// CAes: published vectors for every mode and key size on both paths, random
// keys and lengths on both, the counter's carries, the key sizes refused and
// the failure texts. Random keys,
// lengths, pieces and copies made mid-stream against libcrypto are the cipher
// stream fuzz target's.
#include "utils/Aes.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CAes;

namespace {

const char* const kKey128 = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const kKey192 = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
const char* const kKey256 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* const kIv = "000102030405060708090a0b0c0d0e0f";
const char* const kCounter = "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
const char* const kPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                           "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";

struct Vector {
    CAes::EncMode mode;
    CAes::KeyBits bits;
    const char *key, *iv, *plain, *cipher;
};

// The block cipher's own examples (ECB, one block per key size), the modes'
// examples on the four-block message above for each key size (CFB-8 on its
// first 18 bytes), and two counters whose carries the examples do not reach:
// across the two 64-bit halves, and from all ones round to zero.
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
    {CAes::CBC, CAes::bits192, kKey192, kIv, kPlain,
     "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
     "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
    {CAes::CBC, CAes::bits256, kKey256, kIv, kPlain,
     "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
     "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    {CAes::CFB8, CAes::bits128, kKey128, kIv, "6bc1bee22e409f96e93d7e117393172aae2d",
     "3b79424c9c0dd436bace9e0ed4586a4f32b9"},
    {CAes::CFB8, CAes::bits192, kKey192, kIv, "6bc1bee22e409f96e93d7e117393172aae2d",
     "cda2521ef0a905ca44cd057cbf0d47a0678a"},
    {CAes::CFB8, CAes::bits256, kKey256, kIv, "6bc1bee22e409f96e93d7e117393172aae2d",
     "dc1f1a8520a64db55fcc8ac554844e889700"},
    {CAes::CFB128, CAes::bits128, kKey128, kIv, kPlain,
     "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {CAes::CFB128, CAes::bits192, kKey192, kIv, kPlain,
     "cdc80d6fddf18cab34c25909c99a417467ce7f7f81173621961a2b70171d3d7a"
     "2e1e8a1dd59b88b1c8e60fed1efac4c9c05f9f9ca9834fa042ae8fba584b09ff"},
    {CAes::CFB128, CAes::bits256, kKey256, kIv, kPlain,
     "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
     "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471"},
    {CAes::CTR, CAes::bits128, kKey128, kCounter, kPlain,
     "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
     "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee"},
    {CAes::CTR, CAes::bits192, kKey192, kCounter, kPlain,
     "1abc932417521ca24f2b0459fe7e6e0b090339ec0aa6faefd5ccc2c6f4ce8e94"
     "1e36b26bd1ebc670d1bd1d665620abf74f78a7f6d29809585a97daec58c6b050"},
    {CAes::CTR, CAes::bits256, kKey256, kCounter, kPlain,
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6"},
    {CAes::CTR, CAes::bits128, kKey128, "0000000000000000ffffffffffffffff", kPlain,
     "84468955ad84651e0fba9085149428447227b194980a6ef3f19d0c0fd95860c2"
     "f5238a521e7fbc621accb03c591f56935286125b26da7ab8d4a05101d3653448"},
    {CAes::CTR, CAes::bits128, kKey128, "ffffffffffffffffffffffffffffffff", kPlain,
     "e13338e36cb71962e00d020b4cedbd86d3dae15b04bb352fa0f59febfcb4da3e"
     "67da610697ed5aae4b0fa7a0dd783d2961a00ab697367915d23c754bd99e2899"},
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
    EXPECT_EQ(Bytes(buffer, buffer + sizeof buffer), Bytes(untouched, untouched + sizeof untouched))
        << "refused calls write nothing";
    EXPECT_EQ(capture.bodies(), expected);
    EXPECT_EQ(capture.count(" error "), capture.lines().size()) << "every text is an error";
}

// Only 128, 192 and 256 are key sizes: the values on either side of each, and
// others, leave every mode unusable.
TEST(AesTest, KeySizesBesideTheThreeAreRefusedInEveryMode) {
    const unsigned char key[40] = {1, 2, 3};
    unsigned char buffer[16] = {};
    for (int bits : {0, 64, 127, 129, 160, 191, 193, 224, 255, 257, 320, 512}) {
        for (CAes::EncMode mode : {CAes::ECB, CAes::CBC, CAes::CFB8, CAes::CFB128, CAes::CTR}) {
            CAes aes(mode, key, static_cast<CAes::KeyBits>(bits), nullptr);
            const Lines lines = reported([&] {
                EXPECT_FALSE(aes.encrypt(buffer, buffer, sizeof buffer)) << "bits " << bits << " mode " << mode;
                EXPECT_FALSE(aes.decrypt(buffer, buffer, sizeof buffer)) << "bits " << bits << " mode " << mode;
            });
            EXPECT_EQ(lines, Lines(2, "aes init failed.\n")) << "bits " << bits << " mode " << mode;
        }
    }
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
            ASSERT_TRUE(encryptor.encrypt(out.data(), plain.data(), out.size()));
            ASSERT_TRUE(decryptor.decrypt(back.data(), out.data(), out.size()));
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

// Random keys of each size, random IVs (counters whose low half wraps inside
// the message among them) and random lengths, whole blocks for ECB
// and CBC and any length for the stream modes: the processor's path gives
// the portable path's bytes, and decrypting gives the message back.
TEST(AesTest, ProcessorPathAgreesWithThePortableOneOnRandomKeysAndLengths) {
    std::mt19937 random(7);
    const Bytes message = randomBytes(random, 16 * 40);
    for (int i = 0; i < 60; ++i) {
        const CAes::KeyBits bits = std::vector<CAes::KeyBits>{CAes::bits128, CAes::bits192, CAes::bits256}[i % 3];
        const CAes::EncMode mode = static_cast<CAes::EncMode>(
            std::vector<int>{CAes::ECB, CAes::CBC, CAes::CFB8, CAes::CFB128, CAes::CTR}[i / 3 % 5]);
        const Bytes key = randomBytes(random, 32);
        Bytes iv = randomBytes(random, 16);
        if (i % 2 == 0) { // the counter's low half 1 to 24 blocks short of its wrap
            std::fill(iv.begin() + 8, iv.end(), 0xff);
            iv[15] = static_cast<unsigned char>(0xff - random() % 24);
        }
        std::size_t length = random() % message.size();
        if (mode == CAes::ECB || mode == CAes::CBC) {
            length &= ~std::size_t{15};
        }
        const auto [portable, processor] = resultsOnBothPaths([&] {
            CAes encryptor(mode, key.data(), bits, iv.data()), decryptor(mode, key.data(), bits, iv.data());
            Bytes cipher(length), back(length);
            EXPECT_TRUE(encryptor.encrypt(cipher.data(), message.data(), length));
            EXPECT_TRUE(decryptor.decrypt(back.data(), cipher.data(), length));
            EXPECT_EQ(back, Bytes(message.begin(), message.begin() + length)) << "mode " << mode << " bits " << bits;
            return cipher;
        });
        EXPECT_EQ(portable, processor) << "mode " << mode << " bits " << bits << " length " << length;
    }
}
