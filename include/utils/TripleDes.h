/// \file
/// DES and triple DES (TDEA, encrypt-decrypt-encrypt), chosen by the key
/// length, in ECB or CBC, with the standard 8-byte block or a paired 16-byte
/// block.
///
/// DES and TDEA are legacy ciphers, kept for compatibility with data and peers
/// that still use them; new designs should use AES. Neither mode here
/// authenticates data.
///
/// Key length (the key is cut to 24 bytes and zero-padded to 24):
///   1 to 8    single DES with key[0..8)
///   9 to 16   two-key TDEA: K1 = key[0..8), K2 = key[8..16), K3 = K1
///   17 to 24  three-key TDEA: K1, K2, K3 = key[0..8), [8..16), [16..24)
/// The block16 type (keys longer than 8 bytes only) runs two 8-byte halves
/// through the three steps, exchanging the second word of the first half with
/// the first word of the second between the steps.
///
/// No padding: a size that is not a whole number of blocks is reported, the
/// whole blocks are still processed, the trailing bytes of out are left
/// untouched, and the call returns false. CBC starts from the object's IV on
/// every call: each call is an independent CBC message. A call processes at
/// most 2147483647 bytes. A null in or out is reported and nothing is
/// processed; the result is then that of the size test alone. A null key
/// counts as an empty one, which makes every call fail.
///
/// Thread-safety: the key schedules belong to the object and calls do not
/// change it, so one object may be used by several threads at once and
/// objects never wait for each other.
/// Lifetime: the key and its schedules are overwritten with zeros on
/// destruction.
#ifndef DOZUV2_UTILS_TRIPLEDES_H
#define DOZUV2_UTILS_TRIPLEDES_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// A DES or triple-DES key with its mode, described above.
class DOZUV2_API CTripleDes {
public:
    /// Only block16 selects the 16-byte block; every other value means 8.
    enum BlockType { block8 = 0, block16 = 1 };

    /// iv holds one block (8 or 16 bytes); null means ECB, otherwise CBC.
    CTripleDes(const unsigned char* key, std::size_t keyLength, BlockType type, const unsigned char* iv);
    ~CTripleDes();
    CTripleDes(const CTripleDes&) = delete;
    CTripleDes& operator=(const CTripleDes&) = delete;

    /// size bytes from in to out; out may be in. True when size was a whole
    /// number of blocks and the key is not empty.
    ///@{
    bool encrypt(unsigned char* out, const unsigned char* in, std::size_t size);
    bool decrypt(unsigned char* out, const unsigned char* in, std::size_t size);
    ///@}

private:
    struct TripleDesInternal;
    TripleDesInternal* m_internal;
};
/// @}

} // namespace Utils
} // namespace Orvane

#endif
