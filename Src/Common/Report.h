// How the library reports: its own messages and its broken invariants.
//
// VIRAD_REPORT(level, format, ...) prints through the print path with module
// "Unknown", the repository-relative source path, the qualified function name,
// the line and version "Unknown". Messages of instance methods start with
// "this:%p ".
//
// VIRAD_ASSERT(expression) ends the process with an assertion report when the
// expression is false.
#ifndef DOZUV2_COMMON_REPORT_H
#define DOZUV2_COMMON_REPORT_H

#include "virad/Assertion.h"
#include "virad/Compiler.h"
#include "virad/LastError.h"
#include "virad/PrintLog.h"

#define VIRAD_REPORT(level, ...)                                                                                       \
    ::Orvane::Virad::logFilter((level), "Unknown", __FILE__, DOZUV2_FUNCTION_SIGNATURE, __LINE__, "Unknown",           \
                               __VA_ARGS__)

#define VIRAD_ASSERT(expression)                                                                                       \
    do {                                                                                                               \
        if (DOZUV2_UNLIKELY(!(expression))) {                                                                          \
            ::Orvane::Virad::Detail::assertionFailed(#expression, DOZUV2_FUNCTION_SIGNATURE, __FILE__, __LINE__);      \
        }                                                                                                              \
    } while (0)

#endif
