// Internals of the component core that the rest of the component model
// shares: the record behind every IUnknown and the functions that count and
// mark objects without going through their virtual slots.
//
// The record is what the dynamic creators (objects made by a creator
// function registered under a class id) use to mark their objects: they set
// classId, and inComponentMap for shared objects, and are then called back
// through destroyComponent when such an object's count reaches 0.
#ifndef DOZUV2_COMPONENT_UNKNOWNINTERNAL_H
#define DOZUV2_COMPONENT_UNKNOWNINTERNAL_H

#include "component/ObjectTable.h"
#include "component/Unknown.h"
#include "virad/devez3/detail/flex_string.h"

#include <atomic>
#include <cstdint>

namespace Orvane {
namespace Component {

struct UnknownInternal {
    std::atomic<std::int64_t> refCount{1};
    // Set by the first hand-out, which takes over the creation reference.
    std::atomic<std::int32_t> instanceMade{0};
    // Listed among the shared objects of a creator.
    bool inComponentMap = false;
    // The class id a creator made the object for; empty otherwise.
    Virad::flex_string classId;
    Detail::CObjectTable* table = nullptr;
    // Set by IClient's constructor: the object is a client, and its last
    // references go through the client list. A flag rather than a type test,
    // because every TComPtr copy dies through this check.
    bool isClient = false;
};

namespace Detail {

// Reaches the record of an object.
struct UnknownAccess {
    static UnknownInternal* record(IUnknown* object) { return object->m_internal; }
};

} // namespace Detail

// Takes one reference without any other effect; the new count.
int decreaseRefCount(IUnknown* object);
// The current count.
int refCountOf(IUnknown* object);
// Records the table the object was inserted into.
void setObjectTable(IUnknown* object, Detail::CObjectTable* table);
// Hands the object out once more: the first time takes over the creation
// reference, later times add one.
void makeInstanceForTable(IUnknown* object);
// Called by release() when an object made by a creator reaches 0: takes it
// out of its creator's shared objects (when inComponentMap) and destroys it.
bool destroyComponent(IUnknown* object, const char* classId, bool inComponentMap);

} // namespace Component
} // namespace Orvane

#endif
