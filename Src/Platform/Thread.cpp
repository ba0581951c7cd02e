// The host-independent part of the thread family: reporting a failed start
// and the order of a forced end; the host starts and ends the threads.
#include "Src/Platform/Thread.h"

#include "Src/Platform/HostParts.h"

#include <cerrno>

namespace Orvane {
namespace Platform {

ThreadHandle startThread(ThreadEntry entry, void* argument, int stackSize, int* errorNumber) {
    SystemThread* thread = Host::newThreadRecord(entry, argument);
    int error = ENOMEM;
    if (thread == nullptr || !Host::launchThread(thread, stackSize, error)) {
        if (errorNumber != nullptr) {
            *errorNumber = error;
        }
        return nullptr;
    }
    return thread;
}

bool terminateSystemThread(ThreadHandle thread) {
    if (thread == nullptr) {
        return false;
    }
    // A thread that is over needs no ending, and its host record may no
    // longer accept one.
    if (!threadStillActive(thread)) {
        return true;
    }
    return Host::forceThreadEnd(thread);
}

} // namespace Platform
} // namespace Orvane
