// IPv4 text in both directions.
//
// Properties: every address survives ipToString and stringToIp; a buffer of
// any size holds the longest prefix of the dotted text that fits, always
// terminated; dotted text of any four numbers gives their low 8 bits, most
// significant byte first; and any text at all is read without reading past
// its end, keeping the numbers read before a flaw.
#include "support/FuzzCheck.h"

#include "utils/StringHelpers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

using namespace Orvane::Utils;

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    IpAddress ip;
    ip.value = in.ConsumeIntegral<std::uint32_t>();
    char dotted[16];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", ip.value >> 24, (ip.value >> 16) & 0xFF, (ip.value >> 8) & 0xFF,
                  ip.value & 0xFF);
    char text[16];
    FUZZ_CHECK(ipToString(ip, text, sizeof text) == text, "ipToString of %08x returns another buffer", ip.value);
    FUZZ_CHECK(std::strcmp(text, dotted) == 0, "%08x printed as %s", ip.value, text);
    FUZZ_CHECK(stringToIp(text).value == ip.value, "%s read back as %08x", text, stringToIp(text).value);

    const std::size_t room = in.ConsumeIntegralInRange<std::size_t>(1, 16);
    char cut[17];
    std::memset(cut, '#', sizeof cut);
    ipToString(ip, cut, room);
    FUZZ_CHECK(std::strlen(cut) == std::min(room - 1, std::strlen(dotted)), "%s in %zu bytes became %s", dotted, room,
               cut);
    FUZZ_CHECK(std::strncmp(cut, dotted, room - 1) == 0, "%s in %zu bytes became %s", dotted, room, cut);
    FUZZ_CHECK(cut[room] == '#', "%s in %zu bytes wrote past them", dotted, room);

    unsigned int numbers[4];
    for (unsigned int& number : numbers) {
        number = in.ConsumeIntegralInRange<unsigned int>(0, 999999999);
    }
    char wide[48];
    std::snprintf(wide, sizeof wide, "%u.%u.%u.%u", numbers[0], numbers[1], numbers[2], numbers[3]);
    const unsigned int expected =
        (numbers[0] & 0xFF) << 24 | (numbers[1] & 0xFF) << 16 | (numbers[2] & 0xFF) << 8 | (numbers[3] & 0xFF);
    FUZZ_CHECK(stringToIp(wide).value == expected, "%s read as %08x", wide, stringToIp(wide).value);

    // Anything else: no property beyond staying inside the text, which the
    // sanitizers check; a prefix that is a whole address keeps its value.
    const std::string any = in.ConsumeRemainingBytesAsString();
    const IpAddress read = stringToIp(any.c_str());
    const std::size_t length = std::strlen(dotted);
    const bool digitFollows = any.size() > length && std::isdigit(static_cast<unsigned char>(any[length]));
    if (std::strncmp(any.c_str(), dotted, length) == 0 && !digitFollows) {
        FUZZ_CHECK(read.value == ip.value, "%s... read as %08x", dotted, read.value);
    }
    return 0;
}
