// Test helper: a well-behaved worker thread. It loops while asked to,
// counting its runs; it can be made to linger after a stop request, to
// destroy itself from inside, and it tells whether two runs ever overlapped.
#ifndef DOZUV2_TESTS_SUPPORT_THREADSUPPORT_H
#define DOZUV2_TESTS_SUPPORT_THREADSUPPORT_H

#include "support/Testing.h"
#include "virad/Thread.h"

namespace Orvane {
namespace Testing {

class Worker : public Virad::CThread {
public:
    explicit Worker(const char* name = "Worker", int priority = 64, int policy = 0, int stackSize = 0)
        : CThread(name, priority, policy, stackSize) {}
    ~Worker() override { destroyThread(); }

    // The current run's id, once the body stored it.
    int runId() {
        eventually([&] { return getThreadID() != -1; });
        return getThreadID();
    }
    // Starts a run (which must succeed) and returns its id.
    int start() {
        EXPECT_TRUE(createThread());
        return runId();
    }

    std::atomic<int> runs{0}, inside{0}, lingerMs{0}, selfDestroyResult{-1};
    std::atomic<bool> overlapped{false}, finished{false}, destroySelf{false};

private:
    void threadProc() override {
        overlapped = overlapped || inside.fetch_add(1) != 0;
        finished = false;
        runs.fetch_add(1);
        selfDestroyResult = destroySelf ? destroyThread() : -1;
        while (looping()) {
            CThread::sleep(1);
        }
        CThread::sleep(lingerMs.load());
        finished = true;
        inside.fetch_sub(1);
    }
};

} // namespace Testing
} // namespace Orvane

#endif
