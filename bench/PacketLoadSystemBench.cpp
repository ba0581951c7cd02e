// Packets under the system policy (one heap block per packet from the process's malloc) on a server's work, beside
// std::shared_ptr over malloc (see PacketLoadBodies.h).
#include "PacketLoadBodies.h"

int main(int argc, char** argv) {
    return PacketLoad::runLoads(argc, argv, Orvane::Memory::CPacketManager::policySystem);
}
