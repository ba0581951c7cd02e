// The global CMutex and CGuard: ownership, re-entry, a Leave by another
// thread, and objects that share one mutex after assignment.
#include "legacy/LegacyMutex.h"

#include "support/Testing.h"

#include <future>

namespace {

// TryEnter (then Leave) and Leave on a thread of their own: "TL" for true, false.
std::string fromOtherThread(::CMutex& mutex) {
    return std::async(std::launch::async,
                      [&mutex] {
                          return std::string(mutex.TryEnter() && mutex.Leave() ? "T" : "t") +
                                 (mutex.Leave() ? "L" : "l");
                      })
        .get();
}

} // namespace

TEST(LegacyMutexTest, TheOwnerReentersAndOnlyTheOwnerLeaves) {
    for (int type : {0, 1, 7}) {
        ::CMutex mutex(static_cast<::CMutex::Type>(type));
        auto bit = [](bool b) { return std::string(b ? "1" : "0"); };
        // A braced list is evaluated in order.
        const std::vector<std::string> steps{bit(mutex.Leave()),     fromOtherThread(mutex), bit(mutex.Enter()),
                                             bit(mutex.Enter()),     fromOtherThread(mutex), bit(mutex.Leave()),
                                             fromOtherThread(mutex), bit(mutex.TryEnter()),  bit(mutex.Leave()),
                                             bit(mutex.Leave()),     fromOtherThread(mutex)};
        EXPECT_EQ(steps, (std::vector<std::string>{"0", "Tl", "1", "1", "tl", "1", "tl", "1", "1", "1", "Tl"}))
            << "type " << type;
    }
}

TEST(LegacyMutexTest, AssignmentSharesOneMutexThatOutlivesEitherObject) {
    for (bool sourceGoesFirst : {true, false}) {
        auto* source = new ::CMutex;
        auto* target = new ::CMutex;
        *target = *source;
        *target = *target;
        {
            ::CGuard guard(*source);
            EXPECT_EQ(fromOtherThread(*target), "tl") << "the target uses the source's mutex";
            EXPECT_TRUE(target->Leave()) << "owned through either object";
            EXPECT_TRUE(target->Enter());
        }
        EXPECT_EQ(fromOtherThread(*target), "Tl") << "the guard left it";
        // The first object to go leaves the mutex to the other (AddressSanitizer sees a premature free).
        delete (sourceGoesFirst ? source : target);
        ::CMutex* survivor = sourceGoesFirst ? target : source;
        EXPECT_TRUE(survivor->Enter());
        EXPECT_EQ(fromOtherThread(*survivor), "tl");
        EXPECT_TRUE(survivor->Leave());
        delete survivor;
    }
}

// A thread that ends while it owns the mutex (entered twice) abandons it. Whoever takes it next owns it once: a
// waiter already blocked in Enter, a later Enter and a later TryEnter. Enter then says false, TryEnter true; the
// mutex works as before once it is left.
TEST(LegacyMutexTest, AThreadThatEndsOwningTheMutexAbandonsIt) {
    ::CMutex mutex;
    std::promise<void> owned;
    std::thread owner([&] {
        mutex.Enter();
        mutex.Enter();
        owned.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the waiter is blocked by now
    });
    owned.get_future().wait();
    const bool waiterEntered = mutex.Enter();
    owner.join();
    auto abandonOnce = [&mutex] { std::thread([&mutex] { mutex.Enter(); }).join(); };
    // The steps in order (a braced list is evaluated in order): results as "1" and "0", and what another thread's
    // TryEnter and Leave find.
    const std::vector<std::string> steps{
        std::to_string(waiterEntered), fromOtherThread(mutex),
        std::to_string(mutex.Leave()), std::to_string(mutex.Leave()),
        fromOtherThread(mutex),        (abandonOnce(), std::to_string(mutex.Enter())),
        std::to_string(mutex.Leave()), (abandonOnce(), std::to_string(mutex.TryEnter())),
        fromOtherThread(mutex),        std::to_string(mutex.Leave()),
        std::to_string(mutex.Enter()), std::to_string(mutex.Leave()),
        fromOtherThread(mutex)};
    EXPECT_EQ(steps, (std::vector<std::string>{"0", "tl", "1", "0", "Tl", "0", "1", "1", "tl", "1", "1", "1", "Tl"}));
}
