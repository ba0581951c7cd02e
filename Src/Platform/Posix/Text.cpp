// POSIX realisation of the text family's comparison: strcasecmp.
#include "Src/Platform/Text.h"

#include <strings.h>

namespace Orvane {
namespace Platform {

int compareIgnoringCase(const char* left, const char* right) {
    return ::strcasecmp(left, right);
}

} // namespace Platform
} // namespace Orvane
