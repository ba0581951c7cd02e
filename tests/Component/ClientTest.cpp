#include "component/Client.h"

#include "support/FakeClient.h"

using namespace Orvane::Component;
using namespace Orvane::Testing;
using Helper = Detail::CComponentHelper;

namespace {

FakeClientFactory g_clients("Cli");
FakeClientFactory g_localClients("Local");
FakeClientFactory g_remote("Cli.Remote");

class ClientTest : public ClientListTest {
protected:
    static void SetUpTestSuite() {
        ClientListTest::SetUpTestSuite();
        g_clients.registerFactory("Client");
        g_remote.registerFactory("IRemote");
    }
    void SetUp() override {
        g_clients.script.reset();
        g_localClients.script.reset();
    }

    Detail::IClientFactoryWrap* wrapper = Detail::clientFactoryWrapper(&g_clients);
};

// A status procedure's record of its calls.
struct Listener {
    void onStatus(void* data, ClassID classId, TComPtr<IClient> client, IClient::Status status, int value) {
        ++calls;
        seen = std::string(classId.id) + " " + std::to_string(status) + " " + std::to_string(value) + " " +
               std::to_string(data == &calls) + " " + std::to_string(countOf(client.get()));
        if (detachSelf) {
            client->detachStatusProc(proc());
        }
        if (replacement != nullptr) {
            replaced = client->attachStatusProc(replacement->proc()) ? "attached" : "refused";
        }
    }
    IClient::StatusProc proc(unsigned reuse = 0) { return IClient::StatusProc(&Listener::onStatus, this, reuse); }
    int calls = 0;
    bool detachSelf = false;
    Listener* replacement = nullptr; // attached from within the call
    std::string seen, replaced;
};

std::atomic<std::uint64_t> g_now{0};

} // namespace

TEST_F(ClientTest, WrapperSharesAClientPerRemoteServer) {
    IClient* first = wrapper->createAndMake(serverAt(1));
    EXPECT_EQ(countOf(first), 2) << "the list's and the caller's";
    EXPECT_EQ(wrapper->createAndMake(serverAt(1)), first);
    EXPECT_EQ(countOf(first), 3) << "shared, with a reference for the second caller";
    IClient* second = wrapper->create(serverAt(2));
    EXPECT_NE(second, first);
    EXPECT_EQ(countOf(second), 1) << "create leaves the list the only reference";
    EXPECT_EQ(g_clients.instance(7), first);
    EXPECT_EQ(countOf(first), 3) << "instance adds no reference";
    EXPECT_EQ(g_clients.instance(8), nullptr);

    auto* local = Detail::clientFactoryWrapper(&g_localClients);
    IClient* a = local->createAndMake(serverAt(1));
    IClient* b = local->createAndMake(serverAt(1));
    EXPECT_NE(a, b) << "local clients are never shared";
    for (IClient* client : {first, first, first, second, a, a, b, b}) {
        Helper::release(client);
    }
    EXPECT_EQ(g_clients.script.logouts.load(), 2);
    EXPECT_EQ(g_clients.script.destroys.load(), 2);
    EXPECT_EQ(g_localClients.script.destroys.load(), 2);
}

namespace {

// Every field a client keeps, as "name=value" (a null text as an empty one), so a failure names the field.
std::vector<std::string> keptFields(const ServerInfo& i) {
    auto text = [](const char* t) { return std::string(t != nullptr ? t : ""); };
    return {"text1=" + text(i.text1),
            "number1=" + std::to_string(i.number1),
            "userName=" + text(i.userName),
            "text3=" + text(i.text3),
            "text4=" + text(i.text4),
            "flag1=" + std::to_string(i.flag1),
            "flag2=" + std::to_string(i.flag2),
            "number2=" + std::to_string(i.number2),
            "text5=" + text(i.text5),
            "text6=" + text(i.text6),
            "text7=" + text(i.text7),
            "text8=" + text(i.text8),
            "number3=" + std::to_string(i.number3),
            "text9=" + text(i.text9),
            "flag3=" + std::to_string(i.flag3),
            "flag4=" + std::to_string(i.flag4),
            "number4=" + std::to_string(i.number4),
            "number5=" + std::to_string(i.number5),
            "text10=" + text(i.text10),
            "text11=" + text(i.text11),
            "text12=" + text(i.text12)};
}

// A description with every field set, each to a value of its own.
ServerInfo everyField() {
    ServerInfo i = serverAt(1);
    i.text3 = "t3";
    i.text4 = "t4";
    i.flag1 = 1;
    i.flag2 = 2;
    i.number2 = 22;
    i.text5 = "t5";
    i.text6 = "t6";
    i.text7 = "t7";
    i.text8 = "t8";
    i.number3 = 33;
    i.text9 = "t9";
    i.flag3 = 3;
    i.flag4 = 1;
    i.flagBits = 0x55;
    i.number4 = 44;
    i.number5 = 55;
    i.text10 = "t10";
    i.text11 = "t11";
    i.text12 = "t12";
    return i;
}

} // namespace

// One field changed at a time: a field of the identity makes another server, any other field the same one.
TEST_F(ClientTest, IdentityIsEveryMarkedFieldAndNoOther) {
    struct Change {
        const char* field;
        bool identity;
        void (*apply)(ServerInfo&);
    };
    const Change changes[] = {
        {"text1", true, [](ServerInfo& i) { i.text1 = "10.0.0.2"; }},
        {"number1", true, [](ServerInfo& i) { i.number1 = 2; }},
        {"userName", true, [](ServerInfo& i) { i.userName = "ann"; }},
        {"text3", true, [](ServerInfo& i) { i.text3 = "x"; }},
        {"text4", true, [](ServerInfo& i) { i.text4 = "x"; }},
        {"flag1", true, [](ServerInfo& i) { i.flag1 = 9; }},
        {"flag2", true, [](ServerInfo& i) { i.flag2 = 9; }},
        {"text5", true, [](ServerInfo& i) { i.text5 = "x"; }},
        {"text6", true, [](ServerInfo& i) { i.text6 = "x"; }},
        {"text7", true, [](ServerInfo& i) { i.text7 = "x"; }},
        {"number3", true, [](ServerInfo& i) { i.number3 = 9; }},
        {"text9", true, [](ServerInfo& i) { i.text9 = "x"; }},
        {"flag3", true, [](ServerInfo& i) { i.flag3 = 9; }},
        {"flag4", true, [](ServerInfo& i) { i.flag4 = 0; }},
        {"number4", true, [](ServerInfo& i) { i.number4 = 9; }},
        {"text10", true, [](ServerInfo& i) { i.text10 = "x"; }},
        {"text11", true, [](ServerInfo& i) { i.text11 = "x"; }},
        {"number2", false, [](ServerInfo& i) { i.number2 = 9; }},
        {"text8", false, [](ServerInfo& i) { i.text8 = "x"; }},
        {"flagBits", false, [](ServerInfo& i) { i.flagBits = 0x2A; }},
        {"extra", false, [](ServerInfo& i) { i.extra[1] = 9; }},
        {"number5", false, [](ServerInfo& i) { i.number5 = 9; }},
        {"text12", false, [](ServerInfo& i) { i.text12 = "x"; }},
        {"reserved", false, [](ServerInfo& i) { i.reserved[135] = 9; }},
        {"text3 null, was empty", false, [](ServerInfo& i) { i.text3 = nullptr; }},
        {"text1 in other storage", false,
         [](ServerInfo& i) {
             static char host[] = "10.0.0.1";
             i.text1 = host;
         }},
    };
    auto bytesOf = [](const ServerInfo& info) {
        return std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(&info),
                                          reinterpret_cast<const unsigned char*>(&info + 1));
    };
    const ServerInfo source = everyField();
    ServerInfo copy;
    copy = source;
    EXPECT_EQ(bytesOf(copy), bytesOf(source)) << "assignment copies every byte";
    for (const Change& change : changes) {
        ServerInfo base = everyField();
        base.text3 = ""; // equal to a null one
        ServerInfo changed = base;
        change.apply(changed);
        IClient* first = wrapper->createAndMake(base);
        IClient* second = wrapper->createAndMake(changed);
        EXPECT_EQ(second == first, !change.identity) << change.field;
        for (IClient* client : {first, second, first}) {
            Helper::release(client);
        }
        if (second != first) {
            Helper::release(second);
        }
    }
}

TEST_F(ClientTest, DescriptionAndOptionalOperations) {
    auto* local = Detail::clientFactoryWrapper(&g_localClients);
    const ServerInfo given = everyField();
    IClient* client = local->createAndMake(given);
    ServerInfo out;
    out.flagBits = 0x7F;
    out.extra[0] = 7;
    out.reserved[0] = 9;
    EXPECT_TRUE(client->getServerInfo(out));
    EXPECT_EQ(keptFields(out), keptFields(given));
    EXPECT_NE(out.text1, given.text1) << "texts point into the client";
    EXPECT_EQ(out.flagBits, 0x7F) << "left as the caller had it";
    EXPECT_EQ(out.extra[0], 7) << "left as the caller had it";
    EXPECT_EQ(out.reserved[0], 9) << "left as the caller had it";

    ServerInfo unnamed = serverAt(1);
    unnamed.userName = nullptr;
    IClient* a = local->createAndMake(unnamed);
    const std::string self = "this:" + address(a) + " ";
    CapturePrinter capture;
    EXPECT_TRUE(a->getServerInfo(out));
    EXPECT_TRUE(a->saveUserName("carol"));
    EXPECT_TRUE(a->saveUserName("dave"));
    EXPECT_TRUE(a->getServerInfo(out));
    EXPECT_STREQ(out.userName, "carol") << "the first saved name stays";
    Lines lines = capture.linesContaining(" Client.cpp:"); // not a timer worker's start-up
    for (std::string& line : lines) {
        line.erase(0, line.find(']') + 1);
    }
    EXPECT_EQ(lines, (Lines{self + "userName of client is a null string!\n",
                            self + "username of client has already saved.\n"}));

    Orvane::Virad::CTime time;
    ServerChallenge challenge;
    const std::pair<const char*, std::function<bool()>> optional[] = {
        {"getCurrentTime", [&] { return a->getCurrentTime(time); }},
        {"setCurrentTime", [&] { return a->setCurrentTime(time, 1); }},
        {"loginAgain", [&] { return a->loginAgain(out); }},
        {"checkAuthorityString", [&] { return a->checkAuthorityString("x"); }},
        {"loginFirst", [&] { return a->loginFirst(); }},
        {"getChallenge", [&] { return a->getChallenge(challenge); }},
    };
    for (const auto& [name, call] : optional) {
        Orvane::Virad::setLastError(0);
        EXPECT_FALSE(call()) << name;
        EXPECT_EQ(Orvane::Virad::getLastError(), 0x10030010) << name << ": an operation the client class lacks";
    }
    for (IClient* c : {client, client, a, a}) {
        Helper::release(c);
    }
    EXPECT_EQ(g_localClients.script.destroys.load(), 2);
}

TEST_F(ClientTest, CurrentUserIsPerThreadAndWhatTheClientWrites) {
    int fresh = -7;
    onThreads(1, [&fresh](int) { fresh = IClient::getCurrentUserID(); });
    EXPECT_EQ(fresh, 0) << "a thread that never used a client";
    g_clients.script.writesUserId = false;
    IClient* silent = wrapper->createAndMake(serverAt(6));
    EXPECT_EQ(IClient::getCurrentUserID(), -1) << "a client that writes no user id";
    g_clients.script.writesUserId = true;
    EXPECT_TRUE(Helper::setAsCurrentUser(silent));
    EXPECT_EQ(IClient::getCurrentUserID(), 7);
    EXPECT_FALSE(Helper::setAsCurrentUser(nullptr));
    EXPECT_EQ(IClient::getCurrentUserID(), 7) << "no client changes nothing";
    Helper::release(silent);
    Helper::release(silent);
}

TEST_F(ClientTest, StatusProceduresAreBoundedAndToldOfAnAbort) {
    IClient* client = wrapper->createAndMake(serverAt(2));
    Listener listeners[10];
    std::string attached;
    for (Listener& listener : listeners) {
        attached += client->attachStatusProc(listener.proc()) ? "1" : "0";
    }
    // Then: twice, empty, not attached, two detached, reuse-any refused, two reuse numbers of one procedure, both
    // detached by reuse-any (so the second is no longer there), empty, the two attached again.
    for (const auto& call :
         {client->attachStatusProc(listeners[0].proc()), client->attachStatusProc({}),
          client->detachStatusProc(listeners[8].proc()), client->detachStatusProc(listeners[7].proc()),
          client->detachStatusProc(listeners[6].proc()), client->attachStatusProc(listeners[8].proc(0xFFFFFFFF)),
          client->attachStatusProc(listeners[8].proc(20)), client->attachStatusProc(listeners[8].proc(21)),
          client->detachStatusProc(listeners[8].proc(0xFFFFFFFF)), client->detachStatusProc(listeners[8].proc(21)),
          client->detachStatusProc({}), client->attachStatusProc(listeners[6].proc()),
          client->attachStatusProc(listeners[7].proc())}) {
        attached += call ? "1" : "0";
    }
    EXPECT_EQ(attached, "1111111100"
                        "0001101110011")
        << "8 slots, then the calls above";

    // Listener 1 leaves during its call and asks for its slot for listener 9: the slot is not free until the call
    // returns, and the other seven are taken.
    client->setCustomData(&listeners[0].calls);
    listeners[1].detachSelf = true;
    listeners[1].replacement = &listeners[9];
    g_clients.script.logoutSucceeds = false;
    EXPECT_FALSE(client->abort(5)) << "abort gives logout's result";
    EXPECT_EQ(g_clients.script.logouts.load(), 1);
    std::vector<int> calls;
    for (const Listener& listener : listeners) {
        calls.push_back(listener.calls);
    }
    EXPECT_EQ(calls, std::vector<int>({1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(listeners[1].replaced, "refused");
    EXPECT_EQ(listeners[0].seen, "Cli 2 5 1 4") << "class, status, value, custom data, count with two TComPtr copies";
    EXPECT_TRUE(client->attachStatusProc(listeners[9].proc())) << "the self-detached slot is free after its call";
    EXPECT_FALSE(client->attachStatusProc(listeners[8].proc()));
    EXPECT_EQ(std::vector<int>({Helper::release(client), Helper::release(client)}), std::vector<int>({1, 0}));
}

TEST_F(ClientTest, IdleClientsGoAfterFiveMinutesOfSilence) {
    g_now = 1000;
    Detail::setClientClock(+[]() -> std::uint64_t { return g_now; });
    IClient* idle = wrapper->createAndMake(serverAt(1));
    Helper::release(idle);
    IClient* created = wrapper->create(serverAt(2));
    IClient* held = wrapper->createAndMake(serverAt(3));
    IClient* logged = wrapper->createAndMake(serverAt(4));
    ASSERT_TRUE(clientLogin(logged));
    g_clients.script.loginSucceeds = false;
    ASSERT_FALSE(clientLogin(logged)) << "logged in once, a failed login does not make it idle";
    Helper::release(logged);
    CClientInstanceList* list = CClientInstanceList::instance();

    g_now = 301000;
    list->removeIdleClientInstance(0);
    EXPECT_EQ(list->clients().size(), 4u) << "300000 ms is not more than 300000 ms";
    g_now = 301001;
    EXPECT_TRUE(Orvane::Testing::eventually([] { return g_clients.script.destroys.load() == 1; }))
        << "the ClientCheck timer drops the idle client";
    EXPECT_EQ(g_clients.script.logouts.load(), 1);
    EXPECT_EQ(list->clients(), Orvane::Common::Vector<IClient*>({created, held, logged}));
    for (IClient* client : {created, held, held, logged}) {
        Helper::release(client);
    }
    Detail::setClientClock(nullptr);
}

TEST_F(ClientTest, ConcurrentLookupsMakeOneClient) {
    const ServerInfo info = serverAt(5);
    for (int round = 1; round <= 10; ++round) {
        std::vector<TComPtr<IUnknown>> held(4);
        onThreads(4, [&info, &held](int t) {
            IClient* client = nullptr;
            if (Helper::getComponentFactory("IRemote", "Cli.Remote", info, client) == &g_remote) {
                held[t] = TComPtr<IUnknown>(new FakeComponent, client);
            }
        });
        for (const auto& pointer : held) {
            EXPECT_EQ(pointer.client(), held[0].client());
        }
        ASSERT_NE(held[0].client(), nullptr);
        EXPECT_EQ(countOf(held[0].client()), 4);
        EXPECT_EQ(g_clients.script.creates.load(), round);
        held.clear();
        EXPECT_EQ(g_clients.script.logouts.load(), round);
        EXPECT_EQ(g_clients.script.destroys.load(), round);
    }
}

namespace {

IClient* g_kept[2]; // reachable to the end, so a leak checker sees no leak
FakeClientFactory g_exitClients("Exit");

} // namespace

TEST(ClientDeathTest, ClientsWithoutTheirRecordAreAssertions) {
    Orvane::Testing::reexecuteDeathTests();
    ClientScript script;
    EXPECT_DEATH(
        {
            FakeClient bare(script);
            ServerInfo info;
            bare.getServerInfo(info);
        },
        R"(assertion \(m_internal\))");
    EXPECT_DEATH(ClientFactory::releaseClientObject(nullptr), R"(assertion \(client != NULL\))");
}

TEST(ClientDeathTest, ExitFreesTheListWithoutTouchingListedClients) {
    expectInFreshProcess(
        [] {
            std::atexit(+[] { // before the list exists, so it runs after the list's exit
                std::fprintf(stderr, "logouts=%d destroys=%d list=%s\n", g_exitClients.script.logouts.load(),
                             g_exitClients.script.destroys.load(), CClientInstanceList::instance() ? "kept" : "gone");
            });
            g_kept[0] = Detail::clientFactoryWrapper(&g_exitClients)->createAndMake(serverAt(1));
            g_kept[1] = Detail::clientFactoryWrapper(&g_exitClients)->create(serverAt(2));
        },
        "logouts=0 destroys=0 list=gone");
}
