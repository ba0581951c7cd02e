// Thread objects and the thread body.
#include "virad/Thread.h"

#include "Src/Common/Report.h"
#include "Src/Devez3/ThreadInternal.h"
#include "virad/CTime.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

namespace {

constexpr unsigned int kDestroyWaitSlice = 50; // ms per wait on the thread in destroyThread
constexpr unsigned long long kDestructorReportEvery = 100;

} // namespace

int windowsThreadPriority(int policy, int priority) {
    if (policy == 1) {
        return 15;
    }
    const int w = 15 - (priority - 1) * 30 / 126;
    if (w <= -15) {
        return -15;
    }
    if (w <= -2) {
        return -2;
    }
    if (w <= -1) {
        return -1;
    }
    if (w <= 0) {
        return 0;
    }
    if (w >= 15) {
        return 15;
    }
    if (w >= 2) {
        return 2;
    }
    return 1;
}

namespace {

// Leaves the registry and clears the run's flags when the body ends, also
// when a forced end unwinds the thread.
struct BodyExit {
    ThreadInternal* self;
    ~BodyExit() {
        self->manager->remove(self);
        self->looping.store(0);
        self->alive.store(0);
    }
};

// The body of every run, on the new thread.
void threadBody(void* argument) {
    ThreadInternal* self = static_cast<ThreadInternal*>(argument);
    const int id = CThread::getCurrentThreadID();
    // The name is read under the record's lock: another thread may rename
    // this one at any time (a timer hands its name to a worker as it starts).
    char name[sizeof self->name];
    {
        CGuard guard(self->lock);
        self->alive.store(1);
        self->threadId.store(id);
        std::memcpy(name, self->name, sizeof name);
    }
    self->manager->add(self);
    BodyExit exit{self};
    int onStack = 0;
    VIRAD_REPORT(LOG_TRACE, "ThreadBody Enter name:%s, id:%d, prior:%s%d, stack:%p\n", name, id,
                 self->policy == 1 ? "R" : "N", self->priority, static_cast<void*>(&onStack));
    self->runOwner();
    {
        CGuard guard(self->lock);
        std::memcpy(name, self->name, sizeof name);
    }
    VIRAD_REPORT(LOG_TRACE, "ThreadBody leave name:%s, id:%d \n", name, id);
}

} // namespace

void ThreadInternal::setName(const char* text) {
    std::strncpy(name, text != nullptr ? text : "Nonamed", sizeof name - 1);
    name[sizeof name - 1] = '\0';
}

CThread::CThread(const char* name, int priority, int policy, int stackSize)
    : m_internal(new (std::nothrow) ThreadInternal) {
    VIRAD_ASSERT(m_internal);
    m_internal->policy = policy;
    m_internal->priority = priority;
    m_internal->stackSize = stackSize;
    m_internal->setName(name);
    m_internal->manager = threadManagerInternal();
    m_internal->owner = this;
}

CThread::~CThread() {
    ThreadInternal* self = m_internal;
    if (self->looping.load()) {
        destroyThread();
    }
    unsigned long long tries = 0;
    while (self->alive.load() && Platform::threadStillActive(self->handle)) {
        Platform::sleepMilliseconds(1);
        if (++tries % kDestructorReportEvery == 0) {
            VIRAD_REPORT(LOG_DEBUG, "this:%p CThread::~CThread:%s wait for thread over, times:%llu\n",
                         static_cast<void*>(this), self->nameNow().text, tries);
        }
    }
    // The body may still be between its last use of the record and its end.
    Platform::waitForThread(self->handle, 0xFFFFFFFFu);
    Platform::closeThreadHandle(self->handle);
    delete self;
}

bool CThread::createThread() {
    ThreadInternal* self = m_internal;
    self->lock.enter();
    // The body of an earlier run may still be finishing: wait until it has
    // left (it ends without the lock), unless a run is (or gets) started.
    while (self->alive.load() && !self->looping.load()) {
        self->lock.leave();
        Platform::sleepMilliseconds(1);
        self->lock.enter();
    }
    if (self->looping.load()) {
        self->lock.leave();
        VIRAD_REPORT(LOG_WARN, "this:%p CThread::CreateThread() thread:%s is still running!\n",
                     static_cast<void*>(this), self->nameNow().text);
        return false;
    }
    if (self->handle != nullptr) {
        // The earlier body has cleared alive; wait for its thread to be gone
        // before the handle and record are reused.
        Platform::waitForThread(self->handle, 0xFFFFFFFFu);
        Platform::closeThreadHandle(self->handle);
        self->handle = nullptr;
    }
    self->looping.store(1);
    self->destroyed.store(0);
    self->threadId.store(-1);
    self->deadline.store(0);

    int error = 0;
    self->handle = Platform::startThread(&threadBody, self, self->stackSize, &error);
    if (self->handle == nullptr) {
        self->looping.store(0);
        self->lock.leave();
        VIRAD_REPORT(LOG_ERROR, "this:%p create thread failed, errno:%d\n", static_cast<void*>(this), error);
        return false;
    }
    if (!Platform::setThreadPriority(self->handle, windowsThreadPriority(self->policy, self->priority),
                                     self->policy == 1)) {
        self->looping.store(0);
        self->lock.leave();
        VIRAD_REPORT(LOG_ERROR, "this:%p create thread failed, errno:%d\n", static_cast<void*>(this), errno);
        return false;
    }
    self->alive.store(1);
    self->lock.leave();
    return true;
}

bool CThread::destroyThread() {
    ThreadInternal* self = m_internal;
    self->lock.enter();
    if (self->destroyed.load()) {
        self->lock.leave();
        VIRAD_REPORT(LOG_WARN, "this:%p CThread::DestroyThread() thread:%s has been destroyed!\n",
                     static_cast<void*>(this), self->nameNow().text);
        return false;
    }
    if (isThreadOver()) {
        self->lock.leave();
        VIRAD_REPORT(LOG_WARN, "this:%p CThread::DestroyThread() thread:%s has exited!\n", static_cast<void*>(this),
                     self->nameNow().text);
        return false;
    }
    self->looping.store(0);
    self->destroyed.store(1);
    Platform::ThreadHandle handle = self->handle;
    if (handle == nullptr) {
        self->lock.leave();
        VIRAD_REPORT(LOG_WARN, "this:%p CThread::DestroyThread() thread handle has been invalid!\n",
                     static_cast<void*>(this));
        return false;
    }
    self->lock.leave();
    if (self->threadId.load() == getCurrentThreadID()) {
        return true;
    }
    while (self->alive.load() && self->destroyed.load()) {
        if (Platform::waitForThread(handle, kDestroyWaitSlice)) {
            break;
        }
    }
    return true;
}

bool CThread::cancelThread() {
    ThreadInternal* self = m_internal;
    CGuard guard(self->lock);
    if (self->looping.load()) {
        self->looping.store(0);
        return true;
    }
    VIRAD_REPORT(LOG_WARN, "this:%p CThread::cancelThread() thread:%s not exist!\n", static_cast<void*>(this),
                 self->name);
    return false;
}

bool CThread::terminateThread() {
    destroyThread();
    ThreadInternal* self = m_internal;
    Platform::ThreadHandle handle;
    {
        CGuard guard(self->lock);
        handle = self->handle;
    }
    if (handle == nullptr) {
        VIRAD_REPORT(LOG_ERROR, "this:%p handle is null, can't be terminated\n", static_cast<void*>(this));
        return false;
    }
    return Platform::terminateSystemThread(handle);
}

bool CThread::isThreadOver() {
    return m_internal->alive.load() == 0 && m_internal->looping.load() == 0;
}

bool CThread::looping() const {
    return m_internal->looping.load() != 0;
}

int CThread::getThreadID() {
    return m_internal->threadId.load();
}

const char* CThread::getThreadName() {
    return m_internal->name;
}

void CThread::setThreadName(const char* name) {
    CGuard guard(m_internal->lock);
    m_internal->setName(name);
}

void CThread::setTimeout(int milliseconds) {
    setTimeout(milliseconds, CTime::getCurrentMilliSecond());
}

void CThread::setTimeout(int milliseconds, unsigned long long now) {
    m_internal->deadline.store(milliseconds == 0 ? 0 : now + static_cast<std::uint64_t>(milliseconds));
}

bool CThread::isTimeout() {
    CGuard guard(m_internal->lock);
    return m_internal->timedOut(CTime::getCurrentMilliSecond());
}

void CThread::enableStackSize() {
    m_internal->stackSizeRequested = 1;
}

int CThread::shareSocket(int socket) {
    return socket;
}

int CThread::getCurrentThreadID() {
    return static_cast<int>(Platform::currentThreadId());
}

bool CThread::setCurrentTimeout(int milliseconds) {
    ThreadManagerInternal* manager = threadManagerInternal();
    CGuard managerGuard(manager->mutex);
    ThreadInternal* record = manager->findLocked(getCurrentThreadID());
    if (record == nullptr) {
        return false;
    }
    CGuard guard(record->lock);
    record->deadline.store(
        milliseconds == 0 ? 0 : CTime::getCurrentMilliSecond() + static_cast<std::uint64_t>(milliseconds));
    return true;
}

void CThread::sleep(int milliseconds) {
    Platform::sleepMilliseconds(milliseconds > 0 ? milliseconds : 0);
}

void CThread::load(int percent) {
    if (percent < 1 || percent > 100) {
        VIRAD_REPORT(LOG_ERROR, "thread load percent:%d is invalid!\n", percent);
    }
}

// ---- CThreadLite ----

struct CThreadLite::ThreadLiteInternal {
    Procedure procedure;
};

CThreadLite::CThreadLite(Procedure procedure, const char* name, int priority, int policy, int stackSize)
    : CThread(name, priority, policy, stackSize), m_liteInternal(new (std::nothrow) ThreadLiteInternal{procedure}) {
    VIRAD_ASSERT(m_liteInternal);
}

CThreadLite::~CThreadLite() {
    // The body calls the delegate, which lives here: stop it before the
    // delegate record goes.
    if (!isThreadOver()) {
        destroyThread();
    }
    delete m_liteInternal;
}

void CThreadLite::threadProc() {
    if (!m_liteInternal->procedure.empty()) {
        m_liteInternal->procedure(*this);
    }
}

} // namespace Virad
} // namespace Orvane
