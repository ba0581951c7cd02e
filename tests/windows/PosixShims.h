// Test programs on Windows: the few POSIX C functions the tests call to play
// a host that changes its own zone or to read a time, in terms of the C
// runtime's own. Forced into every test source of the Windows build; the
// library never sees it.
#ifndef DOZUV2_TESTS_WINDOWS_POSIXSHIMS_H
#define DOZUV2_TESTS_WINDOWS_POSIXSHIMS_H

#include <cstdlib>
#include <ctime>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) {
        return 0;
    }
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

// The runtime declares it itself only when the POSIX thread-safe functions
// were asked for before its time header.
#ifndef _POSIX_THREAD_SAFE_FUNCTIONS
inline std::tm* gmtime_r(const std::time_t* time, std::tm* fields) {
    return gmtime_s(fields, time) == 0 ? fields : nullptr;
}
#endif

#endif
