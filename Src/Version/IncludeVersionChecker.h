// The include-version checker's state and reports, apart from the process's
// one checker so that tests can run it on tables of their own.
#ifndef DOZUV2_VERSION_INCLUDEVERSIONCHECKER_H
#define DOZUV2_VERSION_INCLUDEVERSIONCHECKER_H

#include "Src/Common/Containers.h"
#include "legacy/LegacyMutex.h"
#include "virad/CVersion.h"

#include <cstddef>
#include <utility>

namespace Orvane {
namespace Virad {
namespace Detail {

class IncludeVersionChecker {
public:
    // The bytes of the suggestion block, terminator included.
    static constexpr std::size_t kBlockSize = 12800;
    // Each location in order of first registration, with its highest revision.
    using Highest = Common::Vector<std::pair<Common::String, int>>;

    // Registers a table; owner is the checker named in the reports. False when
    // the table is null with a positive count, an entry's revision is not a
    // number or the table disagrees with an earlier one.
    bool add(const void* owner, const char* libName, const IncludeVersion* table, int count);
    // Reports the outcome; the match flag (false: the caller ends the process).
    bool report(const void* owner);

    // The suggestion for one table: per entry "<file> -r<highest> <location>",
    // cut to fit kBlockSize bytes.
    static Common::String suggestion(const IncludeVersion* table, int count, const Highest& highest);

private:
    struct Record {
        const char* libName;
        const IncludeVersion* table;
        int count;
    };

    Highest highestRevisions() const;
    void reportSelfErrors(const void* owner) const;
    void reportSuggestions(const void* owner) const;

    ::CMutex m_lock;
    Common::Vector<Record> m_records;
    bool m_matchFlag = true;
    bool m_selfOk = true;
};

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
