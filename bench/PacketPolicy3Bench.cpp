// Packets whose data comes from the buddy pool and whose record comes from
// the C heap, beside malloc and std::make_shared.
#include "PacketBenchBodies.h"

int main(int argc, char** argv) {
    PacketBench::registerCreateDestroy();
    return PacketBench::runWithPolicy(argc, argv, Orvane::Memory::CPacketManager::policyPoolBuffer);
}
