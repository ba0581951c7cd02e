// The host-independent part of the console: the attribute last set, kept for
// output that is not a terminal, where no host has one to report or show.
#include "Src/Platform/Console.h"

#include "Src/Platform/HostParts.h"

#include <atomic>

namespace Orvane {
namespace Platform {

namespace {

// The attribute last set; 7 (grey) is the console's plain text.
std::atomic<std::uint16_t> g_attribute{7};

} // namespace

std::uint16_t consoleTextAttribute(ConsoleHandle console) {
    std::uint16_t shown = 0;
    if (standardOutputIsTerminal() && Host::shownTextAttribute(console, shown)) {
        return shown;
    }
    return g_attribute.load(std::memory_order_relaxed);
}

void setConsoleTextAttribute(ConsoleHandle console, std::uint16_t attribute) {
    g_attribute.store(attribute, std::memory_order_relaxed);
    if (standardOutputIsTerminal()) {
        Host::showTextAttribute(console, attribute);
    }
}

} // namespace Platform
} // namespace Orvane
