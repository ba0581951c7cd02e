#include "virad/FileSystem.h"

#include "Devez3/FileDefaultOpt.h"
#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
#include "support/MemoryFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::MemoryFileSystem;
using Orvane::Testing::TempDir;

namespace fs = std::filesystem;

namespace {

// Removes every registration a test made (repeatedly: a name may hold several entries).
class HookTest : public ::testing::Test {
protected:
    void register_(const char* name, IFileSystem* fileSystem) {
        hookFileSystem(name, fileSystem);
        m_names.push_back(name);
    }
    void TearDown() override {
        for (int i = 0; i < 40; ++i) {
            for (const std::string& name : m_names) {
                hookFileSystem(name.c_str(), nullptr);
            }
        }
    }

    CapturePrinter m_capture{true, 4};
    std::vector<std::string> m_names;
};

// The descriptor's open flags as the host reports them, in octal.
unsigned long descriptorFlags(void* stream) {
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(Orvane::Platform::streamDescriptor(stream)));
    std::string word;
    while (info >> word) {
        if (word == "flags:") {
            info >> word;
            return std::stoul(word, nullptr, 8);
        }
    }
    return 0;
}

std::map<std::string, std::uint16_t> listAttributes(IFileSystem* fs, const std::string& pattern) {
    std::map<std::string, std::uint16_t> found;
    FileInfo info = {};
    const int key = fs->findfirst(pattern.c_str(), &info);
    if (key < 0) {
        return found;
    }
    do {
        found[info.name] = info.attrib;
    } while (fs->findnext(key, &info) == 0);
    fs->findclose(key);
    return found;
}

} // namespace

TEST_F(HookTest, EarliestPrefixWinsAndRemovalFreesTheEarliestEntry) {
    MemoryFileSystem a, b, c;
    EXPECT_EQ(Detail::selectFileSystem("/mnt/a/x"), Detail::defaultFileSystem()) << "no hooks: default";
    register_("/mnt", &a);
    register_("/mnt/sd", &b);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/sd/x"), &a) << "earliest entry, not the longest prefix";
    EXPECT_EQ(Detail::selectFileSystem("/mntx"), &a) << "a plain byte prefix";
    EXPECT_EQ(Detail::selectFileSystem("/other"), Detail::defaultFileSystem());

    hookFileSystem("/mnt", nullptr);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/sd/x"), &b);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/x"), Detail::defaultFileSystem());

    register_("/dup", &a);
    register_("/dup", &c);
    EXPECT_EQ(Detail::selectFileSystem("/dup/f"), &a) << "the freed entry 1 is reused first";
    hookFileSystem("/dup", nullptr);
    EXPECT_EQ(Detail::selectFileSystem("/dup/f"), &c) << "the second registration took its own entry";

    register_("", &a);
    EXPECT_EQ(Detail::selectFileSystem("anything"), Detail::defaultFileSystem()) << "an empty name never matches";
    hookFileSystem("never-registered", nullptr);

    const std::string info = "hookFileSystem called!, CFile/CLfsFile member function may be hooked!\n";
    EXPECT_EQ(m_capture.linesContaining(info).size(), 8u) << "every call reports, removals included";
}

TEST_F(HookTest, ThirtyOneEntriesAtMost) {
    MemoryFileSystem fs[32];
    for (int i = 0; i < 32; ++i) {
        register_(("/h" + std::to_string(i) + "/").c_str(), &fs[i]);
    }
    EXPECT_EQ(Detail::selectFileSystem("/h30/x"), &fs[30]);
    EXPECT_EQ(Detail::selectFileSystem("/h31/x"), Detail::defaultFileSystem()) << "the 32nd is dropped";
    hookFileSystem("/h0/", nullptr);
    register_("/late/", &fs[31]);
    EXPECT_EQ(Detail::selectFileSystem("/late/x"), &fs[31]) << "a removal frees an entry";
}

TEST(DefaultFileSystemTest, TablesWithoutTheLastThreeOperationsGetSafeDefaults) {
    // Only the nineteen pure operations are overridden here.
    struct Minimal : MemoryFileSystem {
        std::int64_t writev(int d, const io_vec* v, int n) override { return IFileSystem::writev(d, v, n); }
        int fseek64(void* s, std::int64_t o, int w) override { return IFileSystem::fseek64(s, o, w); }
        std::int64_t ftell64(void* s) override { return IFileSystem::ftell64(s); }
    } minimal;
    EXPECT_EQ(minimal.writev(1, nullptr, 0), 0);
    EXPECT_EQ(minimal.fseek64(nullptr, 0, 0), -1);
    EXPECT_EQ(minimal.ftell64(nullptr), -1);
    EXPECT_EQ(Detail::defaultFileSystem()->writev(1, nullptr, 0), -1) << "the default table has no gather write";
}

TEST(DefaultFileSystemTest, OpenModesPermissionsAndBuffering) {
    TempDir dir;
    IFileSystem* fs = Detail::defaultFileSystem();
    const std::string path = dir / "f.bin";

    EXPECT_EQ(fs->fopen(path.c_str(), "rb"), nullptr) << "read needs an existing file";
    EXPECT_EQ(fs->fopen(path.c_str(), "rb+"), nullptr) << "rb+ does not create";
    EXPECT_FALSE(Orvane::Testing::exists(path));

    Orvane::Testing::writeFile(path, "old contents");
    void* stream = fs->fopen(path.c_str(), "wbe");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fs::file_size(path), 0u) << "w truncates";
    EXPECT_NE(descriptorFlags(stream) & 02000000ul, 0u) << "e gives close-on-exec";
    EXPECT_EQ(descriptorFlags(stream) & 03ul, 01ul) << "w alone is write-only";

    // A full 16384-byte buffer: nothing reaches the file before it is full.
    const std::string chunk(16000, 'x');
    EXPECT_EQ(fs->fwrite(chunk.data(), 1, chunk.size(), stream), chunk.size());
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_EQ(fs->fwrite(chunk.data(), 1, 1000, stream), 1000u);
    EXPECT_GT(fs::file_size(path), 0u);
    EXPECT_EQ(fs->fclose(stream), 0);
    EXPECT_EQ(fs::file_size(path), 17000u);

    const std::string created = dir / "new.bin";
    stream = fs->fopen(created.c_str(), "wbd");
    ASSERT_NE(stream, nullptr) << "d is accepted";
    EXPECT_EQ(descriptorFlags(stream) & 02000000ul, 0u);
    fs->fclose(stream);
    EXPECT_EQ(fs::status(created).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    stream = fs->fopen(path.c_str(), "ab+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(descriptorFlags(stream) & 03ul, 02ul) << "+ is read-write";
    EXPECT_NE(descriptorFlags(stream) & 02000ul, 0u) << "a appends";
    EXPECT_EQ(fs->fputs("tail", stream), 0);
    fs->fclose(stream);
    EXPECT_EQ(fs::file_size(path), 17004u) << "a keeps the contents";
}

TEST(DefaultFileSystemTest, PathOperationsStatAndVolume) {
    TempDir dir;
    IFileSystem* fs = Detail::defaultFileSystem();
    const std::string file = dir / "a.txt";
    Orvane::Testing::writeFile(file, "12345");

    FileInfo info = {};
    std::strcpy(info.name, "untouched");
    EXPECT_NE(fs->stat((dir / "missing").c_str(), &info), 0);
    EXPECT_STREQ(info.name, "untouched") << "a failed stat leaves the record";
    ASSERT_EQ(fs->stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.name, file);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(info.attrib & 0170000, 0100000) << "stat reports the host's mode bits: a regular file";
    EXPECT_GT(info.timeWrite, 1500000000u);

    EXPECT_EQ(fs->access(file.c_str(), 0), 0);
    EXPECT_EQ(fs->access(file.c_str(), 6), 0);
    EXPECT_EQ(fs->access((dir / "missing").c_str(), 0), -1);

    EXPECT_EQ(fs->mkdir((dir / "sub").c_str()), 0);
    EXPECT_NE(fs->mkdir((dir / "sub").c_str()), 0);
    EXPECT_EQ(fs->rename(file.c_str(), (dir / "sub/b.txt").c_str()), 0);
    EXPECT_NE(fs->rmdir((dir / "sub").c_str()), 0) << "not empty";
    EXPECT_EQ(fs->remove((dir / "sub/b.txt").c_str()), 0);
    EXPECT_EQ(fs->rmdir((dir / "sub").c_str()), 0);

    std::uint64_t mine = 0, total = 0, free = 0;
    ASSERT_EQ(fs->statfs(dir.path().c_str(), &mine, &total, &free), 0);
    EXPECT_GT(total, 0u);
    EXPECT_LE(mine, free);
    EXPECT_LE(free, total);
    EXPECT_EQ(fs->statfs((dir / "missing").c_str(), &mine, &total, &free), -1);
}

TEST(DefaultFileSystemTest, SearchListsMatchesAndNeverReusesKeys) {
    TempDir dir;
    IFileSystem* fs = Detail::defaultFileSystem();
    Orvane::Testing::writeFile(dir / "plain.log", "x");
    Orvane::Testing::writeFile(dir / "locked.log", "x");
    fs::permissions(dir / "locked.log", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    Orvane::Testing::writeFile(dir / ".hidden.log", "x");
    Orvane::Testing::writeFile(dir / "other.txt", "x");
    fs::create_directory(dir / "sub.log");

    const auto logs = listAttributes(fs, dir / "*.log");
    const std::map<std::string, std::uint16_t> expected = {
        {".hidden.log", 0x2}, {"locked.log", 0x1}, {"plain.log", 0}, {"sub.log", 0x10}};
    EXPECT_EQ(logs, expected);

    const auto all = listAttributes(fs, dir / "*");
    EXPECT_EQ(all.count("."), 1u);
    EXPECT_EQ(all.at(".."), 0x10) << "the parent is listed as a directory";
    EXPECT_EQ(all.size(), 7u);
    EXPECT_EQ(listAttributes(fs, dir / "?ther.txt").size(), 1u);
    EXPECT_TRUE(listAttributes(fs, dir / "*.none").empty());

    FileInfo info = {};
    EXPECT_EQ(fs->findfirst("", &info), -1);
    EXPECT_EQ(fs->findfirst(nullptr, &info), -1);
    EXPECT_EQ(fs->findfirst((dir / "missing/*").c_str(), &info), -1);

    const int first = fs->findfirst((dir / "*").c_str(), &info);
    ASSERT_GE(first, 0);
    EXPECT_EQ(fs->findclose(first), 0);
    const int second = fs->findfirst((dir / "*").c_str(), &info);
    EXPECT_EQ(second, first + 1) << "a closed key is not handed out again";
    fs->findclose(second);

    testing::internal::CaptureStdout();
    EXPECT_EQ(fs->findnext(1000000, &info), -1);
    EXPECT_EQ(fs->findclose(1000000), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("] Virad FileDefaultOpt::findnext fail!\n"), std::string::npos) << out;
    EXPECT_NE(out.find("] Virad FileDefaultOpt::findclose fail\n"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("[FileDefaultOpt.cpp:", 0), 0u) << out;
}

TEST(DefaultFileSystemTest, PositionsAndSizesBeyondThirtyTwoBits) {
    TempDir dir;
    IFileSystem* fs = Detail::defaultFileSystem();
    const std::string path = dir / "sparse";
    void* stream = fs->fopen(path.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fs->fseek(stream, 100, 0), 0);
    EXPECT_EQ(fs->ftell(stream), 100);
    const std::int64_t beyond = 3LL * 1024 * 1024 * 1024;
    EXPECT_EQ(fs->fseek64(stream, beyond, 0), 0);
    EXPECT_EQ(fs->ftell64(stream), beyond);
    EXPECT_EQ(fs->ftell(stream), -1) << "not representable in 32 bits";
    EXPECT_LT(fs->fseek(stream, -1, 0), 0);
    fs->fclose(stream);

    fs::resize_file(path, (1ull << 32) + 5);
    FileInfo info = {};
    const int key = fs->findfirst(path.c_str(), &info);
    ASSERT_GE(key, 0);
    EXPECT_EQ(info.size, 5u) << "the search takes the size modulo 4 GiB";
    fs->findclose(key);
    ASSERT_EQ(fs->stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.size, (1ull << 32) + 5) << "stat reports the full size";
}
