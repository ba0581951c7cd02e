#include "virad/LastError.h"

#include "Devez3/PrintState.h"
#include "Common/Report.h"
#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

TEST(LastErrorTest, EachThreadKeepsItsOwnCode) {
    setLastError(-1);
    std::vector<int> other;
    std::thread([&] {
        other.push_back(getLastError());
        setLastError(0x10000042);
        other.push_back(getLastError());
    }).join();
    EXPECT_EQ(other, std::vector<int>({0, 0x10000042})) << "a fresh thread reads 0";
    EXPECT_EQ(getLastError(), -1) << "negative codes survive, and no other thread's code leaks here";
    setLastError(0);
}

TEST(LastErrorTest, MessageTableStoresReplacesAndDefaultsToEmpty) {
    setErrMsg(0x7001, nullptr);
    setErrMsg(0x7002, "first");
    setErrMsg(0x7002, "second");
    setErrorMessage(0x7003, flex_string("from a flex string"));
    EXPECT_EQ(std::string(getErrMsg(0x7777)) + "|" + getErrMsg(0x7001) + "|" + getErrMsg(0x7002) + "|" +
                  getErrMsg(0x7003) + "|" + getErrorMessage(0x7002).c_str() + "|" + getErrorMessage(0x7778).c_str(),
              "||second|from a flex string|second|")
        << "unknown and null texts are empty; the second text wins";

    // Concurrent first uses and writers share one table.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                setErrMsg(0x8000 + t * 1000 + i, std::to_string(i).c_str());
                (void)getErrMsg(0x8000 + i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_STREQ(getErrMsg(0x8000 + 3 * 1000 + 199), "199");
}

TEST(LastErrorDeathTest, AssertionsReportOnStandardErrorAndAbort) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        Detail::assertionFailed("m_internal", "void f()", "Src/X.cpp", 12),
        R"(\*\*\*\*\* Internal Program Error - assertion \(m_internal\) failed in void f\(\): Src/X\.cpp\(12\))");
    EXPECT_DEATH(Detail::assertionFailedMsg("x > 0", "bad x\n", "int g(int)", "Src/Y.cpp", 7),
                 R"(assertion \(x > 0\) failed in int g\(int\): Src/Y\.cpp\(7\): bad x)");
    int* nothing = nullptr;
    EXPECT_DEATH(VIRAD_ASSERT(nothing), R"(assertion \(nothing\) failed in .*LastErrorTest\.cpp)");
}

namespace {

// Dumps with a minimal prefix ("[ ]") and returns the rows.
std::vector<std::string> dumpRows(unsigned char* bytes, unsigned long long length) {
    CapturePrinter capture(true, 5);
    PrintOptions o = {};
    o.hideTime = o.hideLevel = o.hideModule = o.hideVersion = o.hideThreadId = o.hideFile = o.hideLine = 1;
    setPrintOptions(o);
    dumpHex(bytes, length);
    setPrintOptions(PrintOptions{});
    std::vector<std::string> rows;
    std::istringstream in(capture.text());
    for (std::string row; std::getline(in, row);) {
        rows.push_back(row);
    }
    return rows;
}

std::string address(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

} // namespace

TEST(DumpHexTest, RowsPartialRowsAndCharacters) {
    unsigned char bytes[1024];
    for (int i = 0; i < 1024; ++i) {
        bytes[i] = static_cast<unsigned char>('A' + i % 26);
    }
    const unsigned char edges[] = {31, 32, 122, 123, 255, 126};
    std::memcpy(bytes, edges, sizeof edges);

    auto rows = dumpRows(bytes, 16);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], "[ ]" + address(bytes) + ": 1f 20 7a 7b ff 7e 47 48 49 4a 4b 4c 4d 4e 4f 50   . z...GHIJKLMNOP");

    rows = dumpRows(bytes, 17);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], "[ ]" + address(bytes + 16) + ": 51 " + std::string(15 * 3, ' ') + "  Q")
        << "one byte, fifteen three-blank fillers, one character";

    rows = dumpRows(bytes, 1024);
    ASSERT_EQ(rows.size(), 66u) << "64 rows and an empty line after every 512 bytes";
    EXPECT_EQ(rows[32], "[ ]") << "the empty line is a line of its own: prefix, nothing behind it";
    EXPECT_EQ(rows[65], "[ ]");
    EXPECT_EQ(rows[33].substr(0, 3 + address(bytes + 512).size()), "[ ]" + address(bytes + 512));

    EXPECT_TRUE(dumpRows(bytes, 0).empty() && dumpRows(bytes, 0x100000000ULL).empty())
        << "the length is taken as a 32-bit count";

    CapturePrinter atInfo(true, 4);
    dumpHex(bytes, 64);
    EXPECT_TRUE(atInfo.lines().empty()) << "the dump is trace output";
}
