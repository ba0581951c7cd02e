// Test programs on Windows: the few POSIX C functions the tests call to play
// a host that changes its own zone, in terms of the C runtime's own. Forced
// into every test source of the Windows build; the library never sees it.
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

#endif
