// The platform's C-library text functions whose contracts differ between
// hosts: the case-insensitive comparison and the bounded formatter that
// neither terminates a cut text nor reports the length it would have needed.
#ifndef DOZUV2_PLATFORM_TEXT_H
#define DOZUV2_PLATFORM_TEXT_H

#include <cstdarg>
#include <cstddef>

namespace Orvane {
namespace Platform {

// Compares two terminated texts ignoring the case of letters, as the C
// library's case-insensitive comparison does: negative, 0 or positive.
int compareIgnoringCase(const char* left, const char* right);

// Formats into buffer, writing at most size characters. Returns the length of
// the text when it fits, terminated when there is room for the terminator and
// unterminated when it fills the buffer exactly; -1 when it is cut, in which
// case the buffer holds its first size characters without a terminator.
int formatBounded(char* buffer, std::size_t size, const char* format, std::va_list args);

} // namespace Platform
} // namespace Orvane

#endif
