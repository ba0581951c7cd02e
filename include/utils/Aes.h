/// \file
/// AES (128-bit block; 128-, 192- and 256-bit keys) in five modes of
/// operation: ECB, CBC, CFB-8, CFB-128 and CTR.
///
/// The key, its size, the mode and the IV are fixed when the object is made;
/// there is no re-keying and no padding. ECB and CBC take whole 16-byte
/// blocks only; the other modes take any length. CBC, CFB and CTR carry their
/// state (IV, shift register, feedback block, counter and position in the
/// key stream) from call to call, and encryption and decryption share it: one
/// object handles one continuous stream, and what one object encrypted is
/// decrypted by a second object made with the same key, size, mode and IV.
/// None of these modes authenticates data: a ciphertext changed on its way is
/// decrypted into changed plaintext without any error.
///
/// Where the processor has AES instructions they are used (found at run
/// time); otherwise a portable table-driven implementation runs. Both give
/// the same bytes.
///
/// Failures: an object made with an invalid mode, a null key or an invalid
/// key size (or when memory ran out) fails every call with "aes init
/// failed.\n" at level 2. A call whose length breaks the mode's rule, or that
/// has a null buffer with a non-zero length, returns false and writes nothing.
///
/// Thread-safety: objects are independent; one object must not be used by
/// two threads at once, since every call moves its stream state.
/// Lifetime: the key schedules are overwritten with zeros on destruction.
#ifndef DOZUV2_UTILS_AES_H
#define DOZUV2_UTILS_AES_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

class AesInternal;

/// An AES key and mode with the stream state of one message.
class DOZUV2_API CAes {
public:
    /// The modes of operation, and the key lengths in bits.
    ///@{
    enum EncMode { ECB = 0, CBC = 1, CFB8 = 2, CFB128 = 3, CTR = 4 };
    enum KeyBits { bits128 = 128, bits192 = 192, bits256 = 256 };
    ///@}

    /// key holds bits / 8 bytes. iv holds 16 bytes; null means 16 zero bytes.
    /// ECB ignores the IV.
    CAes(EncMode mode, const unsigned char* key, KeyBits bits, const unsigned char* iv);
    ~CAes();

    /// A copy is a second, independent object in the same state: same key,
    /// mode and current stream position. Both go on from that point on their
    /// own, so each produces what the original would have produced next.
    /// Copying an object that failed to initialise gives one that fails too.
    ///@{
    CAes(const CAes& other);
    CAes& operator=(const CAes& other);
    ///@}

    /// Encrypts or decrypts length bytes from in to out; out may be in.
    ///@{
    bool encrypt(unsigned char* out, const unsigned char* in, std::size_t length);
    bool decrypt(unsigned char* out, const unsigned char* in, std::size_t length);
    ///@}

private:
    AesInternal* m_internal;
};
/// @}

} // namespace Utils
} // namespace Orvane

#endif
