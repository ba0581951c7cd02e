#include "virad/Function.h"

#include "support/Testing.h"

#include <typeinfo>

using namespace Orvane::Virad;

int (*const twice)(int) = [](int value) { return 2 * value; };
int (*const thrice)(int) = [](int value) { return 3 * value; };

struct Counter {
    int add(int amount) { return value += amount; }
    int peek(int) const { return value; }
    int value = 0;
};

// The second base lives at a non-zero offset, so binding its member needs the object pointer adjusted; the
// override shows that the call dispatches.
struct Named {
    virtual ~Named() = default;
    int tag = 7;
};
struct Weighted {
    virtual ~Weighted() = default;
    virtual int weight(int factor) { return m_weight * factor; }
    int m_weight = 5;
};
struct Parcel : Named, Weighted {
    int weight(int factor) override { return 100 + m_weight * factor; }
};

using F = TFunction1<int, int>;

TEST(FunctionTest, BindingsCallDispatchAndCompare) {
    Counter a, b;
    a.value = 10;
    const F free(twice), empty, onA(&Counter::add, &a), peek(&Counter::peek, &a);
    EXPECT_EQ(std::vector<std::uint32_t>({free.kind, empty.kind, onA.kind}), std::vector<std::uint32_t>({2, 0, 1}));
    EXPECT_EQ(free.typeName, nullptr);
    EXPECT_STREQ(onA.typeName, typeid(Counter*).name());
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(F(static_cast<int (*)(int)>(nullptr)).empty());
    EXPECT_FALSE(free.empty());
    // An empty delegate yields a value-initialised result.
    EXPECT_EQ(std::vector<int>({free(21), empty(5), onA(5), peek(0)}), std::vector<int>({42, 0, 15, 15}));
    // Same function or same object and method; a member binding never equals a free one.
    EXPECT_EQ(std::vector<bool>({empty == F(), free == F(twice), free == F(thrice), free == empty,
                                 onA == F(&Counter::add, &a), onA == F(&Counter::add, &b), onA == F(&Counter::peek, &a),
                                 onA == free}),
              std::vector<bool>({true, true, false, false, true, false, false, false}));

    Parcel parcel;
    const F weight(&Weighted::weight, &parcel);
    EXPECT_EQ(weight(2), 110);
    parcel.m_weight = 6;
    EXPECT_EQ(weight(2), 112);
    // Binding through the derived or the base pointer names the same subobject.
    EXPECT_EQ(weight, F(&Weighted::weight, static_cast<Weighted*>(&parcel)));
    // Named as a member of the derived class, the pointer itself carries the base's offset.
    int (Parcel::*const derived)(int) = &Weighted::weight;
    const F throughDerived(derived, &parcel);
    EXPECT_EQ(throughDerived(2), 112);
    EXPECT_EQ(throughDerived, weight);
}

TEST(FunctionTest, ReuseNumbersDecideEqualityAndMarkTheCallingThread) {
    Counter c, other;
    const F r20(&Counter::add, &c, 20), r21(&Counter::add, &c, 21), r33(&Counter::add, &c, 33);
    const F any(&Counter::add, &c, 0xFFFFFFFFu), plain(&Counter::add, &c);
    EXPECT_EQ(std::vector<std::uint32_t>({r20.kind, F(&Counter::add, &c, 15).kind, F(&Counter::add, &c, 16).kind}),
              std::vector<std::uint32_t>({20, 1, 16}))
        << "numbers below 16 give a plain binding";
    // The wildcard matches any number but still needs the object.
    EXPECT_EQ(std::vector<bool>({r20 == r21, r20 == any, any == r21, r20 == F(&Counter::add, &c, 20), r20 == plain,
                                 any == plain, any == F(&Counter::add, &other, 20)}),
              std::vector<bool>({false, true, true, true, false, false, false}));

    // A fresh thread has no reuse number; only numbered bindings set it, on the calling thread only.
    std::vector<unsigned int> numbers(3);
    std::thread([&] { numbers[0] = getCurrentFunctionReuse(); }).join();
    r20(1);
    plain(1);
    any(1);
    (F(twice))(1);
    std::thread([&] {
        r33(1);
        numbers[1] = getCurrentFunctionReuse();
    }).join();
    numbers[2] = getCurrentFunctionReuse();
    EXPECT_EQ(numbers, (std::vector<unsigned int>{0, 33, 20}));
    EXPECT_EQ(c.value, 4);
}

TEST(FunctionTest, EveryArityForwardsItsArguments) {
    struct Sum {
        std::string zero() { return "zero"; }
        int six(int a, int b, int c, int d, int e, std::string& out) {
            out = "called";
            return a + b + c + d + e;
        }
    } sum;
    std::string out;
    EXPECT_EQ(TFunction0<std::string>(&Sum::zero, &sum)(), "zero") << "a result of class type";
    EXPECT_EQ((TFunction6<int, int, int, int, int, int, std::string&>(&Sum::six, &sum)(1, 2, 3, 4, 5, out)), 15);
    EXPECT_EQ(out, "called") << "reference arguments reach the callee";
}
