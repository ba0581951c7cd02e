// POSIX part of the file family: descriptors and their streams, the path
// operations, path status, volume space, separators and the wildcard
// directory search (opendir and fnmatch).
#include "Platform/File.h"

#include "Platform/HostParts.h"

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

struct DirectorySearch {
    DIR* dir;
    std::string directory; // with a trailing '/', or empty for the working directory
    std::string pattern;   // the last component
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
    const std::string path = search.directory + name;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
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
        if (::fnmatch(search->pattern.c_str(), record->d_name, 0) == 0) {
            entry = entryOf(*search, record->d_name);
            return true;
        }
    }
}

} // namespace

DirectorySearch* Host::startSearch(const char* pattern, DirectoryEntry& first) {
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

bool Host::nextEntry(DirectorySearch* search, DirectoryEntry& entry) {
    return search->dir != nullptr && readMatching(search, entry);
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
