// The log-file settings that the logfilter command writes and the log-file
// writer reads.
#ifndef DOZUV2_DEVEZ3_LOGFILE_H
#define DOZUV2_DEVEZ3_LOGFILE_H

#include "Src/Common/Containers.h"

namespace Orvane {
namespace Virad {
namespace Detail {

enum class LogSaveMode { none, rotating };

struct LogFileSettings {
    Common::String path;          // empty: no log file
    Common::String searchPattern; // the path's directory followed by "*"
    LogSaveMode saveMode = LogSaveMode::none;
    int maxSize = 0; // bytes; 0: no limit
    bool byDay = false;
    int maxFiles = 0; // 0: no limit
};

// Sets the log path: an empty path turns the log file off; a path ending in
// '/' or '\' is refused with a message on the standard output.
void setLogPath(const char* path);
void setLogMaxSize(int bytes);
void setLogSaveMode(LogSaveMode mode);
void setLogByDay(bool byDay);
void setLogMaxFiles(int count);
// A copy of the current settings.
LogFileSettings logFileSettings();
// Closes the log file and forgets its size, date and the at-start handling,
// as a new process would start; the settings stay. For tests.
void resetLogFileState();

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
