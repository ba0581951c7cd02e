// Assertion reports: a broken invariant is written to the standard error
// stream (never through the print path, which may be what broke), then the
// process ends.
#include "virad/LastError.h"
#include "virad/PrintLog.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Orvane {
namespace Virad {
namespace Detail {

namespace {

// Set by the first report. The last line goes through the print path, which
// may itself fail an assertion (a failed allocation while the print path
// grows a table when memory is short); such a report, or one from another
// thread meanwhile, ends the process at once after its own report line, so
// ending can neither recurse nor wait.
std::atomic<bool> g_ending{false};

[[noreturn]] void endProcess() {
    if (!g_ending.exchange(true)) {
        ::logInfo("custom_abort");
        std::fflush(stdout);
    }
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
