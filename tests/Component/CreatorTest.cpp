#include "component/Creator.h"

#include "Src/Platform/Loader.h"

#include "Greeter.h"
#include "support/FakeClient.h"

#include <filesystem>
#include <stdexcept>

using namespace Orvane::Component;
using namespace Orvane::Testing;

namespace {

std::atomic<int> g_made{0};

IUnknown* make(const ServerInfo*) {
    ++g_made;
    return new FakeComponent;
}

} // namespace

TEST(CreatorTest, SharesOneObjectPerIdentityAndCreatesNewOnes) {
    registerComponent("Shared", &make);
    const int made = g_made;
    char host[] = "10.0.0.1";
    ServerInfo base = serverAt(80), same = base;
    base.text3 = "";
    same.text1 = host; // equal text, other storage
    same.text4 = "not part of the identity";
    IUnknown* local = getComponentInstance("Shared", nullptr);
    IUnknown* shared = getComponentInstance("Shared", &base);
    EXPECT_EQ(getComponentInstance("Shared", &same), shared) << "null text3 equals empty text3";
    EXPECT_EQ(countOf(shared), 2) << "the second caller's reference";
    EXPECT_EQ(getComponentInstance("Shared", nullptr), local);
    EXPECT_EQ(countOf(local), 2);
    EXPECT_EQ(Detail::UnknownAccess::record(shared)->classId, "Shared");
    EXPECT_TRUE(Detail::UnknownAccess::record(shared)->inComponentMap);
    std::vector<ServerInfo> others(5, base); // each identity field changed on its own
    others[0].text1 = "10.0.0.2";
    others[1].number1 = 81;
    others[2].userName = "ann";
    others[3].text3 = "x";
    others[4].flag1 = 1;
    for (const ServerInfo& other : others) {
        IUnknown* object = getComponentInstance("Shared", &other);
        EXPECT_NE(object, shared);
        EXPECT_EQ(object->release(), 0);
    }
    IUnknown* created[] = {createComponentObject("Shared", &base), createComponentObject("Shared", &base)};
    EXPECT_NE(created[0], created[1]);
    EXPECT_EQ(Detail::UnknownAccess::record(created[0])->classId, "Shared");
    EXPECT_FALSE(Detail::UnknownAccess::record(created[0])->inComponentMap);
    EXPECT_EQ(std::vector<int>({created[0]->release(), created[1]->release()}), std::vector<int>({0, 0}));
    EXPECT_EQ(getComponentInstance("Shared", &base), shared) << "created objects are never shared";
    EXPECT_EQ(g_made - made, 9);
    EXPECT_EQ(std::vector<int>({shared->release(), shared->release(), shared->release()}), std::vector<int>({2, 1, 0}));
    EXPECT_EQ(std::vector<int>({local->release(), local->release()}), std::vector<int>({1, 0}));
    IUnknown* again = getComponentInstance("Shared", &base);
    EXPECT_EQ(g_made - made, 10) << "the last release took the shared object out";
    EXPECT_EQ(again->release(), 0);
}

TEST(CreatorTest, CallersAskingAtOnceShareOneObject) {
    // Slow enough that every caller arrives while the first creation is under way.
    registerComponent("Crowd", [](const ServerInfo* info) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return make(info);
    });
    const int made = g_made;
    std::vector<IUnknown*> got(6);
    onThreads(6, [&got](int i) { got[i] = getComponentInstance("Crowd", nullptr); });
    EXPECT_EQ(g_made - made, 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), got[0]), 6);
    EXPECT_EQ(countOf(got[0]), 6);
    for (IUnknown* object : got) {
        object->release();
    }
}

// The exception reaches the caller and takes the creation under way with it: a caller on another thread
// asking for the same identity afterwards gets a new object rather than waiting for the failed one.
TEST(CreatorTest, ACreatorThatThrowsLeavesNoCreationUnderWay) {
    static std::atomic<bool> fail;
    fail = true; // the first call of every run throws
    registerComponent("Thrower", [](const ServerInfo* info) {
        if (fail.exchange(false)) {
            throw std::runtime_error("creator failed");
        }
        return make(info);
    });
    EXPECT_THROW(getComponentInstance("Thrower", nullptr), std::runtime_error);
    IUnknown* got = nullptr;
    onThreads(1, [&got](int) { got = getComponentInstance("Thrower", nullptr); });
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->release(), 0);
}

TEST(CreatorTest, ASecondRegistrationWarnsAndReplacesTheCreator) {
    const std::string classId = "Twice" + std::to_string(g_made++);
    EXPECT_EQ(reported(
                  [&] {
                      registerComponent(classId.c_str(), &make);
                      registerComponent(classId.c_str(), [](const ServerInfo*) -> IUnknown* { return nullptr; });
                  },
                  3),
              Lines{"registerComponentCreator creator for cid:" + classId + " already exist!\n"});
    EXPECT_EQ(getComponentInstance(classId.c_str(), nullptr), nullptr) << "the second creator makes nothing";
    EXPECT_FALSE(registerComponent(nullptr, &make));
    EXPECT_FALSE(registerComponent("", &make));
    EXPECT_EQ(getComponentInstance("", nullptr), nullptr);
    EXPECT_EQ(createComponentObject(nullptr, nullptr), nullptr);
}

TEST(CreatorTest, LoadsTheCreatorOfAClassFromTheLibraryNamedAfterIt) {
    const ServerInfo bob = serverAt(80);
    IUnknown* shared = getComponentInstance("Greeter", &bob);
    ASSERT_NE(shared, nullptr) << "libGreeter.so is built beside the test program";
    IUnknown* created = createComponentObject("Greeter", nullptr);
    EXPECT_EQ(getComponentInstance("Greeter", &bob), shared);
    EXPECT_NE(created->queryInterface(kGreeterIid), nullptr);
    EXPECT_EQ(std::vector<int>({shared->release(), shared->release(), created->release()}),
              std::vector<int>({1, 0, 0}));

    // A library that cannot be loaded is silent; one without the entry point
    // is reported on every lookup. The two file names are 31 characters long,
    // the second cut from 32; so is the entry point's name, cut from 37.
    auto lookups = [&bob](const std::string& classId) {
        return reported(
            [&] {
                EXPECT_EQ(getComponentInstance(classId.c_str(), nullptr), nullptr);
                EXPECT_EQ(createComponentObject(classId.c_str(), &bob), nullptr);
            },
            2);
    };
    const std::string lacking = "getDynamicCreator get proc:createNoEntryPointInThisLibrary failed!\n";
    EXPECT_EQ(lookups("NoSuchComponentLibrary"), Lines{});
    EXPECT_EQ(lookups("NoEntryPointInThisLibrary"), Lines(2, lacking));
    EXPECT_EQ(lookups("NoEntryPointInThisLibraryX"), Lines(2, lacking));
}

// Class ids come from configuration and remote peers; one that would make its library's name a path is refused and
// loads nothing. Copies of a library that marks its loading are planted where the two names would reach from the
// working directory.
TEST(CreatorTest, AClassIdThatNamesAPathLoadsNothing) {
    const std::filesystem::path planted = std::filesystem::absolute(DOZUV2_PLANTED_LIBRARY);
    const std::filesystem::path saved = std::filesystem::current_path();
    TempDir dir;
    std::filesystem::current_path(dir.path());
    Lines reports;
    for (const std::string classId : {"planted/x", R"(planted\x)"}) {
        char name[32];
        Orvane::Platform::libraryFileName(name, sizeof name, classId.c_str());
        const std::filesystem::path target(name);
        if (target.has_parent_path()) {
            std::filesystem::create_directories(target.parent_path());
        }
        if (!std::filesystem::exists(target)) { // on Windows both names are one file
            std::filesystem::copy_file(planted, target);
        }
        const Lines lines = reported(
            [&] {
                EXPECT_EQ(getComponentInstance(classId.c_str(), nullptr), nullptr);
                EXPECT_EQ(createComponentObject(classId.c_str(), nullptr), nullptr);
            },
            2);
        reports.insert(reports.end(), lines.begin(), lines.end());
    }
    const bool loaded = std::filesystem::exists("planted-library-loaded");
    std::filesystem::current_path(saved);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(reports, Lines({"getDynamicCreator cid:planted/x names no library file!\n",
                              "getDynamicCreator cid:planted/x names no library file!\n",
                              R"(getDynamicCreator cid:planted\x names no library file!)"
                              "\n",
                              R"(getDynamicCreator cid:planted\x names no library file!)"
                              "\n"}));
}

TEST(CreatorDeathTest, DestroyingASharedObjectThatIsNotListedIsABrokenInvariant) {
    Orvane::Testing::reexecuteDeathTests();
    registerComponent("Listed", &make);
    FakeComponent object;
    EXPECT_DEATH(destroyComponent(&object, "NeverListed", true), R"(assertion \(pi != s_componentMap\.end\(\)\))");
    EXPECT_DEATH(destroyComponent(&object, "Listed", true),
                 R"(assertion \(pj != \(\*pi\)\.second\.instances\.end\(\)\))");
}
