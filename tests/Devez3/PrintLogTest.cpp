#include "virad/PrintLog.h"

#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
#include "support/PrintStateFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

namespace {

class PrintLogTest : public Orvane::Testing::PrintStateTest {
protected:
    static std::string tid() { return std::to_string(static_cast<int>(Orvane::Platform::currentThreadId())); }

    // Prints one info line from a fixed place and returns what was delivered.
    static std::string lineFor(const PrintOptions& o, const char* version) {
        CapturePrinter capture;
        setPrintOptions(o);
        logFilter(LOG_INFO, "Mod", "Src/Devez3/Thing.cpp", "void Thing::run()", 42, version, "msg\n");
        const auto lines = capture.lines();
        return lines.size() == 1 ? lines[0] : "<" + std::to_string(lines.size()) + " lines>";
    }
};

const std::string kTime = R"(\d\d:\d\d:\d\d )";

void dropLine(const char*) {}

// Keeps what it is given; may detach itself and attach another printer while it is called.
struct Recorder {
    std::vector<std::string> seen;
    Recorder* attachOnCall = nullptr;
    bool detachOnCall = false;
    bool onLine(const char* line) {
        seen.emplace_back(line);
        EXPECT_TRUE(!detachOnCall || detachPrint(printer()));
        EXPECT_TRUE(attachOnCall == nullptr || attachPrint(attachOnCall->printer()));
        attachOnCall = nullptr;
        return false;
    }
    TFunction1<bool, const char*> printer() { return TFunction1<bool, const char*>(&Recorder::onLine, this); }
};

} // namespace

TEST_F(PrintLogTest, LevelsAndModulesFilterAndDebugPrintsAsTrace) {
    CapturePrinter capture(true, 4);
    const struct {
        int printLevel, level;
        bool printed;
    } cases[] = {{4, 4, true},  {4, 5, false}, {4, 6, false},  {4, 3, true},  {5, 6, true}, {6, 6, true},
                 {0, 1, false}, {9, 0, false}, {9, -1, false}, {9, 7, false}, {1, 1, true}, {1, 2, false}};
    for (const auto& c : cases) {
        setPrintLogLevel(c.printLevel);
        capture.clear();
        const int n = logFilter(c.level, "M", "f", "fn", 1, "", "x\n");
        EXPECT_EQ(n > 0, c.printed) << "print level " << c.printLevel << " level " << c.level;
        EXPECT_EQ(capture.lines().size(), c.printed ? 1u : 0u);
        EXPECT_EQ(capture.text().find("trace M") != std::string::npos, c.printed && c.level >= 5) << "6 prints as 5";
    }
    setPrintLogLevel(4);
    EXPECT_GT(Orvane::Virad::logInfo("x\n"), 0);
    EXPECT_EQ(Orvane::Virad::logTrace("x\n") + Orvane::Virad::logDebug("x\n") + ::logDebug("x\n"), 0);
    setPrintLogLevel(0);
    EXPECT_EQ(Orvane::Virad::logFatal("x\n") + ::logFatal("x\n"), 0) << "print level 0 prints nothing";
    setPrintLogLevel(4);
    EXPECT_GT(::logWarn("global twin\n"), 0);
    EXPECT_EQ(logLibName(0, "Lib", "x\n") + logLibName(7, "Lib", "x\n"), 0) << "outside 1 to 6";
    capture.clear();
    EXPECT_GT(logLibName(LOG_ERROR, "Lib", "x\n"), 0);
    const std::string libLine = capture.text();
    EXPECT_TRUE(std::regex_match(libLine, std::regex(R"(\[)" + kTime + "error Lib " + tid() + R"( Unknown:0\]x\n)")))
        << libLine;

    // Module switches: a module not in the table counts as on; mode 2 ignores the table, mode 0 prints nothing.
    Detail::setModuleSwitch("Quiet", false);
    Detail::setModuleSwitch("Loud", true);
    const struct {
        int mode;
        bool inUse;
        const char* module;
        bool printed;
    } modules[] = {{1, true, "Quiet", false}, {1, true, "Loud", true},  {1, true, "Unlisted", true},
                   {1, true, nullptr, true},  {2, true, "Quiet", true}, {1, false, "Quiet", true},
                   {0, false, "Loud", false}, {1, true, "Quiet", false}};
    for (const auto& c : modules) {
        Detail::setModuleSwitchMode(c.mode);
        Detail::setModuleSwitchTableInUse(c.inUse);
        EXPECT_EQ(logFilter(LOG_FATAL, c.module, "f", "", 1, "", "x\n") > 0, c.printed)
            << "mode " << c.mode << " " << (c.module ? c.module : "(null)");
    }
}

TEST_F(PrintLogTest, PrefixLayouts) {
    // Literal text, except that T stands for the time "hh:mm:ss " and # for the thread id.
    using P = PrintOptions;
    const struct {
        PrintOptions options;
        const char* version;
        const char* expected;
    } cases[] = {
        {{}, "Unknown", "[Tinfo Mod # Thing.cpp:42]"},
        {{}, "", "[Tinfo Mod # Thing.cpp:42]"},
        {{}, nullptr, "[Tinfo Mod # Thing.cpp:42]"},
        {{}, "2.1", "[Tinfo Mod:2.1 # Thing.cpp:42]"},
        {options({&P::hideTime}), "v", "[ info Mod:v # Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideVersion}), "v", "[ info Mod # Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideVersion, &P::hideModule}), "v", "[ info # Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideModule}), "v", "[ info :v # Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideLevel}), "", "[ Mod # Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideThreadId}), "", "[ info Mod Thing.cpp:42]"},
        {options({&P::hideTime, &P::hideFile}), "", "[ info Mod # 42]"},
        {options({&P::hideTime, &P::hideLine}), "", "[ info Mod # Thing.cpp:]"},
        {options({&P::hideTime, &P::showFunction}), "", "[ info Mod # Thing.cpp:42 void Thing::run()]"},
        {options({&P::hideTime, &P::tagged}), "", "[|T:  L:info |[Mod] [ver:] tid:# F:Thing.cpp|l:42|m:]"},
        {options({&P::hideTime, &P::tagged, &P::showFunction}), "3",
         "[|T:  L:info |[Mod] [ver:3] tid:# F:Thing.cpp|l:42|f:void Thing::run()|m:]"},
        {options({&P::hideTime, &P::tagged, &P::hideVersion, &P::hideModule}), "3",
         "[|T:  L:info |tid:# F:Thing.cpp|l:42|m:]"},
        {options({&P::tagged}), "Unknown", "[|T: TL:info |[Mod] [ver:Unknown] tid:# F:Thing.cpp|l:42|m:]"},
    };
    for (const auto& c : cases) {
        std::string pattern;
        for (const char* p = c.expected; *p != '\0'; ++p) {
            const bool time = *p == 'T' && (p[1] == 'i' || p[1] == 'L');
            pattern += time                        ? kTime
                       : *p == '#'                 ? tid()
                       : std::strchr("[]|().", *p) ? std::string("\\") + *p
                                                   : std::string(1, *p);
        }
        const std::string line = lineFor(c.options, c.version);
        EXPECT_TRUE(std::regex_match(line, std::regex(pattern + "msg\n"))) << line << " is not " << c.expected;
    }
    // Milliseconds and date.
    P both = options({&P::showMilliseconds, &P::showDate});
    EXPECT_TRUE(
        std::regex_match(lineFor(both, ""), std::regex(R"(\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d\d\d info Mod .*\n)")))
        << lineFor(both, "");
}

TEST_F(PrintLogTest, FileNamesLineCutAndTwoPartLines) {
    CapturePrinter capture;
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    logFilter(LOG_INFO, "M", "a/b/c.cpp", "", 1, "", "x\n");
    logFilter(LOG_INFO, "M", "dir\\win.cpp", "", 3, "", "x\n");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[ info M c.cpp:1]x\n", "[ info M dir\\win.cpp:3]x\n"}))
        << "cut at the host's separator only";

    // A line longer than the buffer is cut at 8191 characters and counts as ended.
    capture.clear();
    EXPECT_EQ(Orvane::Virad::logInfo("%s", std::string(10000, 'x').c_str()), 8191);
    EXPECT_EQ(capture.text().size() * Detail::g_lineStart.load(), 8191u);
    const std::size_t prefix = static_cast<std::size_t>(Orvane::Virad::logInfo("\n") - 1);
    EXPECT_EQ(Orvane::Virad::logInfo("%s", std::string(8191 - prefix, 'x').c_str()), 8191) << "exactly full";
    EXPECT_EQ(Orvane::Virad::logInfo("%s\n", std::string(8191 - prefix, 'x').c_str()), 8191) << "newline cut off";
    EXPECT_EQ(Orvane::Virad::logInfo("%s\n", std::string(8190 - prefix - 1, 'x').c_str()), 8190) << "one short";

    // Two calls without a newline between them: one prefix, the colour kept until the line ends.
    capture.clear();
    auto console = Orvane::Platform::standardOutputHandle();
    Orvane::Platform::setConsoleTextAttribute(console, 7);
    setPrintOptions(options({&PrintOptions::hideTime}));
    const int first = Orvane::Virad::logWarn("first half, ");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 6) << "warning colour while the line is open";
    const int second = Orvane::Virad::logWarn("second half\n");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 7) << "colour restored once the line ended";
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"[ warn Unknown " + tid() + " Unknown:0]first half, ", "second half\n"}));
    EXPECT_EQ(first + second, static_cast<int>(capture.text().size()));
    setPrintOptions(options({&PrintOptions::noColor}));
    Orvane::Virad::logError("no colour\n");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 7);
}

TEST_F(PrintLogTest, PrintersAttachOnceAndMayChangeTheListWhileCalled) {
    CapturePrinter quiet;
    Recorder a, b;
    EXPECT_TRUE(attachPrint(a.printer()));
    EXPECT_FALSE(attachPrint(a.printer())) << "an equal printer is attached only once";
    Orvane::Virad::logInfo("one\n");
    a.detachOnCall = true;
    a.attachOnCall = &b;
    Orvane::Virad::logInfo("two\n");
    Orvane::Virad::logInfo("three\n");
    EXPECT_EQ(a.seen.size(), 2u) << "a printer that detaches itself still sees the current line";
    ASSERT_EQ(b.seen.size(), 1u) << "one attached during a line sees the lines after it";
    EXPECT_NE(b.seen[0].find("three"), std::string::npos);
    EXPECT_TRUE(!detachPrint(a.printer()) && detachPrint(b.printer()));

    // The log printer replaces the console; an empty one restores it.
    static std::vector<std::string> logged;
    logged.clear();
    setLogPrinter(TFunction1<void, const char*>(+[](const char* line) { logged.emplace_back(line); }));
    testing::internal::CaptureStdout();
    Orvane::Virad::logInfo("to the log printer\n");
    setLogPrinter(TFunction1<void, const char*>());
    Orvane::Virad::logInfo("to the console\n");
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(logged.size() == 1 ? logged[0].substr(logged[0].find(']') + 1) : "", "to the log printer\n");
    EXPECT_EQ(console.substr(console.find(']') + 1), "to the console\n");
}

TEST_F(PrintLogTest, CTwinPrintsToTheConsoleOnly) {
    Recorder r;
    attachPrint(r.printer());
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    Detail::setModuleSwitch("Off", false);
    Detail::setModuleSwitchTableInUse(true);
    Detail::setModuleSwitchMode(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "dropped\n"), 0) << "6 is above print level 4";
    setPrintLogLevel(5);
    const int printed = Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "c twin %d\n", 5);
    const std::string shown = testing::internal::GetCapturedStdout();
    detachPrint(r.printer());
    EXPECT_EQ(shown, "[ trace Off y.c:9]c twin 5\n") << "no module switches; version passed unchanged";
    EXPECT_EQ(printed, static_cast<int>(shown.size()));
    EXPECT_TRUE(r.seen.empty()) << "attached printers are not called";
}

TEST_F(PrintLogTest, PrefixBuilderAndOptionCopies) {
    char buffer[64];
    SystemTimeEx time = {};
    time.reserved[2] = 99;
    PrintOptions o = options({&PrintOptions::hideTime, &PrintOptions::noColor, &PrintOptions::hideThreadId});
    o.reserved[0] = 0xAB;
    o.reserved[18] = 0xCD;
    setPrintOptions(o);
    const int n = Virad_logOptionControl(buffer, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", &time);
    EXPECT_EQ(std::string(buffer, n), "[ error M f.c:3]");
    EXPECT_TRUE(time.year >= 2024 && time.millisecond <= 999 && time.reserved[2] == 0) << "the time is stored";
    EXPECT_EQ(Virad_logOptionControl(buffer, 5, LOG_ERROR, "Module", "f.c", "fn", 3, "", nullptr), 5);
    EXPECT_EQ(std::string(buffer), "[ err") << "pieces are cut to the room";
    EXPECT_EQ(Virad_logOptionControl(nullptr, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", nullptr), -1);
    Detail::g_lineStart.store(false);
    EXPECT_EQ(Virad_logOptionControl(buffer, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", &time), 0);

    const unsigned char* flags = Virad_getPrintOption();
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(std::vector<int>(flags, flags + 13), (std::vector<int>{1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    PrintOptions back = {};
    EXPECT_EQ(getPrintOptions(&back), 0);
    EXPECT_EQ(std::memcmp(&back, &o, sizeof o), 0) << "reserved bytes round-trip";
}

TEST_F(PrintLogTest, StatisticsCountWholeLinesAndSaturateAt32Bits) {
    CapturePrinter capture;
    Detail::setLogStatisticsEnabled(true);
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    // "[ info Stats f:1]" is 17 characters: lines of 40 and 60.
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(22, 'a').c_str());
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(42, 'b').c_str());
    logFilter(LOG_INFO, "", "f", "", 1, "", "no module\n");
    Detail::setLogStatisticsEnabled(false);
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "not counted\n");
    auto stats = getLogStatistics();
    EXPECT_EQ(stats.size(), 1u) << "lines without a module are not counted";
    EXPECT_EQ(stats["Stats"].printedBytes * 10 + stats["Stats"].reserved, 1000u);

    // Full lines until the count passes 2^32 - 1 (about half a million lines).
    Detail::setLogStatisticsEnabled(true);
    setLogPrinter(TFunction1<void, const char*>(&dropLine));
    detachPrint(capture.printer());
    const std::string big(8191, 'z');
    for (std::uint64_t i = 0; i < 4294967295ULL / 8191 + 2; ++i) {
        logFilter(LOG_INFO, "Big", "f", "", 1, "", "%s", big.c_str());
    }
    EXPECT_EQ(getLogStatistics()["Big"].printedBytes, 4294967295ULL);
}

TEST_F(PrintLogTest, ConcurrentPrintingAndPrinterChurnLoseNothing) {
    CapturePrinter capture;
    std::atomic<bool> stop{false};
    // A printer may be called on a copy of the list just after it was
    // detached, so the churned printer outlives every writer.
    static std::atomic<int> calls{0};
    const TFunction1<bool, const char*> churned(+[](const char*) { return ++calls > 0; });
    std::thread churn([&] {
        while (!stop.load()) {
            attachPrint(churned);
            detachPrint(churned);
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([w] {
            for (int i = 0; i < 500; ++i) {
                Orvane::Virad::logInfo("writer %d line %d\n", w, i);
            }
        });
    }
    std::for_each(writers.begin(), writers.end(), [](std::thread& t) { t.join(); });
    stop.store(true);
    churn.join();
    const auto lines = capture.lines();
    EXPECT_EQ(lines.size(), 2000u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.back() == '\n'; }), 2000)
        << "no line was torn";
}
