/// \file
/// Sharing packets across process boundaries.
///
/// The hook through which a packet is turned into a description another
/// process can map, and back. This platform has no shared packet memory, so
/// initialisation always fails and both conversions hand the packet back
/// unchanged (a handle sharing the same block). Code written against the hook
/// therefore works unchanged and simply shares nothing.
///
/// Thread-safety: every operation may be called from any thread.
#ifndef DOZUV2_MEMORY_SHAREPACKETHELPER_H
#define DOZUV2_MEMORY_SHAREPACKETHELPER_H

#include "memory/Packet.h"
#include "virad/Export.h"

namespace Orvane {
namespace Memory {
/// \addtogroup memory
/// @{

/// Platform-specific set-up of the shared memory; nothing reads it here.
struct BaseArg;

/// The hook between packets and their shareable descriptions.
class DOZUV2_API CSharePacketHelper {
public:
    /// The process-wide helper.
    static CSharePacketHelper* instance();

    /// Sets up sharing; false: sharing is not available here.
    bool initSharePacket(BaseArg* arg);
    /// The packet as another process would see it: here the packet itself.
    CPacket toDescribePacket(const CPacket& packet);
    /// The packet a description stands for: here the packet itself.
    CPacket toOriginalPacket(const CPacket& packet);

    /// The helper holds no state: assignment leaves it as it is.
    ///@{
    CSharePacketHelper& operator=(const CSharePacketHelper& other);
    CSharePacketHelper& operator=(CSharePacketHelper&& other);
    ///@}

private:
    CSharePacketHelper() = default;
    ~CSharePacketHelper() = default;
    CSharePacketHelper(const CSharePacketHelper&) = delete;
};
/// @}

} // namespace Memory
} // namespace Orvane

#endif
