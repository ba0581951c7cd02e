// The log file: its settings and the writer that every delivered line is
// handed to.
//
// The settings are complete; writing lines into the file is not built yet,
// so the writer drops every line (and no file is ever opened) for now.
#include "Devez3/LogFile.h"

#include "Devez3/NeverDestroyed.h"
#include "Devez3/PrintState.h"
#include "Platform/Platform.h"
#include "virad/LogFilter.h"
#include "virad/Mutex.h"

#include <cstdio>

namespace Orvane {
namespace Virad {
namespace Detail {

namespace {

struct LogFileState {
    CMutex mutex; // serialises the writer, rotations and setting changes
    LogFileSettings settings;
};

LogFileState& logFileState() {
    static NeverDestroyed<LogFileState> state;
    return state.get();
}

} // namespace

void setLogPath(const char* path) {
    const std::string text = path != nullptr ? path : "";
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    LogFileSettings& settings = state.settings;
    settings.path.clear();
    settings.searchPattern.clear();
    if (text.empty()) {
        return;
    }
    const char separator = Platform::pathSeparator();
    const char last = text.back();
    if (last == '/' || last == '\\') {
        std::printf("[%s:%d]logDir is invalid\n", fileNameOf(__FILE__), __LINE__);
        return;
    }
    const std::string::size_type cut = text.rfind(separator);
    if (cut == std::string::npos) {
        const std::string here = std::string(".") + separator;
        settings.path = here + text;
        settings.searchPattern = here + "*";
    } else {
        settings.path = text;
        settings.searchPattern = text.substr(0, cut + 1) + "*";
    }
}

void setLogMaxSize(int bytes) {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    state.settings.maxSize = bytes > 0 ? bytes : 0;
}

void setLogSaveMode(LogSaveMode mode) {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    state.settings.saveMode = mode;
}

void setLogByDay(bool byDay) {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    state.settings.byDay = byDay;
}

void setLogMaxFiles(int count) {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    state.settings.maxFiles = count > 0 ? count : 0;
}

LogFileSettings logFileSettings() {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    return state.settings;
}

void writeLogFile(const char*, int, const SystemTimeEx&) {}

} // namespace Detail

void logCleanup() {}

} // namespace Virad
} // namespace Orvane
