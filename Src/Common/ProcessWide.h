// The one way the library makes a process-wide object: created on first use,
// reached through an atomic pointer, and given the exit its place in the
// shutdown order needs.
//
//     CThing* CThing::instance() {
//         return Common::ProcessWide<CThing, Common::AtExit::destroy>::instance(
//             [] { return new (std::nothrow) CThing; });
//     }
//
// Creation. Once the object exists, instance() is one atomic load. Until
// then callers meet under the object's creation lock; the first one that
// still finds no object inside it (the second check) calls the maker,
// publishes the object and, unless the policy is never, registers the exit
// handler through the platform layer. When the host refuses the handler,
// "atexit failed!\n" is reported at level 4 and the object is simply never
// torn down. A maker that gives null is an allocation failure: an assertion.
// The maker runs under the lock, so it may make other process-wide objects
// but must not ask for its own.
//
// Exit. Exit order is a real hazard: the print path must work to the very
// end, a thread-owning object stops its threads before anything they use is
// gone, and nothing torn down at exit may be touched by a later exit handler
// (exit handlers of other libraries included). So each object says what its
// handler does:
//
//   AtExit::destroy   The handler unpublishes the object and disposes of it.
//                     A later use (from a later exit handler) makes a fresh
//                     one, which is disposed of in turn. For objects a late
//                     user can simply rebuild: the packet manager's handle.
//   AtExit::retire    The same, but later uses get null and must cope: the
//                     error-message table (late calls find no table), the
//                     timer manager thread (a late timer is never handed out).
//   AtExit::shutDown  The handler calls the dispose action and keeps the
//                     object published, for an object that later handlers
//                     still use once it has given back what must not outlive
//                     exit: the packet manager's core closes its pool, and
//                     blocks released later go back to the system.
//   AtExit::never     No handler: the object stays alive on purpose, because
//                     whatever runs at exit may still reach it (threads that
//                     are still running, other libraries' exit handlers): the
//                     timer manager's and the thread manager's faces, the
//                     default file-system table.
//
// Dispose is a stateless function object called with the object at exit; by
// default it deletes it. A class with a private destructor names a friend
// here; a thread-owning object passes the action that closes what hands it
// work, stops its threads and waits for them.
//
// State that merely has to exist from first use to the very end, with no
// instance() and no exit of its own (locks, the print path's tables), is a
// function-local NeverDestroyed instead.
//
// Each instantiation is one object: its template arguments are its identity.
// Two objects of one type with the same policy add a Tag type to tell them
// apart.
#ifndef DOZUV2_COMMON_PROCESSWIDE_H
#define DOZUV2_COMMON_PROCESSWIDE_H

#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/Report.h"
#include "Src/Platform/Process.h"
#include "Src/Platform/Sync.h"

#include <atomic>

namespace Orvane {
namespace Common {

enum class AtExit { destroy, retire, shutDown, never };

// The default exit action: the object is deleted.
struct DeleteObject {
    template <typename T> void operator()(T* object) const { delete object; }
};

template <typename T, AtExit Exit, typename Dispose = DeleteObject, typename Tag = T> class ProcessWide {
public:
    // The object, made by make() (a callable returning T*) on first use.
    // Null only under the retire policy, once the exit handler has run.
    template <typename Make> static T* instance(Make make) {
        T* object = s_object.load(std::memory_order_acquire);
        return DOZUV2_LIKELY(object != nullptr) ? object : create(make);
    }

    // The object if it exists now; never makes one.
    static T* existing() { return s_object.load(std::memory_order_acquire); }

private:
    template <typename Make> static T* create(Make& make) {
        Platform::CriticalSection& lock = creationLock();
        lock.enter();
        T* object = s_object.load(std::memory_order_acquire);
        if (object == nullptr && !s_retired.load(std::memory_order_relaxed)) {
            object = make();
            VIRAD_ASSERT(object);
            s_object.store(object, std::memory_order_release);
            if constexpr (Exit != AtExit::never) {
                if (!Platform::registerExitHandler(&atExit)) {
                    VIRAD_REPORT(::Orvane::Virad::LOG_INFO, "atexit failed!\n");
                }
            }
        }
        lock.leave();
        return object;
    }

    static void atExit() {
        T* object;
        if constexpr (Exit == AtExit::shutDown) {
            object = s_object.load(std::memory_order_acquire);
        } else {
            // Unpublished under the lock, so a creation racing with exit
            // either finishes first (and is disposed of here) or sees the
            // object gone; disposed of outside it, since disposal may wait
            // for threads that are creating something themselves.
            Platform::CriticalSection& lock = creationLock();
            lock.enter();
            object = s_object.exchange(nullptr, std::memory_order_acq_rel);
            if constexpr (Exit == AtExit::retire) {
                s_retired.store(true, std::memory_order_relaxed);
            }
            lock.leave();
        }
        if (object != nullptr) {
            Dispose()(object);
        }
    }

    static Platform::CriticalSection& creationLock() {
        static Base::NeverDestroyed<Platform::CriticalSection> lock;
        return lock.get();
    }

    // Constant-initialised: valid before any static constructor runs.
    static inline std::atomic<T*> s_object{nullptr};
    static inline std::atomic<bool> s_retired{false};
};

} // namespace Common
} // namespace Orvane

#endif
