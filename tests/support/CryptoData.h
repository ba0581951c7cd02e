// Test helper for the ciphers, digests and checksums: hex vectors, seeded
// random data, random splits of a buffer into pieces, and a scope that runs
// the library's portable paths instead of the processor's instructions.
#ifndef DOZUV2_TESTS_SUPPORT_CRYPTODATA_H
#define DOZUV2_TESTS_SUPPORT_CRYPTODATA_H

#include "Utils/InstructionPaths.h"

#include <cstddef>
#include <random>
#include <string>
#include <vector>

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

inline Bytes randomBytes(std::mt19937& rng, std::size_t size) {
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<unsigned char>(rng());
    }
    return out;
}

// Cut points that split size bytes into 1 to 6 pieces of random sizes.
inline std::vector<std::size_t> randomPieces(std::mt19937& rng, std::size_t size, std::size_t granule = 1) {
    std::vector<std::size_t> pieces;
    std::size_t left = size / granule;
    while (left != 0) {
        const std::size_t take = pieces.size() == 5 ? left : 1 + rng() % left;
        pieces.push_back(take * granule);
        left -= take;
    }
    return pieces;
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
