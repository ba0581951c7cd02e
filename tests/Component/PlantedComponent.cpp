// A library planted where only a class id that names a path could reach it.
// Loading it runs the initialiser below, which leaves the file
// "planted-library-loaded" in the working directory.
#include <cstdio>

namespace {

struct LeaveMark {
    LeaveMark() {
        if (std::FILE* mark = std::fopen("planted-library-loaded", "w")) {
            std::fclose(mark);
        }
    }
} g_mark;

} // namespace
