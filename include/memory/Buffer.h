/// \file
/// A growable byte buffer.
///
/// Data is kept in one C-heap allocation that grows when appended to. Without
/// a growth step it grows to exactly what is needed; with one, its capacity is
/// raised to the next multiple of the step, trading room for fewer copies:
///
///     CBuffer buffer;
///     buffer.setIncreasedSize(4096);
///     buffer.putBuffer(data, length);
///
/// A failed allocation is reported and leaves the buffer as it was.
///
/// Thread-safety: none; one buffer belongs to one thread at a time.
#ifndef DOZUV2_MEMORY_BUFFER_H
#define DOZUV2_MEMORY_BUFFER_H

#include "virad/Compiler.h"
#include "virad/Export.h"

#include <cstdint>
#include <cstring>

namespace Orvane {
namespace Memory {
/// \addtogroup memory
/// @{

namespace Detail {

/// The start of a buffer's allocation; the data follows it. It sits in this
/// header so that an append which fits the room already held is copied inline,
/// without a call into the library.
struct BufferHeader {
    BufferHeader* self; ///< the allocation's own address
    std::uint64_t size;
    std::uint64_t capacity;
    std::uint64_t step; ///< 0: grow to exactly what is needed
    /// Bytes actually allocated for the data, at least capacity. Growth asks
    /// the heap for room geometrically, so a run of small appends costs a few
    /// reallocations instead of one each; the capacity the buffer reports stays
    /// exactly what its growth rule gives.
    std::uint64_t room;

    unsigned char* data() { return reinterpret_cast<unsigned char*>(this + 1); }
};

} // namespace Detail

/// A growable byte buffer, described above.
class DOZUV2_API CBuffer {
public:
    /// Empty; nothing is allocated until the first call that needs room.
    CBuffer();
    ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;
    /// Takes the other buffer's data (size, capacity and step with it), leaving
    /// the other empty.
    CBuffer(CBuffer&& other) noexcept : m_internal(other.m_internal) { other.m_internal = nullptr; }
    /// Frees this buffer's data and takes the other's, leaving the other empty
    /// (moving a buffer into itself changes nothing).
    CBuffer& operator=(CBuffer&& other) noexcept;

    /// Appends length bytes, growing as needed; returns length, or 0 when the
    /// room could not be had (or data is null).
    std::uint64_t putBuffer(unsigned char* data, std::uint64_t length) {
        // Inline: a short append within the capacity, or (without a step)
        // within the room held, where growing is only a new capacity. The
        // library does the rest: the first allocation, a step to round to, a
        // larger allocation, and long appends, whose call costs little beside
        // the copy.
        constexpr std::uint64_t kLongAppend = 4096;
        Detail::BufferHeader* header = m_internal;
        if (DOZUV2_UNLIKELY(header == nullptr || data == nullptr || length >= kLongAppend)) {
            return putBufferGrowing(data, length);
        }
        const std::uint64_t size = header->size;
        if (header->capacity - size < length) {
            if (header->step != 0 || header->room - size < length) {
                return putBufferGrowing(data, length);
            }
            // Stored apart from the size, before the copy: the two fields
            // written as one wide store would make the next append wait to
            // read them back.
            header->capacity = size + length;
        }
        std::memcpy(header->data() + size, data, length);
        header->size = size + length;
        return length;
    }
    /// Sets the size, growing (by the step) when it is above the capacity. New
    /// bytes are not initialised.
    void resize(std::uint64_t size);
    /// Makes room for at least capacity bytes (exactly that, without the step);
    /// the size is unchanged.
    void reserve(std::uint64_t capacity);
    /// Sets the growth step (0: exact growth). On an empty buffer it also
    /// allocates room for step bytes.
    void setIncreasedSize(std::uint64_t step);
    /// Frees the data; the buffer is empty again.
    void reset();

    /// The data; null while the size is 0.
    unsigned char* getBuffer() const;
    /// The bytes in use, and the bytes the buffer holds room for.
    ///@{
    std::uint64_t size() const;
    std::uint64_t capacity() const;
    ///@}

private:
    /// putBuffer in full, for the cases its inline part leaves.
    std::uint64_t putBufferGrowing(unsigned char* data, std::uint64_t length);

    Detail::BufferHeader* m_internal;
};
/// @}

} // namespace Memory
} // namespace Orvane

#endif
