// Four threads write numbered lines through the print path into a log file
// that rotates every 4 KiB and keeps at most three rotated files.
//
// Retention deletes through a table hooked on the scratch directory, which
// keeps the bytes it deletes; so at the end the lines in the remaining files
// and the deleted ones together must be exactly the lines written: none
// torn, none twice, none missing. Also checked: no more than the three
// rotated files and the live one are left.
#include "support/LogControl.h"
#include "support/OnThreads.h"
#include "support/RemovalCapture.h"
#include "support/StressRun.h"
#include "support/TempDir.h"

#include "virad/LogFilter.h"
#include "virad/PrintLog.h"
#include "virad/Process.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::logFilterCommand;
using Orvane::Testing::onThreads;
namespace fs = std::filesystem;

namespace {

constexpr int kThreads = 4;

// Lines "w<thread> <number> <filler>"; the filler's length and letter follow
// from thread and number, so a torn or mixed line shows.
std::string filler(int thread, long number) {
    return std::string(static_cast<std::size_t>(number % 97), static_cast<char>('a' + thread));
}

void writeLines(Stress::Run& run, std::vector<long>& written, int thread) {
    long n = 0;
    while (run.running()) {
        logFilter(LOG_INFO, "Stress", "LogRotationStress.cpp", "writeLines", 1, "1", "w%d %ld %s\n", thread, n,
                  filler(thread, n).c_str());
        ++n;
    }
    written[static_cast<std::size_t>(thread)] = n;
}

// Counts every line of text into seen[thread][number]; false for a line
// that is not one of ours, whole.
bool account(const std::string& text, std::vector<std::vector<int>>& seen, long& torn) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t body = line.find(']');
        int thread = -1;
        long number = -1;
        char rest[128] = {};
        if (body == std::string::npos ||
            std::sscanf(line.c_str() + body + 1, "w%d %ld %127s", &thread, &number, rest) < 2 || thread < 0 ||
            thread >= kThreads || number < 0 || static_cast<std::size_t>(number) >= seen[thread].size() ||
            filler(thread, number) != rest) {
            ++torn;
            continue;
        }
        ++seen[static_cast<std::size_t>(thread)][static_cast<std::size_t>(number)];
    }
    return true;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("LogRotationStress", argc, argv);
    const Orvane::Testing::TempDir scratch;
    const fs::path dir = scratch.path();
    Orvane::Testing::RemovalCapture capture;
    hookFileSystem(dir.c_str(), &capture);
    logFilterCommand({"-logpath", (dir / "stress.log").string()});
    logFilterCommand({"-logsavesetting", "bysize", "4", "3"});

    std::vector<long> written(kThreads, 0);
    onThreads(kThreads, [&](int t) { writeLines(run, written, t); });
    logFilterCommand({"-logpath", ""});
    logCleanup();

    std::vector<std::vector<int>> seen(kThreads);
    long total = 0;
    for (int t = 0; t < kThreads; ++t) {
        seen[static_cast<std::size_t>(t)].assign(static_cast<std::size_t>(written[static_cast<std::size_t>(t)]), 0);
        total += written[static_cast<std::size_t>(t)];
    }
    long torn = 0;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        account(contents(entry.path()), seen, torn);
        ++files;
    }
    account(capture.takeRemoved(), seen, torn);
    long missing = 0, doubled = 0;
    for (const auto& lines : seen) {
        for (const int n : lines) {
            missing += n == 0 ? 1 : 0;
            doubled += n > 1 ? 1 : 0;
        }
    }
    run.check(torn == 0, std::to_string(torn) + " lines torn or foreign");
    run.check(missing == 0, std::to_string(missing) + " lines lost");
    run.check(doubled == 0, std::to_string(doubled) + " lines written twice");
    run.check(files <= 4, std::to_string(files) + " files left, at most 3 rotated and the live one expected");
    run.check(capture.filesRemoved() > 0, "retention deleted files through the hooked table");
    std::printf("LogRotationStress: %ld lines from %d writers, %ld files deleted by retention, %d left; "
                "%ld torn, %ld lost, %ld twice\n",
                total, kThreads, capture.filesRemoved(), files, torn, missing, doubled);
    hookFileSystem(dir.c_str(), nullptr);
    return run.finish();
}
