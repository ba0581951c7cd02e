/// \file
/// A counting semaphore with blocking, timed and non-blocking waits.
///
/// The count may rise to 2147483647; a post beyond that fails. Waits return 0
/// when a unit was taken and -1 otherwise. Timed waits are measured on the
/// monotonic clock. Any thread may call any method.
#ifndef DOZUV2_VIRAD_SEMAPHORE_H
#define DOZUV2_VIRAD_SEMAPHORE_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup locks
/// @{

/// A counting semaphore, described above.
class DOZUV2_API CSemaphore {
public:
    /// Starts with initialCount units.
    explicit CSemaphore(int initialCount = 0);
    ~CSemaphore();
    CSemaphore(const CSemaphore&) = delete;
    CSemaphore& operator=(const CSemaphore&) = delete;

    /// Waits without limit; 0 when a unit was taken, -1 when the wait failed.
    int pend();
    /// Waits at most the given milliseconds (0: only try); 0 or -1.
    int pend(unsigned int milliseconds);
    /// Takes a unit if one is there; 0 or -1. Never blocks.
    int tryPend();
    /// Adds one unit; 0, or -1 when the count would pass its maximum.
    int post();

private:
    struct SemaphoreInternal;
    SemaphoreInternal* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
