#include "support/CapturePrinter.h"

namespace Orvane {
namespace Testing {

CapturePrinter::CapturePrinter(bool quiet, int printLevel) : m_savedLevel(Virad::getPrintLogLevel()), m_quiet(quiet) {
    Virad::setPrintLogLevel(printLevel);
    if (m_quiet) {
        Virad::setLogPrinter(Virad::TFunction1<void, const char*>(&CapturePrinter::drop));
    }
    Virad::attachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
}

CapturePrinter::~CapturePrinter() {
    Virad::detachPrint(Virad::TFunction1<bool, const char*>(&CapturePrinter::capture, this));
    if (m_quiet) {
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
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string all;
    for (const std::string& line : m_lines) {
        all += line;
    }
    return all;
}

std::vector<std::string> CapturePrinter::bodies() const {
    std::vector<std::string> result = lines();
    for (std::string& line : result) {
        line.erase(0, line.find(']') + 1);
    }
    return result;
}

std::vector<std::string> CapturePrinter::linesContaining(const std::string& fragment) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> found;
    for (const std::string& line : m_lines) {
        if (line.find(fragment) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

std::vector<std::string> CapturePrinter::reports(const std::string& file) const {
    std::vector<std::string> found = linesContaining(" " + file + ":");
    for (std::string& line : found) {
        const std::size_t level = line.find(' ') + 1;
        line = line.substr(level, line.find(' ', level) + 1 - level) + line.substr(line.find(']') + 1);
    }
    return found;
}

void CapturePrinter::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

} // namespace Testing
} // namespace Orvane
