// The platform layer where Windows differs from other hosts: library file
// names, path separators, the directory search's own attributes, drive
// volumes, console attributes off a console, and command lines handed to the
// new process whole.
#include "Src/Platform/Platform.h"

#include "support/Testing.h"

#include <cerrno>
#include <filesystem>
#include <map>

using namespace Orvane::Platform;
using Orvane::Testing::TempDir;
namespace fs = std::filesystem;

TEST(WindowsLoaderTest, DllNamesAreCutToThirtyOneCharacters) {
    const std::pair<std::string, const char*> cases[] = {
        {"m", "m.dll"},
        {std::string(26, 'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaa.dll"},  // 30 characters
        {std::string(27, 'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaaa.dll"}, // 31: just fits
        {std::string(28, 'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaaaa.dl"}, // 32: cut
    };
    for (const auto& [base, expected] : cases) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(libraryFileName(name, sizeof name, base.c_str()), std::strlen(expected));
        EXPECT_EQ(std::string(name, sizeof name), expected + std::string(sizeof name - std::strlen(expected), '\0'));
    }
}

TEST(WindowsLoaderTest, LoadsBesideTheProgramAndFromTheSystem) {
    char name[32];
    libraryFileName(name, sizeof name, "LoaderProbe");
    const LibraryHandle probe = loadLibrary(name);
    ASSERT_NE(probe, nullptr) << name;
    const auto create = reinterpret_cast<int (*)(int)>(findEntryPoint(probe, "createLoaderProbeObject"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create(20), 41);
    const LibraryHandle kernel = loadLibrary("kernel32.dll");
    EXPECT_NE(kernel, nullptr);
    EXPECT_NE(findEntryPoint(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(findEntryPoint(kernel, "NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(loadLibrary("NoSuchLibraryHere.dll"), nullptr);
}

TEST(WindowsPathTest, BackslashSeparatesAndSlashIsAcceptedToo) {
    EXPECT_EQ(pathSeparator(), '\\');
    EXPECT_TRUE(isPathSeparator('\\'));
    EXPECT_TRUE(isPathSeparator('/'));
    EXPECT_FALSE(isPathSeparator(':'));
    const std::pair<const char*, const char*> names[] = {
        {"C:\\dir\\sub\\file.txt", "file.txt"},
        {"Src/Devez3/Thread.cpp", "Thread.cpp"},
        {"C:\\dir/mixed\\last", "last"},
        {"C:\\dir\\", ""},
        {"plain.txt", "plain.txt"},
    };
    for (const auto& [path, name] : names) {
        EXPECT_STREQ(fileNamePart(path), name) << path;
    }
}

TEST(WindowsFileTest, SearchReportsTheSystemsAttributes) {
    TempDir dir;
    // No dot-names: Windows leaves them alone, but Wine marks them hidden.
    for (const char* name : {"plain.log", "locked.log"}) {
        Orvane::Testing::writeFile(dir / name, "x");
    }
    fs::permissions(dir / "locked.log",
                    fs::perms::all & ~fs::perms::owner_write & ~fs::perms::group_write & ~fs::perms::others_write);
    fs::create_directory(dir / "sub.log");
    std::map<std::string, unsigned> found;
    DirectoryEntry entry = {};
    DirectorySearch* search = startDirectorySearch((dir.path() + "\\*.log").c_str(), entry);
    ASSERT_NE(search, nullptr);
    do {
        found[entry.name] = entry.attributes & 0x13u; // read-only, hidden, directory
    } while (nextDirectoryEntry(search, entry));
    EXPECT_EQ(endDirectorySearch(search), 0);
    const std::map<std::string, unsigned> expected = {{"locked.log", 0x1}, {"plain.log", 0}, {"sub.log", 0x10}};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(startDirectorySearch((dir.path() + "\\*.none").c_str(), entry), nullptr);
}

TEST(WindowsFileTest, DriveVolumesAndNullPaths) {
    std::uint64_t mine = 0, total = 0, free = 0;
    ASSERT_EQ(volumeSpace("C:\\", &mine, &total, &free), 0);
    EXPECT_GT(total, 0u);
    EXPECT_LE(mine, free);
    EXPECT_LE(free, total);
    EXPECT_EQ(volumeSpace("C:\\no\\such\\folder\\", &mine, &total, &free), -1);
    PathStatus status = {};
    errno = 0;
    const std::vector<int> results = {volumeSpace(nullptr, &mine, &total, &free), statPath(nullptr, status),
                                      accessPath(nullptr, 0), removeFile(nullptr), errno};
    EXPECT_EQ(results, std::vector<int>({-1, -1, -1, -1, ENOENT}));
    StreamOpenFlags flags = {};
    EXPECT_EQ(openStream(nullptr, flags, "rb"), nullptr);
}

TEST(WindowsConsoleTest, AttributesOffAConsoleAreRemembered) {
    if (standardOutputIsTerminal()) {
        GTEST_SKIP() << "standard output is a console here";
    }
    const ConsoleHandle console = standardOutputHandle();
    ASSERT_NE(console, nullptr);
    setConsoleTextAttribute(console, 0x0C); // intense red
    EXPECT_EQ(consoleTextAttribute(console), 0x0C);
    setConsoleTextAttribute(console, 7);
    EXPECT_EQ(consoleTextAttribute(console), 7);
}

TEST(WindowsProcessTest, TheCommandLineReachesTheProgramWhole) {
    TempDir dir;
    const std::string made = dir.path() + "\\made by child";
    // Quotes and blanks are the child's to parse: cmd makes one folder of the quoted name.
    EXPECT_TRUE(runCommandLine(("cmd.exe /c mkdir \"" + made + "\"").c_str()));
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_FALSE(runCommandLine("NoSuchProgramHere.exe"));
    EXPECT_FALSE(runCommandLine("   "));
}

void secondExitHandler() {
    std::fputs("second handler ran\n", stderr);
}

void firstExitHandler() {
    std::fputs("first handler ran\n", stderr);
    registerExitHandler(&secondExitHandler);
}

TEST(WindowsExitTest, AHandlerRegisteredByAHandlerStillRuns) {
    // The C runtime here drops what is registered while it runs its handlers.
    EXPECT_EXIT(
        {
            registerExitHandler(&firstExitHandler);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "first handler ran\nsecond handler ran\n");
}
