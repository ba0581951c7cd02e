#include "virad/LogFilter.h"

#include "support/CapturePrinter.h"
#include "support/PrintStateFixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace Orvane::Virad;

namespace {

using LogFilterTest = Orvane::Testing::PrintStateTest;

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

TEST_F(LogFilterTest, UsageLevelModulesAndStatistics) {
    EXPECT_EQ(run({}), kUsage);
    EXPECT_EQ(run({"-h"}), kUsage);
    for (auto words : {std::initializer_list<const char*>{"-h", "extra"}, {"-nonsense", "1"}, {"-loglevel"}}) {
        EXPECT_EQ(run(words), "") << "unknown or incomplete words print and change nothing";
    }
    EXPECT_EQ(getPrintLogLevel(), 4);
    run({"-loglevel", "42"});
    EXPECT_EQ(getPrintLogLevel(), 42) << "stored unchecked";
    run({"-loglevel", "4"});

    Orvane::Testing::CapturePrinter capture(true, 4);
    auto prints = [](const char* module) { return logFilter(LOG_INFO, module, "f", "", 1, "", "x\n") > 0; };
    run({"-logmodule", "Noisy", "OFF"});
    EXPECT_EQ(Detail::getModuleSwitchMode(), 1);
    EXPECT_FALSE(prints("Noisy"));
    EXPECT_TRUE(prints("Other"));
    run({"-logmodule", "off"});
    EXPECT_FALSE(prints("Other")) << "everything silenced";
    run({"-logmodule", "on"});
    EXPECT_TRUE(prints("Noisy")) << "mode 2 ignores the kept switch";
    run({"-logmodule", "Noisy", "on"});
    EXPECT_TRUE(prints("Noisy"));

    run({"-logmodulestatistics", "On"});
    prints("Counted");
    EXPECT_GT(getLogStatistics()["Counted"].printedBytes, 0u);
    run({"-logmodulestatistics", "off"});
    EXPECT_FALSE(Detail::logStatisticsEnabled());
}

TEST_F(LogFilterTest, PrefixSwitchesWriteBothOptionCopies) {
    const struct {
        const char* option;
        int flag;
    } switches[] = {{"-logtime", 0}, {"-logthread", 4}, {"-logversion", 5}, {"-logfunction", 6}};
    for (const auto& s : switches) {
        const bool shows = s.flag == 6;
        for (const char* word : {"on", "off", "yes"}) {
            run({s.option, word});
            const bool set = (std::string(word) == "on") == shows;
            PrintOptions o = {};
            getPrintOptions(&o);
            EXPECT_EQ(reinterpret_cast<unsigned char*>(&o)[s.flag], set ? 1 : 0) << s.option << " " << word;
            EXPECT_EQ(Virad_getPrintOption()[s.flag], set ? 1 : 0) << s.option << " " << word;
        }
    }
}

TEST_F(LogFilterTest, LogPathAndRotationSettings) {
    EXPECT_EQ(run({"-logpath", "logs/app.log"}), "");
    EXPECT_EQ(Detail::logFileSettings().path, "logs/app.log");
    EXPECT_EQ(Detail::logFileSettings().searchPattern, "logs/*");
    run({"-logpath", "app.log"});
    EXPECT_EQ(Detail::logFileSettings().path, "./app.log");
    EXPECT_EQ(Detail::logFileSettings().searchPattern, "./*");
    const std::string refused = run({"-logpath", "logs/"});
    EXPECT_EQ(refused.front(), '[');
    EXPECT_NE(refused.find("]logDir is invalid\n"), std::string::npos) << refused;
    EXPECT_TRUE(Detail::logFileSettings().path.empty());

    const struct {
        const char* kilobytes;
        int bytes;
    } sizes[] = {{"1", 1024}, {"0", 0}, {"-3", 0}, {"2097151", 2147482624}, {"2097152", 0}};
    for (const auto& s : sizes) {
        run({"-logsize", s.kilobytes});
        EXPECT_EQ(Detail::logFileSettings().maxSize, s.bytes) << s.kilobytes << " KB in 32-bit arithmetic";
    }

    run({"-logsavesetting", "BySize", "1", "3"});
    auto s = Detail::logFileSettings();
    EXPECT_EQ(s.saveMode, Detail::LogSaveMode::rotating);
    EXPECT_EQ(s.maxSize, 1024);
    EXPECT_EQ(s.maxFiles, 3);
    EXPECT_FALSE(s.byDay);
    run({"-logsavesetting", "byday", "on", "-7"});
    s = Detail::logFileSettings();
    EXPECT_TRUE(s.byDay);
    EXPECT_EQ(s.maxFiles, 0);
    EXPECT_EQ(s.maxSize, 1024) << "byday leaves the size alone";
    run({"-logsavesetting", "byday", "on", "7"});
    run({"-logsavesetting", "bysize", "1"});
    EXPECT_EQ(Detail::logFileSettings().maxFiles, 7) << "bysize needs four words";
    run({"-logsavesetting", "NONE"});
    EXPECT_EQ(Detail::logFileSettings().saveMode, Detail::LogSaveMode::none);
}
