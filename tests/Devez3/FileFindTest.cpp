#include "virad/FileFind.h"

#include "support/RecordingFileSystem.h"
#include "support/Testing.h"

#include <filesystem>
#include <set>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
using Paths = std::set<std::string>;

template <typename Find> Paths paths(Find& find, const std::string& pattern) {
    Paths found;
    for (bool more = find.findFile(pattern.c_str()); more; more = find.findNextFile()) {
        found.insert(std::string(find.getFilePath().c_str()));
    }
    find.close();
    return found;
}

// Name, length (not for a directory, whose size is the host's) and those of the four attribute tests that hold for
// the first match.
template <typename Find> std::string entry(Find& find, const std::string& pattern) {
    if (!find.findFile(pattern.c_str())) {
        return "no match";
    }
    std::string text =
        std::string(find.getFileName().c_str()) + " " + (find.isDirectory() ? "-" : std::to_string(find.getLength()));
    const std::pair<bool, const char*> attributes[] = {{find.isNormal(), "normal"},
                                                       {find.isDirectory(), "directory"},
                                                       {find.isHidden(), "hidden"},
                                                       {find.isReadOnly(), "read-only"}};
    for (const auto& [holds, name] : attributes) {
        text += holds ? std::string(" ") + name : "";
    }
    return text;
}

TEST(FileFindTest, PatternsPathsAndAttributes) {
    CapturePrinter quiet;
    TempDir dir;
    writeFile(dir / "a.log", "12");
    writeFile(dir / "b.log", "");
    writeFile(dir / ".c.txt", "");
    std::filesystem::create_directory(dir / "d.log");
    RecordingFileSystem table;
    hookFileSystem(dir.path().c_str(), &table);
    CFileFind find;
    EXPECT_EQ(paths(find, dir / "*.log"), (Paths{dir / "a.log", dir / "b.log", dir / "d.log"}));
    EXPECT_EQ(table.count("findclose"), 1);
    EXPECT_EQ(entry(find, dir / "a.*"), "a.log 2 normal");
    EXPECT_FALSE(find.findNextFile());
    EXPECT_FALSE(find.findFile((dir / "*.none").c_str()));
    find.close();
    EXPECT_EQ(table.count("findclose"), 2) << "a failed search leaves nothing to close";

    CFileFindEx ex;
    EXPECT_EQ(Lines({entry(ex, dir / "a.*"), entry(ex, dir / "d.*"), entry(ex, dir / ".c*")}),
              (Lines{"a.log 2 normal", "d.log - directory", ".c.txt 0 hidden"}));
    ex.close();
    hookFileSystem(dir.path().c_str(), nullptr);

    // Without a directory part the paths are the bare names.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const Paths all = paths(ex, "*");
    std::filesystem::current_path(saved);
    EXPECT_EQ(all, (Paths{".", "..", "a.log", "b.log", ".c.txt", "d.log"}));

    const std::string out = stdoutOf([] { EXPECT_FALSE(CFileFind().findNextFile()); });
    EXPECT_NE(out.find("Virad FileDefaultOpt::findnext fail!"), std::string::npos) << "rejected by the table: " << out;
}
