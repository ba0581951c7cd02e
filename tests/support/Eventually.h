// Test helper: waits for a condition with a generous limit, so that tests of
// threads and timers do not flake on a loaded machine.
#ifndef DOZUV2_TESTS_SUPPORT_EVENTUALLY_H
#define DOZUV2_TESTS_SUPPORT_EVENTUALLY_H

#include <chrono>
#include <thread>

namespace Orvane {
namespace Testing {

// Polls every millisecond until the condition holds; false if it never did
// within the limit.
template <typename Condition> bool eventually(Condition condition, int milliseconds = 10000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace Testing
} // namespace Orvane

#endif
