#include "virad/CTime.h"

#include "support/Readable.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

const char* const kDefaultPattern = "yyyy-MM-dd HH:mm:ss";
const char* const kDateOrderReport = "setFormat dateFormat is invalid,set default separator: ymd \n";
const char* const kSeparatorReport = "setFormat separator is invalid,set default separator: - \n";

// The format settings are process-wide: every test starts from, and leaves, the default pattern.
class TimeFormatTest : public ::testing::Test {
protected:
    void SetUp() override { CTime::setFormatString(kDefaultPattern); }

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

// Mask bits: 1 the pattern's own separators, 2 the pattern's date order, 4 the pattern's 12-hour mode.
TEST_F(TimeFormatTest, FormatsUnderStoredSettingsAndMaskBits) {
    const CTime early(2005, 3, 4, 5, 6, 7), midnight(2024, 7, 5, 0, 5, 0), noon(2024, 7, 5, 12, 5, 0);
    // Stored pattern, time, pattern, mask, text. An empty day text is dropped, not left as a gap; ':' is not a
    // separator; there is one year text, for the first run only; mixed h and H make one run; without 'h' in the
    // pattern, bit 4 keeps 24 hours for the call; each 't' trims the blanks before it.
    const std::tuple<const char*, CTime, const char*, int, const char*> cases[] = {
        {"MM-dd-yyyy HH:mm:ss", morning, kDefaultPattern, 0, "07-05-2024 09:03:02"},
        {"MM-dd-yyyy HH:mm:ss", morning, "MM/yy", 0, "07-24"},
        {"dd-MM-yyyy", morning, kDefaultPattern, 0, "05-07-2024 09:03:02"},
        {"dd-MM-yyyy", morning, kDefaultPattern, 2, "2024-07-05 09:03:02"},
        {"dd-MM-yyyy", morning, "MM.dd.yyyy", 3, "07.05.2024"},
        {"yyyy/MM/dd HH:mm", morning, "yyyy-MM-dd.yyyy", 0, "2024/07/05/"},
        {"yyyy/MM/dd HH:mm", morning, "yyyy-MM.dd", 1, "2024-07.05"},
        {"yyyy/MM/dd HH:mm", morning, "HH:mm:ss", 0, "09:03:02"},
        {kDefaultPattern, early, "yyyy yyy yy y", 0, "2005   "},
        {kDefaultPattern, early, "y", 0, "05"},
        {kDefaultPattern, early, "yyy", 0, "2005"},
        {kDefaultPattern, early, "M d H:m:s", 0, "3 4 5:6:7"},
        {kDefaultPattern, early, "[yyyy]T HH'Z' % (yyyy) hH", 0, "[2005]T 05'Z' % () 05"},
        {"yyyy-MM-dd hh:mm:ss tt", afternoon, "yy/M/d h:m:s tt", 0, "24-7-5 1:3:2 PM"},
        {"yyyy-MM-dd hh:mm:ss tt", morning, "yy/M/d h:m:s tt", 1, "24/7/5 9:3:2 AM"},
        {"yyyy-MM-dd hh:mm:ss tt", midnight, "hh:mm t", 0, "12:05 AM"},
        {"yyyy-MM-dd hh:mm:ss tt", noon, "hh:mm t", 0, "12:05 PM"},
        {"yyyy-MM-dd hh:mm:ss tt", afternoon, "HH:mm t", 4, "13:03"},
        {kDefaultPattern, afternoon, "hh:mm t", 0, "13:03"},
        {kDefaultPattern, afternoon, "hh:mm t", 4, "01:03 PM"},
        {kDefaultPattern, morning, "HH:mm:ss t", 0, "09:03:02"},
        {kDefaultPattern, morning, "HH:mm   tt x", 0, "09:03 x"}};
    for (const auto& [stored, time, pattern, mask, expected] : cases) {
        store(stored);
        EXPECT_EQ(format(time, pattern, mask), expected) << pattern << " mask " << mask << ", " << stored;
    }
    store("dd-MM-yyyy");
    format(morning, kDefaultPattern, 7);
    EXPECT_EQ(std::make_tuple(CTime::getSeparator(), CTime::getDateFormat(), CTime::get12Hour()),
              std::make_tuple('-', CTime::dmy, false))
        << "the bits act for one call only";

    // Without an order in the pattern, bit 2 falls back to ymd with a report; missing letters are not an order.
    CapturePrinter capture;
    EXPECT_EQ(Lines({format(morning, "dd-yyyy-MM", 2), format(morning, "HH:mm", 2)}), Lines({"2024-07-05", "09:03"}));
    EXPECT_EQ(capture.bodies(), (Lines{kDateOrderReport, kDateOrderReport}));
}

TEST_F(TimeFormatTest, NullBufferIsReportedAndOutOfRangeFieldsStayWithinTheRoom) {
    CapturePrinter capture;
    morning.format(nullptr, kDefaultPattern);
    EXPECT_EQ(capture.bodies(), Lines{"buf is NULL!!\n"});

    CTime wild;
    wild.year = 123456, wild.month = 123, wild.day = -7, wild.hour = 999, wild.minute = -1, wild.second = 100;
    const std::string text = format(wild, "yyyy-M-d h:m:s t", 4); // four digits of an oversized year
    EXPECT_LE(text.size(), 64u) << text;
    EXPECT_EQ(text.substr(0, 5), "3456-");
}

// A parse normalises what it read: extra numbers are ignored; 12 AM is midnight; "PM" is looked for first; without
// a date order in the pattern the date is kept; an empty run reads 0. A failed one reports and zeroes the six fields,
// but not the weekday and the flag.
TEST_F(TimeFormatTest, ParseNormalisesOrReportsAndZeroesTheFields) {
    const char* const twelve = "yyyy-MM-dd hh:mm:ss t";
    const std::string zeroed = "0000-00-00 00:00:00 w4 dst9 fails: CTime parser input ";
    const std::string unclear = "0000-00-00 00:00:00 w4 dst9 fails: 12 hours time point is unclear.\n";
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"2024-07-05 09:03:02.250 and more 1 2 3", kDefaultPattern, "2024-07-05 09:03:02 w5"},
        {"07/05/2024 09:03:02 PM", "MM/dd/yyyy hh:mm:ss t", "2024-07-05 21:03:02 w5"},
        {"2023-02-30 25:00:00", kDefaultPattern, "2023-02-28 23:59:59 w2"},
        {"2024-07-05 12:30:00 AM", twelve, "2024-07-05 00:30:00 w5"},
        {"2024-07-05 12:30:00 PM", twelve, "2024-07-05 12:30:00 w5"},
        {"2024-07-05 01:30:00 AM-PM", twelve, "2024-07-05 13:30:00 w5"},
        {"2024-07-05 13:30:00 PM", kDefaultPattern, "2024-07-05 13:30:00 w5"},
        {"1 2 3 10 11 12", "HH:mm:ss", "2020-01-02 10:11:12 w4"},
        {"x2024-07-05 09:03", kDefaultPattern, "1970-12-07 05:09:03 w1"},
        {"2024-07-05 09:03:99999999999999999999", kDefaultPattern, "2024-07-05 09:03:59 w5"},
        {"2024-07-05 09:03", kDefaultPattern, zeroed + "information is not enough.\n"},
        {nullptr, kDefaultPattern, zeroed + "information is not enough.\n"},
        {"2024-07-05 13:00:00 PM", twelve, zeroed + "hour format is not accord with real value format.\n"},
        {"2024-07-05 09:03:02", twelve, unclear},
        {"2024-07-05 09:03:02 pm", twelve, unclear}};
    for (const auto& [text, pattern, expected] : cases) {
        CTime t(2020, 1, 2, 3, 4, 5); // a Thursday
        t.isdst = 9;
        bool parsed = false;
        const Lines reports = reported([&, p = pattern, x = text] { parsed = t.parse(x, p); });
        // Each report must name the parsed object.
        const std::string self = "this:" + address(&t) + " ";
        std::string shown = timeFields(t) + (parsed ? "" : " dst" + std::to_string(t.isdst) + " fails: ");
        for (const std::string& report : reports) {
            shown += report.rfind(self, 0) == 0 ? report.substr(self.size()) : report;
        }
        EXPECT_EQ(shown, expected) << (text ? text : "null");
    }
    store("dd/MM/yyyy HH:mm:ss");
    CTime t;
    EXPECT_TRUE(t.parse("05/07/2024 09:03:02")); // the common call reads with the stored pattern
    EXPECT_EQ(t, morning);
}

TEST_F(TimeFormatTest, SetFormatStringAnalysesThePattern) {
    // What any pattern gives is the fuzz target's model; here the reports, which come with every setting back at
    // its default (so one pattern that changes them all goes first), and null stores the empty pattern.
    const std::tuple<const char*, char, CTime::DateFormat, bool, Lines> cases[] = {
        {"MM/dd/yyyy hh:mm:ss tt", '/', CTime::mdy, true, {}},
        {"HH:mm", '-', CTime::ymd, false, {kSeparatorReport, kDateOrderReport}},
        {"yyyy-dd-MM", '-', CTime::ymd, false, {kDateOrderReport}},
        {nullptr, '-', CTime::ymd, false, {kSeparatorReport, kDateOrderReport}}};
    for (const auto& [pattern, separator, order, twelve, reports] : cases) {
        EXPECT_EQ(reported([p = pattern] { CTime::setFormatString(p); }), reports) << pattern;
        EXPECT_EQ(
            std::make_tuple(CTime::getFormat(), CTime::getSeparator(), CTime::getDateFormat(), CTime::get12Hour()),
            std::make_tuple(flex_string(pattern ? pattern : ""), separator, order, twelve));
    }
    // The other setter analyses too (a wrong date order would reorder the date); no pattern means the stored one.
    CTime::setFormat(flex_string("d/M/yy h:mm t"));
    EXPECT_EQ(format(afternoon, nullptr), "5/7/24 1:03 PM");
}
