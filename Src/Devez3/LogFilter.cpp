// The logfilter command.
#include "virad/LogFilter.h"

#include "Src/Devez3/LogFile.h"
#include "Src/Devez3/PrintState.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Orvane {
namespace Virad {

namespace {

const char* const kUsage[] = {
    "logfilter command usage:\n",
    "logfilter -loglevel [levelnum](0-no printlevel, 1-fatal, 2-error, 3-warn, 4-info, 5-trace, 6-debug): set log "
    "level\n",
    "logfilter -logmodule [modulename] [on/off] #turn module's log on/off\n",
    "logfilter -logmodule [on/off] #turn ALL module's log on/off\n",
    "logfilter -logpath [logpath/] #logger module's log to logpath or cancel logger(by set path to )\n",
    "logfilter -logmodulestatistics  [on/off] #turn ALL module's logstatistics func on/off\n",
    "logfiter -logsize [logsize] #log file max size limited to logsize Kbytes\n",
    "logfiter -logsavesetting bysize [logsize] [maxnumber]#(logsize-log will save as a new file if log's size "
    "reaches to logsize),(maxnumber-total log file)\n",
    "logfiter -logsavesetting byday [on/off] [maxnumber] #(on-log will save as a new file if date "
    "changes),(maxnumber-total log file)\n",
    "logfiter -logsavesetting none #log file save in the old way\n",
};

void printUsage() {
    for (const char* line : kUsage) {
        std::fputs(line, stdout);
    }
}

// Compares ASCII words without regard to case.
bool sameWord(const char* word, const char* expected) {
    if (word == nullptr) {
        return false;
    }
    for (; *word != '\0' && *expected != '\0'; ++word, ++expected) {
        const char a = (*word >= 'A' && *word <= 'Z') ? static_cast<char>(*word - 'A' + 'a') : *word;
        if (a != *expected) {
            return false;
        }
    }
    return *word == *expected;
}

bool isOn(const char* word) {
    return sameWord(word, "on");
}

// Kilobytes to bytes in 32-bit signed arithmetic (wrapping like the C int
// product would on the host), 0 unless the result is positive.
int kilobytes(const char* word) {
    const std::int64_t bytes = static_cast<std::int64_t>(std::atoi(word)) * 1024;
    const int wrapped = static_cast<int>(static_cast<std::uint32_t>(bytes));
    return wrapped > 0 ? wrapped : 0;
}

void setFlag(int flag, bool value) {
    Detail::setPrintFlag(flag, value ? 1 : 0);
}

} // namespace

void setLogFilter(int argc, char** const argv) {
    using namespace Detail;
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) {
        printUsage();
        return;
    }
    const char* option = argv[0];
    if (argc == 1) {
        if (std::strcmp(option, "-h") == 0) {
            printUsage();
        }
        // Every other option needs a value; a missing one changes nothing.
        return;
    }
    const char* value = argv[1];
    if (value == nullptr) {
        return;
    }
    if (std::strcmp(option, "-loglevel") == 0) {
        g_printLevel.store(std::atoi(value), std::memory_order_relaxed);
    } else if (std::strcmp(option, "-logmodule") == 0) {
        if (argc >= 3 && argv[2] != nullptr) {
            setModuleSwitch(value, isOn(argv[2]));
            setModuleSwitchTableInUse(true);
            setModuleSwitchMode(1);
        } else {
            setModuleSwitchMode(sameWord(value, "off") ? 0 : 2);
        }
    } else if (std::strcmp(option, "-logtime") == 0) {
        setFlag(kHideTime, !isOn(value));
    } else if (std::strcmp(option, "-logthread") == 0) {
        setFlag(kHideThreadId, !isOn(value));
    } else if (std::strcmp(option, "-logversion") == 0) {
        setFlag(kHideVersion, !isOn(value));
    } else if (std::strcmp(option, "-logfunction") == 0) {
        setFlag(kShowFunction, isOn(value));
    } else if (std::strcmp(option, "-logpath") == 0) {
        setLogPath(value);
    } else if (std::strcmp(option, "-logsize") == 0) {
        setLogMaxSize(kilobytes(value));
    } else if (std::strcmp(option, "-logmodulestatistics") == 0) {
        if (argc == 2) {
            setLogStatisticsEnabled(isOn(value));
        }
    } else if (std::strcmp(option, "-logsavesetting") == 0) {
        if (argc == 2 && sameWord(value, "none")) {
            setLogSaveMode(LogSaveMode::none);
        } else if (argc == 4 && argv[2] != nullptr && argv[3] != nullptr) {
            const int count = std::atoi(argv[3]);
            if (sameWord(value, "bysize")) {
                setLogMaxSize(kilobytes(argv[2]));
                setLogMaxFiles(count);
                setLogSaveMode(LogSaveMode::rotating);
            } else if (sameWord(value, "byday")) {
                setLogByDay(isOn(argv[2]));
                setLogMaxFiles(count);
                setLogSaveMode(LogSaveMode::rotating);
            }
        }
    }
}

} // namespace Virad
} // namespace Orvane
