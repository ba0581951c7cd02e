// Four threads read the millisecond clock as fast as they can and publish the
// largest reading seen.
//
// Checked: no reading is ever below a value published before it was taken
// (the clock never falls, also across threads), and the clock advanced over
// the run.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "virad/CTime.h"

#include <string>

using Orvane::Testing::onThreads;
using Orvane::Virad::CTime;

int main(int argc, char** argv) {
    Stress::Run run("ClockStress", argc, argv);
    std::atomic<std::uint64_t> published{0};
    std::atomic<long> readings{0};
    const std::uint64_t start = CTime::getCurrentMilliSecond();
    onThreads(4, [&](int) {
        long fell = 0, count = 0;
        while (run.running()) {
            for (int i = 0; i < 1000; ++i, ++count) {
                const std::uint64_t floor = published.load(std::memory_order_acquire);
                const std::uint64_t value = CTime::getCurrentMilliSecond();
                fell += value < floor;
                std::uint64_t seen = published.load(std::memory_order_relaxed);
                while (value > seen && !published.compare_exchange_weak(seen, value, std::memory_order_acq_rel)) {
                }
            }
        }
        readings += count;
        run.check(fell == 0, "a reading fell below one published before it, " + std::to_string(fell) + " times");
    });
    run.check(published.load() > start, "the clock advanced over the run");
    std::printf("ClockStress: %ld readings on 4 threads over %llu ms\n", readings.load(),
                static_cast<unsigned long long>(published.load() - start));
    return run.finish();
}
