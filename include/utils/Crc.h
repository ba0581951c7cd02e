/// \file
/// CRC-16 and CRC-32 with caller-controlled chaining.
///
/// crc16: bit-reflected polynomial 0x8005, no final XOR; the crc argument is
/// both the start value and the running value. From 0 it is CRC-16/ARC, from
/// 0xFFFF CRC-16/MODBUS, and passing a previous result continues it.
///
/// crc32: the IEEE 802.3 CRC-32 (as in zip, PNG and Ethernet). The form with
/// a crc argument continues from a previous result: 0 gives the same as the
/// two-argument form, and the CRC of a first piece passed for a second piece
/// gives the CRC of both joined. Long buffers use carry-less multiplication
/// where the processor has it (found at run time), with the same results.
///
/// No failure path: data must point to length readable bytes. Reentrant.
#ifndef DOZUV2_UTILS_CRC_H
#define DOZUV2_UTILS_CRC_H

#include "virad/Export.h"

#include <cstddef>

namespace Orvane {
namespace Utils {
/// \addtogroup utilities
/// @{

/// The CRC-16 chained from crc, and the CRC-32 from the start or chained from crc (see above).
///@{
DOZUV2_API unsigned short crc16(unsigned short crc, const unsigned char* data, std::size_t length);
DOZUV2_API unsigned int crc32(const unsigned char* data, std::size_t length);
DOZUV2_API unsigned int crc32(unsigned int crc, const unsigned char* data, std::size_t length);
///@}
/// @}

} // namespace Utils
} // namespace Orvane

#endif
