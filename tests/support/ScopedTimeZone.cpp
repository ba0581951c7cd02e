#include "support/ScopedTimeZone.h"

#include "Platform/Platform.h"

#include <cstdlib>

namespace Orvane {
namespace Testing {

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    const char* previous = std::getenv("TZ");
    m_hadZone = previous != nullptr;
    m_previous = previous != nullptr ? previous : "";
    setenv("TZ", zone, 1);
    Platform::refreshTimeZone();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_hadZone) {
        setenv("TZ", m_previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    Platform::refreshTimeZone();
}

} // namespace Testing
} // namespace Orvane
