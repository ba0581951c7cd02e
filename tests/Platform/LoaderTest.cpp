#include "Platform/Loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Orvane::Platform;

TEST(LoaderTest, LibraryFileNamesAreCutToTheBuffer) {
    const struct {
        std::string base;
        const char* expected;
    } cases[] = {
        {"m", "libm.so"},
        {std::string(24, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaa.so"},  // 30 characters
        {std::string(25, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaaa.so"}, // 31: just fits
        {std::string(26, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaaaa.s"}, // 32: cut
        {std::string(40, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    };
    for (const auto& c : cases) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        const std::size_t length = libraryFileName(name, sizeof name, c.base.c_str());
        EXPECT_STREQ(name, c.expected);
        EXPECT_EQ(length, std::strlen(c.expected));
        for (std::size_t i = length; i < sizeof name; ++i) {
            EXPECT_EQ(name[i], '\0') << "zero-filled behind the name, at " << i;
        }
    }
}

TEST(LoaderTest, LoadsBesideTheProgramOrFromTheSystemAndFindsEntryPoints) {
    char name[32];
    libraryFileName(name, sizeof name, "LoaderProbe");
    const LibraryHandle probe = loadLibrary(name); // built beside the test program
    ASSERT_NE(probe, nullptr) << name;
    EXPECT_EQ(loadLibrary(name), probe) << "loading again gives the same library";
    const auto create = reinterpret_cast<int (*)(int)>(findEntryPoint(probe, "createLoaderProbeObject"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create(20), 41);
    EXPECT_EQ(findEntryPoint(probe, "createMissingObject"), nullptr);

    const LibraryHandle math = loadLibrary("libm.so.6");
    ASSERT_NE(math, nullptr);
    const auto cosine = reinterpret_cast<double (*)(double)>(findEntryPoint(math, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);

    for (const char* missing : {"libNoSuchLibraryHere.so", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(loadLibrary(missing), nullptr);
    }
    EXPECT_EQ(findEntryPoint(nullptr, "cos"), nullptr);
}
