// Base64: the published vectors through both families, the length formulas
// at their bounds and where decoding stops (libcrypto's block coder is the
// fuzz target's reference).
#include "utils/Base64.h"

#include "support/Testing.h"

#include <climits>

using namespace Orvane::Utils;

// Pairs of text and encoding.
const char* const kPublished[] = {
    "",         "",      "f",        "Zg==",   "fo",       "Zm8=", "foo",  "Zm9v",         "foob",
    "Zm9vYg==", "fooba", "Zm9vYmE=", "foobar", "Zm9vYmFy", "Ma",   "TWE=", "\xfb\xff\xbf", "+/+/"};

TEST(Base64Test, PublishedVectorsThroughBothFamilies) {
    for (std::size_t i = 0; i < std::size(kPublished); i += 2) {
        const char *text = kPublished[i], *code = kPublished[i + 1];
        const int length = static_cast<int>(std::strlen(text)), encoded = static_cast<int>(std::strlen(code)) + 1;
        char out[16] = "#", outEx[16], back[16], backEx[16];
        EXPECT_EQ(base64Encode(out, text, length), length == 0 ? 0 : encoded) << text;
        EXPECT_STREQ(out, length == 0 ? "#" : code) << "length 0 writes nothing";
        EXPECT_EQ(base64EncodeEx(outEx, text, length), static_cast<std::size_t>(encoded));
        EXPECT_STREQ(outEx, code);
        EXPECT_EQ(base64Decode(back, code), length) << code;
        EXPECT_EQ(base64DecodeEx(backEx, code), static_cast<std::size_t>(length));
        EXPECT_STREQ(back, text);
        EXPECT_STREQ(backEx, text);
    }
    char untouched[4] = "#";
    EXPECT_EQ(base64Encode(untouched, "f", -1), 0);
    EXPECT_STREQ(untouched, "#") << "a negative length writes nothing";
    EXPECT_EQ(base64DecodeLen("TWE="), 4);
    EXPECT_EQ(base64DecodeLenEx("TWE="), 4u);
}

TEST(Base64Test, LengthFormulasAtTheirBounds) {
    // Pairs of length and room, in signed 32-bit arithmetic.
    const int cases[] = {
        -5, -3, -3, 1, -2,         1,          -1,         1,           0,           1,           1,       5,
        3,  5,  4,  9, 1610612733, 2147483645, 1610612734, INT_MIN + 1, INT_MAX - 2, -1431655767, INT_MAX, 1431655769};
    for (std::size_t i = 0; i < std::size(cases); i += 2) {
        EXPECT_EQ(base64EncodeLen(cases[i]), cases[i + 1]) << cases[i];
    }
    EXPECT_EQ(base64EncodeLenEx(1610612734), 2147483649u);
    EXPECT_EQ(base64EncodeLenEx(6442450944ULL), 8589934593ULL);
}

TEST(Base64Test, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
    // Triples of text, decoded bytes and room.
    const char* const cases[] = {"",           "",    "1", "T",        "",       "4", "TW",        "M",   "4",
                                 "TWE",        "Ma",  "4", "TWFu",     "Man",    "4", "TWFuT",     "Man", "7",
                                 "TWFu\nTWFu", "Man", "4", "TW Fu",    "M",      "4", "TWFu=TWFu", "Man", "4",
                                 "TW\x80u",    "M",   "4", "TWFuTWFu", "ManMan", "7"};
    for (std::size_t i = 0; i < std::size(cases); i += 3) {
        char out[16], outEx[16];
        std::memset(out, '#', sizeof out);
        std::memset(outEx, '#', sizeof outEx);
        const int length = static_cast<int>(std::strlen(cases[i + 1]));
        const std::string decoded = std::string(cases[i + 1]) + '\0'; // the terminator written after them
        EXPECT_EQ(base64Decode(out, cases[i]), length) << cases[i];
        EXPECT_EQ(std::string(out, decoded.size()), decoded) << cases[i];
        EXPECT_EQ(base64DecodeEx(outEx, cases[i]), static_cast<std::size_t>(length)) << cases[i];
        EXPECT_EQ(std::string(outEx, decoded.size()), decoded) << cases[i];
        EXPECT_EQ(base64DecodeLen(cases[i]), std::stoi(cases[i + 2])) << cases[i];
        EXPECT_EQ(base64DecodeLenEx(cases[i]), std::stoul(cases[i + 2])) << cases[i];
    }
}
