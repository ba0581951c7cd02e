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

    // Makes sure there is an allocation, with room for capacity bytes when a
    // fresh one is needed. False (reported with failure) when the heap has none.
    static bool ensure(BufferInternal*& internal, std::uint64_t capacity, const char* failure) {
        if (internal != nullptr) {
            return true;
        }
        auto* header = capacity <= SIZE_MAX - sizeof(BufferInternal)
                           ? static_cast<BufferInternal*>(std::malloc(sizeof(BufferInternal) + capacity))
                           : nullptr;
        if (header == nullptr) {
            ::logInfo("%s", failure);
            return false;
        }
        *header = BufferInternal{header, 0, capacity, 0};
        internal = header;
        return true;
    }

    // Moves header and data to room for capacity bytes. False (reported with
    // failure, the old allocation untouched) when the heap has none. realloc
    // may grow in place, which saves the copy a fresh allocation would need.
    static bool grow(BufferInternal*& internal, std::uint64_t capacity, const char* failure) {
        auto* grown = capacity <= SIZE_MAX - sizeof(BufferInternal)
                          ? static_cast<BufferInternal*>(std::realloc(internal, sizeof(BufferInternal) + capacity))
                          : nullptr;
        if (grown == nullptr) {
            ::logInfo("%s", failure);
            return false;
        }
        grown->self = grown;
        grown->capacity = capacity;
        internal = grown;
        return true;
    }
};

namespace {

// n raised to the next multiple of step (n itself when step is 0). What
// cannot be represented becomes UINT64_MAX, which no allocation satisfies.
std::uint64_t roundToStep(std::uint64_t n, std::uint64_t step) {
    if (step == 0) {
        return n;
    }
    return n > UINT64_MAX - (step - 1) ? UINT64_MAX : (n + step - 1) / step * step;
}

// a + b, or UINT64_MAX when that does not fit.
std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

} // namespace

CBuffer::CBuffer() : m_internal(nullptr) {}

CBuffer::~CBuffer() {
    std::free(m_internal);
}

std::uint64_t CBuffer::putBuffer(unsigned char* data, std::uint64_t length) {
    // Nothing to copy from: the buffer stays as it was, not even allocated.
    if (data == nullptr) {
        return 0;
    }
    if (!BufferInternal::ensure(m_internal, length, " CBuffer putbuffer Malloc fail:\n")) {
        return 0;
    }
    if (m_internal->capacity - m_internal->size < length &&
        !BufferInternal::grow(m_internal, roundToStep(saturatingAdd(m_internal->size, length), m_internal->step),
                              "CBuffer putbuffer ReMalloc fail:\n")) {
        return 0;
    }
    if (length != 0) {
        std::memcpy(m_internal->data() + m_internal->size, data, length);
    }
    m_internal->size += length;
    return length;
}

void CBuffer::resize(std::uint64_t size) {
    if (!BufferInternal::ensure(m_internal, size, " CBuffer resize Malloc fail:\n")) {
        return;
    }
    if (size > m_internal->capacity &&
        !BufferInternal::grow(m_internal, roundToStep(size, m_internal->step), " CBuffer resize ReMalloc fail:\n")) {
        return;
    }
    m_internal->size = size;
}

void CBuffer::reserve(std::uint64_t capacity) {
    // A fresh allocation already has the room asked for.
    if (m_internal == nullptr) {
        BufferInternal::ensure(m_internal, capacity, " CBuffer resize Malloc fail:\n");
    } else if (capacity > m_internal->capacity) {
        BufferInternal::grow(m_internal, capacity, " CBuffer reserve Malloc fail:\n");
    }
}

void CBuffer::setIncreasedSize(std::uint64_t step) {
    if (BufferInternal::ensure(m_internal, step, " CBuffer setIncreasedSize Malloc fail:\n")) {
        m_internal->step = step;
    }
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
