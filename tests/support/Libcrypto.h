// Test helper: libcrypto as the reference for the ciphers and digests.
#ifndef DOZUV2_TESTS_SUPPORT_LIBCRYPTO_H
#define DOZUV2_TESTS_SUPPORT_LIBCRYPTO_H

#include "support/CryptoData.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace Orvane {
namespace Testing {

// A whole message through an EVP cipher without padding.
inline Bytes evpCipher(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const Bytes& in, bool encrypting) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), encrypting);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size() + 16);
    int written = 0, last = 0;
    EVP_CipherUpdate(ctx, out.data(), &written, in.data(), static_cast<int>(in.size()));
    EVP_CipherFinal_ex(ctx, out.data() + written, &last);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(written + last));
    return out;
}

inline Bytes evpDigest(const EVP_MD* md, const Bytes& data) {
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), out.data(), &size, md, nullptr);
    out.resize(size);
    return out;
}

// For lengths 0 to 4096: the message fed in random pieces to a fresh
// digest (made by make, read by finish) equals libcrypto's digest.
template <typename Make, typename Finish>
void checkAgainstLibcrypto(const EVP_MD* md, unsigned seed, Make make, Finish finish) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 120; ++round) {
        const Bytes message = randomBytes(rng, round < 2 ? round * 64 : rng() % 4097);
        auto digest = make();
        std::size_t at = 0;
        for (std::size_t piece : randomPieces(rng, message.size())) {
            digest->update(message.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(finish(*digest), evpDigest(md, message)) << "length " << message.size();
    }
}

} // namespace Testing
} // namespace Orvane

#endif
