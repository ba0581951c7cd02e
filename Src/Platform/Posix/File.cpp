// POSIX part of the file family: descriptors and their streams, the path
// operations, path status, volume space, separators and the wildcard
// directory search (opendir and fnmatch).
#include "Src/Platform/File.h"

#include "Src/Platform/HostParts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Orvane {
namespace Platform {

const Host::OpenFlagBits Host::kOpenFlagBits = {O_RDONLY, O_WRONLY,  O_RDWR, O_APPEND, O_CREAT,
                                                O_TRUNC,  O_CLOEXEC, 0,      0};

int Host::openDescriptor(const char* path, int hostFlags) {
    return ::open(path, hostFlags, S_IRUSR | S_IWUSR);
}

void* Host::descriptorStream(int descriptor, const char* mode) {
    return ::fdopen(descriptor, mode);
}

void Host::closeDescriptor(int descriptor) {
    ::close(descriptor);
}

int Host::descriptorOf(void* stream) {
    return ::fileno(static_cast<FILE*>(stream));
}

int Host::seekStream(void* stream, std::int64_t offset, int origin) {
    return ::fseeko(static_cast<FILE*>(stream), static_cast<off_t>(offset), origin);
}

std::int64_t streamTell64(void* stream) {
    return static_cast<std::int64_t>(::ftello(static_cast<FILE*>(stream)));
}

int Host::unlinkFile(const char* path) {
    // unlink, not the C library's remove: remove would also take an empty
    // directory, and a file operation must leave directories alone.
    return ::unlink(path);
}

int Host::createDirectory(const char* path) {
    return ::mkdir(path, 0777);
}

int Host::deleteDirectory(const char* path) {
    return ::rmdir(path);
}

int Host::checkAccess(const char* path, int mode) {
    int how = F_OK;
    if ((mode & 2) != 0) {
        how |= W_OK;
    }
    if ((mode & 4) != 0) {
        how |= R_OK;
    }
    return ::access(path, how);
}

int Host::readStatus(const char* path, PathStatus& status) {
    struct stat st;
    const int result = ::stat(path, &st);
    if (result == 0) {
        status = pathStatusOf(st.st_mode, static_cast<std::uint64_t>(st.st_ctime),
                              static_cast<std::uint64_t>(st.st_atime), static_cast<std::uint64_t>(st.st_mtime),
                              static_cast<std::uint64_t>(st.st_size), S_ISDIR(st.st_mode));
    }
    return result;
}

int Host::readVolumeSpace(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total,
                          std::uint64_t& totalFree) {
    struct statvfs vfs;
    if (::statvfs(path, &vfs) != 0) {
        return -1;
    }
    const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    freeForCaller = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    total = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
    totalFree = static_cast<std::uint64_t>(vfs.f_bfree) * unit;
    return 0;
}

char pathSeparator() {
    return '/';
}

bool isPathSeparator(char c) {
    return c == '/';
}

// A search allocates its record once, with room for the pattern behind it,
// and nothing after that: a search that cannot be had fails to start, and
// every entry's status is read relative to the open directory.
struct DirectorySearch {
    DIR* dir;
    const char* pattern; // the last component, in the record's own copy
};

namespace {

// Fills an entry from the directory's record and the status of the path it
// names. The attributes follow the Windows meaning: a directory, a file the
// owner may not write (read-only) and a dot-name (hidden).
DirectoryEntry entryOf(const DirectorySearch& search, const char* name) {
    std::uint16_t attributes = 0;
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        attributes |= 0x2;
    }
    struct stat st;
    if (::fstatat(::dirfd(search.dir), name, &st, 0) != 0) {
        return Host::directoryEntryOf(name, attributes, 0, 0, 0, 0);
    }
    if (S_ISDIR(st.st_mode)) {
        attributes |= 0x10;
    }
    if ((st.st_mode & S_IWUSR) == 0) {
        attributes |= 0x1;
    }
    return Host::directoryEntryOf(name, attributes, static_cast<std::uint64_t>(st.st_ctime),
                                  static_cast<std::uint64_t>(st.st_atime), static_cast<std::uint64_t>(st.st_mtime),
                                  static_cast<std::uint64_t>(st.st_size));
}

bool readMatching(DirectorySearch* search, DirectoryEntry& entry) {
    for (;;) {
        const dirent* record = ::readdir(search->dir);
        if (record == nullptr) {
            return false;
        }
        if (::fnmatch(search->pattern, record->d_name, 0) == 0) {
            entry = entryOf(*search, record->d_name);
            return true;
        }
    }
}

} // namespace

DirectorySearch* Host::startSearch(const char* pattern, DirectoryEntry& first) {
    // The record, then the directory with its trailing separator and its
    // terminator, then the last component with its own.
    const std::size_t length = std::strlen(pattern);
    const char* const cut = std::strrchr(pattern, pathSeparator());
    const std::size_t directory = cut != nullptr ? static_cast<std::size_t>(cut + 1 - pattern) : 0;
    char* const block = new (std::nothrow) char[sizeof(DirectorySearch) + length + 2];
    if (block == nullptr) {
        return nullptr;
    }
    char* const text = block + sizeof(DirectorySearch);
    std::memcpy(text, pattern, directory);
    text[directory] = '\0';
    std::memcpy(text + directory + 1, pattern + directory, length - directory + 1);
    DirectorySearch* search = new (block) DirectorySearch{nullptr, text + directory + 1};
    search->dir = ::opendir(directory == 0 ? "." : text);
    if (search->dir == nullptr || search->pattern[0] == '\0' || !readMatching(search, first)) {
        endDirectorySearch(search);
        return nullptr;
    }
    return search;
}

bool Host::nextEntry(DirectorySearch* search, DirectoryEntry& entry) {
    return search->dir != nullptr && readMatching(search, entry);
}

int endDirectorySearch(DirectorySearch* search) {
    if (search == nullptr) {
        return -1;
    }
    const int result = search->dir != nullptr ? ::closedir(search->dir) : 0;
    search->~DirectorySearch();
    delete[] reinterpret_cast<char*>(search);
    return result == 0 ? 0 : -1;
}

} // namespace Platform
} // namespace Orvane
