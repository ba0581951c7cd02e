#include "virad/LogFilter.h"

#include "support/PrintStateFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::exists;
using Orvane::Testing::readFile;
using Orvane::Testing::TempDir;
using Orvane::Testing::writeFile;

namespace fs = std::filesystem;

namespace {

SystemTimeEx day(int year, int month, int d, int hour = 12) {
    SystemTimeEx t = {};
    t.year = year;
    t.month = month;
    t.day = d;
    t.hour = hour;
    return t;
}

int write(const std::string& line, const SystemTimeEx& time) {
    return Detail::writeLogFile(line.c_str(), static_cast<int>(line.size()), time);
}

// Each test starts as a fresh process would: no file open, default settings.
class LogFileTest : public Orvane::Testing::PrintStateTest {
protected:
    void SetUp() override {
        PrintStateTest::SetUp();
        Detail::resetLogFileState();
    }
    void TearDown() override {
        Detail::resetLogFileState();
        PrintStateTest::TearDown();
    }

    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) {
            found.insert(entry.path().filename().string());
        }
        return found;
    }

    TempDir m_dir;
    const std::string m_path = m_dir / "app.log";
    const SystemTimeEx m_day = day(2024, 3, 9);
};

} // namespace

TEST_F(LogFileTest, SaveModeNoneAppendsAndEmptiesAtTheLimit) {
    writeFile(m_path, "from an earlier run\n");
    Detail::setLogPath(m_path.c_str());
    EXPECT_EQ(write("first\n", m_day), 0);
    EXPECT_EQ(readFile(m_path), "from an earlier run\nfirst\n") << "appended, never emptied without a limit";
    logCleanup();
    EXPECT_EQ(write("after cleanup\n", m_day), 0);
    EXPECT_EQ(readFile(m_path), "from an earlier run\nfirst\nafter cleanup\n") << "reopened for appending";

    Detail::setLogMaxSize(1024);
    const std::string chunk(500, 'x');
    write(chunk + "\n", m_day);
    write(chunk + "\n", m_day); // passes 1024 with this line
    EXPECT_GT(fs::file_size(m_path), 1024u) << "the limit is checked before a line";
    write("fresh\n", m_day);
    EXPECT_EQ(readFile(m_path), "fresh\n");
    EXPECT_EQ(names(), (std::set<std::string>{"app.log"}));
}

TEST_F(LogFileTest, SizeRotationNamesAndRetention) {
    Detail::setLogPath(m_path.c_str());
    Detail::setLogMaxSize(1024);
    Detail::setLogMaxFiles(3);
    Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
    const std::string chunk(1100, 'y');
    write(chunk, m_day); // the file opened by this line is never rotated by it
    EXPECT_EQ(names(), (std::set<std::string>{"app.log"}));
    write("second\n", m_day);
    EXPECT_EQ(names(), (std::set<std::string>{"app.log", "app.log_2024-03-09_0"}));
    EXPECT_EQ(readFile(m_path), "second\n");
    EXPECT_EQ(readFile(m_path + "_2024-03-09_0"), chunk);

    // Each rotated file gets an older time than the next, so the oldest is known.
    const auto base = fs::file_time_type::clock::now() - std::chrono::hours(10);
    for (int i = 1; i <= 5; ++i) {
        for (int k = 0; k < i; ++k) {
            const std::string rotated = m_path + "_2024-03-09_" + std::to_string(k);
            if (exists(rotated)) {
                fs::last_write_time(rotated, base + std::chrono::minutes(k));
            }
        }
        write(chunk, m_day);
        write("next\n", m_day);
    }
    EXPECT_EQ(names(), (std::set<std::string>{"app.log", "app.log_2024-03-09_3", "app.log_2024-03-09_4",
                                              "app.log_2024-03-09_5"}))
        << "three rotated files kept, the oldest deleted one per rotation";
}

TEST_F(LogFileTest, DayRotationUsesTheDateOfTheFile) {
    Detail::setLogPath(m_path.c_str());
    Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
    Detail::setLogByDay(true);
    write("monday\n", day(2024, 3, 9, 23));
    write("still monday\n", day(2024, 3, 9, 23));
    write("tuesday\n", day(2024, 3, 10, 0));
    EXPECT_EQ(readFile(m_path + "_2024-03-09_0"), "monday\nstill monday\n");
    EXPECT_EQ(readFile(m_path), "tuesday\n");
    write("a month later\n", day(2024, 4, 10, 0));
    EXPECT_EQ(readFile(m_path + "_2024-03-10_0"), "tuesday\n");
}

TEST_F(LogFileTest, RotatingModeMovesAFileFoundAtStart) {
    writeFile(m_path, "previous run\n");
    writeFile(m_path + "_2024-03-09_0", "older\n");
    writeFile(m_path + "_2024-03-08_4", "other day\n");
    Detail::setLogPath(m_path.c_str());
    Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
    write("new run\n", m_day);
    EXPECT_EQ(readFile(m_path + "_2024-03-09_1"), "previous run\n") << "next number for the line's date";
    EXPECT_EQ(readFile(m_path), "new run\n");

    logCleanup();
    write("after cleanup\n", m_day);
    EXPECT_EQ(readFile(m_path), "new run\nafter cleanup\n") << "the at-start move happens once per process";
}

TEST_F(LogFileTest, NoPathUnopenablePathAndPathWithoutDirectory) {
    EXPECT_EQ(write("line\n", m_day), -1) << "no path, no file";
    EXPECT_TRUE(names().empty());

    Detail::setLogPath((m_dir / "missing/app.log").c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(write("x\n", m_day), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("]fopen faild,errno:2, errmesg:"), std::string::npos) << out;

    const auto saved = fs::current_path();
    fs::current_path(m_dir.path());
    Detail::setLogPath("here.log");
    EXPECT_EQ(write("x\n", m_day), 0);
    fs::current_path(saved);
    EXPECT_EQ(readFile(m_dir / "here.log"), "x\n") << "a bare name lands in the working directory";
}

TEST_F(LogFileTest, ConcurrentWritersNeverTearOrLoseLines) {
    Detail::setLogPath(m_path.c_str());
    Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
    Detail::setLogMaxSize(64 * 1024);
    constexpr int kThreads = 4, kLines = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, this] {
            for (int i = 0; i < kLines; ++i) {
                std::string line = "thread " + std::to_string(t) + " line " + std::to_string(i) + " ";
                line.append(static_cast<std::size_t>(i % 50), static_cast<char>('a' + t)) += '\n';
                write(line, m_day);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    logCleanup();
    int total = 0;
    for (const std::string& name : names()) {
        std::istringstream in(readFile(m_dir / name));
        std::string line;
        while (std::getline(in, line)) {
            int t = -1, i = -1;
            char tail[64] = {};
            ASSERT_GE(std::sscanf(line.c_str(), "thread %d line %d %63s", &t, &i, tail), 2) << line;
            ASSERT_TRUE(t >= 0 && t < kThreads) << line;
            EXPECT_EQ(tail, std::string(static_cast<std::size_t>(i % 50), static_cast<char>('a' + t))) << line;
            ++total;
        }
    }
    EXPECT_EQ(total, kThreads * kLines);
    EXPECT_GT(names().size(), 2u) << "the size limit rotated files while threads wrote";
}

// A percent sign in the log path is a plain character of the rotated names,
// never a conversion.
TEST_F(LogFileTest, PercentSignsInThePathAreMatchedLiterally) {
    for (const std::string name : {"a%d.log", "b%s%s%s%n.log", "c%%.log", "d%04d-%02d.log"}) {
        const std::string path = m_dir / name;
        writeFile(path + "_2024-03-09_5", "older\n");
        writeFile(path + "_2024-03-08_9", "other day\n");
        writeFile(path, "previous run\n");
        Detail::resetLogFileState();
        Detail::setLogPath(path.c_str());
        Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
        EXPECT_EQ(write("new run\n", m_day), 0) << name;
        EXPECT_EQ(readFile(path + "_2024-03-09_6"), "previous run\n") << name;
    }
}
