#include "virad/FileSystem.h"

#include "Devez3/FileDefaultOpt.h"
#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::TempDir;
using Orvane::Testing::writeFile;
namespace fs = std::filesystem;

namespace {

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

} // namespace

TEST(HookTest, EarliestPrefixWinsThirtyOneEntriesAtMost) {
    Orvane::Testing::CapturePrinter capture(true, 4);
    FileDefaultOpt a, b, c, fill[31];
    IFileSystem* const none = Detail::defaultFileSystem();
    EXPECT_EQ(Detail::selectFileSystem("/mnt/a/x"), none) << "no hooks: default";
    hookFileSystem("/mnt", &a);
    hookFileSystem("/mnt/sd", &b);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/sd/x"), &a) << "earliest entry, not the longest prefix";
    EXPECT_EQ(Detail::selectFileSystem("/mntx"), &a) << "a plain byte prefix";
    EXPECT_EQ(Detail::selectFileSystem("/other"), none);
    hookFileSystem("/mnt", nullptr);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/sd/x"), &b);
    EXPECT_EQ(Detail::selectFileSystem("/mnt/x"), none);
    hookFileSystem("/dup", &a);
    hookFileSystem("/dup", &c);
    EXPECT_EQ(Detail::selectFileSystem("/dup/f"), &a) << "the freed entry 1 is reused first";
    hookFileSystem("/dup", nullptr);
    EXPECT_EQ(Detail::selectFileSystem("/dup/f"), &c) << "the second registration took its own entry";
    hookFileSystem("", &a);
    EXPECT_EQ(Detail::selectFileSystem("anything"), none) << "an empty name never matches";
    hookFileSystem("never-registered", nullptr);
    EXPECT_EQ(capture.linesContaining("hookFileSystem called!, CFile/CLfsFile member function may be hooked!\n").size(),
              8u)
        << "every call reports, removals included";

    // Entries 1 to 31: "/mnt/sd" and "/dup" hold two; 29 more fit, the 30th is dropped.
    for (int i = 0; i < 30; ++i) {
        hookFileSystem(("/h" + std::to_string(i) + "/").c_str(), &fill[i]);
    }
    EXPECT_EQ(Detail::selectFileSystem("/h28/x"), &fill[28]);
    EXPECT_EQ(Detail::selectFileSystem("/h29/x"), none) << "the 32nd entry does not exist";
    hookFileSystem("/h0/", nullptr);
    hookFileSystem("/late/", &fill[30]);
    EXPECT_EQ(Detail::selectFileSystem("/late/x"), &fill[30]) << "a removal frees an entry";
    for (const char* name : {"/mnt/sd", "/dup", "/late/"}) {
        hookFileSystem(name, nullptr);
    }
    for (int i = 1; i < 30; ++i) {
        hookFileSystem(("/h" + std::to_string(i) + "/").c_str(), nullptr);
    }
}

TEST(DefaultFileSystemTest, TablesWithoutTheLastThreeOperationsGetSafeDefaults) {
    struct Minimal : FileDefaultOpt {
        std::int64_t writev(int d, const io_vec* v, int n) override { return IFileSystem::writev(d, v, n); }
        int fseek64(void* s, std::int64_t o, int w) override { return IFileSystem::fseek64(s, o, w); }
        std::int64_t ftell64(void* s) override { return IFileSystem::ftell64(s); }
    } minimal;
    EXPECT_EQ(std::vector<std::int64_t>({minimal.writev(1, nullptr, 0), minimal.fseek64(nullptr, 0, 0),
                                         minimal.ftell64(nullptr), Detail::defaultFileSystem()->writev(1, nullptr, 0)}),
              std::vector<std::int64_t>({0, -1, -1, -1}))
        << "the default table has no gather write";
}

TEST(DefaultFileSystemTest, OpenModesPermissionsAndBuffering) {
    TempDir dir;
    IFileSystem* table = Detail::defaultFileSystem();
    const std::string path = dir / "f.bin";
    EXPECT_TRUE(table->fopen(path.c_str(), "rb") == nullptr && table->fopen(path.c_str(), "rb+") == nullptr);
    EXPECT_FALSE(Orvane::Testing::exists(path)) << "r and r+ do not create";

    writeFile(path, "old contents");
    void* stream = table->fopen(path.c_str(), "wbe");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fs::file_size(path), 0u) << "w truncates";
    EXPECT_NE(descriptorFlags(stream) & 02000000ul, 0u) << "e gives close-on-exec";
    EXPECT_EQ(descriptorFlags(stream) & 03ul, 01ul) << "w alone is write-only";
    // A full 16384-byte buffer: nothing reaches the file before it is full.
    const std::string chunk(16384, 'x');
    EXPECT_EQ(table->fwrite(chunk.data(), 1, 16383, stream), 16383u);
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_EQ(table->fwrite(chunk.data(), 1, 2, stream), 2u);
    EXPECT_GE(fs::file_size(path), 16384u);
    EXPECT_EQ(table->fclose(stream), 0);
    EXPECT_EQ(fs::file_size(path), 16385u);

    const std::string created = dir / "new.bin";
    stream = table->fopen(created.c_str(), "wbd");
    ASSERT_NE(stream, nullptr) << "d is accepted";
    EXPECT_EQ(descriptorFlags(stream) & 02000000ul, 0u);
    table->fclose(stream);
    EXPECT_EQ(fs::status(created).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    stream = table->fopen(path.c_str(), "ab+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(descriptorFlags(stream) & 03ul, 02ul) << "+ is read-write";
    EXPECT_NE(descriptorFlags(stream) & 02000ul, 0u) << "a appends";
    EXPECT_EQ(table->fputs("tail", stream), 0);
    table->fclose(stream);
    EXPECT_EQ(fs::file_size(path), 16389u) << "a keeps the contents";
}

TEST(DefaultFileSystemTest, PathOperationsStatAndVolume) {
    TempDir dir;
    IFileSystem* table = Detail::defaultFileSystem();
    const std::string file = dir / "a.txt";
    writeFile(file, "12345");
    FileInfo info = {};
    std::strcpy(info.name, "untouched");
    EXPECT_NE(table->stat((dir / "missing").c_str(), &info), 0);
    EXPECT_STREQ(info.name, "untouched") << "a failed stat leaves the record";
    ASSERT_EQ(table->stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.name, file);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(info.attrib & 0170000, 0100000) << "the host's mode bits: a regular file";
    EXPECT_GT(info.timeWrite, 1500000000u);
    const std::vector<int> results = {table->access(file.c_str(), 6),
                                      table->access((dir / "missing").c_str(), 0),
                                      table->mkdir((dir / "sub").c_str()),
                                      table->mkdir((dir / "sub").c_str()) != 0,
                                      table->rename(file.c_str(), (dir / "sub/b.txt").c_str()),
                                      table->rmdir((dir / "sub").c_str()) != 0, // not empty
                                      table->remove((dir / "sub/b.txt").c_str()),
                                      table->rmdir((dir / "sub").c_str())};
    EXPECT_EQ(results, std::vector<int>({0, -1, 0, 1, 0, 1, 0, 0}));
    std::uint64_t mine = 0, total = 0, free = 0;
    ASSERT_EQ(table->statfs(dir.path().c_str(), &mine, &total, &free), 0);
    EXPECT_TRUE(total > 0 && mine <= free && free <= total) << mine << " " << free << " " << total;
    EXPECT_EQ(table->statfs((dir / "missing").c_str(), &mine, &total, &free), -1);
}

TEST(DefaultFileSystemTest, SearchAttributesAndKeys) {
    TempDir dir;
    IFileSystem* table = Detail::defaultFileSystem();
    for (const char* name : {"plain.log", "locked.log", ".hidden.log", "other.txt"}) {
        writeFile(dir / name, "x");
    }
    fs::permissions(dir / "locked.log", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(dir / "sub.log");
    const std::map<std::string, std::uint16_t> logs = {
        {".hidden.log", 0x2}, {"locked.log", 0x1}, {"plain.log", 0}, {"sub.log", 0x10}};
    EXPECT_EQ(listAttributes(table, dir / "*.log"), logs);
    const auto all = listAttributes(table, dir / "*");
    EXPECT_EQ(all.size(), 7u);
    EXPECT_EQ(all.at(".."), 0x10) << "the dot entries are listed, the parent as a directory";
    EXPECT_EQ(listAttributes(table, dir / "?ther.txt").size(), 1u);

    FileInfo info = {};
    for (const std::string& pattern : {std::string(), dir / "*.none", dir / "missing/*"}) {
        EXPECT_EQ(table->findfirst(pattern.c_str(), &info), -1) << pattern;
    }
    EXPECT_EQ(table->findfirst(nullptr, &info), -1);
    const int first = table->findfirst((dir / "*").c_str(), &info);
    ASSERT_GE(first, 0);
    EXPECT_EQ(table->findclose(first), 0);
    const int second = table->findfirst((dir / "*").c_str(), &info);
    EXPECT_EQ(second, first + 1) << "a closed key is not handed out again";
    table->findclose(second);

    testing::internal::CaptureStdout();
    EXPECT_EQ(table->findnext(1000000, &info), -1);
    EXPECT_EQ(table->findclose(1000000), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("] Virad FileDefaultOpt::findnext fail!\n"), std::string::npos) << out;
    EXPECT_NE(out.find("] Virad FileDefaultOpt::findclose fail\n"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("[FileDefaultOpt.cpp:", 0), 0u) << out;
}

TEST(DefaultFileSystemTest, PositionsAndSizesBeyondThirtyTwoBits) {
    TempDir dir;
    IFileSystem* table = Detail::defaultFileSystem();
    const std::string path = dir / "sparse";
    void* stream = table->fopen(path.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    const std::int64_t beyond = 3LL * 1024 * 1024 * 1024;
    const std::vector<std::int64_t> positions = {table->fseek(stream, 2147483647, 0),
                                                 table->ftell(stream),
                                                 table->fseek64(stream, beyond, 0),
                                                 table->ftell64(stream),
                                                 table->ftell(stream),
                                                 table->fseek(stream, -1, 0) < 0};
    EXPECT_EQ(positions, std::vector<std::int64_t>({0, 2147483647, 0, beyond, -1, 1})) << "ftell fails past 2^31-1";
    table->fclose(stream);

    fs::resize_file(path, (1ull << 32) + 5);
    FileInfo info = {};
    const int key = table->findfirst(path.c_str(), &info);
    ASSERT_GE(key, 0);
    EXPECT_EQ(info.size, 5u) << "the search takes the size modulo 4 GiB";
    table->findclose(key);
    ASSERT_EQ(table->stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.size, (1ull << 32) + 5) << "stat reports the full size";
}
