// A tour of the library in a few seconds: levelled lines, print options,
// a printer attached and detached, statistics, the last error, a hex dump,
// a worker thread that misses its time-out, calendar time with the clocks,
// timers, logfilter command lines steering a rotating log file, packets
// from the pool, character-set and IPv4 text conversions, and the
// include-version check finding a plug-in built against an older header.
#include <Dozuv2.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace Orvane::Virad;

// The component model with a client of a loopback server (ComponentDemo.cpp).
void componentDemo();

namespace {

// A host-side printer: counts the lines it is shown.
class LineCounter {
public:
    bool onLine(const char*) {
        ++m_lines;
        return true;
    }
    int lines() const { return m_lines; }

private:
    int m_lines = 0;
};

void section(const char* title) {
    std::printf("\n--- %s\n", title);
}

// A plug-in that was built against an older revision of one shared header
// registers its table beside the library's.
bool registerOutdatedPlugin() {
    static IncludeVersion table[] = {DOZUV2_SHARED_HEADER_TABLE};
    table[0].version = "1";
    return registerIncludeVersion("DemoPlugin", table, 5);
}

const char* const kIncludeReportArgument = "--include-report";

// The child's part: the plug-in registers, and checkResult reports what each
// library should be built with, then ends the process with its assertion.
int showIncludeReport() {
    registerOutdatedPlugin();
    CCheckIncludeVersionInter::instance()->checkResult();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    getViradVersion().print();
    if (argc == 2 && std::strcmp(argv[1], kIncludeReportArgument) == 0) {
        return showIncludeReport();
    }

    section("every level, print level 6 (debug prints as trace)");
    setPrintLogLevel(6);
    ::logFatal("a fatal line\n");
    ::logError("an error line\n");
    ::logWarn("a warning line\n");
    ::logInfo("an info line\n");
    ::logTrace("a trace line\n");
    ::logDebug("a debug line\n");
    logLibName(LOG_INFO, "DemoLib", "a line from module DemoLib, version %s\n", "none");
    logFilter(LOG_INFO, "Demo", "examples/DemoHost.cpp", __PRETTY_FUNCTION__, __LINE__, "2.0.0",
              "a line with a module and a version\n");

    section("print level 3: info and trace are dropped");
    setPrintLogLevel(3);
    const int dropped = ::logInfo("not shown\n");
    ::logWarn("logInfo returned %d while dropped\n", dropped);
    setPrintLogLevel(5);

    section("print options");
    PrintOptions options = {};
    options.showDate = 1;
    options.showMilliseconds = 1;
    options.showFunction = 1;
    setPrintOptions(options);
    logFilter(LOG_INFO, "Demo", "examples/DemoHost.cpp", "main", __LINE__, "Unknown", "date, milliseconds, function\n");
    options = PrintOptions{};
    options.tagged = 1;
    setPrintOptions(options);
    logFilter(LOG_INFO, "Demo", "examples/DemoHost.cpp", "main", __LINE__, "", "the tagged layout\n");
    options = PrintOptions{};
    options.hideTime = options.hideThreadId = options.hideFile = options.hideLine = 1;
    setPrintOptions(options);
    ::logInfo("a short prefix\n");
    setPrintOptions(PrintOptions{});
    ::logInfo("one line ");
    ::logInfo("printed in two calls\n");

    section("a printer attached and detached");
    LineCounter counter;
    const TFunction1<bool, const char*> printer(&LineCounter::onLine, &counter);
    attachPrint(printer);
    const bool again = attachPrint(printer);
    ::logInfo("seen by the printer (attaching it twice gave %s)\n", again ? "true" : "false");
    ::logInfo("also seen\n");
    detachPrint(printer);
    ::logInfo("not seen: the printer counted %d lines\n", counter.lines());

    section("per-module statistics, switched on by the logfilter command");
    char option[] = "-logmodulestatistics";
    char on[] = "on";
    char* words[] = {option, on};
    setLogFilter(2, words);
    logLibName(LOG_INFO, "Net", "link up\n");
    logLibName(LOG_WARN, "Net", "link slow\n");
    logLibName(LOG_INFO, "Disk", "mounted\n");
    for (const auto& entry : getLogStatistics()) {
        std::printf("  module %-6s printed %llu characters\n", entry.first.c_str(),
                    static_cast<unsigned long long>(entry.second.printedBytes));
    }

    section("last error and messages");
    setErrMsg(0x10000001, "the demo's own error");
    setLastError(0x10000001);
    ::logInfo("last error 0x%x: %s\n", getLastError(), getErrMsg(getLastError()));

    section("hex dump (trace level)");
    const char text[] = "Dozuv2 prints a hex dump, sixteen bytes a row.";
    dumpHex(reinterpret_cast<unsigned char*>(const_cast<char*>(text)), sizeof text);

    section("a named worker thread that misses its time-out");
    {
        class Poller : public CThread {
        public:
            Poller() : CThread("DemoPoller", 70) {}
            ~Poller() override { destroyThread(); }

        private:
            void threadProc() override {
                // Promises to check in within 20 ms, then takes longer.
                CThread::setCurrentTimeout(20);
                while (looping()) {
                    CThread::sleep(5);
                }
            }
        } poller;
        CThreadManager::instance()->registerMainThread();
        poller.createThread();
        CThread::sleep(100);
        flex_string late;
        if (CThreadManager::instance()->getTimeOutThreads(late)) {
            ::logWarn("timed-out threads: %s\n", late.c_str());
        }
        setPrintLogLevel(4);
        CThreadManager::instance()->dumpThreads();
    }

    section("calendar time and the clocks");
    const CTime now = CTime::getCurrentTime();
    char stamp[128];
    now.format(stamp);
    ::logInfo("now, stored pattern %s: %s\n", CTime::getFormat().c_str(), stamp);
    const char* patterns[] = {"dd.MM.yyyy HH:mm", "MM/dd/yy H:m:s", "yyyy-MM-ddTHH:mm:ss"};
    for (const char* pattern : patterns) {
        // Bit 1 keeps the pattern's own separators, bit 2 its date order.
        now.format(stamp, pattern, CTime::kUsePatternSeparator | CTime::kUsePatternDateOrder);
        ::logInfo("  %-22s %s\n", pattern, stamp);
    }
    CTime::setFormatString("MM/dd/yyyy hh:mm:ss tt");
    now.format(stamp);
    ::logInfo("12-hour mode (%s, separator '%c'): %s\n", CTime::get12Hour() ? "on" : "off", CTime::getSeparator(),
              stamp);
    (now + 12 * 3600).format(stamp);
    ::logInfo("twelve hours later: %s\n", stamp);
    CTime::setFormatString("yyyy-MM-dd HH:mm:ss");
    CTime parsed;
    if (parsed.parse("07/05/2024 09:03:02 PM", "MM/dd/yyyy hh:mm:ss t")) {
        parsed.format(stamp);
        ::logInfo("parsed \"07/05/2024 09:03:02 PM\": %s, weekday %d\n", stamp, parsed.wday);
    }
    ::logInfo("UTC %llu s, host zone offset %d s (UTC minus local)\n",
              static_cast<unsigned long long>(CTime::getCurrentUTCtime()), static_cast<int>(CTime::getTimeZone()));
    const unsigned long long startMs = CTime::getCurrentMilliSecond();
    const unsigned long long startUs = CTime::getCurrentMicroSecond();
    CSemaphore pause;
    pause.pend(50); // nobody posts: a 50 ms wait
    ::logInfo("monotonic clock: %llu ms since load; a 50 ms wait took %llu ms (%llu us)\n",
              static_cast<unsigned long long>(CTime::getCurrentMilliSecond()),
              static_cast<unsigned long long>(CTime::getCurrentMilliSecond()) - startMs,
              static_cast<unsigned long long>(CTime::getCurrentMicroSecond()) - startUs);

    section("timers: a periodic and a one-shot timer, and the timer table");
    {
        struct Ticker {
            int ticks = 0;
            void onTick(unsigned long step) { ::logInfo("tick %d (+%lu ms)\n", ++ticks, step); }
            void onceOnly(unsigned long) { ::logInfo("the one-shot timer fired\n"); }
        } ticker;
        CTimer periodic("DemoTicker");
        CTimer oneShot("DemoOneShot");
        periodic.start(CTimer::Proc(&Ticker::onTick, &ticker), 50, 50, 50, 1000);
        periodic.enableStat(true);
        oneShot.start(CTimer::Proc(&Ticker::onceOnly, &ticker), 120);
        CThread::sleep(80);
        CTimerManager::instance()->dumpTimers();
        CThread::sleep(200);
        periodic.stopAndWait();
    }

    section("logfilter command lines typed at the console, with a rotating log file");
    {
        // Each line is split into words as a console would and handed to
        // setLogFilter; lines given on the command line replace the script.
        std::string logPath = (std::filesystem::temp_directory_path() / "dozuv2-demo.log").string();
        const std::vector<std::string> script = {
            "-loglevel 5", "-logpath " + logPath, "-logsavesetting bysize 1 3", "-logmodule Disk off", "-logtime off",
        };
        std::vector<std::string> typed(argv + 1, argv + argc);
        for (const std::string& line : typed.empty() ? script : typed) {
            std::printf("logfilter> %s\n", line.c_str());
            std::istringstream split(line);
            std::vector<std::string> words{std::istream_iterator<std::string>(split), {}};
            std::vector<char*> argvOfLine;
            for (std::string& word : words) {
                argvOfLine.push_back(&word[0]);
            }
            setLogFilter(static_cast<int>(argvOfLine.size()), argvOfLine.data());
            for (int i = 0; i < 12; ++i) {
                logLibName(LOG_TRACE, i % 2 == 0 ? "Net" : "Disk", "line %d after \"%s\" %s\n", i, line.c_str(),
                           std::string(100, '.').c_str());
            }
        }
        logCleanup();
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
            const std::string name = entry.path().string();
            if (name.compare(0, logPath.size(), logPath) == 0) {
                std::printf("  log file %s: %ju bytes\n", name.c_str(),
                            static_cast<std::uintmax_t>(std::filesystem::file_size(entry.path())));
                std::filesystem::remove(entry.path());
            }
        }
        char* offWords[] = {const_cast<char*>("-logpath"), const_cast<char*>("")};
        setLogFilter(2, offWords);
        char* allOn[] = {const_cast<char*>("-logmodule"), const_cast<char*>("Disk"), const_cast<char*>("on")};
        setLogFilter(3, allOn);
        setPrintOptions(PrintOptions{});
    }

    // ---- memory ----
    section("packets from the pool, a slice, the free size before and after");
    {
        using namespace Orvane::Memory;
        CPacketManager::config(CPacketManager::policyPool, nullptr, nullptr);
        CPacketManager* manager = CPacketManager::instance();
        const unsigned long long before = manager->getFreeSize();
        {
            CPacket packet(1500, 16);
            const char text[] = "a packet from the pool";
            packet.resize(0);
            packet.putBuffer(const_cast<char*>(text), sizeof text);
            CPacket slice(packet, 2, 6);
            ::logInfo("packet size %llu capacity %llu, slice '%.6s', free %llu of %llu\n",
                      static_cast<unsigned long long>(packet.size()),
                      static_cast<unsigned long long>(packet.capacity()), slice.getBuffer(),
                      static_cast<unsigned long long>(manager->getFreeSize()),
                      static_cast<unsigned long long>(manager->getBufferSize()));
        }
        ::logInfo("free before %llu, after %llu\n", before, static_cast<unsigned long long>(manager->getFreeSize()));
    }

    // ---- utilities ----
    section("character sets: a Chinese line GBK -> UTF-8 -> GBK, a cp1252 line, an IPv4 address both ways");
    {
        namespace Utils = Orvane::Utils;
        // "中文编码转换 works" in GBK.
        char gbk[] = "\xD6\xD0\xCE\xC4\xB1\xE0\xC2\xEB\xD7\xAA\xBB\xBB works";
        unsigned char utf8[64];
        const int utf8Length = Utils::Gb2312TUtf8(gbk, utf8, sizeof utf8);
        char back[64];
        const int characters = Utils::utf8TGb2312(utf8, back, utf8Length, sizeof back);
        ::logInfo("GBK %zu bytes -> UTF-8 %d bytes: %s\n", std::strlen(gbk), utf8Length, utf8);
        ::logInfo("UTF-8 -> GBK: %d characters, %s the original bytes\n", characters,
                  std::strcmp(back, gbk) == 0 ? "the same as" : "NOT the same as");
        // "Café – 5 € naïve" in Windows-1252.
        const unsigned char cp1252[] = "Caf\xE9 \x96 5 \x80 na\xEFve";
        unsigned char fromCp1252[64] = {};
        const int needed = Utils::cp1252_to_utf8(fromCp1252, 0, cp1252, sizeof cp1252 - 1);
        Utils::cp1252_to_utf8(fromCp1252, needed, cp1252, sizeof cp1252 - 1);
        ::logInfo("cp1252 %zu bytes -> UTF-8 %d bytes: %s\n", sizeof cp1252 - 1, needed, fromCp1252);
        const IpAddress ip = Utils::stringToIp("192.168.1.10");
        char dotted[16];
        ::logInfo("IPv4 \"192.168.1.10\" is 0x%08X, and back: %s\n", ip.value,
                  Utils::ipToString(ip, dotted, sizeof dotted));
    }

    // ---- components ----
    section("a remote component through a client that logs in to a loopback server");
    componentDemo();

    section("include-version check: a plug-in built against an older header");
    {
        const bool agrees = registerOutdatedPlugin();
        ::logInfo("the plug-in's registration %s; checkResult ends its process, so it runs in a child:\n",
                  agrees ? "passed" : "failed");
        std::fflush(stdout);
        const std::string child = std::string("\"") + argv[0] + "\" " + kIncludeReportArgument;
        const int started = systemCall(child.c_str());
        std::fflush(stdout);
        ::logInfo("the child %s\n", started == 0 ? "has ended" : "could not be started");
    }

    section("done");
    return 0;
}
