#include "Platform/Cpu.h"

#include "support/Testing.h"

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

using namespace Orvane::Platform;

TEST(CpuTest, BitScanFindsTheHighestSetBit) {
    const std::pair<std::uint64_t, unsigned> cases[] = {
        {1, 0}, {2, 1}, {0xFFFF, 15}, {0x10000, 16}, {0x7FFFFFFFFFFFFFFFULL, 62}, {0x8000000000000000ULL, 63}};
    for (const auto& [value, highest] : cases) {
        EXPECT_EQ(highestSetBit(value), highest) << std::hex << value;
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
    std::istringstream words(line.substr(line.find(':') + 1));
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    const CpuFeatures& features = cpuFeatures();
    EXPECT_EQ(std::vector<bool>({features.aes, features.sha, features.pclmulqdq, features.ssse3}),
              std::vector<bool>({flags.count("aes") == 1, flags.count("sha_ni") == 1, flags.count("pclmulqdq") == 1,
                                 flags.count("ssse3") == 1}));
}
