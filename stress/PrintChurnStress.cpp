// Four threads print numbered lines while a fifth attaches and detaches a
// printer as fast as it can, so the printer list changes under every line.
//
// A counting printer stays attached throughout. Checked: every line reaches
// it whole (one prefix, one body, one newline), each writer's lines arrive
// in the order written with none missing or doubled, and the total is the
// number of lines written.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "virad/PrintLog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace Orvane::Virad;
using Orvane::Testing::onThreads;

namespace {

constexpr int kWriters = 4;

std::atomic<long> g_received{0};
std::atomic<long> g_next[kWriters];
Stress::Run* g_run = nullptr;

bool count(const char* line) {
    const char* body = std::strchr(line, ']');
    int writer = -1;
    long number = -1;
    char end = 0;
    const bool whole = body != nullptr && std::strchr(body + 1, '[') == nullptr &&
                       std::sscanf(body + 1, "writer %d line %ld%c", &writer, &number, &end) == 3 && end == '\n' &&
                       std::strchr(line, '\n') == line + std::strlen(line) - 1;
    if (!whole || writer < 0 || writer >= kWriters) {
        g_run->check(false, std::string("a line reaches the printer whole: ") + line);
        return true;
    }
    const long expected = g_next[writer].fetch_add(1);
    if (number != expected) {
        g_run->check(false, "writer " + std::to_string(writer) + " line " + std::to_string(number) + " arrived as " +
                                std::to_string(expected));
    }
    ++g_received;
    return true;
}

bool ignore(const char*) {
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("PrintChurnStress", argc, argv);
    g_run = &run;
    const TFunction1<bool, const char*> counter(&count), churned(&ignore);
    attachPrint(counter);
    std::atomic<bool> stop{false};
    std::atomic<long> churns{0};
    std::thread churn([&] {
        while (!stop.load()) {
            attachPrint(churned);
            detachPrint(churned);
            ++churns;
        }
    });
    std::atomic<long> written{0};
    onThreads(kWriters, [&run, &written](int w) {
        for (long i = 0; run.running(); ++i) {
            Orvane::Virad::logInfo("writer %d line %ld\n", w, i);
            ++written;
        }
    });
    stop.store(true);
    churn.join();
    detachPrint(counter);
    run.check(g_received.load() == written.load(),
              "every line written was received exactly once: " + std::to_string(g_received.load()) + " of " +
                  std::to_string(written.load()));
    std::printf("PrintChurnStress: %ld lines from %d writers, %ld attach/detach pairs meanwhile\n", written.load(),
                kWriters, churns.load());
    return run.finish();
}
