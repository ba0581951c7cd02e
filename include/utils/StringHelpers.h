/// \file
/// Bounded string copies, the process-wide formatter and comparison that a
/// host may replace, and IPv4 addresses between a 32-bit value and dotted text.
///
/// The functions keep no state and may be called from any thread. The two
/// function pointers are process-wide: set them before other threads use them.
#ifndef DOZUV2_UTILS_STRINGHELPERS_H
#define DOZUV2_UTILS_STRINGHELPERS_H

#include "virad/Compiler.h"
#include "virad/Export.h"

#include <cstddef>

/// \addtogroup utilities
/// @{

/// An IPv4 address: the value holds it in host byte order with the first
/// number of the dotted text in its most significant byte on every host
/// (192.168.1.10 is 0xC0A8010A). The bytes show the value's memory layout.
union IpAddress {
    /// The address as one value, and the bytes of that value in memory.
    ///@{
    unsigned int value;
    unsigned char bytes[4];
    ///@}
};
/// @}

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// Formats into buffer writing at most size characters; returns the length
/// written, or -1 when the text did not fit. A text that fills the buffer
/// exactly, or was cut, is not terminated. Initially the library's bounded
/// formatter; a host may assign its own.
DOZUV2_API extern int (*snprintf)(char* buffer, std::size_t size, const char* format, ...);

/// Compares two texts ignoring case: negative, 0 or positive. Initially the C
/// library's case-insensitive comparison; a host may assign its own.
DOZUV2_API extern int (*stricmp)(const char* left, const char* right);

/// Copies at most min(dstSize - 1, count) characters of src (fewer when src is
/// shorter) and puts a terminator at dst[min(dstSize - 1, count)]. Returns the
/// length of the text now in dst. dstSize must be at least 1.
DOZUV2_API std::size_t strncpy(char* dst, std::size_t dstSize, const char* src, std::size_t count);

/// Appends at most min(room - 1, count) characters of src to the text in dst,
/// where room is dstSize less that text's length, and terminates both the
/// result and the buffer's last byte. Returns that allowed number, whether or
/// not src had so many characters. The text in dst must be shorter than dstSize.
DOZUV2_API std::size_t strncat(char* dst, std::size_t dstSize, const char* src, std::size_t count);

/// Formats into buffer with the library's bounded formatter and always leaves
/// a terminated text of at most size - 1 characters. Returns its length. size
/// must be at least 1.
DOZUV2_API int snprintf_x(char* buffer, int size, const char* format, ...) DOZUV2_PRINTF_FORMAT(3, 4);

/// Writes the address as "a.b.c.d", most significant byte first, bounded by
/// size (cut like snprintf_x). Returns buffer.
DOZUV2_API char* ipToString(IpAddress ip, char* buffer, std::size_t size);

/// Reads "a.b.c.d"; each byte keeps the low 8 bits of its number. A null text
/// or fewer than four numbers is reported at warn level; the numbers read so
/// far are kept and the rest are 0.
DOZUV2_API IpAddress stringToIp(const char* text);
/// @}

} // namespace Utils
} // namespace Orvane

#endif
