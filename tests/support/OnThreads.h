// Test helper without GoogleTest, shared by the unit tests and the stress
// programs: runs a body on several threads at once.
#ifndef DOZUV2_TESTS_SUPPORT_ONTHREADS_H
#define DOZUV2_TESTS_SUPPORT_ONTHREADS_H

#include <thread>
#include <vector>

namespace Orvane {
namespace Testing {

// Runs body(0) to body(count - 1), each on a thread of its own, and waits for all.
template <typename Body> void onThreads(int count, Body body) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(body, i);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

} // namespace Testing
} // namespace Orvane

#endif
