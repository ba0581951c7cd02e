/// \file
/// The per-thread last error, the process-wide table of error messages,
/// assertion reports and hexadecimal dumps.
///
/// Error codes are 32-bit; the upper 16 bits name the subsystem (0x1000 for
/// this library's infrastructure, 0x1003 for the component model). A thread
/// that never stored a code reads 0; nothing clears a code on success.
///
/// The message table is guarded by its own lock. getErrMsg hands out the
/// table's own text, which stays valid until that code's text is set again.
#ifndef DOZUV2_VIRAD_LASTERROR_H
#define DOZUV2_VIRAD_LASTERROR_H

#include "virad/Assertion.h"
#include "virad/Export.h"
#include "virad/devez3/detail/flex_string.h"

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

/// Setting the system clock failed.
constexpr int kErrorSetTimeFailed = 0x1000000e;
/// Setting the real-time clock failed (set by set-time hooks).
constexpr int kErrorSetRtcFailed = 0x1000000f;

/// The calling thread's last error: set, and read (0 until set).
///@{
DOZUV2_API void setLastError(int code);
DOZUV2_API int getLastError();
///@}

/// Stores the text for the code (a null text stores the empty text).
DOZUV2_API void setErrMsg(int code, const char* text);
/// The text stored for the code, or the empty text; never null.
DOZUV2_API const char* getErrMsg(int code);
/// The same with flex_string texts.
///@{
DOZUV2_API void setErrorMessage(int code, const flex_string& text);
DOZUV2_API flex_string getErrorMessage(int code);
///@}

/// Prints a hexadecimal dump of the memory at level 5, 16 bytes a row.
DOZUV2_API void dumpHex(unsigned char* address, unsigned long long length);
/// @}

} // namespace Virad
} // namespace Orvane

#endif
