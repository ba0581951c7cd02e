/// \file
/// Factories and the process-wide registry that finds them, with the error
/// codes of the component model.
///
/// A factory makes the components of one class and registers itself under the
/// id of the interface they implement ("Client" for the factories of remote
/// clients). The registry maps interface id and class id to the factory; it
/// never owns or deletes a factory. Entries are never removed: unregistering
/// leaves the class listed with no factory. Registration, lookups and
/// ClassIDList may run on any thread; the first registration should happen
/// before concurrent use, because it also registers the error texts.
#ifndef DOZUV2_COMPONENT_FACTORY_H
#define DOZUV2_COMPONENT_FACTORY_H

#include "virad/Export.h"
#include "virad/devez3/detail/flex_string.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

/// The last-error codes of the component model (texts are registered with
/// the first factory).
enum : int {
    kErrorInterfaceNotFound = 0x10030000,
    kErrorClassNotFound = 0x10030001,
    kErrorClientNotFound = 0x10030002,
    kErrorClientNotExist = 0x10030003,
    kErrorNotLoggedIn = 0x10030004,
    kErrorTryingLogin = 0x10030005,
    kErrorUserNameInvalid = 0x10030006,
    kErrorPasswordInvalid = 0x10030007,
    kErrorPeerBlocked = 0x10030008,
    kErrorPeerBlacklisted = 0x10030009,
    kErrorUserNameInUse = 0x1003000A,
    kErrorTooManyConnections = 0x1003000B,
    kErrorNoAuthority = 0x1003000C,
    kErrorCreateObjectFailed = 0x1003000D,
    kErrorGetInstanceFailed = 0x1003000E,
    kErrorLoginChallenge = 0x1003000F,
    kErrorNotSupported = 0x10030010, ///< an optional client operation the client class lacks
    kErrorUserOrPasswordInvalid = 0x10030015,
};

/// The base of every component factory.
class DOZUV2_API IFactoryUnknown {
public:
    IFactoryUnknown() = default;
    /// Copied and assigned member by member.
    ///@{
    IFactoryUnknown(const IFactoryUnknown&) = default;
    IFactoryUnknown& operator=(const IFactoryUnknown&) = default;
    ///@}
    virtual ~IFactoryUnknown();

    /// The class id of the components this factory makes.
    virtual const char* clsid() const = 0;

    /// Registers this factory for the interface and its class, replacing any
    /// factory registered for both. True.
    bool registerFactory(const char* iid);
    /// Leaves the interface's entry for this factory's class without a factory
    /// (whichever factory it held). True.
    bool unregisterFactory(const char* iid);
};

/// The class ids registered under one interface when the list was made, in
/// ascending byte order, unregistered classes included.
class DOZUV2_API ClassIDList {
public:
    /// The list for the interface id.
    explicit ClassIDList(const char* iid);
    ~ClassIDList();
    ClassIDList(const ClassIDList&) = delete;
    ClassIDList& operator=(const ClassIDList&) = delete;

    /// The number of class ids in the list.
    unsigned long long count() const;
    /// The id at the position; the index must be below count().
    Virad::flex_string operator[](int index) const;

private:
    struct ClassIDListInternal* m_internal;
};
/// @}

} // namespace Component
} // namespace Orvane

#endif
