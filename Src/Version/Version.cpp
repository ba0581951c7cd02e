// Version records: the banner of a library, the application's build date,
// and this library's own record and header table, made when it is loaded.
#include "virad/CVersion.h"

#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/Report.h"
#include "Src/Platform/Sync.h"
#include "Src/Version/LibraryVersions.h"

#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Virad {

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Month from the first three characters (13 when they name none), then day
// and year from the text after them. Fields the text does not give are left.
void readDate(const char* text, SystemTime& date) {
    if (text == nullptr) {
        text = "";
    }
    int month = 0;
    while (month < 12 && std::strncmp(text, kMonths[month], 3) != 0) {
        ++month;
    }
    date.month = month + 1;
    const std::size_t length = std::strlen(text);
    std::sscanf(text + (length < 3 ? length : 3), "%d %d", &date.day, &date.year);
}

// The number of a revision text: its value when it starts with a digit,
// else the number after a keyword of '$', letters and ':'; 0 without one.
int revisionOf(const char* text) {
    int number = 0;
    if (text == nullptr) {
        return number;
    }
    if (*text >= '0' && *text <= '9') {
        std::sscanf(text, "%d", &number);
    } else {
        std::sscanf(text, "%*[$a-zA-Z:]%d", &number);
    }
    return number;
}

} // namespace

SystemTime CVersion::appDate = {};

CVersion::CVersion(const char* name_, int major_, int minor_, int revision_, const char* revisionText,
                   const char* dateText)
    : name(), major(major_), minor(minor_), revision(revision_), sourceRevision(revisionOf(revisionText)), date() {
    std::snprintf(name, sizeof name, "%s", name_ != nullptr ? name_ : "");
    readDate(dateText, date);
}

void CVersion::print() const {
    VIRAD_REPORT(LOG_INFO, "[*] %s %d.%d.%d.%d Built in %d/%2d/%2d [*]\n", name, major, minor, revision, sourceRevision,
                 date.year, date.month, date.day);
}

const char* CVersion::getName() const {
    return name;
}

int CVersion::getMajor() const {
    return major;
}

int CVersion::getMinor() const {
    return minor;
}

int CVersion::getRevision() const {
    return revision;
}

int CVersion::getSourceRevision() const {
    return sourceRevision;
}

SystemTime CVersion::getDate() const {
    return date;
}

void CVersion::setAppDate(const char* date) {
    readDate(date, appDate);
}

// ---- Libraries' own records, and this library's record and header table ----

// The number is the one after the first ':' of the revision text (or at its
// start), and a text that marks locally modified files is reported.
CVersion VersionBuilder::libraryRecord(const char* name, int major, int minor, int revision, const char* revisionText,
                                       const char* dateText) {
    CVersion version(name, major, minor, revision, revisionText, dateText);
    version.sourceRevision = 0;
    if (revisionText != nullptr) {
        const char* colon = std::strchr(revisionText, ':');
        std::sscanf(colon != nullptr ? colon + 1 : revisionText, "%d", &version.sourceRevision);
        if (std::strchr(revisionText, 'M') != nullptr) {
            VIRAD_REPORT(LOG_INFO,
                         "Some [%s] files are not commit to SVN server. It compied wtih local modified files.\n",
                         version.name);
        }
    }
    Detail::addLibraryVersion(version.name, major, minor, revision);
    return version;
}

namespace Detail {

void addLibraryVersion(const char* name, int major, int minor, int revision) {
    LibraryVersionList& list = libraryVersions();
    list.lock.enter();
    list.entries.push_back(LibraryVersion{name, major, minor, revision});
    list.lock.leave();
}

LibraryVersionList& libraryVersions() {
    static Base::NeverDestroyed<LibraryVersionList> list;
    return list.get();
}

const IncludeVersion* viradHeaderTable() {
    static const IncludeVersion kTable[] = {DOZUV2_SHARED_HEADER_TABLE};
    static_assert(sizeof kTable / sizeof kTable[0] == 5, "five shared headers");
    return kTable;
}

} // namespace Detail

const CVersion& getViradVersion() {
    // Never destroyed: exit handlers may still print the banner.
    static Base::NeverDestroyed<CVersion> version(
        VersionBuilder::libraryRecord("Dozuv2", 1, 0, 0, "Win32", "Aug 21 2020"));
    return version.get();
}

namespace {

// Made when the library is loaded: the record, then the header table's registration.
[[maybe_unused]] const CVersion& g_versionAtLoad = getViradVersion();
[[maybe_unused]] const bool g_headersRegistered = registerIncludeVersion("Virad", Detail::viradHeaderTable(), 5);

} // namespace

} // namespace Virad
} // namespace Orvane
