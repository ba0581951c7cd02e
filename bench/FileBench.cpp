// Files beside what a user would otherwise pick.
//
// Log files: a delivered line written to the log file and flushed, as the
// library's writer does for every line, beside spdlog's basic file sink with
// flush on every message and a comparable pattern; 1, 2 and 4 writer threads.
// The console side of our print path goes to a printer that drops the line.
//
// CFile: 64 MiB written and read sequentially in 64 KiB pieces, beside
// fwrite and fread with the C library's default buffering.
#include <Dozuv2.h>

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace Orvane::Virad;

namespace {

namespace fs = std::filesystem;

const fs::path& benchDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("dozuv2-bench-" + std::to_string(std::rand()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void discard(const char* line) {
    benchmark::DoNotOptimize(line);
}

void runLogFilter(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    setLogFilter(static_cast<int>(argv.size()), argv.data());
}

void BM_LogFile_Dozuv2(benchmark::State& state) {
    const std::string path = (benchDir() / "dozuv2.log").string();
    if (state.thread_index() == 0) {
        setLogPrinter(TFunction1<void, const char*>(&discard));
        PrintOptions options = {};
        options.noColor = 1;
        setPrintOptions(options);
        setPrintLogLevel(LOG_INFO);
        fs::remove(path);
        runLogFilter({"-logpath", path});
    }
    int i = 0;
    for (auto _ : state) {
        logFilter(LOG_INFO, "Bench", "bench/FileBench.cpp", "BM_LogFile_Dozuv2", 60, "Unknown",
                  "a log line with a number %d and some text\n", ++i);
    }
    if (state.thread_index() == 0) {
        runLogFilter({"-logpath", ""});
        logCleanup();
        setLogPrinter(TFunction1<void, const char*>());
        setPrintOptions(PrintOptions{});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFile_Dozuv2)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

std::shared_ptr<spdlog::logger> g_spdlog;

void BM_LogFile_Spdlog(benchmark::State& state) {
    if (state.thread_index() == 0) {
        const std::string path = (benchDir() / "spdlog.log").string();
        fs::remove(path);
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(path);
        g_spdlog = std::make_shared<spdlog::logger>("Bench", sink);
        g_spdlog->set_pattern("[%H:%M:%S %l %n %t %s:%#]%v");
        g_spdlog->flush_on(spdlog::level::trace);
    }
    int i = 0;
    for (auto _ : state) {
        g_spdlog->info("a log line with a number {} and some text", ++i);
    }
    if (state.thread_index() == 0) {
        g_spdlog.reset();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFile_Spdlog)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

constexpr std::size_t kTotal = 64u << 20;
constexpr std::size_t kPiece = 64u << 10;

void BM_SequentialWrite_CFile(benchmark::State& state) {
    const std::string path = (benchDir() / "cfile.bin").string();
    std::vector<char> piece(kPiece, 'c');
    for (auto _ : state) {
        CFile file;
        file.open(path.c_str(), CFile::openWrite);
        for (std::size_t done = 0; done < kTotal; done += kPiece) {
            file.write(piece.data(), piece.size());
        }
        file.close();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_SequentialWrite_CFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialWrite_Fwrite(benchmark::State& state) {
    const std::string path = (benchDir() / "stdio.bin").string();
    std::vector<char> piece(kPiece, 's');
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        for (std::size_t done = 0; done < kTotal; done += kPiece) {
            std::fwrite(piece.data(), 1, piece.size(), file);
        }
        std::fclose(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_SequentialWrite_Fwrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialRead_CFile(benchmark::State& state) {
    const std::string path = (benchDir() / "cfile.bin").string();
    std::vector<char> piece(kPiece);
    for (auto _ : state) {
        CFile file;
        file.open(path.c_str(), CFile::openRead);
        while (file.read(piece.data(), piece.size()) > 0) {
        }
        file.close();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_SequentialRead_CFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialRead_Fread(benchmark::State& state) {
    const std::string path = (benchDir() / "stdio.bin").string();
    std::vector<char> piece(kPiece);
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        while (std::fread(piece.data(), 1, piece.size(), file) > 0) {
        }
        std::fclose(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_SequentialRead_Fread)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code error;
    fs::remove_all(benchDir(), error);
    return 0;
}
