/// \file
/// Version records and the include-version check.
///
/// A CVersion describes a library: a name, three version numbers, the number
/// read from a source-control revision text and the build date read from a
/// text in the form of the compiler's date macro ("Aug 21 2020"). print()
/// writes it as a one-line banner at level 4:
///
///     Orvane::Virad::CVersion version("MyLib", 1, 2, 3, "$Rev: 4 $", __DATE__);
///     version.print(); // "[*] MyLib 1.2.3.4 Built in 2020/ 8/21 [*]"
///
/// The include-version check finds libraries of one process that were built
/// against different revisions of the same shared header. Each library
/// registers, usually from a static initialiser, the table of header locations
/// and revisions it was compiled with; virad/IncludeRevisions.h (written by the
/// build) gives the revisions of this library's own shared headers, so a
/// library built against these headers registers
///
///     const Orvane::Virad::IncludeVersion kHeaders[] = {DOZUV2_SHARED_HEADER_TABLE};
///     const bool registered = Orvane::Virad::registerIncludeVersion("MyLib", kHeaders, 5);
///
/// Registration reports each table and every disagreement at once. The
/// application may later call CCheckIncludeVersionInter::checkResult, which
/// reports the outcome and, when any registration failed, suggests the
/// revision each library should use and ends the process with an assertion.
///
/// Thread-safety: registrations are serialised. CVersion and appDate have no
/// lock. The tables and names given to the checker are kept by pointer and
/// must live as long as the process (static data of the registering library).
#ifndef DOZUV2_VIRAD_CVERSION_H
#define DOZUV2_VIRAD_CVERSION_H

#include "virad/Export.h"
#include "virad/IncludeRevisions.h"
#include "virad/SystemTime.h"

#include <type_traits>

namespace Orvane {
namespace Virad {
/// \addtogroup versions
/// @{

/// The record is its fields, in this order and nothing else, so that callers
/// built against a header of the same fields read them directly.
class DOZUV2_API CVersion {
public:
    /// name: at most 31 characters are kept. revision: a number ("1234"), or a
    /// keyword text of '$', letters and ':' followed by a number ("$Rev: 1234
    /// $"); anything else gives 0. date: month abbreviation, day and year; a
    /// month name that is none of "Jan".."Dec" gives month 13.
    CVersion(const char* name, int major, int minor, int revision, const char* revisionText, const char* dateText);
    // Copies and assignments copy the whole record.

    /// Reports `"[*] <name> <major>.<minor>.<revision>.<sourceRevision> Built in <year>/<month>/<day> [*]"`
    /// at level 4, month and day two columns wide.
    void print() const;

    /// The record's fields.
    ///@{
    const char* getName() const;
    int getMajor() const;
    int getMinor() const;
    int getRevision() const;
    int getSourceRevision() const;
    ///@}
    /// Year, month and day; the other fields 0.
    SystemTime getDate() const;

    /// Reads month, day and year of the application's build date from a date
    /// text into appDate; its other fields are not touched.
    static void setAppDate(const char* date);
    /// The application's build date; all zero until setAppDate.
    static SystemTime appDate;

    char name[32]; ///< always terminated
    /// The three version numbers.
    ///@{
    int major;
    int minor;
    int revision;
    int sourceRevision; ///< the number read from the revision text
    SystemTime date;    ///< year, month and day; the other fields 0
    ///@}
};

static_assert(sizeof(CVersion) == 80 && std::is_standard_layout<CVersion>::value &&
                  std::is_trivially_copyable<CVersion>::value,
              "a CVersion is its fields and nothing else");

/// This library's own version record, built when the library is loaded.
DOZUV2_API const CVersion& getViradVersion();

/// One entry of a version table: where a shared header lives and the revision
/// the registering library was compiled with (decimal digits only).
struct IncludeVersion {
    /// The header's location and revision.
    ///@{
    const char* url;
    const char* version;
    ///@}
};

/// The process's include-version checker.
class DOZUV2_API CCheckIncludeVersionInter {
public:
    /// The checker, made on first use and destroyed at process exit.
    static CCheckIncludeVersionInter* instance();

    /// Registers a library's version table of count entries. False when the
    /// table is null with a positive count, when an entry's revision is not a
    /// number, or when the table gives a location another revision than a
    /// library registered before did.
    bool checkIncludeVersion(const char* libName, const IncludeVersion* table, int count);
    /// Reports the outcome of every registration so far. When one failed,
    /// reports what each library should use and ends the process with an
    /// assertion.
    void checkResult();

private:
    CCheckIncludeVersionInter();
    virtual ~CCheckIncludeVersionInter();
    CCheckIncludeVersionInter(const CCheckIncludeVersionInter&) = delete;
    CCheckIncludeVersionInter& operator=(const CCheckIncludeVersionInter&) = delete;
    friend struct CheckIncludeVersionExit; ///< deletes the checker at exit

    struct CheckInternal;
    CheckInternal* m_internal;
};

/// Registers the table with the process's checker and reports a failure; the
/// checker's result.
DOZUV2_API bool registerIncludeVersion(const char* libName, const IncludeVersion* table, int count);
/// @}

} // namespace Virad
} // namespace Orvane

#endif
