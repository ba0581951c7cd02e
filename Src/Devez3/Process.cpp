// The process helpers: the process id and the command runner.
#include "virad/Process.h"

#include "Src/Common/Report.h"
#include "Src/Platform/Process.h"

#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Virad {

unsigned long long getCurrectProcessID() {
    return Platform::currentProcessId();
}

int systemCall(const char* command) {
    constexpr std::size_t kCommandRoom = 260;
    if (command == nullptr) {
        return 1;
    }
    if (std::strlen(command) >= kCommandRoom) {
        VIRAD_REPORT(LOG_ERROR, "systemCall's input parameter is too long, command:%s\n", command);
        return -1;
    }
    char line[kCommandRoom];
    std::snprintf(line, sizeof line, "%s", command);
    if (!Platform::runCommandLine(line)) {
        VIRAD_REPORT(LOG_WARN, "systemCall CreateProcessA cmd:%s failed\n", line);
        return -1;
    }
    return 0;
}

} // namespace Virad
} // namespace Orvane
