// Which instruction-set paths the ciphers, digests and checksums take.
//
// A path is taken when the processor has its instructions (asked of the
// platform layer at run time, never assumed at compile time) and the portable
// paths have not been forced. Both paths of every algorithm give identical
// bytes, so forcing only changes speed: it lets tests run every known answer
// through both, and benchmarks compare the portable path with its anchor in
// one process. AES objects choose their path when they are made; digests and
// checksums choose on every call.
#ifndef DOZUV2_UTILS_INSTRUCTIONPATHS_H
#define DOZUV2_UTILS_INSTRUCTIONPATHS_H

namespace Orvane {
namespace Utils {
namespace Detail {

struct InstructionPaths {
    bool aes;   // AES round instructions
    bool sha;   // SHA-1 round instructions
    bool clmul; // carry-less multiply (CRC-32 folding)
    bool crc32; // CRC-32 instructions (ARM)
};

// The paths to take now.
InstructionPaths instructionPaths();

// With true, every path is the portable one from now on; false restores the
// processor's own choice.
void forcePortablePaths(bool force);

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
