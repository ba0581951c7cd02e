/// \file
/// The base of every component: a self-counting object that destroys itself
/// when its last reference goes, the class-id value that names a component
/// class, and the helper through which generated code adds and drops
/// references and finds factories.
///
/// Reference counting. A component starts with one reference (its creation
/// reference). The first hand-out to a caller (makeComponentObject,
/// makeComponentInstance, a table insertion, or an addRef) takes that
/// reference over; every later hand-out and every addRef adds one, every
/// release drops one, and the release that reaches 0 calls destroy(). Counts
/// change atomically, so references may be taken and dropped on any thread.
///
/// Copying. Copying a component copies the pointer to its record: both copies
/// then share one count, so only one of them may ever be released or
/// destroyed. The library itself never copies a component.
#ifndef DOZUV2_COMPONENT_UNKNOWN_H
#define DOZUV2_COMPONENT_UNKNOWN_H

#include "virad/Export.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

class IClient;
class IFactoryUnknown;
struct ServerInfo;

namespace Detail {
class CObjectTable;
struct UnknownAccess;
} // namespace Detail

/// The reference-counted base of every component, described above.
class DOZUV2_API IUnknown {
public:
    IUnknown();
    /// Copy and assignment copy the internal pointer: a copied component must not be released through both copies.
    ///@{
    IUnknown(const IUnknown& other);
    IUnknown& operator=(const IUnknown& other);
    ///@}
    virtual ~IUnknown();

    /// Disposes of the object (usually `delete this`); called once the last
    /// reference is gone, and by the client list for clients it drops.
    virtual void destroy() = 0;
    /// The object's view as the named interface, or null; for component
    /// classes and their generated code (the library never asks).
    virtual void* queryInterface(const char* iid) = 0;
    /// Adds a reference; returns the new count.
    virtual int addRef();
    /// Drops a reference; the last one destroys the object (after taking it
    /// out of its object table). Returns the new count.
    virtual int release();

private:
    friend struct Detail::UnknownAccess;
    struct UnknownInternal* m_internal;
};

/// The name of a component class. The text is borrowed, never copied: it must
/// outlive the value. Class ids of remote components are "<client class>.<rest>".
struct DOZUV2_API ClassID {
    /// Names the class by the text, which is borrowed.
    constexpr ClassID(const char* text) : id(text) {} // NOLINT: implicit, like the text it names
    /// Copies share the text.
    ///@{
    ClassID(const ClassID&) = default;
    ClassID(ClassID&&) = default;
    ClassID& operator=(const ClassID&) = default;
    ClassID& operator=(ClassID&&) = default;
    ///@}

    /// "Local": the class id of components living in the calling process.
    static const ClassID local;

    /// The class id's text.
    const char* id;
};

namespace Detail {

/// What generated code calls to count, hand out and find components.
class DOZUV2_API CComponentHelper {
public:
    /// The object's addRef(); 0 for null.
    static int addRef(IUnknown* object) { return object != nullptr ? object->addRef() : 0; }
    /// The object's release(); clients are released through the client list.
    /// 0 for null.
    static int release(IUnknown* object);
    /// An existing object handed to a caller with a reference of its own (the
    /// first hand-out takes over the creation reference). Null, with last
    /// error 0x1003000E, for null.
    static IUnknown* makeComponentInstance(IUnknown* object);
    /// A newly made object handed to its caller; the count is unchanged.
    /// Null, with last error 0x1003000D, for null.
    static IUnknown* makeComponentObject(IUnknown* object);
    /// Makes the client the calling thread's current user; false for null.
    static bool setAsCurrentUser(IClient* client);
    /// The factory registered for the interface and class. For a remote
    /// class (a server description other than ServerInfo::none itself) a
    /// logged-in client is found or made first and returned in client, which
    /// holds a reference for the caller except on the client's first use.
    static IFactoryUnknown* getComponentFactory(const char* iid, const ClassID& classId, const ServerInfo& info,
                                                IClient*& client);
    /// The same with the client chosen by user id (-1: none); no login is tried.
    static IFactoryUnknown* getComponentFactory(const char* iid, const ClassID& classId, int userId, IClient*& client);
};

} // namespace Detail
/// @}

} // namespace Component
} // namespace Orvane

#endif
