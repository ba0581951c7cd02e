/// \file
/// The print path: every message the library or its host prints passes
/// logFilterEx, which drops it by level and module, builds the line prefix
/// (time, level, module, version, thread, file, line, function) from the print
/// options, formats the message behind it and hands the line to the log
/// printer or the console, to every attached printer, to the log file and to
/// the per-module statistics.
///
/// Levels: 1 fatal, 2 error, 3 warn, 4 info, 5 trace, 6 debug (printed as 5).
/// A message is printed when its level is not above the print level (4 by
/// default; 0 prints nothing).
///
/// Thread-safety: any thread may print and configure. Printers are called on a
/// copy of their list taken under its lock, so a printer may print, attach or
/// detach printers (itself included) without deadlock. Two threads printing at
/// once may interleave their lines. Nothing here throws or sets the last error.
#ifndef DOZUV2_VIRAD_PRINTLOG_H
#define DOZUV2_VIRAD_PRINTLOG_H

#include "virad/Compiler.h"
#include "virad/Export.h"
#include "virad/Function.h"
#include "virad/SystemTime.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <string>

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

/// The print levels; debug messages print as trace.
enum LogLevel { LOG_FATAL = 1, LOG_ERROR = 2, LOG_WARN = 3, LOG_INFO = 4, LOG_TRACE = 5, LOG_DEBUG = 6 };

/// How lines are laid out. Every flag is 0 by default: the line shows time,
/// level, module, version, thread id, file and line, in colour, and also goes
/// to the log file. The reserved bytes are kept and returned unchanged.
///@{
struct PrintOptions {
    unsigned char hideTime;         ///< the time is a single blank
    unsigned char noColor;          ///< the console colour is left alone
    unsigned char hideModule;       ///< no module name
    unsigned char hideLevel;        ///< no level name
    unsigned char hideThreadId;     ///< no thread id
    unsigned char hideVersion;      ///< no version text
    unsigned char showFunction;     ///< add the function name
    unsigned char hideFile;         ///< no file name
    unsigned char hideLine;         ///< no line number
    unsigned char showDate;         ///< the date before the time
    unsigned char showMilliseconds; ///< milliseconds after the seconds
    unsigned char tagged;           ///< the tagged layout ("[|T: ... L:info|...m:]")
    unsigned char noLogFile;        ///< not written to the log file
    /// Kept and returned unchanged.
    unsigned char reserved[19];
};
static_assert(sizeof(PrintOptions) == 32, "thirteen flags and 19 reserved bytes");
///@}

/// The statistics of one module.
struct LogModuleInfo {
    std::uint64_t printedBytes; ///< characters of all lines printed, prefix included (saturates at 4294967295)
    std::uint64_t reserved;     ///< always 0
};

namespace Detail {

/// The print level (4, info, until set). Read by the inline level step of
/// logFilter below; written by setPrintLogLevel.
DOZUV2_API extern std::atomic<int> g_printLevel;
/// logFilter's out-of-line body, which the inline level step calls for the
/// messages it lets through.
DOZUV2_API int logFilterChecked(int level, const char* module, const char* file, const char* function, int line,
                                const char* version, const char* format, ...) DOZUV2_PRINTF_FORMAT(7, 8);
/// Debug messages are filtered as trace ones.
inline int filteredLevel(int level) {
    return level == LOG_DEBUG ? LOG_TRACE : level;
}

} // namespace Detail

/// The filter. Arguments: level, module, source file, function, line, version,
/// printf format and the caller's argument list. Returns the length of the
/// delivered line, 0 when nothing was printed.
DOZUV2_API int logFilterEx(int level, const char* module, const char* file, const char* function, int line,
                           const char* version, const char* format, va_list args);
/// The same with the values themselves.
DOZUV2_API int logFilter(int level, const char* module, const char* file, const char* function, int line,
                         const char* version, const char* format, ...) DOZUV2_PRINTF_FORMAT(7, 8);

#if DOZUV2_HAS_ARGUMENT_FORWARDING && !defined(DOZUV2_BUILDING)
/// A message below the print level is dropped right here, without a call into
/// the library: a filtered-out log call costs one load and one comparison.
/// Everything else goes to the library, which applies every rule again.
DOZUV2_FORWARDING_INLINE int logFilter(int level, const char* module, const char* file, const char* function, int line,
                                       const char* version, const char* format, ...) {
    const int filtered = Detail::filteredLevel(level);
    if (filtered > Detail::g_printLevel.load(std::memory_order_relaxed) && filtered <= LOG_TRACE) {
        return 0;
    }
    return Detail::logFilterChecked(level, module, file, function, line, version, format, DOZUV2_FORWARDED_ARGUMENTS);
}
#endif

/// Convenience: module, file "Unknown", no function, line 0, no version.
///@{
DOZUV2_API int logTrace(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logDebug(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logInfo(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logWarn(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logError(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logFatal(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
///@}

/// Prints with a library name as the module; 0 unless 1 <= level <= 6.
DOZUV2_API int logLibName(int level, const char* libName, const char* format, ...) DOZUV2_PRINTF_FORMAT(3, 4);

/// The print level: messages above it are dropped (4, info, until set).
///@{
DOZUV2_API void setPrintLogLevel(int level);
DOZUV2_API int getPrintLogLevel();
///@}

/// Replaces the print options.
DOZUV2_API void setPrintOptions(PrintOptions options);
/// Copies the options out; 0.
DOZUV2_API int getPrintOptions(PrintOptions* options);

/// Replaces the log printer, which then receives every line instead of the
/// console; an empty delegate restores the console. 0.
DOZUV2_API int setLogPrinter(TFunction1<void, const char*> printer);
/// Appends a printer that receives every delivered line; false if an equal one is attached.
DOZUV2_API bool attachPrint(TFunction1<bool, const char*> printer);
/// Removes the equal printer; false if there is none. A line that another
/// thread was delivering at that moment may still reach the printer, so keep
/// what it is bound to alive a little longer than the attachment.
DOZUV2_API bool detachPrint(TFunction1<bool, const char*> printer);

/// A copy of the per-module statistics.
DOZUV2_API std::map<std::string, LogModuleInfo> getLogStatistics();
/// @}

} // namespace Virad
} // namespace Orvane

/// \addtogroup diagnostics
/// @{

/// The same convenience functions in the global namespace.
/// Convenience: module, file "Unknown", no function, line 0, no version.
///@{
DOZUV2_API int logTrace(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logDebug(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logInfo(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logWarn(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logError(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
DOZUV2_API int logFatal(const char* format, ...) DOZUV2_PRINTF_FORMAT(1, 2);
///@}

/// The C-callable twin of the filter and the console functions it shares.
/// Virad_logFilter applies no module switches, printers, log file or statistics.
DOZUV2_C_API int Virad_logFilter(int level, const char* module, const char* file, const char* function, int line,
                                 const char* version, const char* format, ...) DOZUV2_PRINTF_FORMAT(7, 8);
/// Builds the line prefix into buffer (room characters at most); returns its
/// length (0 when the previous line was not ended), or -1. Stores the local
/// time into *time when time is not null.
DOZUV2_C_API int Virad_logOptionControl(char* buffer, int room, int level, const char* module, const char* file,
                                        const char* function, int line, const char* version,
                                        Orvane::Virad::SystemTimeEx* time);
/// Writes text to the debugger output and the standard output; the level is not used.
DOZUV2_C_API int Virad_print(int level, const char* text);
/// Restores the console colour once a line has ended.
DOZUV2_C_API void Virad_resetcolor();
/// The 13 option flags that the prefix builder reads; never null.
DOZUV2_C_API unsigned char* Virad_getPrintOption();
/// @}

#endif
