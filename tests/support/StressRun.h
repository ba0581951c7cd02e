// What every stress program shares: its running time from the command line,
// a deadline, a tally of failed checks and the closing lines.
//
// A program runs for the seconds given as its first argument (60 without
// one), prints what it counted and ends with "N passed, N failed"; its exit
// status is 0 only when no check failed.
#ifndef DOZUV2_TESTS_SUPPORT_STRESSRUN_H
#define DOZUV2_TESTS_SUPPORT_STRESSRUN_H

#include "support/LogControl.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace Stress {

class Run {
public:
    // Reads the running time; the library's own reports (a stop waiting for
    // its callback, say) are dropped so that the counts stand out.
    Run(const char* name, int argc, char** argv) : m_name(name) {
        Orvane::Testing::quietLibrary();
        const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
        m_end = std::chrono::steady_clock::now() +
                std::chrono::milliseconds(static_cast<long long>((seconds > 0 ? seconds : 1) * 1000));
        std::printf("%s: running for %.0f s\n", name, seconds);
        std::fflush(stdout);
    }

    bool running() const { return std::chrono::steady_clock::now() < m_end; }

    // Counts the check; the first failures are described on the standard error.
    void check(bool ok, const std::string& what) {
        if (ok) {
            ++m_passed;
        } else if (++m_failed <= 20) {
            std::fprintf(stderr, "%s: FAILED: %s\n", m_name, what.c_str());
        }
    }

    // Prints the closing line; the exit status of the program.
    int finish() const {
        std::printf("%s: %ld passed, %ld failed\n", m_name, m_passed.load(), m_failed.load());
        return m_failed.load() == 0 ? 0 : 1;
    }

private:
    const char* m_name;
    std::chrono::steady_clock::time_point m_end;
    std::atomic<long> m_passed{0};
    std::atomic<long> m_failed{0};
};

// A per-thread random source with a fixed seed per thread, so a failing run
// can be repeated with the same choices.
inline std::mt19937& random(unsigned seed) {
    thread_local std::mt19937 engine(seed);
    return engine;
}

inline unsigned below(std::mt19937& engine, unsigned bound) {
    return static_cast<unsigned>(engine() % bound);
}

} // namespace Stress

#endif
