// The host-independent part of the synchronisation objects.
#include "Platform/Sync.h"

namespace Orvane {
namespace Platform {

void ManualResetEvent::wait() {
    waitSince(generation());
}

} // namespace Platform
} // namespace Orvane
