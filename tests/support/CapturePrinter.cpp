#include "support/CapturePrinter.h"

#include <algorithm>
#include <atomic>
#include <numeric>

namespace Orvane {
namespace Testing {

// Quiet captures may nest; only the outermost replaces and restores the log printer.
static std::atomic<int> s_quietDepth{0};

CapturePrinter::CapturePrinter(bool quiet, int printLevel) : m_savedLevel(Virad::getPrintLogLevel()), m_quiet(quiet) {
    Virad::setPrintLogLevel(printLevel);
    if (m_quiet && s_quietDepth++ == 0) {
        Virad::setLogPrinter(Virad::TFunction1<void, const char*>(+[](const char*) {}));
    }
    Virad::attachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
}

CapturePrinter::~CapturePrinter() {
    Virad::detachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
    if (m_quiet && --s_quietDepth == 0) {
        Virad::setLogPrinter(Virad::TFunction1<void, const char*>());
    }
    Virad::setPrintLogLevel(m_savedLevel);
}

bool CapturePrinter::capture(const char* line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.emplace_back(line);
    return true;
}

std::vector<std::string> CapturePrinter::lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::string CapturePrinter::text() const {
    const std::vector<std::string> all = lines();
    return std::accumulate(all.begin(), all.end(), std::string());
}

std::vector<std::string> CapturePrinter::bodies() const {
    std::vector<std::string> result = lines();
    for (std::string& line : result) {
        line.erase(0, line.find(']') + 1);
    }
    return result;
}

std::vector<std::string> CapturePrinter::linesContaining(const std::string& fragment) const {
    std::vector<std::string> result = lines();
    result.erase(std::remove_if(result.begin(), result.end(),
                                [&](const std::string& line) { return line.find(fragment) == std::string::npos; }),
                 result.end());
    return result;
}

std::size_t CapturePrinter::count(const std::string& fragment) const {
    return linesContaining(fragment).size();
}

void CapturePrinter::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

} // namespace Testing
} // namespace Orvane
