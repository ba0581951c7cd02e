#include "Src/Common/Containers.h"

#include "support/Testing.h"

#include <list>
#include <new>

using namespace Orvane;

// A request the address space cannot hold never reaches the heap: it is the
// assertion report, not an exception, and not a wrapped-around small block.
// (A request the heap refuses ends the same way, with "block"; the fault
// sweep fails every such allocation of the library in turn.)
TEST(ContainersDeathTest, ARequestPastTheAddressSpaceIsTheAssertionReport) {
    Orvane::Testing::reexecuteDeathTests();
    Common::Allocator<std::uint64_t> words;
    const std::size_t mostWords = SIZE_MAX / 8;
    EXPECT_DEATH(words.allocate(mostWords + 1),
                 R"(\*\*\*\*\* Internal Program Error - assertion \(n <= max_size\(\)\) failed in .*Allocator.*)"
                 R"(Src/Common/Containers\.h\(.+\))");
}

// The tables work as their standard counterparts: lookups by a C string find
// String keys, and growth past the inline capacity keeps every element.
TEST(ContainersTest, TablesKeepWhatTheyAreGivenAndFindItByText) {
    Common::Map<Common::String, int> table;
    const char* const names[] = {"a", "a name well past the fifteen characters of the inline buffer", ""};
    for (int i = 0; i < 3; ++i) {
        table.emplace(names[i], i);
    }
    std::vector<int> found;
    for (const char* name : names) {
        const auto at = table.find(name);
        found.push_back(at == table.end() ? -1 : at->second);
    }
    EXPECT_EQ(found, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(table.count("absent"), 0u);

    Common::Vector<int> numbers;
    for (int i = 0; i < 1000; ++i) {
        numbers.push_back(i);
    }
    EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.end())[999], 999);
    const auto shared = Common::makeShared<Common::List<int>>(3, 7);
    EXPECT_EQ(std::vector<int>(shared->begin(), shared->end()), (std::vector<int>{7, 7, 7}));
}

// Values built for a caller with the standard allocator: running out of
// memory on the way is the assertion report (filledForCaller), or false with
// the caller's own value left to it (builtForCaller).
TEST(ContainersDeathTest, RunningOutOfMemoryWhileFillingForTheCaller) {
    Orvane::Testing::reexecuteDeathTests();
    EXPECT_EQ(Common::filledForCaller([] { return std::string("filled"); }), "filled");
    EXPECT_DEATH(Common::filledForCaller([]() -> std::string { throw std::bad_alloc(); }),
                 R"(assertion \(filled\) failed)");

    std::list<int> built;
    EXPECT_TRUE(Common::builtForCaller([&built] { built.push_back(1); }));
    EXPECT_FALSE(Common::builtForCaller([&built] {
        built.push_back(2);
        throw std::bad_alloc();
    }));
    EXPECT_EQ(built, (std::list<int>{1, 2})) << "what was built before the failure is the caller's";
}
