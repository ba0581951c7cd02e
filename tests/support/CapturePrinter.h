// Test helper: captures the lines the print path delivers.
//
// While a CapturePrinter lives it is attached as a printer and keeps a copy of
// every delivered line; with quiet set it also replaces the log printer with
// one that drops lines, so the test's console stays clean. The previous print
// level is restored on destruction.
#ifndef DOZUV2_TESTS_SUPPORT_CAPTUREPRINTER_H
#define DOZUV2_TESTS_SUPPORT_CAPTUREPRINTER_H

#include "support/LogControl.h"
#include "virad/PrintLog.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

class CapturePrinter {
public:
    explicit CapturePrinter(bool quiet = true, int printLevel = 5)
        : m_savedLevel(Virad::getPrintLogLevel()), m_quiet(quiet) {
        Virad::setPrintLogLevel(printLevel);
        if (m_quiet && s_quietDepth++ == 0) {
            quietLibrary();
        }
        Virad::attachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
    }
    ~CapturePrinter() {
        Virad::detachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
        if (m_quiet && --s_quietDepth == 0) {
            Virad::setLogPrinter(Virad::TFunction1<void, const char*>());
        }
        Virad::setPrintLogLevel(m_savedLevel);
    }
    CapturePrinter(const CapturePrinter&) = delete;
    CapturePrinter& operator=(const CapturePrinter&) = delete;

    // Every line delivered since construction or the last clear().
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    // All lines joined.
    std::string text() const {
        const std::vector<std::string> all = lines();
        return std::accumulate(all.begin(), all.end(), std::string());
    }
    // Every line with its prefix (up to the first ']') removed.
    std::vector<std::string> bodies() const {
        std::vector<std::string> result = lines();
        for (std::string& line : result) {
            line.erase(0, line.find(']') + 1);
        }
        return result;
    }
    // The lines that contain the fragment, and how many there are.
    std::vector<std::string> linesContaining(const std::string& fragment) const {
        std::vector<std::string> result = lines();
        result.erase(std::remove_if(result.begin(), result.end(),
                                    [&](const std::string& line) { return line.find(fragment) == std::string::npos; }),
                     result.end());
        return result;
    }
    std::size_t count(const std::string& fragment) const { return linesContaining(fragment).size(); }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.clear();
    }

private:
    bool capture(const char* line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.emplace_back(line);
        return true;
    }

    // Quiet captures may nest; only the outermost replaces and restores the log printer.
    static inline std::atomic<int> s_quietDepth{0};

    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    int m_savedLevel;
    bool m_quiet;
};

} // namespace Testing
} // namespace Orvane

#endif
