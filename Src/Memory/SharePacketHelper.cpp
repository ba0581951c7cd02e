// The share-packet hook of a platform without shared packet memory.
#include "memory/SharePacketHelper.h"

namespace Orvane {
namespace Memory {

CSharePacketHelper* CSharePacketHelper::instance() {
    // Stateless, so it needs no creation lock and nothing to tear down.
    static CSharePacketHelper helper;
    return &helper;
}

bool CSharePacketHelper::initSharePacket(BaseArg*) {
    return false;
}

CPacket CSharePacketHelper::toDescribePacket(const CPacket& packet) {
    return packet;
}

CPacket CSharePacketHelper::toOriginalPacket(const CPacket& packet) {
    return packet;
}

CSharePacketHelper& CSharePacketHelper::operator=(const CSharePacketHelper&) {
    return *this;
}

CSharePacketHelper& CSharePacketHelper::operator=(CSharePacketHelper&&) {
    return *this;
}

} // namespace Memory
} // namespace Orvane
