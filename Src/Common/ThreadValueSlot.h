// A process-wide per-thread integer (the last error, the delegate reuse
// number), kept in a CThreadSpecific slot.
//
// The value is stored as the slot's pointer itself: nothing is allocated per
// thread and nothing needs freeing when a thread ends. A thread that never
// stored a value reads 0. The slot is built on first use (each user also
// touches it from a static initialiser, so it exists from load) and is never
// freed, so exit handlers can still use it.
#ifndef DOZUV2_COMMON_THREADVALUESLOT_H
#define DOZUV2_COMMON_THREADVALUESLOT_H

#include "Src/Base/NeverDestroyed.h"
#include "virad/ThreadLocalSlot.h"

#include <cstdint>

namespace Orvane {
namespace Common {

template <typename Tag, typename T> class ThreadValueSlot {
public:
    static_assert(sizeof(T) <= sizeof(void*), "the value must fit a pointer");

    static T get() {
        void* value = nullptr;
        slot().getValue(&value);
        return static_cast<T>(reinterpret_cast<std::intptr_t>(value));
    }

    // False when the host could not store it.
    static bool set(T value) {
        return slot().setValue(reinterpret_cast<const void*>(static_cast<std::intptr_t>(value)));
    }

    static bool ready() { return slot().valid(); }

private:
    static Virad::CThreadSpecific& slot() {
        static Base::NeverDestroyed<Virad::CThreadSpecific> instance;
        return instance.get();
    }
};

} // namespace Common
} // namespace Orvane

#endif
