// The logfilter command words, with lines written between the commands.
//
// Every log path the input names is put inside a scratch directory (its
// separators become '_'; a trailing one stays, to reach the refusal), and
// retention deletes through a table hooked on that directory that keeps what
// it deletes. Properties: after each command the log-file settings are what
// a model of the command table says; and at the end every byte the writer
// accepted is either in a file of the scratch directory or among the deleted
// ones: rotation, renaming and retention never lose or duplicate a byte.
#include "support/FuzzCheck.h"
#include "support/RemovalCapture.h"
#include "support/TempDir.h"

#include "Src/Devez3/LogFile.h"
#include "Src/Devez3/PrintState.h"
#include "virad/LogFilter.h"
#include "virad/Process.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace Orvane::Virad;
namespace fs = std::filesystem;

namespace {

struct Scratch {
    Orvane::Testing::TempDir temp;
    fs::path dir{temp.path()};
    Orvane::Testing::RemovalCapture capture;
    Scratch() { hookFileSystem(temp.path().c_str(), &capture); }
};

Scratch* g_scratch = nullptr;

bool sameWord(const std::string& a, const char* b) {
    std::string lower = a;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == b;
}

// Kilobytes in 32-bit arithmetic, 0 unless positive.
int kilobytes(const std::string& word) {
    const auto bytes = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::atoi(word.c_str())) * 1024);
    return static_cast<int>(bytes) > 0 ? static_cast<int>(bytes) : 0;
}

std::string confined(const std::string& word) {
    std::string name = word;
    const bool trailing = !name.empty() && name.back() == '/';
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    if (name.empty()) {
        return name;
    }
    if (name == "." || name == ".." || name == "_") {
        name = "x" + name;
    }
    return (g_scratch->dir / name).string() + (trailing ? "/" : "");
}

// What the settings must be after the command, from the command table.
Detail::LogFileSettings expected(Detail::LogFileSettings s, const std::vector<std::string>& w) {
    if (w.size() < 2) {
        return s;
    }
    const std::string& option = w[0];
    if (option == "-logpath") {
        // A path ending in either slash names no file, on every host.
        const bool refused = w[1].empty() || w[1].back() == '/' || w[1].back() == '\\';
        s.path = refused ? "" : w[1];
    } else if (option == "-logsize") {
        s.maxSize = kilobytes(w[1]);
    } else if (option == "-logsavesetting" && w.size() == 2 && sameWord(w[1], "none")) {
        s.saveMode = Detail::LogSaveMode::none;
    } else if (option == "-logsavesetting" && w.size() == 4 && sameWord(w[1], "bysize")) {
        s.maxSize = kilobytes(w[2]);
        s.maxFiles = std::max(std::atoi(w[3].c_str()), 0);
        s.saveMode = Detail::LogSaveMode::rotating;
    } else if (option == "-logsavesetting" && w.size() == 4 && sameWord(w[1], "byday")) {
        s.byDay = sameWord(w[2], "on");
        s.maxFiles = std::max(std::atoi(w[3].c_str()), 0);
        s.saveMode = Detail::LogSaveMode::rotating;
    }
    return s;
}

// One command: mostly a well-formed one with fuzzed values, so that deep
// states (rotation under a strange path) are reached quickly; otherwise up
// to five words of any kind.
std::vector<std::string> words(FuzzedDataProvider& in) {
    static const char* const options[] = {"-h",           "-loglevel",  "-logmodule",
                                          "-logtime",     "-logthread", "-logversion",
                                          "-logfunction", "-logsize",   "-logmodulestatistics"};
    static const char* const switches[] = {"on", "off", "ON", "Off", "none", "bysize", "byday", "BySize", "maybe"};
    static const char* const numbers[] = {"0", "1", "2", "3", "-1", "4194304", "2097152", "1x", ""};
    static const char* const names[] = {"app.log", "x%s%n%d.log",          "%d%d%d%d%d", "a b.log", " c\t%%.log",
                                        "dir/",    "app.log_2024-03-10_0", "%",          "app"};
    const auto value = [&in](const char* const(&table)[9]) {
        return in.ConsumeBool() ? std::string(in.PickValueInArray(table))
                                : std::string(in.ConsumeRandomLengthString(24).c_str()); // C strings, as typed
    };
    std::vector<std::string> w;
    switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
        w = {"-logpath", confined(value(names))};
        break;
    case 1:
        w = {"-logsavesetting", "bysize", value(numbers), value(numbers)};
        break;
    case 2:
        w = {"-logsavesetting", "byday", value(switches), value(numbers)};
        break;
    case 3:
        w = {"-logsavesetting", value(switches)};
        break;
    case 4:
        w = {in.PickValueInArray(options), value(in.ConsumeBool() ? switches : numbers)};
        break;
    default:
        for (int i = in.ConsumeIntegralInRange(0, 5); i > 0; --i) {
            w.push_back(value(in.ConsumeBool() ? switches : names));
        }
        if (w.size() >= 2 && in.ConsumeBool()) {
            w[0] = "-logpath";
            w[1] = confined(w[1]);
        }
        break;
    }
    return w;
}

std::uint64_t sizeOf(const std::string& path) {
    std::error_code error;
    const std::uint64_t size = path.empty() ? 0 : fs::file_size(path, error);
    return error ? 0 : size;
}

std::uint64_t bytesInScratch() {
    std::uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(g_scratch->dir)) {
        total += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return total;
}

bool sameSettings(const Detail::LogFileSettings& a, const Detail::LogFileSettings& b) {
    return a.path == b.path && a.saveMode == b.saveMode && a.maxSize == b.maxSize && a.byDay == b.byDay &&
           a.maxFiles == b.maxFiles;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Orvane::Testing::quietLibrary();
    // The usage text and the writer's own messages go to the standard output.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    static Scratch scratch;
    g_scratch = &scratch;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::uint64_t accepted = 0;
    int day = 9;
    for (int step = 0; in.remaining_bytes() > 0 && step < 16; ++step) {
        std::vector<std::string> w = words(in);
        const Detail::LogFileSettings model = expected(Detail::logFileSettings(), w);
        // A file stays open across a change of path and retention under the
        // new path may delete it while it is written: closing it here keeps
        // every accepted byte countable.
        if (model.path != Detail::logFileSettings().path) {
            logCleanup();
        }
        Orvane::Testing::logFilterCommand(w);
        FUZZ_CHECK(sameSettings(Detail::logFileSettings(), model), "settings after '%s %s'",
                   w.empty() ? "" : w[0].c_str(), w.size() > 1 ? w[1].c_str() : "");
        const int lines = in.ConsumeIntegralInRange(0, 8);
        day += in.ConsumeIntegralInRange(0, 1);
        const SystemTimeEx time = {2024, 3, day % 28 + 1, 1, 12, 0, 0, 0, {0, 0, 0, 0}};
        for (int i = 0; i < lines; ++i) {
            const std::string line = std::string(in.ConsumeIntegralInRange<std::size_t>(1, 700), 'a' + i) + "\n";
            // Save mode none empties a full file on purpose: what it held is
            // dropped from the count.
            const Detail::LogFileSettings now = Detail::logFileSettings();
            const std::uint64_t before = sizeOf(now.path.c_str());
            if (Detail::writeLogFile(line.c_str(), static_cast<int>(line.size()), time) == 0) {
                accepted += line.size();
                if (now.saveMode == Detail::LogSaveMode::none && before > 0 &&
                    sizeOf(now.path.c_str()) == line.size()) {
                    accepted -= before;
                }
            }
        }
    }
    logCleanup();
    const std::uint64_t deleted = g_scratch->capture.takeRemoved().size();
    const std::uint64_t kept = bytesInScratch();
    FUZZ_CHECK(kept + deleted == accepted, "%llu bytes accepted, %llu kept and %llu deleted",
               static_cast<unsigned long long>(accepted), static_cast<unsigned long long>(kept),
               static_cast<unsigned long long>(deleted));

    // The next input starts as a new process would.
    Detail::setLogPath("");
    Detail::setLogSaveMode(Detail::LogSaveMode::none);
    Detail::setLogMaxSize(0);
    Detail::setLogByDay(false);
    Detail::setLogMaxFiles(0);
    Detail::resetLogFileState();
    Detail::clearModuleSwitches();
    Detail::setModuleSwitchMode(2);
    setPrintLogLevel(4);
    for (const auto& entry : fs::directory_iterator(g_scratch->dir)) {
        fs::remove_all(entry.path());
    }
    return 0;
}
