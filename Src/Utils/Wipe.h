// Overwrites secrets (key schedules, keys) with zeros in a way the optimiser
// cannot drop because the memory is about to be released.
#ifndef DOZUV2_UTILS_WIPE_H
#define DOZUV2_UTILS_WIPE_H

#include <cstddef>

namespace Orvane {
namespace Utils {
namespace Detail {

inline void wipe(void* memory, std::size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(memory);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
}

} // namespace Detail
} // namespace Utils
} // namespace Orvane

#endif
