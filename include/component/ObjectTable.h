/// \file
/// The object table: a locked list of live components that a factory
/// searches by key, so that one object is shared by every user asking for the
/// same thing.
///
/// insert, erase, find, count and get do not lock; the caller brackets them
/// with lock() and unlock(). An object's last release takes the same lock
/// before it leaves the table, so a search never hands out an object that is
/// being destroyed. The lock is not meant to be re-entered: code running while
/// a table is locked must not release an object of that table.
///
/// A table does not own its objects: destroying it frees the list only.
/// Assigning a table makes both name the same list, and only one of them may
/// then be destroyed.
#ifndef DOZUV2_COMPONENT_OBJECTTABLE_H
#define DOZUV2_COMPONENT_OBJECTTABLE_H

#include "component/Unknown.h"
#include "virad/Export.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

namespace Detail {

/// A search key; component classes derive the concrete keys.
class DOZUV2_API key_base {
public:
    virtual ~key_base();
    /// True when the object is the one sought.
    virtual bool match(IUnknown* object) const = 0;
};

class DOZUV2_API CObjectTable {
public:
    CObjectTable();
    ~CObjectTable();
    CObjectTable(const CObjectTable&) = delete;
    CObjectTable& operator=(const CObjectTable& other);

    void lock();
    void unlock();
    /// Appends the object (duplicates are kept) and hands it out: a fresh
    /// object keeps its count of 1, an object handed out before gains one.
    void insert(IUnknown* object);
    /// Removes every occurrence of the object, keeping the order of the rest.
    void erase(IUnknown* object);
    /// The first object, in insertion order, that the key matches, with a
    /// reference for the caller; null when none matches.
    ///@{
    IUnknown* find(const key_base& key);
    unsigned long long count();
    ///@}
    /// The object at the position, without a reference; the index must be below count().
    IUnknown* get(unsigned long long index);

private:
    struct ObjectTableInternal* m_internal;
};

} // namespace Detail
/// @}

} // namespace Component
} // namespace Orvane

#endif
