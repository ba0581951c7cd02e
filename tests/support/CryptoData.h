// Test helper for the ciphers, digests and checksums (and what their test
// programs start from): hex vectors and a scope that runs the library's
// portable paths instead of the processor's instructions.
#ifndef DOZUV2_TESTS_SUPPORT_CRYPTODATA_H
#define DOZUV2_TESTS_SUPPORT_CRYPTODATA_H

#include "Src/Utils/InstructionPaths.h"
#include "support/Testing.h"

namespace Orvane {
namespace Testing {

using Bytes = std::vector<unsigned char>;

inline Bytes fromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// A text's bytes, for the interfaces that take unsigned bytes.
inline const unsigned char* bytesOf(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

// Runs a test body with the portable paths forced on and then off, so every
// vector goes through both paths of the processor running the test.
template <typename Body> void onBothPaths(Body body) {
    for (bool portable : {true, false}) {
        Utils::Detail::forcePortablePaths(portable);
        body(portable ? "portable" : "processor");
    }
    Utils::Detail::forcePortablePaths(false);
}

} // namespace Testing
} // namespace Orvane

#endif
