#include "virad/LastError.h"

#include "Src/Common/Report.h"
#include "Src/Devez3/PrintState.h"
#include "support/PrintStateFixture.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

TEST(LastErrorTest, EachThreadKeepsItsOwnCode) {
    setLastError(-1);
    std::vector<int> other;
    std::thread([&] {
        other.push_back(getLastError());
        setLastError(0x10000042);
        other.push_back(getLastError());
    }).join();
    other.push_back(getLastError());
    // A fresh thread reads 0; negative codes survive, and no other thread's code leaks.
    EXPECT_EQ(other, std::vector<int>({0, 0x10000042, -1}));
    setLastError(0);
}

TEST(LastErrorTest, MessageTableStoresReplacesAndDefaultsToEmptyUnderConcurrentUse) {
    setErrMsg(0x7001, nullptr);
    setErrMsg(0x7002, "first");
    setErrMsg(0x7002, "second");
    setErrorMessage(0x7003, flex_string("from a flex string"));
    EXPECT_EQ(Lines({getErrMsg(0x7777), getErrMsg(0x7001), getErrMsg(0x7002), getErrMsg(0x7003),
                     getErrorMessage(0x7002).c_str(), getErrorMessage(0x7778).c_str()}),
              Lines({"", "", "second", "from a flex string", "second", ""}))
        << "unknown and null texts are empty; the second text wins";

    onThreads(4, [](int t) {
        for (int i = 0; i < 200; ++i) {
            setErrMsg(0x8000 + t * 1000 + i, std::to_string(i).c_str());
            (void)getErrMsg(0x8000 + i);
        }
    });
    EXPECT_STREQ(getErrMsg(0x8000 + 3 * 1000 + 199), "199");
}

TEST(LastErrorDeathTest, AssertionsReportOnStandardErrorAndAbort) {
    Orvane::Testing::reexecuteDeathTests();
    EXPECT_DEATH(Detail::assertionFailedMsg("x > 0", "bad x\n", "int g(int)", "Src/Y.cpp", 7),
                 R"(assertion \(x > 0\) failed in int g\(int\): Src/Y\.cpp\(7\): bad x)");
    int* nothing = nullptr;
    EXPECT_DEATH(
        VIRAD_ASSERT(nothing),
        R"(\*\*\*\*\* Internal Program Error - assertion \(nothing\) failed in .*: .*LastErrorTest\.cpp\(.+\))");
}

// The report's last line goes through the print path. An assertion raised on
// the way there (a printer failing one, or a failed allocation while the
// print path grows a table when memory is short) adds its own report line and
// ends the process at once: the printer is not called again for a second
// last line (it would leave with status 7), and nothing recurses.
TEST(LastErrorDeathTest, AnAssertionWhileTheReportIsPrintedEndsTheProcessAtOnce) {
    Orvane::Testing::reexecuteDeathTests();
    EXPECT_EXIT(
        {
            setLogPrinter(TFunction1<void, const char*>(+[](const char*) {
                static int calls = 0;
                if (++calls == 1) {
                    Detail::assertionFailed("inner", "printer", "Src/P.cpp", 2);
                }
                std::_Exit(7);
            }));
            Detail::assertionFailed("outer", "caller", "Src/C.cpp", 1);
        },
        [](int status) { return !testing::ExitedWithCode(7)(status); },
        R"(\*\*\*\*\* Internal Program Error - assertion \(outer\) failed in caller: Src/C\.cpp\(1\))"
        "\n"
        R"(\*\*\*\*\* Internal Program Error - assertion \(inner\) failed in printer: Src/P\.cpp\(2\))");
}

using DumpHexTest = PrintStateTest;

TEST_F(DumpHexTest, RowsPartialRowsAndCharacters) {
    using P = PrintOptions;
    setPrintOptions(options({&P::hideTime, &P::hideLevel, &P::hideModule, &P::hideVersion, &P::hideThreadId,
                             &P::hideFile, &P::hideLine})); // the prefix is "[ ]"
    // The characters just outside and inside the printed range 32 to 122, then letters.
    unsigned char bytes[] = {31, 32, 122, 123, 255, 126, 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q'};
    const auto dumped = [&](unsigned long long length, int printLevel) {
        CapturePrinter capture(true, printLevel);
        dumpHex(bytes, length);
        return capture.text();
    };
    const std::string first =
        "[ ]" + address(bytes) + ": 1f 20 7a 7b ff 7e 47 48 49 4a 4b 4c 4d 4e 4f 50   . z...GHIJKLMNOP\n";
    // One byte, fifteen three-blank fillers, one character; nothing below the trace level.
    // Longer dumps, their empty lines and 32-bit lengths are checked against a model of the rows by the fuzz target.
    EXPECT_EQ(Lines({dumped(16, 5), dumped(17, 5), dumped(16, 4)}),
              (Lines{first, first + "[ ]" + address(bytes + 16) + ": 51 " + std::string(45, ' ') + "  Q\n", ""}));
}
