/// \file
/// Component selection: which class implements an interface for a caller.
///
/// Three sources answer: the default class registered per interface in this
/// process, a class id composed from a client class and a remote class name
/// ("<client class>.<name>", the form the registry takes apart at the first
/// dot), and a queryer supplied by the host that knows which class serves a
/// channel or a device. The library stores, copies and passes on the channel
/// and device records and the queryer's further argument without reading
/// them.
///
/// Threads. The default classes may be set and read on any thread. The queryer
/// is set once, during start-up, before any lookup runs; it is never replaced
/// or cleared, and lookups read it without a lock.
#ifndef DOZUV2_COMPONENT_COMSELECT_H
#define DOZUV2_COMPONENT_COMSELECT_H

#include "component/ComPtr.h"
#include "component/Unknown.h"
#include "virad/Export.h"
#include "virad/devez3/detail/flex_string.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

/// A channel a component is chosen for. The default record (-1, null, -1)
/// names no channel; the reserved bytes are left as they are.
struct DOZUV2_API ComSelChannelInfo {
    ComSelChannelInfo() : channel(-1), number(-1), text(nullptr) {}
    /// The text comes second here but last in the record.
    ComSelChannelInfo(int channelValue, const char* textValue, int numberValue)
        : channel(channelValue), number(numberValue), text(textValue) {}

    /// (-1, null, -1): a component of this process.
    static const ComSelChannelInfo local;

    /// The channel and its number.
    ///@{
    int channel;
    int number;
    const char* text; ///< borrowed
    ///@}
    /// Left as they are.
    unsigned char reserved[112];
};

/// A device a component is chosen for; both fields null by default.
struct DOZUV2_API ComSelDeviceIdInfo {
    ComSelDeviceIdInfo() : deviceId(nullptr), data(nullptr) {}

    const char* deviceId; ///< borrowed
    /// The caller's value, passed through.
    ///@{
    void* data;
    unsigned char reserved[112];
    ///@}
};

/// The layouts shared with code built against these headers.
///@{
static_assert(sizeof(ComSelChannelInfo) == 128, "two ints, a pointer and 112 reserved bytes");
static_assert(sizeof(ComSelDeviceIdInfo) == 2 * sizeof(void*) + 112, "two pointers and 112 reserved bytes");
///@}

/// The host's answer to "which class serves this channel or device". Each
/// lookup writes the class id and returns true, or returns false; argument is
/// the caller's, passed through untouched.
class DOZUV2_API IServerInfoQueryer : public IUnknown {
public:
    /// The class serving the channel, and the class serving the device.
    ///@{
    virtual bool classIdByChannel(int channel, Virad::flex_string& classId, void* argument) = 0;
    virtual bool classIdByDeviceId(const char* deviceId, Virad::flex_string& classId, void* argument) = 0;
    ///@}
};

/// The default class of each interface in this process.
class DOZUV2_API CLocalComSelectManager {
public:
    CLocalComSelectManager() = delete;

    /// Sets the interface's default class once; false when it already has one
    /// (which is kept) or for a null interface id.
    static bool setDefaultComponent(const char* iid, const char* classId);
    /// The interface's default class; "Local" when none was set, empty for a
    /// null interface id.
    static Virad::flex_string getDefaultClassID(const char* iid);
};

/// Holds the host's queryer, adding a reference to it. Only the first
/// non-empty queryer is taken; any later call, and an empty one, fails and is
/// reported.
DOZUV2_API bool setQueryerHandler(TComPtr<IServerInfoQueryer> queryer);
/// "<clientClass>.<name>", or clientClass alone when name is empty.
DOZUV2_API Virad::flex_string getClassId(const Virad::flex_string& clientClass, const Virad::flex_string& name);
/// @}

} // namespace Component
} // namespace Orvane

#endif
