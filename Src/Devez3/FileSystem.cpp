// The file-system hook table, the choice of the table serving a path, and
// the process-wide default table.
#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"

#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

// Tables written against the first nineteen operations keep working: gather
// writes and 64-bit seeks simply report that they are not available.
std::int64_t IFileSystem::writev(int, const io_vec*, int) {
    return 0;
}

int IFileSystem::fseek64(void*, std::int64_t, int) {
    return -1;
}

std::int64_t IFileSystem::ftell64(void*) {
    return -1;
}

namespace {

// Entry 0 is never used, so 31 hooks fit.
constexpr int kHookEntries = 32;
constexpr std::size_t kHookNameRoom = 256;

struct HookEntry {
    char name[kHookNameRoom]; // empty: free
    IFileSystem* fileSystem;
};

// Plain static storage: zero before any code runs, and never torn down, so
// files opened from exit handlers still find their table.
HookEntry g_hooks[kHookEntries];

} // namespace

void hookFileSystem(const char* name, IFileSystem* fileSystem) {
    VIRAD_REPORT(LOG_INFO, "hookFileSystem called!, CFile/CLfsFile member function may be hooked!\n");
    const char* text = name != nullptr ? name : "";
    for (int i = 1; i < kHookEntries; ++i) {
        HookEntry& entry = g_hooks[i];
        if (fileSystem != nullptr) {
            if (entry.name[0] == '\0') {
                std::size_t n = 0;
                for (; n < kHookNameRoom - 1 && text[n] != '\0'; ++n) {
                    entry.name[n] = text[n];
                }
                entry.name[n] = '\0';
                entry.fileSystem = fileSystem;
                return;
            }
        } else if (std::strncmp(entry.name, text, kHookNameRoom) == 0 && entry.name[0] != '\0') {
            entry.name[0] = '\0';
            entry.fileSystem = nullptr;
            return;
        }
    }
}

namespace Detail {

IFileSystem* selectFileSystem(const char* path) {
    if (path != nullptr) {
        for (int i = 1; i < kHookEntries; ++i) {
            const HookEntry& entry = g_hooks[i];
            if (entry.name[0] != '\0' && std::strncmp(entry.name, path, std::strlen(entry.name)) == 0) {
                return entry.fileSystem;
            }
        }
    }
    return defaultFileSystem();
}

// Created on first use and never torn down. Threads still running while the
// exit handlers run (timer callbacks, the host's own) keep using files and
// searches they opened on it, and the log-file writer lists and deletes
// through it to the very end; a table freed under them would be used after
// its end. Searches still open at exit go with the process.
IFileSystem* defaultFileSystem() {
    return Common::ProcessWide<FileDefaultOpt, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) FileDefaultOpt; });
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane
