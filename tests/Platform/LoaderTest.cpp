#include "Platform/Loader.h"

#include "support/Testing.h"

using namespace Orvane::Platform;

TEST(LoaderTest, LibraryFileNamesAreCutToTheBuffer) {
    const std::pair<std::string, const char*> cases[] = {
        {"m", "libm.so"},
        {std::string(24, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaa.so"},  // 30 characters
        {std::string(25, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaaa.so"}, // 31: just fits
        {std::string(26, 'a'), "libaaaaaaaaaaaaaaaaaaaaaaaaaa.s"}, // 32: cut
    };
    for (const auto& [base, expected] : cases) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        const std::size_t length = libraryFileName(name, sizeof name, base.c_str());
        // Zero-filled behind the name.
        EXPECT_EQ(std::string(name, sizeof name), expected + std::string(sizeof name - std::strlen(expected), '\0'));
        EXPECT_EQ(length, std::strlen(expected));
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

    const auto cosine = reinterpret_cast<double (*)(double)>(findEntryPoint(loadLibrary("libm.so.6"), "cos"));
    ASSERT_NE(cosine, nullptr) << "from the system";
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_TRUE(loadLibrary("libNoSuchLibraryHere.so") == nullptr && loadLibrary("") == nullptr &&
                loadLibrary(nullptr) == nullptr && findEntryPoint(nullptr, "cos") == nullptr);
}
