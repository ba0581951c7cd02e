#include "virad/FileFind.h"

#include "support/CapturePrinter.h"
#include "support/MemoryFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::MemoryFileSystem;
using Orvane::Testing::TempDir;
using Orvane::Testing::writeFile;

namespace {

template <typename Find> std::set<std::string> paths(Find& find, const std::string& pattern) {
    std::set<std::string> found;
    if (find.findFile(pattern.c_str())) {
        do {
            found.insert(std::string(find.getFilePath().c_str()));
        } while (find.findNextFile());
    }
    find.close();
    return found;
}

} // namespace

TEST(FileFindTest, PatternsAndPaths) {
    TempDir dir;
    writeFile(dir / "a.log", "12");
    writeFile(dir / "b.log", "");
    writeFile(dir / "c.txt", "");
    CFileFind find;
    EXPECT_EQ(paths(find, dir / "*.log"), (std::set<std::string>{dir / "a.log", dir / "b.log"}));
    ASSERT_TRUE(find.findFile((dir / "a.*").c_str()));
    EXPECT_EQ(find.getFileName(), "a.log");
    EXPECT_EQ(find.getLength(), 2u);
    EXPECT_TRUE(find.isNormal());
    EXPECT_FALSE(find.isDirectory());
    EXPECT_FALSE(find.findNextFile());
    EXPECT_FALSE(find.findFile((dir / "*.none").c_str()));

    // Without a directory part the paths are the bare names.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CFileFindEx ex;
    EXPECT_EQ(paths(ex, "*.txt"), (std::set<std::string>{"c.txt"}));
    const std::set<std::string> all = paths(ex, "*");
    std::filesystem::current_path(saved);
    EXPECT_EQ(all, (std::set<std::string>{".", "..", "a.log", "b.log", "c.txt"})) << "dot entries are listed";
}

TEST(FileFindTest, AttributesThroughAHookedTable) {
    Orvane::Testing::CapturePrinter quiet;
    MemoryFileSystem fs;
    fs.files["mem:d/plain"] = "abc";
    fs.files["mem:d/ro"] = "";
    fs.files["mem:d/hidden"] = "";
    fs.directories.insert("mem:d/sub");
    fs.attributes["mem:d/ro"] = 0x1;
    fs.attributes["mem:d/hidden"] = 0x2 | 0x1;
    hookFileSystem("mem:", &fs);

    CFileFindEx find;
    ASSERT_TRUE(find.findFile("mem:d/*"));
    int seen = 0;
    do {
        const std::string name = find.getFileName().c_str();
        EXPECT_EQ(std::string(find.getFilePath().c_str()), "mem:d/" + name);
        EXPECT_EQ(find.isNormal(), name == "plain") << name;
        EXPECT_EQ(find.isReadOnly(), name == "ro" || name == "hidden") << name;
        EXPECT_EQ(find.isHidden(), name == "hidden") << name;
        EXPECT_EQ(find.isDirectory(), name == "sub") << name;
        if (name == "plain") {
            EXPECT_EQ(find.getLength(), 3u);
        }
        ++seen;
    } while (find.findNextFile());
    EXPECT_EQ(seen, 4);
    find.close();
    EXPECT_EQ(fs.count("findclose"), 1);
    find.close();
    EXPECT_EQ(fs.count("findclose"), 1) << "closing twice ends the search once";
    hookFileSystem("mem:", nullptr);
}

TEST(FileFindTest, NextWithoutASearchIsRejectedByTheTable) {
    CFileFind find;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(find.findNextFile());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Virad FileDefaultOpt::findnext fail!"), std::string::npos) << out;
}
