// The example component library: the class "Greeter", loaded on demand by the
// component model when a host asks for that class id without having
// registered a creator. It exports the creator the library looks for,
// createGreeterObject, with C linkage so that its name is the plain one the
// library looks for. Everything else is in an anonymous namespace; on Windows
// Greeter.def names the one export.
//
// The module does not link the library: on this host the component base is
// resolved in the process that loads the module, so a host and the module
// always share one component model.
#include "Greeter.h"

#include <component/Creator.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

std::atomic<int> g_made{0};

class Greeter : public Orvane::Component::IUnknown, public IGreeter {
public:
    explicit Greeter(const Orvane::Component::ServerInfo* info) {
        const int number = ++g_made;
        if (info == nullptr) {
            std::snprintf(m_text, sizeof m_text, "greeter #%d (local)", number);
        } else {
            std::snprintf(m_text, sizeof m_text, "greeter #%d for %s at %s:%d", number,
                          info->userName != nullptr ? info->userName : "", info->text1 != nullptr ? info->text1 : "",
                          info->number1);
        }
    }

    void destroy() override { delete this; }
    void* queryInterface(const char* iid) override {
        return iid != nullptr && std::strcmp(iid, kGreeterIid) == 0 ? static_cast<IGreeter*>(this) : nullptr;
    }
    const char* greeting() const override { return m_text; }

private:
    char m_text[160];
};

} // namespace

extern "C" Orvane::Component::IUnknown* createGreeterObject(const Orvane::Component::ServerInfo* info) {
    return new (std::nothrow) Greeter(info);
}
