// The clocks and the text forms of CTime beside what a user would otherwise
// pick: clock_gettime(CLOCK_MONOTONIC) and std::chrono::steady_clock for the
// monotonic counters, strftime for formatting and strptime for parsing.
// Pairs share a name stem so they line up in the output.
#include "virad/CTime.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>

using Orvane::Virad::CTime;

namespace {

void BM_CTimeGetCurrentMilliSecond(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CTime::getCurrentMilliSecond());
    }
}

void BM_CTimeGetCurrentMicroSecond(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CTime::getCurrentMicroSecond());
    }
}

// What a caller would write for milliseconds without the library.
void BM_ClockGettimeMonotonic(benchmark::State& state) {
    for (auto _ : state) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        benchmark::DoNotOptimize(static_cast<unsigned long long>(now.tv_sec) * 1000ULL +
                                 static_cast<unsigned long long>(now.tv_nsec) / 1000000ULL);
    }
}

void BM_SteadyClockNow(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
}

// Many threads at once: the shared last value is the contended part.
void BM_CTimeGetCurrentMilliSecondThreads(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CTime::getCurrentMilliSecond());
    }
}

void BM_SteadyClockNowThreads(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::chrono::steady_clock::now());
    }
}

void BM_CTimeFormatDefault(benchmark::State& state) {
    const CTime time(2024, 7, 5, 9, 3, 2);
    char buffer[96];
    for (auto _ : state) {
        time.format(buffer, "yyyy-MM-dd HH:mm:ss");
        benchmark::DoNotOptimize(buffer);
    }
}

void BM_StrftimeDefault(benchmark::State& state) {
    tm fields = {};
    fields.tm_year = 2024 - 1900;
    fields.tm_mon = 6;
    fields.tm_mday = 5;
    fields.tm_hour = 9;
    fields.tm_min = 3;
    fields.tm_sec = 2;
    char buffer[96];
    for (auto _ : state) {
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &fields);
        benchmark::DoNotOptimize(buffer);
    }
}

void BM_CTimeParseDefault(benchmark::State& state) {
    CTime time;
    for (auto _ : state) {
        benchmark::DoNotOptimize(time.parse("2024-07-05 09:03:02", "yyyy-MM-dd HH:mm:ss"));
    }
}

// strptime only fills the fields; mktime-free, like parse, which also
// normalises and computes the day of the week.
void BM_StrptimeDefault(benchmark::State& state) {
    tm fields;
    for (auto _ : state) {
        std::memset(&fields, 0, sizeof fields);
        benchmark::DoNotOptimize(strptime("2024-07-05 09:03:02", "%Y-%m-%d %H:%M:%S", &fields));
    }
}

} // namespace

BENCHMARK(BM_CTimeGetCurrentMilliSecond);
BENCHMARK(BM_CTimeGetCurrentMicroSecond);
BENCHMARK(BM_ClockGettimeMonotonic);
BENCHMARK(BM_SteadyClockNow);
BENCHMARK(BM_CTimeGetCurrentMilliSecondThreads)->Threads(2)->UseRealTime();
BENCHMARK(BM_SteadyClockNowThreads)->Threads(2)->UseRealTime();
BENCHMARK(BM_CTimeFormatDefault);
BENCHMARK(BM_StrftimeDefault);
BENCHMARK(BM_CTimeParseDefault);
BENCHMARK(BM_StrptimeDefault);

BENCHMARK_MAIN();
