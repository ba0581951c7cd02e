#include "virad/LogFilter.h"

#include "support/PrintStateFixture.h"
#include "support/Testing.h"

#include <filesystem>
#include <set>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
namespace fs = std::filesystem;
using Names = std::set<std::string>;

static SystemTimeEx day(int year, int month, int d, int hour = 12) {
    return SystemTimeEx{year, month, d, 0, hour, 0, 0, 0, {}};
}

static int write(const std::string& line, const SystemTimeEx& time) {
    return Detail::writeLogFile(line.c_str(), static_cast<int>(line.size()), time);
}

// Each test starts as a fresh process would, with the log in a fresh directory.
class LogFileTest : public PrintStateTest {
protected:
    void rotating(int maxSize = 0, int maxFiles = 0, bool byDay = false, const std::string& path = "") {
        Detail::setLogPath(path.empty() ? m_path.c_str() : path.c_str());
        Detail::setLogSaveMode(Detail::LogSaveMode::rotating);
        Detail::setLogMaxSize(maxSize);
        Detail::setLogMaxFiles(maxFiles);
        Detail::setLogByDay(byDay);
    }
    Names names() const {
        Names found;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) {
            found.insert(entry.path().filename().string());
        }
        return found;
    }

    TempDir m_dir;
    const std::string m_path = m_dir / "app.log";
    const SystemTimeEx m_day = day(2024, 3, 9);
};

TEST_F(LogFileTest, SaveModeNoneAppendsAndEmptiesAtTheLimit) {
    writeFile(m_path, "from an earlier run\n");
    Detail::setLogPath(m_path.c_str());
    EXPECT_EQ(write("first\n", m_day), 0);
    logCleanup();
    EXPECT_EQ(write("after cleanup\n", m_day), 0);
    // Appended, reopened for appending, never emptied without a limit.
    EXPECT_EQ(readFile(m_path), "from an earlier run\nfirst\nafter cleanup\n");

    Detail::setLogMaxSize(1024);
    const std::string chunk(500, 'x');
    write(chunk + "\n", m_day);
    write(chunk + "\n", m_day); // passes 1024 with this line
    EXPECT_GT(fs::file_size(m_path), 1024u) << "the limit is checked before a line";
    write("fresh\n", m_day);
    EXPECT_EQ(readFile(m_path), "fresh\n");
    EXPECT_EQ(names(), Names{"app.log"});
}

TEST_F(LogFileTest, SizeRotationNamesAndRetention) {
    rotating(1024, 3);
    const std::string chunk(1100, 'y');
    write(chunk, m_day); // the file opened by this line is never rotated by it
    EXPECT_EQ(names(), Names{"app.log"});
    write("second\n", m_day);
    EXPECT_EQ(Lines({readFile(m_path), readFile(m_path + "_2024-03-09_0")}), Lines({"second\n", chunk}));

    // Each rotated file gets an older time than the next, so the oldest is known.
    const auto base = fs::file_time_type::clock::now() - std::chrono::hours(10);
    std::error_code notYetThere;
    for (int i = 1; i <= 5; ++i) {
        for (int k = 0; k < i; ++k) {
            fs::last_write_time(m_path + "_2024-03-09_" + std::to_string(k), base + std::chrono::minutes(k),
                                notYetThere);
        }
        write(chunk, m_day);
        write("next\n", m_day);
    }
    // Three rotated files kept, the oldest deleted one per rotation.
    EXPECT_EQ(names(), (Names{"app.log", "app.log_2024-03-09_3", "app.log_2024-03-09_4", "app.log_2024-03-09_5"}));
}

TEST_F(LogFileTest, DayRotationUsesTheDateOfTheFile) {
    rotating(0, 0, true);
    write("monday\n", day(2024, 3, 9, 23));
    write("still monday\n", day(2024, 3, 9, 23));
    write("tuesday\n", day(2024, 3, 10, 0));
    EXPECT_EQ(Lines({readFile(m_path + "_2024-03-09_0"), readFile(m_path)}),
              Lines({"monday\nstill monday\n", "tuesday\n"}));
    write("a month later\n", day(2024, 4, 10, 0));
    EXPECT_EQ(readFile(m_path + "_2024-03-10_0"), "tuesday\n");
}

TEST_F(LogFileTest, NoPathUnopenablePathAndPathWithoutDirectory) {
    EXPECT_EQ(write("line\n", m_day), -1) << "no path, no file";
    EXPECT_EQ(names(), Names{});

    Detail::setLogPath((m_dir / "missing/app.log").c_str());
    const std::string out = stdoutOf([&] { EXPECT_EQ(write("x\n", m_day), -1); });
    EXPECT_NE(out.find("]fopen faild,errno:2, errmesg:"), std::string::npos) << out;

    const auto saved = fs::current_path();
    fs::current_path(m_dir.path());
    Detail::setLogPath("here.log");
    EXPECT_EQ(write("x\n", m_day), 0);
    fs::current_path(saved);
    EXPECT_EQ(readFile(m_dir / "here.log"), "x\n") << "a bare name lands in the working directory";
}

// A file found at start is moved to the next number for the line's date, once per process. A percent sign in the
// log path is a plain character of the rotated names, never a conversion.
TEST_F(LogFileTest, RotatingModeMovesAFileFoundAtStartWithPercentSignsMatchedLiterally) {
    for (const std::string name : {"app.log", "a%d.log", "b%s%s%s%n.log", "c%%.log", "d%04d-%02d.log"}) {
        const std::string path = m_dir / name;
        writeFile(path + "_2024-03-09_5", "older\n");
        writeFile(path + "_2024-03-08_9", "other day\n");
        writeFile(path, "previous run\n");
        Detail::resetLogFileState();
        rotating(0, 0, false, path);
        EXPECT_EQ(write("new run\n", m_day), 0) << name;
        EXPECT_EQ(readFile(path + "_2024-03-09_6"), "previous run\n") << name;
    }
    logCleanup();
    write("after cleanup\n", m_day);
    EXPECT_EQ(readFile(m_dir / "d%04d-%02d.log"), "new run\nafter cleanup\n") << "the move happens once per process";
}
