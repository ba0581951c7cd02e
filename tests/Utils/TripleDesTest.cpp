// CTripleDes: published DES and TDEA examples, libcrypto for every key
// length in ECB and CBC, the paired 16-byte block against single-DES steps
// composed by hand, and the texts and results of the failures.
#include "utils/TripleDes.h"

#include "support/CapturePrinter.h"
#include "support/CryptoData.h"
#include "support/Libcrypto.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

using Orvane::Testing::Bytes;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::fromHex;
using Orvane::Testing::randomBytes;
using Orvane::Utils::CTripleDes;

namespace {

// Three-key TDEA through libcrypto; a shorter key is zero-padded to 24 bytes
// and mapped to the keying options (K3 = K1 for 9 to 16 bytes, all equal for
// single DES).
Bytes evp(Bytes key, const Bytes& iv, const Bytes& in, bool encrypting) {
    const std::size_t length = key.size();
    key.resize(24, 0);
    if (length <= 16) {
        std::memcpy(key.data() + 16, key.data(), 8);
    }
    if (length <= 8) {
        std::memcpy(key.data() + 8, key.data(), 8);
    }
    return Orvane::Testing::evpCipher(iv.empty() ? EVP_des_ede3_ecb() : EVP_des_ede3_cbc(), key, iv, in, encrypting);
}

Bytes run(CTripleDes& des, bool encrypting, const Bytes& in) {
    Bytes out(in.size());
    EXPECT_TRUE(encrypting ? des.encrypt(out.data(), in.data(), in.size())
                           : des.decrypt(out.data(), in.data(), in.size()));
    return out;
}

} // namespace

TEST(TripleDesTest, PublishedExamples) {
    // Key, plaintext and ciphertext: two DES examples and the TDEA one.
    std::istringstream cases("133457799bbcdff1 0123456789abcdef 85e813540f0ab405 0123456789abcdef "
                             "4e6f77206973207468652074696d6520666f7220616c6c20 "
                             "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53 "
                             "0123456789abcdef23456789abcdef01456789abcdef0123 "
                             "54686520717566636b2062726f776e20666f78206a756d70 "
                             "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900");
    int count = 0;
    for (std::string k, p, c; cases >> k >> p >> c; ++count) {
        const Bytes key = fromHex(k), plain = fromHex(p), cipher = fromHex(c);
        CTripleDes des(key.data(), key.size(), CTripleDes::block8, nullptr);
        EXPECT_EQ(run(des, true, plain), cipher) << k;
        EXPECT_EQ(run(des, false, cipher), plain) << k;
    }
    EXPECT_EQ(count, 3);
}

TEST(TripleDesTest, AgreesWithLibcryptoForEveryKeyLengthInEcbAndCbc) {
    std::mt19937 rng(4667);
    for (std::size_t keyLength = 1; keyLength <= 26; ++keyLength) {
        for (bool chaining : {false, true}) {
            const Bytes key = randomBytes(rng, keyLength), iv = chaining ? randomBytes(rng, 8) : Bytes();
            const Bytes plain = randomBytes(rng, rng() % 4097 / 8 * 8);
            const Bytes kept(key.begin(), key.begin() + std::min<std::size_t>(keyLength, 24));
            CTripleDes des(key.data(), keyLength, CTripleDes::block8, chaining ? iv.data() : nullptr);
            const Bytes cipher = run(des, true, plain);
            EXPECT_EQ(cipher, evp(kept, iv, plain, true)) << keyLength << (chaining ? " CBC" : " ECB");
            EXPECT_EQ(run(des, false, cipher), plain) << keyLength;
            EXPECT_EQ(run(des, true, plain), cipher) << "every call restarts from the IV";
        }
    }
    const Bytes one = fromHex("0123456789abcdef"), plain = fromHex("4e6f772069732074");
    const Bytes three = fromHex("0123456789abcdef0123456789abcdef0123456789abcdef");
    CTripleDes single(one.data(), 8, CTripleDes::block8, nullptr),
        triple(three.data(), 24, CTripleDes::block8, nullptr);
    EXPECT_EQ(run(triple, true, plain), run(single, true, plain)) << "three equal keys are single DES";
}

TEST(TripleDesTest, PairedBlockIsTheStepsWithTheMiddleWordsExchanged) {
    std::mt19937 rng(16);
    for (std::size_t keyLength : {9, 16, 17, 24}) {
        const Bytes key = randomBytes(rng, keyLength), iv = randomBytes(rng, 16);
        Bytes padded(key);
        padded.resize(24, 0);
        const std::size_t third = keyLength > 16 ? 16 : 0; // where K3 starts
        const Bytes plain = randomBytes(rng, 64);
        // Each step is single DES on both halves; L1 and R0 change places between the steps.
        Bytes expected, chain(iv);
        for (std::size_t at = 0; at < plain.size(); at += 16) {
            Bytes block(plain.begin() + at, plain.begin() + at + 16);
            for (int i = 0; i < 16; ++i) {
                block[i] ^= chain[i];
            }
            for (std::size_t step = 0, at = 0; step < 3; ++step, at = step == 1 ? 8 : third) {
                block = evp(Bytes(padded.begin() + at, padded.begin() + at + 8), Bytes(), block, step != 1);
                if (step < 2) {
                    std::swap_ranges(block.begin() + 4, block.begin() + 8, block.begin() + 8);
                }
            }
            expected.insert(expected.end(), block.begin(), block.end());
            chain = block;
        }
        CTripleDes cbc(key.data(), keyLength, CTripleDes::block16, iv.data());
        CTripleDes ecb(key.data(), keyLength, CTripleDes::block16, nullptr);
        EXPECT_EQ(run(cbc, true, plain), expected) << keyLength;
        EXPECT_EQ(run(cbc, false, expected), plain) << keyLength;
        EXPECT_EQ(run(ecb, false, run(ecb, true, plain)), plain) << keyLength;
    }
    const Bytes eight = fromHex("0123456789abcdef"), plain = randomBytes(rng, 16);
    CTripleDes shortKey(eight.data(), 8, CTripleDes::block16, nullptr),
        single(eight.data(), 8, CTripleDes::block8, nullptr);
    EXPECT_EQ(run(shortKey, true, plain), run(single, true, plain)) << "an 8-byte key keeps the 8-byte block";
}

TEST(TripleDesTest, FailuresReportTheirTextsAndResults) {
    CapturePrinter capture;
    const Bytes key = fromHex("0123456789abcdef23456789abcdef01");
    const Bytes plain = fromHex("000102030405060708090a0b0c0d0e0f1011121314151617");
    CTripleDes paired(key.data(), 16, CTripleDes::block16, nullptr);
    CTripleDes empty(key.data(), 0, CTripleDes::block8, nullptr), nullKey(nullptr, 8, CTripleDes::block8, nullptr);
    Bytes out(20, 0xEE), whole(16);
    EXPECT_FALSE(paired.encrypt(out.data(), plain.data(), 20));
    ASSERT_TRUE(paired.encrypt(whole.data(), plain.data(), 16));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), whole) << "the whole block is still processed";
    EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(4, 0xEE)) << "the trailing bytes are untouched";
    EXPECT_FALSE(paired.decrypt(out.data(), whole.data(), 31));
    EXPECT_TRUE(paired.decrypt(out.data(), whole.data(), 0));
    EXPECT_FALSE(empty.encrypt(out.data(), plain.data(), 8));
    EXPECT_FALSE(nullKey.decrypt(out.data(), plain.data(), 8));
    EXPECT_TRUE(paired.encrypt(nullptr, plain.data(), 16)) << "the size test alone decides";
    EXPECT_FALSE(paired.decrypt(out.data(), nullptr, 17));
    auto self = [](const CTripleDes& object, const char* text) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "this:%p ", static_cast<const void*>(&object));
        return prefix + std::string(text);
    };
    const char* const sizeText = "CTripleDes::encrypt(): size is not the multiple of th";
    const std::vector<std::string> expected = {self(paired, sizeText) + "e 'BlockSize'!!! size:20, real_size:16\n",
                                               self(paired, sizeText) + " 'BlockSize'!!! size:31, real_size:16\n",
                                               self(empty, "key_length is 0,is unvalid!\n"),
                                               self(nullKey, "key_length is 0,is unvalid!\n"),
                                               "en_de_crypt(): dst is NULL!!\n",
                                               self(paired, sizeText) + " 'BlockSize'!!! size:17, real_size:16\n",
                                               "en_de_crypt(): src is NULL!!\n"};
    EXPECT_EQ(capture.bodies(), expected);
}
