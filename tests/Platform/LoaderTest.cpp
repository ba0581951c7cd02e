#include "Src/Platform/Loader.h"

#include "support/Testing.h"

using namespace Orvane::Platform;

// Names cut to the 31 characters a name buffer holds are the creator test's, which loads component libraries
// whose file names are exactly 31 characters long and cut to 31 from 32.
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
    EXPECT_EQ(loadLibrary("libNoSuchLibraryHere.so"), nullptr);
    EXPECT_EQ(loadLibrary(""), nullptr);
    EXPECT_EQ(loadLibrary(nullptr), nullptr);
    EXPECT_EQ(findEntryPoint(nullptr, "cos"), nullptr);
}
