#include "virad/FileFind.h"

#include "support/CapturePrinter.h"
#include "support/RecordingFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::TempDir;
using Orvane::Testing::writeFile;

namespace {

template <typename Find> std::set<std::string> paths(Find& find, const std::string& pattern) {
    std::set<std::string> found;
    for (bool more = find.findFile(pattern.c_str()); more; more = find.findNextFile()) {
        found.insert(std::string(find.getFilePath().c_str()));
    }
    find.close();
    return found;
}

} // namespace

TEST(FileFindTest, PatternsPathsAndAttributes) {
    Orvane::Testing::CapturePrinter quiet;
    TempDir dir;
    writeFile(dir / "a.log", "12");
    writeFile(dir / "b.log", "");
    writeFile(dir / ".c.txt", "");
    std::filesystem::create_directory(dir / "d.log");
    Orvane::Testing::RecordingFileSystem table;
    hookFileSystem(dir.path().c_str(), &table);
    CFileFind find;
    EXPECT_EQ(paths(find, dir / "*.log"), (std::set<std::string>{dir / "a.log", dir / "b.log", dir / "d.log"}));
    EXPECT_EQ(table.count("findclose"), 1);
    ASSERT_TRUE(find.findFile((dir / "a.*").c_str()));
    EXPECT_EQ(find.getFileName(), "a.log");
    EXPECT_EQ(find.getLength(), 2u);
    EXPECT_TRUE(find.isNormal() && !find.isDirectory() && !find.isHidden() && !find.isReadOnly());
    EXPECT_FALSE(find.findNextFile());
    EXPECT_FALSE(find.findFile((dir / "*.none").c_str()));
    find.close();
    EXPECT_EQ(table.count("findclose"), 2) << "a failed search leaves nothing to close";

    CFileFindEx ex;
    ASSERT_TRUE(ex.findFile((dir / "a.*").c_str()));
    EXPECT_EQ(std::string(ex.getFileName().c_str()) + std::to_string(ex.getLength()), "a.log2");
    EXPECT_TRUE(ex.isNormal() && !ex.isReadOnly());
    ASSERT_TRUE(ex.findFile((dir / "d.*").c_str()));
    EXPECT_TRUE(ex.isDirectory() && !ex.isNormal());
    ASSERT_TRUE(ex.findFile((dir / ".c*").c_str()));
    EXPECT_TRUE(ex.isHidden() && !ex.isNormal());
    ex.close();
    hookFileSystem(dir.path().c_str(), nullptr);

    // Without a directory part the paths are the bare names.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::set<std::string> all = paths(ex, "*");
    std::filesystem::current_path(saved);
    EXPECT_EQ(all, (std::set<std::string>{".", "..", "a.log", "b.log", ".c.txt", "d.log"}));
}

TEST(FileFindTest, NextWithoutASearchIsRejectedByTheTable) {
    CFileFind find;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(find.findNextFile());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Virad FileDefaultOpt::findnext fail!"), std::string::npos) << out;
}
