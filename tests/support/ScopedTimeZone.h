// Test helper: runs a test under a given host time zone.
//
// While a ScopedTimeZone lives, the TZ setting is the given POSIX zone
// ("UTC-8" is eight hours east of Greenwich, "EST5EDT" New York) and the
// library's cached local time is refreshed; the previous setting comes back
// on destruction. The zone is process-wide: use it on the test's own thread,
// with no other thread reading the clocks.
#ifndef DOZUV2_TESTS_SUPPORT_SCOPEDTIMEZONE_H
#define DOZUV2_TESTS_SUPPORT_SCOPEDTIMEZONE_H

#include "Src/Platform/Platform.h"

#include <cstdlib>
#include <string>

namespace Orvane {
namespace Testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : m_hadZone(std::getenv("TZ") != nullptr) {
        m_previous = m_hadZone ? std::getenv("TZ") : "";
        setenv("TZ", zone, 1);
        Platform::refreshTimeZone();
    }
    ~ScopedTimeZone() {
        m_hadZone ? setenv("TZ", m_previous.c_str(), 1) : unsetenv("TZ");
        Platform::refreshTimeZone();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_hadZone;
    std::string m_previous;
};

} // namespace Testing
} // namespace Orvane

#endif
