/// \file
/// A read-write mutex: many readers or one writer.
///
/// Two policies decide who goes first:
/// - priorityDefault: readers pass unless a writer holds or is waiting at the
///   gate; a waiting writer is served once the readers present have left, and
///   new readers wait behind it.
/// - priorityWrite: waiting writers always go before new readers, and a writer
///   hands the lock directly to the next waiting writer.
/// leave() releases whichever hold the caller has. Any thread may call any
/// method; a leave without a hold returns false.
#ifndef DOZUV2_VIRAD_READWRITEMUTEX_H
#define DOZUV2_VIRAD_READWRITEMUTEX_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup locks
/// @{

/// A read-write mutex under one of the policies described above.
class DOZUV2_API CReadWriteMutex {
public:
    /// The underlying type is fixed so that every int is a value of the enum:
    /// an unknown policy handed in by a caller is then well defined, and is
    /// reported and replaced rather than being undefined behaviour.
    enum RWPriority : int { priorityDefault = 0, priorityWrite = 1 };

    /// priorityDefault.
    CReadWriteMutex();
    /// An unknown policy is reported and priorityDefault is used.
    explicit CReadWriteMutex(RWPriority priority);
    ~CReadWriteMutex();
    CReadWriteMutex(const CReadWriteMutex&) = delete;
    CReadWriteMutex& operator=(const CReadWriteMutex&) = delete;

    /// Blocks until a read hold is granted; true.
    bool enterReading();
    /// Blocks until the write hold is granted; true.
    bool enterWriting();
    /// Releases a read or the write hold; false when nothing was held.
    bool leave();

private:
    struct RWMutexInternal;
    RWMutexInternal* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
