// Test helper: a file-system table that keeps what it deletes.
//
// Registered with hookFileSystem for a scratch directory, it serves the real
// files like the default table, but before deleting a file it reads its
// bytes, so a program can account for every byte that retention removed.
#ifndef DOZUV2_TESTS_SUPPORT_REMOVALCAPTURE_H
#define DOZUV2_TESTS_SUPPORT_REMOVALCAPTURE_H

#include "Src/Devez3/FileDefaultOpt.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

namespace Orvane {
namespace Testing {

class RemovalCapture : public Virad::FileDefaultOpt {
public:
    int remove(const char* path) override {
        std::string bytes;
        if (path != nullptr) {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        const int result = FileDefaultOpt::remove(path);
        if (result == 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_removed += bytes;
            ++m_files;
        }
        return result;
    }

    // Everything deleted so far, in the order of deletion; clears the record.
    std::string takeRemoved() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string removed;
        removed.swap(m_removed);
        return removed;
    }

    long filesRemoved() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_files;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_removed;
    long m_files = 0;
};

} // namespace Testing
} // namespace Orvane

#endif
