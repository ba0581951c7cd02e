/// \file
/// Delegates: small callback values that bind a free function, or a member
/// function together with the object it is called on.
///
/// TFunction0 .. TFunction6 take the result type first and then the types of
/// their 0 to 6 call arguments:
///
///     TFunction1<bool, const char*> printer(freeFunction);
///     TFunction1<bool, const char*> bound(&Sink::write, &sink);
///     TFunction1<bool, const char*> numbered(&Sink::write, &sink, 20);
///
/// A delegate is a plain 32-byte value that crosses the library's interface by
/// value, so its four fields and their offsets are fixed: 16 callable bytes,
/// the kind, and the run-time type name of the bound object pointer type.
/// The kind tells what is bound: 0 nothing, 1 a member function, 2 a free
/// function, 16..0xFFFFFFFE a member function carrying that reuse number, and
/// 0xFFFFFFFF a member function that matches any reuse number when compared.
/// Calling a reuse-numbered delegate first records its number as the calling
/// thread's current reuse number (getCurrentFunctionReuse).
///
/// Thread-safety: a delegate is a value without a lock; whoever keeps a list
/// of them guards the list. Never call an empty delegate: test empty() first.
///
/// Member functions are stored as their 8-byte code pointer; an adjustment of
/// the object pointer that multiple inheritance needs is applied to the stored
/// object pointer when binding, so every single- and multiple-inheritance
/// member function fits the 16 callable bytes.
#ifndef DOZUV2_VIRAD_FUNCTION_H
#define DOZUV2_VIRAD_FUNCTION_H

#include "virad/Export.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <typeinfo>
#include <type_traits>
#include <utility>

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

/// The calling thread's current reuse number: the number of the last
/// reuse-numbered delegate it called, 0 when it never called one.
DOZUV2_API unsigned int getCurrentFunctionReuse();

namespace Detail {

/// Stores the calling thread's current reuse number.
DOZUV2_API void setCurrentFunctionReuse(unsigned int reuse);

/// The kinds of a delegate.
enum : std::uint32_t {
    kFunctionEmpty = 0,
    kFunctionMember = 1,
    kFunctionFree = 2,
    kFunctionFirstReuse = 16,
    kFunctionAnyReuse = 0xFFFFFFFFu,
};

/// Member functions of any class are called through pointers to members of
/// this one, which has the single-inheritance pointer representation.
class GenericObject {};

/// The Itanium C++ ABI's member-function pointer: a code word and the
/// this-adjustment. Where the code word marks a virtual function (1 + its
/// offset in the vtable) this is the form the delegate keeps; on ARM the mark
/// is the adjustment's low bit, and the delegate moves it into the code word
/// (vtable offsets and code addresses are even there), so a bound delegate
/// has the same bytes on every processor.
struct MemberPointerBits {
    void* code;
    std::ptrdiff_t adjust;

    /// The code word as the delegate keeps it, and the adjustment in bytes.
    ///@{
    void* keptCode() const {
#if DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT
        return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(code) | (adjust & 1));
#else
        return code;
#endif
    }
    std::ptrdiff_t bytes() const {
#if DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT
        return adjust >> 1;
#else
        return adjust;
#endif
    }
    ///@}

    /// The member pointer of a kept code word, without adjustment.
    static MemberPointerBits fromKept(void* kept) {
#if DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT
        const std::uintptr_t word = reinterpret_cast<std::uintptr_t>(kept);
        return MemberPointerBits{reinterpret_cast<void*>(word & ~std::uintptr_t{1}),
                                 static_cast<std::ptrdiff_t>(word & 1)};
#else
        return MemberPointerBits{kept, 0};
#endif
    }
};

/// The four fields shared by every delegate, with their equality.
struct FunctionFields {
    unsigned char callable[16];
    std::uint32_t kind;
    const char* typeName;

    FunctionFields() : callable(), kind(kFunctionEmpty), typeName(nullptr) {}

    void* firstPointer() const {
        void* p;
        std::memcpy(&p, callable, sizeof p);
        return p;
    }
    void* secondPointer() const {
        void* p;
        std::memcpy(&p, callable + 8, sizeof p);
        return p;
    }

    bool equals(const FunctionFields& other) const {
        const std::uint32_t a = kind;
        const std::uint32_t b = other.kind;
        const bool bothNumbered = a >= kFunctionFirstReuse && b >= kFunctionFirstReuse;
        if (bothNumbered) {
            if (a != kFunctionAnyReuse && b != kFunctionAnyReuse && a != b) {
                return false;
            }
        } else {
            if (a != b) {
                return false;
            }
            if (a == kFunctionEmpty) {
                return true;
            }
            if (a == kFunctionFree) {
                return firstPointer() == other.firstPointer();
            }
        }
        return firstPointer() == other.firstPointer() && secondPointer() == other.secondPointer();
    }
};

template <typename R, typename... Args> class FunctionImpl : public FunctionFields {
public:
    using FreeFunction = R (*)(Args...);

    /// Empty.
    FunctionImpl() = default;

    /// Binds a free function; a null pointer gives an empty delegate.
    FunctionImpl(FreeFunction function) { // NOLINT: implicit by design, like a function pointer
        if (function != nullptr) {
            kind = kFunctionFree;
            std::memcpy(callable, &function, sizeof function);
        }
    }

    /// Binds a member function to an object.
    ///@{
    template <typename C, typename O> FunctionImpl(R (C::*method)(Args...), O* object) {
        bind<C>(method, object, kFunctionMember);
    }
    template <typename C, typename O> FunctionImpl(R (C::*method)(Args...) const, O* object) {
        bind<C>(method, object, kFunctionMember);
    }
    ///@}

    /// Binds a member function to an object with a reuse number. Numbers of
    /// 16 and more become the kind; smaller ones give a plain member binding.
    ///@{
    template <typename C, typename O> FunctionImpl(R (C::*method)(Args...), O* object, std::uint32_t reuse) {
        bind<C>(method, object, reuse >= kFunctionFirstReuse ? reuse : kFunctionMember);
    }
    template <typename C, typename O> FunctionImpl(R (C::*method)(Args...) const, O* object, std::uint32_t reuse) {
        bind<C>(method, object, reuse >= kFunctionFirstReuse ? reuse : kFunctionMember);
    }
    ///@}

    bool empty() const { return kind == kFunctionEmpty; }

    /// Calls what is bound. An empty delegate returns a value-initialised
    /// result instead of calling through nothing.
    R operator()(Args... args) const {
        switch (kind) {
        case kFunctionEmpty:
            return emptyResult();
        case kFunctionFree: {
            FreeFunction function;
            std::memcpy(&function, callable, sizeof function);
            return function(std::forward<Args>(args)...);
        }
        case kFunctionMember:
        case kFunctionAnyReuse:
            break;
        default:
            if (kind >= kFunctionFirstReuse) {
                setCurrentFunctionReuse(kind);
            }
            break;
        }
        using GenericMethod = R (GenericObject::*)(Args...);
        const MemberPointerBits bits = MemberPointerBits::fromKept(firstPointer());
        GenericMethod method;
        std::memcpy(&method, &bits, sizeof method);
#if defined(__GNUC__) && !defined(__clang__)
// Once inlined, GCC sees the virtual-call branch of the member-pointer call
// reading a vtable from an object that may have none; that branch is taken
// only for virtual functions, whose objects have one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
        return (static_cast<GenericObject*>(secondPointer())->*method)(std::forward<Args>(args)...);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    }

private:
    static R emptyResult() {
        if constexpr (std::is_void<R>::value) {
            return;
        } else {
            return R();
        }
    }

    template <typename C, typename O, typename M> void bind(M method, O* object, std::uint32_t bindKind) {
        using Target = typename std::conditional<std::is_const<O>::value, const C, C>::type;
        static_assert(sizeof(M) == sizeof(MemberPointerBits), "unexpected member-function pointer size");
        static_assert(std::is_convertible<O*, Target*>::value, "the object's class has no such member function");
        MemberPointerBits bits;
        std::memcpy(&bits, &method, sizeof bits);
        // Convert to the method's class first (which moves the pointer to the
        // right base), then apply the member pointer's own this-adjustment, so
        // the call needs none.
        Target* target = object;
        void* adjusted = const_cast<char*>(reinterpret_cast<const char*>(target)) + bits.bytes();
        void* code = bits.keptCode();
        kind = bindKind;
        typeName = typeid(O*).name();
        std::memcpy(callable, &code, sizeof code);
        std::memcpy(callable + 8, &adjusted, sizeof adjusted);
    }
};

template <typename R, typename... Args>
bool operator==(const FunctionImpl<R, Args...>& a, const FunctionImpl<R, Args...>& b) {
    return a.equals(b);
}
template <typename R, typename... Args>
bool operator!=(const FunctionImpl<R, Args...>& a, const FunctionImpl<R, Args...>& b) {
    return !a.equals(b);
}

} // namespace Detail

/// A delegate with no arguments, returning R.
template <typename R> class TFunction0 : public Detail::FunctionImpl<R> {
public:
    using Detail::FunctionImpl<R>::FunctionImpl;
    TFunction0() = default;
};

/// A delegate with one argument, returning R.
template <typename R, typename A1> class TFunction1 : public Detail::FunctionImpl<R, A1> {
public:
    using Detail::FunctionImpl<R, A1>::FunctionImpl;
    TFunction1() = default;
};

/// A delegate with two arguments, returning R.
template <typename R, typename A1, typename A2> class TFunction2 : public Detail::FunctionImpl<R, A1, A2> {
public:
    using Detail::FunctionImpl<R, A1, A2>::FunctionImpl;
    TFunction2() = default;
};

/// A delegate with three arguments, returning R.
template <typename R, typename A1, typename A2, typename A3>
class TFunction3 : public Detail::FunctionImpl<R, A1, A2, A3> {
public:
    using Detail::FunctionImpl<R, A1, A2, A3>::FunctionImpl;
    TFunction3() = default;
};

/// A delegate with four arguments, returning R.
template <typename R, typename A1, typename A2, typename A3, typename A4>
class TFunction4 : public Detail::FunctionImpl<R, A1, A2, A3, A4> {
public:
    using Detail::FunctionImpl<R, A1, A2, A3, A4>::FunctionImpl;
    TFunction4() = default;
};

/// A delegate with five arguments, returning R.
template <typename R, typename A1, typename A2, typename A3, typename A4, typename A5>
class TFunction5 : public Detail::FunctionImpl<R, A1, A2, A3, A4, A5> {
public:
    using Detail::FunctionImpl<R, A1, A2, A3, A4, A5>::FunctionImpl;
    TFunction5() = default;
};

/// A delegate with six arguments, returning R.
template <typename R, typename A1, typename A2, typename A3, typename A4, typename A5, typename A6>
class TFunction6 : public Detail::FunctionImpl<R, A1, A2, A3, A4, A5, A6> {
public:
    using Detail::FunctionImpl<R, A1, A2, A3, A4, A5, A6>::FunctionImpl;
    TFunction6() = default;
};

/// The layout shared with code built against these headers.
///@{
static_assert(sizeof(TFunction1<void, int>) == 32, "a delegate is 32 bytes");
static_assert(offsetof(Detail::FunctionFields, callable) == 0, "callable bytes come first");
static_assert(sizeof(Detail::FunctionFields::callable) == 16, "16 callable bytes");
static_assert(offsetof(Detail::FunctionFields, kind) == 16, "the kind follows the callable bytes");
static_assert(offsetof(Detail::FunctionFields, typeName) == 24, "the type name is 8-byte aligned after the kind");
///@}
/// @}

} // namespace Virad
} // namespace Orvane

#endif
