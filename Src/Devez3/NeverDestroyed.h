// Storage for process-wide objects that must outlive every exit handler.
//
// The print path and the slots it reads are used by anything that runs at
// process exit, including other libraries' exit handlers, so their state is
// built in place on first use and never destroyed.
#ifndef DOZUV2_DEVEZ3_NEVERDESTROYED_H
#define DOZUV2_DEVEZ3_NEVERDESTROYED_H

#include <new>
#include <utility>

namespace Orvane {
namespace Virad {
namespace Detail {

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

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
