#include "component/Factory.h"

#include "support/FakeClient.h"

using namespace Orvane::Component;
using namespace Orvane::Testing;
using Orvane::Virad::getLastError;
using Orvane::Virad::setLastError;
using Helper = Detail::CComponentHelper;

namespace {

FakeClientFactory g_clients("Fake");
FakeClientFactory g_noClients("Empty");
FakeClientFactory g_remoteEcho("Fake.Echo"), g_localEcho("Local"), g_orphanEcho("Orphan.Echo"),
    g_emptyEcho("Empty.Echo");

class ComponentFactoryTest : public ClientListTest {
protected:
    static void SetUpTestSuite() {
        ClientListTest::SetUpTestSuite();
        g_noClients.script.makeNone = true;
        g_clients.registerFactory("Client");
        g_noClients.registerFactory("Client");
        for (FakeClientFactory* factory : {&g_remoteEcho, &g_localEcho, &g_orphanEcho, &g_emptyEcho}) {
            factory->registerFactory("IEcho");
        }
    }
    void SetUp() override {
        g_clients.script.reset();
        setLastError(0);
    }
    IFactoryUnknown* remote(const char* cid, const ServerInfo& server) {
        return Helper::getComponentFactory("IEcho", cid, server, client);
    }
    IFactoryUnknown* byUser(const char* iid, const char* cid, int userId) {
        return Helper::getComponentFactory(iid, cid, userId, client);
    }
    // A failed lookup: null, no client, the code, and the one line reported
    // as "<level word> <text>" (or none); then ready for the next lookup.
    void expectFailure(IFactoryUnknown* result, int error, const std::string& line = "") {
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(client, nullptr);
        EXPECT_EQ(getLastError(), error);
        // Only the registry's lines: a timer worker may print its start-up meanwhile.
        std::string text;
        for (const std::string& got : capture.linesContaining(" ComponentFactory.cpp:")) {
            const std::size_t level = got.find(' ') + 1;
            text += got.substr(level, got.find(' ', level) + 1 - level) + got.substr(got.find(']') + 1);
        }
        EXPECT_EQ(text, line);
        capture.clear();
        setLastError(0);
        client = reinterpret_cast<IClient*>(&capture); // any value: a lookup must clear it
    }

    ServerInfo info = serverAt(1);
    IClient* client = nullptr;
    CapturePrinter capture{true, 6};
};

} // namespace

TEST_F(ComponentFactoryTest, RegistryKeepsTheLastFactoryAndListsUnregisteredClasses) {
    FakeClientFactory first("Beta"), second("Beta"), alpha("Alpha");
    for (FakeClientFactory* factory : {&second, &alpha, &first, &second}) {
        factory->registerFactory("IList");
    }
    EXPECT_EQ(Helper::getComponentFactory("IList", "Beta", ServerInfo::none, client), &second);
    EXPECT_EQ(client, nullptr);
    first.unregisterFactory("IList");
    expectFailure(byUser("IList", "Beta", -1), 0); // found, without a factory
    const ClassIDList list("IList");
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(std::vector<std::string>({list[0].c_str(), list[1].c_str()}),
              std::vector<std::string>({"Alpha", "Beta"}));
    EXPECT_EQ(ClassIDList("INeverRegistered").count(), 0u);
    alpha.unregisterFactory("IList");

    // The texts of 0x10030000 to 0x1003000F, then of 0x10030015.
    std::istringstream texts("interface not found!|class not found!|client not found!|client not exist!|not login yet!|"
                             "tring login!|user's name not valid!|password not valid!|peer has been blocked!|"
                             "peer in blacklist!|user's name has been used!|too many connections!|no authority!|"
                             "creating object failed!|getting instance failed!|login challenge!|"
                             "User or password not valid!");
    int code = 0x10030000;
    for (std::string text; std::getline(texts, text, '|'); code = code == 0x1003000F ? 0x10030015 : code + 1) {
        EXPECT_EQ(std::string(Orvane::Virad::getErrMsg(code)), "Component error: " + text) << code;
    }
    EXPECT_EQ(code, 0x10030016) << "every text was read";
    EXPECT_STREQ(Orvane::Virad::getErrMsg(0x10030010), "");
}

TEST_F(ComponentFactoryTest, FailuresSetTheirCodesAndReportAtTheirLevels) {
    const ServerInfo zeroes; // equal to ServerInfo::none, but not it: still a remote lookup
    const std::string notMade = "error iid:IEcho could not been got because clientInstance could not be created.\n";
    const std::string loginFailed = "trace iid:IEcho could not been got because log failed.\n";
    expectFailure(byUser("INone", "Local", -1), 0x10030000);
    expectFailure(byUser("IEcho", "Other", -1), 0x10030001);
    expectFailure(remote("Orphan.Echo", zeroes), 0x10030002, notMade);
    expectFailure(remote("Empty.Echo", info), 0x10030003, notMade);
    g_clients.script.loginSucceeds = false;
    expectFailure(remote("Fake.Echo", info), 0x10030007,
                  "trace iid:IEcho could not been generated because log failed.\n");
    expectFailure(remote("Fake.Echo", info), 0x10030007, loginFailed);
    g_clients.script.loginSucceeds = true;
    ASSERT_EQ(remote("Fake.Echo", info), &g_remoteEcho);
    IClient* held = client;
    EXPECT_EQ(countOf(held), 1) << "the list holds the only reference";
    // The registry's own failures, once a client was found, give its reference back.
    expectFailure(Helper::getComponentFactory("INone", "Fake.Echo", info, client), 0x10030000);
    EXPECT_EQ(countOf(held), 1) << "interface not found";
    expectFailure(remote("Fake.Other", info), 0x10030001);
    EXPECT_EQ(countOf(held), 1) << "class not found";
    g_clients.script.broken = true;
    g_clients.script.loginSucceeds = false;
    g_clients.script.loginError = 0x10030015;
    expectFailure(remote("Fake.Echo", info), 0x10030015, "trace iid:IEcho could not been got because re-log failed.\n");
    expectFailure(remote("Fake.Echo", info), 0x10030015, loginFailed);
    Detail::ClientAccess::record(held)->state = 5;
    expectFailure(remote("Fake.Echo", info), 0, "error Virad.getComponentFactory(): client state is unknown!\n");
    expectFailure(byUser("IEcho", "Fake.Echo", 8), 0);
    expectFailure(byUser("IEcho", "Local", -2), 0); // only -1 means no client

    EXPECT_EQ(countOf(held), 1) << "failed lookups gave their references back";
    EXPECT_EQ(g_clients.script.creates.load(), 1);
    EXPECT_EQ(Helper::release(held), 0);
    EXPECT_EQ(g_clients.script.logouts.load(), 1);
    EXPECT_EQ(g_clients.script.destroys.load(), 1);
}

TEST_F(ComponentFactoryTest, RemoteLookupsShareOneLoggedInClientAndReLogAfterABreak) {
    ASSERT_EQ(remote("Fake.Echo", info), &g_remoteEcho);
    IClient* first = client;
    EXPECT_EQ(countOf(first), 1) << "the list holds the only reference";
    EXPECT_EQ(IClient::getCurrentUserID(), 7);
    g_clients.script.broken = true;
    g_clients.script.userId = 9;
    const int yearBeforeLogin = Orvane::Virad::CTime::getCurrentTime().year;
    ASSERT_EQ(remote("Fake.Echo", info), &g_remoteEcho);
    EXPECT_EQ(client, first);
    EXPECT_EQ(countOf(first), 2) << "a later lookup keeps its reference";
    EXPECT_EQ(IClient::getCurrentUserID(), 9);
    EXPECT_EQ(g_clients.script.checks.load(), 1);
    EXPECT_EQ(g_clients.script.logins.load(), 2) << "re-logged once";
    Orvane::Virad::CTime loginTime;
    EXPECT_TRUE(first->getLoginTime(loginTime));
    EXPECT_GE(loginTime.year, yearBeforeLogin) << "stamped by the login";

    ASSERT_EQ(byUser("IEcho", "Fake.Echo", 9), &g_remoteEcho);
    EXPECT_EQ(client, first);
    EXPECT_EQ(countOf(first), 3) << "found by user id, with a reference";
    ASSERT_EQ(byUser("IEcho", "Local", -1), &g_localEcho);
    EXPECT_EQ(client, nullptr);
    EXPECT_EQ(g_clients.script.creates, 1);
    EXPECT_EQ(std::vector<int>({Helper::release(first), Helper::release(first), Helper::release(first)}),
              std::vector<int>({2, 1, 0}));
    EXPECT_EQ(g_clients.script.logouts.load(), 1);
    EXPECT_EQ(g_clients.script.destroys.load(), 1);
}

TEST_F(ComponentFactoryTest, ClientLookupsGiveOneWrapperPerFactory) {
    IFactoryUnknown* wrapper = Helper::getComponentFactory("Client", "Fake", info, client);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_NE(wrapper, &g_clients);
    EXPECT_STREQ(wrapper->clsid(), "Fake");
    EXPECT_EQ(client, nullptr) << "a client lookup never uses a client";
    EXPECT_EQ(Helper::getComponentFactory("Client", "Fake", ServerInfo::none, client), wrapper);
    EXPECT_EQ(g_clients.script.creates, 0);
    FakeClientFactory unregistered("Gone");
    unregistered.registerFactory("Client");
    unregistered.unregisterFactory("Client");
    expectFailure(byUser("Client", "Gone", -1), 0x10030001);
}

TEST(ComponentFactoryDeathTest, ClassIdListIndexIsChecked) {
    Orvane::Testing::reexecuteDeathTests();
    const ClassIDList list("INeverRegistered");
    EXPECT_DEATH(list[-1], R"(assertion \(\(size_t\)index < m_internal->ids\.size\(\)\))");
    EXPECT_DEATH(list[0], R"(assertion \(\(size_t\)index < m_internal->ids\.size\(\)\))");
}
