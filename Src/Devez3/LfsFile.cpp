// CLfsFile: the file object with 64-bit positions; reads and writes are
// repeated until the whole request is through or the file system stops.
#include "virad/File.h"

#include "Src/Devez3/FileCore.h"

namespace Orvane {
namespace Virad {

using Large = Detail::LargeFileTraits;

namespace {

// The most one pass hands the file system.
constexpr std::uint64_t kPassLimit = 0x7FFFFFFFFFFFFFFFull;

std::size_t passSize(std::int64_t rest) {
    const std::uint64_t wanted = static_cast<std::uint64_t>(rest);
    return static_cast<std::size_t>(wanted < kPassLimit ? wanted : kPassLimit);
}

// Repeats pass(offset, count) until size bytes have moved or a pass moves
// none, which stalled(offset, count) then reports. The bytes moved.
template <typename Pass, typename Stalled> std::int64_t transferAll(std::int64_t size, Pass pass, Stalled stalled) {
    std::int64_t done = 0;
    while (done < size) {
        const std::size_t count = passSize(size - done);
        const std::size_t moved = pass(done, count);
        if (moved == 0) {
            stalled(done, count);
            break;
        }
        done += static_cast<std::int64_t>(moved);
    }
    return done;
}

} // namespace

struct CLfsFile::LfsFileInternal : Detail::FileRecord<std::int64_t> {};

CLfsFile::CLfsFile() : m_internal(new (std::nothrow) LfsFileInternal) {
    VIRAD_ASSERT(m_internal);
}

CLfsFile::CLfsFile(const CLfsFile&) : CLfsFile() {}

CLfsFile& CLfsFile::operator=(const CLfsFile& other) {
    if (this != &other) {
        close();
        unload();
    }
    return *this;
}

CLfsFile::~CLfsFile() {
    if (m_internal->m_file != nullptr) {
        close();
    }
    if (m_internal->m_buffer != nullptr) {
        unload();
    }
    delete m_internal;
}

bool CLfsFile::open(const char* path, unsigned int flags) {
    if (m_internal->m_file != nullptr) {
        close();
    }
    if (m_internal->m_buffer != nullptr) {
        unload();
    }
    return Detail::openFile<Large>(this, *m_internal, path, flags);
}

void CLfsFile::close() {
    Detail::closeFile(*m_internal);
}

unsigned char* CLfsFile::load(const char* path) {
    return Detail::loadFile<Large>(*this, *m_internal, path);
}

void CLfsFile::unload() {
    Detail::unloadFile(*m_internal);
}

std::int64_t CLfsFile::read(void* buffer, std::int64_t size) {
    LfsFileInternal& r = *m_internal;
    if (r.m_file == nullptr) {
        return -1;
    }
    const std::int64_t done = transferAll(
        size,
        [&](std::int64_t offset, std::size_t count) {
            return r.m_opt->fread(static_cast<char*>(buffer) + offset, 1, count, r.m_file);
        },
        [&](std::int64_t offset, std::size_t count) {
            VIRAD_REPORT(LOG_WARN,
                         "this:%p fread get error, total:%jd has read:%jd, expected:%zu return actuallen:%zu\n",
                         static_cast<void*>(this), static_cast<std::intmax_t>(size), static_cast<std::intmax_t>(offset),
                         count, static_cast<std::size_t>(0));
        });
    r.m_position += done;
    return done;
}

std::int64_t CLfsFile::write(void* buffer, std::int64_t size) {
    LfsFileInternal& r = *m_internal;
    if (r.m_file == nullptr) {
        return -1;
    }
    const std::int64_t done = transferAll(
        size,
        [&](std::int64_t offset, std::size_t count) {
            return r.m_opt->fwrite(static_cast<const char*>(buffer) + offset, 1, count, r.m_file);
        },
        [&](std::int64_t offset, std::size_t count) {
            VIRAD_REPORT(LOG_WARN,
                         "this:%p fwrite get error, total:%jd has write:%jd,expected:%zu return actuallen:%zu",
                         static_cast<void*>(this), static_cast<std::intmax_t>(size), static_cast<std::intmax_t>(offset),
                         count, static_cast<std::size_t>(0));
        });
    Detail::refreshAfterWrite<Large>(r);
    return done;
}

void CLfsFile::flush() {
    Detail::flushFile<Large>(*m_internal);
}

std::int64_t CLfsFile::seek(std::int64_t offset, SeekPosition whence) {
    return Detail::seekFile<Large>(*m_internal, offset, whence);
}

std::int64_t CLfsFile::getPosition() {
    return m_internal->m_file != nullptr ? m_internal->m_position : 0;
}

std::int64_t CLfsFile::getLength() {
    return Detail::lengthOfFile<Large>(*this, *m_internal);
}

char* CLfsFile::gets(char* buffer, std::int64_t size) {
    if (m_internal->m_file == nullptr) {
        return nullptr;
    }
    if (size >= 0x80000000LL) {
        VIRAD_REPORT(LOG_WARN, "this:%p Bytes need to be seeked has been over the _MAX_INT_VALUE.\n",
                     static_cast<void*>(this));
        return nullptr;
    }
    return Detail::getsFile(*m_internal, buffer, static_cast<int>(size));
}

std::int64_t CLfsFile::puts(const char* text) {
    return Detail::putsFile(*m_internal, text);
}

bool CLfsFile::isOpen() {
    return m_internal->m_file != nullptr;
}

std::int64_t CLfsFile::writev(const io_vec* elements, int count) {
    return Detail::writevFile(*m_internal, elements, count);
}

bool CLfsFile::setvbuf(char* buffer, IOMode mode, std::size_t size) {
    return Detail::setvbufFile(*m_internal, buffer, mode, size);
}

bool CLfsFile::fallocate(int, std::int64_t, std::int64_t) {
    return Detail::fallocateUnsupported<Large>();
}

bool CLfsFile::fstat(FileInfoEx&) {
    return Detail::fstatUnsupported<Large>();
}

bool CLfsFile::resv3() {
    return false;
}

bool CLfsFile::resv4() {
    return false;
}

bool CLfsFile::access(const char* path, int mode) {
    return CFile::access(path, mode);
}

bool CLfsFile::stat(const char* path, FileInfo& info) {
    return CFile::stat(path, info);
}

bool CLfsFile::rename(const char* oldPath, const char* newPath) {
    return CFile::rename(oldPath, newPath);
}

bool CLfsFile::remove(const char* path) {
    return CFile::remove(path);
}

bool CLfsFile::makeDirectory(const char* path) {
    return CFile::makeDirectory(path);
}

bool CLfsFile::removeDirectory(const char* path) {
    return CFile::removeDirectory(path);
}

bool CLfsFile::statFS(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total, std::uint64_t& free) {
    return CFile::statFS(path, freeForCaller, total, free);
}

} // namespace Virad
} // namespace Orvane
