// The choice between the instruction-set paths and the portable ones.
#include "Src/Utils/InstructionPaths.h"

#include "Src/Platform/Cpu.h"

#include <atomic>

namespace Orvane {
namespace Utils {
namespace Detail {

namespace {

// Constant-initialised, so it holds before any static constructor runs.
std::atomic<bool> g_portableOnly{false};

} // namespace

InstructionPaths instructionPaths() {
    InstructionPaths paths = {false, false, false, false};
#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
    if (!g_portableOnly.load(std::memory_order_relaxed)) {
        const Platform::CpuFeatures& cpu = Platform::cpuFeatures();
        paths.aes = cpu.aes;
#if defined(DOZUV2_X86_PATHS)
        paths.sha = cpu.sha && cpu.ssse3;
#else
        paths.sha = cpu.sha;
#endif
        paths.clmul = cpu.clmul;
        paths.crc32 = cpu.crc32;
    }
#endif
    return paths;
}

void forcePortablePaths(bool force) {
    g_portableOnly.store(force, std::memory_order_relaxed);
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane
