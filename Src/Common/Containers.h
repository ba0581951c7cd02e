// The standard containers and strings the library keeps for itself, over an
// allocator that never throws.
//
// Nothing may throw across the library's interface, yet std::allocator
// answers a failed allocation with std::bad_alloc, which would leave through
// whatever exported call made the container grow. The library's own tables
// (registries, message texts, printer lists, switch tables) are internal
// records: when one cannot grow the library cannot do what it promised, and
// like any internal record that cannot be allocated that ends the process
// through the assertion report. So every container the library holds uses
// Allocator, and these names say so:
//
//     Common::String text;                     // std::basic_string
//     Common::Vector<int> numbers;             // std::vector
//     Common::Map<Common::String, int> table;  // std::map, transparent lookup
//     Common::List<Record> records;            // std::list
//     Common::makeShared<Record>(...)          // std::allocate_shared
//
// Where an operation has a failure result of its own for running out of
// memory (a packet, a buffer, a cipher object), it uses nothrow allocation
// and returns that result instead; Allocator is for the tables behind
// operations that have none.
//
// Maps compare with std::less<>, so a lookup by a C string or a string view
// builds no temporary key and allocates nothing.
//
// Values of standard types that the interface itself hands out (a
// std::string name, a std::map of statistics) are built with the caller's
// std::allocator, which throws. filledForCaller runs the code that builds
// one and turns a bad_alloc from it into the same assertion report;
// builtForCaller is for an operation with a false result of its own, which
// then reports the failure instead.
#ifndef DOZUV2_COMMON_CONTAINERS_H
#define DOZUV2_COMMON_CONTAINERS_H

#include "virad/Assertion.h"

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace Orvane {
namespace Common {

template <typename T> struct Allocator {
    using value_type = T;

    Allocator() = default;
    template <typename U> Allocator(const Allocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
            DOZUV2_FAIL("n <= max_size()");
        }
        void* const block = ::operator new(n * sizeof(T), std::nothrow);
        if (block == nullptr) {
            DOZUV2_FAIL("block");
        }
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t) noexcept { ::operator delete(block); }

    template <typename U> bool operator==(const Allocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const Allocator<U>&) const noexcept { return false; }
};

using String = std::basic_string<char, std::char_traits<char>, Allocator<char>>;

template <typename T> using Vector = std::vector<T, Allocator<T>>;

template <typename T> using List = std::list<T, Allocator<T>>;

template <typename Key, typename Value, typename Compare = std::less<>>
using Map = std::map<Key, Value, Compare, Allocator<std::pair<const Key, Value>>>;

template <typename T, typename... Args> std::shared_ptr<T> makeShared(Args&&... args) {
    return std::allocate_shared<T>(Allocator<T>(), std::forward<Args>(args)...);
}

// The result of fill(), which builds a value of a standard type for the
// caller; running out of memory on the way is the assertion report.
template <typename Fill> auto filledForCaller(Fill&& fill) -> decltype(fill()) {
    try {
        return fill();
    } catch (const std::bad_alloc&) {
        DOZUV2_FAIL("filled");
    }
}

// True when build() ran to its end; false when it ran out of memory on the
// way (what it built is then the caller's to discard).
template <typename Build> bool builtForCaller(Build&& build) noexcept {
    try {
        build();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace Common
} // namespace Orvane

#endif
