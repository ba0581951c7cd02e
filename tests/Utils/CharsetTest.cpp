#include "utils/Charset.h"

#include "support/Testing.h"

#include <iconv.h>

using namespace Orvane::Utils;

namespace {

// Hex of the bytes (or units) up to the last one that no longer holds the canary 0xAA (0xAAAA).
template <typename T, std::size_t N> std::string shown(const T (&p)[N]) {
    std::size_t n = N;
    while (n > 0 && p[n - 1] == static_cast<T>(0xAAAAu)) {
        --n;
    }
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%0*X", static_cast<int>(2 * sizeof(T)), static_cast<unsigned>(p[i]));
        out += digits;
    }
    return out;
}

using Page = int (*)(unsigned char*, int&, const unsigned char*, int&);
const std::map<std::string, Page> kPages = {
    {"cp862", cp862_to_utf8},        {"cp874", cp874_to_utf8},        {"cp1250", cp1250_to_utf8},
    {"cp1251", cp1251_to_utf8},      {"8859-1", iso8859_1_to_utf8},   {"8859-2", iso8859_2_to_utf8},
    {"8859-3", iso8859_3_to_utf8},   {"8859-4", iso8859_4_to_utf8},   {"8859-5", iso8859_5_to_utf8},
    {"8859-6", iso8859_6_to_utf8},   {"8859-7", iso8859_7_to_utf8},   {"8859-8", iso8859_8_to_utf8},
    {"8859-9", iso8859_9_to_utf8},   {"8859-10", iso8859_10_to_utf8}, {"8859-13", iso8859_13_to_utf8},
    {"8859-14", iso8859_14_to_utf8}, {"8859-15", iso8859_15_to_utf8}, {"8859-16", iso8859_16_to_utf8}};

// One case: the function (or single-byte page), its input in hex ("-" for none; read as bytes, as 16-bit units and as
// 32-bit codes), and up to two numbers. Answers with the result, then the bytes or units written and the counts it
// returns.
std::string run(const std::vector<std::string>& f) {
    const std::string hex = f[1] == "-" ? "" : f[1];
    int a = f.size() > 2 ? std::stoi(f[2]) : 0, b = f.size() > 3 ? std::stoi(f[3]) : 0;
    std::vector<unsigned char> in;
    std::vector<unsigned short> units;
    std::vector<char> codes(1); // the 32-bit codes in native order, deliberately unaligned
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        in.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        if (i % 4 == 0 && i + 3 < hex.size()) {
            units.push_back(static_cast<unsigned short>(std::stoul(hex.substr(i, 4), nullptr, 16)));
        }
        if (i % 8 == 0 && i + 7 < hex.size()) {
            const auto code = static_cast<unsigned int>(std::stoul(hex.substr(i, 8), nullptr, 16));
            codes.insert(codes.end(), reinterpret_cast<const char*>(&code), reinterpret_cast<const char*>(&code + 1));
        }
    }
    in.push_back(0);
    units.push_back(0);
    unsigned char out[40];
    unsigned short wide[20];
    std::memset(out, 0xAA, sizeof out);
    std::memset(wide, 0xAA, sizeof wide);
    char* text = reinterpret_cast<char*>(in.data());
    char* narrow = reinterpret_cast<char*>(out);
    int n = static_cast<int>(in.size()) - 1;
    const std::map<std::string, std::function<int()>> functions = {
        {"mbtowc", [&] { return utf8_mbtowc(wide, in.data(), a); }},
        {"mbstowcs", [&] { return utf8_mbstowcs(wide, in.data(), a); }},
        {"wctomb", [&] { return utf8_wctomb(out, units[0], a); }},
        {"wctombnull", [&] { return utf8_wctomb(nullptr, units[0], a); }},
        {"wcstombs", [&] { return utf8_wcstombs(out, units.data(), a); }},
        {"first", [&] { return static_cast<int>(GetUnicodeFromUtf8(text, &b)); }},
        {"ucs4", [&] { return UCS4ToUtf8(&codes[1], a, out, b); }},
        {"ucs4noinput", [&] { return UCS4ToUtf8(nullptr, 4, out, 4); }},
        {"ucs4nooutput", [&] { return UCS4ToUtf8(&codes[1], 4, nullptr, 4); }},
        {"uni2char", [&] { return uni2char(units[0], out, a); }},
        {"char2uni", [&] { return char2uni(in.data(), a, wide); }},
        {"UniTGb2312", [&] { return UniTGb2312(units.data(), a, narrow, b); }},
        {"Gb2312ToUni", [&] { return Gb2312ToUni(text, wide, a); }},
        {"Gb2312ToUninull", [&] { return Gb2312ToUni(nullptr, wide, a); }},
        {"Gb2312TUtf8", [&] { return Gb2312TUtf8(text, out, a); }},
        {"utf8TGb2312", [&] { return utf8TGb2312(in.data(), narrow, a, b); }},
        {"cp1252", [&] { return cp1252_to_utf8(out, a, in.data(), n); }},
        {"to1252", [&] { return utf8_to_cp1252(in.data(), f.size() > 3 ? b : n, out, a); }},
        {"nullout", [&] { return iso8859_1_to_utf8(nullptr, a, in.data(), n); }},
        {"nullin", [&] { return iso8859_1_to_utf8(out, a, nullptr, n); }},
    };
    const auto page = kPages.find(f[0]);
    const int returned = page != kPages.end() ? page->second(out, a, in.data(), n) : functions.at(f[0])();
    const std::string result = std::to_string(returned), written = shown(out) + shown(wide);
    const std::string counts = f[0] == "first" ? " length " + std::to_string(b)
                               : page != kPages.end() || f[0].compare(0, 4, "null") == 0
                                   ? " in " + std::to_string(n) + " out " + std::to_string(a)
                                   : "";
    return result + (written.empty() ? "" : " " + written) + counts;
}

// One iconv direction on a whole piece of text; "refused" (longer than any one character) when iconv refuses it.
std::string viaIconv(iconv_t cd, std::string in) {
    char out[16], *from = &in[0], *to = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool refused = iconv(cd, &from, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0;
    return refused ? "refused" : std::string(out, static_cast<std::size_t>(to - out));
}

} // namespace

// Function, input, numbers, "=", then the result, what was written (AA / AAAA mark memory left untouched),
// the counts returned and any report. What each GBK code and code point gives with room enough is the
// iconv comparison's below; here are the room bounds and the inputs it leaves out. The single-byte pages are
// generated from the same charmaps as the C library's own 8-bit converters, so a full comparison of them
// would hold the tables to themselves; the bytes 80 A4 FE (undefined bytes write nothing) tell all the pages
// apart, which shows each function reads its own page.
TEST(CharsetTest, EdgeCasesOfEveryConversion) {
    EXPECT_EQ(Orvane::Testing::runCaseTable(R"(
mbtowc 7F 1 = 1 007F | mbtowc C280 2 = 2 0080 | mbtowc C1BF 2 = -1 | mbtowc DFBF 2 = 2 07FF | mbtowc 80 1 = -1
mbtowc E0A080 3 = 3 0800 | mbtowc E09FBF 3 = -1 | mbtowc E4B8AD 2 = -1 | mbtowc E441AD 3 = -1 | mbtowc FF 1 = -1
mbtowc F09F9880 4 = 4 F600 | mbtowc F08FBFBF 4 = -1 | mbtowc F888808080 5 = 5 0000 | mbtowc F887BFBFBF 5 = -1
mbtowc FC8480808080 6 = 6 0000 | mbtowc FC83BFBFBFBF 6 = -1 | mbtowc FDBFBFBFBFBF 6 = 6 FFFF | mbtowc 41 0 = -1
mbstowcs 618062C080E4B8AD6300 10 = 4 006100624E2D0063 | mbstowcs E4B8AD 2 = 0 | mbstowcs 41E4B8 9 = 1 0041
wctomb 0041 0 = -1 | wctomb 0041 1 = 1 41 | wctomb 0080 1 = -1 | wctomb 0080 2 = 2 C280 | wctomb 07FF 2 = 2 DFBF
wctomb 0800 2 = -1 | wctomb 0800 3 = 3 E0A080 | wcstombs 00414E2D00420043 3 = 2 4142 | wcstombs 4E2D0041 4 = 4 E4B8AD41
first 41 = 65 length 1 | first C3A9 = 233 length 2 | first E4B8AD = 20013 length 3 | first - = 0 length 0
first E4B8 = 0 length 3 | first F09F9880 = 0 length 0 | first 8041 = 0 length 0 | first E441 = 4 length 3
first E4B8E4 = 312 length 3 | first C3C3A9 = 3 length 2 | first E4B8F0 = 312 length 3 | first FF = 0 length 0
ucs4 00000041 4 32 = 1 41
ucs4 0000004100004E2D0001F6007FFFFFFF8000000000000010 24 32 = 15 41E4B8ADF09F9880FDBFBFBFBFBF10
ucs4 0000004100004E2D0001F6007FFFFFFF8000000000000010 24 14 = 14 41E4B8ADF09F9880FDBFBFBFBFBF [UCS4ToUtf8 utf8Size error]
ucs4 0000004100004E2D 8 3 = 1 41 [UCS4ToUtf8 utf8Size error] | ucs4 00000041 6 32 = 0 [UCS4ToUtf8 ucs4Len error]
ucs4noinput 00000041 = 0 [ucs4 is invalid] | ucs4nooutput 00000041 = 0 [utf8 is invalid] | uni2char 554A 1 = -1 | uni2char 00A4 1 = 1 A4
uni2char 0000 2 = -1 | uni2char 20AC 1 = 1 80 | uni2char 0041 0 = -1 | char2uni 8140 1 = 1 0000
char2uni 8100 2 = 1 0000 | char2uni FF41 2 = 1 0000 | char2uni 4142 2 = 1 0041 | char2uni 8140 0 = -1
UniTGb2312 4E2D0041 9 4 = 2 D6D04100 | UniTGb2312 4E2D0041 9 3 = 2 D6D041 | UniTGb2312 4E2D0041 9 2 = 1 D6D0
UniTGb2312 4E2D0041 1 4 = 1 D6D00000 | UniTGb2312 0041FFFD0042 3 3 = -1 410000 | UniTGb2312 4E2D 1 1 = 0 00
Gb2312ToUni D6D0CEC441 4 = 3 4E2D658700410000 | Gb2312ToUni D6D0CEC441 2 = 2 4E2D6587
Gb2312ToUni AAA1817F8130 6 = 5 FFFDFFFD007FFFFD00300000 | Gb2312ToUni 41FF81 4 = 3 0041000000000000
Gb2312TUtf8 D6D0CEC420414243 12 = 10 E4B8ADE69687204142430000 | Gb2312TUtf8 D6D0CEC420414243 5 = 4 E4B8AD2000
Gb2312TUtf8 - 8 = 0 | utf8TGb2312 E4B8ADE69687204142 9 10 = 5 D6D0CEC4204142000000
utf8TGb2312 E4B8ADE69687 4 4 = 1 D6D00000 | utf8TGb2312 E4B8AD 0 4 = 0 | cp1252 8041 4 = 0 E282AC41 | cp1252 8041 3 = 4
cp1252 8041 5 = 0 E282AC41 | cp1252 41814290 9 = 0 41000000 | cp1252 0041 2 = 0 0041 | cp1252 FF9D 2 = 3
cp1252 - 4 = -1 | to1252 C3BF 4 = 1 FF | to1252 E282AC41 4 = 2 8041 | to1252 418042 4 = 1 41 | to1252 E4B8AD41 4 = 1 41
to1252 41C3 4 = 1 41 | to1252 4142 1 = 1 41 | to1252 C18141 4 = 0 | to1252 C28141 4 = 1 41
8859-1 41E9 3 = 0 41C3A9 in 2 out 3 | 8859-1 41E9 2 = 0 41 in 1 out 1 | 8859-1 41E9 1 = -1 in 2 out 1
8859-1 0041 2 = 0 41 in 2 out 1 | 8859-1 - 4 = -1 in 0 out 4
cp862 80A4FE 9 = 0 D790C3B1E296A0 in 3 out 7 | cp874 80A4FE 9 = 0 E282ACE0B884 in 3 out 6 | cp1250 80A4FE 9 = 0 E282ACC2A4C5A3 in 3 out 7
cp1251 80A4FE 9 = 0 D082C2A4D18E in 3 out 6 | 8859-2 80A4FE 9 = 0 C280C2A4C5A3 in 3 out 6 | 8859-3 80A4FE 9 = 0 C280C2A4C59D in 3 out 6
8859-4 80A4FE 9 = 0 C280C2A4C5AB in 3 out 6 | 8859-5 80A4FE 9 = 0 C280D084D19E in 3 out 6 | 8859-6 80A4FE 9 = 0 C280C2A4 in 3 out 4
8859-7 80A4FE 9 = 0 C280E282ACCF8E in 3 out 7 | 8859-8 80A4FE 9 = 0 C280C2A4E2808F in 3 out 7 | 8859-9 80A4FE 9 = 0 C280C2A4C59F in 3 out 6
8859-10 80A4FE 9 = 0 C280C4AAC3BE in 3 out 6 | 8859-13 80A4FE 9 = 0 C280C2A4C5BE in 3 out 6 | 8859-14 80A4FE 9 = 0 C280C48AC5B7 in 3 out 6
8859-15 80A4FE 9 = 0 C280E282ACC3BE in 3 out 7 | 8859-16 80A4FE 9 = 0 C280E282ACC89B in 3 out 7 | cp874 FE 9 = 0 in 1 out 0
8859-1 80A4FE 9 = 0 C280C2A4C3BE in 3 out 6 | nullout 41 4 = -1 in 1 out 4 | nullin 41 4 = -1 in 1 out 4
cp1251 41E9 1 = -1 in 2 out 1 | cp1251 41E9 2 = 0 41 in 1 out 1 | cp1251 41E9 3 = 0 41D0B9 in 2 out 3
mbtowc EFBFBF 3 = 3 FFFF | mbtowc F0908080 4 = 4 0000 | mbtowc F7BFBFBF 4 = 4 FFFF | mbtowc C280 1 = -1 | mbtowc FE 1 = -1
mbtowc FC8480808080 5 = -1 | mbstowcs 4142 1 = 1 0041 | wctomb FFFF 3 = 3 EFBFBF | wctombnull 0041 3 = 0
wcstombs 4E2D0041 3 = 3 E4B8AD | wcstombs 4E2D0041 2 = 1 41 | ucs4 00000041 0 32 = 0 | ucs4 0000004100004E2D 8 4 = 4 41E4B8AD
ucs4 0000007F00000080000007FF000008000000FFFF00010000001FFFFF0020000003FFFFFF04000000 40 40 = 35 7FC280DFBFE0A080EFBFBFF0908080F7BFBFBFF888808080FBBFBFBFBFFC8480808080
uni2char 554A 2 = 2 B0A1 | uni2char 554A 3 = 2 B0A1 | char2uni 80 1 = 1 20AC | char2uni 8140 2 = 2 4E02
Gb2312ToUni D6D0CEC441 3 = 3 4E2D65870041 | Gb2312ToUninull - 4 = 0 | Gb2312TUtf8 D6D0 3 = 3 E4B8AD | Gb2312TUtf8 D6D0 2 = 0 0000
Gb2312TUtf8 D6D041 2 = 1 4100 | Gb2312TUtf8 D6D041 3 = 3 E4B8AD | Gb2312TUtf8 D6D041 4 = 4 E4B8AD41 | Gb2312TUtf8 A1E8 2 = 2 C2A4
Gb2312TUtf8 41FF42 8 = 1 4100000000000000 | Gb2312TUtf8 D6D0CEC420414243 10 = 10 E4B8ADE6968720414243
utf8TGb2312 E4B8AD41 3 4 = 1 D6D00000 | utf8TGb2312 E4B8AD41 2 4 = 0 00000000 | utf8TGb2312 E4B8AD41 4 3 = 2 D6D041
utf8TGb2312 E4B8AD41 4 2 = 1 D6D0 | utf8TGb2312 E08181 3 4 = 0 00000000 | utf8TGb2312 EFBFBD41 4 4 = -1 00000000
utf8TGb2312 C3A9 2 4 = 1 E9000000 | to1252 C3BF41 4 2 = 1 FF | to1252 C3BF41 4 1 = 0 | to1252 C3BF41 4 3 = 2 FF41
)",
                                            run),
              157);
}

// Texts longer than the conversions' internal chunks, with room for all of them, for one character less, and
// for part of a chunk: each stops at a whole character and counts what it took.
TEST(CharsetTest, LongTextsStopWhereTheRoomEnds) {
    using Bytes = std::vector<unsigned char>;
    auto repeated = [](std::initializer_list<unsigned char> unit, std::size_t times) {
        Bytes out;
        for (std::size_t i = 0; i < times; ++i) {
            out.insert(out.end(), unit);
        }
        return out;
    };
    auto then = [](Bytes first, const Bytes& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    const Bytes latin = repeated({0xE9}, 600); // e acute: two bytes of UTF-8 each
    for (const auto& [room, taken] : {std::pair(1200, 600), std::pair(1199, 599), std::pair(700, 350)}) {
        Bytes out(1200, 0xAA);
        int outSize = room, inLength = 600;
        EXPECT_EQ(iso8859_1_to_utf8(out.data(), outSize, latin.data(), inLength), 0) << "room " << room;
        EXPECT_EQ(inLength, taken) << "room " << room;
        EXPECT_EQ(outSize, 2 * taken) << "room " << room;
        EXPECT_EQ(out, then(repeated({0xC3, 0xA9}, taken), Bytes(1200 - 2 * taken, 0xAA))) << "room " << room;
    }
    const Bytes euros = repeated({0x80}, 600); // three bytes of UTF-8 each
    Bytes out(1800, 0xAA);
    EXPECT_EQ(cp1252_to_utf8(out.data(), 1799, euros.data(), 600), 1800) << "the size needed";
    EXPECT_EQ(out, Bytes(1800, 0xAA)) << "nothing written";
    EXPECT_EQ(cp1252_to_utf8(out.data(), 1800, euros.data(), 600), 0);
    EXPECT_EQ(out, repeated({0xE2, 0x82, 0xAC}, 600));
    const Bytes utf8 = repeated({0xC3, 0xA9}, 600);
    for (int room : {600, 599}) {
        Bytes narrow(600, 0xAA);
        EXPECT_EQ(utf8_to_cp1252(utf8.data(), 1200, narrow.data(), room), room);
        EXPECT_EQ(narrow, then(repeated({0xE9}, room), Bytes(600 - static_cast<std::size_t>(room), 0xAA))) << room;
    }
}

// Every single byte and two-byte GBK code, and every 16-bit code point, beside iconv.
TEST(CharsetTest, EveryGbkCodeBothWaysBesideIconv) {
    iconv_t decode = iconv_open("UCS-2LE", "GBK"), encode = iconv_open("GBK", "UCS-2LE");
    int pairs = 0;
    for (int code = 0; code < 0x10000; ++code) {
        const char lead = static_cast<char>(code >> 8), trail = static_cast<char>(code);
        if (code >= 0x100 && (code < 0x8100 || code >= 0xFF00 || trail == 0)) {
            continue;
        }
        const std::string in = code < 0x100 ? std::string(1, trail) : std::string{lead, trail};
        unsigned short uni = 0;
        const int result =
            char2uni(reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()), &uni);
        const std::string ours =
            result < 0 ? "refused" : std::string{static_cast<char>(uni), static_cast<char>(uni >> 8)};
        // Known difference: a lone lead byte (or 0xFF) reads as 0 by the single-byte table; iconv refuses it.
        const bool known = code >= 0x81 && code <= 0xFF;
        EXPECT_EQ(ours, known ? std::string(2, '\0') : viaIconv(decode, in)) << std::hex << code;
        pairs += result == 2;
    }
    EXPECT_EQ(pairs, 21791) << "two-byte codes of the published page";
    for (int unit = 1; unit <= 0xFFFF; ++unit) {
        unsigned char out[2];
        const int result = uni2char(static_cast<unsigned short>(unit), out, 2);
        const std::string ours =
            result < 0 ? "refused" : std::string(reinterpret_cast<char*>(out), result == 2 ? 2 : 1);
        // Known difference: U+0080..U+00FF have no page and become the byte of the same value; iconv gives
        // their two-byte codes (U+00A4 is A1E8) or refuses them.
        const bool known = unit >= 0x80 && unit <= 0xFF;
        const std::string theirs = viaIconv(encode, std::string{static_cast<char>(unit), static_cast<char>(unit >> 8)});
        EXPECT_EQ(ours, known ? std::string(1, static_cast<char>(unit)) : theirs) << std::hex << unit;
    }
    iconv_close(decode);
    iconv_close(encode);
}
