// Component creators: the process-wide map from class id to creator, the
// shared objects made for each class, and the libraries loaded for classes
// that have no registered creator.
//
// One lock guards the map (the creators lock). Creators run with it let go,
// and so do printers: a missing entry point or a refused class id is
// reported once the lock is released. A shared object under construction is
// listed with a null object, so that a second caller asking for the same
// identity waits for it instead of making a second one.
#include "component/Creator.h"

#include "Src/Common/Containers.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Common/ThreadValueSlot.h"
#include "Src/Component/UnknownInternal.h"
#include "Src/Platform/Loader.h"
#include "Src/Platform/Sync.h"
#include "virad/Mutex.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace Orvane {
namespace Component {

using Detail::UnknownAccess;
using Virad::flex_string;

namespace {

// A shared object and the server identity it was made for (no server:
// hasServerInfo false). The object is null while its creator runs.
struct Instance {
    explicit Instance(const ServerInfo* info) : hasServerInfo(info != nullptr) {
        if (info != nullptr) {
            text1 = info->text1;
            number1 = info->number1;
            userName = info->userName;
            text3 = info->text3;
            flag1 = info->flag1;
        }
    }

    // Texts compare as texts, a null one equal to an empty one.
    bool sameIdentity(const ServerInfo* info) const {
        if (info == nullptr || !hasServerInfo) {
            return info == nullptr && !hasServerInfo;
        }
        return text1 == info->text1 && number1 == info->number1 && userName == info->userName && text3 == info->text3 &&
               flag1 == info->flag1;
    }

    IUnknown* object = nullptr;
    bool hasServerInfo;
    flex_string text1;
    int number1 = 0;
    flex_string userName;
    flex_string text3;
    std::uint8_t flag1 = 0;
};

struct Entry {
    ComponentCreator creator = nullptr;
    Common::List<Instance> instances; // in creation order
    // Loaded on the first lookup without a creator; never unloaded.
    Platform::LibraryHandle library = nullptr;
};

struct ComponentMap {
    Virad::CMutex lock;
    // Byte order of the class ids. Entries are never erased, so a reference
    // to one stays valid while the lock is let go around a creator.
    Common::Map<flex_string, Entry> entries;
    // Pulsed under the lock whenever a creation of a shared object ends.
    Platform::ManualResetEvent creationEnded;
};

// Never torn down: components released from other libraries' exit code, after
// this library's exit handlers, still come back through destroyComponent.
ComponentMap& componentMap() {
    return *Common::ProcessWide<ComponentMap, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) ComponentMap; });
}

[[maybe_unused]] ComponentMap& g_componentMapAtLoad = componentMap();

// How deep the calling thread is in creators. A thread inside a creator never
// waits for another creation: two creators asking for each other's objects
// would wait for ever.
struct CreatorDepthTag;
using CreatorDepth = Common::ThreadValueSlot<CreatorDepthTag, int>;

bool isClassId(const char* classId) {
    return classId != nullptr && classId[0] != '\0';
}

// What a dynamic lookup found wrong: found under the lock, reported after it.
struct LookupProblem {
    char missingEntryPoint[32] = {};      // an entry point the library lacks
    const char* refusedClassId = nullptr; // a class id whose library name is a path

    void report() const {
        if (refusedClassId != nullptr) {
            VIRAD_REPORT(Virad::LOG_ERROR, "getDynamicCreator cid:%s names no library file!\n", refusedClassId);
        }
        if (missingEntryPoint[0] != '\0') {
            VIRAD_REPORT(Virad::LOG_ERROR, "getDynamicCreator get proc:%s failed!\n", missingEntryPoint);
        }
    }
};

// The creator a component library exports for the class, loading the library
// on the first call. Null, silently, when the library cannot be loaded; null
// with the entry point's name in the problem when the library lacks it. A
// class id that is no bare file name (either slash, a drive, a relative
// step), and so would make the library's name a path, is refused: class ids
// come from configuration and from remote peers and must never choose a file
// outside the loader's search. The entry point is looked up on every call;
// the caller holds the creators lock.
ComponentCreator getDynamicCreator(const char* classId, Entry& entry, LookupProblem& problem) {
    if (entry.library == nullptr) {
        if (!Platform::isBareFileName(classId)) {
            problem.refusedClassId = classId;
            return nullptr;
        }
        char libraryName[32];
        Platform::libraryFileName(libraryName, sizeof libraryName, classId);
        entry.library = Platform::loadLibrary(libraryName);
        if (entry.library == nullptr) {
            return nullptr;
        }
    }
    char entryPoint[32] = {};
    std::snprintf(entryPoint, sizeof entryPoint, "create%sObject", classId);
    void* const found = Platform::findEntryPoint(entry.library, entryPoint);
    if (found == nullptr) {
        std::memcpy(problem.missingEntryPoint, entryPoint, sizeof entryPoint);
    }
    return reinterpret_cast<ComponentCreator>(found);
}

// The registered creator, else the library's. Under the creators lock.
ComponentCreator creatorOf(const char* classId, Entry& entry, LookupProblem& problem) {
    return entry.creator != nullptr ? entry.creator : getDynamicCreator(classId, entry, problem);
}

// Calls a creator (the creators lock let go), counting the thread as inside it
// until the creator returns or throws.
IUnknown* runCreator(ComponentCreator creator, const ServerInfo* info) {
    struct Inside {
        const int depth = CreatorDepth::get();
        Inside() { CreatorDepth::set(depth + 1); }
        ~Inside() { CreatorDepth::set(depth); }
    } inside;
    return creator(info);
}

// The listing of a shared object under construction. Should the creator
// throw, it is taken out again (and the waiters woken) on the way out, since
// callers waiting for the identity would otherwise wait for ever.
class Placeholder {
public:
    Placeholder(ComponentMap& map, Entry& entry, const ServerInfo* info)
        : m_map(map), m_entry(entry), m_made(entry.instances.emplace(entry.instances.end(), info)) {}
    ~Placeholder() {
        if (m_open) {
            m_map.lock.enter();
            close(nullptr);
            m_map.lock.leave();
        }
    }
    Placeholder(const Placeholder&) = delete;
    Placeholder& operator=(const Placeholder&) = delete;

    // Records what the creator made (null: nothing, and the listing goes) and
    // wakes the waiters. Under the creators lock.
    void close(IUnknown* object) {
        m_open = false;
        if (object != nullptr) {
            m_made->object = object;
        } else {
            m_entry.instances.erase(m_made);
        }
        m_map.creationEnded.set();
        m_map.creationEnded.reset();
    }

private:
    ComponentMap& m_map;
    Entry& m_entry;
    Common::List<Instance>::iterator m_made;
    bool m_open = true;
};

// The shared object of the identity with a reference added for the caller, or
// null. While another thread is making it, waits for that creation to end
// (letting the lock go meanwhile) and looks again.
IUnknown* findShared(ComponentMap& map, Entry& entry, const ServerInfo* info) {
    for (;;) {
        bool underWay = false;
        for (const Instance& instance : entry.instances) {
            if (!instance.sameIdentity(info)) {
                continue;
            }
            if (instance.object == nullptr) {
                underWay = true;
                continue;
            }
            // A count raised from 0 belongs to an object whose last release
            // is on its way to destroyComponent (held up by this lock): it is
            // given its count back and not handed out.
            if (instance.object->addRef() != 1) {
                return instance.object;
            }
            decreaseRefCount(instance.object);
        }
        if (!underWay || CreatorDepth::get() > 0) {
            return nullptr;
        }
        const unsigned long generation = map.creationEnded.generation();
        map.lock.leave();
        map.creationEnded.waitSince(generation);
        map.lock.enter();
    }
}

} // namespace

bool registerComponent(const char* classId, ComponentCreator creator) {
    if (!isClassId(classId)) {
        return false;
    }
    ComponentMap& map = componentMap();
    map.lock.enter();
    const auto added = map.entries.try_emplace(flex_string(classId));
    added.first->second.creator = creator;
    map.lock.leave();
    if (!added.second) {
        VIRAD_REPORT(Virad::LOG_WARN, "registerComponentCreator creator for cid:%s already exist!\n", classId);
    }
    return true;
}

IUnknown* getComponentInstance(const char* classId, const ServerInfo* info) {
    if (!isClassId(classId)) {
        return nullptr;
    }
    ComponentMap& map = componentMap();
    map.lock.enter();
    Entry& entry = map.entries[flex_string(classId)];
    IUnknown* object = findShared(map, entry, info);
    LookupProblem problem;
    const ComponentCreator creator = object == nullptr ? creatorOf(classId, entry, problem) : nullptr;
    if (creator != nullptr) {
        Placeholder placeholder(map, entry, info);
        map.lock.leave();
        object = runCreator(creator, info);
        map.lock.enter();
        if (object != nullptr) {
            UnknownInternal* record = UnknownAccess::record(object);
            record->inComponentMap = true;
            record->classId = classId;
        }
        placeholder.close(object);
    }
    map.lock.leave();
    problem.report();
    return object;
}

IUnknown* createComponentObject(const char* classId, const ServerInfo* info) {
    if (!isClassId(classId)) {
        return nullptr;
    }
    ComponentMap& map = componentMap();
    LookupProblem problem;
    map.lock.enter();
    const ComponentCreator creator = creatorOf(classId, map.entries[flex_string(classId)], problem);
    map.lock.leave();
    problem.report();
    IUnknown* const object = creator != nullptr ? runCreator(creator, info) : nullptr;
    if (object != nullptr) {
        UnknownAccess::record(object)->classId = classId;
    }
    return object;
}

bool destroyComponent(IUnknown* object, const char* classId, bool inComponentMap) {
    if (inComponentMap) {
        ComponentMap& map = componentMap();
        map.lock.enter();
        const auto pi = map.entries.find(flex_string(classId));
        if (pi == map.entries.end()) {
            DOZUV2_FAIL("pi != s_componentMap.end()");
        }
        Common::List<Instance>& instances = pi->second.instances;
        const auto pj = std::find_if(instances.begin(), instances.end(),
                                     [object](const Instance& instance) { return instance.object == object; });
        if (pj == instances.end()) {
            DOZUV2_FAIL("pj != (*pi).second.instances.end()");
        }
        instances.erase(pj);
        map.lock.leave();
    }
    object->destroy();
    return true;
}

} // namespace Component
} // namespace Orvane
