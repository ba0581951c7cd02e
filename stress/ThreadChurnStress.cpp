// Short-lived threads created and destroyed from four threads at once.
//
// Each round makes a thread object, starts it, and then either waits for its
// body to end by itself, stops it while it runs, or destroys the object while
// the body may still be starting. Checked: every started body runs exactly
// once; the thread manager knows a running body by its id, and its table is
// back to where it started once every object is gone.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "virad/Thread.h"
#include "virad/ThreadManager.h"

#include <list>
#include <memory>
#include <thread>

using namespace Orvane::Virad;
using Orvane::Testing::onThreads;

namespace {

constexpr int kThreads = 4;

struct Body {
    std::atomic<int> runs{0};
    std::atomic<bool> linger{false};
    std::atomic<bool> known{false};

    void run(CThreadLite& self) {
        ++runs;
        known.store(CThreadManager::instance()->hasThread(self.getThreadID()));
        while (linger.load() && self.looping()) {
            CThread::sleep(1);
        }
    }
};

struct Totals {
    std::atomic<long> started{0}, endedAlone{0}, stopped{0}, destroyed{0};
};

void churn(Stress::Run& run, Totals& totals, int thread) {
    std::mt19937& rng = Stress::random(3000u + static_cast<unsigned>(thread));
    while (run.running()) {
        Body body;
        const unsigned way = Stress::below(rng, 3);
        body.linger.store(way == 1);
        std::unique_ptr<CThreadLite> object(
            new CThreadLite(CThreadLite::Procedure(&Body::run, &body), "churn", 1 + Stress::below(rng, 127)));
        if (!object->createThread()) {
            run.check(false, "a thread object starts");
            continue;
        }
        ++totals.started;
        if (way == 0) {
            while (!object->isThreadOver()) {
                std::this_thread::yield();
            }
            ++totals.endedAlone;
        } else if (way == 1) {
            while (body.runs.load() == 0) {
                std::this_thread::yield();
            }
            run.check(object->destroyThread(), "a running body can be stopped");
            ++totals.stopped;
        } else {
            ++totals.destroyed;
        }
        object.reset();
        run.check(body.runs.load() == 1, "a started body runs exactly once");
        run.check(body.known.load(), "the manager knows a running body");
    }
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("ThreadChurnStress", argc, argv);
    std::list<CThreadManager::ThreadInfo> before;
    CThreadManager::instance()->getThreadsInfo(before);
    Totals totals;
    onThreads(kThreads, [&](int t) { churn(run, totals, t); });
    std::list<CThreadManager::ThreadInfo> after;
    CThreadManager::instance()->getThreadsInfo(after);
    run.check(after.size() == before.size(), "the thread table is back to its size before the churn");
    std::printf("ThreadChurnStress: %ld threads started (%ld ended by themselves, %ld stopped while running, "
                "%ld destroyed at once); table %zu entries before, %zu after\n",
                totals.started.load(), totals.endedAlone.load(), totals.stopped.load(), totals.destroyed.load(),
                before.size(), after.size());
    return run.finish();
}
