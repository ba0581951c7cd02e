// The thread manager: the registry of running thread bodies, its views and
// table.
#include "virad/ThreadManager.h"

#include "Src/Common/Containers.h"
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Devez3/ThreadInternal.h"
#include "virad/CTime.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

void ThreadManagerInternal::add(ThreadInternal* record) {
    CGuard guard(mutex);
    record->previous = nullptr;
    record->next = head;
    if (head != nullptr) {
        head->previous = record;
    }
    head = record;
}

void ThreadManagerInternal::remove(ThreadInternal* record) {
    CGuard guard(mutex);
    if (record->previous != nullptr) {
        record->previous->next = record->next;
    } else if (head == record) {
        head = record->next;
    } else {
        return; // not listed
    }
    if (record->next != nullptr) {
        record->next->previous = record->previous;
    }
    record->previous = nullptr;
    record->next = nullptr;
}

ThreadInternal* ThreadManagerInternal::findLocked(int threadId) {
    for (ThreadInternal* record = head; record != nullptr; record = record->next) {
        if (record->threadId.load(std::memory_order_relaxed) == threadId) {
            return record;
        }
    }
    return nullptr;
}

// The registry and its face live until the very end of the process: thread
// bodies that are still running while exit handlers run remove themselves
// from the list when they end, so the list must outlive them.
ThreadManagerInternal* threadManagerInternal() {
    static Base::NeverDestroyed<ThreadManagerInternal> manager;
    return &manager.get();
}

CThreadManager::CThreadManager() : m_internal(threadManagerInternal()) {}

CThreadManager::~CThreadManager() = default;

// Kept to the very end, like the registry behind it.
CThreadManager* CThreadManager::instance() {
    return Common::ProcessWide<CThreadManager, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) CThreadManager; });
}

void CThreadManager::registerMainThread() {
    CGuard guard(m_internal->mutex);
    m_internal->mainThreadId = CThread::getCurrentThreadID();
}

bool CThreadManager::hasThread(int threadId) {
    CGuard guard(m_internal->mutex);
    return m_internal->findLocked(threadId) != nullptr;
}

bool CThreadManager::getThreadNameByID(int threadId, flex_string& name) {
    CGuard guard(m_internal->mutex);
    ThreadInternal* record = m_internal->findLocked(threadId);
    if (record == nullptr) {
        return false;
    }
    name = record->nameNow().text;
    return true;
}

bool CThreadManager::getThreadsInfo(std::list<ThreadInfo>& infos) {
    // Listed apart and handed over whole, so that running out of memory
    // half way leaves the caller's list as it was.
    std::list<ThreadInfo> found;
    CGuard guard(m_internal->mutex);
    if (m_internal->head == nullptr) {
        return false;
    }
    const bool listed = Common::builtForCaller([this, &found] {
        for (ThreadInternal* record = m_internal->head; record != nullptr; record = record->next) {
            ThreadInfo info;
            std::memset(&info, 0, sizeof info);
            std::memcpy(info.name, record->nameNow().text, sizeof info.name);
            info.id = record->threadId.load(std::memory_order_relaxed);
            info.stackSize = record->stackSize;
            info.priority = static_cast<unsigned>(record->priority) & 0x7Fu;
            info.policy = static_cast<unsigned>(record->policy) & 1u;
            info.timeout = record->timedOut(CTime::getCurrentMilliSecond()) ? 1u : 0u;
            found.push_back(info);
        }
    });
    if (!listed) {
        VIRAD_REPORT(LOG_ERROR, "this:%p CThreadManager::getThreadsInfo(): out of memory\n", static_cast<void*>(this));
        return false;
    }
    infos.splice(infos.end(), found);
    return true;
}

bool CThreadManager::getTimeOutThreads(flex_string& text) {
    text.clear();
    const std::uint64_t now = CTime::getCurrentMilliSecond();
    bool any = false;
    CGuard guard(m_internal->mutex);
    for (ThreadInternal* record = m_internal->head; record != nullptr; record = record->next) {
        if (!record->timedOut(now)) {
            continue;
        }
        // The id is cut to 7 characters: six digits or more lose the parenthesis.
        char id[8];
        std::snprintf(id, sizeof id, "(%d)", record->threadId.load(std::memory_order_relaxed));
        text += record->nameNow().text;
        text += id;
        any = true;
    }
    return any;
}

void CThreadManager::dumpThreads() {
    VIRAD_REPORT(LOG_INFO, "Threads:\n");
    VIRAD_REPORT(LOG_INFO, "               Name            TID  Prior State\n");
    VIRAD_REPORT(LOG_INFO, "_______________________________________________________\n");
    {
        CGuard guard(m_internal->mutex);
        VIRAD_REPORT(LOG_INFO, "%24s   %8d  %3d  %s\n", "Main", m_internal->mainThreadId, 64, "Normal");
    }
    std::list<ThreadInfo> infos;
    getThreadsInfo(infos);
    for (const ThreadInfo& info : infos) {
        VIRAD_REPORT(LOG_INFO, "%24s   %8u  %3u  %s\n", info.name, static_cast<unsigned>(info.id),
                     static_cast<unsigned>(info.priority), info.timeout ? "Timeout" : "Normal");
    }
    VIRAD_REPORT(LOG_INFO, "\n");
}

} // namespace Virad
} // namespace Orvane
