/// \file
/// Assertion reports: a broken invariant is written to the standard error
/// stream and the process ends. Used by the library itself and by its
/// header-only classes.
#ifndef DOZUV2_VIRAD_ASSERTION_H
#define DOZUV2_VIRAD_ASSERTION_H

#include "virad/Compiler.h"
#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

namespace Detail {

/// Expression text, function, source file and line; never returns.
[[noreturn]] DOZUV2_API void assertionFailed(const char* expression, const char* function, const char* file, long line);
/// The same with a message (usually ending in its own newline).
[[noreturn]] DOZUV2_API void assertionFailedMsg(const char* expression, const char* message, const char* function,
                                                const char* file, long line);

} // namespace Detail
/// @}

} // namespace Virad
} // namespace Orvane

/// \addtogroup diagnostics
/// @{

/// Fails with the given condition text from inline code in public headers,
/// which never throw: a request they cannot honour ends the process.
#define DOZUV2_FAIL(expression)                                                                                        \
    ::Orvane::Virad::Detail::assertionFailed(expression, DOZUV2_FUNCTION_SIGNATURE, __FILE__, __LINE__)
/// @}

#endif
