// Windows realisation of the loader family: dynamic-link libraries through
// LoadLibraryA and GetProcAddress.
#include "Src/Platform/Loader.h"

#include <windows.h>

namespace Orvane {
namespace Platform {

const char* const kLibraryNameFormat = "%s.dll";

LibraryHandle loadLibrary(const char* name) {
    if (!isBareFileName(name)) {
        return nullptr;
    }
    // The system's own search order already starts in the program's directory.
    return reinterpret_cast<LibraryHandle>(LoadLibraryA(name));
}

void* findEntryPoint(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

} // namespace Platform
} // namespace Orvane
