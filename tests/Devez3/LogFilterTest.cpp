#include "virad/LogFilter.h"

#include "support/CaseTable.h"
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

// "path pattern rotating size byDay files"
std::string settings() {
    const Detail::LogFileSettings s = Detail::logFileSettings();
    return s.path + " " + s.searchPattern + " " + std::to_string(s.saveMode == Detail::LogSaveMode::rotating) + " " +
           std::to_string(s.maxSize) + " " + std::to_string(s.byDay) + " " + std::to_string(s.maxFiles);
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

TEST_F(LogFilterTest, UsageLevelModulesAndStatistics) {
    EXPECT_EQ(run({}) + run({"-h"}), std::string(kUsage) + kUsage);
    // Unknown or incomplete words print and change nothing.
    EXPECT_EQ(run({"-h", "extra"}) + run({"-nonsense", "1"}) + run({"-loglevel"}), "");
    EXPECT_EQ(getPrintLogLevel(), 4);
    run({"-loglevel", "42"});
    EXPECT_EQ(getPrintLogLevel(), 42) << "stored unchecked";
    run({"-loglevel", "4"});

    CapturePrinter capture(true, 4);
    auto prints = [](const char* module) { return logFilter(LOG_INFO, module, "f", "", 1, "", "x\n") > 0; };
    run({"-logmodule", "Noisy", "OFF"});
    EXPECT_EQ(Detail::getModuleSwitchMode(), 1);
    std::vector<bool> printed = {prints("Noisy"), prints("Other")};
    run({"-logmodule", "off"});
    printed.push_back(prints("Other")); // everything silenced
    run({"-logmodule", "on"});
    printed.push_back(prints("Noisy")); // mode 2 ignores the kept switch
    run({"-logmodule", "Noisy", "on"});
    printed.push_back(prints("Noisy"));
    EXPECT_EQ(printed, (std::vector<bool>{false, true, false, true, true}));

    run({"-logmodulestatistics", "On"});
    prints("Counted");
    EXPECT_GT(getLogStatistics()["Counted"].printedBytes, 0u);
    run({"-logmodulestatistics", "off"});
    EXPECT_FALSE(Detail::logStatisticsEnabled());
}

TEST_F(LogFilterTest, PrefixSwitchesWriteBothOptionCopies) {
    const std::pair<const char*, int> switches[] = {
        {"-logtime", 0}, {"-logthread", 4}, {"-logversion", 5}, {"-logfunction", 6}};
    for (const auto& [option, flag] : switches) {
        for (const char* word : {"on", "off", "yes"}) {
            run({option, word});
            const int set = (std::string(word) == "on") == (flag == 6); // only the function is shown when on
            PrintOptions o = {};
            getPrintOptions(&o);
            EXPECT_EQ((std::pair<int, int>(reinterpret_cast<unsigned char*>(&o)[flag], Virad_getPrintOption()[flag])),
                      std::make_pair(set, set))
                << option << " " << word;
        }
    }
}

TEST_F(LogFilterTest, LogPathAndRotationSettings) {
    const std::string refused = run({"-logpath", "logs/"});
    EXPECT_EQ(refused.substr(0, 1) + refused.substr(refused.find(']')), "[]logDir is invalid\n");
    // Steps in order, each with the settings after it: kilobytes in 32-bit arithmetic; a negative count leaves the
    // size alone; bysize needs four words.
    EXPECT_EQ(runCaseTable(R"(
-logpath logs/app.log = logs/app.log logs/* 0 0 0 0 | -logpath app.log = ./app.log ./* 0 0 0 0
-logsize 1 = ./app.log ./* 0 1024 0 0 | -logsize 0 = ./app.log ./* 0 0 0 0 | -logsize -3 = ./app.log ./* 0 0 0 0
-logsize 2097151 = ./app.log ./* 0 2147482624 0 0 | -logsize 2097152 = ./app.log ./* 0 0 0 0
-logsavesetting BySize 1 3 = ./app.log ./* 1 1024 0 3 | -logsavesetting byday on -7 = ./app.log ./* 1 1024 1 0
-logsavesetting NONE = ./app.log ./* 0 1024 1 0)",
                           [](const std::vector<std::string>& words) {
                               const std::string printed = run(words); // nothing, before the settings
                               return printed + settings();
                           }),
              10);
    run({"-logpath", "logs/"});
    EXPECT_EQ(Detail::logFileSettings().path, "") << "a refused path turns the log file off";
}
