#include "virad/File.h"

#include "Devez3/FileDefaultOpt.h"
#include "support/CapturePrinter.h"
#include "support/MemoryFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::MemoryFileSystem;
using Orvane::Testing::readFile;
using Orvane::Testing::TempDir;
using Orvane::Testing::writeFile;

namespace {

// A memory file system registered under "mem:" for the test's lifetime.
class HookedTest : public ::testing::Test {
protected:
    void SetUp() override { hookFileSystem("mem:", &m_fs); }
    void TearDown() override { hookFileSystem("mem:", nullptr); }
    std::size_t reported(const std::string& text) const { return m_capture.linesContaining(text).size(); }

    CapturePrinter m_capture{true, 5};
    MemoryFileSystem m_fs;
};

// The default table with a read that stops short and a recording gather write.
class ShortReads : public FileDefaultOpt {
public:
    std::size_t fread(void* buffer, std::size_t size, std::size_t count, void* stream) override {
        return count > 3 ? FileDefaultOpt::fread(buffer, size, count - 3, stream) : 0;
    }
    std::int64_t writev(int descriptor, const io_vec*, int count) override {
        descriptors.push_back(descriptor);
        return count;
    }
    std::vector<int> descriptors;
};

} // namespace

TEST_F(HookedTest, FlagsBecomeModeStrings) {
    m_fs.files["mem:f"] = "data";
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
        EXPECT_TRUE(small.open("mem:f", c.flags) && large.open("mem:f", c.flags)) << std::hex << c.flags;
        EXPECT_EQ(m_fs.modes(), (std::vector<std::string>{c.small, c.large})) << std::hex << c.flags;
    }

    CFile file;
    CLfsFile large;
    m_fs.clearCalls();
    EXPECT_FALSE(file.open("mem:f", 3) || large.open("mem:f", 0x100F));
    EXPECT_TRUE(m_fs.modes().empty()) << "invalid access bits never reach the file system";
    EXPECT_EQ(reported("CFile::open() dwFlags:3 is invalid\n"), 1u);
    EXPECT_EQ(reported("CLfsFile::open() dwFlags:4111 is invalid\n"), 1u);
    EXPECT_FALSE(file.open("mem:missing", 0)) << "fopen failure";
    EXPECT_FALSE(file.isOpen());
}

TEST_F(HookedTest, CachedPositionAndLength) {
    m_fs.files["mem:f"] = std::string(100, 'a');
    CFile file;
    ASSERT_TRUE(file.open("mem:f", CFile::openReadWrite));
    EXPECT_EQ(m_fs.count("stat"), 1) << "open measures through stat";
    EXPECT_EQ(file.getLength(), 100u);

    m_fs.clearCalls();
    EXPECT_EQ(file.seek(0, CFile::current), 0u);
    EXPECT_EQ(file.seek(0, CFile::begin), 0u);
    EXPECT_EQ(m_fs.count("fseek"), 0) << "a seek to the cached position needs no call";
    EXPECT_EQ(file.seek(0, CFile::end), 100u);
    EXPECT_EQ(m_fs.count("fseek"), 1) << "a seek from the end always calls";
    EXPECT_EQ(file.getPosition(), 100u);

    char bytes[30] = {};
    EXPECT_EQ(file.write(bytes, sizeof bytes), 30);
    EXPECT_EQ(file.getLength(), 130u) << "the length follows writes past the end";
    EXPECT_EQ(file.seek(-40, CFile::end), 90u);
    EXPECT_EQ(file.puts("xyz"), 0);
    EXPECT_EQ(file.getPosition(), 93u);
    EXPECT_EQ(file.getLength(), 130u) << "a write inside the file leaves the length";
    EXPECT_EQ(file.seek(-1000, CFile::current), 0u) << "seek failure";
    EXPECT_EQ(file.getPosition(), 93u) << "position unchanged by a failed seek";

    file.seek(90, CFile::begin);
    char line[16];
    ASSERT_NE(file.gets(line, sizeof line), nullptr);
    EXPECT_EQ(file.getPosition(), 90u + std::strlen(line));

    // A length of 0 means "not measured": getLength measures it and restores the position.
    CLfsFile created;
    ASSERT_TRUE(created.open("mem:g", CLfsFile::openReadWrite | CLfsFile::openCreate));
    m_fs.files["mem:g"] = "grown elsewhere";
    m_fs.clearCalls();
    EXPECT_EQ(created.getLength(), 15);
    EXPECT_EQ(created.getPosition(), 0);
    EXPECT_EQ(m_fs.count("fseek64"), 2) << "measure at the end, then back";
    EXPECT_EQ(m_fs.count("fseek"), 0) << "the large file uses the 64-bit operations";
}

TEST_F(HookedTest, ClosedObjectsAndUnsupportedOperations) {
    CFile file;
    char buffer[8];
    EXPECT_EQ(file.read(buffer, 8), -1);
    EXPECT_EQ(file.write(buffer, 8), -1);
    EXPECT_EQ(file.writev(nullptr, 0), -1);
    EXPECT_EQ(file.seek(5, CFile::begin), 0u);
    EXPECT_EQ(file.getLength(), 0u);
    EXPECT_EQ(file.puts("x"), 0);
    EXPECT_EQ(file.gets(buffer, 8), nullptr);
    file.flush();
    file.close();
    EXPECT_FALSE(file.setvbuf(nullptr, CFile::fullBuffer, 0));

    FileInfoEx info = {};
    info.size = 77;
    EXPECT_FALSE(file.fallocate(0, 0, 10) || file.fstat(info) || file.resv3() || file.resv4());
    EXPECT_EQ(info.size, 77u);
    m_fs.files["mem:f"] = "x";
    CLfsFile large;
    ASSERT_TRUE(large.open("mem:f", 0));
    EXPECT_FALSE(large.fallocate(0, 0, 10) || large.fstat(info));
    EXPECT_EQ(large.gets(buffer, 0x80000000LL), nullptr);
    for (const char* text :
         {"CFile::setvbuf failed, file has not been opened!\n", "this platform CFile::fallocate not support.\n",
          "this platform CFile::fstat not support.\n", "this platform CLfsFile::fallocate not support.\n",
          "this platform CLfsFile::fstat not support.\n",
          "Bytes need to be seeked has been over the _MAX_INT_VALUE.\n"}) {
        EXPECT_EQ(reported(text), 1u) << text;
    }
}

TEST_F(HookedTest, ChunkedTransfersOfTheLargeFile) {
    m_fs.files["mem:f"] = std::string(100, 'z');
    m_fs.transferLimit = 7;
    CLfsFile large;
    ASSERT_TRUE(large.open("mem:f", CLfsFile::openReadWrite));
    std::vector<char> buffer(100);
    EXPECT_EQ(large.read(buffer.data(), 50), 50) << "repeated until complete";
    EXPECT_EQ(m_fs.count("fread"), 8) << "50 bytes in pieces of 7";
    EXPECT_EQ(large.seek(-10, CLfsFile::end), 90);
    EXPECT_EQ(large.read(buffer.data(), 100), 10);
    EXPECT_EQ(large.getPosition(), 100);
    EXPECT_EQ(reported("fread get error, total:100 has read:10, expected:90 return actuallen:0\n"), 1u);
    EXPECT_EQ(large.write(buffer.data(), 20), 20);
    EXPECT_EQ(large.getLength(), 120);
    EXPECT_EQ(m_fs.files["mem:f"].size(), 120u);

    CFile small;
    ASSERT_TRUE(small.open("mem:f", 0));
    small.seek(110, CFile::begin);
    EXPECT_EQ(small.read(buffer.data(), 100), 7) << "CFile reads once";
}

TEST_F(HookedTest, LargeFileCopiesNeverShareTheOpenFile) {
    m_fs.files["mem:f"] = "abc";
    CLfsFile original;
    ASSERT_TRUE(original.open("mem:f", 0));
    CLfsFile copy(original);
    EXPECT_FALSE(copy.isOpen());
    EXPECT_TRUE(original.isOpen());
    ASSERT_TRUE(copy.open("mem:f", 0));
    copy = original;
    EXPECT_FALSE(copy.isOpen()) << "assignment leaves the target closed";
    CLfsFile& same = copy;
    copy = same; // self-assignment changes nothing
    EXPECT_TRUE(original.isOpen());
    EXPECT_EQ(m_fs.count("fclose"), 1);
}

TEST_F(HookedTest, StaticOperationsChooseByTheFirstPath) {
    m_fs.files["mem:a"] = "1";
    EXPECT_TRUE(CFile::rename("mem:a", "/tmp/not-under-the-hook"));
    EXPECT_EQ(m_fs.files.count("/tmp/not-under-the-hook"), 1u) << "the old path's table does the rename";
    FileInfo info = {};
    EXPECT_FALSE(CLfsFile::access("mem:/tmp/not-under-the-hook", 0));
    EXPECT_FALSE(CLfsFile::stat("/tmp/not-under-the-hook", info)) << "served by the default table";
    std::uint64_t mine = 0, total = 0, free = 0;
    EXPECT_TRUE(CFile::statFS("mem:", mine, total, free));
    EXPECT_EQ(mine + total + free, 6u);

    EXPECT_TRUE(CFile::makeDirectoryRecursively("mem:a/b/c/"));
    EXPECT_EQ(m_fs.directories, (std::set<std::string>{"mem:a", "mem:a/b", "mem:a/b/c"}));
    EXPECT_FALSE(CFile::makeDirectoryRecursively("mem:a/b/c")) << "the last one exists";
    EXPECT_FALSE(CFile::makeDirectoryRecursively(""));
    EXPECT_EQ(reported("the path is unvalid"), 1u);
}

TEST(FileTest, RealFilesOpenTruncateAppendAndLoad) {
    CapturePrinter capture(true, 5);
    TempDir dir;
    const std::string path = dir / "f.txt";
    writeFile(path, "0123456789");

    CFile file;
    ASSERT_TRUE(file.open(path.c_str(), CFile::openReadWrite | CFile::openCreate | CFile::openNoTruncate));
    EXPECT_EQ(file.getLength(), 10u) << "kept contents report their size";
    ASSERT_TRUE(file.open(path.c_str(), CFile::openWrite | CFile::openNoTruncate));
    char more[] = "ab";
    EXPECT_EQ(file.write(more, 2), 2);
    file.close();
    EXPECT_EQ(readFile(path), "0123456789ab") << "0x2001 appends";

    ASSERT_TRUE(file.open(path.c_str(), CFile::openReadWrite | CFile::openCreate));
    EXPECT_EQ(file.getLength(), 0u) << "0x1002 truncates";
    file.close();
    EXPECT_EQ(file.load(path.c_str()), nullptr) << "an empty file loads nothing";
    EXPECT_TRUE(file.isOpen()) << "and stays open";
    file.close();

    writeFile(path, "hello");
    writeFile(dir / "other", "world");
    unsigned char* loaded = file.load(path.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(loaded), 5), "hello");
    EXPECT_EQ(file.load((dir / "other").c_str()), loaded) << "a second load returns the first buffer";
    file.unload();
    EXPECT_FALSE(file.isOpen());

    CLfsFile large;
    unsigned char* big = large.load((dir / "other").c_str());
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(big), 5), "world");
    EXPECT_EQ(large.getLength(), 5);

    ASSERT_TRUE(file.open(path.c_str(), 0));
    EXPECT_EQ(file.seek(-2, CFile::end), 3u);
    char rest[100];
    EXPECT_EQ(file.read(rest, 100), 2) << "a read past the end returns what there was";
    EXPECT_TRUE(file.setvbuf(nullptr, CFile::noBuffer, 0));
    EXPECT_EQ(file.writev(nullptr, 0), -1) << "no gather write on the default table";
    EXPECT_EQ(file.getPosition(), 5u);
}

TEST(FileTest, ShortLoadIsDiagnosedAndUnloaded) {
    CapturePrinter capture(true, 5);
    TempDir dir;
    writeFile(dir / "f", "0123456789");
    ShortReads fs;
    hookFileSystem(dir.path().c_str(), &fs);
    CFile file;
    CLfsFile large;
    testing::internal::CaptureStdout(); // the diagnostic command's listing
    EXPECT_EQ(file.load((dir / "f").c_str()), nullptr);
    EXPECT_EQ(large.load((dir / "f").c_str()), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(capture.linesContaining("CFile::load() length:10, ret:7, errmsg:").size(), 1u);
    EXPECT_EQ(capture.linesContaining("CLfsFile::load() length:10, ret:7, errmsg:").size(), 1u);

    ASSERT_TRUE(file.open((dir / "f").c_str(), CFile::openReadWrite));
    file.seek(4, CFile::begin);
    EXPECT_EQ(file.writev(nullptr, 3), 3);
    EXPECT_EQ(file.getPosition(), 7u);
    ASSERT_EQ(fs.descriptors.size(), 1u);
    EXPECT_GT(fs.descriptors[0], 2) << "the stream's descriptor is handed over";
    file.close();
    hookFileSystem(dir.path().c_str(), nullptr);
}

TEST(FileTest, RecursiveRemoval) {
    CapturePrinter capture(true, 5);
    TempDir dir;
    const std::string top = dir / "top";
    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/a/b").c_str()));
    writeFile(top + "/a/b/f1", "1");
    writeFile(top + "/a/f2", "2");
    writeFile(top + "/.f3", "3");

    EXPECT_TRUE(CFile::removeDirectoryRecursively((top + "/").c_str(), false));
    EXPECT_TRUE(std::filesystem::is_directory(top));
    EXPECT_TRUE(std::filesystem::is_empty(top));

    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/x/y").c_str()));
    EXPECT_TRUE(CFile::removeDirectoryRecursively(top.c_str(), true));
    EXPECT_FALSE(Orvane::Testing::exists(top));

    EXPECT_FALSE(CFile::removeDirectoryRecursively(top.c_str(), true));
    EXPECT_EQ(capture.linesContaining("the path does not exist").size(), 1u);
    EXPECT_FALSE(CFile::removeDirectoryRecursively(nullptr, true));
    EXPECT_EQ(capture.linesContaining("the path is unvalid").size(), 1u);
}

TEST(FileTest, RemoveDeletesFilesAndNeverDirectories) {
    TempDir dir;
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
