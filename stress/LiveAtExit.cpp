// A host that returns from main while the library is busy: periodic timers
// firing on pooled workers, their callbacks printing into an open, rotating
// log file and passing packets around, packets held by globals and by the
// heap, and a thread of the host listing a directory through the file layer
// as fast as it can. Run under a memory checker, the exit must be clean: no invalid
// access, no use of anything already destroyed, nothing definitely lost.
//
// The log directory is the first argument (a temporary one without).
#include "Dozuv2.h"
#include "support/LogControl.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Memory::CPacket;

namespace {

CPacket g_held;                 // destroyed by the exit sequence
std::vector<CPacket>* g_pooled; // reachable from a global, never freed
std::vector<CTimer*>* g_timers; // likewise, with every timer in it

void releaseBuffer(void* buffer, std::uint64_t) {
    delete[] static_cast<unsigned char*>(buffer);
}

struct Ticker {
    std::atomic<long> ticks{0};
    CPacket last;
    std::mutex mutex;

    void tick(unsigned long which) {
        const long n = ++ticks;
        CPacket packet(64 + which * 16, 8);
        packet.resize(32);
        Orvane::Virad::logInfo("tick %ld of timer %lu\n", n, which);
        std::lock_guard<std::mutex> lock(mutex);
        last = packet;
    }
};

// Reachable from a global and never destroyed: its timers may fire while the
// process ends.
Ticker* g_ticker = new Ticker;

// Runs until the process ends: the file layer must stay usable by threads
// that are still running while the exit handlers run.
void listForever(std::string pattern) {
    for (;;) {
        CFileFind find;
        if (find.findFile(pattern.c_str())) {
            while (find.findNextFile()) {
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / ("dozuv2-exit-" + std::to_string(getCurrectProcessID())))
                       .string();
    std::filesystem::create_directories(dir);
    Orvane::Testing::quietLibrary();
    Orvane::Testing::logFilterCommand({"-logpath", dir + "/exit.log"});
    Orvane::Testing::logFilterCommand({"-logsavesetting", "bysize", "1", "2"});

    // Timers owned by a heap object that is never deleted, and one owned by
    // a static that the exit sequence destroys.
    g_timers = new std::vector<CTimer*>;
    for (unsigned long i = 0; i < 4; ++i) {
        g_timers->push_back(new CTimer("exit"));
        g_timers->back()->start(CTimer::Proc(&Ticker::tick, g_ticker), 1, 2 + i, i);
    }
    static CTimer staticTimer("exit static");
    staticTimer.start(CTimer::Proc(&Ticker::tick, g_ticker), 1, 3, 9);

    std::thread(listForever, dir + "/*").detach();

    g_held = CPacket(1500, 16);
    g_pooled = new std::vector<CPacket>;
    for (int i = 0; i < 8; ++i) {
        g_pooled->emplace_back(100 + i * 100);
        g_pooled->emplace_back(new unsigned char[32], 32, CPacket::BufferProc(&releaseBuffer));
    }
    g_pooled->emplace_back(g_held, 10, 100);

    while (g_ticker->ticks.load() < 40) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("LiveAtExit: %ld callbacks so far; returning with %zu timers running, %zu packets held, the log "
                "file open\n",
                g_ticker->ticks.load(), g_timers->size() + 1, g_pooled->size() + 1);
    return 0;
}
