// CTripleDes: published DES and TDEA examples and the texts and results of
// the failures. Every key length against libcrypto, and the paired 16-byte
// block against single-DES steps, are the cipher stream fuzz target's.
#include "utils/TripleDes.h"

#include "support/CryptoData.h"

#include <sstream>

using namespace Orvane::Testing;
using Orvane::Utils::CTripleDes;

namespace {

Bytes run(CTripleDes& des, bool encrypting, const Bytes& in) {
    Bytes out(in.size());
    EXPECT_TRUE(encrypting ? des.encrypt(out.data(), in.data(), in.size())
                           : des.decrypt(out.data(), in.data(), in.size()));
    return out;
}

} // namespace

TEST(TripleDesTest, PublishedExamples) {
    // Key, plaintext and ciphertext: a DES example and the TDEA one.
    std::istringstream cases("133457799bbcdff1 0123456789abcdef 85e813540f0ab405 "
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
    EXPECT_EQ(count, 2);
}

// Chaining from the DES example: with a zero start value the first block is the example's, and a second block
// of (example cipher xor example plain) chains back to the same input, so to the same cipher block.
TEST(TripleDesTest, ChainingFollowsFromTheExample) {
    const Bytes key = fromHex("133457799bbcdff1"), iv(8, 0);
    const Bytes plain = fromHex("0123456789abcdef84cb563386a179ea");
    const Bytes cipher = fromHex("85e813540f0ab40585e813540f0ab405");
    CTripleDes encryptor(key.data(), 8, CTripleDes::block8, iv.data()),
        decryptor(key.data(), 8, CTripleDes::block8, iv.data());
    EXPECT_EQ(run(encryptor, true, plain), cipher);
    Bytes inPlace = cipher;
    EXPECT_TRUE(decryptor.decrypt(inPlace.data(), inPlace.data(), inPlace.size()));
    EXPECT_EQ(inPlace, plain);
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
