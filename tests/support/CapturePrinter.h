// Test helper: captures the lines the print path delivers.
//
// While a CapturePrinter lives it is attached as a printer and keeps a copy of
// every delivered line; with quiet set it also replaces the log printer with
// one that drops lines, so the test's console stays clean. The previous print
// level is restored on destruction.
#ifndef DOZUV2_TESTS_SUPPORT_CAPTUREPRINTER_H
#define DOZUV2_TESTS_SUPPORT_CAPTUREPRINTER_H

#include "virad/PrintLog.h"

#include <mutex>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

class CapturePrinter {
public:
    explicit CapturePrinter(bool quiet = true, int printLevel = 5);
    ~CapturePrinter();
    CapturePrinter(const CapturePrinter&) = delete;
    CapturePrinter& operator=(const CapturePrinter&) = delete;

    // Every line delivered since construction or the last clear().
    std::vector<std::string> lines() const;
    // All lines joined.
    std::string text() const;
    // Every line with its prefix (up to the first ']') removed.
    std::vector<std::string> bodies() const;
    // The lines that contain the fragment, and how many there are.
    std::vector<std::string> linesContaining(const std::string& fragment) const;
    std::size_t count(const std::string& fragment) const;
    void clear();

private:
    bool capture(const char* line);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    int m_savedLevel;
    bool m_quiet;
};

} // namespace Testing
} // namespace Orvane

#endif
