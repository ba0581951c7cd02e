#include "support/RecordingFileSystem.h"

#include <algorithm>

namespace Orvane {
namespace Testing {

std::vector<std::string> RecordingFileSystem::modes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_modes;
}

int RecordingFileSystem::count(const std::string& operation) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), operation));
}

void RecordingFileSystem::clearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
    m_modes.clear();
}

void RecordingFileSystem::record(const char* operation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.emplace_back(operation);
}

void* RecordingFileSystem::fopen(const char* path, const char* mode) {
    record("fopen");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_modes.emplace_back(mode);
    }
    return FileDefaultOpt::fopen(path, mode);
}

int RecordingFileSystem::fclose(void* stream) {
    record("fclose");
    return FileDefaultOpt::fclose(stream);
}

std::size_t RecordingFileSystem::fread(void* buffer, std::size_t size, std::size_t count, void* stream) {
    record("fread");
    if (shortBy != 0 && count <= shortBy) {
        return 0;
    }
    return FileDefaultOpt::fread(buffer, size, std::min(count - shortBy, transferLimit), stream);
}

std::size_t RecordingFileSystem::fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) {
    record("fwrite");
    return FileDefaultOpt::fwrite(buffer, size, std::min(count, transferLimit), stream);
}

int RecordingFileSystem::fseek(void* stream, long offset, int whence) {
    record("fseek");
    return FileDefaultOpt::fseek(stream, offset, whence);
}

int RecordingFileSystem::fseek64(void* stream, std::int64_t offset, int whence) {
    record("fseek64");
    return FileDefaultOpt::fseek64(stream, offset, whence);
}

int RecordingFileSystem::rename(const char* oldPath, const char* newPath) {
    record("rename");
    return FileDefaultOpt::rename(oldPath, newPath);
}

int RecordingFileSystem::access(const char* path, int mode) {
    record("access");
    return FileDefaultOpt::access(path, mode);
}

int RecordingFileSystem::stat(const char* path, Virad::FileInfo* info) {
    record("stat");
    return FileDefaultOpt::stat(path, info);
}

int RecordingFileSystem::mkdir(const char* path) {
    record("mkdir");
    return FileDefaultOpt::mkdir(path);
}

int RecordingFileSystem::findclose(int key) {
    record("findclose");
    return FileDefaultOpt::findclose(key);
}

// Fixed figures (1, 3, 2) so tests can tell which value went where.
int RecordingFileSystem::statfs(const char*, std::uint64_t* freeForCaller, std::uint64_t* total,
                                std::uint64_t* totalFree) {
    record("statfs");
    *freeForCaller = 1;
    *total = 3;
    *totalFree = 2;
    return 0;
}

std::int64_t RecordingFileSystem::writev(int descriptor, const Virad::io_vec*, int count) {
    record("writev");
    std::lock_guard<std::mutex> lock(m_mutex);
    writevDescriptors.push_back(descriptor);
    return count;
}

} // namespace Testing
} // namespace Orvane
