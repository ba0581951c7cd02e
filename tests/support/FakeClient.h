// Test helper: a scripted client class with its factory, and a plain
// component with its factory.
//
// Every client a FakeClientFactory makes follows the factory's script (does
// login succeed, is the connection broken, which user id, which error a
// failed login sets) and counts its calls there. Factories are meant to live
// for the whole test program (the registry keeps them), so tests reset the
// script instead of making new ones.
#ifndef DOZUV2_TESTS_SUPPORT_FAKECLIENT_H
#define DOZUV2_TESTS_SUPPORT_FAKECLIENT_H

#include "component/Client.h"
#include "component/ComPtr.h"

#include <atomic>

namespace Orvane {
namespace Testing {

struct ClientScript {
    std::atomic<bool> loginSucceeds{true};
    std::atomic<bool> broken{false};
    std::atomic<bool> makeNone{false};
    std::atomic<bool> logoutSucceeds{true};
    std::atomic<int> userId{7};
    std::atomic<int> loginError{0x10030007};
    std::atomic<int> creates{0}, logins{0}, checks{0}, logouts{0}, destroys{0};

    void reset();
};

class FakeClient : public Component::IClient {
public:
    explicit FakeClient(ClientScript& script) : m_script(script) {}
    void destroy() override;
    void* queryInterface(const char*) override { return nullptr; }
    bool checkBroken() override;
    bool login() override;
    bool logout() override;
    bool getUserID(int& userId) override;

private:
    ClientScript& m_script;
};

class FakeClientFactory : public Component::IClient::IFactory {
public:
    explicit FakeClientFactory(const char* classId) : m_classId(classId) {}
    const char* clsid() const override { return m_classId; }
    Component::IClient* create(const Component::ServerInfo& info) override;

    ClientScript script;

private:
    const char* m_classId;
};

// A component that counts its destructions.
class FakeComponent : public Component::IUnknown {
public:
    explicit FakeComponent(std::atomic<int>* destroys = nullptr) : m_destroys(destroys) {}
    void destroy() override;
    void* queryInterface(const char*) override { return this; }

private:
    std::atomic<int>* m_destroys;
};

class FakeComponentFactory : public Component::IFactoryUnknown {
public:
    explicit FakeComponentFactory(const char* classId) : m_classId(classId) {}
    const char* clsid() const override { return m_classId; }

private:
    const char* m_classId;
};

// The reference count of an object, as the library keeps it.
int countOf(Component::IUnknown* object);

} // namespace Testing
} // namespace Orvane

#endif
