// Version records, this library's own record and header table, and the
// reports of the include-version checker.
#include "Src/Version/IncludeVersionChecker.h"
#include "Src/Version/LibraryVersions.h"
#include "virad/PrintLog.h"

#include "support/Readable.h"
#include "support/Testing.h"

#include <filesystem>

using namespace Orvane::Virad;
using namespace Orvane::Testing;
using Checker = Detail::IncludeVersionChecker;

namespace {

const void* const kOwner = reinterpret_cast<const void*>(0x1234);
// As the host's "%p" writes it: "0x1234" here.
const std::string kAt = "this:" + address(kOwner) + " ", kDashes = kAt + "------------------------------------\n";
const std::string kStart = kAt + "----------------check include report start---------------\n";
const std::string kEnd = kAt + "----------------check include report end---------------\n";

// Name, the four numbers and the date; the other date fields follow only when one of them is not 0.
std::string fieldsOf(const CVersion& v) {
    const SystemTime d = v.getDate();
    const bool clean = std::make_tuple(d.wday, d.hour, d.minute, d.second, d.isdst) == std::make_tuple(0, 0, 0, 0, 0);
    return std::string(v.getName()) + " " + std::to_string(v.getMajor()) + "." + std::to_string(v.getMinor()) + "." +
           std::to_string(v.getRevision()) + "." + std::to_string(v.getSourceRevision()) + " " +
           std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day) +
           (clean ? "" : " " + testing::PrintToString(d));
}

// A case: name, revision text ("null" for none), date text (the rest of the words).
std::string construct(const Lines& f) {
    const std::string date = f.size() > 2 ? f[2] + (f.size() > 4 ? " " + f[3] + " " + f[4] : "") : "";
    return fieldsOf(CVersion(f[0].c_str(), 1, 2, 3, f[1] == "null" ? nullptr : f[1].c_str(), date.c_str()));
}

} // namespace

// Well-formed revisions and dates read back as the fuzz target checks; here are
// the texts it does not model and the name's length bound.
TEST(VersionTest, RecordsReadTheirTextsAndPrintTheBanner) {
    EXPECT_EQ(runCaseTable(R"(
        Lib abc Dec 31 1999 = Lib 1.2.3.0 1999-12-31
        Lib null aug 21 2020 = Lib 1.2.3.0 2020-13-21
        nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 7 Au = nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 1.2.3.7 0-13-0
        nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 7 Xyz 5 2020 = nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 1.2.3.7 2020-13-5
        nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 7 Feb 2 2 = nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 1.2.3.7 2-2-2)",
                           construct),
              5);
    CapturePrinter capture;
    CVersion copy("other", 9, 9, 9, "9", "Jan 1 2000");
    copy = CVersion("Lib", 1, 2, 3, "4", "Aug 21 2020");
    copy.print();
    CVersion("Lib", 10, 20, 30, "40", "Dec 31 2020").print();
    getViradVersion().print();
    EXPECT_EQ(capture.bodies(),
              Lines({"[*] Lib 1.2.3.4 Built in 2020/ 8/21 [*]\n", "[*] Lib 10.20.30.40 Built in 2020/12/31 [*]\n",
                     "[*] Dozuv2 1.0.0.0 Built in 2020/ 8/21 [*]\n"}));

    SystemTime saved = CVersion::appDate;
    CVersion::appDate.wday = 5;
    CVersion::setAppDate("Feb  3 2021");
    std::swap(saved, CVersion::appDate);
    EXPECT_EQ(std::make_tuple(saved.year, saved.month, saved.day, saved.wday), std::make_tuple(2021, 2, 3, 5))
        << "the weekday is left as it was";
}

// What a caller built against a header that lists the record's fields finds in a CVersion.
struct VersionRecord {
    char name[32];
    int major;
    int minor;
    int revision;
    int sourceRevision;
    SystemTime date;
};

std::string callerView(const CVersion& version) {
    VersionRecord r;
    std::memcpy(&r, &version, sizeof r);
    char text[160];
    std::snprintf(text, sizeof text, "%.32s|%d.%d.%d.%d|%d-%d-%d w%d %d:%d:%d dst%d", r.name, r.major, r.minor,
                  r.revision, r.sourceRevision, r.date.year, r.date.month, r.date.day, r.date.wday, r.date.hour,
                  r.date.minute, r.date.second, r.date.isdst);
    return text;
}

// The record is the fields in their order; copies and both assignments take all of it, name bytes included.
TEST(VersionTest, TheObjectIsTheRecordOfItsFields) {
    ASSERT_EQ(sizeof(CVersion), sizeof(VersionRecord));
    const CVersion lib("Lib", 1, 2, 3, "4", "Aug 21 2020");
    EXPECT_EQ(callerView(lib), "Lib|1.2.3.4|2020-8-21 w0 0:0:0 dst0");
    const CVersion longName(std::string(40, 'n').c_str(), 7, 8, 9, "$Rev: 10 $", "Feb  3 2021");
    EXPECT_EQ(callerView(longName), std::string(31, 'n') + "|7.8.9.10|2021-2-3 w0 0:0:0 dst0");

    CVersion assigned("a much longer name than Lib", 9, 9, 9, "9", "Jan 1 2000");
    assigned = lib;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&assigned), sizeof assigned),
              std::string(reinterpret_cast<const char*>(&lib), sizeof lib));
    CVersion moved("other", 9, 9, 9, "9", "Jan 1 2000");
    moved = CVersion(longName);
    EXPECT_EQ(callerView(moved), callerView(longName));
}

TEST(VersionTest, LibraryRecordsReadTheNumberAfterTheColonAndJoinTheList) {
    CapturePrinter capture;
    const std::string modified = fieldsOf(VersionBuilder::libraryRecord("Mod", 2, 3, 4, "$Rev: 77M $", "Aug 21 2020"));
    EXPECT_EQ(Lines({modified, fieldsOf(VersionBuilder::libraryRecord("Mod", 2, 3, 5, "Win32", "Aug 21 2020"))}),
              Lines({"Mod 2.3.4.77 2020-8-21", "Mod 2.3.5.0 2020-8-21"}));
    EXPECT_EQ(capture.bodies(),
              Lines({"Some [Mod] files are not commit to SVN server. It compied wtih local modified files.\n"}));
    const auto& list = Detail::libraryVersions().entries;
    EXPECT_EQ(std::make_tuple(std::string(list.front().name.c_str()), list.front().major, list.front().minor),
              std::make_tuple(std::string("Dozuv2"), 1, 0));
    EXPECT_EQ(std::make_tuple(std::string(list.back().name.c_str()), list.back().revision),
              std::make_tuple(std::string("Mod"), 5));
}

// The revision is written into every entry by the build, from the project version.
TEST(VersionTest, TheLibrarysTableNamesItsRealHeaders) {
    for (const IncludeVersion* entry = Detail::viradHeaderTable(); entry != Detail::viradHeaderTable() + 5; ++entry) {
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(DOZUV2_SOURCE_DIR) / entry->url))
            << entry->url;
    }
}

TEST(VersionTest, DisagreeingTablesAreReportedAndSuggestTheHighestRevision) {
    const IncludeVersion a[] = {{"url=http://svn/a.h", "100"}, {"b.h", "5"}};
    const IncludeVersion b[] = {{"b.h", "5"}, {"url=http://svn/a.h", "101"}}, c[] = {{"url=http://svn/a.h", "102"}};
    Checker checker;
    CapturePrinter capture;
    EXPECT_TRUE(checker.add(kOwner, "A", a, 2));
    EXPECT_FALSE(checker.add(kOwner, "B", b, 2));
    EXPECT_FALSE(checker.report(kOwner));
    // clang-format off
    EXPECT_EQ(capture.bodies(), Lines({"check include version:A\n", "url=http://svn/a.h 100\n", "b.h 5\n",
        "check include version:B\n", "b.h 5\n", "url=http://svn/a.h 101\n", kAt + "check include version failed\n",
        kAt + "A url=http://svn/a.h 100\n", kAt + "B url=http://svn/a.h 101\n",
        kAt + "CCheckIncludeVersionInter::checkResult error:match error\n",
        "--------include version all start---------\n", "url=http://svn/a.h 101\n", "b.h 5\n",
        "--------include version all end---------\n", kStart, kAt + "[A], include version suggest:\n",
        kAt + "\na.h -r101 http://svn/a.h\nnull -r5 b.h\n", kDashes, kAt + "[B], include is ok\n", kDashes, kEnd}));
    // clang-format on
    capture.clear();
    EXPECT_FALSE(checker.add(kOwner, "C", c, 1));
    EXPECT_EQ(capture.linesContaining("0x1234 B").size(), 0u) << "compared with the first record that differs only";
}

TEST(VersionTest, RevisionsThatAreNoNumberAreSelfErrors) {
    const IncludeVersion good[] = {{"a.h", "1"}}, bad[] = {{"a.h", ""}, {"b.h", "12a"}, {"c.h", "3"}};
    Checker passing, failing;
    CapturePrinter capture;
    EXPECT_TRUE(passing.add(kOwner, "G", good, 1));
    EXPECT_TRUE(passing.add(kOwner, "G", good, 1));
    EXPECT_TRUE(passing.report(kOwner));
    EXPECT_EQ(capture.bodies().back(), "CCheckIncludeVersionInter::checkResult successful\n");
    EXPECT_TRUE(failing.add(kOwner, "G", good, 1));
    capture.clear();
    EXPECT_FALSE(failing.add(kOwner, "X", bad, 3));
    EXPECT_FALSE(failing.report(kOwner));
    // clang-format off
    EXPECT_EQ(capture.bodies(), Lines({"check include version:X\n", "a.h \n", "b.h 12a\n", "c.h 3\n",
        kAt + "X version error\n", kAt + "a.h \n", kAt + "b.h 12a\n",
        kAt + "CCheckIncludeVersionInter::checkResult error:self error\n", kStart,
        "libname:X, url:a.h version:\n", "libname:X, url:b.h version:12a\n", kEnd}));
    // clang-format on
}

// A null table with entries to read is the registering library's own error: refused, reported, and the check as a
// whole fails as for a revision that is no number.
TEST(VersionTest, ANullTableWithEntriesIsRefused) {
    const IncludeVersion good[] = {{"a.h", "1"}};
    Checker checker;
    CapturePrinter capture;
    EXPECT_FALSE(checker.add(kOwner, "N", nullptr, 3));
    EXPECT_TRUE(checker.add(kOwner, "E", nullptr, 0)) << "no entries to read";
    EXPECT_TRUE(checker.add(kOwner, "G", good, 1));
    EXPECT_FALSE(checker.report(kOwner));
    EXPECT_EQ(capture.bodies(),
              Lines({"check include version:N\n", kAt + "N version error\n", "check include version:E\n",
                     "check include version:G\n", "a.h 1\n",
                     kAt + "CCheckIncludeVersionInter::checkResult error:self error\n", kStart, kEnd}));
    capture.clear();
    EXPECT_FALSE(registerIncludeVersion("x", nullptr, 3));
    EXPECT_EQ(capture.bodies().back(),
              "this:" + address(CCheckIncludeVersionInter::instance()) + " check include version failed, assert\n");
}

TEST(VersionTest, TheSuggestionBlockHoldsAtMost12800BytesWithItsTerminator) {
    for (std::size_t length : {12788, 12789, 12790}) {
        const std::string location(length, 'x');
        const IncludeVersion entry[] = {{location.c_str(), "1"}};
        const auto block = Checker::suggestion(entry, 1, {});
        EXPECT_EQ(block.size(), std::min<std::size_t>(length + 10, 12799)) << length;
        EXPECT_EQ(block.substr(0, 9), "null -r0 ");
    }
}

TEST(VersionTest, CheckResultEndsTheProcessAfterItsReport) {
    Orvane::Testing::reexecuteDeathTests();
    static const IncludeVersion other[] = {{"include/virad/devez3/detail/flex_string.h", "1"}};
    EXPECT_DEATH(
        {
            attachPrint(TFunction1<bool, const char*>(+[](const char* line) { return std::fputs(line, stderr) >= 0; }));
            registerIncludeVersion("Other", other, 1);
            CCheckIncludeVersionInter::instance()->checkResult();
        },
        "check include version failed, assert\n.*\\[Virad\\], include is ok.*\\[Other\\], include version suggest.*"
        "flex_string.h -r[0-9]+ include/virad.*assertion \\(m_matchFlag\\) failed");
}
