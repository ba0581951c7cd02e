// The packet shape's calls (see PacketShape.h), in a shared library of their
// own so that benchmarks reach them through the dynamic linker's table.
#include "PacketShape.h"

#include <cstdlib>
#include <new>

namespace PacketBench {

PacketShape::PacketShape(std::uint64_t size) {
    // The record starts at the first suitably aligned byte after the data.
    const std::uint64_t capacity = (size + alignof(PacketRecordFields) - 1) & ~(alignof(PacketRecordFields) - 1);
    auto* start = static_cast<unsigned char*>(std::malloc(capacity + sizeof(PacketRecordFields)));
    m_internal = new (start + capacity) PacketRecordFields;
    m_internal->buffer = start;
    m_internal->size = size;
    m_internal->capacity = capacity;
    m_internal->extra = start + capacity;
}

PacketShape::~PacketShape() {
    std::free(m_internal->buffer);
}

unsigned char* PacketShape::getBuffer() const {
    return m_internal->buffer;
}

} // namespace PacketBench
