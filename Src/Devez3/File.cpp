// CFile: the file object with 32-bit positions, and the static path
// operations shared with CLfsFile.
#include "virad/File.h"

#include "Src/Devez3/FileCore.h"
#include "virad/FileFind.h"

#include <cstring>
#include <memory>
#include <new>

namespace Orvane {
namespace Virad {

namespace Detail {

bool fileOpenMode(unsigned int flags, bool allowDirect, char (&mode)[8]) {
    const bool create = (flags & 0x1000u) != 0;
    const bool keep = (flags & 0x2000u) != 0;
    const char* base;
    switch (flags & 0xFu) {
    case 0:
        base = "rb";
        break;
    case 1:
        base = keep ? "ab" : "wb";
        break;
    case 2:
        base = !create ? "rb+" : (keep ? "ab+" : "wb+");
        break;
    default:
        mode[0] = '\0';
        return false;
    }
    std::strcpy(mode, base);
    if ((flags & 0x80u) != 0) {
        std::strcat(mode, "e");
    }
    if (allowDirect && (flags & 0x10000u) != 0) {
        std::strcat(mode, "d");
    }
    return true;
}

} // namespace Detail

using Small = Detail::SmallFileTraits;

struct CFile::FileInternal : Detail::FileRecord<std::uint32_t> {};

CFile::CFile() : m_internal(new (std::nothrow) FileInternal) {
    VIRAD_ASSERT(m_internal);
}

CFile::~CFile() {
    if (m_internal->m_file != nullptr) {
        close();
    }
    if (m_internal->m_buffer != nullptr) {
        unload();
    }
    delete m_internal;
}

bool CFile::open(const char* path, unsigned int flags) {
    if (m_internal->m_file != nullptr) {
        close();
    }
    if (m_internal->m_buffer != nullptr) {
        unload();
    }
    return Detail::openFile<Small>(this, *m_internal, path, flags);
}

void CFile::close() {
    Detail::closeFile(*m_internal);
}

unsigned char* CFile::load(const char* path) {
    return Detail::loadFile<Small>(*this, *m_internal, path);
}

void CFile::unload() {
    Detail::unloadFile(*m_internal);
}

long CFile::read(void* buffer, std::size_t size) {
    FileInternal& r = *m_internal;
    if (r.m_file == nullptr) {
        return -1;
    }
    const std::size_t n = r.m_opt->fread(buffer, 1, size, r.m_file);
    r.m_position += static_cast<std::uint32_t>(n);
    return static_cast<long>(n);
}

long CFile::write(void* buffer, std::size_t size) {
    FileInternal& r = *m_internal;
    if (r.m_file == nullptr) {
        return -1;
    }
    const std::size_t n = r.m_opt->fwrite(buffer, 1, size, r.m_file);
    if (n < size) {
        const int error = errno;
        VIRAD_REPORT(LOG_WARN, "fwrite failed, expected:%u, actual:%u, errno:%d, errmsg:%s\n",
                     static_cast<unsigned>(size), static_cast<unsigned>(n), error, std::strerror(error));
    }
    Detail::refreshAfterWrite<Small>(r);
    return static_cast<long>(n);
}

void CFile::flush() {
    Detail::flushFile<Small>(*m_internal);
}

std::uint64_t CFile::seek(long offset, SeekPosition whence) {
    return Detail::seekFile<Small>(*m_internal, offset, whence);
}

std::uint64_t CFile::getPosition() {
    return m_internal->m_file != nullptr ? m_internal->m_position : 0;
}

std::uint64_t CFile::getLength() {
    return Detail::lengthOfFile<Small>(*this, *m_internal);
}

char* CFile::gets(char* buffer, std::size_t size) {
    return Detail::getsFile(*m_internal, buffer, static_cast<int>(size));
}

long CFile::puts(const char* text) {
    return Detail::putsFile(*m_internal, text);
}

bool CFile::isOpen() {
    return m_internal->m_file != nullptr;
}

long CFile::writev(const io_vec* elements, int count) {
    return static_cast<long>(Detail::writevFile(*m_internal, elements, count));
}

bool CFile::setvbuf(char* buffer, IOMode mode, std::size_t size) {
    return Detail::setvbufFile(*m_internal, buffer, mode, size);
}

bool CFile::fallocate(int, std::int64_t, std::int64_t) {
    return Detail::fallocateUnsupported<Small>();
}

bool CFile::fstat(FileInfoEx&) {
    return Detail::fstatUnsupported<Small>();
}

bool CFile::resv3() {
    return false;
}

bool CFile::resv4() {
    return false;
}

// ---- Static path operations: each on the table serving its (first) path ----

bool CFile::access(const char* path, int mode) {
    return Detail::selectFileSystem(path)->access(path, mode) == 0;
}

bool CFile::stat(const char* path, FileInfo& info) {
    return Detail::selectFileSystem(path)->stat(path, &info) == 0;
}

bool CFile::rename(const char* oldPath, const char* newPath) {
    return Detail::selectFileSystem(oldPath)->rename(oldPath, newPath) == 0;
}

bool CFile::remove(const char* path) {
    return Detail::selectFileSystem(path)->remove(path) == 0;
}

bool CFile::makeDirectory(const char* path) {
    return Detail::selectFileSystem(path)->mkdir(path) == 0;
}

bool CFile::removeDirectory(const char* path) {
    return Detail::selectFileSystem(path)->rmdir(path) == 0;
}

bool CFile::statFS(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total, std::uint64_t& free) {
    return Detail::selectFileSystem(path)->statfs(path, &freeForCaller, &total, &free) == 0;
}

// The two recursive operations split and build paths at '/' on every host:
// that is how they are defined, and every host's file system takes it.
bool CFile::makeDirectoryRecursively(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        VIRAD_REPORT(LOG_WARN, "the path is unvalid");
        return false;
    }
    // Each parent is made through the one copy, cut at its separator in turn.
    const std::size_t length = std::strlen(path);
    std::unique_ptr<char[]> copy(new (std::nothrow) char[length + 1]);
    if (copy == nullptr) {
        VIRAD_REPORT(LOG_ERROR, "makeDirectoryRecursively: out of memory for %zu bytes\n", length + 1);
        return false;
    }
    std::memcpy(copy.get(), path, length + 1);
    if (copy[length - 1] == '/') {
        copy[length - 1] = '\0';
    }
    // Every parent first; one that exists already is fine.
    for (char* at = std::strchr(copy.get() + 1, '/'); at != nullptr; at = std::strchr(at + 1, '/')) {
        *at = '\0';
        makeDirectory(copy.get());
        *at = '/';
    }
    return makeDirectory(copy.get());
}

bool CFile::removeDirectoryRecursively(const char* path, bool removeTop) {
    if (path == nullptr || path[0] == '\0') {
        VIRAD_REPORT(LOG_WARN, "the path is unvalid");
        return false;
    }
    const std::size_t length = std::strlen(path);
    const char* suffix = "/*";
    if (path[length - 1] == '/') {
        suffix = "*";
    } else if (length >= 2 && path[length - 2] == '/' && path[length - 1] == '*') {
        suffix = "";
    }
    char pattern[1024];
    std::snprintf(pattern, sizeof pattern, "%s%s", path, suffix);

    CFileFindEx find;
    if (!find.findFile(pattern)) {
        VIRAD_REPORT(LOG_WARN, "the path does not exist");
        return false;
    }
    do {
        const flex_string name = find.getFileName();
        if (name == "." || name == "..") {
            continue;
        }
        const flex_string entry = find.getFilePath();
        if (find.isDirectory()) {
            removeDirectoryRecursively(entry.c_str(), true);
        } else {
            remove(entry.c_str());
        }
    } while (find.findNextFile());
    find.close();
    if (!removeTop) {
        return true;
    }
    pattern[std::strlen(pattern) - 1] = '\0';
    return removeDirectory(pattern);
}

} // namespace Virad
} // namespace Orvane
