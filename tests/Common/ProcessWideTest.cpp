#include "Src/Common/ProcessWide.h"

#include "support/Testing.h"

using namespace Orvane;
using Common::AtExit;
using Common::ProcessWide;

// What happened to the probes, in order; a plain buffer, so it is still there
// when the last exit handler prints it.
char g_events[256];

void note(const char* event, int serial) {
    const std::size_t used = std::strlen(g_events);
    std::snprintf(g_events + used, sizeof g_events - used, "%s%s%d", used == 0 ? "" : " ", event, serial);
}

template <AtExit Exit> struct Probe {
    static inline std::atomic<int> s_made{0};
    int serial = ++s_made;
    Probe() {
        note("made", serial);
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // widen the window for a second maker
    }
    ~Probe() { note("gone", serial); }
};

struct ShutProbe {
    template <typename T> void operator()(T* probe) const { note("shut", probe->serial); }
};

template <AtExit Exit>
using Wide =
    ProcessWide<Probe<Exit>, Exit, std::conditional_t<Exit == AtExit::shutDown, ShutProbe, Common::DeleteObject>>;

template <AtExit Exit> Probe<Exit>* probe() {
    return Wide<Exit>::instance([] { return new Probe<Exit>; });
}

// An exit handler registered before the object's, so it runs after it.
template <AtExit Exit> void lateUser() {
    const Probe<Exit>* late = probe<Exit>();
    note(late != nullptr ? "late" : "late-null", late != nullptr ? late->serial : 0);
}

template <AtExit Exit> void exitAfterFirstUse() {
    std::atexit(+[] { std::fprintf(stderr, "[%s]\n", g_events); });
    std::atexit(lateUser<Exit>);
    probe<Exit>();
    std::exit(0);
}

std::atomic<int> g_registered{0};

struct Refused {};
struct Accepted {};

// In a process of its own: every object exists once per process.
void registerThenRefuse() {
    Platform::redirectRegisterExitHandler(+[](Platform::ExitHandler) { return ++g_registered > 0; });
    ProcessWide<Accepted, AtExit::destroy>::instance([] { return new Accepted; });
    ProcessWide<Accepted, AtExit::never>::instance([] { return new Accepted; });
    std::fprintf(stderr, "registered %d\n", g_registered.load());
    Platform::redirectRegisterExitHandler(+[](Platform::ExitHandler) { return false; });
    Virad::setLogPrinter(Virad::TFunction1<void, const char*>(+[](const char* line) { std::fputs(line, stderr); }));
    Virad::setPrintLogLevel(Virad::LOG_INFO);
    const Refused* refused = ProcessWide<Refused, AtExit::destroy>::instance([] { return new Refused; });
    std::fprintf(stderr, "made %d\n", refused != nullptr ? 1 : 0);
    std::exit(0);
}

TEST(ProcessWideDeathTest, EachPolicyGivesItsExit) {
    Orvane::Testing::reexecuteDeathTests(); // a fresh process: the never policy's probe is made below
    EXPECT_EXIT(exitAfterFirstUse<AtExit::destroy>(), testing::ExitedWithCode(0),
                "\\[made1 gone1 made2 late2 gone2\\]");
    EXPECT_EXIT(exitAfterFirstUse<AtExit::retire>(), testing::ExitedWithCode(0), "\\[made1 gone1 late-null0\\]");
    EXPECT_EXIT(exitAfterFirstUse<AtExit::shutDown>(), testing::ExitedWithCode(0), "\\[made1 shut1 late1\\]");
    EXPECT_EXIT(exitAfterFirstUse<AtExit::never>(), testing::ExitedWithCode(0), "\\[made1 late1\\]");
}

TEST(ProcessWideTest, ConcurrentFirstUsesMakeOneObject) {
    std::atomic<int> ready{0};
    std::vector<Probe<AtExit::never>*> seen(8, nullptr);
    Testing::onThreads(8, [&](int t) {
        for (++ready; ready.load() < 8;) {
            std::this_thread::yield();
        }
        seen[t] = probe<AtExit::never>();
    });
    EXPECT_EQ(Probe<AtExit::never>::s_made.load(), 1);
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(seen, std::vector<Probe<AtExit::never>*>(8, seen[0]));
}

TEST(ProcessWideDeathTest, ARefusedExitHandlerIsReportedAtInfoLevel) {
    // One handler for the destroy policy, none for never; the refusal is one
    // line at level 4, and the object is made all the same.
    EXPECT_EXIT(registerThenRefuse(), testing::ExitedWithCode(0),
                "^registered 1\n\\[[0-9:]+ info Unknown [0-9]+ ProcessWide\\.h:[0-9]+\\]atexit failed!\nmade 1\n$");
}
