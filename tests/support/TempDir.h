// Test helper: a fresh, empty directory that is removed with everything in
// it when the helper goes away, and whole-file reads and writes.
#ifndef DOZUV2_TESTS_SUPPORT_TEMPDIR_H
#define DOZUV2_TESTS_SUPPORT_TEMPDIR_H

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace Orvane {
namespace Testing {

class TempDir {
public:
    TempDir() {
        std::mt19937_64 random(std::random_device{}() ^
                               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::error_code error;
        std::filesystem::path candidate;
        do {
            candidate = std::filesystem::temp_directory_path() / ("dozuv2-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(candidate, error));
        m_path = candidate.string();
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code error;
        // Entries a test made read-only must still go.
        for (auto it = fs::recursive_directory_iterator(m_path, error); !error && it != fs::end(it);
             it.increment(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
        fs::remove_all(m_path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, without a trailing separator.
    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Writes (replaces) a file with the given bytes.
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole file, or an empty string when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether anything exists at the path.
inline bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace Testing
} // namespace Orvane

#endif
