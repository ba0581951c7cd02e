// The host-independent part of the loader family: library file names from
// the host's pattern, and which names may be loaded at all.
#include "Src/Platform/Loader.h"

#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Platform {

std::size_t libraryFileName(char* buffer, std::size_t size, const char* baseName) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::memset(buffer, 0, size);
    const int length = std::snprintf(buffer, size, kLibraryNameFormat, baseName != nullptr ? baseName : "");
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(length) < size ? static_cast<std::size_t>(length) : size - 1;
}

bool isBareFileName(const char* name) {
    if (name == nullptr || name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return false;
    }
    return std::strpbrk(name, "/\\:") == nullptr;
}

} // namespace Platform
} // namespace Orvane
