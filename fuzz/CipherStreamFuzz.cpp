// The streaming cipher, digest and checksum interfaces against one-shot use.
//
// Properties: data fed to an AES object in pieces of any lengths its mode
// allows gives the bytes one call over the whole data gives, on the
// instruction path and on the portable path alike, and a second object with
// the same key and IV decrypts it back; a copy made mid-stream goes on as the
// original does; triple DES decrypts what it encrypted, in place or not; MD5,
// SHA-1 and CRC-32 of data fed in pieces equal their one-shot values, and
// CRC-16 and CRC-32 chain across pieces. The one-shot results are libcrypto's
// and zlib's: AES in every mode and key size, triple DES with its key
// lengths mapped onto the keying options (and the paired 16-byte block as
// single-DES steps with the middle words exchanged between them), MD5, SHA-1
// and CRC-32.
#include "support/FuzzCheck.h"

#include "Src/Utils/InstructionPaths.h"
#include "utils/Aes.h"
#include "utils/Crc.h"
#include "utils/Md5.h"
#include "utils/Sha1.h"
#include "utils/TripleDes.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace Orvane::Utils;

namespace {

using Bytes = std::vector<unsigned char>;

// A whole message through a libcrypto cipher without padding.
Bytes evp(const EVP_CIPHER* cipher, const unsigned char* key, const unsigned char* iv, const Bytes& in, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, key, iv, encrypt);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size() + 16);
    int written = 0, last = 0;
    EVP_CipherUpdate(ctx, out.data(), &written, in.data(), static_cast<int>(in.size()));
    EVP_CipherFinal_ex(ctx, out.data() + written, &last);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(written + last));
    return out;
}

// Piece lengths that add up to total, each a multiple of unit.
std::vector<std::size_t> pieces(FuzzedDataProvider& in, std::size_t total, std::size_t unit) {
    std::vector<std::size_t> lengths;
    while (total > 0) {
        const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, total / unit) * unit;
        lengths.push_back(in.remaining_bytes() == 0 ? total : length);
        total -= lengths.back();
    }
    return lengths;
}

Bytes inPieces(CAes& aes, bool encrypt, const Bytes& data, const std::vector<std::size_t>& lengths) {
    Bytes out(data.size());
    std::size_t at = 0;
    for (std::size_t length : lengths) {
        const bool done = encrypt ? aes.encrypt(out.data() + at, data.data() + at, length)
                                  : aes.decrypt(out.data() + at, data.data() + at, length);
        FUZZ_CHECK(done, "a piece of %zu bytes was refused", length);
        at += length;
    }
    return out;
}

void checkAes(FuzzedDataProvider& in, const Bytes& data) {
    const CAes::EncMode mode = static_cast<CAes::EncMode>(in.ConsumeIntegralInRange<int>(0, 4));
    const CAes::KeyBits bits = static_cast<CAes::KeyBits>(128 + 64 * in.ConsumeIntegralInRange<int>(0, 2));
    unsigned char key[32] = {}, iv[16] = {};
    in.ConsumeData(key, sizeof key);
    in.ConsumeData(iv, sizeof iv);
    const std::size_t unit = mode == CAes::ECB || mode == CAes::CBC ? 16 : 1;
    const Bytes plain(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data.size() / unit * unit));
    const std::vector<std::size_t> lengths = pieces(in, plain.size(), unit);

    Orvane::Utils::Detail::forcePortablePaths(false);
    CAes oneShot(mode, key, bits, iv), streaming(mode, key, bits, iv);
    const Bytes whole = inPieces(oneShot, true, plain, {plain.size()});
    const char* const modes[] = {"ecb", "cbc", "cfb8", "cfb", "ctr"};
    const std::string name = "aes-" + std::to_string(bits) + "-" + modes[mode];
    FUZZ_CHECK(whole == evp(EVP_get_cipherbyname(name.c_str()), key, iv, plain, true), "%s differs from libcrypto",
               name.c_str());
    FUZZ_CHECK(inPieces(streaming, true, plain, lengths) == whole, "mode %d: pieces differ from one call", mode);
    Orvane::Utils::Detail::forcePortablePaths(true);
    CAes portable(mode, key, bits, iv), decrypting(mode, key, bits, iv);
    Orvane::Utils::Detail::forcePortablePaths(false);
    FUZZ_CHECK(inPieces(portable, true, plain, lengths) == whole, "mode %d: the portable path differs", mode);
    FUZZ_CHECK(inPieces(decrypting, false, whole, lengths) == plain, "mode %d: decryption differs", mode);

    // A copy taken after the first piece continues like the original.
    if (lengths.size() > 1) {
        CAes original(mode, key, bits, iv);
        Bytes first(lengths[0]);
        FUZZ_CHECK(original.encrypt(first.data(), plain.data(), lengths[0]), "first piece refused");
        CAes copy(original);
        const std::size_t rest = plain.size() - lengths[0];
        Bytes a(rest), b(rest);
        FUZZ_CHECK(original.encrypt(a.data(), plain.data() + lengths[0], rest), "mode %d: the rest refused", mode);
        FUZZ_CHECK(copy.encrypt(b.data(), plain.data() + lengths[0], rest), "mode %d: the copy refused the rest", mode);
        FUZZ_CHECK(a == Bytes(whole.begin() + static_cast<std::ptrdiff_t>(lengths[0]), whole.end()),
                   "mode %d: the original went its own way after a copy was made", mode);
        FUZZ_CHECK(b == a, "mode %d: a copy made mid-stream went its own way", mode);
    }
}

// Triple DES through libcrypto. The key is zero-padded to 24 bytes and a
// shorter one mapped onto the keying options: K3 = K1 up to 16 bytes, all three
// equal up to 8 (a longer key keeps its first 24). The paired block (which a
// key of up to 8 bytes does not get) runs each single-DES step on both halves
// and exchanges L1 and R0 after the first two.
Bytes tdeaModel(const unsigned char* key, std::size_t length, CTripleDes::BlockType type, const unsigned char* iv,
                const Bytes& plain) {
    unsigned char k[24] = {};
    std::memcpy(k, key, std::min<std::size_t>(length, 24));
    if (length <= 16) {
        std::memcpy(k + 16, k, 8);
    }
    if (length <= 8) {
        std::memcpy(k + 8, k, 8);
    }
    if (type == CTripleDes::block8 || length <= 8) {
        return evp(iv ? EVP_des_ede3_cbc() : EVP_des_ede3_ecb(), k, iv, plain, true);
    }
    Bytes out, chain = iv ? Bytes(iv, iv + 16) : Bytes(16, 0);
    for (std::size_t at = 0; at < plain.size(); at += 16) {
        Bytes block(plain.begin() + static_cast<std::ptrdiff_t>(at),
                    plain.begin() + static_cast<std::ptrdiff_t>(at + 16));
        for (int i = 0; i < 16; ++i) {
            block[i] ^= iv ? chain[i] : 0;
        }
        for (int step = 0; step < 3; ++step) {
            unsigned char single[24]; // one DES key three times is single DES
            for (int copy = 0; copy < 3; ++copy) {
                std::memcpy(single + 8 * copy, k + 8 * step, 8);
            }
            block = evp(EVP_des_ede3_ecb(), single, nullptr, block, step != 1);
            if (step < 2) {
                std::swap_ranges(block.begin() + 4, block.begin() + 8, block.begin() + 8);
            }
        }
        out.insert(out.end(), block.begin(), block.end());
        chain = block;
    }
    return out;
}

void checkTripleDes(FuzzedDataProvider& in, const Bytes& data) {
    const CTripleDes::BlockType type = in.ConsumeBool() ? CTripleDes::block16 : CTripleDes::block8;
    const std::size_t keyLength = in.ConsumeIntegralInRange<std::size_t>(1, 30);
    unsigned char key[30] = {}, iv[16] = {};
    in.ConsumeData(key, sizeof key);
    in.ConsumeData(iv, sizeof iv);
    const bool cbc = in.ConsumeBool();
    const std::size_t block = type == CTripleDes::block16 ? 16 : 8;
    const Bytes plain(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data.size() / block * block));
    CTripleDes des(key, keyLength, type, cbc ? iv : nullptr);
    Bytes sealed(plain.size()), opened(plain);
    FUZZ_CHECK(des.encrypt(sealed.data(), plain.data(), plain.size()), "%zu bytes refused", plain.size());
    FUZZ_CHECK(des.decrypt(opened.data(), sealed.data(), sealed.size()), "%zu bytes refused", sealed.size());
    FUZZ_CHECK(opened == plain, "key %zu, block %zu, cbc %d: no round trip", keyLength, block, cbc);
    Bytes inPlace(plain);
    FUZZ_CHECK(des.encrypt(inPlace.data(), inPlace.data(), inPlace.size()), "%zu bytes refused in place",
               inPlace.size());
    FUZZ_CHECK(inPlace == sealed, "in place encryption differs");
    FUZZ_CHECK(sealed == tdeaModel(key, keyLength, type, cbc ? iv : nullptr, plain),
               "key %zu, block %zu, cbc %d: differs from the single-DES steps", keyLength, block, cbc);
}

void checkDigests(FuzzedDataProvider& in, const Bytes& data) {
    const std::vector<std::size_t> lengths = pieces(in, data.size(), 1);
    CMd5 md5Whole, md5Pieces;
    CSha1 shaWhole, shaPieces;
    md5Whole.update(data.data(), data.size());
    shaWhole.update(data.data(), data.size());
    unsigned int crc = 0;
    unsigned short crc16Pieces = 0;
    std::size_t at = 0;
    for (std::size_t length : lengths) {
        md5Pieces.update(data.data() + at, length);
        shaPieces.update(data.data() + at, length);
        crc = crc32(crc, data.data() + at, length);
        crc16Pieces = crc16(crc16Pieces, data.data() + at, length);
        at += length;
    }
    unsigned char a[20] = {}, b[20] = {};
    md5Whole.final(a);
    md5Pieces.final(b);
    unsigned char reference[EVP_MAX_MD_SIZE];
    EVP_Digest(data.data(), data.size(), reference, nullptr, EVP_md5(), nullptr);
    FUZZ_CHECK(std::memcmp(a, b, 16) == 0, "MD5 of %zu pieces differs from the whole's", lengths.size());
    FUZZ_CHECK(std::memcmp(a, reference, 16) == 0, "MD5 of %zu bytes differs from libcrypto's", data.size());
    shaWhole.final(a, sizeof a);
    shaPieces.final(b, sizeof b);
    EVP_Digest(data.data(), data.size(), reference, nullptr, EVP_sha1(), nullptr);
    FUZZ_CHECK(std::memcmp(a, b, 20) == 0, "SHA-1 of %zu pieces differs from the whole's", lengths.size());
    FUZZ_CHECK(std::memcmp(a, reference, 20) == 0, "SHA-1 of %zu bytes differs from libcrypto's", data.size());
    FUZZ_CHECK(crc == crc32(data.data(), data.size()), "CRC-32 of %zu pieces %08x, of the whole %08x", lengths.size(),
               crc, crc32(data.data(), data.size()));
    const auto zlibCrc = static_cast<unsigned int>(::crc32(0, data.data(), static_cast<uInt>(data.size())));
    FUZZ_CHECK(crc == zlibCrc, "CRC-32 of %zu bytes %08x, zlib's %08x", data.size(), crc, zlibCrc);
    FUZZ_CHECK(crc16Pieces == crc16(0, data.data(), data.size()), "CRC-16 of %zu pieces differs", lengths.size());
    Orvane::Utils::Detail::forcePortablePaths(true);
    CSha1 portable;
    portable.update(data.data(), data.size());
    portable.final(b, sizeof b);
    const unsigned int portableCrc = crc32(data.data(), data.size());
    Orvane::Utils::Detail::forcePortablePaths(false);
    FUZZ_CHECK(std::memcmp(a, b, 20) == 0, "the portable SHA-1 path differs");
    FUZZ_CHECK(portableCrc == crc, "the portable CRC-32 path gives %08x, not %08x", portableCrc, crc);
}

} // namespace

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Bytes bytes = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<std::size_t>(0, 2048));
    checkAes(in, bytes);
    checkTripleDes(in, bytes);
    checkDigests(in, bytes);
    return 0;
}
