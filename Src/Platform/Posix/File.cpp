// POSIX realisation of the file family: descriptor-backed streams, files and
// directories, path status, volume space, separators and the wildcard
// directory search.
#include "Platform/File.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

namespace {

// A null path names no file: it fails the way a missing file does, instead
// of reaching the C library, which takes a null path as undefined behaviour.
bool isNullPath(const char* path) {
    if (path == nullptr) {
        errno = ENOENT;
        return true;
    }
    return false;
}

} // namespace

void* openStream(const char* path, const StreamOpenFlags& flags, const char* mode) {
    int oflags = flags.readWrite ? O_RDWR : (flags.writeOnly ? O_WRONLY : O_RDONLY);
    if (flags.append) {
        oflags |= O_APPEND;
    }
    if (flags.create) {
        oflags |= O_CREAT;
    }
    if (flags.truncate) {
        oflags |= O_TRUNC;
    }
    if (flags.noInherit) {
        oflags |= O_CLOEXEC;
    }
    if (isNullPath(path)) {
        return nullptr;
    }
    const int fd = ::open(path, oflags, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        return nullptr;
    }
    FILE* stream = ::fdopen(fd, mode);
    if (stream == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return stream;
}

int streamDescriptor(void* stream) {
    return stream != nullptr ? ::fileno(static_cast<FILE*>(stream)) : -1;
}

int streamSeek64(void* stream, std::int64_t offset, int whence) {
    const int w = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
    return ::fseeko(static_cast<FILE*>(stream), static_cast<off_t>(offset), w) == 0 ? 0 : -1;
}

std::int64_t streamTell64(void* stream) {
    return static_cast<std::int64_t>(::ftello(static_cast<FILE*>(stream)));
}

int removeFile(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    // unlink, not the C library's remove: remove would also take an empty
    // directory, and a file operation must leave directories alone.
    return ::unlink(path) == 0 ? 0 : -1;
}

int makeDirectory(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    return ::mkdir(path, 0777) == 0 ? 0 : -1;
}

int removeDirectory(const char* path) {
    if (isNullPath(path)) {
        return -1;
    }
    return ::rmdir(path) == 0 ? 0 : -1;
}

int accessPath(const char* path, int mode) {
    if (isNullPath(path)) {
        return -1;
    }
    int how = F_OK;
    if ((mode & 2) != 0) {
        how |= W_OK;
    }
    if ((mode & 4) != 0) {
        how |= R_OK;
    }
    return ::access(path, how) == 0 ? 0 : -1;
}

int statPath(const char* path, PathStatus& status) {
    if (isNullPath(path)) {
        return -1;
    }
    struct stat st;
    const int result = ::stat(path, &st);
    if (result != 0) {
        return result;
    }
    status.mode = static_cast<std::uint16_t>(st.st_mode);
    status.timeChange = static_cast<std::uint64_t>(st.st_ctime);
    status.timeAccess = static_cast<std::uint64_t>(st.st_atime);
    status.timeWrite = static_cast<std::uint64_t>(st.st_mtime);
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.isDirectory = S_ISDIR(st.st_mode);
    return 0;
}

int volumeSpace(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) {
    if (isNullPath(path)) {
        return -1;
    }
    struct statvfs vfs;
    if (::statvfs(path, &vfs) != 0) {
        return -1;
    }
    const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    if (freeForCaller != nullptr) {
        *freeForCaller = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    }
    if (total != nullptr) {
        *total = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
    }
    if (totalFree != nullptr) {
        *totalFree = static_cast<std::uint64_t>(vfs.f_bfree) * unit;
    }
    return 0;
}

char pathSeparator() {
    return '/';
}

bool isPathSeparator(char c) {
    return c == '/';
}

const char* fileNamePart(const char* path) {
    if (path == nullptr) {
        return path;
    }
    const char* cut = std::strrchr(path, '/');
    return cut != nullptr ? cut + 1 : path;
}

struct DirectorySearch {
    DIR* dir;
    std::string directory; // with a trailing '/', or empty for the working directory
    std::string pattern;   // the last component
};

namespace {

// Fills an entry from the directory's record and the status of the path it
// names. The attributes follow the Windows meaning: a directory, a file the
// owner may not write (read-only) and a dot-name (hidden).
void fillEntry(const DirectorySearch& search, const char* name, DirectoryEntry& entry) {
    DirectoryEntry filled = {};
    const std::size_t length = ::strnlen(name, sizeof filled.name - 1);
    std::memcpy(filled.name, name, length);
    const std::string path = search.directory + name;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            filled.attributes |= 0x10;
        }
        if ((st.st_mode & S_IWUSR) == 0) {
            filled.attributes |= 0x1;
        }
        filled.timeCreate = static_cast<std::uint64_t>(st.st_ctime);
        filled.timeAccess = static_cast<std::uint64_t>(st.st_atime);
        filled.timeWrite = static_cast<std::uint64_t>(st.st_mtime);
        filled.size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size));
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        filled.attributes |= 0x2;
    }
    entry = filled;
}

bool readMatching(DirectorySearch* search, DirectoryEntry& entry) {
    for (;;) {
        const dirent* record = ::readdir(search->dir);
        if (record == nullptr) {
            return false;
        }
        if (::fnmatch(search->pattern.c_str(), record->d_name, 0) == 0) {
            fillEntry(*search, record->d_name, entry);
            return true;
        }
    }
}

} // namespace

DirectorySearch* startDirectorySearch(const char* pattern, DirectoryEntry& first) {
    if (pattern == nullptr || pattern[0] == '\0') {
        return nullptr;
    }
    const std::string text = pattern;
    const std::string::size_type cut = text.rfind(pathSeparator());
    DirectorySearch* search = new (std::nothrow) DirectorySearch{nullptr, {}, {}};
    if (search == nullptr) {
        return nullptr;
    }
    if (cut != std::string::npos) {
        search->directory = text.substr(0, cut + 1);
        search->pattern = text.substr(cut + 1);
    } else {
        search->pattern = text;
    }
    search->dir = ::opendir(search->directory.empty() ? "." : search->directory.c_str());
    if (search->dir == nullptr || search->pattern.empty() || !readMatching(search, first)) {
        endDirectorySearch(search);
        return nullptr;
    }
    return search;
}

bool nextDirectoryEntry(DirectorySearch* search, DirectoryEntry& entry) {
    return search != nullptr && search->dir != nullptr && readMatching(search, entry);
}

int endDirectorySearch(DirectorySearch* search) {
    if (search == nullptr) {
        return -1;
    }
    const int result = search->dir != nullptr ? ::closedir(search->dir) : 0;
    delete search;
    return result == 0 ? 0 : -1;
}

} // namespace Platform
} // namespace Orvane
