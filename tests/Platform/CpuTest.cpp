#include "Src/Platform/Cpu.h"

#include "support/Testing.h"

#include <fstream>

using namespace Orvane::Platform;

TEST(CpuTest, BitScansFindTheHighestAndTheLowestSetBit) {
    // value, highest, lowest
    const std::tuple<std::uint64_t, unsigned, unsigned> cases[] = {{1, 0, 0},
                                                                   {2, 1, 1},
                                                                   {0xFFFF, 15, 0},
                                                                   {0x10000, 16, 16},
                                                                   {0x7FFFFFFFFFFFFFFFULL, 62, 0},
                                                                   {0x8000000000000000ULL, 63, 63},
                                                                   {0x8000000000000100ULL, 63, 8}};
    for (const auto& [value, highest, lowest] : cases) {
        EXPECT_EQ(highestSetBit(value), highest) << std::hex << value;
        EXPECT_EQ(lowestSetBit(value), lowest) << std::hex << value;
    }
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
