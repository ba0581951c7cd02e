#include "virad/PrintLog.h"

#include "Devez3/PrintState.h"
#include "Platform/Platform.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

namespace {

// Every test starts from the default print state with a fresh line.
class PrintLogTest : public ::testing::Test {
protected:
    void SetUp() override { resetState(); }
    void TearDown() override { resetState(); }

    static void resetState() {
        setPrintOptions(PrintOptions{});
        setPrintLogLevel(4);
        Detail::setModuleSwitchMode(2);
        Detail::clearModuleSwitches();
        Detail::setModuleSwitchTableInUse(false);
        Detail::setLogStatisticsEnabled(false);
        Detail::clearLogStatistics();
        Detail::g_lineStart.store(true);
        setLogPrinter(TFunction1<void, const char*>());
    }

    static PrintOptions options(std::initializer_list<unsigned char PrintOptions::*> flags) {
        PrintOptions o = {};
        for (auto flag : flags) {
            o.*flag = 1;
        }
        return o;
    }

    static std::string tid() { return std::to_string(static_cast<int>(Orvane::Platform::currentThreadId())); }

    // Prints one info line from a fixed place and returns what was delivered.
    static std::string lineFor(const PrintOptions& o, const char* version, const char* module = "Mod") {
        CapturePrinter capture;
        setPrintOptions(o);
        logFilter(LOG_INFO, module, "Src/Devez3/Thing.cpp", "void Thing::run()", 42, version, "msg\n");
        const auto lines = capture.lines();
        return lines.size() == 1 ? lines[0] : std::string("<") + std::to_string(lines.size()) + " lines>";
    }
};

const std::string kTime = R"(\d\d:\d\d:\d\d )";

void dropLine(const char*) {}

void expectMatches(const std::string& line, const std::string& pattern) {
    EXPECT_TRUE(std::regex_match(line, std::regex(pattern))) << "line:    " << line << "pattern: " << pattern;
}

} // namespace

TEST_F(PrintLogTest, LevelsFilterAndDebugPrintsAsTrace) {
    CapturePrinter capture(true, 4);
    EXPECT_GT(Orvane::Virad::logInfo("info\n"), 0);
    EXPECT_EQ(Orvane::Virad::logTrace("trace\n"), 0);
    EXPECT_EQ(Orvane::Virad::logDebug("debug\n"), 0);
    EXPECT_GT(::logWarn("global warn\n"), 0) << "the global twins print too";

    setPrintLogLevel(6);
    capture.clear();
    EXPECT_GT(Orvane::Virad::logDebug("debug\n"), 0);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.lines()[0].find("trace Unknown"), std::string::npos) << capture.lines()[0];

    setPrintLogLevel(5);
    capture.clear();
    EXPECT_GT(logFilter(6, "M", "f", "fn", 1, "", "six\n"), 0) << "level 6 passes print level 5 as level 5";

    setPrintLogLevel(0);
    EXPECT_EQ(Orvane::Virad::logFatal("fatal\n"), 0);
    EXPECT_EQ(logFilter(0, "M", "f", "fn", 1, "", "level zero\n"), 0);
    setPrintLogLevel(9);
    EXPECT_EQ(logFilter(-1, "M", "f", "fn", 1, "", "negative level\n"), 0);
    EXPECT_EQ(logFilter(7, "M", "f", "fn", 1, "", "level seven\n"), 0);
    EXPECT_EQ(capture.lines().size(), 1u);

    EXPECT_EQ(logLibName(0, "Lib", "x\n"), 0);
    EXPECT_EQ(logLibName(7, "Lib", "x\n"), 0);
    capture.clear();
    EXPECT_GT(logLibName(LOG_ERROR, "Lib", "x\n"), 0);
    ASSERT_EQ(capture.lines().size(), 1u);
    expectMatches(capture.lines()[0], R"(\[)" + kTime + "error Lib " + tid() + R"( Unknown:0\]x\n)");
}

TEST_F(PrintLogTest, PlainPrefixLayouts) {
    const std::string t = tid();
    expectMatches(lineFor({}, "Unknown"), R"(\[)" + kTime + "info Mod " + t + R"( Thing.cpp:42\]msg\n)");
    expectMatches(lineFor({}, ""), R"(\[)" + kTime + "info Mod " + t + R"( Thing.cpp:42\]msg\n)");
    expectMatches(lineFor({}, "2.1"), R"(\[)" + kTime + "info Mod:2.1 " + t + R"( Thing.cpp:42\]msg\n)");
    expectMatches(lineFor({}, nullptr), R"(\[)" + kTime + "info Mod " + t + R"( Thing.cpp:42\]msg\n)");

    EXPECT_EQ(lineFor(options({&PrintOptions::hideTime}), "v"), "[ info Mod:v " + t + " Thing.cpp:42]msg\n");
    expectMatches(lineFor(options({&PrintOptions::showMilliseconds}), "v"),
                  R"(\[\d\d:\d\d:\d\d\.\d\d\d info Mod:v )" + t + R"( Thing.cpp:42\]msg\n)");
    expectMatches(lineFor(options({&PrintOptions::showDate}), "v"),
                  R"(\[\d{4}-\d\d-\d\dT)" + kTime + "info Mod:v " + t + R"( Thing.cpp:42\]msg\n)");

    const auto hideTime = &PrintOptions::hideTime;
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideVersion}), "v"), "[ info Mod " + t + " Thing.cpp:42]msg\n")
        << "a hidden version leaves one blank after the module";
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideVersion, &PrintOptions::hideModule}), "v"),
              "[ info " + t + " Thing.cpp:42]msg\n")
        << "no extra blank when module and version are both hidden";
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideModule}), "v"), "[ info :v " + t + " Thing.cpp:42]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideLevel}), ""), "[ Mod " + t + " Thing.cpp:42]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideThreadId}), ""), "[ info Mod Thing.cpp:42]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideFile}), ""), "[ info Mod " + t + " 42]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::hideLine}), ""), "[ info Mod " + t + " Thing.cpp:]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, &PrintOptions::showFunction}), ""),
              "[ info Mod " + t + " Thing.cpp:42 void Thing::run()]msg\n");
}

TEST_F(PrintLogTest, TaggedPrefixLayouts) {
    const std::string t = tid();
    const auto hideTime = &PrintOptions::hideTime;
    const auto tagged = &PrintOptions::tagged;
    EXPECT_EQ(lineFor(options({hideTime, tagged}), ""),
              "[|T:  L:info |[Mod] [ver:] tid:" + t + " F:Thing.cpp|l:42|m:]msg\n")
        << "an empty version still gets its tag";
    EXPECT_EQ(lineFor(options({hideTime, tagged, &PrintOptions::showFunction}), "3"),
              "[|T:  L:info |[Mod] [ver:3] tid:" + t + " F:Thing.cpp|l:42|f:void Thing::run()|m:]msg\n");
    EXPECT_EQ(lineFor(options({hideTime, tagged, &PrintOptions::hideVersion, &PrintOptions::hideModule}), "3"),
              "[|T:  L:info |tid:" + t + " F:Thing.cpp|l:42|m:]msg\n");
    expectMatches(lineFor(options({tagged}), "Unknown"), R"(\[\|T: )" + kTime +
                                                             R"(L:info \|\[Mod\] \[ver:Unknown\] tid:)" + t +
                                                             R"( F:Thing.cpp\|l:42\|m:\]msg\n)");
}

TEST_F(PrintLogTest, FileNameIsCutAtTheHostSeparator) {
    CapturePrinter capture;
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    logFilter(LOG_INFO, "M", "a/b/c.cpp", "", 1, "", "x\n");
    logFilter(LOG_INFO, "M", "plain.cpp", "", 2, "", "x\n");
    logFilter(LOG_INFO, "M", "dir\\win.cpp", "", 3, "", "x\n");
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[ info M c.cpp:1]x\n");
    EXPECT_EQ(lines[1], "[ info M plain.cpp:2]x\n");
    EXPECT_EQ(lines[2], "[ info M dir\\win.cpp:3]x\n") << "a backslash is no separator on this host";
}

TEST_F(PrintLogTest, ALineBuiltByTwoCallsHasOnePrefixAndKeepsItsColourUntilEnded) {
    CapturePrinter capture;
    auto console = Orvane::Platform::standardOutputHandle();
    Orvane::Platform::setConsoleTextAttribute(console, 7);
    setPrintOptions(options({&PrintOptions::hideTime}));

    const int first = Orvane::Virad::logWarn("first half, ");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 6) << "warning colour while the line is open";
    const int second = Orvane::Virad::logWarn("second half\n");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 7) << "colour restored once the line ended";

    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[ warn Unknown " + tid() + " Unknown:0]first half, ");
    EXPECT_EQ(lines[1], "second half\n");
    EXPECT_EQ(first, static_cast<int>(lines[0].size()));
    EXPECT_EQ(second, static_cast<int>(lines[1].size()));

    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::noColor}));
    Orvane::Virad::logError("no colour\n");
    EXPECT_EQ(Orvane::Platform::consoleTextAttribute(console), 7);
}

TEST_F(PrintLogTest, OverlongLinesAreCutAtTheBuffer) {
    CapturePrinter capture;
    const std::string longText(10000, 'x');
    const int length = Orvane::Virad::logInfo("%s", longText.c_str());
    EXPECT_EQ(length, Detail::kLineRoom);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].size(), static_cast<size_t>(Detail::kLineRoom));
    EXPECT_TRUE(Detail::g_lineStart.load()) << "a full buffer counts as an ended line";
    capture.clear();
    Orvane::Virad::logInfo("next\n");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].front(), '[');
}

TEST_F(PrintLogTest, ModuleSwitchesAndModes) {
    CapturePrinter capture;
    Detail::setModuleSwitch("Quiet", false);
    Detail::setModuleSwitch("Loud", true);
    Detail::setModuleSwitchTableInUse(true);
    Detail::setModuleSwitchMode(1);
    EXPECT_EQ(logFilter(LOG_INFO, "Quiet", "f", "", 1, "", "x\n"), 0);
    EXPECT_GT(logFilter(LOG_INFO, "Loud", "f", "", 1, "", "x\n"), 0);
    EXPECT_GT(logFilter(LOG_INFO, "Unlisted", "f", "", 1, "", "x\n"), 0) << "modules not in the table count as on";
    EXPECT_GT(logFilter(LOG_INFO, nullptr, "f", "", 1, "", "x\n"), 0);

    Detail::setModuleSwitchMode(2);
    EXPECT_GT(logFilter(LOG_INFO, "Quiet", "f", "", 1, "", "x\n"), 0) << "mode 2 ignores the switches";
    Detail::setModuleSwitchMode(1);
    EXPECT_EQ(logFilter(LOG_INFO, "Quiet", "f", "", 1, "", "x\n"), 0) << "the switch was kept";
    Detail::setModuleSwitchTableInUse(false);
    EXPECT_GT(logFilter(LOG_INFO, "Quiet", "f", "", 1, "", "x\n"), 0) << "a table not in use is not consulted";

    Detail::setModuleSwitchMode(0);
    EXPECT_EQ(Orvane::Virad::logFatal("x\n"), 0);
    EXPECT_EQ(capture.lines().size(), 5u);
}

namespace {

struct Recorder {
    std::vector<std::string> seen;
    bool detachOnCall = false;
    bool attachOtherOnCall = false;
    Recorder* other = nullptr;

    bool onLine(const char* line) {
        seen.emplace_back(line);
        if (detachOnCall) {
            EXPECT_TRUE(detachPrint(TFunction1<bool, const char*>(&Recorder::onLine, this)));
        }
        if (attachOtherOnCall && other != nullptr) {
            attachOtherOnCall = false;
            EXPECT_TRUE(attachPrint(TFunction1<bool, const char*>(&Recorder::onLine, other)));
        }
        return false;
    }
    TFunction1<bool, const char*> printer() { return TFunction1<bool, const char*>(&Recorder::onLine, this); }
};

std::vector<std::string> g_logPrinterLines;
void logPrinter(const char* line) {
    g_logPrinterLines.emplace_back(line);
}

} // namespace

TEST_F(PrintLogTest, PrintersAttachOnceAndMayDetachThemselvesWhileCalled) {
    CapturePrinter quiet;
    Recorder a;
    Recorder b;
    EXPECT_TRUE(attachPrint(a.printer()));
    EXPECT_FALSE(attachPrint(a.printer())) << "an equal printer is attached only once";
    Orvane::Virad::logInfo("one\n");
    EXPECT_EQ(a.seen.size(), 1u);

    a.detachOnCall = true;
    a.attachOtherOnCall = true;
    a.other = &b;
    Orvane::Virad::logInfo("two\n");
    EXPECT_EQ(a.seen.size(), 2u) << "a printer that detaches itself still sees the current line";
    EXPECT_TRUE(b.seen.empty()) << "a printer attached during a line sees the lines after it";
    Orvane::Virad::logInfo("three\n");
    EXPECT_EQ(a.seen.size(), 2u);
    ASSERT_EQ(b.seen.size(), 1u);
    EXPECT_NE(b.seen[0].find("three"), std::string::npos);

    EXPECT_FALSE(detachPrint(a.printer()));
    EXPECT_TRUE(detachPrint(b.printer()));
    EXPECT_FALSE(detachPrint(b.printer()));
}

TEST_F(PrintLogTest, TheLogPrinterReplacesTheConsole) {
    g_logPrinterLines.clear();
    setLogPrinter(TFunction1<void, const char*>(&logPrinter));
    testing::internal::CaptureStdout();
    Orvane::Virad::logInfo("to the log printer\n");
    setLogPrinter(TFunction1<void, const char*>());
    Orvane::Virad::logInfo("to the console\n");
    const std::string console = testing::internal::GetCapturedStdout();
    ASSERT_EQ(g_logPrinterLines.size(), 1u);
    EXPECT_NE(g_logPrinterLines[0].find("to the log printer"), std::string::npos);
    EXPECT_EQ(console.find("to the log printer"), std::string::npos);
    EXPECT_NE(console.find("to the console"), std::string::npos);
}

TEST_F(PrintLogTest, CTwinPrintsToTheConsoleOnly) {
    Recorder r;
    attachPrint(r.printer());
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    Detail::setModuleSwitch("Off", false);
    Detail::setModuleSwitchTableInUse(true);
    Detail::setModuleSwitchMode(1);
    testing::internal::CaptureStdout();
    const int length = Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "c twin %d\n", 5);
    const int dropped = Virad_logFilter(LOG_TRACE, "Off", "x/y.c", "f", 9, "", "dropped\n");
    const std::string console = testing::internal::GetCapturedStdout();
    detachPrint(r.printer());
    EXPECT_EQ(dropped, 0) << "trace is above print level 4";
    EXPECT_EQ(length, 0) << "level 6 is trace, above print level 4";

    setPrintLogLevel(5);
    testing::internal::CaptureStdout();
    const int printed = Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "c twin %d\n", 5);
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(shown, "[ trace Off y.c:9]c twin 5\n") << "module switches do not apply; version passed unchanged";
    EXPECT_EQ(printed, static_cast<int>(shown.size()));
    EXPECT_TRUE(r.seen.empty()) << "attached printers are not called";
    EXPECT_TRUE(console.empty());
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
    EXPECT_GE(time.year, 2000);
    EXPECT_GE(time.month, 1);
    EXPECT_LE(time.millisecond, 999);
    EXPECT_EQ(time.reserved[2], 0);

    EXPECT_EQ(Virad_logOptionControl(buffer, 5, LOG_ERROR, "Module", "f.c", "fn", 3, "", nullptr), 5)
        << "pieces are cut to the room";
    EXPECT_EQ(std::string(buffer), "[ err");

    Detail::g_lineStart.store(false);
    EXPECT_EQ(Virad_logOptionControl(buffer, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", &time), 0);
    Detail::g_lineStart.store(true);
    EXPECT_EQ(Virad_logOptionControl(nullptr, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", nullptr), -1);

    const unsigned char* flags = Virad_getPrintOption();
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 1);
    EXPECT_EQ(flags[2], 0);
    EXPECT_EQ(flags[4], 1);
    PrintOptions back = {};
    EXPECT_EQ(getPrintOptions(&back), 0);
    EXPECT_EQ(std::memcmp(&back, &o, sizeof o), 0) << "reserved bytes round-trip";
}

TEST_F(PrintLogTest, StatisticsCountWholeLinesAndSaturateAt32Bits) {
    CapturePrinter capture;
    Detail::setLogStatisticsEnabled(true);
    setPrintOptions(options({&PrintOptions::hideTime, &PrintOptions::hideThreadId}));
    // "[ info Stats f:1]" is 17 characters.
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(22, 'a').c_str());
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(42, 'b').c_str());
    logFilter(LOG_INFO, "", "f", "", 1, "", "no module\n");
    auto stats = getLogStatistics();
    ASSERT_EQ(stats.count("Stats"), 1u);
    EXPECT_EQ(stats["Stats"].printedBytes, 100u);
    EXPECT_EQ(stats["Stats"].reserved, 0u);
    EXPECT_EQ(stats.count(""), 0u) << "lines without a module are not counted";

    Detail::setLogStatisticsEnabled(false);
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "not counted\n");
    EXPECT_EQ(getLogStatistics()["Stats"].printedBytes, 100u);

    // Full lines until the count passes 2^32 - 1, delivered to a printer that
    // drops them (half a million lines of 8 KB).
    Detail::setLogStatisticsEnabled(true);
    setLogPrinter(TFunction1<void, const char*>(&dropLine));
    detachPrint(capture.printer());
    const std::string big(Detail::kLineRoom, 'z');
    const std::uint64_t perLine = Detail::kLineRoom;
    const std::uint64_t needed = 4294967295ULL / perLine + 2;
    for (std::uint64_t i = 0; i < needed; ++i) {
        logFilter(LOG_INFO, "Big", "f", "", 1, "", "%s", big.c_str());
    }
    EXPECT_EQ(getLogStatistics()["Big"].printedBytes, 4294967295ULL);
}

TEST_F(PrintLogTest, ConcurrentPrintingAndPrinterChurnLoseNothing) {
    CapturePrinter capture;
    setPrintOptions(options({&PrintOptions::hideTime}));
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    std::atomic<bool> stop{false};
    // A printer may still be called on a copy of the list just after it was
    // detached, so the churned printer outlives every writer.
    struct Tally {
        std::atomic<int> calls{0};
        bool onLine(const char*) {
            calls.fetch_add(1);
            return true;
        }
    } tally;
    const TFunction1<bool, const char*> churned(&Tally::onLine, &tally);
    std::thread churn([&] {
        while (!stop.load()) {
            attachPrint(churned);
            detachPrint(churned);
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kThreads; ++w) {
        writers.emplace_back([w] {
            for (int i = 0; i < kLines; ++i) {
                Orvane::Virad::logInfo("writer %d line %d\n", w, i);
            }
        });
    }
    for (auto& t : writers) {
        t.join();
    }
    stop.store(true);
    churn.join();
    const auto lines = capture.lines();
    EXPECT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    for (const auto& line : lines) {
        ASSERT_EQ(line.back(), '\n') << line;
    }
}
