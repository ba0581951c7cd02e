/// \file
/// flex_string: the library's string class.
///
/// The library hands strings across its interface by value (error messages,
/// file names, class ids, thread names, time formats), so the class must not
/// depend on the caller's standard library build and must be cheap for the
/// short texts that dominate. FlexString offers the operations of std::string
/// over a storage policy that decides where the characters live:
///
///   flex_string  -- SmallStringStorage: up to 31 characters inside the object,
///                   longer strings on the heap; 32 bytes.
///   mini_string  -- MiniStringStorage: one pointer; empty strings allocate
///                   nothing. For records that hold several texts side by side.
///
/// Contract:
/// - Thread-safety as for std::string: concurrent reads of one string are fine,
///   any modification needs exclusive access.
/// - Lifetime: data(), c_str(), iterators and references stay valid until the
///   string is modified or destroyed. A moved-from string is empty and usable.
/// - Nothing throws. Where std::string would throw, this class either keeps a
///   well-defined result or stops the process:
///     * a position past the end is clamped to size() (so substr(size() + 1) is
///       empty, erase/insert/replace there act at the end, find returns npos);
///     * at() with an index not below size() is a broken invariant: assertion
///       report and the process ends. operator[], front() and back() do not
///       check, exactly like std::string;
///     * running out of memory or asking for more than max_size() characters
///       ends the process with an assertion report.
/// - A null const char* is taken as the empty string wherever a C string is
///   accepted (construction, assignment, append, insert, find, compare).
/// - Arguments may point into the string itself: s.append(s), s.insert(0, s),
///   s.replace(1, 2, s.c_str() + 3, 4) all behave as if the argument were copied
///   first.
/// - Comparison is byte-wise as by memcmp (characters compare as unsigned).
/// - Conversion to std::string is explicit (str() or static_cast): an implicit
///   one would make mixed expressions such as `flex == std` ambiguous and would
///   copy silently. Construction from std::string is implicit, so functions
///   taking `const flex_string&` accept std::string and C strings alike.
#ifndef DOZUV2_VIRAD_DEVEZ3_DETAIL_FLEX_STRING_H
#define DOZUV2_VIRAD_DEVEZ3_DETAIL_FLEX_STRING_H

#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "virad/devez3/detail/MiniStringStorage.h"
#include "virad/devez3/detail/SmallStringStorage.h"

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

namespace Detail {

/// True for types with an iterator category, so that FlexString(5, 'x') and
/// FlexString(first, last) never compete.
///@{
template <typename T, typename = void> struct FlexStringIsIterator : std::false_type {};
template <typename T>
struct FlexStringIsIterator<T, std::void_t<typename std::iterator_traits<T>::iterator_category>> : std::true_type {};
///@}

/// Iterator-taking overloads accept exactly the string's own iterators (char* or const char*). As plain
/// const char* parameters they would also accept a literal 0, making calls such as erase(0) or
/// replace(0, 0, "x") ambiguous with the position forms.
template <typename T>
using FlexStringIfIterator =
    std::enable_if_t<std::is_same<T, char*>::value || std::is_same<T, const char*>::value, int>;

template <typename Storage> class FlexString {
public:
    using traits_type = std::char_traits<char>;
    using value_type = char;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = char&;
    using const_reference = const char&;
    using pointer = char*;
    using const_pointer = const char*;
    using iterator = char*;
    using const_iterator = const char*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    static constexpr size_type npos = static_cast<size_type>(-1);

    // ---- Construction and assignment ----

    FlexString() noexcept = default;
    FlexString(const FlexString&) = default;
    FlexString(FlexString&&) noexcept = default;
    /// The characters of other from pos, at most n of them.
    ///@{
    FlexString(const FlexString& other, size_type pos, size_type n = npos)
        : m_storage(other.data() + other.clampPos(pos), other.clampLen(other.clampPos(pos), n)) {}
    FlexString(const char* s) : m_storage(s, lengthOf(s)) {}
    FlexString(const char* s, size_type n) : m_storage(s, n) {}
    FlexString(const std::string& s) : m_storage(s.data(), s.size()) {}
    FlexString(size_type n, char c) { append(n, c); }
    template <typename InputIt, typename = std::enable_if_t<FlexStringIsIterator<InputIt>::value>>
    FlexString(InputIt first, InputIt last) {
        initRange(first, last, typename std::iterator_traits<InputIt>::iterator_category());
    }
    FlexString(std::initializer_list<char> chars) : m_storage(chars.begin(), chars.size()) {}
    ///@}
    ~FlexString() = default;

    FlexString& operator=(const FlexString&) = default;
    FlexString& operator=(FlexString&&) noexcept = default;
    FlexString& operator=(const char* s) { return assign(s); }
    FlexString& operator=(const std::string& s) { return assign(s.data(), s.size()); }
    FlexString& operator=(char c) { return assign(1, c); }
    FlexString& operator=(std::initializer_list<char> chars) { return assign(chars.begin(), chars.size()); }

    FlexString& assign(const FlexString& s) { return *this = s; }
    FlexString& assign(FlexString&& s) noexcept { return *this = std::move(s); }
    FlexString& assign(const FlexString& s, size_type pos, size_type n = npos) {
        pos = s.clampPos(pos);
        return assign(s.data() + pos, s.clampLen(pos, n));
    }
    FlexString& assign(const char* s, size_type n) {
        if (n <= capacity()) {
            // No reallocation, so memmove copes with s pointing into this string.
            if (n != 0) {
                std::memmove(m_storage.mutableData(), s, n);
            }
            m_storage.setSize(n);
        } else {
            m_storage = Storage(s, n);
        }
        return *this;
    }
    FlexString& assign(const char* s) { return assign(s, lengthOf(s)); }
    FlexString& assign(const std::string& s) { return assign(s.data(), s.size()); }
    FlexString& assign(size_type n, char c) {
        clear();
        return append(n, c);
    }
    template <typename InputIt, typename = std::enable_if_t<FlexStringIsIterator<InputIt>::value>>
    FlexString& assign(InputIt first, InputIt last) {
        FlexString chars(first, last);
        swap(chars);
        return *this;
    }
    FlexString& assign(std::initializer_list<char> chars) { return assign(chars.begin(), chars.size()); }

    // ---- Element access ----

    const char* c_str() const noexcept { return m_storage.data(); }
    const char* data() const noexcept { return m_storage.data(); }
    char* data() noexcept { return m_storage.mutableData(); }

    char& operator[](size_type i) noexcept { return m_storage.mutableData()[i]; }
    const char& operator[](size_type i) const noexcept { return data()[i]; }
    /// Checked access: an index not below size() ends the process with an assertion report.
    ///@{
    char& at(size_type i) {
        checkIndex(i);
        return m_storage.mutableData()[i];
    }
    const char& at(size_type i) const {
        checkIndex(i);
        return data()[i];
    }
    char& front() noexcept { return m_storage.mutableData()[0]; }
    const char& front() const noexcept { return data()[0]; }
    char& back() noexcept { return m_storage.mutableData()[size() - 1]; }
    const char& back() const noexcept { return data()[size() - 1]; }
    ///@}

    // ---- Iterators ----

    iterator begin() noexcept { return m_storage.mutableData(); }
    iterator end() noexcept { return m_storage.mutableData() + size(); }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size(); }
    const_iterator cbegin() const noexcept { return data(); }
    const_iterator cend() const noexcept { return data() + size(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    const_reverse_iterator crbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator crend() const noexcept { return const_reverse_iterator(begin()); }

    // ---- Size and capacity ----

    size_type size() const noexcept { return m_storage.size(); }
    size_type length() const noexcept { return m_storage.size(); }
    bool empty() const noexcept { return size() == 0; }
    size_type capacity() const noexcept { return m_storage.capacity(); }
    static constexpr size_type max_size() noexcept { return Storage::maxSize(); }
    /// Makes room for n characters without changing the content; never shrinks.
    ///@{
    void reserve(size_type n = 0) { m_storage.reserve(n); }
    void shrink_to_fit() { m_storage.shrinkToFit(); }
    ///@}
    /// Keeps the capacity.
    ///@{
    void clear() noexcept { m_storage.setSize(0); }
    void resize(size_type n, char c) {
        const size_type current = size();
        if (n > current) {
            append(n - current, c);
        } else {
            m_storage.setSize(n);
        }
    }
    void resize(size_type n) { resize(n, char()); }
    ///@}

    // ---- Appending ----

    FlexString& append(const char* s, size_type n) {
        if (n == 0) {
            return *this;
        }
        const size_type oldSize = size();
        if (n > capacity() - oldSize) {
            checkGrowth(oldSize, n);
            if (aliases(s)) {
                // Growing may move the buffer s points into.
                const size_type offset = static_cast<size_type>(s - data());
                m_storage.grow(oldSize + n);
                s = data() + offset;
            } else {
                m_storage.grow(oldSize + n);
            }
        }
        std::memmove(m_storage.mutableData() + oldSize, s, n);
        m_storage.setSize(oldSize + n);
        return *this;
    }
    FlexString& append(const FlexString& s) { return append(s.data(), s.size()); }
    FlexString& append(const FlexString& s, size_type pos, size_type n = npos) {
        pos = s.clampPos(pos);
        return append(s.data() + pos, s.clampLen(pos, n));
    }
    FlexString& append(const char* s) { return append(s, lengthOf(s)); }
    FlexString& append(const std::string& s) { return append(s.data(), s.size()); }
    FlexString& append(size_type n, char c) {
        if (n == 0) {
            return *this;
        }
        const size_type oldSize = size();
        if (n > capacity() - oldSize) {
            checkGrowth(oldSize, n);
            m_storage.grow(oldSize + n);
        }
        std::memset(m_storage.mutableData() + oldSize, c, n);
        m_storage.setSize(oldSize + n);
        return *this;
    }
    template <typename InputIt, typename = std::enable_if_t<FlexStringIsIterator<InputIt>::value>>
    FlexString& append(InputIt first, InputIt last) {
        const FlexString chars(first, last);
        return append(chars.data(), chars.size());
    }
    FlexString& append(std::initializer_list<char> chars) { return append(chars.begin(), chars.size()); }

    FlexString& operator+=(const FlexString& s) { return append(s.data(), s.size()); }
    FlexString& operator+=(const char* s) { return append(s, lengthOf(s)); }
    FlexString& operator+=(const std::string& s) { return append(s.data(), s.size()); }
    FlexString& operator+=(char c) {
        push_back(c);
        return *this;
    }
    FlexString& operator+=(std::initializer_list<char> chars) { return append(chars.begin(), chars.size()); }

    void push_back(char c) {
        const size_type oldSize = size();
        if (oldSize == capacity()) {
            checkGrowth(oldSize, 1);
            m_storage.grow(oldSize + 1);
        }
        m_storage.mutableData()[oldSize] = c;
        m_storage.setSize(oldSize + 1);
    }
    /// Removes the last character; does nothing on an empty string.
    void pop_back() noexcept {
        const size_type n = size();
        if (n != 0) {
            m_storage.setSize(n - 1);
        }
    }

    // ---- Insertion, erasure and replacement (positions past the end act at the end) ----

    FlexString& insert(size_type pos, const FlexString& s) { return replace(pos, 0, s.data(), s.size()); }
    FlexString& insert(size_type pos, const FlexString& s, size_type pos2, size_type n = npos) {
        pos2 = s.clampPos(pos2);
        return replace(pos, 0, s.data() + pos2, s.clampLen(pos2, n));
    }
    FlexString& insert(size_type pos, const char* s, size_type n) { return replace(pos, 0, s, n); }
    FlexString& insert(size_type pos, const char* s) { return replace(pos, 0, s, lengthOf(s)); }
    FlexString& insert(size_type pos, const std::string& s) { return replace(pos, 0, s.data(), s.size()); }
    FlexString& insert(size_type pos, size_type n, char c) { return replace(pos, 0, n, c); }
    template <typename It, FlexStringIfIterator<It> = 0> iterator insert(It p, char c) {
        const size_type pos = offsetOf(p);
        replace(pos, 0, 1, c);
        return begin() + pos;
    }
    template <typename It, FlexStringIfIterator<It> = 0> iterator insert(It p, size_type n, char c) {
        const size_type pos = offsetOf(p);
        replace(pos, 0, n, c);
        return begin() + pos;
    }
    template <typename It, typename InputIt, FlexStringIfIterator<It> = 0,
              typename = std::enable_if_t<FlexStringIsIterator<InputIt>::value>>
    iterator insert(It p, InputIt first, InputIt last) {
        const size_type pos = offsetOf(p);
        const FlexString chars(first, last);
        replace(pos, 0, chars.data(), chars.size());
        return begin() + pos;
    }
    template <typename It, FlexStringIfIterator<It> = 0> iterator insert(It p, std::initializer_list<char> chars) {
        const size_type pos = offsetOf(p);
        replace(pos, 0, chars.begin(), chars.size());
        return begin() + pos;
    }

    /// Removes at most n characters from pos.
    ///@{
    FlexString& erase(size_type pos = 0, size_type n = npos) {
        pos = clampPos(pos);
        n = clampLen(pos, n);
        if (n != 0) {
            openGap(pos, n, 0);
        }
        return *this;
    }
    template <typename It, FlexStringIfIterator<It> = 0> iterator erase(It p) {
        const size_type pos = offsetOf(p);
        erase(pos, 1);
        return begin() + pos;
    }
    template <typename It1, typename It2, FlexStringIfIterator<It1> = 0, FlexStringIfIterator<It2> = 0>
    iterator erase(It1 first, It2 last) {
        const size_type pos = offsetOf(first);
        erase(pos, static_cast<size_type>(last - first));
        return begin() + pos;
    }
    ///@}

    /// Replaces at most len characters from pos by the n characters at s.
    ///@{
    FlexString& replace(size_type pos, size_type len, const char* s, size_type n) {
        pos = clampPos(pos);
        len = clampLen(pos, len);
        if (n != 0 && aliases(s)) {
            // Moving the tail could overwrite the source; work from a copy.
            const FlexString chars(s, n);
            std::memcpy(openGap(pos, len, n), chars.data(), n);
        } else if (n != 0) {
            std::memcpy(openGap(pos, len, n), s, n);
        } else if (len != 0) {
            openGap(pos, len, 0);
        }
        return *this;
    }
    FlexString& replace(size_type pos, size_type len, const FlexString& s) {
        return replace(pos, len, s.data(), s.size());
    }
    FlexString& replace(size_type pos, size_type len, const FlexString& s, size_type pos2, size_type n = npos) {
        pos2 = s.clampPos(pos2);
        return replace(pos, len, s.data() + pos2, s.clampLen(pos2, n));
    }
    FlexString& replace(size_type pos, size_type len, const char* s) { return replace(pos, len, s, lengthOf(s)); }
    FlexString& replace(size_type pos, size_type len, const std::string& s) {
        return replace(pos, len, s.data(), s.size());
    }
    ///@}
    /// Replaces at most len characters from pos by n copies of c.
    ///@{
    FlexString& replace(size_type pos, size_type len, size_type n, char c) {
        pos = clampPos(pos);
        len = clampLen(pos, len);
        if (n != 0 || len != 0) {
            char* const gap = openGap(pos, len, n);
            if (n != 0) {
                std::memset(gap, c, n);
            }
        }
        return *this;
    }
    template <typename It1, typename It2, FlexStringIfIterator<It1> = 0, FlexStringIfIterator<It2> = 0>
    FlexString& replace(It1 first, It2 last, const FlexString& s) {
        return replace(offsetOf(first), static_cast<size_type>(last - first), s.data(), s.size());
    }
    template <typename It1, typename It2, FlexStringIfIterator<It1> = 0, FlexStringIfIterator<It2> = 0>
    FlexString& replace(It1 first, It2 last, const char* s, size_type n) {
        return replace(offsetOf(first), static_cast<size_type>(last - first), s, n);
    }
    template <typename It1, typename It2, FlexStringIfIterator<It1> = 0, FlexStringIfIterator<It2> = 0>
    FlexString& replace(It1 first, It2 last, const char* s) {
        return replace(offsetOf(first), static_cast<size_type>(last - first), s, lengthOf(s));
    }
    template <typename It1, typename It2, FlexStringIfIterator<It1> = 0, FlexStringIfIterator<It2> = 0>
    FlexString& replace(It1 first, It2 last, size_type n, char c) {
        return replace(offsetOf(first), static_cast<size_type>(last - first), n, c);
    }
    template <typename It1, typename It2, typename InputIt, FlexStringIfIterator<It1> = 0,
              FlexStringIfIterator<It2> = 0, typename = std::enable_if_t<FlexStringIsIterator<InputIt>::value>>
    FlexString& replace(It1 first, It2 last, InputIt first2, InputIt last2) {
        const FlexString chars(first2, last2);
        return replace(offsetOf(first), static_cast<size_type>(last - first), chars.data(), chars.size());
    }
    ///@}

    /// Copies at most n characters from pos to dest (no NUL added); returns how many.
    size_type copy(char* dest, size_type n, size_type pos = 0) const noexcept {
        pos = clampPos(pos);
        n = clampLen(pos, n);
        if (n != 0) {
            std::memcpy(dest, data() + pos, n);
        }
        return n;
    }

    void swap(FlexString& other) noexcept { m_storage.swap(other.m_storage); }

    // ---- Conversion ----

    std::string str() const { return std::string(data(), size()); }
    explicit operator std::string() const { return std::string(data(), size()); }

    // ---- Search (a pos past the end finds nothing, an empty needle is found at pos <= size()) ----

    size_type find(const FlexString& s, size_type pos = 0) const noexcept { return view().find(s.view(), pos); }
    size_type find(const char* s, size_type pos, size_type n) const noexcept { return view().find(s, pos, n); }
    size_type find(const char* s, size_type pos = 0) const noexcept { return view().find(s, pos, lengthOf(s)); }
    size_type find(char c, size_type pos = 0) const noexcept { return view().find(c, pos); }

    size_type rfind(const FlexString& s, size_type pos = npos) const noexcept { return view().rfind(s.view(), pos); }
    size_type rfind(const char* s, size_type pos, size_type n) const noexcept { return view().rfind(s, pos, n); }
    size_type rfind(const char* s, size_type pos = npos) const noexcept { return view().rfind(s, pos, lengthOf(s)); }
    size_type rfind(char c, size_type pos = npos) const noexcept { return view().rfind(c, pos); }

    size_type find_first_of(const FlexString& s, size_type pos = 0) const noexcept {
        return view().find_first_of(s.view(), pos);
    }
    size_type find_first_of(const char* s, size_type pos, size_type n) const noexcept {
        return view().find_first_of(s, pos, n);
    }
    size_type find_first_of(const char* s, size_type pos = 0) const noexcept {
        return view().find_first_of(s, pos, lengthOf(s));
    }
    size_type find_first_of(char c, size_type pos = 0) const noexcept { return view().find_first_of(c, pos); }

    size_type find_last_of(const FlexString& s, size_type pos = npos) const noexcept {
        return view().find_last_of(s.view(), pos);
    }
    size_type find_last_of(const char* s, size_type pos, size_type n) const noexcept {
        return view().find_last_of(s, pos, n);
    }
    size_type find_last_of(const char* s, size_type pos = npos) const noexcept {
        return view().find_last_of(s, pos, lengthOf(s));
    }
    size_type find_last_of(char c, size_type pos = npos) const noexcept { return view().find_last_of(c, pos); }

    size_type find_first_not_of(const FlexString& s, size_type pos = 0) const noexcept {
        return view().find_first_not_of(s.view(), pos);
    }
    size_type find_first_not_of(const char* s, size_type pos, size_type n) const noexcept {
        return view().find_first_not_of(s, pos, n);
    }
    size_type find_first_not_of(const char* s, size_type pos = 0) const noexcept {
        return view().find_first_not_of(s, pos, lengthOf(s));
    }
    size_type find_first_not_of(char c, size_type pos = 0) const noexcept { return view().find_first_not_of(c, pos); }

    size_type find_last_not_of(const FlexString& s, size_type pos = npos) const noexcept {
        return view().find_last_not_of(s.view(), pos);
    }
    size_type find_last_not_of(const char* s, size_type pos, size_type n) const noexcept {
        return view().find_last_not_of(s, pos, n);
    }
    size_type find_last_not_of(const char* s, size_type pos = npos) const noexcept {
        return view().find_last_not_of(s, pos, lengthOf(s));
    }
    size_type find_last_not_of(char c, size_type pos = npos) const noexcept { return view().find_last_not_of(c, pos); }

    /// At most n characters from pos; empty when pos is past the end.
    FlexString substr(size_type pos = 0, size_type n = npos) const { return FlexString(*this, pos, n); }

    // ---- Comparison: negative, zero or positive as *this sorts before, with or after the argument ----

    int compare(const FlexString& s) const noexcept { return compareChars(data(), size(), s.data(), s.size()); }
    int compare(size_type pos, size_type n, const FlexString& s) const noexcept {
        pos = clampPos(pos);
        return compareChars(data() + pos, clampLen(pos, n), s.data(), s.size());
    }
    int compare(size_type pos, size_type n, const FlexString& s, size_type pos2, size_type n2 = npos) const noexcept {
        pos = clampPos(pos);
        pos2 = s.clampPos(pos2);
        return compareChars(data() + pos, clampLen(pos, n), s.data() + pos2, s.clampLen(pos2, n2));
    }
    int compare(const char* s) const noexcept { return compareChars(data(), size(), s, lengthOf(s)); }
    int compare(size_type pos, size_type n, const char* s) const noexcept {
        pos = clampPos(pos);
        return compareChars(data() + pos, clampLen(pos, n), s, lengthOf(s));
    }
    int compare(size_type pos, size_type n, const char* s, size_type n2) const noexcept {
        pos = clampPos(pos);
        return compareChars(data() + pos, clampLen(pos, n), s, n2);
    }
    int compare(const std::string& s) const noexcept { return compareChars(data(), size(), s.data(), s.size()); }

    /// Byte-wise three-way comparison of two character ranges (either may be empty with a null pointer).
    ///@{
    static int compareChars(const char* a, size_type na, const char* b, size_type nb) noexcept {
        const size_type common = na < nb ? na : nb;
        const int r = common == 0 ? 0 : traits_type::compare(a, b, common);
        if (r != 0) {
            return r;
        }
        return na < nb ? -1 : (na > nb ? 1 : 0);
    }
    static size_type lengthOf(const char* s) noexcept { return s == nullptr ? 0 : traits_type::length(s); }
    ///@}

private:
    std::string_view view() const noexcept { return std::string_view(data(), size()); }
    size_type clampPos(size_type pos) const noexcept {
        const size_type n = size();
        return pos < n ? pos : n;
    }
    /// The number of characters available from pos (pos <= size()), at most n.
    ///@{
    size_type clampLen(size_type pos, size_type n) const noexcept {
        const size_type available = size() - pos;
        return n < available ? n : available;
    }
    size_type offsetOf(const_iterator p) const noexcept { return static_cast<size_type>(p - data()); }
    ///@}
    /// Whether s points into this string's characters (or at its terminator).
    ///@{
    bool aliases(const char* s) const noexcept {
        const char* const first = data();
        return std::less_equal<const char*>()(first, s) && std::less_equal<const char*>()(s, first + size());
    }
    void checkIndex(size_type i) const {
        if (i >= size()) {
            DOZUV2_FAIL("n < size()");
        }
    }
    void checkGrowth(size_type oldSize, size_type extra) const {
        if (extra > max_size() - oldSize) {
            DOZUV2_FAIL("size() + n <= max_size()");
        }
    }
    ///@}
    /// Turns the len characters at pos into a gap of n uninitialised characters, moving the tail,
    /// and returns the gap (pos <= size(), len <= size() - pos).
    ///@{
    char* openGap(size_type pos, size_type len, size_type n) {
        const size_type oldSize = size();
        const size_type kept = oldSize - len;
        checkGrowth(kept, n);
        const size_type newSize = kept + n;
        if (newSize > capacity()) {
            m_storage.grow(newSize);
        }
        char* const p = m_storage.mutableData();
        const size_type tail = oldSize - pos - len;
        if (n != len && tail != 0) {
            std::memmove(p + pos + n, p + pos + len, tail);
        }
        m_storage.setSize(newSize);
        return p + pos;
    }
    template <typename InputIt> void initRange(InputIt first, InputIt last, std::input_iterator_tag) {
        for (; first != last; ++first) {
            push_back(*first);
        }
    }
    template <typename ForwardIt> void initRange(ForwardIt first, ForwardIt last, std::forward_iterator_tag) {
        const size_type n = static_cast<size_type>(std::distance(first, last));
        m_storage.reserve(n);
        char* p = m_storage.mutableData();
        for (; first != last; ++first, ++p) {
            *p = *first;
        }
        m_storage.setSize(n);
    }
    ///@}

    Storage m_storage;
};

// ---- Concatenation ----

template <typename S> FlexString<S> flexConcat(const char* a, std::size_t na, const char* b, std::size_t nb) {
    FlexString<S> result;
    result.reserve(na + nb);
    result.append(a, na).append(b, nb);
    return result;
}
/// Puts a in front of b, reusing b's buffer when it already has the room.
template <typename S> FlexString<S> flexPrepend(const char* a, std::size_t na, FlexString<S>&& b) {
    if (na <= b.capacity() - b.size()) {
        b.insert(0, a, na);
        return std::move(b);
    }
    return flexConcat<S>(a, na, b.data(), b.size());
}

template <typename S> FlexString<S> operator+(const FlexString<S>& a, const FlexString<S>& b) {
    return flexConcat<S>(a.data(), a.size(), b.data(), b.size());
}
template <typename S> FlexString<S> operator+(FlexString<S>&& a, const FlexString<S>& b) {
    return std::move(a.append(b));
}
template <typename S> FlexString<S> operator+(const FlexString<S>& a, FlexString<S>&& b) {
    return flexPrepend<S>(a.data(), a.size(), std::move(b));
}
template <typename S> FlexString<S> operator+(FlexString<S>&& a, FlexString<S>&& b) {
    return std::move(a.append(b));
}
template <typename S> FlexString<S> operator+(const FlexString<S>& a, const char* b) {
    return flexConcat<S>(a.data(), a.size(), b, FlexString<S>::lengthOf(b));
}
template <typename S> FlexString<S> operator+(FlexString<S>&& a, const char* b) {
    return std::move(a.append(b));
}
template <typename S> FlexString<S> operator+(const char* a, const FlexString<S>& b) {
    return flexConcat<S>(a, FlexString<S>::lengthOf(a), b.data(), b.size());
}
template <typename S> FlexString<S> operator+(const char* a, FlexString<S>&& b) {
    return flexPrepend<S>(a, FlexString<S>::lengthOf(a), std::move(b));
}
template <typename S> FlexString<S> operator+(const FlexString<S>& a, char b) {
    return flexConcat<S>(a.data(), a.size(), &b, 1);
}
template <typename S> FlexString<S> operator+(FlexString<S>&& a, char b) {
    a.push_back(b);
    return std::move(a);
}
template <typename S> FlexString<S> operator+(char a, const FlexString<S>& b) {
    return flexConcat<S>(&a, 1, b.data(), b.size());
}
template <typename S> FlexString<S> operator+(char a, FlexString<S>&& b) {
    return flexPrepend<S>(&a, 1, std::move(b));
}
template <typename S> FlexString<S> operator+(const FlexString<S>& a, const std::string& b) {
    return flexConcat<S>(a.data(), a.size(), b.data(), b.size());
}
template <typename S> FlexString<S> operator+(FlexString<S>&& a, const std::string& b) {
    return std::move(a.append(b));
}
template <typename S> FlexString<S> operator+(const std::string& a, const FlexString<S>& b) {
    return flexConcat<S>(a.data(), a.size(), b.data(), b.size());
}
template <typename S> FlexString<S> operator+(const std::string& a, FlexString<S>&& b) {
    return flexPrepend<S>(a.data(), a.size(), std::move(b));
}

// ---- Comparison with flex strings, C strings and std::string, either side ----

template <typename S> bool operator==(const FlexString<S>& a, const FlexString<S>& b) noexcept {
    return a.size() == b.size() && FlexString<S>::compareChars(a.data(), a.size(), b.data(), b.size()) == 0;
}
template <typename S> bool operator==(const FlexString<S>& a, const char* b) noexcept {
    return a.compare(b) == 0;
}
template <typename S> bool operator==(const char* a, const FlexString<S>& b) noexcept {
    return b.compare(a) == 0;
}
template <typename S> bool operator==(const FlexString<S>& a, const std::string& b) noexcept {
    return a.size() == b.size() && a.compare(b) == 0;
}
template <typename S> bool operator==(const std::string& a, const FlexString<S>& b) noexcept {
    return b == a;
}

/// The remaining relations follow from compare() with the arguments in the order written.
///@{
#define DOZUV2_FLEX_STRING_RELATION(op)                                                                                \
    template <typename S> bool operator op(const FlexString<S>& a, const FlexString<S>& b) noexcept {                  \
        return a.compare(b) op 0;                                                                                      \
    }                                                                                                                  \
    template <typename S> bool operator op(const FlexString<S>& a, const char* b) noexcept {                           \
        return a.compare(b) op 0;                                                                                      \
    }                                                                                                                  \
    template <typename S> bool operator op(const char* a, const FlexString<S>& b) noexcept {                           \
        return 0 op b.compare(a);                                                                                      \
    }                                                                                                                  \
    template <typename S> bool operator op(const FlexString<S>& a, const std::string& b) noexcept {                    \
        return a.compare(b) op 0;                                                                                      \
    }                                                                                                                  \
    template <typename S> bool operator op(const std::string& a, const FlexString<S>& b) noexcept {                    \
        return 0 op b.compare(a);                                                                                      \
    }
DOZUV2_FLEX_STRING_RELATION(!=)
DOZUV2_FLEX_STRING_RELATION(<)
DOZUV2_FLEX_STRING_RELATION(<=)
DOZUV2_FLEX_STRING_RELATION(>)
DOZUV2_FLEX_STRING_RELATION(>=)
///@}
#undef DOZUV2_FLEX_STRING_RELATION

template <typename S> void swap(FlexString<S>& a, FlexString<S>& b) noexcept {
    a.swap(b);
}

/// Writes the characters honouring the stream's width, fill and adjustment, as for std::string.
template <typename S> std::ostream& operator<<(std::ostream& os, const FlexString<S>& s) {
    return os << std::string_view(s.data(), s.size());
}

} // namespace Detail

/// The library's string class, with up to 31 characters held inline.
using flex_string = Detail::FlexString<Detail::SmallStringStorage>;
/// The same over a storage one pointer wide.
using mini_string = Detail::FlexString<Detail::MiniStringStorage>;
/// @}

} // namespace Virad
} // namespace Orvane

namespace std {

/// Flex strings hash like the std::string with the same characters, so they can key unordered containers.
template <typename S> struct hash<Orvane::Virad::Detail::FlexString<S>> {
    size_t operator()(const Orvane::Virad::Detail::FlexString<S>& s) const noexcept {
        return hash<string_view>()(string_view(s.data(), s.size()));
    }
};

} // namespace std

#endif
