// Thread objects beside the standard thread: a full start and stop, and
// asking for the calling thread's id.
#include <Dozuv2.h>

#include <benchmark/benchmark.h>

#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

using namespace Orvane::Virad;

namespace {

// A body that returns at once, like the lambda given to std::thread.
class Quick : public CThread {
public:
    Quick() : CThread("Quick") {}
    ~Quick() override { destroyThread(); }

private:
    void threadProc() override { benchmark::ClobberMemory(); }
};

void BM_CThread_CreateDestroy(benchmark::State& state) {
    Quick thread;
    for (auto _ : state) {
        thread.createThread();
        // The body may end first: then destroyThread reports "has exited!" at
        // warning level, so the print path is silenced for the run.
        thread.destroyThread();
    }
}

void BM_StdThread_CreateJoin(benchmark::State& state) {
    for (auto _ : state) {
        std::thread thread([] { benchmark::ClobberMemory(); });
        thread.join();
    }
}

void BM_CThread_GetCurrentThreadID(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CThread::getCurrentThreadID());
    }
}

void BM_RawGettid(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(syscall(SYS_gettid));
    }
}

struct QuietPrintPath {
    QuietPrintPath() { setPrintLogLevel(LOG_ERROR); }
};
const QuietPrintPath g_quiet;

} // namespace

BENCHMARK(BM_CThread_CreateDestroy)->UseRealTime();
BENCHMARK(BM_StdThread_CreateJoin)->UseRealTime();
BENCHMARK(BM_CThread_GetCurrentThreadID);
BENCHMARK(BM_RawGettid);

BENCHMARK_MAIN();
