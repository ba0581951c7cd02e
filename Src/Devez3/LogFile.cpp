// The log file: its settings and the writer that every delivered line is
// handed to, with rotation by size or by day and a bound on the files kept.
//
// Every message of this unit goes to the standard output with printf, never
// through the print path: the print path calls the writer, so a report from
// here could recurse into the log file. The file itself is handled with the
// C library's streams directly; only the directory listing and the deletion
// of old files go through the hookable file-system table.
#include "Src/Devez3/LogFile.h"

#include "Src/Base/NeverDestroyed.h"
#include "Src/Devez3/PrintState.h"
#include "Src/Platform/File.h"
#include "virad/LogFilter.h"
#include "virad/Mutex.h"

#include "virad/File.h"
#include "virad/FileFind.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Virad {
namespace Detail {

namespace {

struct LogFileState {
    CMutex mutex; // serialises the writer, rotations and setting changes
    LogFileSettings settings;
    FILE* file = nullptr;       // the open log file
    int currentSize = 0;        // bytes written to it, or its size when found at start
    SystemTimeEx fileDate = {}; // date of the line that opened it; year 0 until one did
    bool firstUseDone = false;  // the at-start handling runs once per process
};

LogFileState& logFileState() {
    static Base::NeverDestroyed<LogFileState> state;
    return state.get();
}

} // namespace

void setLogPath(const char* path) {
    const Common::String text = path != nullptr ? path : "";
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    LogFileSettings& settings = state.settings;
    settings.path.clear();
    settings.searchPattern.clear();
    if (text.empty()) {
        return;
    }
    // A path ending in either slash names a directory on any host the log
    // may be written on, whichever of them this host separates with.
    if (text.back() == '/' || text.back() == '\\') {
        std::printf("[%s:%d]logDir is invalid\n", fileNameOf(__FILE__), __LINE__);
        return;
    }
    // The directory part: everything up to and including the last separator
    // of this host. A path without one is in the working directory, "./",
    // which every host reads.
    const std::size_t directory = static_cast<std::size_t>(Platform::fileNamePart(text.c_str()) - text.c_str());
    if (directory == 0) {
        settings.path = "./" + text;
        settings.searchPattern = "./*";
    } else {
        settings.path = text;
        settings.searchPattern = text.substr(0, directory) + "*";
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

namespace {

const char* const kRotatedSuffix = "_%04d-%02d-%02d_%d";

void printSystemFailure(const char* what, int line) {
    const int error = errno;
    std::printf("[%s:%d]%s faild,errno:%d, errmesg:%s\n", fileNameOf(__FILE__), line, what, error,
                std::strerror(error));
}

bool sameDay(const SystemTimeEx& a, const SystemTimeEx& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Where name goes on after the log path, or null when it does not begin
// with it. The path is matched the way a scan pattern matches its plain
// characters (a run of white space matches any run of white space, none
// included; every other character matches itself), so rotated names are
// recognised as they always were, while a '%' in the path is only a
// character: the path never becomes part of a format.
const char* afterLogPath(const char* name, const Common::String& path) {
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t i = 0; i < path.size();) {
        if (isSpace(path[i])) {
            while (i < path.size() && isSpace(path[i])) {
                ++i;
            }
            while (isSpace(*name)) {
                ++name;
            }
        } else if (*name == path[i]) {
            ++name;
            ++i;
        } else {
            return nullptr;
        }
    }
    return name;
}

// The next free rotated name for the date: one past the highest sequence
// number found among the files of that date.
Common::String nextRotatedName(const LogFileSettings& settings, const SystemTimeEx& date) {
    int highest = -1;
    CFileFindEx find;
    if (find.findFile(settings.searchPattern.c_str())) {
        do {
            const flex_string path = find.getFilePath();
            if (path.find(settings.path.c_str()) == flex_string::npos) {
                continue;
            }
            const char* suffix = afterLogPath(path.c_str(), settings.path);
            int year = 0, month = 0, day = 0, number = 0;
            if (suffix != nullptr && std::sscanf(suffix, kRotatedSuffix, &year, &month, &day, &number) == 4 &&
                year == date.year && month == date.month && day == date.day && number > highest) {
                highest = number;
            }
        } while (find.findNextFile());
    } else {
        std::printf("[%s:%d]no such logpath\n", fileNameOf(__FILE__), __LINE__);
    }
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, kRotatedSuffix, date.year, date.month, date.day, highest + 1);
    return settings.path + suffix;
}

// Deletes the least recently modified log file when more than the allowed
// number exist; one file per call.
void removeOldFiles(const LogFileSettings& settings) {
    if (settings.maxFiles == 0) {
        return;
    }
    CFileFindEx find;
    if (!find.findFile(settings.searchPattern.c_str())) {
        std::printf("[%s:%d]no such logpath\n", fileNameOf(__FILE__), __LINE__);
        return;
    }
    int count = 0;
    Common::String oldest;
    std::uint64_t oldestTime = 0;
    do {
        const flex_string path = find.getFilePath();
        if (path.find(settings.path.c_str()) == flex_string::npos) {
            continue;
        }
        ++count;
        Platform::PathStatus status;
        if (Platform::statPath(path.c_str(), status) == 0 && (oldest.empty() || status.timeWrite < oldestTime)) {
            oldest.assign(path.data(), path.size());
            oldestTime = status.timeWrite;
        }
    } while (find.findNextFile());
    find.close();
    if (!oldest.empty() && count > settings.maxFiles) {
        CFile::remove(oldest.c_str());
    }
}

// Moves the file at the log path to its rotated name; false (with the
// message) when the rename fails.
bool moveToRotatedName(const LogFileSettings& settings, const SystemTimeEx& date) {
    const Common::String target = nextRotatedName(settings, date);
    if (std::rename(settings.path.c_str(), target.c_str()) != 0) {
        printSystemFailure("rename", __LINE__);
        return false;
    }
    return true;
}

FILE* openLog(const Common::String& path, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) {
        printSystemFailure("fopen", __LINE__);
    }
    return file;
}

} // namespace

int writeLogFile(const char* line, int length, const SystemTimeEx& time) {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    const LogFileSettings& settings = state.settings;
    if (settings.path.empty()) {
        return -1;
    }
    const bool rotating = settings.saveMode == LogSaveMode::rotating;

    if (!state.firstUseDone) {
        state.firstUseDone = true;
        Platform::PathStatus status;
        if (Platform::statPath(settings.path.c_str(), status) == 0) {
            if (!rotating) {
                state.currentSize = static_cast<int>(status.size);
            } else {
                moveToRotatedName(settings, time);
                removeOldFiles(settings);
            }
        }
    }

    bool openedNow = false;
    if (state.file == nullptr) {
        state.file = openLog(settings.path, "a");
        if (state.file == nullptr) {
            return -1;
        }
        openedNow = true;
        state.fileDate = time;
    }

    bool newFileNeeded =
        rotating && settings.byDay && state.fileDate.year != 0 && !openedNow && !sameDay(time, state.fileDate);
    if (settings.maxSize > 0 && state.currentSize >= settings.maxSize) {
        if (!rotating) {
            std::fclose(state.file);
            state.file = openLog(settings.path, "w+");
            if (state.file == nullptr) {
                return -1;
            }
            state.currentSize = 0;
        } else if (!openedNow) {
            newFileNeeded = true;
        }
    }

    if (newFileNeeded) {
        // Forgotten at once: the rotation allocates, and the assertion report
        // of a failed allocation prints a last line through this writer.
        std::fclose(state.file);
        state.file = nullptr;
        if (!moveToRotatedName(settings, state.fileDate)) {
            state.file = openLog(settings.path, "a");
        } else {
            removeOldFiles(settings);
            state.fileDate = time;
            state.file = openLog(settings.path, "w");
            state.currentSize = 0;
        }
        if (state.file == nullptr) {
            return -1;
        }
    }

    const std::size_t written = std::fwrite(line, 1, length > 0 ? static_cast<std::size_t>(length) : 0, state.file);
    state.currentSize += static_cast<int>(written);
    std::fflush(state.file);
    return 0;
}

void resetLogFileState() {
    LogFileState& state = logFileState();
    CGuard guard(state.mutex);
    if (state.file != nullptr) {
        std::fclose(state.file);
        state.file = nullptr;
    }
    state.currentSize = 0;
    state.fileDate = SystemTimeEx{};
    state.firstUseDone = false;
}

} // namespace Detail

void logCleanup() {
    Detail::LogFileState& state = Detail::logFileState();
    CGuard guard(state.mutex);
    if (state.file != nullptr) {
        std::fclose(state.file);
        state.file = nullptr;
    }
}

} // namespace Virad
} // namespace Orvane
