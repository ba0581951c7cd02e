// Windows part of the file family: the C runtime's descriptors,
// streams, directory and path functions, the volume's free space, and the
// runtime's wildcard search (_findfirst).
#include "Src/Platform/File.h"

#include "Src/Platform/HostParts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace Orvane {
namespace Platform {

const Host::OpenFlagBits Host::kOpenFlagBits = {_O_RDONLY, _O_WRONLY,    _O_RDWR,   _O_APPEND, _O_CREAT,
                                                _O_TRUNC,  _O_NOINHERIT, _O_BINARY, _O_TEXT};

int Host::openDescriptor(const char* path, int hostFlags) {
    int descriptor = -1;
    if (_sopen_s(&descriptor, path, hostFlags, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) {
        return -1;
    }
    return descriptor;
}

void* Host::descriptorStream(int descriptor, const char* mode) {
    return ::_fdopen(descriptor, mode);
}

void Host::closeDescriptor(int descriptor) {
    ::_close(descriptor);
}

int Host::descriptorOf(void* stream) {
    return ::_fileno(static_cast<FILE*>(stream));
}

int Host::seekStream(void* stream, std::int64_t offset, int origin) {
    return ::_fseeki64(static_cast<FILE*>(stream), offset, origin);
}

std::int64_t streamTell64(void* stream) {
    return static_cast<std::int64_t>(::_ftelli64(static_cast<FILE*>(stream)));
}

int Host::unlinkFile(const char* path) {
    // _unlink never deletes a directory, not even an empty one.
    return ::_unlink(path);
}

int Host::createDirectory(const char* path) {
    return ::_mkdir(path);
}

int Host::deleteDirectory(const char* path) {
    return ::_rmdir(path);
}

int Host::checkAccess(const char* path, int mode) {
    // The runtime's modes are the contract's: 0 exists, 2 write, 4 read, 6 both.
    return ::_access(path, mode);
}

int Host::readStatus(const char* path, PathStatus& status) {
    struct _stat64 st;
    const int result = ::_stat64(path, &st);
    if (result == 0) {
        status = pathStatusOf(st.st_mode, static_cast<std::uint64_t>(st.st_ctime),
                              static_cast<std::uint64_t>(st.st_atime), static_cast<std::uint64_t>(st.st_mtime),
                              static_cast<std::uint64_t>(st.st_size), (st.st_mode & _S_IFMT) == _S_IFDIR);
    }
    return result;
}

int Host::readVolumeSpace(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total,
                          std::uint64_t& totalFree) {
    ULARGE_INTEGER caller, all, free;
    if (!GetDiskFreeSpaceExA(path, &caller, &all, &free)) {
        return -1;
    }
    freeForCaller = caller.QuadPart;
    total = all.QuadPart;
    totalFree = free.QuadPart;
    return 0;
}

char pathSeparator() {
    return '\\';
}

bool isPathSeparator(char c) {
    // The system takes either slash between directories.
    return c == '\\' || c == '/';
}

struct DirectorySearch {
    intptr_t handle;
};

namespace {

DirectoryEntry entryOf(const __finddata64_t& found) {
    return Host::directoryEntryOf(found.name, static_cast<std::uint16_t>(found.attrib),
                                  static_cast<std::uint64_t>(found.time_create),
                                  static_cast<std::uint64_t>(found.time_access),
                                  static_cast<std::uint64_t>(found.time_write), static_cast<std::uint64_t>(found.size));
}

} // namespace

DirectorySearch* Host::startSearch(const char* pattern, DirectoryEntry& first) {
    __finddata64_t found;
    const intptr_t handle = ::_findfirst64(pattern, &found);
    if (handle == -1) {
        return nullptr;
    }
    DirectorySearch* search = new (std::nothrow) DirectorySearch{handle};
    if (search == nullptr) {
        ::_findclose(handle);
        return nullptr;
    }
    first = entryOf(found);
    return search;
}

bool Host::nextEntry(DirectorySearch* search, DirectoryEntry& entry) {
    __finddata64_t found;
    if (::_findnext64(search->handle, &found) != 0) {
        return false;
    }
    entry = entryOf(found);
    return true;
}

int endDirectorySearch(DirectorySearch* search) {
    if (search == nullptr) {
        return -1;
    }
    const int result = ::_findclose(search->handle);
    delete search;
    return result == 0 ? 0 : -1;
}

} // namespace Platform
} // namespace Orvane
