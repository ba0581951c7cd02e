#include "component/ComPtr.h"
#include "component/ObjectTable.h"

#include "Component/UnknownInternal.h"
#include "support/FakeClient.h"
#include "virad/LastError.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Orvane::Component;
using Orvane::Testing::countOf;
using Orvane::Testing::FakeComponent;

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
    using Helper = Detail::CComponentHelper;
    // Each row: the count after the step, in order.
    const std::vector<std::pair<int, int>> steps = {
        {countOf(fresh), 1},
        {countOf(Helper::makeComponentObject(made)), 1},
        {countOf(Helper::makeComponentInstance(made)), 2},
        {countOf(Helper::makeComponentInstance(fresh)), 1},
        {countOf(Helper::makeComponentInstance(fresh)), 2},
        {added->addRef(), 2},
        {countOf(Helper::makeComponentInstance(added)), 3},
        {Helper::release(added), 2},
        {fresh->release(), 1},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].first, steps[i].second) << "step " << i;
    }
    EXPECT_EQ(added->release() + destroys.load(), 1);
    EXPECT_EQ(added->release() + fresh->release() + made->release() + made->release(), 1);
    EXPECT_EQ(destroys.load(), 3) << "each object is destroyed once, at 0";

    Orvane::Virad::setLastError(0);
    EXPECT_EQ(Helper::addRef(nullptr) + Helper::release(nullptr), 0);
    EXPECT_EQ(Helper::makeComponentInstance(nullptr), nullptr);
    EXPECT_EQ(Orvane::Virad::getLastError(), 0x1003000E);
    EXPECT_EQ(Helper::makeComponentObject(nullptr), nullptr);
    EXPECT_EQ(Orvane::Virad::getLastError(), 0x1003000D);
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
    EXPECT_EQ(table.count(), 3u) << "duplicates are kept";
    EXPECT_EQ(countOf(a), 2);
    EXPECT_EQ(table.find(ByAddress(b)), b);
    EXPECT_EQ(countOf(b), 2) << "a search hands out a reference";
    EXPECT_EQ(table.find(ByAddress(nullptr)), nullptr);
    EXPECT_EQ(table.get(1), b);
    table.erase(a);
    EXPECT_EQ(table.count(), 1u);
    table.insert(a);
    table.unlock();

    EXPECT_EQ(a->release() + a->release(), 3);
    EXPECT_EQ(a->release(), 0);
    table.lock();
    EXPECT_EQ(table.find(ByAddress(a)), nullptr) << "the last release took the object out";
    EXPECT_EQ(table.count(), 1u);
    table.unlock();
    EXPECT_EQ(b->release() + b->release(), 1);
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
            TComPtr<IUnknown> copy(first);
            TComPtr<IUnknown> assigned;
            assigned = copy;
            EXPECT_EQ(countOf(first.get()) * 10 + countOf(client), 33);
            EXPECT_NE(assigned->queryInterface("x"), nullptr);
            EXPECT_EQ(IClient::getCurrentUserID(), 42);
        }
        EXPECT_EQ(countOf(first.get()) * 10 + countOf(client), 11);
        client->addRef(); // the client is not listed: its last release happens below
    }
    EXPECT_EQ(destroys.load(), 1);
    EXPECT_EQ(countOf(client), 1);
    client->destroy();
    EXPECT_EQ(script.destroys.load(), 1);
}

TEST(UnknownDeathTest, BrokenInvariantsAreAssertions) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Detail::CObjectTable table;
    EXPECT_DEATH(table.get(0), R"(assertion \(index < m_internal->objects\.size\(\)\))");
    EXPECT_DEATH(TComPtr<IUnknown>()->addRef(), R"(assertion \(m_ptr != NULL\))");
    EXPECT_DEATH(decreaseRefCount(nullptr), R"(assertion \(object\))");
}
