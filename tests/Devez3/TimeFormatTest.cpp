#include "virad/CTime.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

namespace {

const char* const kDefaultPattern = "yyyy-MM-dd HH:mm:ss";
const char* const kDateOrderReport = "setFormat dateFormat is invalid,set default separator: ymd \n";
const char* const kSeparatorReport = "setFormat separator is invalid,set default separator: - \n";

// The format settings are process-wide: every test starts from, and leaves, the default pattern.
class TimeFormatTest : public ::testing::Test {
protected:
    void SetUp() override { CTime::setFormatString(kDefaultPattern); }
    void TearDown() override { CTime::setFormatString(kDefaultPattern); }

    static std::string format(const CTime& t, const char* pattern, int mask = 0) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        t.format(buffer, pattern, mask);
        return buffer;
    }
    // Stores a pattern whose analysis is not the point.
    static void store(const char* pattern) {
        CapturePrinter quiet;
        CTime::setFormatString(pattern);
    }

    const CTime morning{2024, 7, 5, 9, 3, 2};
    const CTime afternoon{2024, 7, 5, 13, 3, 2};
};

} // namespace

TEST_F(TimeFormatTest, StoredOrderAndSeparatorApplyUnlessThePatternsAreAskedFor) {
    char buffer[64];
    morning.format(buffer); // the stored pattern when none is given
    EXPECT_STREQ(buffer, "2024-07-05 09:03:02");
    store("MM-dd-yyyy HH:mm:ss");
    EXPECT_EQ(format(morning, kDefaultPattern), "07-05-2024 09:03:02");
    EXPECT_EQ(format(morning, "yyyy"), "2024") << "a single date text goes to the single run";
    EXPECT_EQ(format(morning, "MM/yy"), "07-24") << "an empty day text is dropped, not left as a gap";
    store("dd-MM-yyyy");
    EXPECT_EQ(format(morning, kDefaultPattern), "05-07-2024 09:03:02");
    EXPECT_EQ(format(morning, kDefaultPattern, CTime::kUsePatternDateOrder), "2024-07-05 09:03:02");
    EXPECT_EQ(format(morning, "MM.dd.yyyy", CTime::kUsePatternDateOrder | CTime::kUsePatternSeparator), "07.05.2024");
    EXPECT_EQ(CTime::getDateFormat(), CTime::dmy) << "the bits act for one call only";

    store("yyyy/MM/dd HH:mm");
    morning.format(buffer);
    EXPECT_STREQ(buffer, "2024/07/05 09:03");
    EXPECT_EQ(format(morning, "yyyy-MM-dd.yyyy"), "2024/07/05/");
    EXPECT_EQ(format(morning, "yyyy-MM.dd", CTime::kUsePatternSeparator), "2024-07.05");
    EXPECT_EQ(format(morning, "HH:mm:ss"), "09:03:02") << "':' is not a separator";
}

TEST_F(TimeFormatTest, PatternDateOrderFallsBackToYmdWithAReport) {
    store("dd-MM-yyyy");
    CapturePrinter capture;
    EXPECT_EQ(format(morning, "dd-yyyy-MM", CTime::kUsePatternDateOrder), "2024-07-05");
    EXPECT_EQ(capture.linesContaining(kDateOrderReport).size(), 1u);
    capture.clear();
    EXPECT_EQ(format(morning, "HH:mm", CTime::kUsePatternDateOrder), "09:03") << "missing letters are not an order";
    EXPECT_EQ(capture.linesContaining(kDateOrderReport).size(), 1u);
    EXPECT_NE(capture.text().find("error"), std::string::npos) << "reported at the error level";
    capture.clear();
    EXPECT_EQ(format(morning, "dd-yyyy-MM"), "05-07-2024") << "without the bit the stored order holds, silently";
    EXPECT_TRUE(capture.lines().empty());
}

TEST_F(TimeFormatTest, ComponentWidths) {
    const CTime early(2005, 3, 4, 5, 6, 7);
    EXPECT_EQ(format(early, "yyyy yyy yy y"), "2005   ") << "one year text; the later runs find none left";
    EXPECT_EQ(format(early, "y"), "05");
    EXPECT_EQ(format(early, "yyy"), "2005");
    EXPECT_EQ(format(early, "M d H:m:s"), "3 4 5:6:7");
    EXPECT_EQ(format(early, "MM dd HH:mm:ss"), "03 04 05:06:07");
    EXPECT_EQ(format(early, "hH"), "05") << "a mixed run of h and H is one hour";
    EXPECT_EQ(format(morning, "yyyy-MM-dd (yyyy)"), "2024-07-05 ()") << "a second date run finds no text left";
    EXPECT_EQ(format(morning, "[yyyy]T HH'Z' %"), "[2024]T 09'Z' %") << "everything else is copied";
}

TEST_F(TimeFormatTest, TwelveHourModeAndTheMarker) {
    store("yyyy-MM-dd hh:mm:ss tt");
    EXPECT_EQ(format(morning, "yy/M/d h:m:s tt"), "24-7-5 9:3:2 AM");
    EXPECT_EQ(format(afternoon, "yy/M/d h:m:s tt"), "24-7-5 1:3:2 PM");
    EXPECT_EQ(format(morning, "yy/M/d h:m:s tt", CTime::kUsePatternSeparator), "24/7/5 9:3:2 AM");
    EXPECT_EQ(format(CTime(2024, 7, 5, 0, 5, 0), "hh:mm t"), "12:05 AM");
    EXPECT_EQ(format(CTime(2024, 7, 5, 12, 5, 0), "hh:mm t"), "12:05 PM");
    EXPECT_EQ(format(CTime(2024, 7, 5, 23, 5, 0), "h:mm t"), "11:05 PM");
    EXPECT_EQ(format(afternoon, "HH:mm t", CTime::kUsePattern12Hour), "13:03") << "no 'h': 24-hour for this call";
    EXPECT_TRUE(CTime::get12Hour());

    store(kDefaultPattern);
    EXPECT_EQ(format(afternoon, "hh:mm t"), "13:03") << "the stored 24-hour mode holds without the bit";
    EXPECT_EQ(format(afternoon, "hh:mm t", CTime::kUsePattern12Hour), "01:03 PM");
    EXPECT_EQ(format(afternoon, "yyyy.MM.dd hh:mm tt", CTime::kUsePatternAll), "2024.07.05 01:03 PM");
    // In 24-hour mode each 't' trims the blanks before it; what follows is kept.
    EXPECT_EQ(format(morning, "HH:mm:ss t"), "09:03:02");
    EXPECT_EQ(format(morning, "HH:mm   tt x"), "09:03 x");
    EXPECT_EQ(format(morning, "   t"), "");
}

TEST_F(TimeFormatTest, NullBufferIsReportedAndOutOfRangeFieldsStayWithinTheRoom) {
    CapturePrinter capture;
    morning.format(nullptr, kDefaultPattern);
    ASSERT_EQ(capture.linesContaining("buf is NULL!!\n").size(), 1u);
    EXPECT_NE(capture.text().find("error"), std::string::npos);

    CTime wild;
    wild.year = 123456;
    wild.month = 123;
    wild.day = -7;
    wild.hour = 999;
    wild.minute = -1;
    wild.second = 100;
    const char* pattern = "yyyy-M-d h:m:s t";
    const std::string text = format(wild, pattern, CTime::kUsePattern12Hour);
    EXPECT_LE(text.size(), 4 * std::strlen(pattern)) << text;
    EXPECT_EQ(text.substr(0, 5), "3456-") << "four digits of an oversized year";
}

TEST_F(TimeFormatTest, ParseSucceedsAndNormalises) {
    CTime t;
    ASSERT_TRUE(t.parse("2024-07-05 09:03:02.250 and more 1 2 3", kDefaultPattern)) << "extra numbers are ignored";
    EXPECT_EQ(t, morning);
    EXPECT_EQ(t.wday, 5);
    ASSERT_TRUE(t.parse("07/05/2024 09:03:02 PM", "MM/dd/yyyy hh:mm:ss t"));
    EXPECT_EQ(t, CTime(2024, 7, 5, 21, 3, 2));
    ASSERT_TRUE(t.parse("2023-02-30 25:00:00", kDefaultPattern));
    EXPECT_EQ(t, CTime(2023, 2, 28, 23, 59, 59));
    EXPECT_EQ(t.wday, 2);

    // 12 AM is midnight, 12 PM noon; "PM" is looked for first; 24-hour patterns ignore the marker.
    const struct {
        const char* text;
        const char* pattern;
        int hour;
    } hours[] = {{"2024-07-05 12:30:00 AM", "yyyy-MM-dd hh:mm:ss t", 0},
                 {"2024-07-05 12:30:00 PM", "yyyy-MM-dd hh:mm:ss t", 12},
                 {"2024-07-05 01:30:00 AM-PM", "yyyy-MM-dd hh:mm:ss t", 13},
                 {"2024-07-05 13:30:00 PM", "yyyy-MM-dd HH:mm:ss", 13}};
    for (const auto& c : hours) {
        ASSERT_TRUE(t.parse(c.text, c.pattern)) << c.text;
        EXPECT_EQ(t.hour, c.hour) << c.text;
    }

    CTime kept(2020, 1, 2, 3, 4, 5);
    ASSERT_TRUE(kept.parse("1 2 3 10 11 12", "HH:mm:ss"));
    EXPECT_EQ(kept, CTime(2020, 1, 2, 10, 11, 12)) << "without a date order the date keeps its value";
    ASSERT_TRUE(t.parse("x2024-07-05 09:03", kDefaultPattern));
    EXPECT_EQ(t, CTime(1970, 12, 7, 5, 9, 3)) << "a leading non-digit reads an empty run, 0, first";
    ASSERT_TRUE(t.parse("2024-07-05 09:03:99999999999999999999", kDefaultPattern)) << "an overlong run saturates";
    EXPECT_EQ(t.second, 59);

    store("dd/MM/yyyy HH:mm:ss");
    ASSERT_TRUE(t.parse("05/07/2024 09:03:02")) << "the common call reads with the stored pattern";
    EXPECT_EQ(t, morning);
}

TEST_F(TimeFormatTest, ParseFailuresReportAndZeroTheFields) {
    const char* const notEnough = "CTime parser input information is not enough.\n";
    const char* const unclear = "12 hours time point is unclear.\n";
    const struct {
        const char* text;
        const char* pattern;
        const char* report;
    } cases[] = {
        {"2024-07-05 09:03", kDefaultPattern, notEnough},
        {"", kDefaultPattern, notEnough},
        {nullptr, kDefaultPattern, notEnough},
        {"2024-07-05 13:00:00 PM", "yyyy-MM-dd hh:mm:ss t",
         "CTime parser input hour format is not accord with real value format.\n"},
        {"2024-07-05 09:03:02", "yyyy-MM-dd hh:mm:ss t", unclear},
        {"2024-07-05 09:03:02 pm", "yyyy-MM-dd hh:mm:ss t", unclear},
    };
    for (const auto& c : cases) {
        CapturePrinter capture;
        CTime t(2020, 1, 2, 3, 4, 5); // a Thursday
        t.isdst = 9;
        const std::string label = c.text ? c.text : "(null)";
        EXPECT_FALSE(t.parse(c.text, c.pattern)) << label;
        EXPECT_EQ(t.year | t.month | t.day | t.hour | t.minute | t.second, 0) << label;
        EXPECT_EQ(t.wday * 100 + t.isdst, 409) << "wday and isdst are kept";
        char expected[160];
        std::snprintf(expected, sizeof expected, "this:%p %s", static_cast<void*>(&t), c.report);
        const std::vector<std::string> lines = capture.lines();
        ASSERT_EQ(lines.size(), 1u) << "one report per failure:\n" << capture.text();
        EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("error"), std::string::npos) << lines[0];
    }
}

TEST_F(TimeFormatTest, SetFormatStringAnalysesThePattern) {
    CapturePrinter capture;
    EXPECT_EQ(CTime::getDateFormat(), CTime::ymd);
    CTime::setFormatString("dd.MM.yyyy");
    EXPECT_EQ(CTime::getSeparator(), '.');
    EXPECT_EQ(CTime::getDateFormat(), CTime::dmy);
    EXPECT_FALSE(CTime::get12Hour());
    CTime::setFormatString("MM/dd/yyyy hh:mm:ss tt");
    EXPECT_EQ(CTime::getSeparator(), '/');
    EXPECT_EQ(CTime::getDateFormat(), CTime::mdy);
    EXPECT_TRUE(CTime::get12Hour());
    CTime::setFormatString("yyyy/MM.dd");
    EXPECT_EQ(CTime::getSeparator(), '.') << "'.' wins over '/'";
    EXPECT_TRUE(capture.lines().empty()) << capture.text();

    // Both problems reported, separator first; defaults stored.
    CTime::setFormatString("HH:mm");
    EXPECT_EQ(CTime::getSeparator(), '-');
    EXPECT_EQ(CTime::getDateFormat(), CTime::ymd);
    EXPECT_FALSE(CTime::get12Hour());
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u) << capture.text();
    EXPECT_NE(lines[0].find(kSeparatorReport), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(kDateOrderReport), std::string::npos) << lines[1];
    EXPECT_NE(lines[0].find("error"), std::string::npos);
    capture.clear();
    CTime::setFormatString("yyyy-dd-MM"); // an order the table does not know
    EXPECT_EQ(CTime::getDateFormat(), CTime::ymd);
    EXPECT_EQ(capture.linesContaining(kDateOrderReport).size(), 1u);

    CTime::setFormatString(nullptr);
    EXPECT_TRUE(CTime::getFormat().empty()) << "null stores the empty pattern";
    CTime::setFormat(flex_string("d/M/yy h:mm t"));
    EXPECT_EQ(CTime::getFormat(), flex_string("d/M/yy h:mm t"));
    EXPECT_EQ(CTime::getDateFormat(), CTime::dmy);
    char buffer[64];
    afternoon.format(buffer);
    EXPECT_STREQ(buffer, "5/7/24 1:03 PM");
}
