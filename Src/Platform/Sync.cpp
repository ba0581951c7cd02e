// The host-independent part of the synchronisation objects.
#include "Src/Platform/Sync.h"

namespace Orvane {
namespace Platform {

unsigned long ManualResetEvent::generation() {
    return m_generation.load(std::memory_order_acquire);
}

void ManualResetEvent::wait() {
    waitSince(generation());
}

} // namespace Platform
} // namespace Orvane
