// POSIX realisation of the loader family: shared objects through dlopen.
#include "Src/Platform/Loader.h"

#include <cstdio>
#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

namespace {

// The name in the directory of the running executable; false when the host
// cannot tell that directory or the path does not fit. Built in place: a
// lookup has no allocation that could fail.
bool besideExecutable(char (&path)[4096], const char* name) {
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return false;
    }
    path[length] = '\0';
    char* const cut = std::strrchr(path, '/');
    if (cut == nullptr) {
        return false;
    }
    const std::size_t room = sizeof path - static_cast<std::size_t>(cut + 1 - path);
    const int written = std::snprintf(cut + 1, room, "%s", name);
    return written >= 0 && static_cast<std::size_t>(written) < room;
}

} // namespace

const char* const kLibraryNameFormat = "lib%s.so";

LibraryHandle loadLibrary(const char* name) {
    if (!isBareFileName(name)) {
        return nullptr;
    }
    void* handle = nullptr;
    char beside[4096];
    if (besideExecutable(beside, name) && ::access(beside, F_OK) == 0) {
        handle = ::dlopen(beside, RTLD_NOW | RTLD_LOCAL);
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
