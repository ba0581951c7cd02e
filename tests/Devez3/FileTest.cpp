#include "virad/File.h"

#include "support/RecordingFileSystem.h"
#include "support/Testing.h"

#include <filesystem>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
using I64s = std::vector<std::int64_t>;

// A recording table registered for a fresh directory for the test's lifetime; reports are captured from then on.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        hookFileSystem(m_dir.path().c_str(), &m_fs);
        m_capture.clear();
    }
    void TearDown() override { hookFileSystem(m_dir.path().c_str(), nullptr); }
    std::string path(const char* name, const std::string& bytes = "") const {
        writeFile(m_dir / name, bytes);
        return m_dir / name;
    }

    CapturePrinter m_capture{true, 5};
    TempDir m_dir;
    RecordingFileSystem m_fs;
};

TEST_F(FileTest, FlagsBecomeModeStrings) {
    const std::string f = path("f", "data");
    const std::tuple<unsigned int, const char*, const char*> cases[] = {
        {0x0, "rb", "rb"},        {0x1, "wb", "wb"},      {0x2001, "ab", "ab"},   {0x2, "rb+", "rb+"},
        {0x1002, "wb+", "wb+"},   {0x3002, "ab+", "ab+"}, {0x80, "rbe", "rbe"},   {0x10000, "rbd", "rb"},
        {0x10081, "wbed", "wbe"}, {0x1000, "rb", "rb"},   {0xFE0000, "rb", "rb"},
    };
    for (const auto& [flags, small, large] : cases) {
        m_fs.clearCalls();
        EXPECT_TRUE(CFile().open(f.c_str(), flags)) << std::hex << flags;
        EXPECT_TRUE(CLfsFile().open(f.c_str(), flags)) << std::hex << flags;
        EXPECT_EQ(m_fs.modes(), (Lines{small, large})) << std::hex << flags;
    }
    CFile file;
    CLfsFile large;
    m_fs.clearCalls();
    EXPECT_FALSE(file.open(f.c_str(), 3));
    EXPECT_FALSE(large.open(f.c_str(), 0x100F));
    EXPECT_FALSE(file.open((f + "x").c_str(), 0));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(m_fs.modes(), Lines{"rb"}); // invalid access bits never reach the file system
    EXPECT_EQ(m_capture.bodies(), (Lines{"this:" + address(&file) + " CFile::open() dwFlags:3 is invalid\n",
                                         "this:" + address(&large) + " CLfsFile::open() dwFlags:4111 is invalid\n"}));
}

TEST_F(FileTest, CachedPositionAndLength) {
    CFile file;
    ASSERT_TRUE(file.open(path("f", std::string(100, 'a')).c_str(), CFile::openReadWrite));
    EXPECT_EQ(m_fs.count("stat"), 1); // open measures through stat
    m_fs.clearCalls();
    // Length, then position or call count after each seek: a seek to the cached position needs no call, one from
    // the end always calls. That the cached values follow the stream is checked against a model by the fuzz target.
    EXPECT_EQ(std::vector<std::uint64_t>({file.getLength(), file.seek(0, CFile::current), file.seek(0, CFile::begin),
                                          static_cast<std::uint64_t>(m_fs.count("fseek")), file.seek(0, CFile::end),
                                          static_cast<std::uint64_t>(m_fs.count("fseek"))}),
              (std::vector<std::uint64_t>{100, 0, 0, 0, 100, 1}));

    // A length of 0 means "not measured": getLength measures it at the end and comes back, with 64-bit seeks.
    CLfsFile created;
    ASSERT_TRUE(created.open((m_dir / "g").c_str(), CLfsFile::openReadWrite | CLfsFile::openCreate));
    path("g", "grown elsewhere");
    m_fs.clearCalls();
    EXPECT_EQ(I64s({created.getLength(), created.getPosition(), m_fs.count("fseek64"), m_fs.count("fseek")}),
              I64s({15, 0, 2, 0}));
}

TEST_F(FileTest, ClosedObjectsAndUnsupportedOperations) {
    // What a closed object answers is checked against a model by the fuzz target; here, the reports.
    CFile file;
    char buffer[8];
    FileInfoEx info = {};
    EXPECT_FALSE(file.setvbuf(nullptr, CFile::fullBuffer, 0));
    EXPECT_FALSE(file.fallocate(0, 0, 10));
    EXPECT_FALSE(file.fstat(info));
    CLfsFile large;
    ASSERT_TRUE(large.open(path("f", "x").c_str(), 0));
    EXPECT_FALSE(large.fallocate(0, 0, 10));
    EXPECT_FALSE(large.fstat(info));
    EXPECT_EQ(large.gets(buffer, 0x80000000LL), nullptr);
    EXPECT_NE(large.gets(buffer, 0x7FFFFFFFLL), nullptr); // one below the limit is read
    EXPECT_EQ(m_capture.bodies(),
              (Lines{"CFile::setvbuf failed, file has not been opened!\n",
                     "this platform CFile::fallocate not support.\n", "this platform CFile::fstat not support.\n",
                     "this platform CLfsFile::fallocate not support.\n", "this platform CLfsFile::fstat not support.\n",
                     "this:" + address(&large) + " Bytes need to be seeked has been over the _MAX_INT_VALUE.\n"}));
}

TEST_F(FileTest, ChunkedTransfersAndCopiesOfTheLargeFile) {
    const std::string f = path("f", std::string(100, 'z'));
    m_fs.transferLimit = 7;
    std::vector<char> buffer(100);
    {
        CLfsFile large;
        ASSERT_TRUE(large.open(f.c_str(), CLfsFile::openReadWrite));
        // Repeated until complete: 50 bytes in 8 pieces of 7 or less; a read past the end stops at it.
        EXPECT_EQ(I64s({large.read(buffer.data(), 50), m_fs.count("fread"), large.seek(-10, CLfsFile::end),
                        large.read(buffer.data(), 100), large.getPosition(), large.write(buffer.data(), 20),
                        large.getLength()}),
                  I64s({50, 8, 90, 10, 100, 20, 120}));
        EXPECT_EQ(m_capture.count("fread get error, total:100 has read:10, expected:90 return actuallen:0\n"), 1u);

        // Copies never share the open file: construction and assignment leave the copy closed.
        m_fs.clearCalls();
        CLfsFile copy(large);
        const bool copyOpen = copy.isOpen();
        ASSERT_TRUE(copy.open(f.c_str(), 0));
        copy = large;
        CLfsFile& same = copy;
        copy = same;
        EXPECT_FALSE(copyOpen);
        EXPECT_FALSE(copy.isOpen());
        EXPECT_TRUE(large.isOpen());
        EXPECT_EQ(m_fs.count("fclose"), 1);
    }
    CFile small;
    ASSERT_TRUE(small.open(f.c_str(), 0));
    // CFile reads once.
    EXPECT_EQ(I64s({static_cast<std::int64_t>(small.getLength()),
                    static_cast<std::int64_t>(small.seek(110, CFile::begin)), small.read(buffer.data(), 100)}),
              I64s({120, 110, 7}));
}

// Both classes, closed and then open: a write (CFile writes once, CLfsFile until all is out), a line put, a
// flush, a seek, a line got back and a gather write on the stream's descriptor (the recording table answers
// with the element count), each followed by the cached position and length.
TEST_F(FileTest, WritesPutsFlushesAndGetsOnBothClasses) {
    m_fs.transferLimit = 3;
    const auto run = [this](auto& file, const char* name) {
        char line[16] = "unread", bytes[] = "abcd";
        std::string out;
        const auto note = [&](const std::string& result) {
            out += result + " " + std::to_string(file.getPosition()) + "/" + std::to_string(file.getLength()) + " ";
        };
        for (int open = 0; open < 2; ++open) {
            note(std::to_string(file.write(bytes, 4)));
            const auto put = file.puts("ef\ngh"); // the C library's count, or 0 when closed
            note(put < 0 ? "failed" : open == 1 ? "put" : std::to_string(put));
            file.flush();
            note("flushed");
            note(std::to_string(file.seek(0, std::decay_t<decltype(file)>::begin)));
            note(file.gets(line, 16) != nullptr ? line : "null");
            note(std::to_string(file.writev(nullptr, 3)));
            if (open == 0) {
                EXPECT_TRUE(file.open((m_dir / name).c_str(), 0x1002)); // read-write, created
            }
        }
        return out;
    };
    CFile small;
    CLfsFile large;
    EXPECT_EQ(run(small, "small"), "-1 0/0 0 0/0 flushed 0/0 0 0/0 null 0/0 -1 0/0 "
                                   "3 3/3 put 8/8 flushed 8/8 0 0/8 abcef\n 6/8 3 9/9 ");
    EXPECT_EQ(run(large, "large"), "-1 0/0 0 0/0 flushed 0/0 0 0/0 null 0/0 -1 0/0 "
                                   "4 4/4 put 9/9 flushed 9/9 0 0/9 abcdef\n 7/9 3 10/10 ");
    EXPECT_GT(std::min(m_fs.writevDescriptors.at(0), m_fs.writevDescriptors.at(1)), 2);
    EXPECT_EQ(m_capture.linesContaining("fwrite failed, expected:4, actual:3, errno:").size(), 1u);
}

TEST_F(FileTest, StaticOperationsChooseByTheFirstPath) {
    TempDir elsewhere;
    EXPECT_TRUE(CFile::rename(path("a", "1").c_str(), (elsewhere / "b").c_str()));
    EXPECT_TRUE(CLfsFile::rename(path("c", "2").c_str(), (elsewhere / "d").c_str()));
    FileInfo info = {};
    EXPECT_TRUE(CLfsFile::access((elsewhere / "b").c_str(), 0));
    EXPECT_TRUE(CLfsFile::stat((elsewhere / "b").c_str(), info));
    std::uint64_t mine = 0, total = 0, free = 0;
    std::uint64_t large[3] = {};
    EXPECT_TRUE(CFile::statFS(m_dir.path().c_str(), mine, total, free));
    EXPECT_TRUE(CLfsFile::statFS(m_dir.path().c_str(), large[0], large[1], large[2]));
    EXPECT_EQ(std::vector<std::uint64_t>({mine, total, free, large[0], large[1], large[2]}),
              std::vector<std::uint64_t>({1, 3, 2, 1, 3, 2}));
    EXPECT_TRUE(CLfsFile::makeDirectory((m_dir / "e").c_str()));
    EXPECT_TRUE(CLfsFile::removeDirectory((m_dir / "e").c_str()));
    EXPECT_FALSE(exists(m_dir / "e"));
    EXPECT_TRUE(CFile::makeDirectoryRecursively((m_dir / "a/b/c/").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "a/b/c"));
    EXPECT_FALSE(CFile::makeDirectoryRecursively((m_dir / "a/b/c").c_str()));
    EXPECT_FALSE(CFile::makeDirectoryRecursively(""));
    // The old path's table renames; the default table serves elsewhere; mkdir for e, the hooked directory
    // itself, a, a/b and a/b/c (the last one exists the second time).
    EXPECT_EQ(std::vector<int>({m_fs.count("rename"), m_fs.count("access"), m_fs.count("stat"), m_fs.count("mkdir")}),
              std::vector<int>({2, 0, 0, 9}));
    EXPECT_EQ(m_capture.count("the path is unvalid"), 1u);
}

TEST_F(FileTest, LoadAndTheShortLoadDiagnostic) {
    const std::string f = path("f"), other = path("other", "world");
    CFile file;
    CLfsFile large;
    EXPECT_EQ(file.load(f.c_str()), nullptr); // an empty file loads nothing and stays open
    EXPECT_TRUE(file.isOpen());
    file.close();
    path("f", "hello");
    unsigned char* loaded = file.load(f.c_str());
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(large.load(other.c_str()), nullptr);
    EXPECT_EQ(file.load(other.c_str()), loaded); // a second load returns the first buffer
    file.unload();
    EXPECT_FALSE(file.isOpen());

    large.unload();
    m_fs.shortBy = 3;
    m_capture.clear();
    stdoutOf([&] { // the diagnostic command's listing
        EXPECT_EQ(file.load(f.c_str()), nullptr);
        EXPECT_EQ(large.load(f.c_str()), nullptr);
    });
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(large.isOpen());
    EXPECT_EQ(std::vector<std::size_t>({m_capture.count("CFile::load() length:5, ret:2, errmsg:"),
                                        m_capture.count("CLfsFile::load() length:5, ret:2, errmsg:")}),
              std::vector<std::size_t>({1, 1}));
}

TEST(FileDefaultTableTest, RealFilesRemovalAndRecursiveRemoval) {
    TempDir dir;
    writeFile(dir / "f", "hello");
    CFile file;
    ASSERT_TRUE(file.open((dir / "f").c_str(), CFile::openRead));
    // An open file is closed first; kept contents; a read past the end returns what there was; no gather write.
    ASSERT_TRUE(file.open((dir / "f").c_str(), CFile::openReadWrite | CFile::openCreate | CFile::openNoTruncate));
    char rest[100];
    EXPECT_EQ(I64s({static_cast<std::int64_t>(file.getLength()), static_cast<std::int64_t>(file.seek(-2, CFile::end)),
                    file.read(rest, 100), file.setvbuf(nullptr, CFile::noBuffer, 0), file.writev(nullptr, 0),
                    static_cast<std::int64_t>(file.getPosition())}),
              I64s({5, 3, 2, 1, -1, 5}));
    file.close();

    // remove deletes files, never directories, not even empty ones.
    const std::string empty = dir / "empty";
    ASSERT_TRUE(CFile::makeDirectory(empty.c_str()));
    EXPECT_FALSE(CFile::remove(empty.c_str()));
    EXPECT_FALSE(CLfsFile::remove(empty.c_str()));
    EXPECT_TRUE(CLfsFile::remove((dir / "f").c_str()));
    EXPECT_FALSE(exists(dir / "f"));
    writeFile(dir / "f", "again");
    EXPECT_TRUE(CFile::remove((dir / "f").c_str()));
    EXPECT_FALSE(exists(dir / "f"));
    EXPECT_TRUE(CFile::removeDirectory(empty.c_str()));

    const std::string top = dir / "top";
    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/a/b").c_str()));
    writeFile(top + "/a/b/f1", "1");
    writeFile(top + "/.f3", "3");
    EXPECT_TRUE(CFile::removeDirectoryRecursively((top + "/").c_str(), false));
    ASSERT_TRUE(std::filesystem::is_directory(top));
    EXPECT_TRUE(std::filesystem::is_empty(top));
    ASSERT_TRUE(CFile::makeDirectoryRecursively((top + "/x/y").c_str()));
    EXPECT_TRUE(CFile::removeDirectoryRecursively(top.c_str(), true));
    EXPECT_EQ(reported([&] {
                  EXPECT_FALSE(exists(top));
                  EXPECT_FALSE(CFile::removeDirectoryRecursively(top.c_str(), true));
                  EXPECT_FALSE(CFile::removeDirectoryRecursively(nullptr, true));
              }),
              (Lines{"the path does not exist", "the path is unvalid"}));
}
