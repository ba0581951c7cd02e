// Internals of the monotonic clock that tests reach directly.
#ifndef DOZUV2_DEVEZ3_CLOCKINTERNAL_H
#define DOZUV2_DEVEZ3_CLOCKINTERNAL_H

#include <cstdint>

namespace Orvane {
namespace Virad {
namespace Detail {

// Raises the last millisecond handed out to at least candidate and returns
// what the caller is given: candidate, or the larger value some thread was
// already given. Safe when many threads call at once.
std::uint64_t raiseLastMillisecond(std::uint64_t candidate);

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
