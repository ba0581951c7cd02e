// Windows realisation of the text family's comparison: the C runtime's _stricmp.
#include "Src/Platform/Text.h"

#include <string.h>

namespace Orvane {
namespace Platform {

int compareIgnoringCase(const char* left, const char* right) {
    return ::_stricmp(left, right);
}

} // namespace Platform
} // namespace Orvane
