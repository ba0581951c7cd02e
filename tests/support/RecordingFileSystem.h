// Test helper: the default file-system table with a record of its calls.
//
// Registered with hookFileSystem for a temporary directory, it serves real
// files while recording each operation, limiting how much one fread or fwrite
// moves or making reads come up short, and standing in for the gather write
// (which the default table lacks) by recording the descriptor it was handed.
#ifndef DOZUV2_TESTS_SUPPORT_RECORDINGFILESYSTEM_H
#define DOZUV2_TESTS_SUPPORT_RECORDINGFILESYSTEM_H

#include "Src/Devez3/FileDefaultOpt.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

class RecordingFileSystem : public Virad::FileDefaultOpt {
public:
    std::size_t transferLimit = SIZE_MAX; // most elements one fread or fwrite moves
    std::size_t shortBy = 0;              // each fread stops this many elements short (0 when it cannot)
    std::vector<int> writevDescriptors;   // writev "writes" its element count

    // The fopen modes, in order.
    std::vector<std::string> modes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> found;
        for (const std::string& call : m_calls) {
            if (call.rfind("fopen ", 0) == 0) {
                found.push_back(call.substr(6));
            }
        }
        return found;
    }
    // How often the operation ("fseek", "stat" ...) was called.
    int count(const std::string& operation) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), operation));
    }
    void clearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }

// Operations that only record their calls before the default table does the work.
#define DOZUV2_RECORDED(result, name, parameters, arguments)                                                           \
    result name parameters override {                                                                                  \
        record(#name);                                                                                                 \
        return FileDefaultOpt::name arguments;                                                                         \
    }
    DOZUV2_RECORDED(int, fclose, (void* stream), (stream))
    DOZUV2_RECORDED(int, fseek, (void* stream, long offset, int whence), (stream, offset, whence))
    DOZUV2_RECORDED(int, fseek64, (void* stream, std::int64_t offset, int whence), (stream, offset, whence))
    DOZUV2_RECORDED(int, rename, (const char* oldPath, const char* newPath), (oldPath, newPath))
    DOZUV2_RECORDED(int, access, (const char* path, int mode), (path, mode))
    DOZUV2_RECORDED(int, stat, (const char* path, Virad::FileInfo* info), (path, info))
    DOZUV2_RECORDED(int, mkdir, (const char* path), (path))
    DOZUV2_RECORDED(int, findclose, (int key), (key))
#undef DOZUV2_RECORDED

    void* fopen(const char* path, const char* mode) override {
        record(std::string("fopen ") + mode);
        return FileDefaultOpt::fopen(path, mode);
    }
    std::size_t fread(void* buffer, std::size_t size, std::size_t count, void* stream) override {
        record("fread");
        return shortBy != 0 && count <= shortBy
                   ? 0
                   : FileDefaultOpt::fread(buffer, size, std::min(count - shortBy, transferLimit), stream);
    }
    std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) override {
        record("fwrite");
        return FileDefaultOpt::fwrite(buffer, size, std::min(count, transferLimit), stream);
    }
    // Fixed figures (1, 3, 2) so tests can tell which value went where.
    int statfs(const char*, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) override {
        record("statfs");
        *freeForCaller = 1;
        *total = 3;
        *totalFree = 2;
        return 0;
    }
    std::int64_t writev(int descriptor, const Virad::io_vec*, int count) override {
        record("writev");
        std::lock_guard<std::mutex> lock(m_mutex);
        writevDescriptors.push_back(descriptor);
        return count;
    }

private:
    void record(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls; // "fseek", "fopen rb" ...
};

} // namespace Testing
} // namespace Orvane

#endif
