// Test fixture: every test starts and ends with the print path in its
// default state (no options, level 4, every module printed, no statistics,
// console output, no log file open or configured, as in a fresh process) and
// at the start of a fresh line.
#ifndef DOZUV2_TESTS_SUPPORT_PRINTSTATEFIXTURE_H
#define DOZUV2_TESTS_SUPPORT_PRINTSTATEFIXTURE_H

#include "Src/Devez3/LogFile.h"
#include "Src/Devez3/PrintState.h"
#include "virad/PrintLog.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace Orvane {
namespace Testing {

class PrintStateTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        using namespace Virad;
        setPrintOptions(PrintOptions{});
        setPrintLogLevel(4);
        Detail::setModuleSwitchMode(2);
        Detail::clearModuleSwitches();
        Detail::setModuleSwitchTableInUse(false);
        Detail::setLogStatisticsEnabled(false);
        Detail::clearLogStatistics();
        Detail::g_lineStart.store(true);
        setLogPrinter(TFunction1<void, const char*>());
        Detail::setLogPath("");
        Detail::setLogMaxSize(0);
        Detail::setLogMaxFiles(0);
        Detail::setLogByDay(false);
        Detail::setLogSaveMode(Detail::LogSaveMode::none);
        Detail::resetLogFileState();
    }

    // Options with the given flags set and every other byte zero.
    static Virad::PrintOptions options(std::initializer_list<unsigned char Virad::PrintOptions::*> flags) {
        Virad::PrintOptions o = {};
        for (auto flag : flags) {
            o.*flag = 1;
        }
        return o;
    }
};

} // namespace Testing
} // namespace Orvane

#endif
