#include "component/Factory.h"

#include "Component/ClientInternal.h"
#include "Component/UnknownInternal.h"
#include "support/CapturePrinter.h"
#include "support/FakeClient.h"
#include "virad/LastError.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Orvane::Component;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::countOf;
using Orvane::Testing::FakeClientFactory;
using Orvane::Testing::FakeComponentFactory;
using Orvane::Virad::getLastError;
using Orvane::Virad::setLastError;

namespace {

FakeClientFactory g_clients("Fake");
FakeClientFactory g_noClients("Empty");
FakeComponentFactory g_remoteEcho("Fake.Echo");
FakeComponentFactory g_localEcho("Local");
FakeComponentFactory g_orphanEcho("Orphan.Echo");
FakeComponentFactory g_emptyEcho("Empty.Echo");

class ComponentFactoryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CClientInstanceList::instance(); // its timer manager's start-up lines come before any capture
        g_clients.registerFactory("Client");
        g_noClients.registerFactory("Client");
        for (FakeComponentFactory* factory : {&g_remoteEcho, &g_localEcho, &g_orphanEcho, &g_emptyEcho}) {
            factory->registerFactory("IEcho");
        }
    }
    void SetUp() override {
        g_clients.script.reset();
        g_noClients.script.reset();
        g_noClients.script.makeNone = true;
        info.text1 = "127.0.0.1";
        info.userName = "alice";
    }
    // Looks the remote echo class up; the factory found, or null.
    IFactoryUnknown* lookUp(const char* cid = "Fake.Echo") {
        return Detail::CComponentHelper::getComponentFactory("IEcho", ClassID(cid), info, client);
    }

    ServerInfo info;
    IClient* client = nullptr;
};

} // namespace

TEST_F(ComponentFactoryTest, RegistryKeepsTheLastFactoryAndListsUnregisteredClasses) {
    FakeComponentFactory first("Beta"), second("Beta"), alpha("Alpha");
    second.registerFactory("IList");
    alpha.registerFactory("IList");
    first.registerFactory("IList");
    second.registerFactory("IList");
    IClient* none = nullptr;
    EXPECT_EQ(Detail::CComponentHelper::getComponentFactory("IList", "Beta", ServerInfo::none, none), &second);
    EXPECT_EQ(none, nullptr);
    first.unregisterFactory("IList");
    setLastError(0);
    EXPECT_EQ(Detail::CComponentHelper::getComponentFactory("IList", "Beta", -1, none), nullptr);
    EXPECT_EQ(getLastError(), 0) << "an unregistered class is found, without a factory";
    const ClassIDList list("IList");
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(std::string(list[0].c_str()) + "," + list[1].c_str(), "Alpha,Beta");
    EXPECT_EQ(ClassIDList("INeverRegistered").count(), 0u);
    alpha.unregisterFactory("IList");
    second.unregisterFactory("IList");

    const std::vector<std::pair<int, const char*>> texts = {
        {0x10030000, "Component error: interface not found!"},
        {0x10030001, "Component error: class not found!"},
        {0x10030002, "Component error: client not found!"},
        {0x10030003, "Component error: client not exist!"},
        {0x10030004, "Component error: not login yet!"},
        {0x10030005, "Component error: tring login!"},
        {0x10030006, "Component error: user's name not valid!"},
        {0x10030007, "Component error: password not valid!"},
        {0x10030008, "Component error: peer has been blocked!"},
        {0x10030009, "Component error: peer in blacklist!"},
        {0x1003000A, "Component error: user's name has been used!"},
        {0x1003000B, "Component error: too many connections!"},
        {0x1003000C, "Component error: no authority!"},
        {0x1003000D, "Component error: creating object failed!"},
        {0x1003000E, "Component error: getting instance failed!"},
        {0x1003000F, "Component error: login challenge!"},
        {0x10030015, "Component error: User or password not valid!"},
        {0x10030010, ""},
    };
    for (const auto& text : texts) {
        EXPECT_STREQ(Orvane::Virad::getErrMsg(text.first), text.second) << std::hex << text.first;
    }
}

TEST_F(ComponentFactoryTest, FailuresSetTheirCodesAndReportAtTheirLevels) {
    IClient* held = nullptr;
    const ServerInfo zeroes; // equal to ServerInfo::none, but not it: still a remote lookup
    struct Row {
        const char* what;
        std::function<IFactoryUnknown*()> call;
        int error;
        const char* level; // the level's word in the line's prefix
        const char* line;  // "" when nothing is reported
    };
    const char* const notMade = "iid:IEcho could not been got because clientInstance could not be created.\n";
    const std::vector<Row> rows = {
        {"interface", [&] { return Detail::CComponentHelper::getComponentFactory("INone", "Local", -1, client); },
         0x10030000, "", ""},
        {"class", [&] { return Detail::CComponentHelper::getComponentFactory("IEcho", "Other", -1, client); },
         0x10030001, "", ""},
        {"no client class",
         [&] { return Detail::CComponentHelper::getComponentFactory("IEcho", "Orphan.Echo", zeroes, client); },
         0x10030002, "error ", notMade},
        {"no client made", [&] { return lookUp("Empty.Echo"); }, 0x10030003, "error ", notMade},
        {"new client's login",
         [&] {
             g_clients.script.loginSucceeds = false;
             return lookUp();
         },
         0x10030007, "trace ", "iid:IEcho could not been generated because log failed.\n"},
        {"listed client's login", [&] { return lookUp(); }, 0x10030007, "trace ",
         "iid:IEcho could not been got because log failed.\n"},
        {"re-login",
         [&] {
             g_clients.script.loginSucceeds = true;
             lookUp();
             held = client;
             g_clients.script.broken = true;
             g_clients.script.loginSucceeds = false;
             g_clients.script.loginError = 0x10030015;
             return lookUp();
         },
         0x10030015, "trace ", "iid:IEcho could not been got because re-log failed.\n"},
        {"broken client's login", [&] { return lookUp(); }, 0x10030015, "trace ",
         "iid:IEcho could not been got because log failed.\n"},
        {"unknown state",
         [&] {
             Detail::ClientAccess::record(held)->state = 5;
             return lookUp();
         },
         0, "error ", "Virad.getComponentFactory(): client state is unknown!\n"},
        {"no such user", [&] { return Detail::CComponentHelper::getComponentFactory("IEcho", "Fake.Echo", 8, client); },
         0, "", ""},
    };
    for (const Row& row : rows) {
        CapturePrinter capture(true, 6);
        setLastError(0);
        client = reinterpret_cast<IClient*>(&capture); // any value: the call must clear it
        EXPECT_EQ(row.call(), nullptr) << row.what;
        EXPECT_EQ(client, nullptr) << row.what;
        EXPECT_EQ(getLastError(), row.error) << row.what;
        const std::vector<std::string> lines = capture.lines();
        ASSERT_EQ(lines.size(), row.line[0] != 0 ? 1u : 0u) << row.what;
        if (!lines.empty()) {
            EXPECT_EQ(lines[0].substr(lines[0].find(']') + 1), row.line);
            EXPECT_NE(lines[0].find(row.level), std::string::npos) << lines[0];
        }
    }
    EXPECT_EQ(countOf(held), 1) << "every failed lookup gave back its reference";
    EXPECT_EQ(g_clients.script.creates.load(), 1);
    Detail::ClientAccess::record(held)->state = 1;
    EXPECT_EQ(Detail::CComponentHelper::release(held), 0);
    EXPECT_EQ(g_clients.script.logouts.load() * 10 + g_clients.script.destroys.load(), 11);
}

TEST_F(ComponentFactoryTest, RemoteLookupsShareOneLoggedInClientAndReLogAfterABreak) {
    ASSERT_EQ(lookUp(), &g_remoteEcho);
    IClient* first = client;
    EXPECT_EQ(countOf(first), 1) << "the first use leaves the list the only reference";
    EXPECT_EQ(IClient::getCurrentUserID(), 7);
    g_clients.script.broken = true;
    g_clients.script.userId = 9;
    ASSERT_EQ(lookUp(), &g_remoteEcho);
    EXPECT_EQ(client, first);
    EXPECT_EQ(countOf(first), 2) << "later lookups keep their reference";
    EXPECT_EQ(g_clients.script.logins.load() * 10 + g_clients.script.checks.load(), 21) << "re-logged once";
    EXPECT_EQ(IClient::getCurrentUserID(), 9);

    ASSERT_EQ(Detail::CComponentHelper::getComponentFactory("IEcho", "Fake.Echo", 9, client), &g_remoteEcho);
    EXPECT_EQ(client, first);
    EXPECT_EQ(countOf(first), 3);
    ASSERT_EQ(Detail::CComponentHelper::getComponentFactory("IEcho", "Local", -1, client), &g_localEcho);
    EXPECT_EQ(client, nullptr);
    EXPECT_EQ(g_clients.script.creates.load(), 1);
    EXPECT_EQ(Detail::CComponentHelper::release(first) + Detail::CComponentHelper::release(first), 3);
    EXPECT_EQ(Detail::CComponentHelper::release(first), 0);
    EXPECT_EQ(g_clients.script.logouts.load() * 10 + g_clients.script.destroys.load(), 11);
}

TEST_F(ComponentFactoryTest, ClientLookupsGiveOneWrapperPerFactory) {
    IClient* none = nullptr;
    IFactoryUnknown* wrapper = Detail::CComponentHelper::getComponentFactory("Client", "Fake", info, none);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_NE(wrapper, &g_clients);
    EXPECT_STREQ(wrapper->clsid(), "Fake");
    EXPECT_EQ(none, nullptr) << "a client lookup never uses a client";
    EXPECT_EQ(Detail::CComponentHelper::getComponentFactory("Client", "Fake", ServerInfo::none, none), wrapper);
    EXPECT_EQ(g_clients.script.creates.load(), 0);
    FakeComponentFactory unregistered("Gone");
    unregistered.registerFactory("Client");
    unregistered.unregisterFactory("Client");
    setLastError(0);
    EXPECT_EQ(Detail::CComponentHelper::getComponentFactory("Client", "Gone", -1, none), nullptr);
    EXPECT_EQ(getLastError(), 0x10030001);
}

TEST(ComponentFactoryDeathTest, ClassIdListIndexIsChecked) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const ClassIDList list("INeverRegistered");
    EXPECT_DEATH(list[-1], R"(assertion \(\(size_t\)index < m_internal->ids\.size\(\)\))");
    EXPECT_DEATH(list[0], R"(assertion \(\(size_t\)index < m_internal->ids\.size\(\)\))");
}
