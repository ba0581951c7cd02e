// The host-independent part of the text family: the C library's vsnprintf
// made to keep the bounded formatter's contract, which no host's formatter
// keeps by itself in every detail (the C99 one always terminates; the
// Windows runtime's older one does not know every length modifier).
#include "Src/Platform/Text.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace Orvane {
namespace Platform {

int formatBounded(char* buffer, std::size_t size, const char* format, std::va_list args) {
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(buffer, size, format, args);
    if (length < 0 || static_cast<std::size_t>(length) < size) {
        va_end(again);
        return length;
    }
    // vsnprintf kept the last byte for its terminator; the contract wants the
    // text's own character there instead, so the text is formatted again in
    // full and its first size characters copied.
    char small[256];
    char* whole = static_cast<std::size_t>(length) < sizeof small
                      ? small
                      : new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
    if (whole != nullptr) {
        std::vsnprintf(whole, static_cast<std::size_t>(length) + 1, format, again);
        if (size > 0) {
            std::memcpy(buffer, whole, size);
        }
        if (whole != small) {
            delete[] whole;
        }
    }
    va_end(again);
    return static_cast<std::size_t>(length) == size ? length : -1;
}

} // namespace Platform
} // namespace Orvane
