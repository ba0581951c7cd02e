#include "utils/StringHelpers.h"

#include "support/Testing.h"

namespace U = Orvane::Utils;

namespace {

// "-" is the empty text, "null" a null pointer.
const char* text(const std::string& field) {
    return field == "null" ? nullptr : field == "-" ? "" : field.c_str();
}

// The result, then the buffer's first size + 1 bytes: '.' for a 0 byte, '#' for a byte not written.
std::string run(const std::vector<std::string>& f) {
    if (f[0] == "stricmp") {
        return std::to_string((U::stricmp(text(f[1]), text(f[2])) > 0) - (U::stricmp(text(f[1]), text(f[2])) < 0));
    }
    if (f[0] == "stringToIp") {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", U::stringToIp(text(f[1])).value);
        return hex;
    }
    std::string buffer(32, '#');
    const std::size_t size = std::stoul(f[2]);
    long result = 0;
    if (f[0] == "strncpy" || f[0] == "strncat") {
        std::strcpy(&buffer[0], text(f[1]));
        result = static_cast<long>(f[0] == "strncpy" ? U::strncpy(&buffer[0], size, text(f[3]), std::stoul(f[4]))
                                                     : U::strncat(&buffer[0], size, text(f[3]), std::stoul(f[4])));
    } else if (f[0] == "snprintf") {
        result = U::snprintf(&buffer[0], size, "%s", text(f[1]));
    } else if (f[0] == "snprintf_x") {
        result = U::snprintf_x(&buffer[0], static_cast<int>(size), "%s", text(f[1]));
    } else {
        const IpAddress ip{static_cast<unsigned int>(std::stoul(f[1], nullptr, 16))};
        result = U::ipToString(ip, &buffer[0], size) == &buffer[0];
    }
    std::replace(buffer.begin(), buffer.end(), '\0', '.');
    return std::to_string(result) + " " + buffer.substr(0, size + 1);
}

} // namespace

// Each bound at, below and above it: the rooms of the copies and of the dotted text, the low 8 bits each number
// keeps, the texts that are reported. Dotted text of any numbers, and any room for it, are the IPv4 text fuzz
// target's.
TEST(StringHelpersTest, BoundedTextsFormattersAndIpv4Text) {
    EXPECT_EQ(Orvane::Testing::runCaseTable(R"(
strncpy - 4 abcdef 10 = 3 abc.# | strncpy - 4 abcdef 3 = 3 abc.# | strncpy - 4 abcdef 2 = 2 ab.## | strncpy - 4 ab 10 = 2 ab..#
strncpy - 1 abc 5 = 0 .# | strncpy - 4 null 3 = 0 .##.# | strncat ab 4 xyz 10 = 1 abx.# | strncat ab 4 - 10 = 1 ab..#
strncat ab 8 xyz 2 = 2 abxy.##.# | strncat abc 4 xyz 10 = 0 abc.# | strncat - 1 xyz 10 = 0 .# | strncat ab 6 xyz 3 = 3 abxyz.#
snprintf abcd 5 = 4 abcd.# | snprintf wxyzv 5 = 5 wxyzv# | snprintf 1234567 5 = -1 12345# | snprintf - 0 = 0 #
snprintf_x 0123456789 5 = 4 0123.# | snprintf_x abcde 5 = 4 abcd.# | snprintf_x abcd 5 = 4 abcd.# | snprintf_x x 1 = 0 .#
snprintf_x abc 5 = 3 abc.## | stricmp HeLLo hello = 0 | stricmp abc ABD = -1 | stricmp b A = 1 | stricmp - a = -1
stringToIp 192.168.1.10 = C0A8010A | stringToIp 1.2.3 = 01020300 [param str 1.2.3 is invalid]
stringToIp 7 = 07000000 [param str 7 is invalid] | stringToIp x.1.2.3 = 00000000 [param str x.1.2.3 is invalid]
stringToIp - = 00000000 [param str  is invalid] | stringToIp null = 00000000 [param str (null) is invalid]
ipToString C0A8010A 16 = 1 192.168.1.10.#### | ipToString C0A8010A 14 = 1 192.168.1.10.##
ipToString C0A8010A 13 = 1 192.168.1.10.# | ipToString C0A8010A 12 = 1 192.168.1.1.# | ipToString 0A000001 1 = 1 .#
ipToString 00000000 8 = 1 0.0.0.0.# | ipToString FFFFFFFF 16 = 1 255.255.255.255.# | ipToString FFFFFFFF 15 = 1 255.255.255.25.#
stringToIp 255.255.255.255 = FFFFFFFF | stringToIp 256.1.1.1 = 00010101 | stringToIp 1.1.256.1 = 01010001
stringToIp 0.0.0.-1 = 000000FF | stringToIp -1.2.3.4 = FF020304 | stringToIp 1.2.3.4.5 = 01020304
stringToIp 1.2.3. = 01020300 [param str 1.2.3. is invalid]
strncpy - 4 abc 10 = 3 abc.# | strncpy - 4 abcd 10 = 3 abc.# | strncpy - 5 abcd 4 = 4 abcd.#
strncat ab 5 xyz 1 = 1 abx..# | strncat ab 5 xyz 2 = 2 abxy.# | strncat ab 5 xyz 3 = 2 abxy.#
)",
                                            run),
              52);
    // A text longer than the formatter's stack copy.
    std::string big(600, '#');
    EXPECT_EQ(U::snprintf_x(&big[0], 300, "%s", std::string(400, 'z').c_str()), 299);
    EXPECT_EQ(big.substr(297, 4), std::string("zz\0#", 4));
}
