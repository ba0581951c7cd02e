// Assertion reports: a broken invariant is written to the standard error
// stream (never through the print path, which may be what broke), then the
// process ends.
#include "virad/LastError.h"
#include "virad/PrintLog.h"

#include <cstdio>
#include <cstdlib>

namespace Orvane {
namespace Virad {
namespace Detail {

namespace {

[[noreturn]] void endProcess() {
    ::logInfo("custom_abort");
    std::fflush(stdout);
    std::abort();
}

} // namespace

void assertionFailed(const char* expression, const char* function, const char* file, long line) {
    std::fprintf(stderr, "***** Internal Program Error - assertion (%s) failed in %s: %s(%ld)\n", expression, function,
                 file, line);
    std::fflush(stderr);
    endProcess();
}

void assertionFailedMsg(const char* expression, const char* message, const char* function, const char* file,
                        long line) {
    std::fprintf(stderr, "***** Internal Program Error - assertion (%s) failed in %s: %s(%ld): %s\n", expression,
                 function, file, line, message);
    std::fflush(stderr);
    endProcess();
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane
