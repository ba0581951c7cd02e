// The include-version checker: libraries register the revisions of the
// shared headers they were built with; disagreements are reported at once,
// and checkResult sums them up with a suggestion per library.
#include "Src/Version/IncludeVersionChecker.h"

#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

namespace {

const char* const kReportStart = "this:%p ----------------check include report start---------------\n";

// A revision is a non-empty run of decimal digits.
bool validRevision(const char* text) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// Printable form of a text the caller may have left null.
const char* shown(const char* text) {
    return text != nullptr ? text : "(null)";
}

bool sameText(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

// The revision's value; digit runs beyond an int's range count as its largest value.
int revisionNumber(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int highestOf(const Detail::IncludeVersionChecker::Highest& highest, const char* url) {
    for (const auto& entry : highest) {
        if (sameText(entry.first.c_str(), url)) {
            return entry.second;
        }
    }
    return 0;
}

} // namespace

namespace Detail {

bool IncludeVersionChecker::add(const void* owner, const char* libName, const IncludeVersion* table, int count) {
    CGuard guard(m_lock);
    VIRAD_REPORT(LOG_INFO, "check include version:%s\n", shown(libName));
    // A missing table with entries to read is the library's own error, as an
    // entry whose revision is no number is; it is recorded without entries.
    const bool missingTable = table == nullptr && count > 0;
    if (missingTable) {
        m_selfOk = false;
        count = 0;
    }
    Common::Vector<const IncludeVersion*> invalid;
    for (int i = 0; i < count; ++i) {
        VIRAD_REPORT(LOG_INFO, "%s %s\n", shown(table[i].url), shown(table[i].version));
        if (!validRevision(table[i].version)) {
            m_selfOk = false;
            invalid.push_back(&table[i]);
        }
    }
    bool passed = invalid.empty() && !missingTable;
    if (!passed) {
        VIRAD_REPORT(LOG_ERROR, "this:%p %s version error\n", owner, shown(libName));
        for (const IncludeVersion* entry : invalid) {
            VIRAD_REPORT(LOG_ERROR, "this:%p %s %s\n", owner, shown(entry->url), shown(entry->version));
        }
    } else {
        for (const Record& earlier : m_records) {
            for (int e = 0; e < earlier.count; ++e) {
                for (int n = 0; n < count; ++n) {
                    const IncludeVersion& old = earlier.table[e];
                    if (!sameText(old.url, table[n].url) || sameText(old.version, table[n].version)) {
                        continue;
                    }
                    if (passed) {
                        VIRAD_REPORT(LOG_ERROR, "this:%p check include version failed\n", owner);
                        passed = false;
                    }
                    VIRAD_REPORT(LOG_ERROR, "this:%p %s %s %s\n", owner, shown(earlier.libName), old.url,
                                 shown(old.version));
                    VIRAD_REPORT(LOG_ERROR, "this:%p %s %s %s\n", owner, shown(libName), table[n].url,
                                 shown(table[n].version));
                }
            }
            if (!passed) {
                break;
            }
        }
    }
    m_records.push_back(Record{libName, table, count});
    if (!passed) {
        m_matchFlag = false;
    }
    return passed;
}

bool IncludeVersionChecker::report(const void* owner) {
    CGuard guard(m_lock);
    if (m_matchFlag) {
        VIRAD_REPORT(LOG_INFO, "CCheckIncludeVersionInter::checkResult successful\n");
        return true;
    }
    VIRAD_REPORT(LOG_ERROR, "this:%p CCheckIncludeVersionInter::checkResult error:%s\n", owner,
                 m_selfOk ? "match error" : "self error");
    if (m_selfOk) {
        reportSuggestions(owner);
    } else {
        reportSelfErrors(owner);
    }
    VIRAD_REPORT(LOG_ERROR, "this:%p ----------------check include report end---------------\n", owner);
    return false;
}

void IncludeVersionChecker::reportSelfErrors(const void* owner) const {
    VIRAD_REPORT(LOG_ERROR, kReportStart, owner);
    for (const Record& record : m_records) {
        for (int i = 0; i < record.count; ++i) {
            if (!validRevision(record.table[i].version)) {
                VIRAD_REPORT(LOG_ERROR, "libname:%s, url:%s version:%s\n", shown(record.libName),
                             shown(record.table[i].url), shown(record.table[i].version));
            }
        }
    }
}

IncludeVersionChecker::Highest IncludeVersionChecker::highestRevisions() const {
    Highest highest;
    for (const Record& record : m_records) {
        for (int i = 0; i < record.count; ++i) {
            const IncludeVersion& entry = record.table[i];
            const int revision = revisionNumber(entry.version);
            auto at = highest.begin();
            while (at != highest.end() && !sameText(at->first.c_str(), shown(entry.url))) {
                ++at;
            }
            if (at == highest.end()) {
                highest.emplace_back(shown(entry.url), revision);
            } else if (revision > at->second) {
                at->second = revision;
            }
        }
    }
    return highest;
}

void IncludeVersionChecker::reportSuggestions(const void* owner) const {
    const Highest highest = highestRevisions();
    VIRAD_REPORT(LOG_INFO, "--------include version all start---------\n");
    for (const auto& entry : highest) {
        VIRAD_REPORT(LOG_INFO, "%s %d\n", entry.first.c_str(), entry.second);
    }
    VIRAD_REPORT(LOG_INFO, "--------include version all end---------\n");
    VIRAD_REPORT(LOG_ERROR, kReportStart, owner);
    for (const Record& record : m_records) {
        bool current = true;
        for (int i = 0; i < record.count; ++i) {
            current = current && revisionNumber(record.table[i].version) == highestOf(highest, record.table[i].url);
        }
        if (current) {
            VIRAD_REPORT(LOG_ERROR, "this:%p [%s], include is ok\n", owner, shown(record.libName));
        } else {
            VIRAD_REPORT(LOG_ERROR, "this:%p [%s], include version suggest:\n", owner, shown(record.libName));
            VIRAD_REPORT(LOG_ERROR, "this:%p \n%s", owner, suggestion(record.table, record.count, highest).c_str());
        }
        VIRAD_REPORT(LOG_ERROR, "this:%p ------------------------------------\n", owner);
    }
}

Common::String IncludeVersionChecker::suggestion(const IncludeVersion* table, int count, const Highest& highest) {
    char block[kBlockSize];
    std::size_t used = 0;
    block[0] = '\0';
    for (int i = 0; i < count && used + 1 < kBlockSize; ++i) {
        const char* url = shown(table[i].url);
        const char* slash = std::strrchr(url, '/');
        const char* http = std::strstr(url, "http:");
        // A location that is no URL is shown whole.
        const int written =
            std::snprintf(block + used, kBlockSize - used, "%s -r%d %s\n", slash != nullptr ? slash + 1 : "null",
                          highestOf(highest, url), http != nullptr ? http : url);
        used = written < 0 ? used : std::min(used + static_cast<std::size_t>(written), kBlockSize - 1);
    }
    return Common::String(block, used);
}

} // namespace Detail

// ---- The process's checker ----

struct CCheckIncludeVersionInter::CheckInternal : Detail::IncludeVersionChecker {};

struct CheckIncludeVersionExit {
    void operator()(CCheckIncludeVersionInter* checker) const { delete checker; }
};

CCheckIncludeVersionInter::CCheckIncludeVersionInter() : m_internal(new (std::nothrow) CheckInternal) {
    VIRAD_ASSERT(m_internal);
}

CCheckIncludeVersionInter::~CCheckIncludeVersionInter() {
    delete m_internal;
}

CCheckIncludeVersionInter* CCheckIncludeVersionInter::instance() {
    return Common::ProcessWide<CCheckIncludeVersionInter, Common::AtExit::destroy, CheckIncludeVersionExit>::instance(
        [] { return new (std::nothrow) CCheckIncludeVersionInter; });
}

bool CCheckIncludeVersionInter::checkIncludeVersion(const char* libName, const IncludeVersion* table, int count) {
    return m_internal->add(this, libName, table, count);
}

void CCheckIncludeVersionInter::checkResult() {
    if (!m_internal->report(this)) {
        Detail::assertionFailed("m_matchFlag", DOZUV2_FUNCTION_SIGNATURE, __FILE__, __LINE__);
    }
}

bool registerIncludeVersion(const char* libName, const IncludeVersion* table, int count) {
    CCheckIncludeVersionInter* checker = CCheckIncludeVersionInter::instance();
    const bool passed = checker->checkIncludeVersion(libName, table, count);
    if (!passed) {
        VIRAD_REPORT(LOG_ERROR, "this:%p check include version failed, assert\n", static_cast<void*>(checker));
    }
    return passed;
}

} // namespace Virad
} // namespace Orvane
