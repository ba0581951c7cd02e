// Internals of the clocks: what tests reach directly and what the print path
// reads.
#ifndef DOZUV2_DEVEZ3_CLOCKINTERNAL_H
#define DOZUV2_DEVEZ3_CLOCKINTERNAL_H

#include "virad/SystemTime.h"

#include <cstdint>

namespace Orvane {
namespace Virad {
namespace Detail {

// Raises the last millisecond handed out to at least candidate and returns
// what the caller is given: candidate, or the larger value some thread was
// already given. Safe when many threads call at once.
std::uint64_t raiseLastMillisecond(std::uint64_t candidate);

// The local time for a printed line's prefix: CTime::getCurrentTimeEx's
// reading, converted at most once a second per thread (see
// Platform::currentLocalTimeCached for when a zone change shows).
SystemTimeEx currentTimeForPrint();

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
