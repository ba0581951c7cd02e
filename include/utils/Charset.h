/// \file
/// Character-set conversion between UTF-8, 16-bit Unicode (one unit per
/// character, no surrogate pairs), UCS-4, GBK (code page 936, named GB2312
/// here) and a family of single-byte code pages.
///
/// Every function works on the caller's buffers, keeps no state besides
/// constant tables and is reentrant. Problems are reported by the result; only
/// UCS4ToUtf8 prints (warn level). No function writes a terminator unless it
/// says so. Sizes are in bytes, counts of 16-bit text in units.
///
/// UTF-8 follows the original six-byte form: 1 byte up to 0x7F, 2 up to 0x7FF,
/// 3 up to 0xFFFF, 4 up to 0x1FFFFF, 5 up to 0x3FFFFFF, 6 up to 0x7FFFFFFF; a
/// sequence longer than its value needs (an overlong form) is invalid.
///
/// GBK text: a byte below 0x80 is ASCII, 0x80 is the euro sign (U+20AC), and a
/// lead byte 0x81..0xFE with a trail byte forms a two-byte code.
#ifndef DOZUV2_UTILS_CHARSET_H
#define DOZUV2_UTILS_CHARSET_H

#include "virad/Export.h"

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

// ---- UTF-8 and 16-bit Unicode ----

/// Decodes the sequence at s, reading at most n bytes, and stores the low 16
/// bits of its value at wc. Returns its length (1 to 6), or -1 for an invalid,
/// overlong or cut sequence (nothing stored).
DOZUV2_API int utf8_mbtowc(unsigned short* wc, const unsigned char* s, int n);

/// Decodes up to n bytes or the first 0 byte into out, one unit per
/// character. An invalid byte is skipped and decoding goes on with the next
/// one. Returns the units written (out must hold n); writes no terminator.
DOZUV2_API int utf8_mbstowcs(unsigned short* out, const unsigned char* s, int n);

/// Encodes wc in 1 to 3 bytes at s. Returns the length, -1 when maxlen bytes
/// are too few, 0 when s is null.
DOZUV2_API int utf8_wctomb(unsigned char* s, unsigned short wc, int maxlen);

/// Encodes the units up to the first 0 unit into at most maxlen bytes. A
/// character that no longer fits is dropped and costs one byte of maxlen.
/// Returns the bytes written; writes no terminator.
DOZUV2_API int utf8_wcstombs(unsigned char* out, const unsigned short* wcs, int maxlen);

/// Decodes the first character (one to three bytes) of s. *length is 0 at
/// first and becomes 1, 2 or 3 when a lead byte of that length is seen. A 0
/// byte before the character is complete gives 0. A four-byte or longer lead
/// byte, a continuation byte without a lead byte, or a further lead byte
/// (ASCII included) ends decoding early: the result is then the bits gathered
/// so far (0 when none). length may be null.
DOZUV2_API unsigned short GetUnicodeFromUtf8(const char* s, int* length);

/// Encodes ucs4Bytes / 4 codes (native byte order, any alignment) in the
/// six-byte form; codes of 0x80000000 and above are skipped. Stops, with a
/// warn-level report, at the first code that does not fit in utf8Size.
/// Returns the bytes written (0 with a report for a null buffer or a size not
/// a multiple of 4); writes no terminator.
DOZUV2_API int UCS4ToUtf8(char* ucs4, int ucs4Bytes, unsigned char* utf8, int utf8Size);

// ---- GBK ----

/// Writes the GBK code of uni (at most room bytes). Code points with a
/// two-byte code give 2; the euro sign gives its single byte 0x80 (1, room 1
/// is enough). U+0001..U+00FF become the byte of the same value (1). Returns
/// -1 for room below 1, room below 2 for a two-byte code, 0, or a code point
/// GBK lacks.
DOZUV2_API int uni2char(unsigned short uni, unsigned char* out, int room);

/// Reads one GBK character from at most n bytes into *uni. A lead byte with a
/// non-zero next byte is read as a pair: 2, or -1 when the pair has no
/// character. Otherwise one byte is read by the single-byte table (0 for a
/// byte without a character): 1. n below 1 gives -1.
DOZUV2_API int char2uni(const unsigned char* s, int n, unsigned short* uni);

/// Clears outSize bytes of out, then converts units up to the first 0 unit or
/// uniCount units, whichever comes first, stopping before a character that
/// would overrun outSize. Returns the units converted (the output is
/// terminated only when room is left), or -1 at the first unit GBK cannot
/// encode (bytes written before it stay).
DOZUV2_API int UniTGb2312(unsigned short* uni, int uniCount, char* out, int outSize);

/// Clears outCount units of out, then converts the terminated GBK text until
/// it ends or outCount units were written; adds a 0 unit when room is left.
/// A byte without a character gives a 0 unit. A two-byte code GBK does not
/// map gives U+FFFD and never moves backwards: it consumes both bytes when the
/// second is 0x80 or above, and only the first when the second is an ASCII
/// byte, so that byte is read again as a character of its own. Returns the
/// units written; 0 for null arguments.
DOZUV2_API int Gb2312ToUni(char* gbk, unsigned short* out, int outCount);

/// Converts the terminated GBK text to UTF-8 (via 16-bit Unicode, which ends
/// at the first unit 0): clears utf8Size bytes, returns the bytes written.
/// 0 for null arguments or an empty text.
DOZUV2_API int Gb2312TUtf8(char* gbk, unsigned char* utf8, int utf8Size);

/// Converts at most utf8Length bytes of UTF-8 (stopping at a 0 byte; invalid
/// bytes are skipped) to GBK with UniTGb2312's rules and result. 0 for null
/// arguments or an empty input.
DOZUV2_API int utf8TGb2312(unsigned char* utf8, char* gbk, int utf8Length, int gbkSize);

// ---- Windows-1252 ----

/// Converts inLength bytes, stopping at the first byte without a character
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D): every byte from there on, and every 0 byte,
/// becomes one 0 byte of output. Returns 0 when the whole output fitted in
/// outSize (and was written), otherwise the size it needs (nothing written);
/// -1 for a null input or inLength below 1.
DOZUV2_API int cp1252_to_utf8(unsigned char* out, int outSize, const unsigned char* in, int inLength);

/// Converts UTF-8 to Windows-1252, writing at most outSize bytes; a character
/// without a byte is dropped. A stray continuation byte, a bad or overlong
/// sequence, or one cut by inLength ends the walk. Returns the bytes written.
DOZUV2_API int utf8_to_cp1252(const unsigned char* in, int inLength, unsigned char* out, int outSize);

// ---- Single-byte pages to UTF-8 ----
//
// Each converts inLength bytes into out. Bytes without a character (byte 0
// included) are skipped; conversion stops before a character that does not
// fit. On return inLength holds the bytes taken (skipped ones included) and
// outSize the bytes written; result 0. A null pointer, inLength below 1 or an
// outSize smaller than inLength gives -1 and changes nothing. No terminator.

/// One per page, as described above: cp862 DOS Hebrew, cp874 Windows Thai, cp1250 Central European, cp1251
/// Cyrillic, and the ISO 8859 pages by their part number.
///@{
DOZUV2_API int cp862_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int cp874_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int cp1250_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int cp1251_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_1_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_2_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_3_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_4_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_5_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_6_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_7_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_8_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_9_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_10_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_13_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_14_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_15_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
DOZUV2_API int iso8859_16_to_utf8(unsigned char* out, int& outSize, const unsigned char* in, int& inLength);
///@}
/// @}

} // namespace Utils
} // namespace Orvane

#endif
