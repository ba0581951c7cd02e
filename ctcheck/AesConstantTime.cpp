// Shows that the portable AES path reads no memory at an address that depends
// on the key or the data, and takes no branch on them. Run under valgrind's
// memcheck: the key, the IV and the plaintext are marked undefined before they
// reach the cipher, so memcheck reports every conditional jump, conditional
// move and memory address computed from them. The results are marked defined
// again only afterwards, when they are checked. The program refuses to pass
// when it is not running under valgrind, where it could prove nothing.
//
// Every mode and key size runs key expansion, encryption and decryption, on
// lengths that take the engine's groups of blocks, a partial group, and (for
// the stream modes) pieces that start and end inside a block.
#include "Src/Utils/InstructionPaths.h"
#include "utils/Aes.h"

#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

using Orvane::Utils::CAes;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    return bytes;
}

void makeSecret(Bytes& bytes) {
    VALGRIND_MAKE_MEM_UNDEFINED(bytes.data(), bytes.size());
}

void makePublic(Bytes& bytes) {
    VALGRIND_MAKE_MEM_DEFINED(bytes.data(), bytes.size());
}

// Runs the data through the object in pieces of the given lengths, cycling
// through them; false if any call fails.
bool inPieces(CAes& aes, bool encrypt, Bytes& out, const Bytes& in, const std::vector<std::size_t>& pieces) {
    std::size_t at = 0;
    for (std::size_t i = 0; at < in.size(); ++i) {
        const std::size_t length = std::min(pieces[i % pieces.size()], in.size() - at);
        const bool done = encrypt ? aes.encrypt(out.data() + at, in.data() + at, length)
                                  : aes.decrypt(out.data() + at, in.data() + at, length);
        if (!done) {
            return false;
        }
        at += length;
    }
    return true;
}

struct Case {
    CAes::EncMode mode;
    const char* name;
    std::vector<std::size_t> pieces; // call lengths, repeated over the message
};

} // namespace

int main() {
    if (!RUNNING_ON_VALGRIND) {
        std::fprintf(stderr, "AesConstantTime proves nothing outside valgrind; run it under valgrind memcheck\n");
        return 2;
    }
    Orvane::Utils::Detail::forcePortablePaths(true);
    // 9 blocks: two full groups of four and a single block, or pieces that
    // cross block edges at every offset.
    const std::size_t kMessage = 144;
    const Case cases[] = {
        {CAes::ECB, "ECB", {144}},          {CAes::ECB, "ECB", {16, 48, 80}},    {CAes::CBC, "CBC", {144}},
        {CAes::CBC, "CBC", {32, 16, 96}},   {CAes::CFB8, "CFB-8", {1, 20, 123}}, {CAes::CFB128, "CFB-128", {144}},
        {CAes::CFB128, "CFB-128", {5, 27}}, {CAes::CTR, "CTR", {144}},           {CAes::CTR, "CTR", {3, 16, 70}},
    };
    const CAes::KeyBits sizes[] = {CAes::bits128, CAes::bits192, CAes::bits256};
    int failures = 0;
    unsigned seed = 1;
    for (const Case& c : cases) {
        for (CAes::KeyBits bits : sizes) {
            Bytes key = pattern(static_cast<std::size_t>(bits) / 8, seed++), iv = pattern(16, seed++);
            Bytes plain = pattern(kMessage, seed++);
            const Bytes expected = plain;
            makeSecret(key);
            makeSecret(iv);
            makeSecret(plain);
            CAes encryptor(c.mode, key.data(), bits, iv.data()), decryptor(c.mode, key.data(), bits, iv.data());
            Bytes cipher(kMessage), back(kMessage);
            const bool encrypted = inPieces(encryptor, true, cipher, plain, c.pieces);
            const bool decrypted = inPieces(decryptor, false, back, cipher, c.pieces);
            makePublic(cipher);
            makePublic(back);
            const std::pair<bool, const char*> checks[] = {{encrypted, "encryption refused"},
                                                           {decrypted, "decryption refused"},
                                                           {back == expected, "the message did not come back"},
                                                           {cipher != expected, "the message was not encrypted"}};
            for (const auto& [ok, what] : checks) {
                if (!ok) {
                    std::fprintf(stderr, "%s AES-%d: %s\n", c.name, static_cast<int>(bits), what);
                    ++failures;
                }
            }
        }
    }
    Orvane::Utils::Detail::forcePortablePaths(false);
    const unsigned long reports = VALGRIND_COUNT_ERRORS;
    std::printf("AesConstantTime: %zu cases, %d failed checks, %lu memcheck reports\n",
                sizeof cases / sizeof cases[0] * 3, failures, reports);
    return failures == 0 && reports == 0 ? 0 : 1;
}
