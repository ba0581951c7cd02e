/// \file
/// CThreadSpecific, the thread-local value slot: one pointer per thread, null
/// until the thread stores one.
///
/// Copying or assigning a CThreadSpecific makes both objects name the same slot;
/// the slot is freed when the last object naming it is destroyed. Freeing the
/// slot does not free what the stored values point to.
#ifndef DOZUV2_VIRAD_THREADLOCALSLOT_H
#define DOZUV2_VIRAD_THREADLOCALSLOT_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup locks
/// @{

/// A thread-local value slot, described above.
class DOZUV2_API CThreadSpecific {
public:
    CThreadSpecific();
    /// Copies and assignments name the same slot as the source.
    ///@{
    CThreadSpecific(const CThreadSpecific& other);
    CThreadSpecific& operator=(const CThreadSpecific& other);
    ///@}
    ~CThreadSpecific();

    /// True if a slot was allocated.
    bool valid() const;
    /// Stores the calling thread's value; false if the slot is not valid or the store fails.
    bool setValue(const void* value);
    /// Reads the calling thread's value (null if it never stored one); false,
    /// with the output untouched, if the slot is not valid or value is null.
    bool getValue(void** value) const;

private:
    struct ThreadSpecificInternal;
    ThreadSpecificInternal* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
