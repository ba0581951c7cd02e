// Timer churn: four threads start, re-time, stop and destroy timers as fast as
// they can while the manager hands firings to pooled workers.
//
// Checked for every timer: one timer never runs two callbacks at once; no
// callback runs after stopAndWait (or the destructor) returned until the
// timer is started again; a one-shot timer fires exactly once, also when it
// is stopped with callNow.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "virad/Timer.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

using Orvane::Testing::onThreads;
using Orvane::Virad::CTimer;

namespace {

constexpr int kThreads = 4;
constexpr int kTimersPerThread = 8;

struct Slot {
    std::unique_ptr<CTimer> timer;
    std::atomic<int> fired{0};
    std::atomic<int> inside{0};     // callbacks of this timer running now
    std::atomic<bool> quiet{false}; // from the return of stopAndWait to the next start
    std::atomic<int> overlaps{0};
    std::atomic<int> late{0};

    void fire(unsigned long) {
        if (inside.fetch_add(1) != 0) {
            ++overlaps;
        }
        if (quiet.load()) {
            ++late;
        }
        ++fired;
        std::this_thread::yield(); // widen the window for a second hand-out
        inside.fetch_sub(1);
    }
    CTimer::Proc proc() { return CTimer::Proc(&Slot::fire, this); }
    void stopAndWait() {
        timer->stopAndWait();
        quiet.store(true);
    }
};

struct Totals {
    std::atomic<long> starts{0}, oneShots{0}, callNows{0}, periodics{0}, recreated{0}, stops{0};
};

// Waits up to ten seconds (a loaded machine under a sanitizer is slow) for
// the firing count to pass before.
bool firedAfter(const Slot& slot, int before) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (slot.fired.load() <= before) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void churn(Stress::Run& run, Totals& totals, std::vector<Slot>& slots, int thread) {
    std::mt19937& rng = Stress::random(1000u + static_cast<unsigned>(thread));
    while (run.running()) {
        Slot& slot = slots[Stress::below(rng, kTimersPerThread)];
        const int before = slot.fired.load();
        slot.quiet.store(false);
        ++totals.starts;
        switch (Stress::below(rng, 4)) {
        case 0: { // one-shot, waited for
            ++totals.oneShots;
            run.check(slot.timer->start(slot.proc(), Stress::below(rng, 6)), "a stopped timer starts");
            run.check(firedAfter(slot, before), "a one-shot timer fires");
            std::this_thread::sleep_for(std::chrono::milliseconds(Stress::below(rng, 4)));
            slot.stopAndWait();
            run.check(slot.fired.load() == before + 1, "a one-shot timer fires exactly once");
            break;
        }
        case 1: { // one-shot, handed out at once by stop(callNow)
            ++totals.callNows;
            slot.timer->start(slot.proc(), 1000);
            const bool handedOut = slot.timer->stop(true);
            if (handedOut) {
                run.check(firedAfter(slot, before), "stop with callNow hands the callback out");
            }
            slot.stopAndWait();
            run.check(slot.fired.load() == before + (handedOut ? 1 : 0), "callNow fires exactly once");
            break;
        }
        case 2: { // periodic, re-timed while it runs
            ++totals.periodics;
            slot.timer->start(slot.proc(), Stress::below(rng, 4), 1 + Stress::below(rng, 5));
            std::this_thread::sleep_for(std::chrono::milliseconds(Stress::below(rng, 15)));
            slot.timer->setPeriodTime(1 + Stress::below(rng, 3));
            std::this_thread::sleep_for(std::chrono::milliseconds(Stress::below(rng, 10)));
            if (Stress::below(rng, 2) == 0) {
                slot.timer->stop();
                ++totals.stops;
            }
            slot.stopAndWait();
            break;
        }
        default: { // destroyed while it may be firing
            ++totals.recreated;
            slot.timer->start(slot.proc(), Stress::below(rng, 3), 1 + Stress::below(rng, 3));
            std::this_thread::sleep_for(std::chrono::milliseconds(Stress::below(rng, 8)));
            slot.timer.reset(new CTimer(("churn " + std::to_string(thread)).c_str()));
            slot.quiet.store(true);
            break;
        }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("TimerChurnStress", argc, argv);
    Totals totals;
    std::vector<std::vector<Slot>> slots(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        slots[t] = std::vector<Slot>(kTimersPerThread);
        for (Slot& slot : slots[t]) {
            slot.timer.reset(new CTimer(("churn " + std::to_string(t)).c_str()));
        }
    }
    onThreads(kThreads, [&](int t) { churn(run, totals, slots[t], t); });
    // Anything that still fired now would be a callback after stopAndWait.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    long fired = 0, overlaps = 0, late = 0;
    for (auto& own : slots) {
        for (Slot& slot : own) {
            fired += slot.fired.load();
            overlaps += slot.overlaps.load();
            late += slot.late.load();
        }
    }
    run.check(overlaps == 0, "no timer ran two callbacks at once (" + std::to_string(overlaps) + " did)");
    run.check(late == 0, "no callback after stopAndWait (" + std::to_string(late) + " came)");
    std::printf("TimerChurnStress: %ld starts (%ld one-shot, %ld callNow, %ld periodic, %ld destroyed while "
                "running), %ld plain stops, %ld callbacks, %ld overlapping, %ld after stopAndWait\n",
                totals.starts.load(), totals.oneShots.load(), totals.callNows.load(), totals.periodics.load(),
                totals.recreated.load(), totals.stops.load(), fired, overlaps, late);
    return run.finish();
}
