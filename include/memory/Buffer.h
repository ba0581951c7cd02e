// A growable byte buffer.
//
// Data is kept in one C-heap allocation that grows when appended to. Without
// a growth step it grows to exactly what is needed; with one, its capacity is
// raised to the next multiple of the step, trading room for fewer copies:
//
//     CBuffer buffer;
//     buffer.setIncreasedSize(4096);
//     buffer.putBuffer(data, length);
//
// A failed allocation is reported and leaves the buffer as it was.
//
// Thread-safety: none; one buffer belongs to one thread at a time.
#ifndef DOZUV2_MEMORY_BUFFER_H
#define DOZUV2_MEMORY_BUFFER_H

#include "virad/Export.h"

#include <cstdint>

namespace Orvane {
namespace Memory {

class DOZUV2_API CBuffer {
public:
    // Empty; nothing is allocated until the first call that needs room.
    CBuffer();
    ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    // Appends length bytes, growing as needed; returns length, or 0 when the
    // room could not be had.
    std::uint64_t putBuffer(unsigned char* data, std::uint64_t length);
    // Sets the size, growing (by the step) when it is above the capacity. New
    // bytes are not initialised.
    void resize(std::uint64_t size);
    // Makes room for at least capacity bytes (exactly that, without the step);
    // the size is unchanged.
    void reserve(std::uint64_t capacity);
    // Sets the growth step (0: exact growth). On an empty buffer it also
    // allocates room for step bytes.
    void setIncreasedSize(std::uint64_t step);
    // Frees the data; the buffer is empty again.
    void reset();

    // The data; null while the size is 0.
    unsigned char* getBuffer() const;
    std::uint64_t size() const;
    std::uint64_t capacity() const;

private:
    struct BufferInternal;
    BufferInternal* m_internal;
};

} // namespace Memory
} // namespace Orvane

#endif
