// Test helper for the ciphers, digests and checksums (and what their test
// programs start from): hex vectors and a scope that runs the library's
// portable paths instead of the processor's instructions.
#ifndef DOZUV2_TESTS_SUPPORT_CRYPTODATA_H
#define DOZUV2_TESTS_SUPPORT_CRYPTODATA_H

#include "Src/Utils/InstructionPaths.h"
#include "support/Testing.h"

#include <random>
#include <utility>

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

// Digests of n letters 'a' at the padding's bounds: the length field still
// fits after the 0x80 byte (55), no longer fits (56, 57), the block is full
// but for one byte (63), exactly full (64) or just over (65); the same for a
// second block (119, 120); and two whole blocks (128). Taken from another
// implementation (Python's hashlib).
struct RepeatedA {
    std::size_t length;
    const char* md5;
    const char* sha1;
};
inline const RepeatedA kRepeatedA[] = {
    {55, "ef1772b6dff9a122358552954ad0df65", "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
    {56, "3b0c8ac703f828b04c6c197006d17218", "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
    {57, "652b906d60af96844ebd21b674f35e93", "f08f24908d682555111be7ff6f004e78283d989a"},
    {63, "b06521f39153d618550606be297466d5", "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
    {64, "014842d480b571495a4a0363793f7367", "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
    {65, "c743a45e0d2e6a95cb859adae0248435", "11655326c708d70319be2610e8a57d9a5b959d3b"},
    {119, "8a7bd0732ed6a28ce75f6dabc90e1613", "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56"},
    {120, "5f61c0ccad4cac44c75ff505e1f1e537", "f34c1488385346a55709ba056ddd08280dd4c6d6"},
    {128, "e510683b3f5ffe4093d021808bc6ff70", "ad5b3fdbcb526778c2839d2f151ea753995e26a0"},
};

// Ways of feeding 128 bytes in pieces: the buffer filled to one byte short of
// a block (from empty and from partly filled), exactly, and past it; whole
// blocks after a partial one.
inline const std::vector<std::vector<std::size_t>> kPieces = {
    {1, 127}, {63, 1, 64}, {63, 2, 63}, {64, 64}, {65, 63}, {1, 62, 65}, {1, 1, 62, 64}, {7, 64, 57}, {120, 8}};

// Feeds the bytes to a digest object's update in pieces of the given lengths.
template <typename Digest>
void feedInPieces(Digest& digest, const Bytes& bytes, const std::vector<std::size_t>& pieces) {
    std::size_t at = 0;
    for (std::size_t piece : pieces) {
        digest.update(bytes.data() + at, piece);
        at += piece;
    }
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

// The body's result with the portable paths forced, then on the processor's
// own: a pair whose halves must be equal.
template <typename Body> auto resultsOnBothPaths(Body body) {
    Utils::Detail::forcePortablePaths(true);
    const auto portable = body();
    Utils::Detail::forcePortablePaths(false);
    return std::make_pair(portable, body());
}

// Bytes from a seeded generator, the same on every run.
inline Bytes randomBytes(std::mt19937& random, std::size_t length) {
    Bytes out(length);
    for (unsigned char& byte : out) {
        byte = static_cast<unsigned char>(random());
    }
    return out;
}

} // namespace Testing
} // namespace Orvane

#endif
