// POSIX realisation of the wall and monotonic clocks.
#include "Platform/Platform.h"

#include <ctime>

namespace Orvane {
namespace Platform {

void currentLocalTime(LocalTime& out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    // Every printed line asks for the time, and the C library's conversion
    // takes a process-wide lock; within one second the answer differs only in
    // its milliseconds, so each thread keeps its last conversion.
    struct Cache {
        time_t second = -1;
        LocalTime fields = {};
    };
    static thread_local Cache cache;
    if (cache.second != now.tv_sec) {
        tm local;
        localtime_r(&now.tv_sec, &local);
        cache.fields.year = local.tm_year + 1900;
        cache.fields.month = local.tm_mon + 1;
        cache.fields.day = local.tm_mday;
        cache.fields.wday = local.tm_wday;
        cache.fields.hour = local.tm_hour;
        cache.fields.minute = local.tm_min;
        cache.fields.second = local.tm_sec;
        cache.second = now.tv_sec;
    }
    out = cache.fields;
    out.millisecond = static_cast<int>(now.tv_nsec / 1000000L);
}

std::uint64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace Platform
} // namespace Orvane
