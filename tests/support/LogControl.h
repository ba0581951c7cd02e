// Test helper: steering the library's print path from a test program, a
// stress program or a fuzz target — lines dropped instead of printed, and a
// logfilter command given as words.
//
// Only public headers: the programs that link the shared library like any
// host use it too.
#ifndef DOZUV2_TESTS_SUPPORT_LOGCONTROL_H
#define DOZUV2_TESTS_SUPPORT_LOGCONTROL_H

#include "virad/LogFilter.h"
#include "virad/PrintLog.h"

#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

// A log printer that prints nothing.
inline void dropLine(const char*) {}

// Lines of the print path go nowhere (attached printers still get them), so
// that a program's own output stands out.
inline void quietLibrary() {
    Virad::setLogPrinter(Virad::TFunction1<void, const char*>(&dropLine));
}

// Runs the logfilter command made of the words, as a console would pass them
// (no words: no argument array).
inline void logFilterCommand(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    Virad::setLogFilter(static_cast<int>(argv.size()), argv.empty() ? nullptr : argv.data());
}

} // namespace Testing
} // namespace Orvane

#endif
