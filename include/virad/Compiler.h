/// \file
/// Compiler specifics behind portable macros: everything outside this header,
/// Export.h and the platform layer is written without compiler extensions.
///
/// DOZUV2_PRINTF_FORMAT(f, a)  after a declaration: argument f is a printf
///                             format and the values start at argument a
///                             (1-based), so the compiler checks the values.
/// DOZUV2_FUNCTION_SIGNATURE   the qualified name and signature of the
///                             enclosing function, as reports print it.
/// DOZUV2_LIKELY(x)            x as a condition, telling the optimiser which
/// DOZUV2_UNLIKELY(x)          way it usually goes.
/// DOZUV2_ALWAYS_INLINE        in place of inline, for a short internal
///                             function that a hot path must not call.
/// DOZUV2_NOINLINE             before a function that must stay a call: the
///                             rare path of a hot one, kept out of its frame.
/// DOZUV2_HAS_ARGUMENT_FORWARDING
///                             1 where an inline variadic function can hand
///                             its variable arguments on to another variadic
///                             function (GNU C++), so a cheap test can sit in a
///                             header in front of an exported variadic call;
///                             0 elsewhere. Where it is 1:
/// DOZUV2_FORWARDING_INLINE    marks the header's definition of such a
///                             function: always inlined, never emitted, the
///                             library's own definition serving every other use;
/// DOZUV2_FORWARDED_ARGUMENTS  the variable arguments, as the last argument of
///                             the call made from it.
/// DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT
///                             1 where a member-function pointer marks a
///                             virtual function in the low bit of its
///                             this-adjustment, which is then stored doubled,
///                             its code word holding the plain vtable offset
///                             (the ARM variant of the Itanium ABI, on 64-bit
///                             ARM); 0 where the code word itself is odd for a
///                             virtual function (1 + the vtable offset).
///
/// GNU C++ and clang, on Linux and as MinGW-w64 on Windows, use their
/// attributes and built-ins; MinGW checks formats against the printf its C
/// library was configured with. Those compilers share the Itanium C++ ABI the
/// delegates are written for. MSVC (and clang-cl, which follows MSVC's ABI)
/// lays out member-function pointers differently; until someone writes and
/// tests that layout the library refuses to build with them.
#ifndef DOZUV2_VIRAD_COMPILER_H
#define DOZUV2_VIRAD_COMPILER_H

#if defined(_MSC_VER)
#error "Dozuv2 builds with GCC or clang in the Itanium C++ ABI (MinGW-w64 on Windows); not with MSVC or clang-cl"
#endif

#if defined(__MINGW32__)
#include <cstdio> // defines __MINGW_PRINTF_FORMAT for the printf the C library was configured with
#endif
#if defined(__MINGW32__) && defined(__MINGW_PRINTF_FORMAT)
#define DOZUV2_PRINTF_FORMAT(formatIndex, firstValue)                                                                  \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstValue)))
#elif defined(__MINGW32__)
#define DOZUV2_PRINTF_FORMAT(formatIndex, firstValue) __attribute__((format(gnu_printf, formatIndex, firstValue)))
#else
#define DOZUV2_PRINTF_FORMAT(formatIndex, firstValue) __attribute__((format(printf, formatIndex, firstValue)))
#endif
#define DOZUV2_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#define DOZUV2_LIKELY(x) __builtin_expect(!!(x), 1)
#define DOZUV2_UNLIKELY(x) __builtin_expect(!!(x), 0)
#define DOZUV2_ALWAYS_INLINE inline __attribute__((always_inline))
#define DOZUV2_NOINLINE __attribute__((noinline))
#if defined(__clang__)
#define DOZUV2_HAS_ARGUMENT_FORWARDING 0
#else
#define DOZUV2_HAS_ARGUMENT_FORWARDING 1
#define DOZUV2_FORWARDING_INLINE extern inline __attribute__((gnu_inline, always_inline, artificial))
#define DOZUV2_FORWARDED_ARGUMENTS __builtin_va_arg_pack()
#endif
#if defined(__aarch64__)
#define DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT 1
#else
#define DOZUV2_VIRTUAL_FLAG_IN_ADJUSTMENT 0
#endif

#endif
