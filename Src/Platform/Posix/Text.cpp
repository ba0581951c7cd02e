// POSIX realisation of the text family: strcasecmp, and vsnprintf made to
// keep the Windows bounded formatter's contract.
#include "Platform/Text.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <strings.h>

namespace Orvane {
namespace Platform {

int compareIgnoringCase(const char* left, const char* right) {
    return ::strcasecmp(left, right);
}

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
