// Packets under the buddy pool (one pool block per packet) on a server's work, beside std::shared_ptr over malloc (see
// PacketLoadBodies.h).
#include "PacketLoadBodies.h"

int main(int argc, char** argv) {
    return PacketLoad::runLoads(argc, argv, Orvane::Memory::CPacketManager::policyPool);
}
