/// \file
/// The SHA-1 message digest (FIPS 180-4), 20 bytes, with binary and
/// lower-case hexadecimal output.
///
/// SHA-1 is broken for collision resistance; it is kept for checksums and for
/// compatibility with peers that use it.
///
/// Feed data with update; final or hex finishes the digest, which then stays
/// fixed until the next update with data, which starts a fresh digest of only
/// the new data. A null buffer or a room too small is reported at level 2 and
/// nothing is written. Where the processor has SHA instructions they are used
/// (found at run time), with the same results.
///
/// Thread-safety: one object is used by one thread at a time.
#ifndef DOZUV2_UTILS_SHA1_H
#define DOZUV2_UTILS_SHA1_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// A SHA-1 computation: feed bytes, then read the digest.
class DOZUV2_API CSha1 {
public:
    CSha1();
    ~CSha1();
    CSha1(const CSha1&) = delete;
    CSha1& operator=(const CSha1&) = delete;

    /// Adds length bytes; null data or length 0 does nothing.
    void update(const unsigned char* data, std::size_t length);
    /// Writes the 20 digest bytes; length is the room in digest (at least 20).
    void final(unsigned char* digest, std::size_t length);
    /// Writes 40 hexadecimal digits, and a terminator when length (the room in
    /// text, at least 40) is more than 40.
    void hex(char* text, std::size_t length);

private:
    struct Sha1Internal;
    Sha1Internal* m_internal;
};
/// @}

} // namespace Utils
} // namespace Orvane

#endif
