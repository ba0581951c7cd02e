// The processor family: which instruction sets the processor offers. An x86
// processor is asked itself, through the compiler's helper for its
// identification instruction, the same on every host; a 64-bit ARM one only
// tells the kernel, so there the host answers.
#include "Src/Platform/Cpu.h"

#include "Src/Platform/HostParts.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define DOZUV2_CPU_X86 1
#endif

namespace Orvane {
namespace Platform {

namespace {

#if defined(DOZUV2_CPU_X86)
// The four result registers of the identification instruction for a leaf
// and sub-leaf; all zero for a leaf the processor does not have.
struct CpuidResult {
    unsigned int eax, ebx, ecx, edx;
};

CpuidResult cpuid(unsigned int leaf, unsigned int subleaf) {
    CpuidResult r = {0, 0, 0, 0};
    if (static_cast<unsigned int>(__get_cpuid_max(0, nullptr)) >= leaf) {
        __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    }
    return r;
}

CpuFeatures detect() {
    const CpuidResult basic = cpuid(1, 0);
    const CpuidResult extended = cpuid(7, 0);
    CpuFeatures features;
    features.clmul = (basic.ecx & (1u << 1)) != 0;
    features.aes = (basic.ecx & (1u << 25)) != 0;
    features.ssse3 = (basic.ecx & (1u << 9)) != 0;
    features.sha = (extended.ebx & (1u << 29)) != 0;
    features.crc32 = false;
    return features;
}
#elif defined(__aarch64__)
CpuFeatures detect() {
    return Host::armFeatures();
}
#else
CpuFeatures detect() {
    return CpuFeatures{false, false, false, false, false};
}
#endif

} // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}

} // namespace Platform
} // namespace Orvane
