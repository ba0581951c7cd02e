/// \file
/// MiniStringStorage: a string storage policy exactly one pointer wide.
///
/// It serves records that hold several texts side by side and must stay small
/// and fixed in layout (mini_string). The pointer addresses the characters of
/// one heap block that starts with the size and the capacity, so data() costs
/// nothing and size() one load. Empty strings allocate nothing: they point into
/// a zero-filled static block whose capacity is 0, and no operation ever writes
/// to a block of capacity 0. The static block is told apart by that capacity,
/// not by its address, because a copy of this header in another module has its
/// own static block.
///
/// Contract for FlexString: data() always points at size() characters followed
/// by a NUL; setSize(n) requires n <= capacity(); grow() and reserve() keep the
/// content. Nothing throws: running out of memory is a fatal assertion. Like any
/// value type it is not thread-safe; distinct objects may be used concurrently.
#ifndef DOZUV2_VIRAD_DEVEZ3_DETAIL_MINISTRINGSTORAGE_H
#define DOZUV2_VIRAD_DEVEZ3_DETAIL_MINISTRINGSTORAGE_H

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

class MiniStringStorage {
public:
    MiniStringStorage() noexcept : m_chars(emptyChars()) {}
    /// A copy of the n characters at s (s may be null when n is 0).
    ///@{
    MiniStringStorage(const char* s, std::size_t n) : m_chars(n == 0 ? emptyChars() : createBlock(s, n)) {}
    MiniStringStorage(const MiniStringStorage& other)
        : m_chars(other.size() == 0 ? emptyChars() : createBlock(other.m_chars, other.size())) {}
    ///@}
    /// Takes over the other's block; the other is left empty.
    ///@{
    MiniStringStorage(MiniStringStorage&& other) noexcept : m_chars(other.m_chars) { other.m_chars = emptyChars(); }
    MiniStringStorage& operator=(const MiniStringStorage& other) {
        if (this != &other) {
            const std::size_t n = other.size();
            if (n <= capacity()) {
                if (n != 0) {
                    std::memcpy(m_chars, other.m_chars, n);
                }
                setSize(n);
            } else {
                char* const chars = createBlock(other.m_chars, n);
                release();
                m_chars = chars;
            }
        }
        return *this;
    }
    MiniStringStorage& operator=(MiniStringStorage&& other) noexcept {
        if (this != &other) {
            release();
            m_chars = other.m_chars;
            other.m_chars = emptyChars();
        }
        return *this;
    }
    ///@}
    ~MiniStringStorage() { release(); }

    const char* data() const noexcept { return m_chars; }
    char* mutableData() noexcept { return m_chars; }
    std::size_t size() const noexcept { return header()->size; }
    std::size_t capacity() const noexcept { return header()->capacity; }
    static constexpr std::size_t maxSize() noexcept { return (static_cast<std::size_t>(-1) >> 1) - sizeof(Header); }

    /// Sets the size to n (n <= capacity()) and terminates the string there.
    void setSize(std::size_t n) noexcept {
        Header* const h = header();
        if (h->capacity != 0) { // the shared empty block stays untouched
            h->size = n;
            m_chars[n] = 0;
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
            std::size_t target = current < maxSize() / 2 ? current * 2 : maxSize();
            if (target < kMinimumCapacity) {
                target = kMinimumCapacity;
            }
            reallocate(minCapacity > target ? minCapacity : target);
        }
    }
    /// Gives back unused room; an empty string returns to the shared empty block.
    ///@{
    void shrinkToFit() {
        Header* const h = header();
        if (h->capacity == 0 || h->size == h->capacity) {
            return;
        }
        if (h->size == 0) {
            std::free(h);
            m_chars = emptyChars();
            return;
        }
        // A failed shrink is harmless: the larger block stays.
        if (void* const block = std::realloc(h, sizeof(Header) + h->size + 1)) {
            m_chars = static_cast<char*>(block) + sizeof(Header);
            header()->capacity = header()->size;
        }
    }
    void swap(MiniStringStorage& other) noexcept {
        char* const chars = m_chars;
        m_chars = other.m_chars;
        other.m_chars = chars;
    }
    ///@}

private:
    struct Header {
        std::size_t size;
        std::size_t capacity;
    };
    struct EmptyBlock {
        Header header;
        char chars[sizeof(std::size_t)];
    };
    static_assert(offsetof(EmptyBlock, chars) == sizeof(Header), "the empty block must look like a heap block");
    /// The first heap block holds this much, so that short strings built by appending do not
    /// reallocate on every character.
    static constexpr std::size_t kMinimumCapacity = 15;

    /// Zero-filled: size 0, capacity 0, and a NUL for data(). Read-only: nothing writes to a block of
    /// capacity 0 (and writing the terminator through operator[] is undefined for std::string too).
    /// Being constant also lets the compiler see that the empty block is never freed.
    inline static constexpr EmptyBlock s_empty = {};

    static char* emptyChars() noexcept {
        return const_cast<char*>(reinterpret_cast<const char*>(&s_empty) + offsetof(EmptyBlock, chars));
    }
    Header* header() const noexcept { return reinterpret_cast<Header*>(m_chars - sizeof(Header)); }

    static char* allocate(std::size_t capacity) {
        if (capacity > maxSize()) {
            DOZUV2_FAIL("capacity <= maxSize()");
        }
        void* const block = std::malloc(sizeof(Header) + capacity + 1);
        if (block == nullptr) {
            DOZUV2_FAIL("block");
        }
        static_cast<Header*>(block)->capacity = capacity;
        return static_cast<char*>(block) + sizeof(Header);
    }
    /// A block of exactly n characters (n > 0) holding a copy of s.
    ///@{
    static char* createBlock(const char* s, std::size_t n) {
        char* const chars = allocate(n);
        std::memcpy(chars, s, n);
        chars[n] = 0;
        reinterpret_cast<Header*>(chars - sizeof(Header))->size = n;
        return chars;
    }
    void release() noexcept {
        Header* const h = header();
        if (h->capacity != 0) {
            std::free(h);
        }
    }
    ///@}
    /// Moves the content into a block of exactly newCapacity characters (newCapacity > capacity()).
    void reallocate(std::size_t newCapacity) {
        Header* const h = header();
        if (h->capacity == 0) {
            char* const chars = allocate(newCapacity);
            reinterpret_cast<Header*>(chars - sizeof(Header))->size = 0;
            chars[0] = 0;
            m_chars = chars;
            return;
        }
        if (newCapacity > maxSize()) {
            DOZUV2_FAIL("newCapacity <= maxSize()");
        }
        void* const block = std::realloc(h, sizeof(Header) + newCapacity + 1);
        if (block == nullptr) {
            DOZUV2_FAIL("block");
        }
        m_chars = static_cast<char*>(block) + sizeof(Header);
        header()->capacity = newCapacity;
    }

    char* m_chars;
};

static_assert(sizeof(MiniStringStorage) == sizeof(void*), "MiniStringStorage must stay one pointer wide");

} // namespace Detail
/// @}

} // namespace Virad
} // namespace Orvane

#endif
