// The hexadecimal dump against a model of its rows.
//
// Properties: the dump of n bytes is exactly the model's rows (full rows of
// sixteen, a padded last row, an empty line after every 512 bytes), each
// behind one minimal prefix; only the low 32 bits of the length count, and a
// length whose low 32 bits are negative as a signed count prints nothing.
#include "support/FuzzCheck.h"

#include "virad/LastError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Orvane::Virad;

namespace {

struct Capture {
    std::string text;
    bool line(const char* piece) {
        text += piece;
        return true;
    }
};

std::string expectedDump(const unsigned char* bytes, std::size_t n) {
    std::string rows;
    char piece[32];
    for (std::size_t offset = 0; offset < n; offset += 16) {
        const std::size_t count = n - offset < 16 ? n - offset : 16;
        std::snprintf(piece, sizeof piece, "[ ]%p: ", static_cast<const void*>(bytes + offset));
        rows += piece;
        for (std::size_t i = 0; i < 16; ++i) {
            if (i < count) {
                std::snprintf(piece, sizeof piece, "%02x ", bytes[offset + i]);
                rows += piece;
            } else {
                rows += "   ";
            }
        }
        rows += "  ";
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char c = bytes[offset + i];
            rows += c >= 32 && c <= 122 ? static_cast<char>(c) : '.';
        }
        rows += "\n";
        if (count == 16 && offset % 512 == 496) {
            rows += "[ ]\n";
        }
    }
    return rows;
}

std::string dumped(unsigned char* bytes, unsigned long long length) {
    Capture capture;
    const TFunction1<bool, const char*> printer(&Capture::line, &capture);
    attachPrint(printer);
    dumpHex(bytes, length);
    detachPrint(printer);
    return capture.text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Orvane::Testing::quietLibrary();
    setPrintLogLevel(5);
    PrintOptions minimal = {};
    minimal.hideTime = minimal.hideLevel = minimal.hideModule = minimal.hideVersion = minimal.hideThreadId =
        minimal.hideFile = minimal.hideLine = 1;
    setPrintOptions(minimal);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned long long high = static_cast<unsigned long long>(in.ConsumeIntegral<std::uint32_t>()) << 32;
    std::vector<unsigned char> bytes = in.ConsumeRemainingBytes<unsigned char>();
    const std::string expected = expectedDump(bytes.data(), bytes.size());
    FUZZ_CHECK(dumped(bytes.data(), bytes.size()) == expected, "the dump of %zu bytes differs from the model",
               bytes.size());
    FUZZ_CHECK(dumped(bytes.data(), high + bytes.size()) == expected, "the high word %llx changed the dump",
               high >> 32);
    FUZZ_CHECK(dumped(bytes.data(), high + 0x80000000ull + bytes.size()).empty(),
               "a negative 32-bit count printed something");
    return 0;
}
