/// \file
/// The older packet interface of the global namespace, kept for callers
/// written against it: ::CPacket with capitalised operation names and a header
/// area, and the abstract packet manager ::IPacketManager.
///
/// Both are thin layers over Orvane::Memory: a ::CPacket holds an
/// Orvane::Memory::CPacket whose extra data is its header area, of the
/// process-wide header size (128 bytes unless IPacketManager::config set
/// another before the first packet). A ::CPacket is either invalid or holds a
/// valid packet; every operation of an invalid one returns 0, null or false.
/// Copies and conversions to and from Orvane::Memory::CPacket share one block.
///
/// Thread-safety: as Orvane::Memory::CPacket: handles of one block may be used
/// on different threads, one handle object by one thread at a time.
#ifndef DOZUV2_LEGACY_LEGACYPACKET_H
#define DOZUV2_LEGACY_LEGACYPACKET_H

#include "memory/Packet.h"
#include "virad/Export.h"
#include "virad/Function.h"

/// \addtogroup legacy
/// @{

/// The older packet: a handle of a Orvane::Memory::CPacket block with a header area.
class DOZUV2_API CPacket {
public:
    /// Called with (user value, capacity) when an attached buffer is released.
    using ReleaseProc = Orvane::Memory::CPacket::BufferProc;

    /// An invalid packet.
    CPacket();
    /// size bytes from the packet manager with a header area; invalid when the
    /// manager cannot supply them.
    explicit CPacket(unsigned long size);
    /// A packet of size bytes whose buffer PutBuffer attaches later without
    /// copying; release gets the user value and the capacity when the last
    /// handle goes.
    CPacket(unsigned int size, ReleaseProc release, void* userValue);
    /// Shares the other's block; an invalid source gives an invalid packet.
    ///@{
    CPacket(const CPacket& other);
    CPacket(const Orvane::Memory::CPacket& other);
    ///@}
    /// Takes the other's block, leaving the other invalid; no count changes.
    CPacket(CPacket&& other) noexcept : m_internal(other.m_internal) { other.m_internal = nullptr; }
    /// Shares the other's block; an invalid source makes this packet invalid.
    CPacket& operator=(const CPacket& other);
    /// Lets go of this packet's block and takes the other's, leaving the other
    /// invalid (moving a packet into itself changes nothing).
    CPacket& operator=(CPacket&& other) noexcept;
    ~CPacket();

    /// A handle of the same block; an invalid packet when this one is invalid.
    operator Orvane::Memory::CPacket() const;

    /// Whether the packet holds a block, and the opposite.
    ///@{
    bool Valid() const;
    bool Invalid() const;
    ///@}

    /// The data; null for an invalid packet.
    unsigned char* GetBuffer() const;
    /// The capacity.
    unsigned long GetSize() const;
    /// The bytes in use.
    unsigned long GetLength() const;
    /// Sets the bytes in use; 1 on success, 0 above the capacity.
    unsigned long SetLength(unsigned long length);
    /// Capacity minus length.
    unsigned long GetLeft() const;
    /// Appends up to GetLeft() bytes (or attaches the buffer of an attach-later
    /// packet); the number taken.
    unsigned long PutBuffer(void* data, unsigned long length);
    /// The header area and its size.
    ///@{
    unsigned char* GetHeader() const;
    unsigned long GetHeaderSize() const;
    ///@}
    /// Fills the header area with zero bytes.
    void ClearHeader();

private:
    /// Null for an invalid packet; otherwise a valid one.
    Orvane::Memory::CPacket* m_internal;
};

/// The legacy face of the packet manager.
class DOZUV2_API IPacketManager {
public:
    virtual ~IPacketManager();
    /// The pool's size in bytes; 0 without a pool.
    virtual unsigned long GetBufferSize() = 0;
    /// Bytes in free pool blocks; 0 without a pool.
    virtual unsigned long GetFreeSize() = 0;
    /// The packet manager's statistics and free lists.
    virtual void DumpNodes() = 0;

    /// The one legacy manager of the process, created on first call.
    static IPacketManager* instance();
    /// Before the first packet: every legacy packet gets headerSize bytes of
    /// header, and the packet manager pools packet data (policy 3) in a pool of
    /// totalSize bytes in chunks of chunkSize, aligned to 4. The packet
    /// manager's rules apply: too late changes nothing, invalid sizes end the
    /// process with an assertion.
    static void config(int totalSize, int chunkSize, int headerSize);
};
/// @}

#endif
