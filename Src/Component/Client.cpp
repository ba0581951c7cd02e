// Remote clients: the client's own operations, its status procedures, the
// server description and the calling thread's current user.
#include "component/Client.h"

#include "Src/Common/Report.h"
#include "Src/Common/ThreadValueSlot.h"
#include "Src/Component/ClientInternal.h"
#include "Src/Component/UnknownInternal.h"
#include "Src/Platform/Thread.h"
#include "component/ComPtr.h"

#include <cstring>

namespace Orvane {
namespace Component {

using Detail::ClientAccess;
using Virad::CGuard;
using Virad::CTime;

namespace {

struct CurrentUserTag;
using CurrentUserSlot = Common::ThreadValueSlot<CurrentUserTag, int>;

[[maybe_unused]] const bool g_currentUserSlotAtLoad = CurrentUserSlot::ready();

bool notSupported() {
    Virad::setLastError(kErrorNotSupported);
    return false;
}

} // namespace

// ---- ServerInfo and ServerChallenge ----

const ServerInfo ServerInfo::none;

ServerInfo& ServerInfo::operator=(const ServerInfo& other) {
    std::memmove(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(ServerInfo));
    return *this;
}

// ---- Status procedures ----

int StatusProcList::attach(const IClient::StatusProc& proc) {
    if (proc.empty()) {
        return -4;
    }
    if (proc.kind == Virad::Detail::kFunctionAnyReuse) {
        return -5;
    }
    CGuard guard(lock);
    for (const Slot& slot : slots) {
        if (slot.state == 1 && slot.proc == proc) {
            return -2;
        }
    }
    for (Slot& slot : slots) {
        if (slot.state == 0 && slot.calling == 0) {
            slot.proc = proc;
            slot.state = 1;
            return ++attached;
        }
    }
    return -3;
}

int StatusProcList::detach(const IClient::StatusProc& proc) {
    if (proc.empty()) {
        return -4;
    }
    const bool every = proc.kind == Virad::Detail::kFunctionAnyReuse;
    bool found = false;
    CGuard guard(lock);
    for (Slot& slot : slots) {
        if (slot.state == 1 && slot.proc == proc) {
            slot.state = 0;
            --attached;
            if (!every) {
                return attached;
            }
            found = true;
        }
    }
    return found ? attached : -1;
}

// ---- IClient ----

IClient::IClient() : m_internal(nullptr) {
    Detail::UnknownAccess::record(this)->isClient = true;
}

IClient::IClient(const IClient& other) : IUnknown(other), m_internal(other.m_internal) {}

IClient& IClient::operator=(const IClient& other) {
    IUnknown::operator=(other);
    m_internal = other.m_internal;
    return *this;
}

IClient::~IClient() {
    delete m_internal;
}

bool IClient::getCurrentTime(CTime&) {
    return notSupported();
}

bool IClient::setCurrentTime(const CTime&, int) {
    return notSupported();
}

bool IClient::loginAgain(const ServerInfo&) {
    return notSupported();
}

bool IClient::checkAuthorityString(const char*) {
    return notSupported();
}

bool IClient::loginFirst() {
    return notSupported();
}

bool IClient::getChallenge(ServerChallenge&) {
    return notSupported();
}

bool IClient::attachStatusProc(StatusProc proc) {
    VIRAD_ASSERT(m_internal);
    return m_internal->statusProcs.attach(proc) > 0;
}

bool IClient::detachStatusProc(StatusProc proc) {
    VIRAD_ASSERT(m_internal);
    return m_internal->statusProcs.detach(proc) >= 0;
}

bool IClient::getServerInfo(ServerInfo& info) {
    VIRAD_ASSERT(m_internal);
    const ClientInternal& r = *m_internal;
    info.text1 = r.text1.c_str();
    info.number1 = r.number1;
    info.userName = r.userName.c_str();
    info.text3 = r.text3.c_str();
    info.text4 = r.text4.c_str();
    info.flag1 = r.flag1;
    info.flag2 = r.flag2;
    info.number2 = r.number2;
    info.text5 = r.text5.c_str();
    info.text6 = r.text6.c_str();
    info.text7 = r.text7.c_str();
    info.text8 = r.text8.c_str();
    info.number3 = r.number3;
    info.text9 = r.text9.c_str();
    info.flag3 = r.flag3;
    info.flag4 = r.flag4 ? 1 : 0;
    info.number4 = r.number4;
    info.number5 = r.number5;
    info.text10 = r.text10.c_str();
    info.text11 = r.text11.c_str();
    info.text12 = r.text12.c_str();
    if (r.userName.empty()) {
        VIRAD_REPORT(Virad::LOG_WARN, "this:%p userName of client is a null string!\n", static_cast<void*>(this));
    }
    return true;
}

bool IClient::getLoginTime(CTime& time) {
    VIRAD_ASSERT(m_internal);
    CGuard guard(m_internal->loginTimeLock);
    time = m_internal->loginTime;
    return true;
}

bool IClient::abort(int value) {
    VIRAD_ASSERT(m_internal);
    addRef();
    const TComPtr<IClient> self(this, nullptr);
    const ClassID classId(m_internal->classId.c_str());
    StatusProcList& list = m_internal->statusProcs;
    list.lock.enter();
    list.notifyingThread = static_cast<int>(Platform::currentThreadId());
    for (StatusProcList::Slot& slot : list.slots) {
        if (slot.state != 1) {
            continue;
        }
        const StatusProc proc = slot.proc;
        ++slot.calling;
        list.lock.leave();
        proc(m_internal->customData, classId, self, aborted, value);
        list.lock.enter();
        --slot.calling;
    }
    list.notifyingThread = -1;
    list.lock.leave();
    return logout();
}

void IClient::setCustomData(void* data) {
    VIRAD_ASSERT(m_internal);
    m_internal->customData = data;
}

void* IClient::getCustomData() {
    VIRAD_ASSERT(m_internal);
    return m_internal->customData;
}

bool IClient::saveUserName(const char* userName) {
    if (m_internal == nullptr) {
        return false;
    }
    // The name is part of the client's identity, which list searches read
    // under the list's lock.
    CClientInstanceList* list = CClientInstanceList::instance();
    if (list != nullptr) {
        list->lock().enter();
    }
    const bool saved = m_internal->userNameSaved;
    if (!saved) {
        m_internal->userName = userName;
        m_internal->userNameSaved = true;
    }
    if (list != nullptr) {
        list->lock().leave();
    }
    if (saved) {
        VIRAD_REPORT(Virad::LOG_WARN, "this:%p username of client has already saved.\n", static_cast<void*>(this));
    }
    return true;
}

int IClient::getCurrentUserID() {
    return CurrentUserSlot::get();
}

const char* IClient::IFactory::iid() {
    return "Client";
}

IClient* IClient::IFactory::instance(int userId) {
    CClientInstanceList* list = CClientInstanceList::instance();
    return list != nullptr ? list->findByUserId(ClassID(clsid()), userId) : nullptr;
}

bool Detail::CComponentHelper::setAsCurrentUser(IClient* client) {
    if (client == nullptr) {
        return false;
    }
    int userId = -1;
    client->getUserID(userId);
    return CurrentUserSlot::set(userId);
}

} // namespace Component
} // namespace Orvane
