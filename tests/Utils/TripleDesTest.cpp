// CTripleDes: published DES and TDEA examples, the cipher each key length
// selects and the block each type selects, and the texts and results of the
// failures. Random keys, lengths and pieces against libcrypto are the cipher
// stream fuzz target's.
#include "utils/TripleDes.h"

#include "support/CryptoData.h"

using namespace Orvane::Testing;
using Orvane::Utils::CTripleDes;

namespace {

// Three 8-byte keys and a fourth beyond the 24 kept. The last byte of each of
// the first three has bits outside its parity bit, so cutting a key there
// changes the cipher.
const char* const kKeys = "0123456789abcdef23456789abcdef3c456789abcdef0123fedcba9876543210";
const char* const kNowIsTheTime = "4e6f77206973207468652074696d6520666f7220616c6c20"; // "Now is the time for all "
const char* const kIv8 = "1234567890abcdef";
const char* const kIv16 = "1234567890abcdeffedcba0987654321";

struct Outcome {
    Bytes cipher;
    Bytes back;
    bool encrypted;
    bool decrypted;
};

// Encrypts with one object and decrypts what it gave with a second one made alike.
Outcome encryptAndBack(const Bytes& key, CTripleDes::BlockType type, const char* ivText, const Bytes& plain) {
    const Bytes iv = fromHex(ivText);
    const unsigned char* start = iv.empty() ? nullptr : iv.data();
    CTripleDes encryptor(key.data(), key.size(), type, start), decryptor(key.data(), key.size(), type, start);
    Outcome run{Bytes(plain.size()), Bytes(plain.size()), false, false};
    run.encrypted = encryptor.encrypt(run.cipher.data(), plain.data(), plain.size());
    run.decrypted = decryptor.decrypt(run.back.data(), run.cipher.data(), run.cipher.size());
    return run;
}

} // namespace

// Key, start value ("" for none), plaintext and ciphertext: a DES example, the TDEA one, and chaining from the DES
// example: with a zero start value the first block is the example's, and a second block of (example cipher xor
// example plain) chains back to the same input, so to the same cipher block. The last key is one DES key three
// times, which is single DES.
TEST(TripleDesTest, PublishedExamplesAndChaining) {
    const char* const cases[][4] = {
        {"133457799bbcdff1", "", "0123456789abcdef", "85e813540f0ab405"},
        {"0123456789abcdef23456789abcdef01456789abcdef0123", "", "54686520717566636b2062726f776e20666f78206a756d70",
         "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900"},
        {"133457799bbcdff1", "0000000000000000", "0123456789abcdef84cb563386a179ea",
         "85e813540f0ab40585e813540f0ab405"},
        {"133457799bbcdff1133457799bbcdff1133457799bbcdff1", "", "0123456789abcdef", "85e813540f0ab405"},
    };
    for (const auto& c : cases) {
        const Outcome run = encryptAndBack(fromHex(c[0]), CTripleDes::block8, c[1], fromHex(c[2]));
        EXPECT_TRUE(run.encrypted) << c[0];
        EXPECT_TRUE(run.decrypted) << c[0];
        EXPECT_EQ(run.cipher, fromHex(c[3])) << c[0] << " " << c[1];
        EXPECT_EQ(run.back, fromHex(c[2])) << c[0] << " " << c[1];
    }
}

// The first n bytes of kKeys, at and on both sides of 8, 16 and 24: up to 8 bytes DES, up to 16 two-key TDEA, up to
// 24 three-key TDEA, a shorter key padded with zero bytes, a longer one cut to 24. The 8-byte row in ECB is the
// published DES example on "Now is the time for all ".
TEST(TripleDesTest, KeyLengthSelectsTheCipher) {
    struct Case {
        std::size_t length;
        const char *ecb, *cbc;
    };
    const Case cases[] = {
        {1, "7d65484be578dd0dbb7039a9c237b4f44e6930770d3a7fac", "9039151ccfddbd314f6d1fb2ec401bf91802e64808441ad6"},
        {7, "19d002d1722208b795b6359361bc908521b7ca49f6d92efe", "1c9c73d64662d1776600b47dd751efc2aab6d428a27126c2"},
        {8, "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53", "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"},
        {9, "b2b7dfe233318dfe2ffcebfc869c9ef9a7eddfe36afb060c", "4b6231544bd2017430ed92ea29e1d0f88f3ed3a296db23e9"},
        {15, "b7835779ee26acb75d2731a8d9b401623dd3fc69a08cc6d9", "134b98f8eeb3f6079f1a82e0640d5f2f8e090661c42864a1"},
        {16, "efa208be148d10a2aaf1edaafc52b8b1df41123c741e28de", "a71c91d8efc99e6af6431b5eb7d6032f2c185ecfe4a0310a"},
        {17, "bffa98641ba1863d70e6439eb727e0cb8d42e6b90e255df7", "7e3c8f290d4f8f30c48c045c32630d3323d4ffc2fb4358b6"},
        {23, "c4d79b9b7d06f97c26620f397fb9e0b5a5db4c936b4bed15", "fef86a170d75a0045af503558010a3174c2e2b9684310065"},
        {24, "f111e13e24965d325179c2d8aa13e97ba9d8d1605fb1b49a", "2819c1cd1fc176995685b054a2b88b7b41b5a4b84d884170"},
        {25, "f111e13e24965d325179c2d8aa13e97ba9d8d1605fb1b49a", "2819c1cd1fc176995685b054a2b88b7b41b5a4b84d884170"},
    };
    const Bytes keys = fromHex(kKeys), plain = fromHex(kNowIsTheTime);
    for (const Case& c : cases) {
        const Bytes key(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(c.length));
        for (const auto& [ivText, cipher] : {std::pair(kIv8, c.cbc), std::pair("", c.ecb)}) {
            const Outcome run = encryptAndBack(key, CTripleDes::block8, ivText, plain);
            EXPECT_TRUE(run.encrypted) << "length " << c.length;
            EXPECT_TRUE(run.decrypted) << "length " << c.length;
            EXPECT_EQ(run.cipher, fromHex(cipher)) << "length " << c.length << " iv " << ivText;
            EXPECT_EQ(run.back, plain) << "length " << c.length << " iv " << ivText;
        }
    }
}

// The paired 16-byte block on "Now is the time for all men to c": each step on both halves, the halves' inner words
// exchanged between the steps. Only BlockType 1 selects it, and only for keys longer than 8 bytes: an 8-byte key
// stays single DES on 8-byte blocks (the published example again), and any other type value means 8 bytes.
TEST(TripleDesTest, BlockTypeSelectsThePairedBlockForKeysLongerThanEight) {
    struct Case {
        std::size_t length;
        int type;
        const char *ecb, *cbc;
    };
    const Case cases[] = {
        {8, 1, "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b536606c348de37bd00",
         "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f64229122060b28c62"},
        {9, 1, "9e1dfcb9441aa72fc4a931361a6e615e18861670164d8f3f75fccac7d69edd18",
         "d0293ffb4c21057a7c77d11808e07ff23a8d144b03886615098d6512a0e6ee01"},
        {16, 1, "b5fae821e9961fa21e41de348f8de186c1fbf0dcd33680064eba944a940db0ff",
         "4f1f973f82de1ae03fb92ff45d8fb226090a5830f0939f378c1320efcaccfb06"},
        {17, 1, "15ada3e636b137f466ad61ac7c6ca75345b366673488747d371915ec869af2d7",
         "21ceaa7aed90062ad8b718e8c6c380eb1455c7dbc2e00a0309e3abd88b06a13d"},
        {24, 1, "424ddd2b77740240f6d0635259498046ecfeafd39bebd35a38b46dcc8b1a9b68",
         "8dec69cf04bca21e1080925642e696a27eb160f5e9bec88bbe81d1c110bad2e8"},
        {16, 2, "efa208be148d10a2aaf1edaafc52b8b1df41123c741e28de1fd758e9261d811c",
         "a71c91d8efc99e6af6431b5eb7d6032f2c185ecfe4a0310a7f72d8c51d4fc613"},
    };
    const Bytes keys = fromHex(kKeys), plain = fromHex(std::string(kNowIsTheTime) + "6d656e20746f2063");
    for (const Case& c : cases) {
        const Bytes key(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(c.length));
        const auto type = static_cast<CTripleDes::BlockType>(c.type);
        for (const auto& [ivText, cipher] : {std::pair(kIv16, c.cbc), std::pair("", c.ecb)}) {
            const Outcome run = encryptAndBack(key, type, ivText, plain);
            EXPECT_TRUE(run.encrypted) << "length " << c.length << " type " << c.type;
            EXPECT_TRUE(run.decrypted) << "length " << c.length << " type " << c.type;
            EXPECT_EQ(run.cipher, fromHex(cipher)) << "length " << c.length << " type " << c.type << " iv " << ivText;
            EXPECT_EQ(run.back, plain) << "length " << c.length << " type " << c.type << " iv " << ivText;
        }
    }
}

// Each call is a message of its own: the chain starts at the object's start value every time, in both directions.
TEST(TripleDesTest, ChainingRestartsOnEveryCall) {
    const Bytes keys = fromHex(kKeys), plain = fromHex(std::string(kNowIsTheTime) + "6d656e20746f2063");
    for (const auto& [type, ivText] : {std::pair(CTripleDes::block8, kIv8), std::pair(CTripleDes::block16, kIv16)}) {
        const Bytes iv = fromHex(ivText);
        CTripleDes des(keys.data(), 24, type, iv.data());
        Bytes first(plain.size()), second(plain.size()), back(plain.size()), again(plain.size());
        ASSERT_TRUE(des.encrypt(first.data(), plain.data(), plain.size()));
        ASSERT_TRUE(des.encrypt(second.data(), plain.data(), plain.size()));
        EXPECT_EQ(second, first) << "type " << type;
        ASSERT_TRUE(des.decrypt(back.data(), first.data(), first.size()));
        ASSERT_TRUE(des.decrypt(again.data(), first.data(), first.size()));
        EXPECT_EQ(back, plain) << "type " << type;
        EXPECT_EQ(again, plain) << "type " << type;
    }
}

TEST(TripleDesTest, FailuresReportTheirTextsAndResults) {
    CapturePrinter capture;
    const Bytes key = fromHex("0123456789abcdef23456789abcdef01");
    const Bytes plain = fromHex("000102030405060708090a0b0c0d0e0f1011121314151617");
    CTripleDes paired(key.data(), 16, CTripleDes::block16, nullptr);
    CTripleDes single(key.data(), 8, CTripleDes::block16, nullptr), nine(key.data(), 9, CTripleDes::block16, nullptr);
    CTripleDes empty(key.data(), 0, CTripleDes::block8, nullptr), nullKey(nullptr, 8, CTripleDes::block8, nullptr);
    Bytes out(20, 0xEE), whole(16);
    EXPECT_FALSE(paired.encrypt(out.data(), plain.data(), 20));
    ASSERT_TRUE(paired.encrypt(whole.data(), plain.data(), 16));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), whole) << "the whole block is still processed";
    EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(4, 0xEE)) << "the trailing bytes are untouched";
    EXPECT_FALSE(paired.decrypt(out.data(), whole.data(), 31));
    EXPECT_TRUE(paired.decrypt(out.data(), whole.data(), 0));
    EXPECT_TRUE(single.encrypt(out.data(), plain.data(), 8)) << "an 8-byte key keeps 8-byte blocks";
    EXPECT_FALSE(nine.encrypt(out.data(), plain.data(), 8)) << "a 9-byte key pairs them";
    EXPECT_FALSE(empty.encrypt(out.data(), plain.data(), 8));
    EXPECT_FALSE(nullKey.decrypt(out.data(), plain.data(), 8));
    EXPECT_TRUE(paired.encrypt(nullptr, plain.data(), 16)) << "the size test alone decides";
    EXPECT_FALSE(paired.decrypt(out.data(), nullptr, 17));
    auto self = [](const CTripleDes& object, const char* text) { return "this:" + address(&object) + " " + text; };
    const char* const sizeText = "CTripleDes::encrypt(): size is not the multiple of th";
    const Lines expected = {self(paired, sizeText) + "e 'BlockSize'!!! size:20, real_size:16\n",
                            self(paired, sizeText) + " 'BlockSize'!!! size:31, real_size:16\n",
                            self(nine, sizeText) + "e 'BlockSize'!!! size:8, real_size:0\n",
                            self(empty, "key_length is 0,is unvalid!\n"),
                            self(nullKey, "key_length is 0,is unvalid!\n"),
                            "en_de_crypt(): dst is NULL!!\n",
                            self(paired, sizeText) + " 'BlockSize'!!! size:17, real_size:16\n",
                            "en_de_crypt(): src is NULL!!\n"};
    EXPECT_EQ(capture.bodies(), expected);
}
