/// \file
/// SmallStringStorage: the storage policy behind flex_string.
///
/// Strings of up to 31 characters live inside the object, so the short texts
/// the library hands around by value (names, ids, formats) never touch the heap.
/// Longer strings live in one heap buffer that grows geometrically, which keeps
/// repeated appends amortised O(1).
///
/// The object is 32 bytes. In the inline form bytes 0..30 hold the characters
/// and byte 31 holds 31 minus the size, so a full 31-character string has a
/// zero there that doubles as its terminating NUL. In the heap form the first
/// bytes hold the buffer pointer, size and capacity, and byte 31 holds a marker
/// no inline size can produce. Every byte is always initialised, so copying or
/// moving the whole object never reads indeterminate memory.
///
/// The policy only stores characters; FlexString does the string operations.
/// Contract for FlexString: data() always points at size() characters followed
/// by a NUL; setSize(n) requires n <= capacity(); grow() and reserve() keep the
/// content. Nothing throws: running out of memory is a fatal assertion. Like any
/// value type it is not thread-safe; distinct objects may be used concurrently.
#ifndef DOZUV2_VIRAD_DEVEZ3_DETAIL_SMALLSTRINGSTORAGE_H
#define DOZUV2_VIRAD_DEVEZ3_DETAIL_SMALLSTRINGSTORAGE_H

#include <cstddef>
#include <cstdlib>
#include <cstring>

// The string classes never throw: a request they cannot honour (memory
// exhausted, a length beyond max_size(), at() past the end) ends the process
// with an assertion report naming the condition that failed.
#include "virad/Assertion.h"

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

namespace Detail {

class SmallStringStorage {
public:
    /// Longest string kept inside the object.
    static constexpr std::size_t kInlineCapacity = 31;

    /// The empty string, inline.
    SmallStringStorage() noexcept {
        std::memset(m_bytes, 0, kBytes);
        m_bytes[kTag] = static_cast<unsigned char>(kInlineCapacity);
    }
    /// A copy of the n characters at s (s may be null when n is 0).
    ///@{
    SmallStringStorage(const char* s, std::size_t n) { init(s, n); }
    SmallStringStorage(const SmallStringStorage& other) {
        if (other.isInline()) {
            std::memcpy(m_bytes, other.m_bytes, kBytes);
        } else {
            init(other.heapData(), other.heapSize());
        }
    }
    ///@}
    /// Takes over the other's buffer; the other is left empty.
    ///@{
    SmallStringStorage(SmallStringStorage&& other) noexcept {
        std::memcpy(m_bytes, other.m_bytes, kBytes);
        other.makeEmptyInline();
    }
    SmallStringStorage& operator=(const SmallStringStorage& other) {
        if (this != &other) {
            if (isInline() && other.isInline()) {
                std::memcpy(m_bytes, other.m_bytes, kBytes);
            } else {
                assignChars(other.data(), other.size());
            }
        }
        return *this;
    }
    SmallStringStorage& operator=(SmallStringStorage&& other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(m_bytes, other.m_bytes, kBytes);
            other.makeEmptyInline();
        }
        return *this;
    }
    ///@}
    ~SmallStringStorage() { release(); }

    const char* data() const noexcept { return isInline() ? inlineData() : heapData(); }
    char* mutableData() noexcept { return isInline() ? inlineData() : heapData(); }
    std::size_t size() const noexcept { return isInline() ? kInlineCapacity - m_bytes[kTag] : heapSize(); }
    std::size_t capacity() const noexcept { return isInline() ? kInlineCapacity : heapCapacity(); }
    static constexpr std::size_t maxSize() noexcept { return (static_cast<std::size_t>(-1) >> 1) - 1; }

    /// Sets the size to n (n <= capacity()) and terminates the string there.
    void setSize(std::size_t n) noexcept {
        if (isInline()) {
            // n <= kInlineCapacity here, so the mask changes nothing; it only bounds the index for
            // compilers that cannot see that a grow() before this call left the string on the heap
            // and would otherwise warn about an out-of-bounds write on that impossible path.
            m_bytes[n & kTag] = 0;
            m_bytes[kTag] = static_cast<unsigned char>(kInlineCapacity - n);
        } else {
            setHeapSize(n);
            heapData()[n] = 0;
        }
    }
    /// Makes room for at least minCapacity characters, allocating exactly that much when it must.
    void reserve(std::size_t minCapacity) {
        if (minCapacity > capacity()) {
            reallocate(minCapacity);
        }
    }
    /// Makes room for at least minCapacity characters, at least doubling the capacity when it must
    /// grow, so that a run of appends costs amortised O(1) each.
    void grow(std::size_t minCapacity) {
        const std::size_t current = capacity();
        if (minCapacity > current) {
            const std::size_t doubled = current < maxSize() / 2 ? current * 2 : maxSize();
            reallocate(minCapacity > doubled ? minCapacity : doubled);
        }
    }
    /// Gives back unused heap room; a heap string short enough moves back inside the object.
    ///@{
    void shrinkToFit() {
        if (isInline()) {
            return;
        }
        char* const buffer = heapData();
        const std::size_t n = heapSize();
        if (n <= kInlineCapacity) {
            init(buffer, n);
            std::free(buffer);
        } else if (n < heapCapacity()) {
            // A failed shrink is harmless: the larger buffer stays.
            if (char* const smaller = static_cast<char*>(std::realloc(buffer, n + 1))) {
                setHeap(smaller, n, n);
            }
        }
    }
    void swap(SmallStringStorage& other) noexcept {
        unsigned char saved[kBytes];
        std::memcpy(saved, m_bytes, kBytes);
        std::memcpy(m_bytes, other.m_bytes, kBytes);
        std::memcpy(other.m_bytes, saved, kBytes);
    }
    ///@}

private:
    static constexpr std::size_t kBytes = 32;
    static constexpr std::size_t kTag = kBytes - 1;
    /// Any tag above kInlineCapacity means heap; this one is easy to spot in a debugger.
    ///@{
    static constexpr unsigned char kHeapTag = 0x80;
    static constexpr std::size_t kPointerOffset = 0;
    static constexpr std::size_t kSizeOffset = sizeof(char*);
    static constexpr std::size_t kCapacityOffset = kSizeOffset + sizeof(std::size_t);
    static_assert(kCapacityOffset + sizeof(std::size_t) <= kTag, "heap fields must not reach the tag byte");
    ///@}

    bool isInline() const noexcept { return m_bytes[kTag] < kHeapTag; }
    char* inlineData() noexcept { return reinterpret_cast<char*>(m_bytes); }
    const char* inlineData() const noexcept { return reinterpret_cast<const char*>(m_bytes); }

    /// The heap fields are read and written through memcpy: the bytes are shared with the inline
    /// characters, and memcpy is the well-defined way to reinterpret them (it compiles to one move).
    ///@{
    char* heapData() const noexcept {
        char* p;
        std::memcpy(&p, m_bytes + kPointerOffset, sizeof p);
        return p;
    }
    std::size_t heapSize() const noexcept {
        std::size_t n;
        std::memcpy(&n, m_bytes + kSizeOffset, sizeof n);
        return n;
    }
    std::size_t heapCapacity() const noexcept {
        std::size_t n;
        std::memcpy(&n, m_bytes + kCapacityOffset, sizeof n);
        return n;
    }
    void setHeapSize(std::size_t n) noexcept { std::memcpy(m_bytes + kSizeOffset, &n, sizeof n); }
    void setHeap(char* p, std::size_t n, std::size_t capacity) noexcept {
        std::memcpy(m_bytes + kPointerOffset, &p, sizeof p);
        std::memcpy(m_bytes + kSizeOffset, &n, sizeof n);
        std::memcpy(m_bytes + kCapacityOffset, &capacity, sizeof capacity);
        m_bytes[kTag] = kHeapTag;
    }
    ///@}

    /// Leaves the object empty and inline; used on moved-from objects whose buffer went elsewhere.
    ///@{
    void makeEmptyInline() noexcept {
        m_bytes[0] = 0;
        m_bytes[kTag] = static_cast<unsigned char>(kInlineCapacity);
    }
    void release() noexcept {
        if (!isInline()) {
            std::free(heapData());
        }
    }
    static char* allocate(std::size_t capacity) {
        if (capacity > maxSize()) {
            DOZUV2_FAIL("capacity <= maxSize()");
        }
        char* const block = static_cast<char*>(std::malloc(capacity + 1));
        if (block == nullptr) {
            DOZUV2_FAIL("block");
        }
        return block;
    }
    ///@}
    /// Fills a fresh (or discarded) object with the n characters at s.
    void init(const char* s, std::size_t n) {
        std::memset(m_bytes, 0, kBytes);
        if (n <= kInlineCapacity) {
            if (n != 0) {
                std::memcpy(m_bytes, s, n);
            }
            m_bytes[kTag] = static_cast<unsigned char>(kInlineCapacity - n);
        } else {
            char* const block = allocate(n);
            std::memcpy(block, s, n);
            block[n] = 0;
            setHeap(block, n, n);
        }
    }
    /// Replaces the content by the n characters at s, which lie outside this object's buffer.
    void assignChars(const char* s, std::size_t n) {
        if (n <= capacity()) {
            if (n != 0) {
                std::memcpy(mutableData(), s, n);
            }
            setSize(n);
        } else {
            char* const block = allocate(n);
            std::memcpy(block, s, n);
            block[n] = 0;
            release();
            setHeap(block, n, n);
        }
    }
    /// Moves the content into a heap buffer of exactly newCapacity characters (newCapacity >= size()).
    void reallocate(std::size_t newCapacity) {
        if (newCapacity > maxSize()) {
            DOZUV2_FAIL("newCapacity <= maxSize()");
        }
        if (isInline()) {
            const std::size_t n = size();
            char* const block = allocate(newCapacity);
            std::memcpy(block, m_bytes, n + 1);
            setHeap(block, n, newCapacity);
        } else {
            char* const block = static_cast<char*>(std::realloc(heapData(), newCapacity + 1));
            if (block == nullptr) {
                DOZUV2_FAIL("block");
            }
            setHeap(block, heapSize(), newCapacity);
        }
    }

    alignas(std::size_t) unsigned char m_bytes[kBytes];
};

static_assert(sizeof(SmallStringStorage) == 32, "SmallStringStorage is meant to stay 32 bytes");

} // namespace Detail
/// @}

} // namespace Virad
} // namespace Orvane

#endif
