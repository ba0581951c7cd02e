// The print path beside spdlog: a call that the level drops, and a line that is
// formatted and delivered to a printer that discards it.
//
// The comparable spdlog set-ups: a logger whose level drops the call; a logger
// with a null sink (spdlog's null sink skips the pattern, so it measures less
// work than a delivered line); and a logger whose sink formats the full
// pattern into a buffer and discards it, which does the same work as ours.
#include <Dozuv2.h>

#include <benchmark/benchmark.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>

using namespace Orvane::Virad;

namespace {

void discard(const char* line) {
    benchmark::DoNotOptimize(line);
}

// Delivered lines go to a printer that drops them, without console colours.
struct QuietPrintPath {
    QuietPrintPath() {
        setLogPrinter(TFunction1<void, const char*>(&discard));
        PrintOptions options = {};
        options.noColor = 1;
        setPrintOptions(options);
        setPrintLogLevel(LOG_INFO);
    }
    ~QuietPrintPath() {
        setLogPrinter(TFunction1<void, const char*>());
        setPrintOptions(PrintOptions{});
    }
};

// Formats every message with the logger's pattern, then throws it away.
class FormattingNullSink : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(msg, formatted);
        benchmark::DoNotOptimize(formatted.data());
    }
    void flush_() override {}
};

// Close to our default prefix: time, level, logger name, thread, file:line.
const char* const kPattern = "[%H:%M:%S %l %n %t %s:%#]%v";

std::shared_ptr<spdlog::logger> makeLogger(spdlog::sink_ptr sink) {
    auto logger = std::make_shared<spdlog::logger>("Bench", std::move(sink));
    logger->set_pattern(kPattern);
    logger->set_level(spdlog::level::info);
    return logger;
}

void BM_Dozuv2_DroppedCall(benchmark::State& state) {
    QuietPrintPath quiet;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            logFilter(LOG_TRACE, "Bench", __FILE__, __func__, __LINE__, "Unknown", "dropped %d\n", ++i));
    }
}
BENCHMARK(BM_Dozuv2_DroppedCall);

void BM_Spdlog_DroppedCall(benchmark::State& state) {
    auto logger = makeLogger(std::make_shared<spdlog::sinks::null_sink_mt>());
    int i = 0;
    for (auto _ : state) {
        logger->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::trace, "dropped {}", ++i);
    }
}
BENCHMARK(BM_Spdlog_DroppedCall);

void BM_Dozuv2_DeliveredLine(benchmark::State& state) {
    QuietPrintPath quiet;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            logFilter(LOG_INFO, "Bench", __FILE__, __func__, __LINE__, "Unknown", "delivered line %d\n", ++i));
    }
}
BENCHMARK(BM_Dozuv2_DeliveredLine)->Threads(1)->Threads(2);

void BM_Spdlog_NullSinkLine(benchmark::State& state) {
    static auto logger = makeLogger(std::make_shared<spdlog::sinks::null_sink_mt>());
    int i = 0;
    for (auto _ : state) {
        logger->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::info, "delivered line {}", ++i);
    }
}
BENCHMARK(BM_Spdlog_NullSinkLine)->Threads(1)->Threads(2);

void BM_Spdlog_FormattedLine(benchmark::State& state) {
    static auto logger = makeLogger(std::make_shared<FormattingNullSink>());
    int i = 0;
    for (auto _ : state) {
        logger->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::info, "delivered line {}", ++i);
    }
}
BENCHMARK(BM_Spdlog_FormattedLine)->Threads(1)->Threads(2);

} // namespace

BENCHMARK_MAIN();
