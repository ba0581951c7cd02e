// The platform's processor: the pause hint for spin loops, the bit scan,
// relaxed access to bytes shared with code outside the library, and the
// instruction sets this processor offers.
//
// The helpers are inline: they sit in hot paths (allocation sizes, spin
// loops, every printed line) where a call would cost more than the work.
#ifndef DOZUV2_PLATFORM_CPU_H
#define DOZUV2_PLATFORM_CPU_H

#include <cstdint>

namespace Orvane {
namespace Platform {

// Tells the processor that the caller is spinning on a value another thread
// will change (fewer wasted cycles, no memory-order penalty on leaving).
inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// The index of the highest set bit (a bit scan), 0..63; value must not be 0.
inline unsigned highestSetBit(std::uint64_t value) {
    return 63u - static_cast<unsigned>(__builtin_clzll(value));
}

// The index of the lowest set bit, 0..63; value must not be 0.
inline unsigned lowestSetBit(std::uint64_t value) {
    return static_cast<unsigned>(__builtin_ctzll(value));
}

// A relaxed atomic read and write of a plain byte that code outside the
// library may also write (the print option flags handed out by address).
inline unsigned char loadByteRelaxed(const unsigned char& byte) {
    return __atomic_load_n(&byte, __ATOMIC_RELAXED);
}
inline void storeByteRelaxed(unsigned char& byte, unsigned char value) {
    __atomic_store_n(&byte, value, __ATOMIC_RELAXED);
}

// Instruction sets beyond the baseline that the library's faster paths use.
// Code using them lives in files of its own compiled for them, and is called
// only when the flag says the processor has them.
struct CpuFeatures {
    bool aes;   // AES round instructions (AES-NI; ARMv8 AESE, AESD, AESMC, AESIMC)
    bool sha;   // SHA-1 round instructions (the SHA extensions; ARMv8 SHA1C and its kin)
    bool clmul; // 64-bit carry-less multiply (PCLMULQDQ; ARMv8 PMULL)
    bool ssse3; // x86 byte shuffles (the SHA path's byte order)
    bool crc32; // ARMv8 CRC-32 instructions (x86's own CRC instruction is for another polynomial)
};
// What this processor offers; asked once, then answered from memory. All
// false on processors the library has no faster paths for.
const CpuFeatures& cpuFeatures();

} // namespace Platform
} // namespace Orvane

// DOZUV2_X86_PATHS is defined where the processor family can have the
// instruction-set paths of the *_x86.cpp files, DOZUV2_ARM64_PATHS where it
// can have those of the *_arm64.cpp files; elsewhere those files are empty
// and their dispatchers never name them. The *_arm64.cpp files are compiled
// for the ARMv8 cryptography and CRC extensions as a whole (the build sets
// their flags), as the instructions are only reached once detected.
//
// DOZUV2_TARGET_ISA("aes,sse2") before a function compiles that function, and
// only it, for the named instruction sets, so the rest of the library still
// runs on the baseline processor.
#if defined(__x86_64__)
#define DOZUV2_X86_PATHS 1
#endif
#if defined(__aarch64__)
#define DOZUV2_ARM64_PATHS 1
#endif
#define DOZUV2_TARGET_ISA(sets) __attribute__((target(sets)))

#endif
