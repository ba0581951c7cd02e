#include "virad/PrintLog.h"

#include "Src/Platform/Platform.h"
#include "support/PrintStateFixture.h"
#include "support/Testing.h"

#include <regex>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
using P = PrintOptions;

using PrintLogTest = PrintStateTest;

std::string tid() {
    return std::to_string(static_cast<int>(Orvane::Platform::currentThreadId()));
}

// What one call printed; the count it returned must be the printed length.
template <typename Print> std::string printed(Print print) {
    CapturePrinter capture(true, getPrintLogLevel());
    const int n = print();
    EXPECT_EQ(static_cast<std::size_t>(n), capture.text().size()) << capture.text();
    return capture.text();
}

std::string filtered(int level, const char* module, const char* file = "f") {
    return printed([&] { return logFilter(level, module, file, "fn", 1, "", "x\n"); });
}

// Keeps what it is given; may detach itself and attach another printer while it is called.
struct Recorder {
    Lines seen;
    Recorder* attachOnCall = nullptr;
    bool onLine(const char* line) {
        seen.emplace_back(line);
        if (attachOnCall != nullptr) {
            EXPECT_TRUE(detachPrint(printer()));
            EXPECT_TRUE(attachPrint(attachOnCall->printer()));
            attachOnCall = nullptr;
        }
        return false;
    }
    TFunction1<bool, const char*> printer() { return TFunction1<bool, const char*>(&Recorder::onLine, this); }
};

TEST_F(PrintLogTest, LevelsModulesAndWrappersFilter) {
    setPrintOptions(options({&P::hideTime, &P::hideThreadId}));
    // Print level, level, the level's name in what is printed ("" for nothing): debug prints as trace; 0 and levels
    // outside 1 to 6 print nothing.
    const std::tuple<int, int, std::string> levels[] = {{4, 4, "info"},  {4, 5, ""},     {4, 6, ""}, {4, 3, "warn"},
                                                        {5, 6, "trace"}, {0, 1, ""},     {9, 0, ""}, {9, 7, ""},
                                                        {1, 2, ""},      {1, 1, "fatal"}};
    for (const auto& [printLevel, level, name] : levels) {
        setPrintLogLevel(printLevel);
        EXPECT_EQ(filtered(level, "M"), name.empty() ? name : "[ " + name + " M f:1]x\n") << printLevel << " " << level;
    }
    setPrintLogLevel(4);
    EXPECT_EQ(printed([] { return logLibName(LOG_ERROR, "Lib", "x\n"); }), "[ error Lib Unknown:0]x\n");
    // Cut at the host's separators only: a backslash is one on Windows, a plain character here.
    EXPECT_EQ(filtered(LOG_INFO, "M", "dir\\win.cpp"),
              Orvane::Platform::isPathSeparator('\\') ? "[ info M win.cpp:1]x\n" : "[ info M dir\\win.cpp:1]x\n");
    EXPECT_GT(Orvane::Virad::logInfo("x\n"), 0);
    EXPECT_GT(::logWarn("x\n"), 0);
    EXPECT_GT(::logError("x\n"), 0);
    EXPECT_EQ(std::vector<int>({Orvane::Virad::logTrace("x\n"), Orvane::Virad::logDebug("x\n"), ::logDebug("x\n"),
                                logLibName(0, "Lib", "x\n"), logLibName(7, "Lib", "x\n")}),
              std::vector<int>(5, 0));
    setPrintLogLevel(0);
    EXPECT_EQ(std::vector<int>({Orvane::Virad::logFatal("x\n"), ::logFatal("x\n")}), std::vector<int>({0, 0}));

    // Mode, table in use, module, printed: a module not in the table counts as on; mode 2 ignores the table.
    Detail::setModuleSwitch("Quiet", false);
    Detail::setModuleSwitch("Loud", true);
    setPrintLogLevel(4);
    const std::tuple<int, bool, const char*, bool> modules[] = {
        {1, true, "Quiet", false}, {1, true, "Loud", true},   {1, true, "Unlisted", true}, {1, true, nullptr, true},
        {2, true, "Quiet", true},  {1, false, "Quiet", true}, {0, false, "Loud", false},   {1, true, "Quiet", false}};
    for (const auto& [mode, inUse, module, shown] : modules) {
        Detail::setModuleSwitchMode(mode);
        Detail::setModuleSwitchTableInUse(inUse);
        EXPECT_EQ(!filtered(LOG_FATAL, module).empty(), shown) << "mode " << mode << " " << (module ? module : "-");
    }
}

TEST_F(PrintLogTest, PrefixLayouts) {
    // Literal text, except that T stands for the time "hh:mm:ss ", D for the date, time and milliseconds, # for the
    // thread id: the printed line has these replaced.
    const std::tuple<PrintOptions, const char*, const char*> cases[] = {
        {{}, "Unknown", "[Tinfo Mod # Thing.cpp:42]"},
        {{}, nullptr, "[Tinfo Mod # Thing.cpp:42]"},
        {{}, "2.1", "[Tinfo Mod:2.1 # Thing.cpp:42]"},
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
        {options({&P::showMilliseconds, &P::showDate}), "", "[D info Mod # Thing.cpp:42]"},
    };
    const std::pair<std::regex, const char*> marks[] = {{std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d\d\d)"), "D"},
                                                        {std::regex(R"(\d\d:\d\d:\d\d )"), "T"},
                                                        {std::regex("\\b" + tid() + "\\b"), "#"}};
    for (const auto& [options, version, expected] : cases) {
        setPrintOptions(options);
        CapturePrinter capture;
        logFilter(LOG_INFO, "Mod", "Src/Devez3/Thing.cpp", "void Thing::run()", 42, version, "msg\n");
        std::string line = capture.text();
        for (const auto& [pattern, mark] : marks) {
            line = std::regex_replace(line, pattern, mark);
        }
        EXPECT_EQ(line, std::string(expected) + "msg\n");
    }
}

TEST_F(PrintLogTest, LineCutAndTwoPartLines) {
    // A line longer than the buffer is cut at 8191 characters and counts as ended.
    CapturePrinter capture;
    const int prefix = Orvane::Virad::logInfo("\n") - 1;
    EXPECT_EQ(Orvane::Virad::logInfo("%s", std::string(10000, 'x').c_str()), 8191);
    EXPECT_EQ(capture.lines().at(1).size(), 8191u);
    EXPECT_TRUE(Detail::g_lineStart.load()) << "the cut line counts as ended";
    // Exactly full; newline cut off; one short.
    EXPECT_EQ(std::vector<int>({Orvane::Virad::logInfo("%s", std::string(8191 - prefix, 'x').c_str()),
                                Orvane::Virad::logInfo("%s\n", std::string(8191 - prefix, 'x').c_str()),
                                Orvane::Virad::logInfo("%s\n", std::string(8189 - prefix, 'x').c_str())}),
              (std::vector<int>{8191, 8191, 8190}));

    // Two calls without a newline between them: one prefix, the colour kept until the line ends.
    capture.clear();
    auto console = Orvane::Platform::standardOutputHandle();
    Orvane::Platform::setConsoleTextAttribute(console, 7);
    setPrintOptions(options({&P::hideTime}));
    const int first = Orvane::Virad::logWarn("first half, ");
    const int open = Orvane::Platform::consoleTextAttribute(console);
    const int second = Orvane::Virad::logWarn("second half\n");
    setPrintOptions(options({&P::hideTime, &P::noColor}));
    Orvane::Virad::logError("no colour\n");
    EXPECT_EQ(std::vector<int>({open, Orvane::Platform::consoleTextAttribute(console), first + second}),
              std::vector<int>({6, 7, 50 + static_cast<int>(tid().size())}));
    EXPECT_EQ(capture.text(), "[ warn Unknown " + tid() + " Unknown:0]first half, second half\n[ error Unknown " +
                                  tid() + " Unknown:0]no colour\n");
}

TEST_F(PrintLogTest, PrintersAttachOnceMayChangeTheListWhileCalledAndTheLogPrinterReplacesTheConsole) {
    CapturePrinter quiet;
    Recorder a, b;
    EXPECT_TRUE(attachPrint(a.printer()));
    EXPECT_FALSE(attachPrint(a.printer())) << "an equal printer is attached only once";
    Orvane::Virad::logInfo("one\n");
    a.attachOnCall = &b; // a detaches itself and attaches b while it is called
    Orvane::Virad::logInfo("two\n");
    Orvane::Virad::logInfo("three\n");
    EXPECT_EQ(a.seen.size(), 2u) << "a still sees the current line";
    EXPECT_EQ(b.seen.size(), 1u) << "b only the lines after it";
    EXPECT_FALSE(detachPrint(a.printer()));
    EXPECT_TRUE(detachPrint(b.printer()));

    static Lines logged;
    logged.clear();
    setLogPrinter(TFunction1<void, const char*>(+[](const char* line) { logged.emplace_back(line); }));
    setPrintOptions(options({&P::hideTime, &P::hideThreadId}));
    const std::string console = stdoutOf([] {
        Orvane::Virad::logInfo("to the log printer\n");
        setLogPrinter(TFunction1<void, const char*>()); // an empty one restores the console
        Orvane::Virad::logInfo("to the console\n");
    });
    EXPECT_EQ(logged, Lines{"[ info Unknown Unknown:0]to the log printer\n"});
    EXPECT_EQ(console, "[ info Unknown Unknown:0]to the console\n");
}

TEST_F(PrintLogTest, CTwinPrintsToTheConsoleOnlyWithoutModuleSwitches) {
    CapturePrinter attached(false, 4);
    setPrintOptions(options({&P::hideTime, &P::hideThreadId}));
    Detail::setModuleSwitch("Off", false);
    Detail::setModuleSwitchTableInUse(true);
    Detail::setModuleSwitchMode(1);
    int results[2];
    const std::string shown = stdoutOf([&] {
        results[0] = Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "dropped\n"); // above print level 4
        setPrintLogLevel(5);
        results[1] = Virad_logFilter(6, "Off", "x/y.c", "f", 9, "Unknown", "c twin %d\n", 5);
    });
    // The version is passed unchanged.
    EXPECT_EQ(shown, "[ trace Off y.c:9]c twin 5\n");
    EXPECT_EQ(std::vector<int>(std::begin(results), std::end(results)), std::vector<int>({0, 27}));
    EXPECT_EQ(attached.lines(), Lines{}) << "attached printers are not called";
}

TEST_F(PrintLogTest, PrefixBuilderAndOptionCopies) {
    char buffer[64];
    SystemTimeEx time = {};
    setPrintOptions(options({&P::hideTime, &P::noColor, &P::hideThreadId}));
    const int n = Virad_logOptionControl(buffer, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", &time);
    EXPECT_EQ(std::string(buffer, n), "[ error M f.c:3]");
    EXPECT_GE(time.year, 2024) << "the time is stored";
    EXPECT_LE(time.millisecond, 999);
    EXPECT_EQ(Virad_logOptionControl(buffer, 5, LOG_ERROR, "Module", "f.c", "fn", 3, "", nullptr), 5);
    EXPECT_STREQ(buffer, "[ err") << "pieces are cut to the room";
    EXPECT_EQ(Virad_logOptionControl(nullptr, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", nullptr), -1);
    Detail::g_lineStart.store(false);
    EXPECT_EQ(Virad_logOptionControl(buffer, 63, LOG_ERROR, "M", "f.c", "fn", 3, "", &time), 0);

    const unsigned char* flags = Virad_getPrintOption();
    EXPECT_EQ(std::vector<int>(flags, flags + 13), (std::vector<int>{1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(PrintLogTest, StatisticsCountWholeLinesAndSaturateAt32Bits) {
    setLogPrinter(TFunction1<void, const char*>(+[](const char*) {}));
    Detail::setLogStatisticsEnabled(true);
    setPrintOptions(options({&P::hideTime, &P::hideThreadId}));
    // "[ info Stats f:1]" is 17 characters: lines of 40 and 60; lines without a module are not counted.
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(22, 'a').c_str());
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "%s\n", std::string(42, 'b').c_str());
    logFilter(LOG_INFO, "", "f", "", 1, "", "no module\n");
    Detail::setLogStatisticsEnabled(false);
    logFilter(LOG_INFO, "Stats", "f", "", 1, "", "not counted\n");
    auto stats = getLogStatistics();
    EXPECT_EQ(std::vector<std::uint64_t>({stats.size(), stats["Stats"].printedBytes, stats["Stats"].reserved}),
              (std::vector<std::uint64_t>{1, 100, 0}));

    // Full lines until the count passes 2^32 - 1 (about half a million lines).
    Detail::setLogStatisticsEnabled(true);
    const std::string big(8191, 'z');
    for (std::uint64_t i = 0; i < 4294967295ULL / 8191 + 2; ++i) {
        logFilter(LOG_INFO, "Big", "f", "", 1, "", "%s", big.c_str());
    }
    EXPECT_EQ(getLogStatistics()["Big"].printedBytes, 4294967295ULL);
}
