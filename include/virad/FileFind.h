/// \file
/// Directory search: the entries of a directory that match a wildcard
/// pattern (dir/*.log), one at a time, through the file-system table that
/// serves the pattern's path.
///
/// findFile starts a search and reports the first entry; findNextFile moves to
/// the next one. The accessors read the current entry and do not check that a
/// search is open. CFileFind returns standard strings and may be derived from;
/// CFileFindEx returns the library's flex_string and has no virtual table.
///
/// Thread-safety: a search object belongs to one thread at a time.
#ifndef DOZUV2_VIRAD_FILEFIND_H
#define DOZUV2_VIRAD_FILEFIND_H

#include "virad/Export.h"
#include "virad/devez3/detail/flex_string.h"

#include <cstdint>
#include <string>

namespace Orvane {
namespace Virad {
/// \addtogroup files
/// @{

/// A directory search returning standard strings, described above.
class DOZUV2_API CFileFind {
public:
    CFileFind();
    virtual ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    /// Ends any open search and starts one; true when a first entry was found.
    virtual bool findFile(const char* pattern);
    /// True when a further entry was found.
    virtual bool findNextFile();
    /// Ends the search.
    virtual void close();
    /// Size of the current entry in bytes.
    virtual std::uint64_t getLength();
    /// Name of the current entry, without directory.
    virtual std::string getFileName();
    /// The pattern's directory part followed by the name.
    virtual std::string getFilePath();
    /// The current entry's attributes.
    ///@{
    virtual bool isReadOnly();
    virtual bool isDirectory();
    virtual bool isHidden();
    ///@}
    /// True when no attribute bit is set: a plain file.
    virtual bool isNormal();

private:
    struct FileFindInternal;
    FileFindInternal* m_internal;
};

/// The same search returning flex_string, without a virtual table.
class DOZUV2_API CFileFindEx {
public:
    CFileFindEx();
    ~CFileFindEx();
    CFileFindEx(const CFileFindEx&) = delete;
    CFileFindEx& operator=(const CFileFindEx&) = delete;

    /// As for CFileFind.
    ///@{
    bool findFile(const char* pattern);
    bool findNextFile();
    void close();
    std::uint64_t getLength();
    flex_string getFileName();
    flex_string getFilePath();
    bool isReadOnly();
    bool isDirectory();
    bool isHidden();
    bool isNormal();
    ///@}

private:
    struct FileFindExInternal;
    FileFindExInternal* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
