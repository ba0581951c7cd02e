#include "virad/Function.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <typeinfo>

using namespace Orvane::Virad;

namespace {

int twice(int value) {
    return 2 * value;
}
int thrice(int value) {
    return 3 * value;
}

class Counter {
public:
    explicit Counter(int start = 0) : m_value(start) {}
    int add(int amount) { return m_value += amount; }
    int peek(int) const { return m_value; }
    int value() const { return m_value; }

private:
    int m_value;
};

class Shape {
public:
    virtual ~Shape() = default;
    virtual std::string name(int sides) { return "shape" + std::to_string(sides); }
};

class Square : public Shape {
public:
    std::string name(int sides) override { return "square" + std::to_string(sides); }
};

// A class whose second base lives at a non-zero offset, so binding a member of
// that base needs the object pointer adjusted.
class Named {
public:
    virtual ~Named() = default;
    int tag = 7;
};
class Weighted {
public:
    virtual ~Weighted() = default;
    virtual int weight(int factor) { return m_weight * factor; }
    int m_weight = 5;
};
class Parcel : public Named, public Weighted {
public:
    int weight(int factor) override { return 100 + m_weight * factor; }
};

std::uint32_t kindOf(const Detail::FunctionFields& f) {
    return f.kind;
}

} // namespace

TEST(FunctionTest, FreeAndEmptyBindings) {
    TFunction1<int, int> bound(&twice);
    EXPECT_FALSE(bound.empty());
    EXPECT_EQ(kindOf(bound), 2u);
    EXPECT_EQ(bound.typeName, nullptr);
    EXPECT_EQ(bound(21), 42);

    TFunction1<int, int> none(static_cast<int (*)(int)>(nullptr));
    TFunction1<int, int> defaulted;
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(defaulted.empty());
    EXPECT_TRUE(none == defaulted);
    EXPECT_FALSE(none == bound);
    EXPECT_EQ(defaulted(5), 0) << "an empty delegate yields a value-initialised result";

    EXPECT_TRUE((bound == TFunction1<int, int>(&twice)));
    EXPECT_FALSE((bound == TFunction1<int, int>(&thrice)));
}

TEST(FunctionTest, MemberBindingsCallAndCompareByObjectAndMethod) {
    Counter a(10);
    Counter b(10);
    TFunction1<int, int> onA(&Counter::add, &a);
    EXPECT_EQ(kindOf(onA), 1u);
    EXPECT_STREQ(onA.typeName, typeid(Counter*).name());
    EXPECT_EQ(onA(5), 15);
    EXPECT_EQ(a.value(), 15);

    EXPECT_TRUE((onA == TFunction1<int, int>(&Counter::add, &a)));
    EXPECT_FALSE((onA == TFunction1<int, int>(&Counter::add, &b))) << "same method, other object";
    EXPECT_FALSE((onA == TFunction1<int, int>(&Counter::peek, &a))) << "same object, other method";

    TFunction1<int, int> peek(&Counter::peek, &a);
    EXPECT_EQ(peek(0), 15) << "const member functions bind too";

    // A member binding never equals a free binding whose pointer happens to match.
    EXPECT_FALSE((onA == TFunction1<int, int>(&twice)));
}

TEST(FunctionTest, VirtualAndSecondBaseMembersDispatchCorrectly) {
    Square square;
    Shape* shape = &square;
    TFunction1<std::string, int> viaBase(&Shape::name, shape);
    EXPECT_EQ(viaBase(4), "square4");

    Parcel parcel;
    TFunction1<int, int> weight(&Weighted::weight, &parcel);
    EXPECT_EQ(weight(2), 110);
    parcel.m_weight = 6;
    EXPECT_EQ(weight(2), 112);
    EXPECT_TRUE((weight == TFunction1<int, int>(&Weighted::weight, static_cast<Weighted*>(&parcel))))
        << "binding through the derived or the base pointer names the same subobject";
}

TEST(FunctionTest, ReuseNumbersDecideEquality) {
    Counter c;
    TFunction1<int, int> r20(&Counter::add, &c, 20);
    TFunction1<int, int> r21(&Counter::add, &c, 21);
    TFunction1<int, int> any(&Counter::add, &c, 0xFFFFFFFFu);
    TFunction1<int, int> plain(&Counter::add, &c);
    EXPECT_EQ(kindOf(r20), 20u);
    EXPECT_EQ(kindOf(TFunction1<int, int>(&Counter::add, &c, 3)), 1u) << "numbers below 16 give a plain binding";

    EXPECT_FALSE(r20 == r21);
    EXPECT_TRUE(r20 == any);
    EXPECT_TRUE(any == r21);
    EXPECT_TRUE((r20 == TFunction1<int, int>(&Counter::add, &c, 20)));
    EXPECT_FALSE(r20 == plain) << "a numbered and an unnumbered binding differ";
    EXPECT_FALSE(any == plain);

    Counter other;
    EXPECT_FALSE((any == TFunction1<int, int>(&Counter::add, &other, 20))) << "the wildcard still needs the object";
}

TEST(FunctionTest, CallingANumberedDelegateSetsTheThreadsReuseNumber) {
    Counter c;
    TFunction1<int, int> r20(&Counter::add, &c, 20);
    TFunction1<int, int> r33(&Counter::add, &c, 33);
    TFunction1<int, int> any(&Counter::add, &c, 0xFFFFFFFFu);
    TFunction1<int, int> plain(&Counter::add, &c);

    unsigned int before = 99;
    std::thread([&] { before = getCurrentFunctionReuse(); }).join();
    EXPECT_EQ(before, 0u) << "a fresh thread has no reuse number";

    r20(1);
    EXPECT_EQ(getCurrentFunctionReuse(), 20u);
    plain(1);
    any(1);
    TFunction1<int, int> free(&twice);
    free(1);
    EXPECT_EQ(getCurrentFunctionReuse(), 20u) << "only numbered bindings touch the number";

    unsigned int seenElsewhere = 99;
    std::thread([&] {
        r33(1);
        seenElsewhere = getCurrentFunctionReuse();
    }).join();
    EXPECT_EQ(seenElsewhere, 33u);
    EXPECT_EQ(getCurrentFunctionReuse(), 20u) << "another thread's call does not leak here";
    EXPECT_EQ(c.value(), 4) << "r20, plain, any and r33 each added one";
}

TEST(FunctionTest, CopiesKeepAllFieldsAndSelfAssignmentChangesNothing) {
    Counter c;
    TFunction1<int, int> original(&Counter::add, &c, 40);
    TFunction1<int, int> copy = original;
    EXPECT_EQ(std::memcmp(&copy, &original, sizeof copy), 0);
    TFunction1<int, int>& alias = copy;
    copy = alias;
    EXPECT_EQ(std::memcmp(&copy, &original, sizeof copy), 0);
    EXPECT_EQ(copy(3), 3);
}

TEST(FunctionTest, EveryArityForwardsItsArguments) {
    struct Sum {
        int zero() { return 100; }
        int six(int a, int b, int c, int d, int e, std::string& out) {
            out = "called";
            return a + b + c + d + e;
        }
    } sum;
    TFunction0<int> zero(&Sum::zero, &sum);
    EXPECT_EQ(zero(), 100);
    std::string out;
    TFunction6<int, int, int, int, int, int, std::string&> six(&Sum::six, &sum);
    EXPECT_EQ(six(1, 2, 3, 4, 5, out), 15);
    EXPECT_EQ(out, "called") << "reference arguments reach the callee";
}
