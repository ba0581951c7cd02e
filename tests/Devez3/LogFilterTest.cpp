#include "virad/LogFilter.h"

#include "Devez3/LogFile.h"
#include "Devez3/PrintState.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

namespace {

// Runs one logfilter command and returns what it printed on standard output.
std::string run(std::initializer_list<const char*> words) {
    std::vector<std::string> storage(words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage) {
        argv.push_back(&word[0]);
    }
    testing::internal::CaptureStdout();
    setLogFilter(static_cast<int>(argv.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

class LogFilterTest : public ::testing::Test {
protected:
    void TearDown() override {
        setPrintOptions(PrintOptions{});
        setPrintLogLevel(4);
        Detail::setModuleSwitchMode(2);
        Detail::clearModuleSwitches();
        Detail::setModuleSwitchTableInUse(false);
        Detail::setLogStatisticsEnabled(false);
        Detail::setLogPath("");
        Detail::setLogMaxSize(0);
        Detail::setLogMaxFiles(0);
        Detail::setLogByDay(false);
        Detail::setLogSaveMode(Detail::LogSaveMode::none);
    }
};

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

} // namespace

TEST_F(LogFilterTest, UsageForNoWordsOrHelpOnly) {
    EXPECT_EQ(run({}), kUsage);
    EXPECT_EQ(run({"-h"}), kUsage);
    EXPECT_EQ(run({"-h", "extra"}), "");
    EXPECT_EQ(run({"-nonsense", "1"}), "");
    EXPECT_EQ(run({"-loglevel"}), "") << "a missing value changes nothing";
    EXPECT_EQ(getPrintLogLevel(), 4);
}

TEST_F(LogFilterTest, LevelModulesAndStatistics) {
    run({"-loglevel", "6"});
    EXPECT_EQ(getPrintLogLevel(), 6);
    run({"-loglevel", "42"});
    EXPECT_EQ(getPrintLogLevel(), 42) << "stored unchecked";
    run({"-loglevel", "4"});

    CapturePrinter capture(true, 4);
    run({"-logmodule", "Noisy", "OFF"});
    EXPECT_EQ(Detail::getModuleSwitchMode(), 1);
    EXPECT_EQ(logFilter(LOG_INFO, "Noisy", "f", "", 1, "", "x\n"), 0);
    EXPECT_GT(logFilter(LOG_INFO, "Other", "f", "", 1, "", "x\n"), 0);

    run({"-logmodule", "off"});
    EXPECT_EQ(logFilter(LOG_INFO, "Other", "f", "", 1, "", "x\n"), 0) << "everything silenced";
    run({"-logmodule", "on"});
    EXPECT_GT(logFilter(LOG_INFO, "Noisy", "f", "", 1, "", "x\n"), 0) << "mode 2 ignores the kept switch";
    run({"-logmodule", "Noisy", "on"});
    EXPECT_GT(logFilter(LOG_INFO, "Noisy", "f", "", 1, "", "x\n"), 0);

    run({"-logmodulestatistics", "On"});
    logFilter(LOG_INFO, "Counted", "f", "", 1, "", "x\n");
    EXPECT_GT(getLogStatistics()["Counted"].printedBytes, 0u);
    run({"-logmodulestatistics", "off"});
    EXPECT_FALSE(Detail::logStatisticsEnabled());
}

TEST_F(LogFilterTest, PrefixSwitchesWriteBothOptionCopies) {
    run({"-logtime", "off"});
    run({"-logthread", "off"});
    run({"-logversion", "off"});
    run({"-logfunction", "on"});
    PrintOptions o = {};
    getPrintOptions(&o);
    EXPECT_EQ(o.hideTime, 1);
    EXPECT_EQ(o.hideThreadId, 1);
    EXPECT_EQ(o.hideVersion, 1);
    EXPECT_EQ(o.showFunction, 1);
    const unsigned char* flags = Virad_getPrintOption();
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[4], 1);
    EXPECT_EQ(flags[5], 1);
    EXPECT_EQ(flags[6], 1);
    run({"-logtime", "yes"});
    run({"-logfunction", "yes"});
    getPrintOptions(&o);
    EXPECT_EQ(o.hideTime, 1) << "any word but on hides the time";
    EXPECT_EQ(o.showFunction, 0);
}

TEST_F(LogFilterTest, LogPathAndRotationSettings) {
    EXPECT_EQ(run({"-logpath", "logs/app.log"}), "");
    EXPECT_EQ(Detail::logFileSettings().path, "logs/app.log");
    EXPECT_EQ(Detail::logFileSettings().searchPattern, "logs/*");
    run({"-logpath", "app.log"});
    EXPECT_EQ(Detail::logFileSettings().path, "./app.log");
    EXPECT_EQ(Detail::logFileSettings().searchPattern, "./*");

    const std::string refused = run({"-logpath", "logs/"});
    EXPECT_NE(refused.find("]logDir is invalid\n"), std::string::npos) << refused;
    EXPECT_EQ(refused.front(), '[');
    EXPECT_TRUE(Detail::logFileSettings().path.empty());

    run({"-logsize", "1"});
    EXPECT_EQ(Detail::logFileSettings().maxSize, 1024);
    run({"-logsize", "-3"});
    EXPECT_EQ(Detail::logFileSettings().maxSize, 0);
    run({"-logsize", "2097152"});
    EXPECT_EQ(Detail::logFileSettings().maxSize, 0) << "2^31 bytes wraps negative in 32 bits";

    run({"-logsavesetting", "BySize", "1", "3"});
    auto s = Detail::logFileSettings();
    EXPECT_EQ(s.saveMode, Detail::LogSaveMode::rotating);
    EXPECT_EQ(s.maxSize, 1024);
    EXPECT_EQ(s.maxFiles, 3);
    EXPECT_FALSE(s.byDay);

    run({"-logsavesetting", "byday", "on", "7"});
    s = Detail::logFileSettings();
    EXPECT_TRUE(s.byDay);
    EXPECT_EQ(s.maxFiles, 7);
    EXPECT_EQ(s.maxSize, 1024) << "byday leaves the size alone";

    run({"-logsavesetting", "bysize", "1"});
    EXPECT_EQ(Detail::logFileSettings().maxFiles, 7) << "bysize needs four words";
    run({"-logsavesetting", "NONE"});
    EXPECT_EQ(Detail::logFileSettings().saveMode, Detail::LogSaveMode::none);
}
