/// \file
/// Packets: reference-counted handles to a block of bytes.
///
/// A packet has a current size, a capacity and an optional extra-data area
/// for the user's own header. Copies of a handle share the block; the block is
/// released when the last handle goes. A block comes from one of four places:
///
///     CPacket fromManager(1500, 64);               // the packet manager
///     CPacket slice(fromManager, 100, 200);        // bytes 100..299 of another packet
///     CPacket wrapped(data, n, deleter);           // the caller's buffer, freed by deleter
///     CPacket later(4096, releaseProc, user, 0);   // a buffer attached later by putBuffer
///
/// A slice shares its parent's bytes and keeps the parent alive. Copying or
/// slicing never copies bytes; a packet from the manager costs one allocation
/// under the single-block policies.
///
/// Thread-safety: handles of one packet may be copied, assigned and destroyed
/// on different threads at once; the block is released exactly once. The bytes
/// and the size are not guarded: writers of one packet coordinate themselves.
/// One handle object must not be assigned and used by two threads at once.
#ifndef DOZUV2_MEMORY_PACKET_H
#define DOZUV2_MEMORY_PACKET_H

#include "virad/Export.h"
#include "virad/Function.h"

#include <cstdint>

namespace Orvane {
namespace Memory {
/// \addtogroup memory
/// @{

struct PacketInternal;

/// A reference-counted handle to a block of bytes, described above.
class DOZUV2_API CPacket {
public:
    /// Called with (buffer, size) when a caller's buffer is released, or with
    /// (user value, capacity) when an attached-later buffer is released.
    using BufferProc = Virad::TFunction2<void, void*, std::uint64_t>;

    /// An invalid packet.
    CPacket();
    /// size bytes from the packet manager, with extraSize bytes of extra data.
    /// The size is the requested one, the capacity may be larger. Invalid when
    /// the manager cannot supply the block.
    explicit CPacket(std::uint64_t size, std::uint64_t extraSize = 0);
    /// Wraps the caller's buffer (size and capacity are size). When the last
    /// handle goes, deleter (if not empty) gets the buffer and the size then.
    CPacket(void* buffer, std::uint64_t size, BufferProc deleter);
    /// The same with extraSize bytes of extra data from the C heap.
    CPacket(void* buffer, std::uint64_t size, std::uint64_t extraSize, BufferProc deleter);
    /// Shares the other packet's block.
    CPacket(const CPacket& other);
    /// Takes the other packet's block, leaving the other invalid; no count
    /// changes, so containers of packets grow and reorder without atomic steps.
    CPacket(CPacket&& other) noexcept : m_internal(other.m_internal) { other.m_internal = nullptr; }
    /// size bytes of parent starting at offset, sharing the parent's bytes and
    /// keeping it alive. Invalid (and reported) unless offset < parent's size
    /// and offset + size <= parent's size.
    CPacket(const CPacket& parent, std::uint64_t offset, std::uint64_t size, std::uint64_t extraSize = 0);
    /// A packet of size bytes (size and capacity) whose buffer putBuffer
    /// attaches later without copying. When the last handle goes and a buffer
    /// was attached, release (if not empty) gets the user value and the capacity.
    CPacket(unsigned int size, BufferProc release, void* userValue, std::uint64_t extraSize);

    /// Shares the other packet's block, letting go of this one's.
    CPacket& operator=(const CPacket& other);
    /// Takes the other packet's block, letting go of this one's; the other is
    /// left invalid (moving a packet into itself changes nothing).
    CPacket& operator=(CPacket&& other) noexcept;
    virtual ~CPacket();

    /// Lets go of the block; the packet becomes invalid.
    void reset();
    /// Whether the packet holds a block.
    bool valid() const;

    /// Appends up to capacity - size bytes after the current size and returns
    /// how many were copied. An attach-later packet instead takes the pointer
    /// as its buffer and length as its size, without copying.
    std::uint64_t putBuffer(void* data, std::uint64_t length);
    /// The first byte of the data; null for an invalid packet.
    unsigned char* getBuffer() const;
    /// Bytes in use.
    std::uint64_t size() const;
    /// Bytes available from getBuffer().
    std::uint64_t capacity() const;
    /// Sets the size; false (size unchanged) above the capacity.
    bool resize(std::uint64_t size);
    /// The extra data; null when the extra size is 0.
    void* getExtraData() const;
    /// The extra data's size in bytes.
    std::uint64_t getExtraSize() const;

private:
    PacketInternal* m_internal;
};
/// @}

} // namespace Memory
} // namespace Orvane

#endif
