// Test helper: a fresh, empty directory that is removed with everything in
// it when the helper goes away.
#ifndef DOZUV2_TESTS_SUPPORT_TEMPDIR_H
#define DOZUV2_TESTS_SUPPORT_TEMPDIR_H

#include <string>

namespace Orvane {
namespace Testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
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
void writeFile(const std::string& path, const std::string& bytes);
// The whole file, or an empty string when it cannot be read.
std::string readFile(const std::string& path);
// Whether anything exists at the path.
bool exists(const std::string& path);

} // namespace Testing
} // namespace Orvane

#endif
