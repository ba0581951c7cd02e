#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace Orvane {
namespace Testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::mt19937_64 random(std::random_device{}() ^
                           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code error;
    fs::path candidate;
    do {
        candidate = fs::temp_directory_path() / ("dozuv2-test-" + std::to_string(random()));
    } while (!fs::create_directory(candidate, error));
    m_path = candidate.string();
}

TempDir::~TempDir() {
    std::error_code error;
    // Entries a test made read-only must still go.
    for (auto it = fs::recursive_directory_iterator(m_path, error); !error && it != fs::end(it); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(m_path, error);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

} // namespace Testing
} // namespace Orvane
