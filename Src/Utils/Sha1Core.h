// The SHA-1 compression function on the processor's SHA instructions,
// reached only through the dispatcher in Sha1.cpp when the processor has
// them: the five state words in the standard's order, whole 64-byte blocks.
#ifndef DOZUV2_UTILS_SHA1CORE_H
#define DOZUV2_UTILS_SHA1CORE_H

#include "Src/Platform/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Utils {
namespace Detail {

#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
void sha1BlocksInstructions(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
#endif

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
