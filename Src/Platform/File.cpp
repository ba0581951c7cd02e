// The host-independent part of the file family: the null-path guard, the
// open-flag mapping, the volume-space outputs, the file-name cut and the
// directory entries; the host supplies the operating system's calls.
#include "Src/Platform/File.h"

#include "Src/Platform/HostParts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Platform {

namespace {

// A null path names no file: it fails the way a missing file does, instead
// of reaching the C library, which takes a null path as undefined behaviour
// (the Windows runtime's parameter check would end the process).
bool isNullPath(const char* path) {
    if (path == nullptr) {
        errno = ENOENT;
        return true;
    }
    return false;
}

int openFlagsOf(const StreamOpenFlags& flags, const Host::OpenFlagBits& bits) {
    int result = flags.readWrite ? bits.readWrite : (flags.writeOnly ? bits.writeOnly : bits.readOnly);
    if (flags.append) {
        result |= bits.append;
    }
    if (flags.create) {
        result |= bits.create;
    }
    if (flags.truncate) {
        result |= bits.truncate;
    }
    if (flags.noInherit) {
        result |= bits.noInherit;
    }
    return result | (flags.binary ? bits.binary : bits.text);
}

// 0 for the host's success, -1 otherwise.
int zeroOrMinusOne(int hostResult) {
    return hostResult == 0 ? 0 : -1;
}

} // namespace

void* openStream(const char* path, const StreamOpenFlags& flags, const char* mode) {
    if (isNullPath(path)) {
        return nullptr;
    }
    const int descriptor = Host::openDescriptor(path, openFlagsOf(flags, Host::kOpenFlagBits));
    if (descriptor < 0) {
        return nullptr;
    }
    void* stream = Host::descriptorStream(descriptor, mode);
    if (stream == nullptr) {
        const int saved = errno;
        Host::closeDescriptor(descriptor);
        errno = saved;
    }
    return stream;
}

int streamDescriptor(void* stream) {
    return stream != nullptr ? Host::descriptorOf(stream) : -1;
}

int streamSeek64(void* stream, std::int64_t offset, int whence) {
    const int origin = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
    return Host::seekStream(stream, offset, origin) == 0 ? 0 : -1;
}

int removeFile(const char* path) {
    return isNullPath(path) ? -1 : zeroOrMinusOne(Host::unlinkFile(path));
}

int makeDirectory(const char* path) {
    return isNullPath(path) ? -1 : zeroOrMinusOne(Host::createDirectory(path));
}

int removeDirectory(const char* path) {
    return isNullPath(path) ? -1 : zeroOrMinusOne(Host::deleteDirectory(path));
}

int accessPath(const char* path, int mode) {
    return isNullPath(path) ? -1 : zeroOrMinusOne(Host::checkAccess(path, mode & 6));
}

int statPath(const char* path, PathStatus& status) {
    return isNullPath(path) ? -1 : Host::readStatus(path, status);
}

int volumeSpace(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) {
    std::uint64_t caller = 0;
    std::uint64_t all = 0;
    std::uint64_t free = 0;
    if (isNullPath(path) || Host::readVolumeSpace(path, caller, all, free) != 0) {
        return -1;
    }
    if (freeForCaller != nullptr) {
        *freeForCaller = caller;
    }
    if (total != nullptr) {
        *total = all;
    }
    if (totalFree != nullptr) {
        *totalFree = free;
    }
    return 0;
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

PathStatus Host::pathStatusOf(unsigned mode, std::uint64_t timeChange, std::uint64_t timeAccess,
                              std::uint64_t timeWrite, std::uint64_t size, bool isDirectory) {
    PathStatus status;
    status.mode = static_cast<std::uint16_t>(mode);
    status.timeChange = timeChange;
    status.timeAccess = timeAccess;
    status.timeWrite = timeWrite;
    status.size = size;
    status.isDirectory = isDirectory;
    return status;
}

DirectoryEntry Host::directoryEntryOf(const char* name, std::uint16_t attributes, std::uint64_t timeCreate,
                                      std::uint64_t timeAccess, std::uint64_t timeWrite, std::uint64_t size) {
    DirectoryEntry entry = {};
    const std::size_t length = ::strnlen(name, sizeof entry.name - 1);
    std::memcpy(entry.name, name, length);
    entry.attributes = attributes;
    entry.timeCreate = timeCreate;
    entry.timeAccess = timeAccess;
    entry.timeWrite = timeWrite;
    entry.size = static_cast<std::uint32_t>(size);
    return entry;
}

DirectorySearch* startDirectorySearch(const char* pattern, DirectoryEntry& first) {
    if (pattern == nullptr || pattern[0] == '\0') {
        return nullptr;
    }
    return Host::startSearch(pattern, first);
}

bool nextDirectoryEntry(DirectorySearch* search, DirectoryEntry& entry) {
    return search != nullptr && Host::nextEntry(search, entry);
}

} // namespace Platform
} // namespace Orvane
