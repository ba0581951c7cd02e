// Version records from arbitrary texts.
//
// Properties: a name keeps its first 31 characters; a revision written as a
// number, bare or inside a "$Rev: n $" keyword, reads back as that number; a
// date in the compiler's form ("Aug 21 2020") reads back as its year, month
// and day, and an unknown month name gives month 13; any other text is read
// without reading past its end and the banner prints without fault.
#include "support/FuzzCheck.h"

#include "virad/CVersion.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

using namespace Orvane::Virad;

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul",
                                         "Aug", "Sep", "Oct", "Nov", "Dec", "Xyz"};
    FuzzedDataProvider in(data, size);
    const int revision = in.ConsumeIntegralInRange<int>(0, 99999999);
    const int month = in.ConsumeIntegralInRange<int>(1, 13);
    const int day = in.ConsumeIntegralInRange<int>(1, 31);
    const int year = in.ConsumeIntegralInRange<int>(1970, 9999);
    const bool keyword = in.ConsumeBool();
    const std::string name = in.ConsumeRandomLengthString(64);

    char revisionText[32], dateText[32];
    std::snprintf(revisionText, sizeof revisionText, keyword ? "$Rev: %d $" : "%d", revision);
    std::snprintf(dateText, sizeof dateText, "%s %2d %d", months[month - 1], day, year);
    const CVersion version(name.c_str(), 1, 2, 3, revisionText, dateText);
    const std::string kept = std::string(name.c_str()).substr(0, 31);
    FUZZ_CHECK(kept == version.getName(), "name %s kept as %s", name.c_str(), version.getName());
    FUZZ_CHECK(version.getSourceRevision() == revision, "%s read as %d", revisionText, version.getSourceRevision());
    const SystemTime date = version.getDate();
    FUZZ_CHECK(std::make_tuple(date.year, date.month, date.day) == std::make_tuple(year, month, day),
               "%s read as %d/%d/%d", dateText, date.year, date.month, date.day);
    CVersion copy(version);
    FUZZ_CHECK(std::strcmp(copy.getName(), version.getName()) == 0, "a copy is named %s, not %s", copy.getName(),
               version.getName());
    FUZZ_CHECK(copy.getSourceRevision() == revision, "a copy has revision %d, not %d", copy.getSourceRevision(),
               revision);
    copy.print();

    const std::string anyRevision = in.ConsumeRandomLengthString(64);
    const std::string anyDate = in.ConsumeRemainingBytesAsString();
    const CVersion odd(anyRevision.c_str(), 0, 0, 0, anyRevision.c_str(), anyDate.c_str());
    odd.print();
    CVersion::setAppDate(anyDate.c_str());
    return 0;
}
