// Storage for process-wide state that must outlive every exit handler.
//
// The print path and the slots it reads are used by anything that runs at
// process exit, including other libraries' exit handlers, so their state is
// built in place on first use and never destroyed. Use it as a function-local
// static: the language makes the first use's construction thread-safe.
// Objects with a life of their own (made by a creator, perhaps torn down at
// exit, reached through instance()) use ProcessWide instead.
#ifndef DOZUV2_BASE_NEVERDESTROYED_H
#define DOZUV2_BASE_NEVERDESTROYED_H

#include <new>
#include <utility>

namespace Orvane {
namespace Base {

template <typename T> class NeverDestroyed {
public:
    template <typename... Args> explicit NeverDestroyed(Args&&... args) {
        new (m_storage) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
};

} // namespace Base
} // namespace Orvane

#endif
