#include "virad/File.h"

#include "support/CapturePrinter.h"
#include "support/RecordingFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::readFile;
using Orvane::Testing::writeFile;

namespace {

// A recording table registered for a fresh directory for the test's lifetime.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override { hookFileSystem(m_dir.path().c_str(), &m_fs); }
    void TearDown() override { hookFileSystem(m_dir.path().c_str(), nullptr); }
    std::size_t reported(const std::string& text) const { return m_capture.linesContaining(text).size(); }
    std::string path(const char* name) const { return m_dir / name; }

    Orvane::Testing::CapturePrinter m_capture{true, 5};
    Orvane::Testing::TempDir m_dir;
    Orvane::Testing::RecordingFileSystem m_fs;
};

} // namespace

TEST_F(FileTest, FlagsBecomeModeStrings) {
    const std::string f = path("f");
    writeFile(f, "data");
    const struct {
        unsigned int flags;
        const char *small, *large;
    } cases[] = {
        {0x0, "rb", "rb"},        {0x1, "wb", "wb"},      {0x2001, "ab", "ab"},   {0x2, "rb+", "rb+"},
        {0x1002, "wb+", "wb+"},   {0x3002, "ab+", "ab+"}, {0x80, "rbe", "rbe"},   {0x10000, "rbd", "rb"},
        {0x10081, "wbed", "wbe"}, {0x1000, "rb", "rb"},   {0xFE0000, "rb", "rb"},
    };
    for (const auto& c : cases) {
        m_fs.clearCalls();
        CFile small;
        CLfsFile large;
        EXPECT_TRUE(small.open(f.c_str(), c.flags) && large.open(f.c_str(), c.flags)) << std::hex << c.flags;
        EXPECT_EQ(m_fs.modes(), (std::vector<std::string>{c.small, c.large})) << std::hex << c.flags;
    }
    CFile file;
    CLfsFile large;
    m_fs.clearCalls();
    EXPECT_FALSE(file.open(f.c_str(), 3) || large.open(f.c_str(), 0x100F));
    EXPECT_TRUE(m_fs.modes().empty()) << "invalid access bits never reach the file system";
    EXPECT_EQ(reported("CFile::open() dwFlags:3 is invalid\n"), 1u);
    EXPECT_EQ(reported("CLfsFile::open() dwFlags:4111 is invalid\n"), 1u);
    EXPECT_FALSE(file.open(path("missing").c_str(), 0));
    EXPECT_FALSE(file.isOpen());
}

TEST_F(FileTest, CachedPositionAndLength) {
    writeFile(path("f"), std::string(100, 'a'));
    CFile file;
    ASSERT_TRUE(file.open(path("f").c_str(), CFile::openReadWrite));
    EXPECT_EQ(m_fs.count("stat"), 1) << "open measures through stat";
    m_fs.clearCalls();
    char bytes[30] = {}, line[16];
    // Length, then position or length after each step: a seek to the cached position needs no call, one from
    // the end always calls; the length follows writes past the end only; a failed seek changes nothing.
    std::vector<std::uint64_t> results = {file.getLength(), file.seek(0, CFile::current), file.seek(0, CFile::begin)};
    const int seeksBefore = m_fs.count("fseek");
    results.push_back(file.seek(0, CFile::end));
    const int seeksAfter = m_fs.count("fseek");
    file.write(bytes, sizeof bytes);
    results.insert(results.end(), {file.getLength(), file.seek(-40, CFile::end)});
    file.puts("xyz");
    results.insert(results.end(), {file.getPosition(), file.getLength(), file.seek(-1000, CFile::current),
                                   file.getPosition(), file.seek(90, CFile::begin)});
    ASSERT_NE(file.gets(line, sizeof line), nullptr);
    results.push_back(file.getPosition());
    EXPECT_EQ(results, (std::vector<std::uint64_t>{100, 0, 0, 100, 130, 90, 93, 130, 0, 93, 90, 100}));
    EXPECT_EQ(seeksBefore * 10 + seeksAfter, 1) << "gets moves by the text's length: \"xyz\", 7 bytes, NULs";

    // A length of 0 means "not measured": getLength measures it and restores the position.
    CLfsFile created;
    ASSERT_TRUE(created.open(path("g").c_str(), CLfsFile::openReadWrite | CLfsFile::openCreate));
    writeFile(path("g"), "grown elsewhere");
    m_fs.clearCalls();
    EXPECT_EQ(created.getLength(), 15);
    EXPECT_EQ(created.getPosition(), 0);
    EXPECT_EQ(m_fs.count("fseek64"), 2) << "measure at the end, then back";
    EXPECT_EQ(m_fs.count("fseek"), 0) << "the large file uses the 64-bit operations";
}

TEST_F(FileTest, ClosedObjectsAndUnsupportedOperations) {
    CFile file;
    char buffer[8];
    FileInfoEx info = {};
    info.size = 77;
    file.flush();
    file.close();
    EXPECT_EQ(std::vector<std::int64_t>({file.read(buffer, 8), file.write(buffer, 8), file.writev(nullptr, 0),
                                         static_cast<std::int64_t>(file.seek(5, CFile::begin) + file.getLength()),
                                         file.puts("x"), file.gets(buffer, 8) != nullptr,
                                         file.setvbuf(nullptr, CFile::fullBuffer, 0), file.fallocate(0, 0, 10),
                                         file.fstat(info), file.resv3() || file.resv4(),
                                         static_cast<std::int64_t>(info.size)}),
              std::vector<std::int64_t>({-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 77}));
    writeFile(path("f"), "x");
    CLfsFile large;
    ASSERT_TRUE(large.open(path("f").c_str(), 0));
    EXPECT_FALSE(large.fallocate(0, 0, 10) || large.fstat(info));
    EXPECT_EQ(large.gets(buffer, 0x80000000LL), nullptr);
    EXPECT_NE(large.gets(buffer, 0x7FFFFFFFLL), nullptr) << "one below the limit is read";
    for (const char* text :
         {"CFile::setvbuf failed, file has not been opened!\n", "this platform CFile::fallocate not support.\n",
          "this platform CFile::fstat not support.\n", "this platform CLfsFile::fallocate not support.\n",
          "this platform CLfsFile::fstat not support.\n",
          "Bytes need to be seeked has been over the _MAX_INT_VALUE.\n"}) {
        EXPECT_EQ(reported(text), 1u) << text;
    }
}

TEST_F(FileTest, ChunkedTransfersAndCopiesOfTheLargeFile) {
    writeFile(path("f"), std::string(100, 'z'));
    m_fs.transferLimit = 7;
    std::vector<char> buffer(100);
    {
        CLfsFile large;
        ASSERT_TRUE(large.open(path("f").c_str(), CLfsFile::openReadWrite));
        EXPECT_EQ(large.read(buffer.data(), 50), 50) << "repeated until complete";
        EXPECT_EQ(m_fs.count("fread"), 8) << "50 bytes in pieces of 7";
        EXPECT_EQ(large.seek(-10, CLfsFile::end), 90);
        EXPECT_EQ(large.read(buffer.data(), 100), 10);
        EXPECT_EQ(large.getPosition(), 100);
        EXPECT_EQ(reported("fread get error, total:100 has read:10, expected:90 return actuallen:0\n"), 1u);
        EXPECT_EQ(large.write(buffer.data(), 20), 20);
        EXPECT_EQ(large.getLength(), 120);

        // Copies never share the open file: they start closed.
        m_fs.clearCalls();
        CLfsFile copy(large);
        const bool copyOpen = copy.isOpen();
        ASSERT_TRUE(copy.open(path("f").c_str(), 0));
        copy = large;
        CLfsFile& same = copy;
        copy = same;
        EXPECT_FALSE(copyOpen || copy.isOpen()) << "construction and assignment leave the copy closed";
        EXPECT_TRUE(large.isOpen());
        EXPECT_EQ(m_fs.count("fclose"), 1);
    }
    CFile small;
    ASSERT_TRUE(small.open(path("f").c_str(), 0));
    EXPECT_EQ(small.getLength(), 120u);
    small.seek(110, CFile::begin);
    EXPECT_EQ(small.read(buffer.data(), 100), 7) << "CFile reads once";
}

TEST_F(FileTest, StaticOperationsChooseByTheFirstPath) {
    Orvane::Testing::TempDir elsewhere;
    writeFile(path("a"), "1");
    EXPECT_TRUE(CFile::rename(path("a").c_str(), (elsewhere / "b").c_str()));
    EXPECT_EQ(m_fs.count("rename"), 1) << "the old path's table does the rename";
    EXPECT_EQ(readFile(elsewhere / "b"), "1");
    FileInfo info = {};
    EXPECT_TRUE(CLfsFile::access((elsewhere / "b").c_str(), 0) && CLfsFile::stat((elsewhere / "b").c_str(), info));
    EXPECT_EQ(m_fs.count("access") + m_fs.count("stat"), 0) << "served by the default table";
    std::uint64_t mine = 0, total = 0, free = 0;
    EXPECT_TRUE(CFile::statFS(m_dir.path().c_str(), mine, total, free));
    EXPECT_EQ(std::vector<std::uint64_t>({mine, total, free}), std::vector<std::uint64_t>({1, 3, 2}));

    EXPECT_TRUE(CFile::makeDirectoryRecursively((path("a") + "/b/c/").c_str()));
    EXPECT_EQ(m_fs.count("mkdir"), 4) << "the hooked directory itself, a, a/b and a/b/c";
    EXPECT_TRUE(std::filesystem::is_directory(path("a") + "/b/c"));
    EXPECT_FALSE(CFile::makeDirectoryRecursively((path("a") + "/b/c").c_str())) << "the last one exists";
    EXPECT_FALSE(CFile::makeDirectoryRecursively(""));
    EXPECT_EQ(reported("the path is unvalid"), 1u);
}

TEST_F(FileTest, LoadWritevAndTheShortLoadDiagnostic) {
    const std::string f = path("f");
    writeFile(f, "0123456789");
    ASSERT_TRUE(CFile().open(f.c_str(), CFile::openReadWrite | CFile::openCreate)) << "0x1002 truncates";
    CFile file;
    CLfsFile large;
    EXPECT_EQ(file.load(f.c_str()), nullptr) << "an empty file loads nothing";
    EXPECT_TRUE(file.isOpen()) << "and stays open";
    file.close();
    writeFile(f, "hello");
    writeFile(path("other"), "world");
    unsigned char* loaded = file.load(f.c_str());
    ASSERT_TRUE(loaded != nullptr && large.load(path("other").c_str()) != nullptr);
    EXPECT_EQ(file.load(path("other").c_str()), loaded) << "a second load returns the first buffer";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(loaded), 5) + std::string(reinterpret_cast<char*>(large.load("")), 5),
              "helloworld");
    file.unload();
    EXPECT_FALSE(file.isOpen());

    ASSERT_TRUE(file.open(f.c_str(), CFile::openWrite | CFile::openNoTruncate));
    char ab[] = "ab";
    EXPECT_EQ(file.write(ab, 2), 2);
    file.close();
    EXPECT_EQ(readFile(f), "helloab") << "0x2001 appends";

    ASSERT_TRUE(file.open(f.c_str(), CFile::openReadWrite));
    file.seek(4, CFile::begin);
    EXPECT_EQ(file.writev(nullptr, 3), 3);
    EXPECT_EQ(file.getPosition(), 7u);
    ASSERT_EQ(m_fs.writevDescriptors.size(), 1u);
    EXPECT_GT(m_fs.writevDescriptors[0], 2) << "the stream's descriptor is handed over";
    file.close();

    large.unload();
    m_fs.shortBy = 3;
    testing::internal::CaptureStdout(); // the diagnostic command's listing
    const bool loadedShort = file.load(f.c_str()) != nullptr || large.load(f.c_str()) != nullptr;
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loadedShort || file.isOpen() || large.isOpen());
    EXPECT_EQ(reported("CFile::load() length:7, ret:4, errmsg:"), 1u);
    EXPECT_EQ(reported("CLfsFile::load() length:7, ret:4, errmsg:"), 1u);
}

TEST(FileDefaultTableTest, RealFilesAndRecursiveRemoval) {
    Orvane::Testing::CapturePrinter capture(true, 5);
    Orvane::Testing::TempDir dir;
    writeFile(dir / "f", "hello");
    CFile file;
    ASSERT_TRUE(file.open((dir / "f").c_str(), CFile::openRead));
    ASSERT_TRUE(file.open((dir / "f").c_str(), CFile::openReadWrite | CFile::openCreate | CFile::openNoTruncate))
        << "an open file is closed first";
    EXPECT_EQ(file.getLength(), 5u) << "kept contents report their size";
    EXPECT_EQ(file.seek(-2, CFile::end), 3u);
    char rest[100];
    EXPECT_EQ(file.read(rest, 100), 2) << "a read past the end returns what there was";
    EXPECT_TRUE(file.setvbuf(nullptr, CFile::noBuffer, 0));
    EXPECT_EQ(file.writev(nullptr, 0), -1) << "no gather write on the default table";
    EXPECT_EQ(file.getPosition(), 5u);
    file.close();

    const std::string top = dir / "top";
    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/a/b").c_str()));
    writeFile(top + "/a/b/f1", "1");
    writeFile(top + "/.f3", "3");
    EXPECT_TRUE(CFile::removeDirectoryRecursively((top + "/").c_str(), false));
    EXPECT_TRUE(std::filesystem::is_directory(top) && std::filesystem::is_empty(top));
    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/x/y").c_str()));
    EXPECT_TRUE(CFile::removeDirectoryRecursively(top.c_str(), true));
    EXPECT_FALSE(Orvane::Testing::exists(top));
    EXPECT_FALSE(CFile::removeDirectoryRecursively(top.c_str(), true));
    EXPECT_EQ(capture.linesContaining("the path does not exist").size(), 1u);
    EXPECT_FALSE(CFile::removeDirectoryRecursively(nullptr, true));
    EXPECT_EQ(capture.linesContaining("the path is unvalid").size(), 1u);
}

TEST(FileRemoveTest, DeletesFilesAndNeverDirectories) {
    Orvane::Testing::TempDir dir;
    const std::string empty = dir / "empty";
    ASSERT_TRUE(CFile::makeDirectory(empty.c_str()));
    EXPECT_FALSE(CFile::remove(empty.c_str()));
    EXPECT_FALSE(CLfsFile::remove(empty.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(empty)) << "an empty directory is not a file";

    for (bool large : {false, true}) {
        const std::string file = dir / "file";
        writeFile(file, "x");
        EXPECT_TRUE(large ? CLfsFile::remove(file.c_str()) : CFile::remove(file.c_str()));
        EXPECT_FALSE(Orvane::Testing::exists(file));
    }
    EXPECT_TRUE(CFile::removeDirectory(empty.c_str()));
}

TEST(FileNullPathTest, FailsLikeAMissingFile) {
    CFile small;
    CLfsFile large;
    for (unsigned int flags : {0x0u, 0x1u, 0x2u, 0x1002u, 0x2001u}) {
        errno = 0;
        EXPECT_FALSE(small.open(nullptr, flags)) << std::hex << flags;
        EXPECT_EQ(errno, ENOENT) << std::hex << flags;
        errno = 0;
        EXPECT_FALSE(large.open(nullptr, flags)) << std::hex << flags;
        EXPECT_EQ(errno, ENOENT) << std::hex << flags;
        EXPECT_FALSE(small.isOpen() || large.isOpen());
    }
    EXPECT_EQ(small.load(nullptr), nullptr);
    EXPECT_EQ(large.load(nullptr), nullptr);
    EXPECT_EQ(small.getLength() + static_cast<std::uint64_t>(large.getLength()), 0u);
}
