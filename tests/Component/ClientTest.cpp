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
    }
    IClient::StatusProc proc(unsigned reuse = 0) { return IClient::StatusProc(&Listener::onStatus, this, reuse); }
    int calls = 0;
    bool detachSelf = false;
    std::string seen;
};

std::atomic<std::uint64_t> g_now{0};

} // namespace

TEST_F(ClientTest, WrapperSharesAClientPerRemoteServerAndKeepsItsDescription) {
    ServerInfo unnamed = serverAt(1), sameServer = serverAt(1), otherServer = serverAt(1);
    unnamed.userName = nullptr;
    sameServer.text8 = sameServer.text12 = "not identity";
    sameServer.number2 = sameServer.number5 = 5;
    otherServer.number4 = 1;
    ServerInfo copy;
    copy = otherServer;
    EXPECT_EQ(std::memcmp(&copy, &otherServer, sizeof copy), 0) << "assignment copies every byte";
    IClient* first = wrapper->createAndMake(serverAt(1));
    EXPECT_EQ(countOf(first) * 10 + countOf(wrapper->createAndMake(sameServer)), 23) << "list, caller; then shared";
    IClient* second = wrapper->create(otherServer);
    EXPECT_NE(second, first);
    EXPECT_EQ(countOf(second), 1) << "create leaves the list the only reference";
    EXPECT_EQ(g_clients.instance(7), first);
    EXPECT_EQ(g_clients.instance(8), nullptr);

    auto* local = Detail::clientFactoryWrapper(&g_localClients);
    IClient* a = local->createAndMake(unnamed);
    IClient* b = local->createAndMake(unnamed);
    EXPECT_NE(a, b) << "local clients are never shared";
    CapturePrinter capture;
    ServerInfo out;
    EXPECT_TRUE(a->getServerInfo(out) && a->saveUserName("carol") && a->saveUserName("dave") && a->getServerInfo(out));
    EXPECT_EQ(std::string(out.text1) + out.userName + std::to_string(out.number1), "10.0.0.1carol1");
    EXPECT_NE(out.text1, unnamed.text1) << "texts point into the client";
    const std::string self = "this:" + address(a) + " ";
    Lines lines = capture.linesContaining(" Client.cpp:"); // not a timer worker's start-up
    for (std::string& line : lines) {
        line.erase(0, line.find(']') + 1);
    }
    EXPECT_EQ(lines, (Lines{self + "userName of client is a null string!\n",
                            self + "username of client has already saved.\n"}));

    Orvane::Virad::CTime time;
    ServerChallenge challenge;
    EXPECT_FALSE(a->getCurrentTime(time) || a->setCurrentTime(time, 1) || a->loginAgain(out) ||
                 a->checkAuthorityString("x") || a->loginFirst() || a->getChallenge(challenge));
    EXPECT_EQ(Orvane::Virad::getLastError(), 0x10030010) << "optional operations a client class lacks";
    for (IClient* client : {first, first, first, second, a, a, b, b}) {
        Helper::release(client);
    }
    EXPECT_EQ(g_clients.script.logouts * 10 + g_clients.script.destroys + g_localClients.script.destroys, 24);
}

TEST_F(ClientTest, StatusProceduresAreBoundedAndToldOfAnAbort) {
    IClient* client = wrapper->createAndMake(serverAt(2));
    Listener listeners[10];
    std::string attached;
    for (Listener& listener : listeners) {
        attached += client->attachStatusProc(listener.proc()) ? "1" : "0";
    }
    for (const auto& call :
         {client->attachStatusProc(listeners[0].proc()), client->attachStatusProc({}),
          client->detachStatusProc(listeners[8].proc()), client->detachStatusProc(listeners[7].proc()),
          client->attachStatusProc(listeners[8].proc(0xFFFFFFFF)), client->attachStatusProc(listeners[8].proc(20)),
          client->detachStatusProc(listeners[8].proc(0xFFFFFFFF))}) {
        attached += call ? "1" : "0";
    }
    EXPECT_EQ(attached, "11111111000001011") << "8 slots; twice, empty, unknown, reuse-any fail";

    client->setCustomData(&listeners[0].calls);
    listeners[1].detachSelf = true;
    g_clients.script.logoutSucceeds = false;
    EXPECT_FALSE(client->abort(5)) << "abort gives logout's result";
    EXPECT_EQ(g_clients.script.logouts, 1);
    for (Listener& listener : listeners) {
        EXPECT_EQ(listener.calls, &listener < listeners + 7 ? 1 : 0);
    }
    EXPECT_EQ(listeners[0].seen, "Cli 2 5 1 4") << "class, status, value, custom data, count with two TComPtr copies";
    EXPECT_TRUE(client->attachStatusProc(listeners[7].proc()));
    EXPECT_TRUE(client->attachStatusProc(listeners[8].proc())) << "the self-detached slot is free again";
    EXPECT_FALSE(client->attachStatusProc(listeners[9].proc()));
    EXPECT_EQ(Helper::release(client) + Helper::release(client), 1);
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
        EXPECT_EQ(g_clients.script.logouts.load() * 100 + g_clients.script.destroys.load(), round * 101);
    }
}

namespace {

IClient* g_kept[2]; // reachable to the end, so a leak checker sees no leak
FakeClientFactory g_exitClients("Exit");

} // namespace

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
