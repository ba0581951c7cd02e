#include "Platform/Cpu.h"

#include "support/CaseTable.h"
#include "support/Testing.h"

#include <fstream>

using namespace Orvane::Platform;
using Orvane::Testing::runCaseTable;

TEST(CpuTest, BitScanFindsTheHighestSetBit) {
    EXPECT_EQ(runCaseTable("1 = 0 | 2 = 1 | FFFF = 15 | 10000 = 16 | 7FFFFFFFFFFFFFFF = 62 | 8000000000000000 = 63",
                           [](const std::vector<std::string>& fields) {
                               return std::to_string(highestSetBit(std::stoull(fields[0], nullptr, 16)));
                           }),
              6);
}

TEST(CpuTest, FeaturesAgreeWithTheKernelsFlags) {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line) && line.rfind("flags", 0) != 0) {
    }
    if (line.rfind("flags", 0) != 0) {
        GTEST_SKIP() << "no x86 flags line in /proc/cpuinfo";
    }
    line += " "; // every flag between blanks
    const auto has = [&line](const char* flag) { return line.find(" " + std::string(flag) + " ") != line.npos; };
    const CpuFeatures& features = cpuFeatures();
    EXPECT_EQ(std::vector<bool>({features.aes, features.sha, features.pclmulqdq, features.ssse3}),
              std::vector<bool>({has("aes"), has("sha_ni"), has("pclmulqdq"), has("ssse3")}));
}
