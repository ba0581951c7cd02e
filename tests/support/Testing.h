// What every test program starts from: GoogleTest, the standard headers the
// tests use most, the output capture, case tables and temporary directories,
// and small helpers for threads, waits and captured standard output.
#ifndef DOZUV2_TESTS_SUPPORT_TESTING_H
#define DOZUV2_TESTS_SUPPORT_TESTING_H

#include "support/CapturePrinter.h"
#include "support/CaseTable.h"
#include "support/OnThreads.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace Orvane {
namespace Testing {

using Lines = std::vector<std::string>;

// An address as the library prints it ("%p").
inline std::string address(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

// "YYYY-MM-DD hh:mm:ss w<wday>" of any broken-down time, so a failure shows every field at once.
template <typename Fields> std::string timeFields(const Fields& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return text;
}

// Polls every millisecond until the condition holds; false if it never did
// within the limit, which is generous so that a loaded machine does not flake.
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

// The bodies (text after the prefix) of the lines the calls printed at the given print level or below.
template <typename Calls> Lines reported(Calls calls, int printLevel = 5) {
    CapturePrinter capture(true, printLevel);
    calls();
    return capture.bodies();
}

// What the call wrote on standard output.
template <typename Call> std::string stdoutOf(Call call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

// Death tests that follow run their child by re-executing the program, so
// that it starts with no other thread and nothing process-wide made. A cross
// build whose programs run under a user-mode emulator cannot re-execute them
// (the kernel does not know their format) and defines
// DOZUV2_FORKED_DEATH_TESTS: there the children are forks, which serves every
// test that only watches the child's report; tests that need a fresh process
// are excluded there (tests/Arm64.cmake).
inline void reexecuteDeathTests() {
#if defined(DOZUV2_FORKED_DEATH_TESTS)
    GTEST_FLAG_SET(death_test_style, "fast");
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#endif
}

// Runs the body in a fresh process (re-executed, so nothing process-wide has
// been used yet); it must exit with 0, after no failed check, and with
// standard error matching the pattern.
template <typename Body> void expectInFreshProcess(Body body, const char* stderrPattern = "") {
    reexecuteDeathTests();
    EXPECT_EXIT(
        {
            body();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), stderrPattern);
}

} // namespace Testing
} // namespace Orvane

#endif
