// The locks under contention, round after round until the time is up.
//
// Each round: four threads add to plain counters under CMutex and under
// CRecursiveMutex taken at two depths (a broken lock loses increments, and
// ThreadSanitizer sees the race); two writers and three readers share a
// CReadWriteMutex of either policy (writers alone inside, readers never see
// a half-done write); three producers and three consumers pass units through
// a CSemaphore, each consumer waiting its own way (untimed, timed, trying).
// Checked: the counts are exact, nobody overlapped a writer, every unit
// passed exactly once and an untimed wait never failed.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "virad/Mutex.h"
#include "virad/ReadWriteMutex.h"
#include "virad/Semaphore.h"

#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::onThreads;

namespace {

void mutexRound(Stress::Run& run, int rounds) {
    CMutex mutex;
    CRecursiveMutex recursive;
    long plain = 0, nested = 0;
    onThreads(4, [&](int) {
        for (int i = 0; i < rounds; ++i) {
            {
                CGuard guard(mutex);
                ++plain;
            }
            CRecursiveGuard outer(recursive);
            const long seen = nested;
            CRecursiveGuard inner(recursive);
            nested = seen + 1;
        }
    });
    run.check(plain == 4L * rounds, "CMutex lost no increment: " + std::to_string(plain));
    run.check(nested == 4L * rounds, "CRecursiveMutex lost no increment: " + std::to_string(nested));
}

void readWriteRound(Stress::Run& run, CReadWriteMutex::RWPriority policy, int rounds) {
    constexpr int kWriters = 2;
    CReadWriteMutex rw(policy);
    // Plain halves that readers must never see differ.
    long first = 0, second = 0;
    std::atomic<int> writersInside{0}, readersInside{0}, faults{0};
    onThreads(kWriters + 3, [&](int t) {
        for (int i = 0; i < rounds; ++i) {
            if (t < kWriters) {
                rw.enterWriting();
                faults += writersInside.fetch_add(1) != 0 || readersInside.load() != 0;
                ++first;
                ++second;
                writersInside.fetch_sub(1);
            } else {
                rw.enterReading();
                readersInside.fetch_add(1);
                faults += writersInside.load() != 0 || first != second;
                readersInside.fetch_sub(1);
            }
            rw.leave();
        }
    });
    const std::string name = policy == CReadWriteMutex::priorityWrite ? "write policy" : "default policy";
    run.check(faults.load() == 0, name + ": nobody overlapped a writer");
    run.check(first + second == 2L * kWriters * rounds, name + ": every write counted");
}

void semaphoreRound(Stress::Run& run, int units) {
    CSemaphore semaphore;
    std::atomic<int> failures{0};
    onThreads(6, [&](int t) {
        const int way = t / 2;
        for (int i = 0; i < units;) {
            if (t % 2 == 0) {
                failures += semaphore.post() != 0 ? 1 : 0;
                ++i;
                continue;
            }
            const int rc = way == 0 ? semaphore.pend() : way == 1 ? semaphore.pend(5) : semaphore.tryPend();
            i += rc == 0 ? 1 : 0;
            failures += rc != 0 && way == 0 ? 1 : 0;
        }
    });
    run.check(failures.load() == 0, "no post failed and no untimed wait failed");
    run.check(semaphore.tryPend() == -1, "no unit was left over or made twice");
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("LockContentionStress", argc, argv);
    long rounds = 0;
    while (run.running()) {
        mutexRound(run, 20000);
        readWriteRound(run, CReadWriteMutex::priorityDefault, 5000);
        readWriteRound(run, CReadWriteMutex::priorityWrite, 5000);
        semaphoreRound(run, 5000);
        ++rounds;
    }
    std::printf("LockContentionStress: %ld rounds of mutex, read-write (both policies) and semaphore contention\n",
                rounds);
    return run.finish();
}
