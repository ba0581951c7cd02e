// Packets under pool buffers (packet data from the buddy pool, record from the heap) on a server's work, beside
// std::shared_ptr over malloc (see PacketLoadBodies.h).
#include "PacketLoadBodies.h"

int main(int argc, char** argv) {
    return PacketLoad::runLoads(argc, argv, Orvane::Memory::CPacketManager::policyPoolBuffer);
}
