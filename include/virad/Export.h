/// \file
/// Export control for the Dozuv2 library.
///
/// DOZUV2_API marks every class and function that belongs to the library's
/// binary interface. The library is compiled with hidden visibility, so what
/// carries this macro is exactly what callers can link against. On Windows the
/// same macro turns into dllexport while the library is built and dllimport in
/// code that uses it.
#ifndef DOZUV2_VIRAD_EXPORT_H
#define DOZUV2_VIRAD_EXPORT_H

#include "virad/Compiler.h" // stops unsupported compilers at the first public header

#if defined(_WIN32)
#if defined(DOZUV2_BUILDING)
#define DOZUV2_API __declspec(dllexport)
#else
#define DOZUV2_API __declspec(dllimport)
#endif
#else
#define DOZUV2_API __attribute__((visibility("default")))
#endif

// Plain C entry points keep their unmangled names.
#ifdef __cplusplus
#define DOZUV2_C_API extern "C" DOZUV2_API
#else
#define DOZUV2_C_API DOZUV2_API
#endif

#endif
