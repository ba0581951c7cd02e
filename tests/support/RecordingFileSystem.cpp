#include "support/RecordingFileSystem.h"

namespace Orvane {
namespace Testing {

std::vector<std::string> RecordingFileSystem::modes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> found;
    for (const std::string& call : m_calls) {
        if (call.rfind("fopen ", 0) == 0) {
            found.push_back(call.substr(6));
        }
    }
    return found;
}

int RecordingFileSystem::count(const std::string& operation) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), operation));
}

void RecordingFileSystem::clearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

void RecordingFileSystem::record(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
}

void* RecordingFileSystem::fopen(const char* path, const char* mode) {
    record(std::string("fopen ") + mode);
    return FileDefaultOpt::fopen(path, mode);
}

std::size_t RecordingFileSystem::fread(void* buffer, std::size_t size, std::size_t count, void* stream) {
    record("fread");
    return shortBy != 0 && count <= shortBy
               ? 0
               : FileDefaultOpt::fread(buffer, size, std::min(count - shortBy, transferLimit), stream);
}

std::size_t RecordingFileSystem::fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) {
    record("fwrite");
    return FileDefaultOpt::fwrite(buffer, size, std::min(count, transferLimit), stream);
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
