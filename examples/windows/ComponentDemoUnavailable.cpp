// The example host on Windows: the component walk-through talks to its
// loopback server through POSIX sockets, which this build does not port to
// Winsock, so the host says so and goes on with the rest.
#include <cstdio>

void componentDemo() {
    std::printf("the loopback component demo uses POSIX sockets and is not part of the Windows build\n");
}
