#include "Src/Platform/Cpu.h"

#include "support/Testing.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

using namespace Orvane::Platform;

namespace {

// The features by the names the kernel and the build use for them.
std::map<std::string, bool> namedFeatures() {
    const CpuFeatures& f = cpuFeatures();
    return {{"aes", f.aes}, {"sha", f.sha}, {"clmul", f.clmul}, {"ssse3", f.ssse3}, {"crc32", f.crc32}};
}

} // namespace

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

// The kernel's list of this processor's features: "flags" on x86,
// "Features" on ARM (an emulator may show the host's list, or none).
TEST(CpuTest, FeaturesAgreeWithTheKernelsFlags) {
#if defined(__aarch64__)
    const std::string key = "Features";
    const std::map<std::string, const char*> kernelNames = {
        {"aes", "aes"}, {"sha", "sha1"}, {"clmul", "pmull"}, {"crc32", "crc32"}};
#else
    const std::string key = "flags";
    const std::map<std::string, const char*> kernelNames = {
        {"aes", "aes"}, {"sha", "sha_ni"}, {"clmul", "pclmulqdq"}, {"ssse3", "ssse3"}};
#endif
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line) && line.rfind(key, 0) != 0) {
    }
    if (line.rfind(key, 0) != 0) {
        GTEST_SKIP() << "no " << key << " line in /proc/cpuinfo";
    }
    line += " "; // every flag between blanks
    const std::map<std::string, bool> features = namedFeatures();
    std::map<std::string, bool> found, reported;
    for (const auto& [name, kernelName] : kernelNames) {
        found[name] = features.at(name);
        reported[name] = line.find(" " + std::string(kernelName) + " ") != line.npos;
    }
    EXPECT_EQ(found, reported);
}

// Where the build runs the tests on a processor known to have instruction
// paths (qemu's, for ARM), it names them in DOZUV2_EXPECTED_CPU_FEATURES,
// and each must be found: otherwise every comparison of the processor's path
// with the portable one would compare the portable path with itself.
TEST(CpuTest, TheProcessorTheBuildNamesOffersItsInstructionPaths) {
    const char* expected = std::getenv("DOZUV2_EXPECTED_CPU_FEATURES");
    if (expected == nullptr) {
        GTEST_SKIP() << "the build names no features for this processor";
    }
    const std::map<std::string, bool> features = namedFeatures();
    std::istringstream names(expected);
    std::map<std::string, bool> named, found;
    for (std::string name; names >> name;) {
        named[name] = true;
        found[name] = features.count(name) != 0 && features.at(name);
    }
    EXPECT_EQ(found, named);
}
