// POSIX realisation of the processor's part the kernel holds: the optional
// instruction sets of a 64-bit ARM processor. Linux reports them in the
// hardware-capability word of the auxiliary vector; other kernels are not
// asked yet, and their processors take the portable paths.
#include "Src/Platform/HostParts.h"

#if defined(__aarch64__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

namespace Orvane {
namespace Platform {
namespace Host {

#if defined(__aarch64__)
CpuFeatures armFeatures() {
    CpuFeatures features = {false, false, false, false, false};
#if defined(__linux__)
    const unsigned long hwcap = getauxval(AT_HWCAP);
    features.aes = (hwcap & HWCAP_AES) != 0;
    features.clmul = (hwcap & HWCAP_PMULL) != 0;
    features.sha = (hwcap & HWCAP_SHA1) != 0;
    features.crc32 = (hwcap & HWCAP_CRC32) != 0;
#endif
    return features;
}
#endif

} // namespace Host
} // namespace Platform
} // namespace Orvane
