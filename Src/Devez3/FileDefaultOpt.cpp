// The default file-system table: every operation on the host's C library,
// through the platform layer where the C library is not enough.
#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Devez3/PrintState.h"
#include "Src/Common/Report.h"
#include "Src/Platform/File.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace Orvane {
namespace Virad {

namespace {

constexpr std::size_t kStreamBuffer = 16384;

void fillRecord(FileInfo* record, const Platform::DirectoryEntry& entry) {
    Detail::copyFileName(record->name, entry.name);
    record->attrib = entry.attributes;
    record->timeCreate = entry.timeCreate;
    record->timeAccess = entry.timeAccess;
    record->timeWrite = entry.timeWrite;
    record->size = entry.size;
}

Platform::DirectorySearch* searchOf(std::intptr_t handle) {
    return reinterpret_cast<Platform::DirectorySearch*>(handle);
}

FILE* streamOf(void* stream) {
    return static_cast<FILE*>(stream);
}

} // namespace

FileDefaultOpt::~FileDefaultOpt() {
    // Searches still open at exit are ended, so their directory handles go too.
    for (const auto& search : m_searches) {
        if (search.second != 0) {
            Platform::endDirectorySearch(searchOf(search.second));
        }
    }
}

void* FileDefaultOpt::fopen(const char* path, const char* mode) {
    VIRAD_ASSERT(mode != NULL);
    const std::size_t len = std::strlen(mode);
    VIRAD_ASSERT(len > 0);

    const bool read = std::strchr(mode, 'r') != nullptr;
    const bool write = std::strchr(mode, 'w') != nullptr;
    const bool plus = std::strchr(mode, '+') != nullptr;
    const bool append = std::strchr(mode, 'a') != nullptr;
    Platform::StreamOpenFlags flags = {};
    flags.append = append;
    flags.create = !read;
    flags.readWrite = plus;
    flags.truncate = write;
    flags.writeOnly = !plus && !read && (write || append);
    flags.binary = std::strchr(mode, 'b') != nullptr;
    flags.noInherit = std::strchr(mode, 'e') != nullptr;

    // The stream itself is told the plain C mode: the first e and the first d
    // are ours, not the C library's.
    Common::String shortened = mode;
    for (const char letter : {'e', 'd'}) {
        const Common::String::size_type at = shortened.find(letter);
        if (at != Common::String::npos) {
            shortened.erase(at, 1);
        }
    }
    void* stream = Platform::openStream(path, flags, shortened.c_str());
    if (stream != nullptr) {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[kStreamBuffer]);
        if (buffer != nullptr && std::setvbuf(streamOf(stream), buffer.get(), _IOFBF, kStreamBuffer) == 0) {
            CGuard guard(m_mutex);
            m_buffers[stream] = std::move(buffer);
        }
    }
    return stream;
}

int FileDefaultOpt::fclose(void* stream) {
    // The buffer is taken out first and freed only after the stream is gone.
    std::unique_ptr<char[]> buffer;
    {
        CGuard guard(m_mutex);
        const auto found = m_buffers.find(stream);
        if (found != m_buffers.end()) {
            buffer = std::move(found->second);
            m_buffers.erase(found);
        }
    }
    return std::fclose(streamOf(stream));
}

std::size_t FileDefaultOpt::fread(void* buffer, std::size_t size, std::size_t count, void* stream) {
    return std::fread(buffer, size, count, streamOf(stream));
}

std::size_t FileDefaultOpt::fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) {
    return std::fwrite(buffer, size, count, streamOf(stream));
}

int FileDefaultOpt::fflush(void* stream) {
    return std::fflush(streamOf(stream));
}

// The 32-bit seek and tell: offsets are taken as 32-bit values and a position
// past 2^31-1 cannot be told.
int FileDefaultOpt::fseek(void* stream, long offset, int whence) {
    return Platform::streamSeek64(stream, static_cast<std::int32_t>(offset), whence);
}

long FileDefaultOpt::ftell(void* stream) {
    const std::int64_t position = Platform::streamTell64(stream);
    return position < 0 || position > INT32_MAX ? -1L : static_cast<long>(position);
}

char* FileDefaultOpt::fgets(char* buffer, int size, void* stream) {
    return std::fgets(buffer, size, streamOf(stream));
}

int FileDefaultOpt::fputs(const char* text, void* stream) {
    return std::fputs(text, streamOf(stream)) < 0 ? -1 : 0;
}

int FileDefaultOpt::rename(const char* oldPath, const char* newPath) {
    return std::rename(oldPath, newPath);
}

// A file only: the C library's remove would also take an empty directory.
int FileDefaultOpt::remove(const char* path) {
    return Platform::removeFile(path);
}

int FileDefaultOpt::findfirst(const char* pattern, FileInfo* record) {
    if (pattern == nullptr || pattern[0] == '\0') {
        return -1;
    }
    Platform::DirectoryEntry entry;
    Platform::DirectorySearch* search = Platform::startDirectorySearch(pattern, entry);
    if (search == nullptr) {
        return -1;
    }
    int key;
    {
        CGuard guard(m_mutex);
        if (m_searches.size() >= static_cast<std::size_t>(INT_MAX)) {
            std::printf("[%s:%d] Virad FileDefaultOpt::findfirst fail!\n", Detail::fileNameOf(__FILE__), __LINE__);
            return -1;
        }
        key = static_cast<int>(m_searches.size());
        m_searches[key] = reinterpret_cast<std::intptr_t>(search);
    }
    fillRecord(record, entry);
    return key;
}

bool FileDefaultOpt::searchHandle(int key, bool ending, std::intptr_t& handle) {
    CGuard guard(m_mutex);
    const auto found = m_searches.find(key);
    if (found == m_searches.end()) {
        return false;
    }
    handle = found->second;
    if (ending) {
        // The key stays taken; only the host search ends. Closing twice is
        // answered like the host answers a closed handle.
        found->second = 0;
    }
    return true;
}

int FileDefaultOpt::findnext(int key, FileInfo* record) {
    std::intptr_t handle;
    if (!searchHandle(key, false, handle)) {
        std::printf("[%s:%d] Virad FileDefaultOpt::findnext fail!\n", Detail::fileNameOf(__FILE__), __LINE__);
        return -1;
    }
    Platform::DirectoryEntry entry;
    if (!Platform::nextDirectoryEntry(searchOf(handle), entry)) {
        return -1;
    }
    fillRecord(record, entry);
    return 0;
}

int FileDefaultOpt::findclose(int key) {
    std::intptr_t handle;
    if (!searchHandle(key, true, handle)) {
        std::printf("[%s:%d] Virad FileDefaultOpt::findclose fail\n", Detail::fileNameOf(__FILE__), __LINE__);
        return -1;
    }
    return handle != 0 ? Platform::endDirectorySearch(searchOf(handle)) : -1;
}

int FileDefaultOpt::mkdir(const char* path) {
    return Platform::makeDirectory(path);
}

int FileDefaultOpt::rmdir(const char* path) {
    return Platform::removeDirectory(path);
}

int FileDefaultOpt::statfs(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total,
                           std::uint64_t* totalFree) {
    return Platform::volumeSpace(path, freeForCaller, total, totalFree);
}

int FileDefaultOpt::access(const char* path, int mode) {
    return Platform::accessPath(path, mode);
}

int FileDefaultOpt::stat(const char* path, FileInfo* record) {
    Platform::PathStatus status;
    const int result = Platform::statPath(path, status);
    if (result != 0) {
        return result;
    }
    Detail::copyFileName(record->name, path);
    record->attrib = status.mode;
    record->timeCreate = status.timeChange;
    record->timeAccess = status.timeAccess;
    record->timeWrite = status.timeWrite;
    record->size = status.size;
    return 0;
}

std::int64_t FileDefaultOpt::writev(int, const io_vec*, int) {
    return -1;
}

int FileDefaultOpt::fseek64(void* stream, std::int64_t offset, int whence) {
    return Platform::streamSeek64(stream, offset, whence);
}

std::int64_t FileDefaultOpt::ftell64(void* stream) {
    return Platform::streamTell64(stream);
}

namespace Detail {

void copyFileName(char (&target)[260], const char* source) {
    std::size_t n = 0;
    for (; n < sizeof target - 1 && source[n] != '\0'; ++n) {
        target[n] = source[n];
    }
    target[n] = '\0';
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane
