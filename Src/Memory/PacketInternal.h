// The record behind every packet handle.
//
// PacketInternal is the interface a CPacket forwards to; OldPacketInternal is
// its one implementation, which knows the four places a packet's bytes come
// from and how each is given back. Where a record lives depends on that place:
//
//   - from the packet manager under the single-block policies: one block of
//     T >= align(size) + align(extra + R) bytes, the data from its start
//     (capacity T - align(extra + R)), the extra data right after the
//     capacity and the record in the block's last R bytes;
//   - from the manager under the pool-buffer policy: the data is a pool block
//     of its own; extra data and record share one C-heap block of
//     align(extra + R) bytes, extra data at its start, record at its end;
//   - a slice: extra data and record as in the pool-buffer case, the data
//     inside the parent;
//   - a caller's buffer, or one attached later: the record on its own and
//     the extra data (when asked for) in a C-heap block of exactly its size.
#ifndef DOZUV2_MEMORY_PACKETINTERNAL_H
#define DOZUV2_MEMORY_PACKETINTERNAL_H

#include "memory/Packet.h"

#include <atomic>
#include <cstdint>

namespace Orvane {
namespace Memory {

struct PacketInternal {
    // Gives the record and its memory back; called when the count reaches 0.
    virtual void destroy() = 0;
    virtual void addRef() = 0;
    // Drops one count, destroying the record at 0; returns the new count.
    virtual std::uint64_t release() = 0;
    virtual std::uint64_t putBuffer(void* data, std::uint64_t length) = 0;
    virtual unsigned char* getBuffer() = 0;
    virtual std::uint64_t size() = 0;
    virtual bool resize(std::uint64_t length) = 0;
    virtual std::uint64_t capacity() = 0;
    virtual void* getExtraData() = 0;
    virtual std::uint64_t getExtraSize() = 0;

protected:
    // Records are destroyed through destroy(), never deleted through this interface.
    ~PacketInternal() = default;
};

struct OldPacketInternal final : PacketInternal {
    using BufferProc = CPacket::BufferProc;

    enum Source : std::uint8_t { sourceManager = 0, sourceSlice = 1, sourceCaller = 2 };

    // A record for size bytes from the packet manager; null (reported) on failure.
    static OldPacketInternal* create(std::uint64_t size, std::uint64_t extraSize);
    // A record for bytes offset..offset+size of parent; null (reported) when out of bounds.
    static OldPacketInternal* createSlice(const CPacket& parent, std::uint64_t offset, std::uint64_t size,
                                          std::uint64_t extraSize);
    // A record wrapping the caller's buffer; null when it cannot be allocated.
    static OldPacketInternal* createForBuffer(void* buffer, std::uint64_t size, std::uint64_t extraSize,
                                              const BufferProc& deleter);
    // A record whose buffer putBuffer attaches later; null when it cannot be allocated.
    static OldPacketInternal* createAttachLater(unsigned int size, const BufferProc& release, void* userValue,
                                                std::uint64_t extraSize);

    // R: the bytes a record takes at the end of a block whose size is a
    // multiple of alignment, including what keeps the record itself aligned.
    static constexpr std::uint64_t recordRoom(std::uint64_t alignment) {
        return sizeof(OldPacketInternal) +
               (alignment < alignof(OldPacketInternal) ? alignof(OldPacketInternal) - alignment : 0);
    }

    void destroy() override;
    void addRef() override { m_count.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t release() override {
        // A count of 1 seen by a holder means no other handle exists, so no
        // other thread can be counting up or down: the last owner skips the
        // locked decrement, which costs more than the rest of a release.
        if (m_count.load(std::memory_order_acquire) == 1) {
            destroy();
            return 0;
        }
        const std::uint64_t left = m_count.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            destroy();
        }
        return left;
    }
    std::uint64_t putBuffer(void* data, std::uint64_t length) override;
    unsigned char* getBuffer() override { return m_buffer; }
    std::uint64_t size() override { return m_size; }
    bool resize(std::uint64_t length) override {
        if (length > m_capacity) {
            return false;
        }
        m_size = length;
        return true;
    }
    std::uint64_t capacity() override { return m_capacity; }
    void* getExtraData() override { return m_extraSize != 0 ? m_extra : nullptr; }
    std::uint64_t getExtraSize() override { return m_extraSize; }

    // The fields are ordered for the cache, not as they are usually listed.
    // The record ends where its block ends, and a pool block ends on a
    // cache-line boundary, so the last 64 bytes of the record are one line:
    // everything a copy, a release, a read of the data and the creation of a
    // manager packet touch lies there, and a packet dropped from a large live
    // set costs one cold line, not two. The fields of the other sources come
    // first, after the interface's table pointer (which the handle never
    // reads). The two delegates fill the line before the last; they are
    // constructed only in records of their own (createStandalone), the only
    // ones that read them, so making a manager packet does not write that
    // line at all.
    OldPacketInternal() {} // NOLINT: the delegates are left unconstructed on purpose
    CPacket* m_parent = nullptr; // a slice's own handle of its parent, which keeps the parent alive
    union {
        BufferProc m_deleter;
    };
    union {
        BufferProc m_release;
    };
    // -- the last 64 bytes; what a copy and a release read comes last, so
    // that in a block that ends anywhere in a line it still shares one --
    void* m_userValue = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_capacity = 0;
    void* m_extra = nullptr;
    std::uint64_t m_extraSize = 0;
    Source m_source = sourceManager;
    // The attach-later form; m_bufferAttached once putBuffer gave it a buffer.
    bool m_attached = false;
    bool m_bufferAttached = false;
    std::atomic<std::uint64_t> m_count{1};
    unsigned char* m_buffer = nullptr;
};

} // namespace Memory
} // namespace Orvane

#endif
