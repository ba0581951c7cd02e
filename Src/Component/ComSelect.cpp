// Component selection: the default class of each interface, class ids of
// remote classes, and the host's queryer that picks a class by channel or
// device.
#include "component/ComSelect.h"

#include "Src/Common/Containers.h"
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Component/ComSelectInternal.h"
#include "virad/Mutex.h"

#include <atomic>
#include <new>

namespace Orvane {
namespace Component {

using Virad::flex_string;

namespace {

struct DefaultComponents {
    Virad::CMutex lock;
    Common::Map<flex_string, flex_string> classes; // interface id to class id, byte order
};

// Never torn down: other libraries' exit code may still ask for a default.
DefaultComponents& defaultComponents() {
    return *Common::ProcessWide<DefaultComponents, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) DefaultComponents; });
}

[[maybe_unused]] DefaultComponents& g_defaultComponentsAtLoad = defaultComponents();

// The host's queryer, set once. held publishes it: lookups read the pointer
// without the lock once held is true, and it never changes again. Never
// released, since the host's object may be gone by the time this library
// is unloaded.
struct HeldQueryer {
    Virad::CMutex lock;
    TComPtr<IServerInfoQueryer> queryer;
    std::atomic<bool> held{false};
};

HeldQueryer& heldQueryer() {
    static Base::NeverDestroyed<HeldQueryer> instance;
    return instance.get();
}

// The queryer, or null while none is set.
const TComPtr<IServerInfoQueryer>* queryer() {
    HeldQueryer& h = heldQueryer();
    return h.held.load(std::memory_order_acquire) ? &h.queryer : nullptr;
}

} // namespace

const ComSelChannelInfo ComSelChannelInfo::local(-1, nullptr, -1);

bool CLocalComSelectManager::setDefaultComponent(const char* iid, const char* classId) {
    if (iid == nullptr) {
        return false;
    }
    DefaultComponents& defaults = defaultComponents();
    Virad::CGuard guard(defaults.lock);
    return defaults.classes.try_emplace(flex_string(iid), flex_string(classId)).second;
}

flex_string CLocalComSelectManager::getDefaultClassID(const char* iid) {
    if (iid == nullptr) {
        return flex_string();
    }
    DefaultComponents& defaults = defaultComponents();
    Virad::CGuard guard(defaults.lock);
    const auto found = defaults.classes.find(flex_string(iid));
    return found != defaults.classes.end() ? found->second : flex_string(ClassID::local.id);
}

bool setQueryerHandler(TComPtr<IServerInfoQueryer> queryer) {
    HeldQueryer& h = heldQueryer();
    h.lock.enter();
    IServerInfoQueryer* const old = h.queryer.get();
    const bool taken = old == nullptr && queryer.get() != nullptr;
    if (taken) {
        h.queryer = queryer;
        h.held.store(true, std::memory_order_release);
    }
    h.lock.leave();
    if (!taken) {
        VIRAD_REPORT(Virad::LOG_ERROR, "setQueryerHandler failed setPtr:%p, oldPtr:%p\n",
                     static_cast<const void*>(queryer.get()), static_cast<const void*>(old));
    }
    return taken;
}

flex_string getClassId(const flex_string& clientClass, const flex_string& name) {
    return name.empty() ? clientClass : clientClass + "." + name;
}

bool getClassIdByChannel(int channel, flex_string& classId, void* argument) {
    const TComPtr<IServerInfoQueryer>* const held = queryer();
    if (held == nullptr || channel == -1) {
        classId = ClassID::local.id;
        return true;
    }
    if (channel < -1) {
        VIRAD_REPORT(Virad::LOG_ERROR, "channel:%d is invalid \n", channel);
        return false;
    }
    return (*held)->classIdByChannel(channel, classId, argument);
}

bool getClassIdByDeviceId(const char* deviceId, flex_string& classId, void* argument) {
    const TComPtr<IServerInfoQueryer>* const held = queryer();
    if (held == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "please call setQueryerHandler interface\n");
        return false;
    }
    if (deviceId == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "deviceId:%s is empty\n", "(null)");
        return false;
    }
    return (*held)->classIdByDeviceId(deviceId, classId, argument);
}

} // namespace Component
} // namespace Orvane
