// The factory registry: registration, lookups (with the remote client a
// remote class needs), class-id lists and the component error texts.
//
// The registry is a two-level map, interface id to class id to factory, in
// byte order, guarded by a recursive lock: client creation looks up the
// "Client" interface from inside a lookup, and a factory may register others
// while one runs. Entries are never erased, so code that walks or extends the
// registry (the dynamic creators, component selection) can rely on an entry,
// once made, staying where it is; a null factory means "unregistered".
//
// Lookups of remote classes log their client in before the lock is taken,
// and release clients only after it is left, so neither a slow login nor a
// client's final logout ever holds the registry.
#include "component/Factory.h"

#include "Src/Common/Containers.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Component/ClientInternal.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string_view>

namespace Orvane {
namespace Component {

using Detail::CComponentHelper;
using Virad::flex_string;

namespace {

// Byte order over stored keys and looked-up texts, measuring each text once.
struct ByteOrder {
    using is_transparent = void;
    static std::string_view view(const flex_string& s) { return std::string_view(s.data(), s.size()); }
    bool operator()(const flex_string& a, const flex_string& b) const { return a < b; }
    bool operator()(const flex_string& a, std::string_view b) const { return view(a) < b; }
    bool operator()(std::string_view a, const flex_string& b) const { return a < view(b); }
};

struct Registry {
    using ClassMap = Common::Map<flex_string, IFactoryUnknown*, ByteOrder>;

    Virad::CRecursiveMutex lock;
    Common::Map<flex_string, ClassMap, ByteOrder> factories;
    std::atomic<bool> messagesRegistered{false};
};

// Lives from load to the very end: factories of other libraries unregister
// from their own exit code, after this library's exit handlers have run.
Registry& registry() {
    return *Common::ProcessWide<Registry, Common::AtExit::never>::instance([] { return new (std::nothrow) Registry; });
}

[[maybe_unused]] Registry& g_registryAtLoad = registry();

std::string_view textOf(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

const struct {
    int code;
    const char* text;
} kMessages[] = {
    {kErrorInterfaceNotFound, "Component error: interface not found!"},
    {kErrorClassNotFound, "Component error: class not found!"},
    {kErrorClientNotFound, "Component error: client not found!"},
    {kErrorClientNotExist, "Component error: client not exist!"},
    {kErrorNotLoggedIn, "Component error: not login yet!"},
    {kErrorTryingLogin, "Component error: tring login!"},
    {kErrorUserNameInvalid, "Component error: user's name not valid!"},
    {kErrorPasswordInvalid, "Component error: password not valid!"},
    {kErrorPeerBlocked, "Component error: peer has been blocked!"},
    {kErrorPeerBlacklisted, "Component error: peer in blacklist!"},
    {kErrorUserNameInUse, "Component error: user's name has been used!"},
    {kErrorTooManyConnections, "Component error: too many connections!"},
    {kErrorNoAuthority, "Component error: no authority!"},
    {kErrorCreateObjectFailed, "Component error: creating object failed!"},
    {kErrorGetInstanceFailed, "Component error: getting instance failed!"},
    {kErrorLoginChallenge, "Component error: login challenge!"},
    {kErrorUserOrPasswordInvalid, "Component error: User or password not valid!"},
};

// The client a remote lookup works through, logged in, with a reference for
// the lookup; null (reported) when none could be found, made or logged in.
IClient* loggedInClient(const char* iid, const ClassID& classId, const ServerInfo& info) {
    CClientInstanceList* list = CClientInstanceList::instance();
    IClient* client = list != nullptr ? list->findByServerAndRef(classId, info) : nullptr;
    if (client == nullptr) {
        client = createClientFor(classId, info);
        if (client == nullptr) {
            VIRAD_REPORT(Virad::LOG_ERROR, "iid:%s could not been got because clientInstance could not be created.\n",
                         iid);
            return nullptr;
        }
        if (!clientLogin(client)) {
            CComponentHelper::release(client);
            VIRAD_REPORT(Virad::LOG_DEBUG, "iid:%s could not been generated because log failed.\n", iid);
            return nullptr;
        }
        return client;
    }
    switch (clientState(client)) {
    case 0:
    case 2:
        if (!clientLogin(client)) {
            CComponentHelper::release(client);
            VIRAD_REPORT(Virad::LOG_DEBUG, "iid:%s could not been got because log failed.\n", iid);
            return nullptr;
        }
        return client;
    case 1:
        if (clientUpdateBroken(client) && !clientLogin(client)) {
            CComponentHelper::release(client);
            VIRAD_REPORT(Virad::LOG_DEBUG, "iid:%s could not been got because re-log failed.\n", iid);
            return nullptr;
        }
        return client;
    default:
        VIRAD_REPORT(Virad::LOG_ERROR, "Virad.getComponentFactory(): client state is unknown!\n");
        CComponentHelper::release(client);
        return nullptr;
    }
}

// The registered factory (or the wrapper of a client factory), with the
// lookup's client handed to the caller.
IFactoryUnknown* registeredFactory(const char* iid, const ClassID& classId, bool clientLookup, IClient* user,
                                   IClient*& client) {
    Registry& r = registry();
    IFactoryUnknown* factory = nullptr;
    int error = 0;
    r.lock.enter();
    const auto entry = r.factories.find(textOf(iid));
    if (entry == r.factories.end()) {
        error = kErrorInterfaceNotFound;
    } else {
        const auto found = entry->second.find(textOf(classId.id));
        if (found == entry->second.end()) {
            error = kErrorClassNotFound;
        } else {
            factory = found->second;
        }
    }
    r.lock.leave();
    if (error != 0) {
        CComponentHelper::release(user);
        Virad::setLastError(error);
        return nullptr;
    }
    if (user != nullptr) {
        CComponentHelper::setAsCurrentUser(user);
        client = user;
    }
    if (clientLookup) {
        // A wrapper cannot be built around an unregistered (or foreign) factory.
        auto* clientFactory = dynamic_cast<IClient::IFactory*>(factory);
        if (clientFactory == nullptr) {
            Virad::setLastError(kErrorClassNotFound);
            return nullptr;
        }
        return Detail::clientFactoryWrapper(clientFactory);
    }
    // The first lookup through a client leaves the list holding the only
    // reference; later ones keep theirs for the caller's component.
    if (user != nullptr && clientGetAndMarkUsing(user) == 0) {
        CComponentHelper::release(user);
    }
    return factory;
}

bool isClientInterface(const char* iid) {
    return iid != nullptr && std::strcmp(iid, IClient::IFactory::iid()) == 0;
}

} // namespace

IFactoryUnknown::~IFactoryUnknown() = default;

bool IFactoryUnknown::registerFactory(const char* iid) {
    Registry& r = registry();
    if (!r.messagesRegistered.exchange(true)) {
        for (const auto& message : kMessages) {
            Virad::setErrMsg(message.code, message.text);
        }
    }
    Virad::CRecursiveGuard guard(r.lock);
    r.factories[flex_string(iid)][flex_string(clsid())] = this;
    return true;
}

bool IFactoryUnknown::unregisterFactory(const char* iid) {
    Registry& r = registry();
    Virad::CRecursiveGuard guard(r.lock);
    r.factories[flex_string(iid)][flex_string(clsid())] = nullptr;
    return true;
}

IFactoryUnknown* CComponentHelper::getComponentFactory(const char* iid, const ClassID& classId, const ServerInfo& info,
                                                       IClient*& client) {
    client = nullptr;
    const bool clientLookup = isClientInterface(iid);
    IClient* user = nullptr;
    if (!clientLookup && &info != &ServerInfo::none) {
        user = loggedInClient(iid, classId, info);
        if (user == nullptr) {
            return nullptr;
        }
    }
    return registeredFactory(iid, classId, clientLookup, user, client);
}

IFactoryUnknown* CComponentHelper::getComponentFactory(const char* iid, const ClassID& classId, int userId,
                                                       IClient*& client) {
    client = nullptr;
    const bool clientLookup = isClientInterface(iid);
    IClient* user = nullptr;
    if (!clientLookup && userId != -1) {
        CClientInstanceList* list = CClientInstanceList::instance();
        user = list != nullptr ? list->findByUserIdAndRef(classId, userId) : nullptr;
        if (user == nullptr) {
            return nullptr;
        }
    }
    return registeredFactory(iid, classId, clientLookup, user, client);
}

// ---- ClassIDList ----

struct ClassIDListInternal {
    Common::Vector<flex_string> ids;
};

ClassIDList::ClassIDList(const char* iid) : m_internal(new (std::nothrow) ClassIDListInternal) {
    VIRAD_ASSERT(m_internal);
    m_internal->ids.reserve(8);
    Registry& r = registry();
    Virad::CRecursiveGuard guard(r.lock);
    const auto entry = r.factories.find(textOf(iid));
    if (entry != r.factories.end()) {
        m_internal->ids.reserve(entry->second.size());
        for (const auto& item : entry->second) {
            m_internal->ids.push_back(item.first);
        }
    }
}

ClassIDList::~ClassIDList() {
    delete m_internal;
}

unsigned long long ClassIDList::count() const {
    return m_internal->ids.size();
}

flex_string ClassIDList::operator[](int index) const {
    VIRAD_ASSERT((size_t)index < m_internal->ids.size());
    return m_internal->ids[static_cast<std::size_t>(index)];
}

} // namespace Component
} // namespace Orvane
