#include "virad/FileSystem.h"

#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Platform/Platform.h"
#include "support/Testing.h"

#include <filesystem>
#include <fstream>
#include <regex>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
namespace fs = std::filesystem;

// The descriptor's open flags as the host reports them, in octal.
unsigned long descriptorFlags(void* stream) {
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(Orvane::Platform::streamDescriptor(stream)));
    std::string word;
    while (info >> word && word != "flags:") {
    }
    return info >> word ? std::stoul(word, nullptr, 8) : 0;
}

std::map<std::string, std::uint16_t> listAttributes(IFileSystem* table, const std::string& pattern) {
    std::map<std::string, std::uint16_t> found;
    FileInfo info = {};
    const int key = table->findfirst(pattern.c_str(), &info);
    for (int more = key; more >= 0; more = table->findnext(key, &info)) {
        found[info.name] = info.attrib;
    }
    if (key >= 0) {
        table->findclose(key);
    }
    return found;
}

using Tables = std::vector<IFileSystem*>;

// Makes the hook calls in order (a null table removes), then answers the table each path selects.
Tables afterHooks(std::initializer_list<std::pair<const char*, IFileSystem*>> hooks,
                  std::initializer_list<const char*> paths) {
    for (const auto& [name, table] : hooks) {
        hookFileSystem(name, table);
    }
    Tables tables;
    for (const char* path : paths) {
        tables.push_back(Detail::selectFileSystem(path));
    }
    return tables;
}

TEST(HookTest, EarliestPrefixWinsThirtyOneEntriesAtMost) {
    CapturePrinter capture(true, 4);
    FileDefaultOpt a, b, c, fill[31];
    IFileSystem* const none = Detail::defaultFileSystem();
    EXPECT_EQ(afterHooks({}, {"/mnt/a/x"}), Tables{none}) << "no hooks: default";
    // The earliest entry, not the longest prefix; a plain byte prefix.
    EXPECT_EQ(afterHooks({{"/mnt", &a}, {"/mnt/sd", &b}}, {"/mnt/sd/x", "/mntx", "/other"}), (Tables{&a, &a, none}));
    EXPECT_EQ(afterHooks({{"/mnt", nullptr}, {"/dup", &a}, {"/dup", &c}}, {"/mnt/sd/x", "/mnt/x", "/dup/f"}),
              (Tables{&b, none, &a}))
        << "the freed entry 1 is reused first";
    // The second registration took its own entry; an empty name never matches.
    EXPECT_EQ(afterHooks({{"/dup", nullptr}, {"", &a}, {"never-registered", nullptr}}, {"/dup/f", "anything"}),
              (Tables{&c, none}));
    // Every call reports, removals included.
    EXPECT_EQ(capture.count("hookFileSystem called!, CFile/CLfsFile member function may be hooked!\n"), 8u);

    // Entries 1 to 31: "/mnt/sd" and "/dup" hold two; 29 more fit, the 30th is dropped.
    for (int i = 0; i < 30; ++i) {
        hookFileSystem(("/h" + std::to_string(i) + "/").c_str(), &fill[i]);
    }
    // The 32nd entry does not exist; a removal frees an entry.
    EXPECT_EQ(afterHooks({{"/h0/", nullptr}, {"/late/", &fill[30]}}, {"/h28/x", "/h29/x", "/late/x"}),
              (Tables{&fill[28], none, &fill[30]}));
    afterHooks({{"/mnt/sd", nullptr}, {"/dup", nullptr}, {"/late/", nullptr}}, {});
    for (int i = 1; i < 30; ++i) {
        hookFileSystem(("/h" + std::to_string(i) + "/").c_str(), nullptr);
    }
}

// The default table over a fresh directory.
class DefaultFileSystemTest : public ::testing::Test {
protected:
    std::string at(const char* name) const { return m_dir / name; }
    TempDir m_dir;
    IFileSystem* const m_table = Detail::defaultFileSystem();
};

TEST_F(DefaultFileSystemTest, TablesWithoutTheLastThreeOperationsGetSafeDefaults) {
    struct Minimal : FileDefaultOpt {
        std::int64_t writev(int d, const io_vec* v, int n) override { return IFileSystem::writev(d, v, n); }
        int fseek64(void* s, std::int64_t o, int w) override { return IFileSystem::fseek64(s, o, w); }
        std::int64_t ftell64(void* s) override { return IFileSystem::ftell64(s); }
    } minimal;
    // The default table itself has no gather write.
    EXPECT_EQ(std::vector<std::int64_t>({minimal.writev(1, nullptr, 0), minimal.fseek64(nullptr, 0, 0),
                                         minimal.ftell64(nullptr), m_table->writev(1, nullptr, 0)}),
              std::vector<std::int64_t>({0, -1, -1, -1}));
}

TEST_F(DefaultFileSystemTest, OpenModesPermissionsAndBuffering) {
    const std::string path = at("f.bin"), created = at("new.bin");
    // r and r+ do not create.
    EXPECT_EQ(m_table->fopen(path.c_str(), "rb"), nullptr);
    EXPECT_EQ(m_table->fopen(path.c_str(), "rb+"), nullptr);
    EXPECT_FALSE(exists(path));
    writeFile(path, "old contents");
    void* stream = m_table->fopen(path.c_str(), "wbe");
    ASSERT_NE(stream, nullptr);
    // w truncates and alone is write-only; e gives close-on-exec; a full 16384-byte buffer: nothing reaches the
    // file before it is full.
    const std::string chunk(16384, 'x');
    EXPECT_EQ(std::vector<std::uintmax_t>({fs::file_size(path), descriptorFlags(stream) & 02000003ul,
                                           m_table->fwrite(chunk.data(), 1, 16383, stream), fs::file_size(path),
                                           m_table->fwrite(chunk.data(), 1, 2, stream), fs::file_size(path) / 16384,
                                           static_cast<std::uintmax_t>(m_table->fclose(stream)), fs::file_size(path)}),
              (std::vector<std::uintmax_t>{0, 02000001ul, 16383, 0, 2, 1, 0, 16385}));

    stream = m_table->fopen(created.c_str(), "wbd"); // d is accepted
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(descriptorFlags(stream) & 02000000ul, 0u);
    m_table->fclose(stream);
    EXPECT_EQ(fs::status(created).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    stream = m_table->fopen(path.c_str(), "ab+"); // + is read-write, a appends and keeps the contents
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(descriptorFlags(stream) & 02003ul, 02002ul);
    EXPECT_EQ(m_table->fputs("tail", stream), 0);
    EXPECT_EQ(m_table->fclose(stream), 0);
    EXPECT_EQ(fs::file_size(path), 16389u);
}

TEST_F(DefaultFileSystemTest, PathOperationsStatAndVolume) {
    const std::string file = at("a.txt"), missing = at("missing"), sub = at("sub"), moved = at("sub/b.txt");
    writeFile(file, "12345");
    FileInfo info = {};
    std::strcpy(info.name, "untouched");
    EXPECT_NE(m_table->stat(missing.c_str(), &info), 0);
    EXPECT_STREQ(info.name, "untouched"); // a failed stat leaves the record
    ASSERT_EQ(m_table->stat(file.c_str(), &info), 0);
    // The host's mode bits: a regular file.
    EXPECT_EQ(std::make_tuple(std::string(info.name), info.size, info.attrib & 0170000),
              std::make_tuple(file, std::uint64_t{5}, 0100000));
    EXPECT_GT(info.timeWrite, 1500000000u);
    // The second mkdir finds the directory; the first rmdir finds it not empty.
    EXPECT_EQ(std::vector<int>({m_table->access(file.c_str(), 6), m_table->access(missing.c_str(), 0),
                                m_table->mkdir(sub.c_str()), m_table->mkdir(sub.c_str()) != 0,
                                m_table->rename(file.c_str(), moved.c_str()), m_table->rmdir(sub.c_str()) != 0,
                                m_table->remove(moved.c_str()), m_table->rmdir(sub.c_str())}),
              std::vector<int>({0, -1, 0, 1, 0, 1, 0, 0}));
    std::uint64_t mine = 0, total = 0, free = 0;
    ASSERT_EQ(m_table->statfs(m_dir.path().c_str(), &mine, &total, &free), 0);
    EXPECT_GT(total, 0u);
    EXPECT_LE(mine, free);
    EXPECT_LE(free, total);
    EXPECT_EQ(m_table->statfs(missing.c_str(), &mine, &total, &free), -1);
}

TEST_F(DefaultFileSystemTest, SearchAttributesAndKeys) {
    for (const char* name : {"plain.log", "locked.log", ".hidden.log", "other.txt"}) {
        writeFile(at(name), "x");
    }
    fs::permissions(at("locked.log"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(at("sub.log"));
    const std::map<std::string, std::uint16_t> logs = {
        {".hidden.log", 0x2}, {"locked.log", 0x1}, {"plain.log", 0}, {"sub.log", 0x10}};
    EXPECT_EQ(listAttributes(m_table, at("*.log")), logs);
    const auto all = listAttributes(m_table, at("*")); // the dot entries are listed, the parent as a directory
    EXPECT_EQ(std::vector<std::size_t>({all.size(), all.at(".."), listAttributes(m_table, at("?ther.txt")).size()}),
              std::vector<std::size_t>({7, 0x10, 1}));

    FileInfo info = {};
    for (const std::string& pattern : {std::string(), at("*.none"), at("missing/*")}) {
        EXPECT_EQ(m_table->findfirst(pattern.c_str(), &info), -1) << pattern;
    }
    const int first = m_table->findfirst(at("*").c_str(), &info);
    // No closed key is handed out twice.
    EXPECT_EQ(std::vector<int>({m_table->findfirst(nullptr, &info), m_table->findclose(first),
                                m_table->findfirst(at("*").c_str(), &info) - first}),
              std::vector<int>({-1, 0, 1}));
    m_table->findclose(first + 1);
    const std::string out = stdoutOf([&] {
        EXPECT_EQ(m_table->findnext(1000000, &info), -1);
        EXPECT_EQ(m_table->findclose(1000000), -1);
    });
    EXPECT_TRUE(
        std::regex_match(out, std::regex(R"(\[FileDefaultOpt\.cpp:\d+\] Virad FileDefaultOpt::findnext fail!\n)"
                                         R"(\[FileDefaultOpt\.cpp:\d+\] Virad FileDefaultOpt::findclose fail\n)")))
        << out;
}

TEST_F(DefaultFileSystemTest, PositionsAndSizesBeyondThirtyTwoBits) {
    const std::string path = at("sparse");
    void* stream = m_table->fopen(path.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    const std::int64_t beyond = 3LL * 1024 * 1024 * 1024;
    // ftell fails past 2^31-1.
    EXPECT_EQ(std::vector<std::int64_t>({m_table->fseek(stream, 2147483647, 0), m_table->ftell(stream),
                                         m_table->fseek64(stream, beyond, 0), m_table->ftell64(stream),
                                         m_table->ftell(stream), m_table->fseek(stream, -1, 0) < 0}),
              std::vector<std::int64_t>({0, 2147483647, 0, beyond, -1, 1}));
    m_table->fclose(stream);

    // The search takes the size modulo 4 GiB; stat reports it whole.
    fs::resize_file(path, (1ull << 32) + 5);
    FileInfo found = {}, stated = {};
    const int key = m_table->findfirst(path.c_str(), &found);
    EXPECT_EQ(m_table->findclose(key), 0);
    EXPECT_EQ(m_table->stat(path.c_str(), &stated), 0);
    EXPECT_EQ(std::make_pair(found.size, stated.size),
              std::make_pair(std::uint64_t{5}, std::uint64_t{(1ull << 32) + 5}));
}
