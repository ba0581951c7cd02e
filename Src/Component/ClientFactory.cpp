// Remote clients as the registry sees them: completing, finding, logging in
// and releasing clients, the client factory wrappers and the client instance
// list with its idle check.
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Component/ClientInternal.h"
#include "Src/Component/UnknownInternal.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Orvane {
namespace Component {

using Detail::CComponentHelper;
using Detail::ClientAccess;
using Virad::CGuard;
using Virad::CRecursiveGuard;
using Virad::flex_string;

namespace {

// A client inactive for longer than this, that never logged in, is idle.
constexpr std::uint64_t kIdleAfterMilliseconds = 300000;
constexpr unsigned int kCheckPeriod = 60;
constexpr unsigned int kCheckTimeout = 60000;

std::atomic<Detail::ClientClock> g_clientClock{nullptr};

// The record of a client that a wrapper has completed.
ClientInternal& recordOf(IClient* client) {
    if (client == nullptr || ClientAccess::record(client) == nullptr) {
        Virad::Detail::assertionFailed("client != NULL && client->m_internal != NULL", DOZUV2_FUNCTION_SIGNATURE,
                                       __FILE__, __LINE__);
    }
    return *ClientAccess::record(client);
}

// Serialises client creation across every wrapper, so that two threads
// asking for the same server get one client. Exists from load to the end.
Virad::CRecursiveMutex& creationLock() {
    static Base::NeverDestroyed<Virad::CRecursiveMutex> lock;
    return lock.get();
}

[[maybe_unused]] Virad::CRecursiveMutex& g_creationLockAtLoad = creationLock();

// One wrapper per client factory, made on first use and never destroyed:
// callers keep the wrappers they were given.
struct WrapperTable {
    Virad::CMutex lock;
    Common::Map<IClient::IFactory*, Detail::IClientFactoryWrap*> wrappers;
};

WrapperTable& wrapperTable() {
    return *Common::ProcessWide<WrapperTable, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) WrapperTable; });
}

bool textEquals(const flex_string& copy, const char* text) {
    return copy == text;
}

} // namespace

// ---- The clock and the class prefix ----

void Detail::setClientClock(ClientClock clock) {
    g_clientClock.store(clock);
}

std::uint64_t Detail::clientNow() {
    const ClientClock clock = g_clientClock.load(std::memory_order_relaxed);
    return clock != nullptr ? clock() : Virad::CTime::getCurrentMilliSecond();
}

flex_string classPrefix(const char* classId) {
    const char* dot = classId != nullptr ? std::strchr(classId, '.') : nullptr;
    return dot != nullptr ? flex_string(classId, static_cast<std::size_t>(dot - classId)) : flex_string(classId);
}

// ---- The client functions ----

void clientCreateInternal(IClient* client, const ClassID& classId, const ServerInfo& info, bool madeByCreate) {
    if (client == nullptr || ClientAccess::record(client) != nullptr) {
        Virad::Detail::assertionFailed("client != NULL && client->m_internal == NULL", DOZUV2_FUNCTION_SIGNATURE,
                                       __FILE__, __LINE__);
    }
    ClientInternal* r = new (std::nothrow) ClientInternal;
    VIRAD_ASSERT(r);
    r->classId = classId.id;
    r->text1 = info.text1;
    r->number1 = info.number1;
    r->userName = info.userName;
    r->text3 = info.text3;
    r->text4 = info.text4;
    r->flag1 = info.flag1;
    r->flag2 = info.flag2;
    r->number2 = info.number2;
    r->text5 = info.text5;
    r->text6 = info.text6;
    r->text7 = info.text7;
    r->text8 = info.text8;
    r->number3 = info.number3;
    r->text9 = info.text9;
    r->flag3 = info.flag3;
    r->flag4 = info.flag4 != 0;
    r->number4 = info.number4;
    r->number5 = info.number5;
    r->text10 = info.text10;
    r->text11 = info.text11;
    r->text12 = info.text12;
    r->madeByCreate = madeByCreate;
    r->lastActive = Detail::clientNow();
    ClientAccess::record(client) = r;
}

int clientState(IClient* client) {
    return recordOf(client).state.load();
}

bool clientIsIdle(IClient* client) {
    const ClientInternal& r = recordOf(client);
    return r.state.load() == 0 && !r.madeByCreate && Detail::clientNow() - r.lastActive.load() > kIdleAfterMilliseconds;
}

bool clientLogin(IClient* client) {
    ClientInternal& r = recordOf(client);
    r.lastActive = Detail::clientNow();
    if (!client->login()) {
        return false;
    }
    {
        CGuard guard(r.loginTimeLock);
        r.loginTime = Virad::CTime::getCurrentTime();
    }
    r.state = 1;
    return true;
}

bool clientUpdateBroken(IClient* client) {
    ClientInternal& r = recordOf(client);
    r.lastActive = Detail::clientNow();
    if (!client->checkBroken()) {
        return false;
    }
    r.state = 2;
    return true;
}

long clientGetAndMarkUsing(IClient* client) {
    return recordOf(client).inUse.exchange(1);
}

namespace {

bool hasClass(const ClientInternal& r, const ClassID& classId) {
    const flex_string prefix = classPrefix(classId.id);
    return r.classId.size() >= prefix.size() && std::memcmp(r.classId.data(), prefix.data(), prefix.size()) == 0;
}

} // namespace

bool clientIsSameAs(IClient* client, const ClassID& classId, const ServerInfo& info) {
    const ClientInternal& r = recordOf(client);
    return hasClass(r, classId) && textEquals(r.text1, info.text1) && r.number1 == info.number1 &&
           textEquals(r.userName, info.userName) && textEquals(r.text3, info.text3) &&
           textEquals(r.text4, info.text4) && r.flag1 == info.flag1 && r.flag2 == info.flag2 &&
           textEquals(r.text5, info.text5) && textEquals(r.text6, info.text6) && textEquals(r.text7, info.text7) &&
           r.number3 == info.number3 && textEquals(r.text9, info.text9) && r.flag3 == info.flag3 &&
           r.flag4 == (info.flag4 != 0) && r.number4 == info.number4 && textEquals(r.text10, info.text10) &&
           textEquals(r.text11, info.text11);
}

bool clientIsSameAs(IClient* client, const ClassID& classId, int userId) {
    if (!hasClass(recordOf(client), classId)) {
        return false;
    }
    int id = -1;
    client->getUserID(id);
    return id == userId;
}

int ClientFactory::releaseClientObject(IClient* client) {
    VIRAD_ASSERT(client != NULL);
    return CClientInstanceList::releaseClientInstance(client);
}

// ---- The client instance list ----

CClientInstanceList* CClientInstanceList::instance() {
    return Common::ProcessWide<CClientInstanceList, Common::AtExit::retire>::instance(
        [] { return new (std::nothrow) CClientInstanceList; });
}

CClientInstanceList::CClientInstanceList() : m_timer("ClientCheck") {
    m_timer.start(Virad::CTimer::Proc(&CClientInstanceList::removeIdleClientInstance, this), 0, kCheckPeriod, 0,
                  kCheckTimeout);
}

CClientInstanceList::~CClientInstanceList() {
    m_timer.stopAndWait();
}

template <typename Match> IClient* CClientInstanceList::find(Match match, bool addReference) {
    CRecursiveGuard guard(m_lock);
    for (IClient* client : m_clients) {
        if (match(client)) {
            if (addReference) {
                CComponentHelper::makeComponentInstance(client);
            }
            return client;
        }
    }
    return nullptr;
}

IClient* CClientInstanceList::findByServer(const ClassID& classId, const ServerInfo& info) {
    return find([&](IClient* c) { return clientIsSameAs(c, classId, info) && clientState(c) != 2; }, false);
}

IClient* CClientInstanceList::findByServerAndRef(const ClassID& classId, const ServerInfo& info) {
    return find([&](IClient* c) { return clientIsSameAs(c, classId, info); }, true);
}

IClient* CClientInstanceList::findByUserId(const ClassID& classId, int userId) {
    return find([&](IClient* c) { return clientIsSameAs(c, classId, userId); }, false);
}

IClient* CClientInstanceList::findByUserIdAndRef(const ClassID& classId, int userId) {
    return find([&](IClient* c) { return clientIsSameAs(c, classId, userId); }, true);
}

void CClientInstanceList::add(IClient* client) {
    if (client != nullptr) {
        CRecursiveGuard guard(m_lock);
        m_clients.push_back(client);
    }
}

Common::Vector<IClient*> CClientInstanceList::clients() {
    CRecursiveGuard guard(m_lock);
    return m_clients;
}

int CClientInstanceList::releaseClientInstance(IClient* client) {
    VIRAD_ASSERT(client != NULL);
    // Late releases, after the list was torn down at exit, still count.
    CClientInstanceList* list = instance();
    int count;
    if (list != nullptr) {
        CRecursiveGuard guard(list->m_lock);
        count = decreaseRefCount(client);
        if (count == 0) {
            list->m_clients.erase(std::remove(list->m_clients.begin(), list->m_clients.end(), client),
                                  list->m_clients.end());
        }
    } else {
        count = decreaseRefCount(client);
    }
    if (count != 0) {
        return count;
    }
    client->logout();
    client->destroy();
    return 0;
}

void CClientInstanceList::removeIdleClientInstance(unsigned long) {
    ++m_checks;
    Common::Vector<IClient*> idle;
    {
        CRecursiveGuard guard(m_lock);
        for (auto at = m_clients.begin(); at != m_clients.end();) {
            if (clientIsIdle(*at) && refCountOf(*at) < 2) {
                idle.push_back(*at);
                at = m_clients.erase(at);
            } else {
                ++at;
            }
        }
    }
    for (IClient* client : idle) {
        VIRAD_ASSERT(client != NULL);
        if (decreaseRefCount(client) == 0) {
            client->logout();
            client->destroy();
        }
    }
}

// ---- The client factory wrapper ----

const char* Detail::IClientFactoryWrap::clsid() const {
    return m_original->clsid();
}

IClient* Detail::IClientFactoryWrap::create(const ServerInfo& info) {
    return make(info, true);
}

IClient* Detail::IClientFactoryWrap::createAndMake(const ServerInfo& info) {
    return make(info, false);
}

IClient* Detail::IClientFactoryWrap::make(const ServerInfo& info, bool madeByCreate) {
    CRecursiveGuard creation(creationLock());
    const char* const cid = m_original->clsid();
    const bool remote = std::strcmp(cid, ClassID::local.id) != 0;
    CClientInstanceList* list = CClientInstanceList::instance();
    if (remote && list != nullptr) {
        if (IClient* found = list->findByServer(ClassID(cid), info)) {
            found->addRef();
            return found;
        }
    }
    IClient* client = m_original->create(info);
    if (client == nullptr) {
        return nullptr;
    }
    clientCreateInternal(client, ClassID(cid), info, madeByCreate);
    if (madeByCreate) {
        clientGetAndMarkUsing(client);
    } else {
        CComponentHelper::makeComponentObject(client);
        client->addRef();
    }
    if (remote && list != nullptr) {
        if (IClient* found = list->findByServer(ClassID(cid), info)) {
            VIRAD_REPORT(Virad::LOG_ERROR,
                         "this:%p remote client instance:%p has been in CClientInstanceList already.\n",
                         static_cast<void*>(this), static_cast<void*>(found));
        }
    }
    if (list != nullptr) {
        list->add(client);
    }
    CComponentHelper::setAsCurrentUser(client);
    return client;
}

Detail::IClientFactoryWrap* Detail::clientFactoryWrapper(IClient::IFactory* factory) {
    WrapperTable& table = wrapperTable();
    CGuard guard(table.lock);
    IClientFactoryWrap*& wrapper = table.wrappers[factory];
    if (wrapper == nullptr) {
        wrapper = new (std::nothrow) IClientFactoryWrap(factory);
        VIRAD_ASSERT(wrapper);
    }
    return wrapper;
}

IClient* createClientFor(const ClassID& classId, const ServerInfo& info) {
    const flex_string prefix = classPrefix(classId.id);
    IClient* unused = nullptr;
    IFactoryUnknown* factory = CComponentHelper::getComponentFactory(IClient::IFactory::iid(), ClassID(prefix.c_str()),
                                                                     ServerInfo::none, unused);
    auto* wrapper = dynamic_cast<Detail::IClientFactoryWrap*>(factory);
    if (wrapper == nullptr) {
        Virad::setLastError(kErrorClientNotFound);
        return nullptr;
    }
    IClient* client = wrapper->createAndMake(info);
    if (client == nullptr) {
        Virad::setLastError(kErrorClientNotExist);
        return nullptr;
    }
    return client;
}

} // namespace Component
} // namespace Orvane
