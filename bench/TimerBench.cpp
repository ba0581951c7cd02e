// Timers beside what a program would write itself with the standard library:
//  - start + stop of one timer while N others are started, beside inserting
//    into and erasing from a std::multimap of N due times (bare and under a
//    std::mutex, as a shared timer table needs);
//  - firing lateness of 1,000 periodic timers, beside one std::thread that
//    sleeps until the earliest entry of a multimap and calls it inline;
//  - CPU time per second of the manager thread with 10,000 started timers
//    that are not due, beside a thread doing the same 10 ms idle check.
// Lateness and CPU are reported as counters (microseconds, CPU ms per s).
#include <Dozuv2.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

using namespace Orvane::Virad;

namespace {

void nothing(unsigned long) {}
void dropLine(const char*) {}

constexpr unsigned int kFarAway = 1000000000; // ms: a timer that never falls due during the run

// ---- start + stop with N timers started ----

void BM_CTimer_StartStop(benchmark::State& state) {
    const int started = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<CTimer>> others;
    std::mt19937 random(1);
    for (int i = 0; i < started; ++i) {
        others.push_back(std::make_unique<CTimer>("Other"));
        others.back()->start(CTimer::Proc(&nothing), kFarAway + random() % 100000);
    }
    CTimer timer("Measured");
    for (auto _ : state) {
        timer.start(CTimer::Proc(&nothing), kFarAway + random() % 100000);
        timer.stop();
    }
}

void BM_Multimap_InsertErase(benchmark::State& state) {
    const int started = static_cast<int>(state.range(0));
    std::multimap<std::uint64_t, void*> table;
    std::mt19937 random(1);
    for (int i = 0; i < started; ++i) {
        table.emplace(kFarAway + random() % 100000, nullptr);
    }
    for (auto _ : state) {
        auto at = table.emplace(kFarAway + random() % 100000, &state);
        table.erase(at);
    }
}

void BM_LockedMultimap_InsertErase(benchmark::State& state) {
    const int started = static_cast<int>(state.range(0));
    std::multimap<std::uint64_t, void*> table;
    std::mutex mutex;
    std::mt19937 random(1);
    for (int i = 0; i < started; ++i) {
        table.emplace(kFarAway + random() % 100000, nullptr);
    }
    for (auto _ : state) {
        std::multimap<std::uint64_t, void*>::iterator at;
        {
            std::lock_guard<std::mutex> lock(mutex);
            at = table.emplace(kFarAway + random() % 100000, &state);
        }
        std::lock_guard<std::mutex> lock(mutex);
        table.erase(at);
    }
}

// ---- firing lateness ----

constexpr int kPeriodicTimers = 1000;
constexpr unsigned int kPeriod = 100; // ms
constexpr int kLatenessRunMs = 3000;

struct Percentiles {
    double p50, p99, max;
};

Percentiles percentiles(std::vector<double> samples) {
    if (samples.empty()) {
        return {0, 0, 0};
    }
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    return {at(0.50), at(0.99), samples.back()};
}

void report(benchmark::State& state, const Percentiles& p, std::size_t samples) {
    state.counters["p50_us"] = p.p50;
    state.counters["p99_us"] = p.p99;
    state.counters["max_us"] = p.max;
    state.counters["firings"] = static_cast<double>(samples);
}

// Collects the NextTime column of the timer table: the due time of every
// timer in the manager's milliseconds, which is what lateness is measured from.
class TableReader {
public:
    bool onLine(const char* line) {
        const char* body = std::strchr(line, ']');
        body = body != nullptr ? body + 1 : line;
        char name[40];
        unsigned long long next = 0;
        if (std::sscanf(body, "%39s %llu", name, &next) == 2 && std::strncmp(name, "Late", 4) == 0) {
            std::lock_guard<std::mutex> lock(mutex);
            nextByIndex[std::atoi(name + 4)] = next;
        }
        return true;
    }
    std::mutex mutex;
    std::map<int, unsigned long long> nextByIndex;
};

struct LatenessProbe {
    std::mutex mutex;
    std::vector<std::pair<unsigned long, std::uint64_t>> firings; // timer index, microseconds
    void onTimer(unsigned long index) {
        const std::uint64_t now = CTime::getCurrentMicroSecond();
        std::lock_guard<std::mutex> lock(mutex);
        firings.emplace_back(index, now);
    }
};

void BM_CTimer_PeriodicLateness(benchmark::State& state) {
    for (auto _ : state) {
        LatenessProbe probe;
        std::vector<std::unique_ptr<CTimer>> timers;
        for (int i = 0; i < kPeriodicTimers; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "Late%d", i);
            timers.push_back(std::make_unique<CTimer>(name));
            timers.back()->start(CTimer::Proc(&LatenessProbe::onTimer, &probe), 1 + i % kPeriod, kPeriod,
                                 static_cast<unsigned long>(i));
        }
        CThread::sleep(500); // let the pool warm up
        TableReader reader;
        const TFunction1<bool, const char*> printer(&TableReader::onLine, &reader);
        const int level = getPrintLogLevel();
        setPrintLogLevel(LOG_INFO);
        setLogPrinter(TFunction1<void, const char*>(&dropLine));
        attachPrint(printer);
        {
            std::lock_guard<std::mutex> lock(probe.mutex);
            probe.firings.clear();
        }
        CTimerManager::instance()->dumpTimers();
        detachPrint(printer);
        setLogPrinter(TFunction1<void, const char*>());
        setPrintLogLevel(level);
        CThread::sleep(kLatenessRunMs);
        for (auto& timer : timers) {
            timer->stopAndWait();
        }
        std::vector<double> lateness;
        for (const auto& firing : probe.firings) {
            const auto next = reader.nextByIndex.find(static_cast<int>(firing.first));
            if (next == reader.nextByIndex.end()) {
                continue;
            }
            const double dueUs = static_cast<double>(next->second) * 1000.0;
            const double sinceUs = static_cast<double>(firing.second) - dueUs;
            // Firings handed out before the table was taken were already
            // rescheduled in it: they are not measured.
            if (sinceUs < -static_cast<double>(kPeriod) * 1000.0 / 2) {
                continue;
            }
            const double periods = std::floor(sinceUs / (kPeriod * 1000.0));
            lateness.push_back(sinceUs - periods * kPeriod * 1000.0);
        }
        report(state, percentiles(lateness), lateness.size());
    }
}

// The hand-written alternative: one thread, a multimap of due times, sleep
// until the earliest, call inline, re-insert one period later.
void BM_StdThread_PeriodicLateness(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        std::multimap<Clock::time_point, int> due;
        const Clock::time_point begin = Clock::now();
        for (int i = 0; i < kPeriodicTimers; ++i) {
            due.emplace(begin + std::chrono::milliseconds(1 + i % kPeriod), i);
        }
        std::mutex mutex;
        std::condition_variable wake;
        bool stop = false;
        std::vector<double> lateness;
        const Clock::time_point measureFrom = begin + std::chrono::milliseconds(500);
        std::thread runner([&] {
            std::unique_lock<std::mutex> lock(mutex);
            while (!stop) {
                const auto head = due.begin();
                if (wake.wait_until(lock, head->first, [&] { return stop; })) {
                    break;
                }
                const Clock::time_point now = Clock::now();
                if (now < head->first) {
                    continue;
                }
                const Clock::time_point at = head->first;
                const int index = head->second;
                due.erase(head);
                if (at >= measureFrom) {
                    lateness.push_back(std::chrono::duration<double, std::micro>(now - at).count());
                }
                benchmark::DoNotOptimize(index);
                due.emplace(at + std::chrono::milliseconds(kPeriod), index);
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500 + kLatenessRunMs));
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_one();
        runner.join();
        report(state, percentiles(lateness), lateness.size());
    }
}

// ---- CPU of an idle manager ----

// Nanoseconds the thread has spent on a CPU.
std::uint64_t threadCpuNs(int tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    std::uint64_t ns = 0;
    in >> ns;
    return ns;
}

constexpr int kIdleTimers = 10000;
constexpr int kCpuRunMs = 3000;

void BM_TimerManager_IdleCpu(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::unique_ptr<CTimer>> timers;
        for (int i = 0; i < kIdleTimers; ++i) {
            timers.push_back(std::make_unique<CTimer>("Idle"));
            timers.back()->start(CTimer::Proc(&nothing), kFarAway + i);
        }
        int tid = -1;
        std::list<CThreadManager::ThreadInfo> infos;
        CThreadManager::instance()->getThreadsInfo(infos);
        for (const auto& info : infos) {
            if (std::string(info.name) == "TimerManager") {
                tid = info.id;
            }
        }
        const std::uint64_t before = threadCpuNs(tid);
        std::this_thread::sleep_for(std::chrono::milliseconds(kCpuRunMs));
        const std::uint64_t used = threadCpuNs(tid) - before;
        state.counters["cpu_ms_per_s"] = used / 1e6 / (kCpuRunMs / 1000.0);
    }
}

void BM_StdThread_IdleCpu(benchmark::State& state) {
    for (auto _ : state) {
        std::multimap<std::uint64_t, int> due;
        for (int i = 0; i < kIdleTimers; ++i) {
            due.emplace(kFarAway + i, i);
        }
        std::mutex mutex;
        std::atomic<bool> stop{false};
        std::atomic<int> tid{-1};
        std::thread checker([&] {
            tid = static_cast<int>(syscall(SYS_gettid));
            while (!stop.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
                std::lock_guard<std::mutex> lock(mutex);
                benchmark::DoNotOptimize(due.begin()->first < static_cast<std::uint64_t>(now));
            }
        });
        while (tid.load() == -1) {
            std::this_thread::yield();
        }
        const std::uint64_t before = threadCpuNs(tid);
        std::this_thread::sleep_for(std::chrono::milliseconds(kCpuRunMs));
        const std::uint64_t used = threadCpuNs(tid) - before;
        stop = true;
        checker.join();
        state.counters["cpu_ms_per_s"] = used / 1e6 / (kCpuRunMs / 1000.0);
    }
}

} // namespace

BENCHMARK(BM_CTimer_StartStop)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_Multimap_InsertErase)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_LockedMultimap_InsertErase)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_CTimer_PeriodicLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StdThread_PeriodicLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TimerManager_IdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StdThread_IdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
