// A tour of the library in a few seconds: levelled lines, print options,
// a printer attached and detached, statistics, the last error, a hex dump
// and packets from the pool.
#include <Dozuv2.h>

#include <cstdio>
#include <cstring>

using namespace Orvane::Virad;

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

} // namespace

int main() {
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

    section("done");
    return 0;
}
