// The character-set converters against models and round trips.
//
// Properties: a UTF-8 sequence decodes exactly as a six-byte-form model
// decodes it (length, low 16 bits, overlong and cut forms refused); 16-bit
// text survives UTF-8 and back; every GBK code uni2char writes reads back as
// its character; GBK text of any bytes converts without reading or writing
// out of bounds and never yields more units than bytes; Windows-1252 reports
// the size it needs exactly and its UTF-8 reads back as the input up to the
// first byte without a character; every single-byte page writes well-formed
// UTF-8 and, given less room, a prefix of the same output that stops before
// the first character that does not fit; a text longer than the converters'
// chunks gives, byte for byte, what its single bytes give; UTF-8 text reads as
// its characters with every invalid byte skipped on its own; the one-pass GBK
// conversions give what the two steps through 16-bit text give; no
// conversion yields more characters than it was given bytes.
#include "support/FuzzCheck.h"

#include "utils/Charset.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <cstring>
#include <vector>

using namespace Orvane::Utils;

namespace {

using Bytes = std::vector<unsigned char>;

// Length and value of the sequence at s in the six-byte form, or -1.
int modelDecode(const unsigned char* s, int n, unsigned long* value) {
    if (n < 1) {
        return -1;
    }
    static const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    int length = s[0] < 0x80   ? 1
                 : s[0] < 0xC0 ? 0
                 : s[0] < 0xE0 ? 2
                 : s[0] < 0xF0 ? 3
                 : s[0] < 0xF8 ? 4
                 : s[0] < 0xFC ? 5
                 : s[0] < 0xFE ? 6
                               : 0;
    if (length == 0 || length > n) {
        return -1;
    }
    unsigned long v = length == 1 ? s[0] : s[0] & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return -1;
        }
        v = (v << 6) | (s[i] & 0x3Fu);
    }
    if (v < smallest[length]) {
        return -1;
    }
    *value = v;
    return length;
}

// Walks out[0, size) as UTF-8 of characters up to 0xFFFF; false on a flaw.
bool wellFormed(const unsigned char* out, int size) {
    for (int at = 0; at < size;) {
        unsigned long value = 0;
        const int length = modelDecode(out + at, size - at, &value);
        if (length < 1 || length > 3) {
            return false;
        }
        at += length;
    }
    return true;
}

void checkUtf8Sequence(const Bytes& bytes) {
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const int n = static_cast<int>(bytes.size() - at);
        unsigned long value = 0;
        unsigned short wc = 0xBEEF;
        const int expected = modelDecode(&bytes[at], n, &value);
        const int got = utf8_mbtowc(&wc, &bytes[at], n);
        FUZZ_CHECK(got == expected, "utf8_mbtowc at %zu gave %d, the model %d", at, got, expected);
        FUZZ_CHECK(got < 0 ? wc == 0xBEEF : wc == static_cast<unsigned short>(value),
                   "utf8_mbtowc at %zu stored %04x for %lx", at, wc, value);
    }
}

// utf8_mbstowcs against the model: a character per valid sequence, one
// invalid byte skipped at a time, up to the first 0.
void checkUtf8Text(const Bytes& bytes) {
    std::vector<unsigned short> expected, got(bytes.size() + 1);
    for (std::size_t at = 0; at < bytes.size() && bytes[at] != 0;) {
        unsigned long value = 0;
        const int length = modelDecode(&bytes[at], static_cast<int>(bytes.size() - at), &value);
        expected.insert(expected.end(), length > 0 ? 1 : 0, static_cast<unsigned short>(value));
        at += length > 0 ? static_cast<std::size_t>(length) : 1;
    }
    got.resize(static_cast<std::size_t>(utf8_mbstowcs(got.data(), bytes.data(), static_cast<int>(bytes.size()))));
    FUZZ_CHECK(got == expected, "utf8_mbstowcs gave %zu units, the model %zu", got.size(), expected.size());
    const std::string text(bytes.begin(), bytes.end());
    int length = 0;
    const unsigned int first = GetUnicodeFromUtf8(text.c_str(), &length);
    FUZZ_CHECK(Fuzz::within(length, 0, 3), "GetUnicodeFromUtf8 read %d bytes", length);
    FUZZ_CHECK(first <= 0xFFFF, "GetUnicodeFromUtf8 read %d bytes as %x", length, first);
}

void checkUnits(const std::vector<unsigned short>& units) {
    std::vector<unsigned short> text(units);
    for (unsigned short& unit : text) {
        unit = unit == 0 ? 1 : unit;
    }
    const int count = static_cast<int>(text.size());
    text.push_back(0);
    Bytes utf8(text.size() * 3);
    const int written = utf8_wcstombs(utf8.data(), text.data(), static_cast<int>(utf8.size()));
    FUZZ_CHECK(Fuzz::within(written, count, 3 * count), "utf8_wcstombs wrote %d bytes for %d units", written, count);
    FUZZ_CHECK(wellFormed(utf8.data(), written), "utf8_wcstombs wrote %d malformed bytes for %d units", written, count);
    std::vector<unsigned short> back(static_cast<std::size_t>(written) + 1, 0xBEEF);
    const int readBack = utf8_mbstowcs(back.data(), utf8.data(), written);
    FUZZ_CHECK(readBack == count, "%d units read back as %d", count, readBack);
    FUZZ_CHECK(std::memcmp(back.data(), text.data(), text.size() * 2 - 2) == 0, "%d units did not survive UTF-8",
               count);

    for (unsigned short unit : units) {
        unsigned char code[2] = {0, 0};
        const int length = uni2char(unit, code, 2);
        unsigned short read = 0;
        // Single bytes stand for U+0001..U+00FF and the euro sign; nothing else is refused but 0 and units above.
        const bool singleByteUnit = unit < 0x100 || unit == 0x20AC;
        if (length == 2) {
            const int consumed = char2uni(code, 2, &read);
            FUZZ_CHECK(consumed == 2, "GBK %02x%02x of U+%04X read as %d bytes", code[0], code[1], unit, consumed);
            FUZZ_CHECK(read == unit, "GBK %02x%02x of U+%04X read as U+%04X", code[0], code[1], unit, read);
        } else if (length == 1) {
            FUZZ_CHECK(singleByteUnit, "U+%04X became the single byte %02x", unit, code[0]);
            FUZZ_CHECK(code[0] == (unit == 0x20AC ? 0x80 : unit), "U+%04X became the single byte %02x", unit, code[0]);
        } else {
            FUZZ_CHECK(length == -1, "uni2char gave %d for U+%04X", length, unit);
            const bool refusable = unit == 0 || !singleByteUnit;
            FUZZ_CHECK(refusable, "uni2char refused U+%04X", unit);
        }
    }
}

// Both one-pass GBK conversions against the two steps through 16-bit text,
// with the same room; the untouched rest of the output must match as well.
void checkGbkSteps(Bytes text, int room) {
    text.push_back(0);
    const int n = static_cast<int>(std::strlen(reinterpret_cast<char*>(text.data())));
    if (n == 0) {
        return; // an empty text writes nothing at all, not even the terminator
    }
    room %= 2 * n + 2;
    Bytes direct(static_cast<std::size_t>(room) + 1, 0xAA), steps(direct);
    std::vector<unsigned short> units(static_cast<std::size_t>(n) + 1, 0);
    char* gbk = reinterpret_cast<char*>(text.data());
    const int oneGo = Gb2312TUtf8(gbk, direct.data(), room);
    Gb2312ToUni(gbk, units.data(), n + 1);
    std::memset(steps.data(), 0, static_cast<std::size_t>(room));
    const int twoSteps = utf8_wcstombs(steps.data(), units.data(), room);
    FUZZ_CHECK(oneGo == twoSteps, "Gb2312TUtf8 of %d bytes with room %d gave %d, the two steps %d", n, room, oneGo,
               twoSteps);
    FUZZ_CHECK(direct == steps, "Gb2312TUtf8 of %d bytes with room %d wrote other bytes than the two steps", n, room);
    units.assign(units.size(), 0);
    const int fromUtf8 = utf8TGb2312(text.data(), reinterpret_cast<char*>(direct.data()), n, room);
    const int stepwise = UniTGb2312(units.data(), utf8_mbstowcs(units.data(), text.data(), n),
                                    reinterpret_cast<char*>(steps.data()), room);
    FUZZ_CHECK(fromUtf8 == stepwise, "utf8TGb2312 with room %d gave %d, utf8_mbstowcs then UniTGb2312 %d", room,
               fromUtf8, stepwise);
    FUZZ_CHECK(direct == steps, "utf8TGb2312 with room %d wrote other bytes than utf8_mbstowcs then UniTGb2312", room);
    Bytes narrow(text.size());
    const int toCp1252 = utf8_to_cp1252(text.data(), n, narrow.data(), n);
    FUZZ_CHECK(toCp1252 <= n, "utf8_to_cp1252 gave %d characters from %d bytes", toCp1252, n);
    const int toGbk = utf8TGb2312(text.data(), reinterpret_cast<char*>(narrow.data()), n, n);
    FUZZ_CHECK(toGbk <= n, "utf8TGb2312 gave %d characters from %d bytes", toGbk, n);
}

void checkGbkText(Bytes text) {
    text.push_back(0);
    const int length = static_cast<int>(std::strlen(reinterpret_cast<char*>(text.data())));
    std::vector<unsigned short> units(static_cast<std::size_t>(length) + 1);
    const int count = Gb2312ToUni(reinterpret_cast<char*>(text.data()), units.data(), static_cast<int>(units.size()));
    FUZZ_CHECK(Fuzz::within(count, 0, length), "Gb2312ToUni gave %d units for %d bytes", count, length);
    Bytes utf8(static_cast<std::size_t>(length) * 3 + 1);
    const int bytes = Gb2312TUtf8(reinterpret_cast<char*>(text.data()), utf8.data(), static_cast<int>(utf8.size()));
    FUZZ_CHECK(Fuzz::within(bytes, 0, static_cast<int>(utf8.size()) - 1), "Gb2312TUtf8 wrote %d bytes into %zu", bytes,
               utf8.size());
    FUZZ_CHECK(wellFormed(utf8.data(), bytes), "Gb2312TUtf8 wrote %d malformed bytes", bytes);
}

void checkCp1252(const Bytes& in) {
    if (in.empty()) {
        return;
    }
    const int n = static_cast<int>(in.size());
    const int need = cp1252_to_utf8(nullptr, 0, in.data(), n);
    FUZZ_CHECK(Fuzz::within(need, n, 3 * n), "cp1252_to_utf8 needs %d for %d bytes", need, n);
    Bytes out(static_cast<std::size_t>(need));
    FUZZ_CHECK(cp1252_to_utf8(out.data(), need - 1, in.data(), n) == need, "one byte less still fitted");
    FUZZ_CHECK(cp1252_to_utf8(out.data(), need, in.data(), n) == 0, "the size it asked for did not fit");
    // From the first byte without a character on, each byte becomes one 0 byte.
    Bytes bytewise;
    bool ended = false;
    for (unsigned char c : in) {
        unsigned char one[3] = {};
        const int size = cp1252_to_utf8(nullptr, 0, &c, 1);
        cp1252_to_utf8(one, 3, &c, 1);
        ended = ended || (one[0] == 0 && c != 0);
        const unsigned char none = 0;
        bytewise.insert(bytewise.end(), ended ? &none : one, ended ? &none + 1 : one + size);
    }
    FUZZ_CHECK(bytewise.size() <= out.size(), "Windows-1252 of %d bytes: %zu bytes one by one, %zu at once", n,
               bytewise.size(), out.size());
    FUZZ_CHECK(std::equal(bytewise.begin(), bytewise.end(), out.begin()),
               "Windows-1252 of %d bytes is not what its bytes give one by one", n);
    Bytes expected(in);
    bool stopped = false;
    for (unsigned char& c : expected) {
        stopped = stopped || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
        c = stopped ? 0 : c;
    }
    Bytes back(in.size() + 1, 0xEE);
    const int got = utf8_to_cp1252(out.data(), need, back.data(), n);
    back.resize(in.size());
    FUZZ_CHECK(got == n, "Windows-1252 read back %d of %d bytes", got, n);
    FUZZ_CHECK(back == expected, "Windows-1252 of %d bytes did not read back as they were", n);
}

using PageToUtf8 = int (*)(unsigned char*, int&, const unsigned char*, int&);
const PageToUtf8 pages[] = {cp862_to_utf8,      cp874_to_utf8,      cp1250_to_utf8,     cp1251_to_utf8,
                            iso8859_1_to_utf8,  iso8859_2_to_utf8,  iso8859_3_to_utf8,  iso8859_4_to_utf8,
                            iso8859_5_to_utf8,  iso8859_6_to_utf8,  iso8859_7_to_utf8,  iso8859_8_to_utf8,
                            iso8859_9_to_utf8,  iso8859_10_to_utf8, iso8859_13_to_utf8, iso8859_14_to_utf8,
                            iso8859_15_to_utf8, iso8859_16_to_utf8};

void checkPage(std::size_t page, const Bytes& in, int room) {
    const PageToUtf8 convert = pages[page];
    if (in.empty()) {
        return;
    }
    const int n = static_cast<int>(in.size());
    Bytes full(in.size() * 3);
    int fullSize = static_cast<int>(full.size()), taken = n;
    const int result = convert(full.data(), fullSize, in.data(), taken);
    FUZZ_CHECK(result == 0, "page %zu: result %d with room for all", page, result);
    FUZZ_CHECK(taken == n, "page %zu: %d of %d bytes taken", page, taken, n);
    FUZZ_CHECK(fullSize <= 3 * n, "page %zu: %d bytes written for %d", page, fullSize, n);
    FUZZ_CHECK(wellFormed(full.data(), fullSize), "page %zu: %d malformed bytes written", page, fullSize);
    Bytes bytewise;
    std::vector<std::size_t> ends; // where each byte's output ends
    for (unsigned char c : in) {
        unsigned char one[3];
        int size = 3, length = 1;
        convert(one, size, &c, length);
        bytewise.insert(bytewise.end(), one, one + size);
        ends.push_back(bytewise.size());
    }
    FUZZ_CHECK(Bytes(full.begin(), full.begin() + fullSize) == bytewise,
               "page %zu: %d bytes do not give what they give one by one", page, n);
    room = n + room % (2 * n + 1);
    Bytes part(static_cast<std::size_t>(room));
    int partSize = room, partTaken = n;
    const int partResult = convert(part.data(), partSize, in.data(), partTaken);
    FUZZ_CHECK(partResult == 0, "page %zu: result %d with room %d", page, partResult, room);
    FUZZ_CHECK(partSize <= room, "page %zu: %d bytes written into room %d", page, partSize, room);
    FUZZ_CHECK(partSize <= fullSize, "page %zu: %d bytes with room %d, %d with room for all", page, partSize, room,
               fullSize);
    FUZZ_CHECK(std::memcmp(part.data(), full.data(), static_cast<std::size_t>(partSize)) == 0,
               "page %zu: with room %d the output is not a prefix of the full one", page, room);
    const auto fitting = std::upper_bound(ends.begin(), ends.end(), static_cast<std::size_t>(room)) - ends.begin();
    FUZZ_CHECK(partTaken == fitting, "page %zu: %d bytes taken with room %d, %td fit", page, partTaken, room, fitting);
    if (partSize < fullSize) {
        unsigned long value = 0;
        const int next = modelDecode(full.data() + partSize, fullSize - partSize, &value);
        FUZZ_CHECK(partSize + next > room, "stopped at %d of room %d before a %d-byte character", partSize, room, next);
        FUZZ_CHECK(partTaken < n, "stopped at %d of room %d with all %d bytes taken", partSize, room, n);
    } else {
        FUZZ_CHECK(partTaken == n, "all output fitted but only %d of %d bytes were taken", partTaken, n);
    }
}

} // namespace

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t page = in.ConsumeIntegralInRange<std::size_t>(0, sizeof pages / sizeof pages[0] - 1);
    const int room = in.ConsumeIntegral<std::uint16_t>();
    const Bytes bytes = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<std::size_t>(0, 512));
    std::vector<unsigned short> units;
    while (in.remaining_bytes() >= 2 && units.size() < 256) {
        units.push_back(in.ConsumeIntegral<std::uint16_t>());
    }
    checkUtf8Sequence(bytes);
    checkUtf8Text(bytes);
    checkGbkSteps(bytes, room);
    checkUnits(units);
    checkGbkText(bytes);
    checkCp1252(bytes);
    checkPage(page, bytes, room);
    return 0;
}
