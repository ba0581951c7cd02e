// The lock primitives beside what a user would otherwise pick: std::mutex,
// std::recursive_mutex, std::shared_mutex and a POSIX semaphore. Each pair
// runs uncontended (one thread) and with two threads on one object, and shares
// a name stem so the pairs line up in the output (BM_CMutex / BM_StdMutex ...).
#include "virad/Mutex.h"
#include "virad/ReadWriteMutex.h"
#include "virad/Semaphore.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <shared_mutex>

#include <semaphore.h>

using Orvane::Virad::CMutex;
using Orvane::Virad::CReadWriteMutex;
using Orvane::Virad::CRecursiveMutex;
using Orvane::Virad::CSemaphore;

namespace {

// One object per benchmark, shared by its threads.
CMutex g_mutex;
std::mutex g_stdMutex;
CRecursiveMutex g_recursiveMutex;
std::recursive_mutex g_stdRecursiveMutex;
CReadWriteMutex g_rwDefault(CReadWriteMutex::priorityDefault);
CReadWriteMutex g_rwWrite(CReadWriteMutex::priorityWrite);
std::shared_mutex g_stdSharedMutex;
CSemaphore g_semaphore;

// The POSIX semaphore lives for the whole run, as the others do.
struct PosixSemaphore {
    PosixSemaphore() { sem_init(&sem, 0, 0); }
    ~PosixSemaphore() { sem_destroy(&sem); }
    sem_t sem;
};
PosixSemaphore g_posixSemaphore;

// A small amount of work inside the lock, so the two-thread runs measure a
// lock that is taken and handed over rather than an empty loop.
int g_guarded = 0;

void BM_CMutex(benchmark::State& state) {
    for (auto _ : state) {
        g_mutex.enter();
        benchmark::DoNotOptimize(++g_guarded);
        g_mutex.leave();
    }
}

void BM_StdMutex(benchmark::State& state) {
    for (auto _ : state) {
        g_stdMutex.lock();
        benchmark::DoNotOptimize(++g_guarded);
        g_stdMutex.unlock();
    }
}

void BM_CRecursiveMutex(benchmark::State& state) {
    for (auto _ : state) {
        g_recursiveMutex.enter();
        benchmark::DoNotOptimize(++g_guarded);
        g_recursiveMutex.leave();
    }
}

void BM_StdRecursiveMutex(benchmark::State& state) {
    for (auto _ : state) {
        g_stdRecursiveMutex.lock();
        benchmark::DoNotOptimize(++g_guarded);
        g_stdRecursiveMutex.unlock();
    }
}

// Nested entry by the holder: the recursive mutex's own fast path.
void BM_CRecursiveMutexNested(benchmark::State& state) {
    g_recursiveMutex.enter();
    for (auto _ : state) {
        g_recursiveMutex.enter();
        benchmark::DoNotOptimize(++g_guarded);
        g_recursiveMutex.leave();
    }
    g_recursiveMutex.leave();
}

void BM_StdRecursiveMutexNested(benchmark::State& state) {
    g_stdRecursiveMutex.lock();
    for (auto _ : state) {
        g_stdRecursiveMutex.lock();
        benchmark::DoNotOptimize(++g_guarded);
        g_stdRecursiveMutex.unlock();
    }
    g_stdRecursiveMutex.unlock();
}

void readWith(benchmark::State& state, CReadWriteMutex& rw) {
    for (auto _ : state) {
        rw.enterReading();
        benchmark::DoNotOptimize(g_guarded);
        rw.leave();
    }
}

void writeWith(benchmark::State& state, CReadWriteMutex& rw) {
    for (auto _ : state) {
        rw.enterWriting();
        benchmark::DoNotOptimize(++g_guarded);
        rw.leave();
    }
}

void BM_CReadWriteMutexRead_Default(benchmark::State& state) {
    readWith(state, g_rwDefault);
}
void BM_CReadWriteMutexRead_Write(benchmark::State& state) {
    readWith(state, g_rwWrite);
}

void BM_StdSharedMutexRead(benchmark::State& state) {
    for (auto _ : state) {
        g_stdSharedMutex.lock_shared();
        benchmark::DoNotOptimize(g_guarded);
        g_stdSharedMutex.unlock_shared();
    }
}

void BM_CReadWriteMutexWrite_Default(benchmark::State& state) {
    writeWith(state, g_rwDefault);
}
void BM_CReadWriteMutexWrite_Write(benchmark::State& state) {
    writeWith(state, g_rwWrite);
}

void BM_StdSharedMutexWrite(benchmark::State& state) {
    for (auto _ : state) {
        g_stdSharedMutex.lock();
        benchmark::DoNotOptimize(++g_guarded);
        g_stdSharedMutex.unlock();
    }
}

void BM_CSemaphore(benchmark::State& state) {
    for (auto _ : state) {
        g_semaphore.post();
        benchmark::DoNotOptimize(g_semaphore.tryPend());
    }
}

void BM_PosixSemaphore(benchmark::State& state) {
    for (auto _ : state) {
        sem_post(&g_posixSemaphore.sem);
        benchmark::DoNotOptimize(sem_trywait(&g_posixSemaphore.sem));
    }
}

// Uncontended and with two threads on the same object; wall time, so the
// two-thread figures include the time spent waiting for each other.
void pairSettings(benchmark::internal::Benchmark* b) {
    b->Threads(1)->Threads(2)->UseRealTime();
}

} // namespace

BENCHMARK(BM_CMutex)->Apply(pairSettings);
BENCHMARK(BM_StdMutex)->Apply(pairSettings);
BENCHMARK(BM_CRecursiveMutex)->Apply(pairSettings);
BENCHMARK(BM_StdRecursiveMutex)->Apply(pairSettings);
BENCHMARK(BM_CRecursiveMutexNested)->Threads(1);
BENCHMARK(BM_StdRecursiveMutexNested)->Threads(1);
BENCHMARK(BM_CReadWriteMutexRead_Default)->Apply(pairSettings);
BENCHMARK(BM_CReadWriteMutexRead_Write)->Apply(pairSettings);
BENCHMARK(BM_StdSharedMutexRead)->Apply(pairSettings);
BENCHMARK(BM_CReadWriteMutexWrite_Default)->Apply(pairSettings);
BENCHMARK(BM_CReadWriteMutexWrite_Write)->Apply(pairSettings);
BENCHMARK(BM_StdSharedMutexWrite)->Apply(pairSettings);
BENCHMARK(BM_CSemaphore)->Apply(pairSettings);
BENCHMARK(BM_PosixSemaphore)->Apply(pairSettings);

BENCHMARK_MAIN();
