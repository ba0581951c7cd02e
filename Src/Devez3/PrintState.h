// The print path's process-wide state, shared by the filter (PrintLog.cpp),
// the C-level prefix builder and console functions (CPrintLog.cpp) and the
// logfilter command.
//
// The values every line reads are atomics with constant initialisation: they
// exist before any static constructor runs and are never torn down, so
// printing works from the first static initialiser to the last exit handler.
#ifndef DOZUV2_DEVEZ3_PRINTSTATE_H
#define DOZUV2_DEVEZ3_PRINTSTATE_H

#include "Src/Platform/Cpu.h"
#include "virad/PrintLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>

namespace Orvane {
namespace Virad {
namespace Detail {

constexpr int kLineBufferSize = 8192;
constexpr int kLineRoom = kLineBufferSize - 1;

// The module switch mode (0 print nothing, 1 per-module switches apply, 2
// every module prints). The print level, g_printLevel, is in the public
// header: logFilter's inline level step reads it.
extern std::atomic<int> g_moduleMode;
// Set while the last delivered line ended a line; only then is a prefix built.
extern std::atomic<bool> g_lineStart;

// The 13 option flags the prefix builder reads (what Virad_getPrintOption
// hands out). Bytes are read and written with relaxed atomic operations.
unsigned char* optionFlags();
unsigned char loadFlag(int index);
// The whole options record.
PrintOptions& optionsRecord();

inline unsigned char loadByte(const unsigned char& byte) {
    return Platform::loadByteRelaxed(byte);
}
inline void storeByte(unsigned char& byte, unsigned char value) {
    Platform::storeByteRelaxed(byte, value);
}

// Flag numbers in the options record and the flag array.
enum PrintFlag {
    kHideTime = 0,
    kNoColor = 1,
    kHideModule = 2,
    kHideLevel = 3,
    kHideThreadId = 4,
    kHideVersion = 5,
    kShowFunction = 6,
    kHideFile = 7,
    kHideLine = 8,
    kShowDate = 9,
    kShowMilliseconds = 10,
    kTagged = 11,
    kNoLogFile = 12,
    kFlagCount = 13,
};

// Writes one flag into both copies of the options (used by the logfilter command).
void setPrintFlag(int index, unsigned char value);

// Module switches: the table is consulted in mode 1 while it is in use; a
// module that is not in it counts as on.
void setModuleSwitchMode(int mode);
int getModuleSwitchMode();
void setModuleSwitch(const char* module, bool on);
void clearModuleSwitches();
void setModuleSwitchTableInUse(bool inUse);
// False when the module is in the table and switched off.
bool moduleSwitchedOn(const char* module);

// The statistics switch (off by default).
void setLogStatisticsEnabled(bool enabled);
bool logStatisticsEnabled();
// Forgets every module's statistics.
void clearLogStatistics();

// The file name behind the last path separator.
const char* fileNameOf(const char* path);

// The first step of every filter, cheap enough to come inline before
// anything else: folds level 6 into 5 and says whether the message survives
// its level (1..5 and not above the print level) and a module mode other
// than 0.
inline bool levelPasses(int& level) {
    level = filteredLevel(level);
    // Levels outside 1..6 have no name or colour: such messages are dropped.
    return level >= LOG_FATAL && level <= LOG_TRACE && level <= g_printLevel.load(std::memory_order_relaxed) &&
           g_moduleMode.load(std::memory_order_relaxed) != 0;
}

// The steps every filter shares: the level step above; with moduleSwitches,
// dropping a module that is switched off; then building the
// prefix and formats the message behind it, cut to the 8191 characters of
// the line, and notes whether the line ended. Returns the line's length, or
// -1 when the message is dropped. The local time of the line goes to *time
// when time is not null.
int composeLine(char (&buffer)[kLineBufferSize], int& level, const char* module, bool moduleSwitches, const char* file,
                const char* function, int line, const char* version, SystemTimeEx* time, const char* format,
                va_list args);

// Hands a delivered line to the log-file writer; 0, or -1 when nothing was written.
int writeLogFile(const char* line, int length, const SystemTimeEx& time);

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
