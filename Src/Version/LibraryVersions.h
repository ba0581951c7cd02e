// The process-wide list of library versions and this library's own header
// table, for the version records and their tests.
#ifndef DOZUV2_VERSION_LIBRARYVERSIONS_H
#define DOZUV2_VERSION_LIBRARYVERSIONS_H

#include "Src/Common/Containers.h"
#include "Src/Platform/Sync.h"
#include "virad/CVersion.h"

namespace Orvane {
namespace Virad {

struct VersionBuilder {
    // A library's own record: as the constructor, except that the number is
    // read after the first ':' of the revision text (or from its start), a
    // text with an 'M' (locally modified files) is reported, and the name and
    // numbers join the list of library versions.
    static CVersion libraryRecord(const char* name, int major, int minor, int revision, const char* revisionText,
                                  const char* dateText);
};

namespace Detail {

struct LibraryVersion {
    Common::String name;
    int major;
    int minor;
    int revision;
};

struct LibraryVersionList {
    Platform::CriticalSection lock;
    Common::Vector<LibraryVersion> entries;
};

// Every library record built so far, under its lock; never destroyed.
LibraryVersionList& libraryVersions();
void addLibraryVersion(const char* name, int major, int minor, int revision);

// The five entries this library registers as "Virad".
const IncludeVersion* viradHeaderTable();

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
