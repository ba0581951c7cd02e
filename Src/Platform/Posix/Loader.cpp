// POSIX realisation of the loader family: shared objects through dlopen.
#include "Platform/Loader.h"

#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

namespace {

// The directory of the running executable with its trailing separator, or
// empty when the host cannot tell.
std::string executableDirectory() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string text(path, static_cast<std::size_t>(length));
    const std::string::size_type cut = text.rfind('/');
    return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

} // namespace

const char* const kLibraryNameFormat = "lib%s.so";

LibraryHandle loadLibrary(const char* name) {
    if (!isBareFileName(name)) {
        return nullptr;
    }
    void* handle = nullptr;
    const std::string beside = executableDirectory() + name;
    if (::access(beside.c_str(), F_OK) == 0) {
        handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle == nullptr) {
        handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    }
    return static_cast<LibraryHandle>(handle);
}

void* findEntryPoint(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return ::dlsym(static_cast<void*>(library), name);
}

} // namespace Platform
} // namespace Orvane
