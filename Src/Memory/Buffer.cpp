// The growable buffer: one C-heap allocation holding a header and the data.
#include "memory/Buffer.h"

#include "virad/PrintLog.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Orvane {
namespace Memory {

namespace {

using Detail::BufferHeader;

// Makes sure there is an allocation, with room for capacity bytes when a
// fresh one is needed. False (reported with failure) when the heap has none.
bool ensure(BufferHeader*& internal, std::uint64_t capacity, const char* failure) {
    if (internal != nullptr) {
        return true;
    }
    auto* header = capacity <= SIZE_MAX - sizeof(BufferHeader)
                       ? static_cast<BufferHeader*>(std::malloc(sizeof(BufferHeader) + capacity))
                       : nullptr;
    if (header == nullptr) {
        ::logInfo("%s", failure);
        return false;
    }
    *header = BufferHeader{header, 0, capacity, 0, capacity};
    internal = header;
    return true;
}

// Makes the capacity capacity bytes, moving header and data to a larger
// allocation when the room is short. False (reported with failure, the old
// allocation untouched) when the heap has none.
bool grow(BufferHeader*& internal, std::uint64_t capacity, const char* failure) {
    if (capacity <= internal->room) {
        internal->capacity = capacity;
        return true;
    }
    constexpr std::uint64_t kLargestRoom = SIZE_MAX - sizeof(BufferHeader);
    BufferHeader* grown = nullptr;
    std::uint64_t room = capacity;
    if (capacity <= kLargestRoom) {
        // Twice the old room when that is more, but never past what the
        // heap could be asked for; the exact size when that fails.
        const std::uint64_t doubled = internal->room > kLargestRoom / 2 ? kLargestRoom : internal->room * 2;
        if (doubled > capacity) {
            room = doubled;
            grown = static_cast<BufferHeader*>(std::realloc(internal, sizeof(BufferHeader) + room));
        }
        if (grown == nullptr) {
            room = capacity;
            grown = static_cast<BufferHeader*>(std::realloc(internal, sizeof(BufferHeader) + room));
        }
    }
    if (grown == nullptr) {
        ::logInfo("%s", failure);
        return false;
    }
    grown->self = grown;
    grown->capacity = capacity;
    grown->room = room;
    internal = grown;
    return true;
}

// n raised to the next multiple of step (n itself when step is 0). What
// cannot be represented becomes UINT64_MAX, which no allocation satisfies.
std::uint64_t roundToStep(std::uint64_t n, std::uint64_t step) {
    if (step == 0) {
        return n;
    }
    return n > UINT64_MAX - (step - 1) ? UINT64_MAX : (n + step - 1) / step * step;
}

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two word-sized
// copies that overlap in the middle.
template <typename Word> void copyTwoWords(unsigned char* to, const unsigned char* from, std::uint64_t n) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Copies n bytes. Appends are often a few bytes long: for 4 to 16 of them two
// fixed-size copies cost less than the call into the C library's memcpy that
// a copy of unknown length needs.
void copyBytes(unsigned char* to, const unsigned char* from, std::uint64_t n) {
    if (n >= 8 && n <= 16) {
        copyTwoWords<std::uint64_t>(to, from, n);
    } else if (n >= 4 && n < 8) {
        copyTwoWords<std::uint32_t>(to, from, n);
    } else {
        std::memcpy(to, from, n);
    }
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

CBuffer& CBuffer::operator=(CBuffer&& other) noexcept {
    if (&other != this) {
        std::free(m_internal);
        m_internal = other.m_internal;
        other.m_internal = nullptr;
    }
    return *this;
}

std::uint64_t CBuffer::putBufferGrowing(unsigned char* data, std::uint64_t length) {
    // Nothing to copy from: the buffer stays as it was, not even allocated.
    if (data == nullptr) {
        return 0;
    }
    if (!ensure(m_internal, length, " CBuffer putbuffer Malloc fail:\n")) {
        return 0;
    }
    if (m_internal->capacity - m_internal->size < length &&
        !grow(m_internal, roundToStep(saturatingAdd(m_internal->size, length), m_internal->step),
              "CBuffer putbuffer ReMalloc fail:\n")) {
        return 0;
    }
    if (length != 0) {
        copyBytes(m_internal->data() + m_internal->size, data, length);
    }
    m_internal->size += length;
    return length;
}

void CBuffer::resize(std::uint64_t size) {
    if (!ensure(m_internal, size, " CBuffer resize Malloc fail:\n")) {
        return;
    }
    if (size > m_internal->capacity &&
        !grow(m_internal, roundToStep(size, m_internal->step), " CBuffer resize ReMalloc fail:\n")) {
        return;
    }
    m_internal->size = size;
}

void CBuffer::reserve(std::uint64_t capacity) {
    // A fresh allocation already has the room asked for.
    if (m_internal == nullptr) {
        ensure(m_internal, capacity, " CBuffer resize Malloc fail:\n");
    } else if (capacity > m_internal->capacity) {
        grow(m_internal, capacity, " CBuffer reserve Malloc fail:\n");
    }
}

void CBuffer::setIncreasedSize(std::uint64_t step) {
    if (ensure(m_internal, step, " CBuffer setIncreasedSize Malloc fail:\n")) {
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
