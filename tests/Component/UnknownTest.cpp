#include "component/ComPtr.h"
#include "component/ObjectTable.h"

#include "support/FakeClient.h"

using namespace Orvane::Component;
using Orvane::Testing::countOf;
using Orvane::Testing::FakeComponent;
using Orvane::Virad::getLastError;
using Helper = Detail::CComponentHelper;

namespace {

struct ByAddress : Detail::key_base {
    explicit ByAddress(IUnknown* object) : wanted(object) {}
    bool match(IUnknown* object) const override { return object == wanted; }
    IUnknown* wanted;
};

} // namespace

TEST(UnknownTest, HandOutsCountFromTheCreationReference) {
    std::atomic<int> destroys{0};
    auto* fresh = new FakeComponent(&destroys);
    auto* made = new FakeComponent(&destroys);
    auto* added = new FakeComponent(&destroys);
    // The count after each step, in order.
    const std::vector<int> counts = {countOf(fresh),
                                     countOf(Helper::makeComponentObject(made)),
                                     countOf(Helper::makeComponentInstance(made)),
                                     countOf(Helper::makeComponentInstance(fresh)),
                                     countOf(Helper::makeComponentInstance(fresh)),
                                     added->addRef(),
                                     countOf(Helper::makeComponentInstance(added)),
                                     Helper::release(added)};
    EXPECT_EQ(counts, std::vector<int>({1, 1, 2, 1, 2, 2, 3, 2}));
    Detail::UnknownAccess::record(made)->classId = "Creator.Made"; // made by a creator: destroyed through it
    // Braced lists are evaluated in order: the counts after each release.
    EXPECT_EQ(
        std::vector<int>({added->release(), added->release(), fresh->release(), fresh->release(), made->release()}),
        std::vector<int>({1, 0, 1, 0, 1}));
    EXPECT_EQ(destroys.load(), 2);
    EXPECT_EQ(made->release(), 0);
    EXPECT_EQ(destroys.load(), 3) << "each object is destroyed once, at 0";

    EXPECT_EQ(Helper::addRef(nullptr), 0);
    EXPECT_EQ(Helper::release(nullptr), 0);
    EXPECT_EQ(Helper::makeComponentInstance(nullptr), nullptr);
    EXPECT_EQ(getLastError(), 0x1003000E);
    EXPECT_EQ(Helper::makeComponentObject(nullptr), nullptr);
    EXPECT_EQ(getLastError(), 0x1003000D);
}

TEST(UnknownTest, TableCountsInsertionsAndForgetsTheDestroyed) {
    std::atomic<int> destroys{0};
    Detail::CObjectTable table;
    auto* a = new FakeComponent(&destroys);
    auto* b = new FakeComponent(&destroys);
    table.lock();
    table.insert(a);
    EXPECT_EQ(countOf(a), 1) << "a fresh object's creation reference becomes the table's";
    table.insert(b);
    table.insert(a);
    EXPECT_EQ(table.count(), 3u) << "duplicates are kept and counted";
    EXPECT_EQ(countOf(a), 2) << "a second insertion is a second hand-out";
    EXPECT_EQ(table.find(ByAddress(b)), b);
    EXPECT_EQ(countOf(b), 2) << "a search hands out a reference";
    EXPECT_EQ(Helper::makeComponentInstance(b), b);
    EXPECT_EQ(Helper::makeComponentObject(b), b);
    EXPECT_EQ(countOf(b), 2) << "objects of a table are counted by the table alone";
    EXPECT_EQ(table.get(1), b);
    table.erase(a);
    EXPECT_EQ(table.count(), 1u) << "every occurrence is erased";
    table.insert(a);
    EXPECT_EQ(table.count(), 2u);
    EXPECT_EQ(countOf(a), 3);
    EXPECT_EQ(table.find(ByAddress(nullptr)), nullptr);
    EXPECT_EQ(countOf(a), 3) << "a search that finds nothing counts nothing";
    table.unlock();

    EXPECT_EQ(std::vector<int>({a->release(), a->release(), a->release()}), std::vector<int>({2, 1, 0}));
    table.lock();
    EXPECT_EQ(table.find(ByAddress(a)), nullptr) << "the last release took the object out";
    table.unlock();
    EXPECT_EQ(std::vector<int>({b->release(), b->release()}), std::vector<int>({1, 0}));
    EXPECT_EQ(destroys.load(), 2);
    EXPECT_EQ(table.count(), 0u);
}

TEST(UnknownTest, ComPtrCopiesCountBothPointersAndSetTheCurrentUser) {
    Orvane::Testing::ClientScript script;
    script.userId = 42;
    auto* client = new Orvane::Testing::FakeClient(script);
    std::atomic<int> destroys{0};
    {
        TComPtr<IUnknown> first(new FakeComponent(&destroys), client);
        {
            TComPtr<IUnknown> copy(first), assigned;
            assigned = copy;
            EXPECT_EQ(countOf(first.get()), 3) << "the component";
            EXPECT_EQ(countOf(client), 3) << "the client";
            EXPECT_NE(assigned->queryInterface("x"), nullptr);
            EXPECT_EQ(IClient::getCurrentUserID(), 42);
        }
        EXPECT_EQ(countOf(first.get()), 1) << "the component";
        EXPECT_EQ(countOf(client), 1) << "the client";
    }
    EXPECT_EQ(destroys.load(), 1);
    EXPECT_EQ(script.logouts.load(), 1) << "the last release logs the client out";
    EXPECT_EQ(script.destroys.load(), 1);
}

TEST(UnknownDeathTest, BrokenInvariantsAreAssertions) {
    Orvane::Testing::reexecuteDeathTests();
    Detail::CObjectTable table;
    EXPECT_DEATH(table.get(0), R"(assertion \(index < m_internal->objects\.size\(\)\))");
    EXPECT_DEATH(TComPtr<IUnknown>()->addRef(), R"(assertion \(m_ptr != NULL\))");
    for (auto internal : {+[] { decreaseRefCount(nullptr); }, +[] { setObjectTable(nullptr, nullptr); },
                          +[] { makeInstanceForTable(nullptr); }}) {
        EXPECT_DEATH(internal(), R"(assertion \(object\))");
    }
}
