#include "support/FakeClient.h"

#include "Component/UnknownInternal.h"
#include "virad/LastError.h"

#include <new>

namespace Orvane {
namespace Testing {

void ClientScript::reset() {
    loginSucceeds = true;
    broken = false;
    makeNone = false;
    logoutSucceeds = true;
    userId = 7;
    loginError = 0x10030007;
    creates = logins = checks = logouts = destroys = 0;
}

void FakeClient::destroy() {
    ++m_script.destroys;
    delete this;
}

bool FakeClient::checkBroken() {
    ++m_script.checks;
    return m_script.broken;
}

bool FakeClient::login() {
    ++m_script.logins;
    if (!m_script.loginSucceeds) {
        Virad::setLastError(m_script.loginError);
        return false;
    }
    m_script.broken = false;
    return true;
}

bool FakeClient::logout() {
    ++m_script.logouts;
    return m_script.logoutSucceeds;
}

bool FakeClient::getUserID(int& userId) {
    userId = m_script.userId;
    return true;
}

Component::IClient* FakeClientFactory::create(const Component::ServerInfo&) {
    if (script.makeNone) {
        return nullptr;
    }
    ++script.creates;
    return new (std::nothrow) FakeClient(script);
}

void FakeComponent::destroy() {
    if (m_destroys != nullptr) {
        ++*m_destroys;
    }
    delete this;
}

int countOf(Component::IUnknown* object) {
    return Component::refCountOf(object);
}

} // namespace Testing
} // namespace Orvane
