// The counting semaphore: a thin front over the platform's kernel semaphore.
#include "virad/Semaphore.h"

#include "Src/Common/Report.h"
#include "Src/Platform/Sync.h"

#include <new>

namespace Orvane {
namespace Virad {

namespace {

// The kernel semaphore, kept in place so a wait costs one indirection. It
// tests true once the semaphore exists, as a handle would.
struct SemaphoreHandle {
    explicit SemaphoreHandle(int initialCount) : semaphore(initialCount, Platform::KernelSemaphore::kMaximum) {}
    explicit operator bool() const { return semaphore.valid(); }

    Platform::KernelSemaphore semaphore;
};

} // namespace

struct CSemaphore::SemaphoreInternal {
    explicit SemaphoreInternal(int initialCount) : m_handle(initialCount) {}

    SemaphoreHandle m_handle;
};

CSemaphore::CSemaphore(int initialCount) : m_internal(new (std::nothrow) SemaphoreInternal(initialCount)) {
    VIRAD_ASSERT(m_internal);
    // A negative initial count is refused by the kernel and ends up here.
    VIRAD_ASSERT(m_internal->m_handle);
}

CSemaphore::~CSemaphore() {
    delete m_internal;
}

int CSemaphore::pend() {
    VIRAD_ASSERT(m_internal->m_handle);
    return m_internal->m_handle.semaphore.wait() ? 0 : -1;
}

int CSemaphore::pend(unsigned int milliseconds) {
    VIRAD_ASSERT(m_internal->m_handle);
    // 0 milliseconds is a plain try, done by the platform without a deadline.
    return m_internal->m_handle.semaphore.timedWait(milliseconds) ? 0 : -1;
}

int CSemaphore::tryPend() {
    VIRAD_ASSERT(m_internal->m_handle);
    return m_internal->m_handle.semaphore.tryWait() ? 0 : -1;
}

int CSemaphore::post() {
    return m_internal->m_handle.semaphore.post() ? 0 : -1;
}

} // namespace Virad
} // namespace Orvane
