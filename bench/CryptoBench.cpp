// The ciphers, digests, checksums and Base64 beside what a user would
// otherwise link: libcrypto's EVP interfaces and zlib. Each pair shares a
// name stem and runs on 16 KiB and 1 MiB buffers; throughput is reported as
// bytes per second, so the ratio of a pair is ours over theirs.
//
// The portable AES rows compare the path taken without AES instructions with
// libcrypto running without them, in a chained mode (CBC encryption, one
// block at a time) and a parallel one (CTR), also on single 16-byte blocks.
// libcrypto reads its processor mask (OPENSSL_ia32cap) once, when it
// initialises, so those pairs run in a fresh copy of this program started
// with the mask set; their results follow the others in the same output.
#include "Src/Utils/InstructionPaths.h"
#include "utils/Aes.h"
#include "utils/Base64.h"
#include "utils/Crc.h"
#include "utils/Md5.h"
#include "utils/Sha1.h"
#include "utils/TripleDes.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace Orvane::Utils;

namespace {

const char* const kMaskVariable = "OPENSSL_ia32cap";
const char* const kMaskAes = "~0x200000000000000"; // clears the AES-NI bit of the first capability word

const unsigned char kKey[32] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6, 0xab, 0xf7, 0x15,
                                0x88, 0x09, 0xcf, 0x4f, 0x3c, 0x76, 0x2e, 0x71, 0x60, 0xf3, 0x8b};
const unsigned char kIv[16] = {0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9};

std::vector<unsigned char> data(std::size_t size) {
    std::vector<unsigned char> buffer(size);
    unsigned x = 12345;
    for (auto& b : buffer) {
        x = x * 1103515245 + 12345;
        b = static_cast<unsigned char>(x >> 16);
    }
    return buffer;
}

void finish(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void ours(benchmark::State& state, CAes::EncMode mode, bool portable) {
    Detail::forcePortablePaths(portable);
    CAes aes(mode, kKey, CAes::bits128, kIv);
    Detail::forcePortablePaths(false);
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        aes.encrypt(buffer.data(), buffer.data(), buffer.size());
        benchmark::ClobberMemory();
    }
    finish(state);
}

void evp(benchmark::State& state, const EVP_CIPHER* cipher, const unsigned char* key) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, cipher, nullptr, key, kIv);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    int written = 0;
    for (auto _ : state) {
        EVP_EncryptUpdate(ctx, buffer.data(), &written, buffer.data(), static_cast<int>(buffer.size()));
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    finish(state);
}

void BM_AesCtr_Ours(benchmark::State& state) {
    ours(state, CAes::CTR, false);
}
void BM_AesCtr_Evp(benchmark::State& state) {
    evp(state, EVP_aes_128_ctr(), kKey);
}
void BM_AesEcb_Ours(benchmark::State& state) {
    ours(state, CAes::ECB, false);
}
void BM_AesEcb_Evp(benchmark::State& state) {
    evp(state, EVP_aes_128_ecb(), kKey);
}
void BM_AesCbcEncrypt_Ours(benchmark::State& state) {
    ours(state, CAes::CBC, false);
}
void BM_AesCbcEncrypt_Evp(benchmark::State& state) {
    evp(state, EVP_aes_128_cbc(), kKey);
}
void BM_AesCtrPortable_Ours(benchmark::State& state) {
    ours(state, CAes::CTR, true);
}
void BM_AesCtrPortable_EvpMasked(benchmark::State& state) {
    evp(state, EVP_aes_128_ctr(), kKey);
}
void BM_AesCbcEncryptPortable_Ours(benchmark::State& state) {
    ours(state, CAes::CBC, true);
}
void BM_AesCbcEncryptPortable_EvpMasked(benchmark::State& state) {
    evp(state, EVP_aes_128_cbc(), kKey);
}

void BM_TdeaCbc_Ours(benchmark::State& state) {
    CTripleDes des(kKey, 24, CTripleDes::block8, kIv);
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        des.encrypt(buffer.data(), buffer.data(), buffer.size());
        benchmark::ClobberMemory();
    }
    finish(state);
}
void BM_TdeaCbc_Evp(benchmark::State& state) {
    evp(state, EVP_des_ede3_cbc(), kKey);
}

template <typename Digest> void digestOurs(benchmark::State& state) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    unsigned char out[20];
    Digest digest;
    for (auto _ : state) {
        digest.update(buffer.data(), buffer.size());
        if constexpr (std::is_same<Digest, CMd5>::value) {
            digest.final(out);
        } else {
            digest.final(out, sizeof out);
        }
        benchmark::DoNotOptimize(out);
    }
    finish(state);
}

void digestEvp(benchmark::State& state, const EVP_MD* md) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, buffer.data(), buffer.size());
        EVP_DigestFinal_ex(ctx, out, &size);
        benchmark::DoNotOptimize(out);
    }
    EVP_MD_CTX_free(ctx);
    finish(state);
}

void BM_Md5_Ours(benchmark::State& state) {
    digestOurs<CMd5>(state);
}
void BM_Md5_Evp(benchmark::State& state) {
    digestEvp(state, EVP_md5());
}
void BM_Sha1_Ours(benchmark::State& state) {
    digestOurs<CSha1>(state);
}
void BM_Sha1_Evp(benchmark::State& state) {
    digestEvp(state, EVP_sha1());
}

void BM_Crc32_Ours(benchmark::State& state) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(buffer.data(), buffer.size()));
    }
    finish(state);
}
void BM_Crc32_Zlib(benchmark::State& state) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(::crc32(0, buffer.data(), static_cast<uInt>(buffer.size())));
    }
    finish(state);
}

void BM_Base64Encode_Ours(benchmark::State& state) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    std::string out(base64EncodeLenEx(buffer.size()), '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(base64EncodeEx(&out[0], reinterpret_cast<const char*>(buffer.data()), buffer.size()));
    }
    finish(state);
}
void BM_Base64Encode_Evp(benchmark::State& state) {
    auto buffer = data(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> out(base64EncodeLenEx(buffer.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), buffer.data(), static_cast<int>(buffer.size())));
    }
    finish(state);
}

// Decoding is measured per byte of text.
std::string encodedText(std::size_t textSize) {
    auto buffer = data(textSize / 4 * 3);
    std::string text(base64EncodeLenEx(buffer.size()), '\0');
    text.resize(base64EncodeEx(&text[0], reinterpret_cast<const char*>(buffer.data()), buffer.size()) - 1);
    return text;
}
void BM_Base64Decode_Ours(benchmark::State& state) {
    const std::string text = encodedText(static_cast<std::size_t>(state.range(0)));
    std::vector<char> out(base64DecodeLenEx(text.c_str()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(base64DecodeEx(out.data(), text.c_str()));
    }
    finish(state);
}
void BM_Base64Decode_Evp(benchmark::State& state) {
    const std::string text = encodedText(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                                 static_cast<int>(text.size())));
    }
    finish(state);
}

benchmark::internal::Benchmark* add(const char* name, void (*function)(benchmark::State&)) {
    return benchmark::RegisterBenchmark(name, function)->Arg(16 << 10)->Arg(1 << 20);
}

// A pair that also runs on one 16-byte block, where a path that works on
// several blocks at once pays for all of them.
void addWithBlock(const char* name, void (*function)(benchmark::State&)) {
    add(name, function)->Arg(16);
}

// Runs this program again with libcrypto's AES instructions masked off, for
// the portable pair alone, and waits for it.
int runMaskedCopy(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        setenv(kMaskVariable, kMaskAes, 1);
        execv("/proc/self/exe", argv.data());
        std::_Exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 1;
    }
    return WEXITSTATUS(status);
}

} // namespace

int main(int argc, char** argv) {
    const bool masked = std::getenv(kMaskVariable) != nullptr;
    const std::vector<std::string> arguments(argv, argv + argc);
    if (masked) {
        addWithBlock("BM_AesCtrPortable_Ours", BM_AesCtrPortable_Ours);
        addWithBlock("BM_AesCtrPortable_EvpMasked", BM_AesCtrPortable_EvpMasked);
        addWithBlock("BM_AesCbcEncryptPortable_Ours", BM_AesCbcEncryptPortable_Ours);
        addWithBlock("BM_AesCbcEncryptPortable_EvpMasked", BM_AesCbcEncryptPortable_EvpMasked);
    } else {
        const Orvane::Utils::Detail::InstructionPaths paths = Detail::instructionPaths();
        std::fprintf(stderr, "Paths on this processor: AES %s, SHA-1 %s, CRC-32 %s\n",
                     paths.aes ? "instructions" : "portable", paths.sha ? "instructions" : "portable",
                     paths.clmul ? "carry-less multiply" : "slicing tables");
        add("BM_AesCtr_Ours", BM_AesCtr_Ours);
        add("BM_AesCtr_Evp", BM_AesCtr_Evp);
        add("BM_AesEcb_Ours", BM_AesEcb_Ours);
        add("BM_AesEcb_Evp", BM_AesEcb_Evp);
        add("BM_AesCbcEncrypt_Ours", BM_AesCbcEncrypt_Ours);
        add("BM_AesCbcEncrypt_Evp", BM_AesCbcEncrypt_Evp);
        add("BM_TdeaCbc_Ours", BM_TdeaCbc_Ours);
        add("BM_TdeaCbc_Evp", BM_TdeaCbc_Evp);
        add("BM_Md5_Ours", BM_Md5_Ours);
        add("BM_Md5_Evp", BM_Md5_Evp);
        add("BM_Sha1_Ours", BM_Sha1_Ours);
        add("BM_Sha1_Evp", BM_Sha1_Evp);
        add("BM_Crc32_Ours", BM_Crc32_Ours);
        add("BM_Crc32_Zlib", BM_Crc32_Zlib);
        add("BM_Base64Encode_Ours", BM_Base64Encode_Ours);
        add("BM_Base64Encode_Evp", BM_Base64Encode_Evp);
        add("BM_Base64Decode_Ours", BM_Base64Decode_Ours);
        add("BM_Base64Decode_Evp", BM_Base64Decode_Evp);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return masked ? 0 : runMaskedCopy(arguments);
}
