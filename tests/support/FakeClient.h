// Test helper: a scripted client class with its factory, and a plain
// component, and a fixture for tests of listed clients. A FakeClientFactory also serves as a component factory (the
// registry only asks a factory for its class id).
//
// Every client a FakeClientFactory makes follows the factory's script (does
// login succeed, is the connection broken, which user id, which error a
// failed login sets, what logout returns) and counts its calls there.
// Factories are meant to live for the whole test program (the registry keeps
// them), so tests reset the script instead of making new factories.
#ifndef DOZUV2_TESTS_SUPPORT_FAKECLIENT_H
#define DOZUV2_TESTS_SUPPORT_FAKECLIENT_H

#include "Src/Component/ClientInternal.h"
#include "Src/Component/UnknownInternal.h"
#include "component/Client.h"
#include "component/ComPtr.h"
#include "support/Testing.h"
#include "virad/LastError.h"

namespace Orvane {
namespace Testing {

struct ClientScript {
    std::atomic<bool> loginSucceeds{true}, broken{false}, makeNone{false}, logoutSucceeds{true}, writesUserId{true};
    std::atomic<int> userId{7}, loginError{0x10030007};
    std::atomic<int> creates{0}, logins{0}, checks{0}, logouts{0}, destroys{0};

    void reset() {
        loginSucceeds = logoutSucceeds = writesUserId = true;
        broken = makeNone = false;
        userId = 7;
        loginError = 0x10030007;
        creates = logins = checks = logouts = destroys = 0;
    }
};

class FakeClient : public Component::IClient {
public:
    explicit FakeClient(ClientScript& script) : m_script(script) {}
    void destroy() override {
        ++m_script.destroys;
        delete this;
    }
    void* queryInterface(const char*) override { return nullptr; }
    bool checkBroken() override { return ++m_script.checks, m_script.broken.load(); }
    bool login() override {
        ++m_script.logins;
        if (!m_script.loginSucceeds) {
            Virad::setLastError(m_script.loginError);
            return false;
        }
        return !(m_script.broken = false);
    }
    bool logout() override { return ++m_script.logouts, m_script.logoutSucceeds.load(); }
    bool getUserID(int& userId) override {
        if (m_script.writesUserId) {
            userId = m_script.userId;
        }
        return true;
    }

private:
    ClientScript& m_script;
};

class FakeClientFactory : public Component::IClient::IFactory {
public:
    explicit FakeClientFactory(const char* classId) : m_classId(classId) {}
    const char* clsid() const override { return m_classId; }
    Component::IClient* create(const Component::ServerInfo&) override {
        return script.makeNone ? nullptr : (++script.creates, new FakeClient(script));
    }

    ClientScript script;

private:
    const char* m_classId;
};

// A component that counts its destructions.
class FakeComponent : public Component::IUnknown {
public:
    explicit FakeComponent(std::atomic<int>* destroys = nullptr) : m_destroys(destroys) {}
    void destroy() override {
        if (m_destroys != nullptr) {
            ++*m_destroys;
        }
        delete this;
    }
    void* queryInterface(const char*) override { return this; }

private:
    std::atomic<int>* m_destroys;
};

// Tests of listed clients: the list exists, and its timer's threads are past
// their start-up lines, before any test captures output (a printer may be
// called by another thread after it was detached); each test leaves no
// client listed.
class ClientListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Component::CClientInstanceList* list = Component::CClientInstanceList::instance();
        ASSERT_TRUE(eventually([list] { return list->checksRun() >= 2; }));
    }
    void TearDown() override { EXPECT_TRUE(Component::CClientInstanceList::instance()->clients().empty()); }
};

// A server description of 10.0.0.1, told apart by its port.
inline Component::ServerInfo serverAt(int port) {
    Component::ServerInfo info;
    info.text1 = "10.0.0.1";
    info.number1 = port;
    info.userName = "bob";
    return info;
}

// The reference count of an object, as the library keeps it.
inline int countOf(Component::IUnknown* object) {
    return Component::refCountOf(object);
}

} // namespace Testing
} // namespace Orvane

#endif
