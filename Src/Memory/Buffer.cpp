// The growable buffer: one C-heap allocation holding a header and the data.
#include "memory/Buffer.h"

#include "virad/PrintLog.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Orvane {
namespace Memory {

// The header at the start of the allocation; the data follows it.
struct CBuffer::BufferInternal {
    BufferInternal* self; // the allocation's own address
    std::uint64_t size;
    std::uint64_t capacity;
    std::uint64_t step; // 0: grow to exactly what is needed

    unsigned char* data() { return reinterpret_cast<unsigned char*>(this + 1); }

    // A fresh allocation with room for capacity bytes; null when the heap has none.
    static BufferInternal* allocate(std::uint64_t capacity) {
        if (capacity > SIZE_MAX - sizeof(BufferInternal)) {
            return nullptr;
        }
        auto* header = static_cast<BufferInternal*>(std::malloc(sizeof(BufferInternal) + capacity));
        if (header != nullptr) {
            *header = BufferInternal{header, 0, capacity, 0};
        }
        return header;
    }

    // The header and data moved to room for capacity bytes; null (the old
    // allocation untouched) when the heap has none. realloc may grow in
    // place, which saves the copy a fresh allocation would need.
    BufferInternal* grow(std::uint64_t newCapacity) {
        if (newCapacity > SIZE_MAX - sizeof(BufferInternal)) {
            return nullptr;
        }
        auto* grown = static_cast<BufferInternal*>(std::realloc(this, sizeof(BufferInternal) + newCapacity));
        if (grown != nullptr) {
            grown->self = grown;
            grown->capacity = newCapacity;
        }
        return grown;
    }
};

namespace {

// n raised to the next multiple of step (n itself when step is 0).
std::uint64_t roundToStep(std::uint64_t n, std::uint64_t step) {
    return step == 0 ? n : (n + step - 1) / step * step;
}

} // namespace

CBuffer::CBuffer() : m_internal(nullptr) {}

CBuffer::~CBuffer() {
    std::free(m_internal);
}

std::uint64_t CBuffer::putBuffer(unsigned char* data, std::uint64_t length) {
    if (m_internal == nullptr) {
        m_internal = BufferInternal::allocate(length);
        if (m_internal == nullptr) {
            ::logInfo(" CBuffer putbuffer Malloc fail:\n");
            return 0;
        }
    }
    if (m_internal->capacity - m_internal->size < length) {
        BufferInternal* grown = m_internal->grow(roundToStep(m_internal->size + length, m_internal->step));
        if (grown == nullptr) {
            ::logInfo("CBuffer putbuffer ReMalloc fail:\n");
            return 0;
        }
        m_internal = grown;
    }
    if (length != 0) {
        std::memcpy(m_internal->data() + m_internal->size, data, length);
    }
    m_internal->size += length;
    return length;
}

void CBuffer::resize(std::uint64_t size) {
    if (m_internal == nullptr) {
        m_internal = BufferInternal::allocate(size);
        if (m_internal == nullptr) {
            ::logInfo(" CBuffer resize Malloc fail:\n");
            return;
        }
    }
    if (size > m_internal->capacity) {
        BufferInternal* grown = m_internal->grow(roundToStep(size, m_internal->step));
        if (grown == nullptr) {
            ::logInfo(" CBuffer resize ReMalloc fail:\n");
            return;
        }
        m_internal = grown;
    }
    m_internal->size = size;
}

void CBuffer::reserve(std::uint64_t capacity) {
    if (m_internal == nullptr) {
        m_internal = BufferInternal::allocate(capacity);
        if (m_internal == nullptr) {
            ::logInfo(" CBuffer resize Malloc fail:\n");
        }
        return;
    }
    if (capacity > m_internal->capacity) {
        BufferInternal* grown = m_internal->grow(capacity);
        if (grown == nullptr) {
            ::logInfo(" CBuffer reserve Malloc fail:\n");
            return;
        }
        m_internal = grown;
    }
}

void CBuffer::setIncreasedSize(std::uint64_t step) {
    if (m_internal == nullptr) {
        m_internal = BufferInternal::allocate(step);
        if (m_internal == nullptr) {
            ::logInfo(" CBuffer setIncreasedSize Malloc fail:\n");
            return;
        }
    }
    m_internal->step = step;
}

void CBuffer::reset() {
    std::free(m_internal);
    m_internal = nullptr;
}

unsigned char* CBuffer::getBuffer() const {
    return m_internal != nullptr && m_internal->size > 0 ? m_internal->data() : nullptr;
}

std::uint64_t CBuffer::size() const {
    return m_internal != nullptr ? m_internal->size : 0;
}

std::uint64_t CBuffer::capacity() const {
    return m_internal != nullptr ? m_internal->capacity : 0;
}

} // namespace Memory
} // namespace Orvane
