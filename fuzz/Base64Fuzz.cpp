// Base64 in both families against a bit-by-bit model.
//
// Properties: encoding any bytes and decoding the text gives the bytes back,
// with the lengths the length functions promise; decoding any text gives
// exactly what the model reads from its leading alphabet characters (3 bytes
// per 4 characters, 2 / 1 / 0 for a last group of 3 / 2 / 1), terminated;
// the int and the 64-bit families agree byte for byte, and their text is
// libcrypto's block encoding, padding included.
#include "support/FuzzCheck.h"

#include "utils/Base64.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <string>

using namespace Orvane::Utils;

namespace {

int sextet(unsigned char c) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = c != 0 ? std::strchr(alphabet, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - alphabet) : -1;
}

// The bytes a decoder must read from text: six bits per leading alphabet
// character, a byte for every eight bits gathered.
std::string modelDecode(const std::string& text) {
    std::string bytes;
    unsigned int bits = 0, count = 0;
    for (unsigned char c : text) {
        const int value = sextet(c);
        if (value < 0) {
            break;
        }
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

void checkRoundTrip(const std::string& bytes) {
    const int n = static_cast<int>(bytes.size());
    const std::size_t room = (bytes.size() + 2) / 3 * 4 + 1;
    FUZZ_CHECK(base64EncodeLen(n) == static_cast<int>(room), "encode length %d for %d bytes", base64EncodeLen(n), n);
    FUZZ_CHECK(base64EncodeLenEx(bytes.size()) == room, "Ex encode length %zu for %d bytes",
               base64EncodeLenEx(bytes.size()), n);
    std::string text(room, '\x7f'), textEx(room, '\x7f');
    const int written = base64Encode(&text[0], bytes.data(), n);
    const std::size_t writtenEx = base64EncodeEx(&textEx[0], bytes.data(), bytes.size());
    FUZZ_CHECK(writtenEx == room, "Ex result %zu for %d bytes", writtenEx, n);
    FUZZ_CHECK(textEx[room - 1] == '\0', "Ex text of %d bytes not terminated", n);
    if (n == 0) {
        FUZZ_CHECK(written == 0, "empty input gave %d", written);
        FUZZ_CHECK(text[0] == '\x7f', "empty input wrote %#x", text[0]);
        return;
    }
    FUZZ_CHECK(written == static_cast<int>(room), "result %d for %d bytes", written, n);
    FUZZ_CHECK(text == textEx, "the families differ for %d bytes: %s and %s", n, text.c_str(), textEx.c_str());
    const std::string encoded = text.substr(0, room - 1);
    std::string theirs(room + 4, '#');
    theirs.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&theirs[0]),
                                                           reinterpret_cast<const unsigned char*>(bytes.data()), n)));
    FUZZ_CHECK(encoded == theirs, "the encoding of %d bytes is not libcrypto's", n);
    FUZZ_CHECK(modelDecode(encoded) == bytes, "the model does not read the encoding back (%d bytes)", n);
    std::string back(static_cast<std::size_t>(base64DecodeLen(encoded.c_str())), '\x7f');
    FUZZ_CHECK(back.size() >= bytes.size() + 1, "decode length %zu for %d bytes", back.size(), n);
    const int decoded = base64Decode(&back[0], encoded.c_str());
    FUZZ_CHECK(decoded == n, "round trip of %d bytes decoded %d", n, decoded);
    FUZZ_CHECK(back.compare(0, bytes.size(), bytes) == 0, "round trip of %d bytes changed them", n);
    FUZZ_CHECK(back[bytes.size()] == '\0', "round trip of %d bytes not terminated", n);
}

void checkDecode(const std::string& text) {
    const std::string expected = modelDecode(text);
    const std::size_t room = static_cast<std::size_t>(base64DecodeLen(text.c_str()));
    FUZZ_CHECK(room == base64DecodeLenEx(text.c_str()), "decode lengths %zu and %zu (Ex)", room,
               base64DecodeLenEx(text.c_str()));
    FUZZ_CHECK(room >= expected.size() + 1, "decode length %zu for %zu bytes", room, expected.size());
    std::string out(room, '\x7f'), outEx(room, '\x7f');
    const int count = base64Decode(&out[0], text.c_str());
    const std::size_t countEx = base64DecodeEx(&outEx[0], text.c_str());
    FUZZ_CHECK(count == static_cast<int>(expected.size()), "decoded %d, the model %zu", count, expected.size());
    FUZZ_CHECK(countEx == expected.size(), "decoded %zu (Ex), the model %zu", countEx, expected.size());
    FUZZ_CHECK(out.compare(0, expected.size(), expected) == 0, "decoded bytes differ from the model's");
    FUZZ_CHECK(out[expected.size()] == '\0', "decoded bytes not terminated");
    FUZZ_CHECK(out == outEx, "the families decode differently");
}

} // namespace

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string bytes = in.ConsumeRandomLengthString(4096);
    checkRoundTrip(bytes);
    checkDecode(std::string(bytes.c_str())); // up to the first 0 byte, as a text
    return 0;
}
