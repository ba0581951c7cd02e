// POSIX realisation of thread-local slots, thread ids and sleeping.
#include "Platform/Platform.h"

#include <cerrno>
#include <ctime>

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

static_assert(sizeof(pthread_key_t) <= sizeof(TlsIndex), "TLS keys must fit the slot index");

TlsIndex tlsAlloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) {
        return kTlsNone;
    }
    return static_cast<TlsIndex>(key);
}

bool tlsFree(TlsIndex index) {
    return index != kTlsNone && pthread_key_delete(static_cast<pthread_key_t>(index)) == 0;
}

bool tlsSetValue(TlsIndex index, const void* value) {
    return index != kTlsNone && pthread_setspecific(static_cast<pthread_key_t>(index), value) == 0;
}

void* tlsGetValue(TlsIndex index) {
    return index == kTlsNone ? nullptr : pthread_getspecific(static_cast<pthread_key_t>(index));
}

std::uint32_t currentThreadId() {
    // The id is asked of the kernel once per thread: it never changes.
    static thread_local std::uint32_t id = static_cast<std::uint32_t>(syscall(SYS_gettid));
    return id;
}

void sleepMilliseconds(unsigned int milliseconds) {
    timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void yieldThread() {
    sched_yield();
}

} // namespace Platform
} // namespace Orvane
