// CTripleDes: published DES and TDEA examples and the texts and results of
// the failures. Every key length against libcrypto, and the paired 16-byte
// block against single-DES steps, are the cipher stream fuzz target's.
#include "utils/TripleDes.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CTripleDes;

// Key, start value ("-" for none), plaintext and ciphertext: a DES example, the TDEA one, and chaining from the DES
// example: with a zero start value the first block is the example's, and a second block of (example cipher xor
// example plain) chains back to the same input, so to the same cipher block.
TEST(TripleDesTest, PublishedExamplesAndChaining) {
    std::istringstream cases("133457799bbcdff1 - 0123456789abcdef 85e813540f0ab405 "
                             "0123456789abcdef23456789abcdef01456789abcdef0123 - "
                             "54686520717566636b2062726f776e20666f78206a756d70 "
                             "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900 "
                             "133457799bbcdff1 0000000000000000 0123456789abcdef84cb563386a179ea "
                             "85e813540f0ab40585e813540f0ab405");
    int count = 0;
    for (std::string k, v, p, c; cases >> k >> v >> p >> c; ++count) {
        const Bytes key = fromHex(k), iv = fromHex(v), plain = fromHex(p), cipher = fromHex(c);
        const unsigned char* start = iv.empty() ? nullptr : iv.data();
        CTripleDes encryptor(key.data(), key.size(), CTripleDes::block8, start),
            decryptor(key.data(), key.size(), CTripleDes::block8, start);
        Bytes out(plain.size()), back = iv.empty() ? Bytes(cipher.size()) : cipher; // in place when chained
        EXPECT_TRUE(encryptor.encrypt(out.data(), plain.data(), plain.size()) &&
                    decryptor.decrypt(back.data(), iv.empty() ? cipher.data() : back.data(), back.size()));
        EXPECT_EQ(out, cipher) << k << " " << v;
        EXPECT_EQ(back, plain) << k << " " << v;
    }
    EXPECT_EQ(count, 3);
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
    auto self = [](const CTripleDes& object, const char* text) { return "this:" + address(&object) + " " + text; };
    const char* const sizeText = "CTripleDes::encrypt(): size is not the multiple of th";
    const Lines expected = {self(paired, sizeText) + "e 'BlockSize'!!! size:20, real_size:16\n",
                            self(paired, sizeText) + " 'BlockSize'!!! size:31, real_size:16\n",
                            self(empty, "key_length is 0,is unvalid!\n"),
                            self(nullKey, "key_length is 0,is unvalid!\n"),
                            "en_de_crypt(): dst is NULL!!\n",
                            self(paired, sizeText) + " 'BlockSize'!!! size:17, real_size:16\n",
                            "en_de_crypt(): src is NULL!!\n"};
    EXPECT_EQ(capture.bodies(), expected);
}
