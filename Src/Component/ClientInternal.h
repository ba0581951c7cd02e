// Internals of remote clients: the client record, the factory wrapper, the
// process-wide client instance list and the functions the registry uses to
// find, log in and release clients.
//
// Locks, outermost first: the client creation lock (wrapper create), the
// instance list's lock, a client's status procedure lock. The registry lock
// is never held while any of them is taken by the registry's own code, and
// no lock is held while a client's login, break check, logout, destroy or a
// status procedure runs.
#ifndef DOZUV2_COMPONENT_CLIENTINTERNAL_H
#define DOZUV2_COMPONENT_CLIENTINTERNAL_H

#include "Src/Common/Containers.h"
#include "component/Client.h"
#include "virad/CTime.h"
#include "virad/Mutex.h"
#include "virad/Timer.h"
#include "virad/devez3/detail/flex_string.h"

#include <atomic>
#include <cstdint>

namespace Orvane {
namespace Component {

// The attached status procedures of one client. A slot is free when it is
// not attached and no call through it is under way, so a procedure detached
// while it runs keeps its slot until it returns.
struct StatusProcList {
    static constexpr int kCapacity = 8;
    struct Slot {
        IClient::StatusProc proc;
        std::uint32_t state = 0; // 0 free, 1 attached
        std::uint8_t calling = 0;
    };

    int capacity = kCapacity;
    int attached = 0;
    Slot slots[kCapacity];
    Virad::CMutex lock;
    int notifyingThread = -1;

    // The attached count (> 0), or -4 empty, -5 reuse-any, -2 already attached, -3 full.
    int attach(const IClient::StatusProc& proc);
    // The attached count (>= 0), or -4 empty, -1 not attached.
    int detach(const IClient::StatusProc& proc);
};

// The client's copy of its server description (the identity fields and the
// kept ones) and its login state.
struct ClientInternal {
    Virad::flex_string classId;
    Virad::flex_string text1;
    int number1 = 0;
    Virad::flex_string userName;
    Virad::flex_string text3;
    Virad::flex_string text4;
    std::uint8_t flag1 = 0;
    std::uint8_t flag2 = 0;
    std::int16_t number2 = 0;
    Virad::flex_string text5;
    Virad::flex_string text6;
    Virad::flex_string text7;
    Virad::flex_string text8;
    int number3 = 0;
    Virad::flex_string text9;
    std::uint8_t flag3 = 0;
    bool flag4 = false;
    int number4 = 0;
    int number5 = 0;
    Virad::flex_string text10;
    Virad::flex_string text11;
    Virad::flex_string text12;
    bool userNameSaved = false;
    // Atomic: logins run on the callers' threads while the idle check reads.
    std::atomic<std::int32_t> state{0}; // 0 created, 1 logged in, 2 broken
    Virad::CTime loginTime;
    std::atomic<std::uint64_t> lastActive{0}; // ms of the client clock
    bool madeByCreate = false;
    std::atomic<std::int32_t> inUse{0};
    void* customData = nullptr;
    StatusProcList statusProcs;
    // Guards loginTime: two lookups may log one client in at the same time.
    Virad::CMutex loginTimeLock;
};

namespace Detail {

// Reaches the record of a client.
struct ClientAccess {
    static ClientInternal*& record(IClient* client) { return client->m_internal; }
};

// The wrapper the registry hands out for a client factory: it completes the
// clients the host's factory makes and lists them. One per factory, kept for
// the life of the process.
class IClientFactoryWrap : public IClient::IFactory {
public:
    explicit IClientFactoryWrap(IClient::IFactory* original) : m_original(original) {}
    const char* clsid() const override;
    // A client for the server that nobody else uses yet: its count stays 1
    // (the list's), and it is never dropped as idle.
    IClient* create(const ServerInfo& info) override;
    // A client for the server with a reference for the caller (count 2).
    IClient* createAndMake(const ServerInfo& info);

private:
    IClient* make(const ServerInfo& info, bool madeByCreate);

    IClient::IFactory* m_original;
};

// The wrapper of a registered client factory, made on first use.
IClientFactoryWrap* clientFactoryWrapper(IClient::IFactory* factory);

// The clock of idle removal: CTime::getCurrentMilliSecond unless a test
// installed its own (null puts the real one back).
using ClientClock = std::uint64_t (*)();
void setClientClock(ClientClock clock);
std::uint64_t clientNow();

} // namespace Detail

// Every live client of the process, and the "ClientCheck" timer that drops
// the idle ones. At exit the timer is stopped and the list freed; listed
// clients are left alone (not logged out, not destroyed): their servers and
// connections may already be gone.
class CClientInstanceList {
public:
    // The list; null once it was torn down at exit.
    static CClientInstanceList* instance();

    // Search 1: equal by server and not broken; no reference added.
    IClient* findByServer(const ClassID& classId, const ServerInfo& info);
    // Search 2: equal by server in any state, with a reference for the caller.
    IClient* findByServerAndRef(const ClassID& classId, const ServerInfo& info);
    // Search 3: equal by user id; no reference added.
    IClient* findByUserId(const ClassID& classId, int userId);
    // Search 4: equal by user id, with a reference for the caller.
    IClient* findByUserIdAndRef(const ClassID& classId, int userId);
    void add(IClient* client);
    // Drops one reference; the last one unlists, logs out and destroys.
    // The new count.
    static int releaseClientInstance(IClient* client);
    // The timer's work: unlists, releases and (at 0) logs out and destroys
    // every idle client nobody else holds.
    void removeIdleClientInstance(unsigned long);

    // For tests and for saveUserName: the list's lock and a snapshot.
    Virad::CRecursiveMutex& lock() { return m_lock; }
    Common::Vector<IClient*> clients();
    // For tests: how many idle checks have run (the timer's threads are
    // past their start once two have).
    unsigned checksRun() const { return m_checks.load(); }

    CClientInstanceList();
    ~CClientInstanceList();

private:
    template <typename Match> IClient* find(Match match, bool addReference);

    Virad::CRecursiveMutex m_lock;
    Common::Vector<IClient*> m_clients;
    Virad::CTimer m_timer;
    std::atomic<unsigned> m_checks{0};
};

namespace ClientFactory {
// CComponentHelper::release's route for clients.
int releaseClientObject(IClient* client);
} // namespace ClientFactory

// The client functions of the registry; each needs a completed client.
void clientCreateInternal(IClient* client, const ClassID& classId, const ServerInfo& info, bool madeByCreate);
// 0 created (never logged in), 1 logged in, 2 broken. One read, so that a
// caller choosing by state sees one consistent value.
int clientState(IClient* client);
// Never logged in, not made by create, and inactive for more than 5 minutes.
bool clientIsIdle(IClient* client);
bool clientLogin(IClient* client);
bool clientUpdateBroken(IClient* client);
long clientGetAndMarkUsing(IClient* client);
bool clientIsSameAs(IClient* client, const ClassID& classId, const ServerInfo& info);
bool clientIsSameAs(IClient* client, const ClassID& classId, int userId);
// A listed, logged-out client made by the registered factory of the class
// id's client class, with a reference for the caller; null (last error
// 0x10030002 or 0x10030003) when none can be made.
IClient* createClientFor(const ClassID& classId, const ServerInfo& info);
// The class prefix of a class id: its text up to the first dot.
Virad::flex_string classPrefix(const char* classId);

} // namespace Component
} // namespace Orvane

#endif
