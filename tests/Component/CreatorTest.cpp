#include "component/Creator.h"

#include "Greeter.h"
#include "support/FakeClient.h"
#include "support/Testing.h"

using namespace Orvane::Component;
using namespace Orvane::Testing;

namespace {

std::atomic<int> g_made{0}, g_destroyed{0};

IUnknown* make(const ServerInfo*) {
    ++g_made;
    return new FakeComponent(&g_destroyed);
}
IUnknown* makeSlowly(const ServerInfo* info) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return make(info);
}
IUnknown* makeNothing(const ServerInfo*) {
    return nullptr;
}
// Asks for its own class while making it: a creator never waits for itself.
IUnknown* g_inner = nullptr;
IUnknown* makeNested(const ServerInfo* info) {
    static bool inside = false;
    if (!inside) {
        inside = true;
        g_inner = getComponentInstance("Nested", info);
        inside = false;
    }
    return make(info);
}

std::string greetingOf(IUnknown* object) {
    return static_cast<IGreeter*>(object->queryInterface("IGreeter"))->greeting();
}

} // namespace

TEST(CreatorTest, SharesOneObjectPerIdentityAndCreatesNewOnes) {
    registerComponent("Shared", &make);
    const int made = g_made, destroyed = g_destroyed;
    char host[] = "10.0.0.1";
    ServerInfo base = serverAt(80), same = base;
    base.text3 = "";
    same.text1 = host; // equal text, other storage
    same.text4 = "not part of the identity";
    IUnknown* local = getComponentInstance("Shared", nullptr);
    IUnknown* shared = getComponentInstance("Shared", &base);
    EXPECT_EQ(getComponentInstance("Shared", &same), shared) << "null text3 equals empty text3";
    EXPECT_EQ(getComponentInstance("Shared", nullptr), local);
    EXPECT_EQ(countOf(shared) * 10 + countOf(local), 22);
    std::vector<ServerInfo> others(5, base);
    others[0].text1 = "10.0.0.2";
    others[1].number1 = 81;
    others[2].userName = "ann";
    others[3].text3 = "x";
    others[4].flag1 = 1;
    std::vector<IUnknown*> objects = {local, local, shared, shared};
    for (const ServerInfo& other : others) {
        objects.push_back(getComponentInstance("Shared", &other));
        EXPECT_NE(objects.back(), shared);
    }
    IUnknown* created = createComponentObject("Shared", &base);
    IUnknown* createdAgain = createComponentObject("Shared", &base);
    EXPECT_NE(created, createdAgain);
    EXPECT_EQ(countOf(created) + countOf(createdAgain), 2);
    EXPECT_EQ(created->release() + createdAgain->release(), 0);
    EXPECT_EQ(g_made - made, 9);
    EXPECT_EQ(getComponentInstance("Shared", &base), shared) << "created objects are never shared";
    objects.push_back(shared);

    for (IUnknown* object : objects) {
        object->release();
    }
    EXPECT_EQ(g_destroyed - destroyed, 9);
    IUnknown* again = getComponentInstance("Shared", &base);
    EXPECT_EQ(g_made - made, 10) << "the last release took the shared object out";
    EXPECT_EQ(again->release(), 0);
}

TEST(CreatorTest, CallersAskingAtOnceShareOneObject) {
    registerComponent("Crowd", &makeSlowly);
    registerComponent("Nested", &makeNested);
    const int made = g_made;
    std::vector<IUnknown*> got(6);
    onThreads(6, [&got](int i) { got[i] = getComponentInstance("Crowd", nullptr); });
    EXPECT_EQ(g_made - made, 1);
    EXPECT_EQ(countOf(got[0]), 6);
    for (IUnknown* object : got) {
        EXPECT_EQ(object, got[0]);
        object->release();
    }

    IUnknown* outer = getComponentInstance("Nested", nullptr);
    EXPECT_EQ(g_made - made, 3) << "the nested call made an object of its own";
    EXPECT_TRUE(g_inner != nullptr && g_inner != outer);
    EXPECT_EQ(getComponentInstance("Nested", nullptr), outer) << "the first one listed is shared";
    EXPECT_EQ(outer->release() + outer->release() + g_inner->release(), 1);
}

TEST(CreatorTest, RegistrationWarnsWhenReplacingAndNothingIsMadeWithoutACreator) {
    static int round = 0;
    const std::string classId = "Twice" + std::to_string(++round);
    const Lines warned = reported(
        [&] {
            EXPECT_TRUE(registerComponent(classId.c_str(), &make));
            EXPECT_TRUE(registerComponent(classId.c_str(), &makeNothing));
            EXPECT_EQ(getComponentInstance(classId.c_str(), nullptr), nullptr);
            EXPECT_EQ(createComponentObject(classId.c_str(), nullptr), nullptr);
            EXPECT_FALSE(registerComponent(nullptr, &make) || registerComponent("", &make));
            EXPECT_TRUE(getComponentInstance(nullptr, nullptr) == nullptr &&
                        createComponentObject("", nullptr) == nullptr);
        },
        3);
    EXPECT_EQ(warned, Lines{"registerComponentCreator creator for cid:" + classId + " already exist!\n"});
    EXPECT_EQ(reported([&] { registerComponent(classId.c_str(), &makeNothing); }, 2), Lines{}) << "a warning";
}

TEST(CreatorTest, LoadsTheCreatorOfAClassFromTheLibraryNamedAfterIt) {
    const ServerInfo bob = serverAt(80);
    IUnknown* shared = getComponentInstance("Greeter", &bob);
    ASSERT_NE(shared, nullptr) << "libGreeter.so is built beside the test program";
    IUnknown* created = createComponentObject("Greeter", nullptr);
    EXPECT_EQ(getComponentInstance("Greeter", &bob), shared);
    EXPECT_NE(greetingOf(shared).find(" for bob at 10.0.0.1:80"), std::string::npos) << greetingOf(shared);
    EXPECT_NE(greetingOf(created).find(" (local)"), std::string::npos) << greetingOf(created);
    EXPECT_EQ(shared->release() + shared->release() + created->release(), 1);

    // A library that cannot be loaded is silent; one without the entry point
    // is reported on every lookup. Both file names are 31 characters long,
    // the second one cut from the class id's; so is the entry point's name.
    const std::string lacking = "getDynamicCreator get proc:createNoEntryPointInThisLibrary failed!\n";
    const struct {
        std::string classId;
        Lines lines;
    } cases[] = {
        {"NoSuchComponentLibrary", {}},
        {"NoEntryPointInThisLibrary", {lacking, lacking}},
        {"NoEntryPointInThisLibraryX", {lacking, lacking}},
        {std::string(200, 'Z'), {}},
    };
    for (const auto& c : cases) {
        const Lines lines = reported(
            [&] {
                EXPECT_EQ(getComponentInstance(c.classId.c_str(), nullptr), nullptr);
                EXPECT_EQ(createComponentObject(c.classId.c_str(), &bob), nullptr);
            },
            2);
        EXPECT_EQ(lines, c.lines) << c.classId;
    }
}

TEST(CreatorDeathTest, DestroyingASharedObjectThatIsNotListedIsABrokenInvariant) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    registerComponent("Listed", &make);
    FakeComponent object;
    EXPECT_DEATH(destroyComponent(&object, "NeverListed", true), R"(assertion \(pi != s_componentMap\.end\(\)\))");
    EXPECT_DEATH(destroyComponent(&object, "Listed", true),
                 R"(assertion \(pj != \(\*pi\)\.second\.instances\.end\(\)\))");
}
