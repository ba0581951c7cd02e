/// \file
/// File objects: CFile for files up to 4 GiB with 32-bit positions, and its
/// twin CLfsFile for large files with 64-bit positions and chunked transfers.
///
/// A file object opens one file at a time through the file-system table that
/// serves its path (see FileSystem.h), reads and writes bytes and lines,
/// seeks, and can load a whole file into a buffer it owns. It keeps its own
/// copy of the position and the length, so getPosition and usually getLength
/// need no call into the file system. The cached length only grows while the
/// file is open; it is measured again by open and by getLength when it is 0.
///
/// Both classes also carry the static path operations (access, stat, rename,
/// remove, directories, volume space), each served by the table chosen by its
/// (first) path.
///
/// Thread-safety: an object is used by one thread at a time. Different objects
/// are independent. Nothing throws.
#ifndef DOZUV2_VIRAD_FILE_H
#define DOZUV2_VIRAD_FILE_H

#include "virad/Export.h"
#include "virad/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace Orvane {
namespace Virad {
/// \addtogroup files
/// @{

/// A file with 32-bit positions, through the file-system table that serves its path.
class DOZUV2_API CFile {
public:
    /// Flags of open: the low four bits are the access, the rest single bits.
    enum OpenFlags : unsigned int {
        openRead = 0x0,          ///< read only
        openWrite = 0x1,         ///< write only; created and truncated unless openNoTruncate
        openReadWrite = 0x2,     ///< read and write; must exist unless openCreate
        openNoInherit = 0x80,    ///< not inherited by child processes
        openCreate = 0x1000,     ///< with openReadWrite: create, truncate unless openNoTruncate
        openNoTruncate = 0x2000, ///< keep the contents and write at the end
        openDirect = 0x10000,    ///< asks the file system for direct transfers
    };
    /// Where a seek offset counts from, and the buffering modes of setvbuf.
    ///@{
    enum SeekPosition { begin = 0, current = 1, end = 2 };
    enum IOMode { fullBuffer = _IOFBF, lineBuffer = _IOLBF, noBuffer = _IONBF };
    ///@}

    CFile();
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens the path (closing and unloading first); false when the flags
    /// are invalid or the file system refuses.
    virtual bool open(const char* path, unsigned int flags);
    /// Closes the file and frees a loaded buffer.
    virtual void close();
    /// The whole file in a buffer owned by the object, or null (empty or
    /// unreadable file). A second load returns the first buffer.
    virtual unsigned char* load(const char* path);
    /// Closes the file and frees the loaded buffer.
    virtual void unload();
    /// Bytes read, or -1 when no file is open.
    virtual long read(void* buffer, std::size_t size);
    /// Bytes written, or -1 when no file is open.
    virtual long write(void* buffer, std::size_t size);
    /// Flushes the stream's buffer.
    virtual void flush();
    /// The new position, or 0 on failure.
    virtual std::uint64_t seek(long offset, SeekPosition whence);
    /// The current position (0 when no file is open), and the file's length.
    ///@{
    virtual std::uint64_t getPosition();
    virtual std::uint64_t getLength();
    ///@}
    /// The next line into buffer (at most size-1 characters), or null.
    virtual char* gets(char* buffer, std::size_t size);
    /// The file system's fputs result; 0 when no file is open.
    virtual long puts(const char* text);
    /// True while a file is open.
    virtual bool isOpen();
    /// Gather write through the file system; -1 when no file is open or unsupported.
    virtual long writev(const io_vec* elements, int count);
    /// Sets the stream's buffering directly on the C-library stream.
    virtual bool setvbuf(char* buffer, IOMode mode, std::size_t size);
    /// Not supported on this host: false.
    virtual bool fallocate(int mode, std::int64_t offset, std::int64_t length);
    /// Not supported on this host: false, info untouched.
    virtual bool fstat(FileInfoEx& info);
    /// Reserved slots of the virtual table; false.
    ///@{
    virtual bool resv3();
    virtual bool resv4();
    ///@}

    /// Path operations through the file-system table that serves the path; true on success.
    ///@{
    static bool access(const char* path, int mode);
    static bool stat(const char* path, FileInfo& info);
    ///@}
    /// Served by the table of the old path.
    static bool rename(const char* oldPath, const char* newPath);
    /// Deletes a file, never a directory (removeDirectory deletes an empty one).
    ///@{
    static bool remove(const char* path);
    static bool makeDirectory(const char* path);
    static bool removeDirectory(const char* path);
    static bool statFS(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total, std::uint64_t& free);
    ///@}
    /// Creates every missing directory of the path ('/' separates); false when
    /// the last one already exists or cannot be made.
    static bool makeDirectoryRecursively(const char* path);
    /// Empties the directory tree; with removeTop also deletes the directory.
    static bool removeDirectoryRecursively(const char* path, bool removeTop);

private:
    struct FileInternal;
    FileInternal* m_internal;
};

/// A large file with 64-bit positions and chunked transfers, through the same tables.
class DOZUV2_API CLfsFile {
public:
    /// Flags of open, as for CFile.
    enum OpenFlags : unsigned int {
        openRead = 0x0,
        openWrite = 0x1,
        openReadWrite = 0x2,
        openNoInherit = 0x80,
        openCreate = 0x1000,
        openNoTruncate = 0x2000,
    };
    /// Where a seek offset counts from, and the buffering modes of setvbuf.
    ///@{
    enum SeekPosition { begin = 0, current = 1, end = 2 };
    enum IOMode { fullBuffer = _IOFBF, lineBuffer = _IOLBF, noBuffer = _IONBF };
    ///@}

    CLfsFile();
    virtual ~CLfsFile();
    /// A copy is a new, closed file object: an open stream or a loaded buffer
    /// has one owner only.
    CLfsFile(const CLfsFile& other);
    /// Closes and unloads this object; it stays closed.
    CLfsFile& operator=(const CLfsFile& other);

    /// As for CFile.
    ///@{
    virtual bool open(const char* path, unsigned int flags);
    virtual void close();
    virtual unsigned char* load(const char* path);
    virtual void unload();
    ///@}
    /// Reads until size bytes are in or the file system delivers nothing;
    /// the bytes read, or -1 when no file is open.
    virtual std::int64_t read(void* buffer, std::int64_t size);
    /// Writes until size bytes are out or the file system takes nothing.
    virtual std::int64_t write(void* buffer, std::int64_t size);
    /// As for CFile, with 64-bit positions and lengths.
    ///@{
    virtual void flush();
    virtual std::int64_t seek(std::int64_t offset, SeekPosition whence);
    virtual std::int64_t getPosition();
    virtual std::int64_t getLength();
    ///@}
    /// Null for sizes of 2^31 or more.
    virtual char* gets(char* buffer, std::int64_t size);
    /// As for CFile.
    ///@{
    virtual std::int64_t puts(const char* text);
    virtual bool isOpen();
    virtual std::int64_t writev(const io_vec* elements, int count);
    virtual bool setvbuf(char* buffer, IOMode mode, std::size_t size);
    virtual bool fallocate(int mode, std::int64_t offset, std::int64_t length);
    virtual bool fstat(FileInfoEx& info);
    virtual bool resv3();
    virtual bool resv4();
    ///@}

    /// Path operations, as for CFile.
    ///@{
    static bool access(const char* path, int mode);
    static bool stat(const char* path, FileInfo& info);
    static bool rename(const char* oldPath, const char* newPath);
    static bool remove(const char* path);
    static bool makeDirectory(const char* path);
    static bool removeDirectory(const char* path);
    static bool statFS(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total, std::uint64_t& free);
    ///@}

private:
    struct LfsFileInternal;
    LfsFileInternal* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
