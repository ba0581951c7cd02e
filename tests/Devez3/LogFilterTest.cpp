#include "virad/LogFilter.h"

#include "support/PrintStateFixture.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

using LogFilterTest = PrintStateTest;

// Runs one logfilter command and returns what it printed on standard output.
std::string run(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    return stdoutOf([&] { setLogFilter(static_cast<int>(argv.size()), argv.data()); });
}

// A case-table runner: what the command printed, then the state it left.
std::function<std::string(const std::vector<std::string>&)> commandThen(std::string (*state)()) {
    return [state](const std::vector<std::string>& words) {
        const std::string printed = run(words); // before the state is read
        return printed + state();
    };
}

// "path pattern rotating size byDay files"
std::string settings() {
    const Detail::LogFileSettings s = Detail::logFileSettings();
    return s.path.c_str() + std::string(" ") + s.searchPattern.c_str() + " " +
           std::to_string(s.saveMode == Detail::LogSaveMode::rotating) + " " + std::to_string(s.maxSize) + " " +
           std::to_string(s.byDay) + " " + std::to_string(s.maxFiles);
}

const char kUsage[] =
    "logfilter command usage:\n"
    "logfilter -loglevel [levelnum](0-no printlevel, 1-fatal, 2-error, 3-warn, 4-info, 5-trace, 6-debug): set log "
    "level\n"
    "logfilter -logmodule [modulename] [on/off] #turn module's log on/off\n"
    "logfilter -logmodule [on/off] #turn ALL module's log on/off\n"
    "logfilter -logpath [logpath/] #logger module's log to logpath or cancel logger(by set path to )\n"
    "logfilter -logmodulestatistics  [on/off] #turn ALL module's logstatistics func on/off\n"
    "logfiter -logsize [logsize] #log file max size limited to logsize Kbytes\n"
    "logfiter -logsavesetting bysize [logsize] [maxnumber]#(logsize-log will save as a new file if log's size "
    "reaches to logsize),(maxnumber-total log file)\n"
    "logfiter -logsavesetting byday [on/off] [maxnumber] #(on-log will save as a new file if date "
    "changes),(maxnumber-total log file)\n"
    "logfiter -logsavesetting none #log file save in the old way\n";

// The print level; the module switch mode and whether "Noisy" and "Other" are switched on; statistics on; then the
// hide-time, hide-thread, hide-version and show-function flags of the option record and of the flag copy.
std::string printState() {
    PrintOptions o = {};
    getPrintOptions(&o);
    std::string text = std::to_string(getPrintLogLevel()) + " " + std::to_string(Detail::getModuleSwitchMode()) + " " +
                       std::to_string(Detail::moduleSwitchedOn("Noisy")) +
                       std::to_string(Detail::moduleSwitchedOn("Other")) + " " +
                       std::to_string(Detail::logStatisticsEnabled());
    for (const unsigned char* flags : {reinterpret_cast<unsigned char*>(&o), Virad_getPrintOption()}) {
        text += " ";
        for (int flag : {0, 4, 5, 6}) {
            text += std::to_string(flags[flag]);
        }
    }
    return text;
}

TEST_F(LogFilterTest, UsageLevelModulesStatisticsAndPrefixSwitches) {
    EXPECT_EQ(run({}), kUsage);
    EXPECT_EQ(run({"-h"}), kUsage);
    // Steps in order, each with what it printed and the state after it. Unknown or incomplete words print and change
    // nothing; the level is stored unchecked; a module's switch is kept while mode 2 ignores it; only "on" (in any
    // case) is on.
    EXPECT_EQ(runCaseTable(R"(
-h extra = 4 2 11 0 0000 0000 | -nonsense 1 = 4 2 11 0 0000 0000 | -loglevel = 4 2 11 0 0000 0000
-loglevel 42 = 42 2 11 0 0000 0000 | -logmodule Noisy OFF = 4 1 01 0 0000 0000 | -logmodule off = 4 0 01 0 0000 0000
-logmodule on = 4 2 01 0 0000 0000 | -logmodule Noisy on = 4 1 11 0 0000 0000
-logmodulestatistics On = 4 1 11 1 0000 0000 | -logmodulestatistics off extra = 4 1 11 1 0000 0000
-logmodulestatistics off = 4 1 11 0 0000 0000
-logtime off = 4 1 11 0 1000 1000 | -logtime on = 4 1 11 0 0000 0000 | -logtime yes = 4 1 11 0 1000 1000
-logthread off = 4 1 11 0 1100 1100 | -logthread on = 4 1 11 0 1000 1000 | -logthread yes = 4 1 11 0 1100 1100
-logversion off = 4 1 11 0 1110 1110 | -logversion on = 4 1 11 0 1100 1100 | -logversion yes = 4 1 11 0 1110 1110
-logfunction off = 4 1 11 0 1110 1110 | -logfunction ON = 4 1 11 0 1111 1111 | -logfunction yes = 4 1 11 0 1110 1110
-logtime On = 4 1 11 0 0110 0110)",
                           commandThen(printState)),
              24);
}

TEST_F(LogFilterTest, LogPathAndRotationSettings) {
    const std::string refused = run({"-logpath", "logs/"});
    EXPECT_EQ(refused.substr(0, 1), "[");
    EXPECT_EQ(refused.substr(refused.find(']')), "]logDir is invalid\n");
    // Steps in order, each with the settings after it: kilobytes in 32-bit arithmetic; a negative count leaves the
    // size alone; bysize needs four words.
    EXPECT_EQ(runCaseTable(R"(
-logpath logs/app.log = logs/app.log logs/* 0 0 0 0 | -logpath app.log = ./app.log ./* 0 0 0 0
-logsize 1 = ./app.log ./* 0 1024 0 0 | -logsize 0 = ./app.log ./* 0 0 0 0 | -logsize -3 = ./app.log ./* 0 0 0 0
-logsize 2097151 = ./app.log ./* 0 2147482624 0 0 | -logsize 2097152 = ./app.log ./* 0 0 0 0
-logsavesetting BySize 1 3 = ./app.log ./* 1 1024 0 3 | -logsavesetting byday on -7 = ./app.log ./* 1 1024 1 0
-logsavesetting NONE = ./app.log ./* 0 1024 1 0)",
                           commandThen(settings)),
              10);
    run({"-logpath", "logs/"});
    EXPECT_EQ(Detail::logFileSettings().path, "") << "a refused path turns the log file off";
}
