/// \file
/// Base64 with the standard alphabet (A-Z, a-z, 0-9, +, /) and = padding, no
/// line breaks, in two families: one with int sizes and one (Ex) with 64-bit
/// sizes.
///
/// Encoding writes 4 characters per 3 input bytes (the last group padded with
/// =) and a terminator; the result counts the terminator. Input bytes are
/// taken as unsigned. base64EncodeLen gives the room it needs,
/// (length + 2) / 3 * 4 + 1, computed in the family's arithmetic (the int
/// form wraps as signed 32-bit arithmetic does past 2^31 - 1). For length 0,
/// base64Encode writes nothing and returns 0, base64EncodeEx writes the
/// terminator and returns 1.
///
/// Decoding reads the leading characters that belong to the alphabet and
/// stops at the first that does not (=, the terminator, a line break, a space,
/// any byte of 0x80 or above). Groups of 4 give 3 bytes; a last group of 3, 2
/// or 1 characters gives 2, 1 or no bytes. A terminator follows the bytes
/// (also when there are none); the result counts the bytes only.
/// base64DecodeLen gives the room for the bytes and the terminator.
///
/// No failure path: the caller provides valid pointers and buffers of the
/// sizes the length functions give. Reentrant.
#ifndef DOZUV2_UTILS_BASE64_H
#define DOZUV2_UTILS_BASE64_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// The int family: room for an encoding, encode, room for a decoding, decode (see above).
///@{
DOZUV2_API int base64EncodeLen(int length);
DOZUV2_API int base64Encode(char* out, const char* in, int length);
DOZUV2_API int base64DecodeLen(const char* in);
DOZUV2_API int base64Decode(char* out, const char* in);
///@}

/// The same with 64-bit sizes.
///@{
DOZUV2_API std::size_t base64EncodeLenEx(std::size_t length);
DOZUV2_API std::size_t base64EncodeEx(char* out, const char* in, std::size_t length);
DOZUV2_API std::size_t base64DecodeLenEx(const char* in);
DOZUV2_API std::size_t base64DecodeEx(char* out, const char* in);
///@}
/// @}

} // namespace Utils
} // namespace Orvane

#endif
