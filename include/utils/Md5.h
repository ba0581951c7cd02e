/// \file
/// The MD5 message digest (RFC 1321), 16 bytes, with binary and lower-case
/// hexadecimal output.
///
/// MD5 is broken for collision resistance; it is kept for checksums and for
/// compatibility with peers that use it.
///
/// Feed data with update; final or hex finishes the digest, which then stays
/// fixed (asking again gives the same bytes) until the next update with data,
/// which starts a fresh digest of only the new data. init restarts at once.
/// A null buffer is reported at level 2 and nothing is written.
///
/// Thread-safety: one object is used by one thread at a time.
#ifndef DOZUV2_UTILS_MD5_H
#define DOZUV2_UTILS_MD5_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// An MD5 computation: feed bytes, then read the digest.
class DOZUV2_API CMd5 {
public:
    CMd5();
    ~CMd5();
    CMd5(const CMd5&) = delete;
    CMd5& operator=(const CMd5&) = delete;

    /// Discards any data fed and any finished digest.
    void init();
    /// Adds length bytes; null data or length 0 does nothing.
    void update(const unsigned char* data, std::size_t length);
    /// Writes the 16 digest bytes.
    void final(unsigned char* digest);
    /// Writes 32 hexadecimal digits and no terminator.
    void hex(char* text);

private:
    struct Md5Internal;
    Md5Internal* m_internal;
};
/// @}

} // namespace Utils
} // namespace Orvane

#endif
