// Windows realisation of the file family: the C runtime's descriptors,
// streams, directory and path functions, the volume's free space, and the
// runtime's wildcard search (_findfirst).
#include "Platform/File.h"

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

namespace {

// A null path names no file: it fails the way a missing file does, instead
// of reaching the C runtime, whose parameter check would end the process.
bool isNullPath(const char* path) {
    if (path == nullptr) {
        errno = ENOENT;
        return true;
    }
    return false;
}

} // namespace

void* openStream(const char* path, const StreamOpenFlags& flags, const char* mode) {
    int oflags = flags.readWrite ? _O_RDWR : (flags.writeOnly ? _O_WRONLY : _O_RDONLY);
    if (flags.append) {
        oflags |= _O_APPEND;
    }
    if (flags.create) {
        oflags |= _O_CREAT;
    }
    if (flags.truncate) {
        oflags |= _O_TRUNC;
    }
    if (flags.noInherit) {
        oflags |= _O_NOINHERIT;
    }
    oflags |= flags.binary ? _O_BINARY : _O_TEXT;
    if (isNullPath(path)) {
        return nullptr;
    }
    int fd = -1;
    if (_sopen_s(&fd, path, oflags, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0 || fd < 0) {
        return nullptr;
    }
    FILE* stream = ::_fdopen(fd, mode);
    if (stream == nullptr) {
        const int saved = errno;
        ::_close(fd);
        errno = saved;
    }
    return stream;
}

int streamDescriptor(void* stream) {
    return stream != nullptr ? ::_fileno(static_cast<FILE*>(stream)) : -1;
}

int streamSeek64(void* stream, std::int64_t offset, int whence) {
    const int w = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
    return ::_fseeki64(static_cast<FILE*>(stream), offset, w) == 0 ? 0 : -1;
}

std::int64_t streamTell64(void* stream) {
    return static_cast<std::int64_t>(::_ftelli64(static_cast<FILE*>(stream)));
}

int removeFile(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    // _unlink never deletes a directory, not even an empty one.
    return ::_unlink(path) == 0 ? 0 : -1;
}

int makeDirectory(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    return ::_mkdir(path) == 0 ? 0 : -1;
}

int removeDirectory(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    return ::_rmdir(path) == 0 ? 0 : -1;
}

int accessPath(const char* path, int mode) {
    if (isNullPath(path)) {
        return -1;
    }
    // The runtime's modes are the contract's: 0 exists, 2 write, 4 read, 6 both.
    return ::_access(path, mode & 6) == 0 ? 0 : -1;
}

int statPath(const char* path, PathStatus& status) {
    if (isNullPath(path)) {
        return -1;
    }
    struct _stat64 st;
    const int result = ::_stat64(path, &st);
    if (result != 0) {
        return result;
    }
    status.mode = static_cast<std::uint16_t>(st.st_mode);
    status.timeChange = static_cast<std::uint64_t>(st.st_ctime);
    status.timeAccess = static_cast<std::uint64_t>(st.st_atime);
    status.timeWrite = static_cast<std::uint64_t>(st.st_mtime);
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.isDirectory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    return 0;
}

int volumeSpace(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) {
    if (isNullPath(path)) {
        return -1;
    }
    ULARGE_INTEGER caller, all, free;
    if (!GetDiskFreeSpaceExA(path, &caller, &all, &free)) {
        return -1;
    }
    if (freeForCaller != nullptr) {
        *freeForCaller = caller.QuadPart;
    }
    if (total != nullptr) {
        *total = all.QuadPart;
    }
    if (totalFree != nullptr) {
        *totalFree = free.QuadPart;
    }
    return 0;
}

char pathSeparator() {
    return '\\';
}

bool isPathSeparator(char c) {
    // The system takes either slash between directories.
    return c == '\\' || c == '/';
}

const char* fileNamePart(const char* path) {
    if (path == nullptr) {
        return path;
    }
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (isPathSeparator(*p)) {
            name = p + 1;
        }
    }
    return name;
}

struct DirectorySearch {
    intptr_t handle;
};

namespace {

void fillEntry(const __finddata64_t& found, DirectoryEntry& entry) {
    DirectoryEntry filled = {};
    const std::size_t length = ::strnlen(found.name, sizeof filled.name - 1);
    std::memcpy(filled.name, found.name, length);
    filled.attributes = static_cast<std::uint16_t>(found.attrib);
    filled.timeCreate = static_cast<std::uint64_t>(found.time_create);
    filled.timeAccess = static_cast<std::uint64_t>(found.time_access);
    filled.timeWrite = static_cast<std::uint64_t>(found.time_write);
    filled.size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(found.size));
    entry = filled;
}

} // namespace

DirectorySearch* startDirectorySearch(const char* pattern, DirectoryEntry& first) {
    if (pattern == nullptr || pattern[0] == '\0') {
        return nullptr;
    }
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
    fillEntry(found, first);
    return search;
}

bool nextDirectoryEntry(DirectorySearch* search, DirectoryEntry& entry) {
    if (search == nullptr) {
        return false;
    }
    __finddata64_t found;
    if (::_findnext64(search->handle, &found) != 0) {
        return false;
    }
    fillEntry(found, entry);
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
