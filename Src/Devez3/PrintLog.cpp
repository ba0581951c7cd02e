// The print path's filter and its outputs: levels, module switches, the log
// printer, attached printers and per-module statistics.
#include "Src/Devez3/PrintState.h"

#include "Src/Common/Containers.h"
#include "Src/Base/NeverDestroyed.h"
#include "virad/Mutex.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace Orvane {
namespace Virad {

namespace {

using Printer = TFunction1<bool, const char*>;
using PrinterList = Common::Vector<Printer>;

// Where delivered lines go. The attached printers are kept as an immutable
// list that attach and detach replace, so a line takes a copy of the list
// (one reference) under the lock and calls the printers after releasing it.
struct Outputs {
    CMutex mutex;
    TFunction1<void, const char*> logPrinter;
    std::shared_ptr<const PrinterList> printers;
};

Outputs& outputs() {
    static Base::NeverDestroyed<Outputs> instance;
    return instance.get();
}

struct ModuleSwitches {
    CMutex mutex;
    Common::Map<Common::String, bool> table;
    std::atomic<bool> inUse{false};
};

ModuleSwitches& moduleSwitches() {
    static Base::NeverDestroyed<ModuleSwitches> instance;
    return instance.get();
}

struct Statistics {
    CMutex mutex;
    Common::Map<Common::String, LogModuleInfo> table;
    std::atomic<bool> enabled{false};
};

Statistics& statistics() {
    static Base::NeverDestroyed<Statistics> instance;
    return instance.get();
}

constexpr std::uint64_t kStatisticsCeiling = 4294967295ULL;

void countLine(const char* module, int length) {
    Statistics& stats = statistics();
    CGuard guard(stats.mutex);
    auto found = stats.table.find(module);
    if (found == stats.table.end()) {
        found = stats.table.emplace(module, LogModuleInfo{}).first;
    }
    LogModuleInfo& info = found->second;
    const std::uint64_t add = static_cast<std::uint64_t>(length);
    info.printedBytes = (info.printedBytes > kStatisticsCeiling - add) ? kStatisticsCeiling : info.printedBytes + add;
}

void deliver(const char* line, int level) {
    Outputs& out = outputs();
    TFunction1<void, const char*> logPrinter;
    std::shared_ptr<const PrinterList> printers;
    {
        CGuard guard(out.mutex);
        logPrinter = out.logPrinter;
        printers = out.printers;
    }
    if (!logPrinter.empty()) {
        logPrinter(line);
    } else {
        Virad_print(level, line);
    }
    if (printers) {
        for (const Printer& printer : *printers) {
            printer(line);
        }
    }
}

} // namespace

namespace Detail {

int composeLine(char (&buffer)[kLineBufferSize], int& level, const char* module, bool moduleSwitches, const char* file,
                const char* function, int line, const char* version, SystemTimeEx* time, const char* format,
                va_list args) {
    if (!levelPasses(level)) {
        return -1;
    }
    if (moduleSwitches && g_moduleMode.load(std::memory_order_relaxed) == 1 && module != nullptr &&
        !moduleSwitchedOn(module)) {
        return -1;
    }
    const int prefix =
        Virad_logOptionControl(buffer, kLineRoom, level, module, fileNameOf(file), function, line, version, time);
    if (prefix < 0) {
        return -1;
    }
    int length = prefix;
    if (format != nullptr) {
        const int written =
            std::vsnprintf(buffer + prefix, static_cast<std::size_t>(kLineBufferSize - prefix), format, args);
        if (written > 0) {
            length += written < kLineRoom - prefix ? written : kLineRoom - prefix;
        }
    }
    buffer[length] = '\0';
    g_lineStart.store(length == kLineRoom || (length > 0 && buffer[length - 1] == '\n'), std::memory_order_relaxed);
    return length;
}

} // namespace Detail

int logFilterEx(int level, const char* module, const char* file, const char* function, int line, const char* version,
                const char* format, va_list args) {
    // The level step once more, inline: a dropped call costs only that.
    if (!Detail::levelPasses(level)) {
        return 0;
    }
    char buffer[Detail::kLineBufferSize];
    SystemTimeEx time;
    const int length =
        Detail::composeLine(buffer, level, module, true, file, function, line, version, &time, format, args);
    if (length < 0) {
        return 0;
    }
    deliver(buffer, level);
    Virad_resetcolor();
    if (!Detail::loadByte(Detail::optionsRecord().noLogFile)) {
        Detail::writeLogFile(buffer, length, time);
    }
    if (module != nullptr && module[0] != '\0' && Detail::logStatisticsEnabled()) {
        countLine(module, length);
    }
    return length;
}

int logFilter(int level, const char* module, const char* file, const char* function, int line, const char* version,
              const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = logFilterEx(level, module, file, function, line, version, format, args);
    va_end(args);
    return length;
}

int Detail::logFilterChecked(int level, const char* module, const char* file, const char* function, int line,
                             const char* version, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = logFilterEx(level, module, file, function, line, version, format, args);
    va_end(args);
    return length;
}

#define DOZUV2_DEFINE_LOG_FUNCTION(name, level)                                                                        \
    int name(const char* format, ...) {                                                                                \
        va_list args;                                                                                                  \
        va_start(args, format);                                                                                        \
        const int length = ::Orvane::Virad::logFilterEx(level, "Unknown", "Unknown", "", 0, "", format, args);         \
        va_end(args);                                                                                                  \
        return length;                                                                                                 \
    }

DOZUV2_DEFINE_LOG_FUNCTION(logTrace, LOG_TRACE)
DOZUV2_DEFINE_LOG_FUNCTION(logDebug, LOG_TRACE)
DOZUV2_DEFINE_LOG_FUNCTION(logInfo, LOG_INFO)
DOZUV2_DEFINE_LOG_FUNCTION(logWarn, LOG_WARN)
DOZUV2_DEFINE_LOG_FUNCTION(logError, LOG_ERROR)
DOZUV2_DEFINE_LOG_FUNCTION(logFatal, LOG_FATAL)

int logLibName(int level, const char* libName, const char* format, ...) {
    if (level < LOG_FATAL || level > LOG_DEBUG) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int length = logFilterEx(level, libName, "Unknown", "", 0, "", format, args);
    va_end(args);
    return length;
}

void setPrintLogLevel(int level) {
    Detail::g_printLevel.store(level, std::memory_order_relaxed);
}

int getPrintLogLevel() {
    return Detail::g_printLevel.load(std::memory_order_relaxed);
}

void setPrintOptions(PrintOptions options) {
    const unsigned char* from = reinterpret_cast<const unsigned char*>(&options);
    unsigned char* record = reinterpret_cast<unsigned char*>(&Detail::optionsRecord());
    for (std::size_t i = 0; i < sizeof(PrintOptions); ++i) {
        Detail::storeByte(record[i], from[i]);
    }
    unsigned char* flags = Detail::optionFlags();
    for (int i = 0; i < Detail::kFlagCount; ++i) {
        Detail::storeByte(flags[i], from[i]);
    }
}

int getPrintOptions(PrintOptions* options) {
    if (options == nullptr) {
        return -1;
    }
    const unsigned char* record = reinterpret_cast<const unsigned char*>(&Detail::optionsRecord());
    unsigned char* to = reinterpret_cast<unsigned char*>(options);
    for (std::size_t i = 0; i < sizeof(PrintOptions); ++i) {
        to[i] = Detail::loadByte(record[i]);
    }
    return 0;
}

int setLogPrinter(TFunction1<void, const char*> printer) {
    Outputs& out = outputs();
    CGuard guard(out.mutex);
    out.logPrinter = printer;
    return 0;
}

bool attachPrint(TFunction1<bool, const char*> printer) {
    Outputs& out = outputs();
    CGuard guard(out.mutex);
    const PrinterList* current = out.printers.get();
    if (current != nullptr) {
        for (const Printer& attached : *current) {
            if (attached == printer) {
                return false;
            }
        }
    }
    auto next = Common::makeShared<PrinterList>();
    if (current != nullptr) {
        next->reserve(current->size() + 1);
        *next = *current;
    }
    next->push_back(printer);
    out.printers = std::move(next);
    return true;
}

bool detachPrint(TFunction1<bool, const char*> printer) {
    Outputs& out = outputs();
    CGuard guard(out.mutex);
    const PrinterList* current = out.printers.get();
    if (current == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < current->size(); ++i) {
        if ((*current)[i] == printer) {
            if (current->size() == 1) {
                out.printers.reset();
            } else {
                auto next = Common::makeShared<PrinterList>(*current);
                next->erase(next->begin() + static_cast<std::ptrdiff_t>(i));
                out.printers = std::move(next);
            }
            return true;
        }
    }
    return false;
}

std::map<std::string, LogModuleInfo> getLogStatistics() {
    Statistics& stats = statistics();
    CGuard guard(stats.mutex);
    return Common::filledForCaller([&stats] {
        std::map<std::string, LogModuleInfo> copy;
        for (const auto& entry : stats.table) {
            copy.emplace_hint(copy.end(), std::string(entry.first.data(), entry.first.size()), entry.second);
        }
        return copy;
    });
}

namespace Detail {

void setModuleSwitchMode(int mode) {
    g_moduleMode.store(mode, std::memory_order_relaxed);
}

int getModuleSwitchMode() {
    return g_moduleMode.load(std::memory_order_relaxed);
}

void setModuleSwitch(const char* module, bool on) {
    if (module == nullptr) {
        return;
    }
    ModuleSwitches& switches = moduleSwitches();
    CGuard guard(switches.mutex);
    auto found = switches.table.find(module);
    if (found == switches.table.end()) {
        found = switches.table.emplace(module, on).first;
    }
    found->second = on;
}

void clearModuleSwitches() {
    ModuleSwitches& switches = moduleSwitches();
    CGuard guard(switches.mutex);
    switches.table.clear();
}

void setModuleSwitchTableInUse(bool inUse) {
    moduleSwitches().inUse.store(inUse, std::memory_order_relaxed);
}

bool moduleSwitchedOn(const char* module) {
    ModuleSwitches& switches = moduleSwitches();
    if (!switches.inUse.load(std::memory_order_relaxed)) {
        return true;
    }
    CGuard guard(switches.mutex);
    const auto found = switches.table.find(module);
    return found == switches.table.end() || found->second;
}

void setLogStatisticsEnabled(bool enabled) {
    statistics().enabled.store(enabled, std::memory_order_relaxed);
}

bool logStatisticsEnabled() {
    return statistics().enabled.load(std::memory_order_relaxed);
}

void clearLogStatistics() {
    Statistics& stats = statistics();
    CGuard guard(stats.mutex);
    stats.table.clear();
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane

// The convenience functions of the global namespace.
DOZUV2_DEFINE_LOG_FUNCTION(logTrace, Orvane::Virad::LOG_TRACE)
DOZUV2_DEFINE_LOG_FUNCTION(logDebug, Orvane::Virad::LOG_TRACE)
DOZUV2_DEFINE_LOG_FUNCTION(logInfo, Orvane::Virad::LOG_INFO)
DOZUV2_DEFINE_LOG_FUNCTION(logWarn, Orvane::Virad::LOG_WARN)
DOZUV2_DEFINE_LOG_FUNCTION(logError, Orvane::Virad::LOG_ERROR)
DOZUV2_DEFINE_LOG_FUNCTION(logFatal, Orvane::Virad::LOG_FATAL)
