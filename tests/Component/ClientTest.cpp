#include "component/Client.h"

#include "Component/ClientInternal.h"
#include "Component/UnknownInternal.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "support/FakeClient.h"
#include "virad/LastError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <iterator>
#include <thread>
#include <vector>

using namespace Orvane::Component;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::countOf;
using Orvane::Testing::FakeClientFactory;
using Orvane::Testing::FakeComponent;
using Orvane::Testing::FakeComponentFactory;
using Helper = Detail::CComponentHelper;

namespace {

FakeClientFactory g_clients("Cli");
FakeClientFactory g_localClients("Local");
FakeComponentFactory g_remote("Cli.Remote");

ServerInfo server(int port) {
    ServerInfo info;
    info.text1 = "10.0.0.1";
    info.number1 = port;
    info.userName = "bob";
    return info;
}

class ClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CClientInstanceList::instance(); // its timer manager's start-up lines come before any capture
        g_clients.registerFactory("Client");
        g_remote.registerFactory("IRemote");
    }
    void SetUp() override {
        g_clients.script.reset();
        g_localClients.script.reset();
    }
    void TearDown() override { EXPECT_TRUE(CClientInstanceList::instance()->clients().empty()); }

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
std::uint64_t fakeNow() {
    return g_now;
}

} // namespace

TEST_F(ClientTest, ClientKeepsACopyOfItsServerAndTheFirstSavedName) {
    ServerInfo in = server(80);
    in.userName = nullptr;
    in.text8 = "kept";
    in.number2 = -2;
    in.flag4 = 1;
    in.reserved[0] = 9;
    ServerInfo copy;
    copy = in;
    EXPECT_EQ(std::memcmp(&copy, &in, sizeof in), 0) << "assignment copies every byte";
    IClient* client = wrapper->createAndMake(in);
    ServerInfo out;
    CapturePrinter capture;
    EXPECT_TRUE(client->getServerInfo(out));
    EXPECT_NE(out.text1, in.text1) << "texts point into the client";
    EXPECT_EQ(std::string(out.text1) + out.text8 + "|" + out.userName + "|" + std::to_string(out.number1) +
                  std::to_string(out.number2) + std::to_string(out.flag4) + std::to_string(out.reserved[0]),
              "10.0.0.1kept||80-210");
    EXPECT_TRUE(client->saveUserName("carol"));
    EXPECT_TRUE(client->saveUserName("dave"));
    client->getServerInfo(out);
    EXPECT_STREQ(out.userName, "carol");
    const std::vector<std::string> bodies = capture.bodies();
    char expected[2][80];
    std::snprintf(expected[0], 80, "this:%p userName of client is a null string!\n", static_cast<void*>(client));
    std::snprintf(expected[1], 80, "this:%p username of client has already saved.\n", static_cast<void*>(client));
    EXPECT_EQ(bodies, std::vector<std::string>(std::begin(expected), std::end(expected)));

    Orvane::Virad::CTime time;
    ServerChallenge challenge;
    const bool optional[] = {client->getCurrentTime(time), client->setCurrentTime(time, 1),
                             client->loginAgain(in),       client->checkAuthorityString("x"),
                             client->loginFirst(),         client->getChallenge(challenge)};
    EXPECT_EQ(std::count(std::begin(optional), std::end(optional), false), 6);
    EXPECT_EQ(Orvane::Virad::getLastError(), 0x10030010);
    EXPECT_EQ(challenge.values[26] + static_cast<int>(challenge.texts[4].size()), 0);
    client->setCustomData(&copy);
    EXPECT_EQ(client->getCustomData(), &copy);
    EXPECT_EQ(Helper::release(client) + Helper::release(client), 1);
}

TEST_F(ClientTest, WrapperSharesAClientPerRemoteServer) {
    IClient* first = wrapper->createAndMake(server(1));
    EXPECT_EQ(countOf(first), 2) << "one reference for the list, one for the caller";
    ServerInfo sameServer = server(1);
    sameServer.text8 = sameServer.text12 = "not identity";
    sameServer.number2 = 4;
    sameServer.number5 = 5;
    EXPECT_EQ(wrapper->createAndMake(sameServer), first);
    EXPECT_EQ(countOf(first), 3);
    ServerInfo otherServer = server(1);
    otherServer.number4 = 1;
    IClient* second = wrapper->create(otherServer);
    EXPECT_NE(second, first);
    EXPECT_EQ(countOf(second), 1) << "create leaves the list the only reference";
    EXPECT_EQ(g_clients.instance(7), first);
    EXPECT_EQ(g_clients.instance(8), nullptr);

    auto* local = Detail::clientFactoryWrapper(&g_localClients);
    IClient* a = local->createAndMake(server(1));
    IClient* b = local->createAndMake(server(1));
    EXPECT_NE(a, b) << "local clients are never shared";
    for (IClient* client : {first, first, first, second, a, a, b, b}) {
        Helper::release(client);
    }
    EXPECT_EQ(g_clients.script.logouts.load() * 10 + g_clients.script.destroys.load(), 22);
    EXPECT_EQ(g_localClients.script.destroys.load(), 2);
}

TEST_F(ClientTest, StatusProceduresAreBoundedAndToldOfAnAbort) {
    IClient* client = wrapper->createAndMake(server(2));
    Listener listeners[10];
    std::string attached;
    for (Listener& listener : listeners) {
        attached += client->attachStatusProc(listener.proc()) ? "1" : "0";
    }
    EXPECT_EQ(attached, "1111111100");
    EXPECT_FALSE(client->attachStatusProc(listeners[0].proc())) << "attached already";
    EXPECT_FALSE(client->attachStatusProc(IClient::StatusProc()));
    EXPECT_FALSE(client->detachStatusProc(listeners[8].proc()));
    EXPECT_TRUE(client->detachStatusProc(listeners[7].proc()));
    EXPECT_FALSE(client->attachStatusProc(listeners[8].proc(0xFFFFFFFF))) << "reuse-any cannot be attached";
    EXPECT_TRUE(client->attachStatusProc(listeners[8].proc(20)));
    EXPECT_TRUE(client->detachStatusProc(listeners[8].proc(0xFFFFFFFF)));

    client->setCustomData(&listeners[0].calls);
    listeners[1].detachSelf = true;
    g_clients.script.logoutSucceeds = false;
    EXPECT_FALSE(client->abort(5)) << "abort gives logout's result";
    EXPECT_EQ(g_clients.script.logouts.load(), 1);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(listeners[i].calls, i < 7 ? 1 : 0) << i;
    }
    EXPECT_EQ(listeners[0].seen, "Cli 2 5 1 4") << "class, status, value, custom data, count with two TComPtr copies";
    EXPECT_TRUE(client->attachStatusProc(listeners[7].proc()));
    EXPECT_TRUE(client->attachStatusProc(listeners[8].proc())) << "the self-detached slot is free again";
    EXPECT_FALSE(client->attachStatusProc(listeners[9].proc()));
    EXPECT_EQ(Helper::release(client) + Helper::release(client), 1);
}

TEST_F(ClientTest, IdleClientsGoAfterFiveMinutesOfSilence) {
    g_now = 1000;
    Detail::setClientClock(&fakeNow);
    IClient* idle = wrapper->createAndMake(server(1));
    Helper::release(idle);
    IClient* created = wrapper->create(server(2));
    IClient* held = wrapper->createAndMake(server(3));
    IClient* logged = wrapper->createAndMake(server(4));
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
    EXPECT_EQ(list->clients(), std::vector<IClient*>({created, held, logged}));
    for (IClient* client : {created, held, held, logged}) {
        Helper::release(client);
    }
    Detail::setClientClock(nullptr);
}

TEST_F(ClientTest, ConcurrentLookupsMakeOneClient) {
    const ServerInfo info = server(5);
    for (int round = 1; round <= 10; ++round) {
        std::vector<TComPtr<IUnknown>> held(4);
        std::vector<std::thread> threads;
        for (auto& slot : held) {
            threads.emplace_back([&info, &slot] {
                IClient* client = nullptr;
                if (Helper::getComponentFactory("IRemote", "Cli.Remote", info, client) == &g_remote) {
                    slot = TComPtr<IUnknown>(new FakeComponent, client);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        for (const auto& pointer : held) {
            ASSERT_NE(pointer.client(), nullptr);
            EXPECT_EQ(pointer.client(), held[0].client());
        }
        EXPECT_EQ(countOf(held[0].client()), 4);
        EXPECT_EQ(g_clients.script.creates.load(), round);
        held.clear();
        EXPECT_EQ(g_clients.script.logouts.load() * 100 + g_clients.script.destroys.load(), round * 101);
    }
}

namespace {

IClient* g_kept[2]; // reachable to the end, so a leak checker sees no leak
FakeClientFactory g_exitClients("Exit");

void reportAtExit() {
    std::fprintf(stderr, "logouts=%d destroys=%d list=%s\n", g_exitClients.script.logouts.load(),
                 g_exitClients.script.destroys.load(), CClientInstanceList::instance() ? "kept" : "gone");
}

} // namespace

TEST(ClientDeathTest, ExitFreesTheListWithoutTouchingListedClients) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit(&reportAtExit); // before the list exists, so it runs after the list's exit
            g_kept[0] = Detail::clientFactoryWrapper(&g_exitClients)->createAndMake(server(1));
            g_kept[1] = Detail::clientFactoryWrapper(&g_exitClients)->create(server(2));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "logouts=0 destroys=0 list=gone");
}
