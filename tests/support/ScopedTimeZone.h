// Test helper: runs a test under a given host time zone.
//
// While a ScopedTimeZone lives, the TZ setting is the given POSIX zone
// ("UTC-8" is eight hours east of Greenwich, "EST5EDT" New York) and the
// library's cached local time is refreshed; the previous setting comes back
// on destruction. The zone is process-wide: use it on the test's own thread,
// with no other thread reading the clocks.
#ifndef DOZUV2_TESTS_SUPPORT_SCOPEDTIMEZONE_H
#define DOZUV2_TESTS_SUPPORT_SCOPEDTIMEZONE_H

#include <string>

namespace Orvane {
namespace Testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_hadZone;
    std::string m_previous;
};

} // namespace Testing
} // namespace Orvane

#endif
