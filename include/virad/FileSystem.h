/// \file
/// The file-system operation table and its hook.
///
/// Every file, directory search and path operation of the library goes
/// through an IFileSystem: a table of operations shaped after the C library's
/// stream, directory and path functions. The library carries one table over
/// the host's C library. hookFileSystem lets an application register its own
/// table for every path that begins with a given name (a mount point, a device
/// prefix, an in-memory store); later opens, searches and path operations on
/// such paths use it. Files and searches already open keep the table they
/// were opened with.
///
/// Thread-safety: the hook table takes no lock. Register and remove hooks
/// while no other thread opens files, starts searches or runs path
/// operations. The library never owns a registered table; keep it alive until
/// it is removed and everything opened through it is closed.
#ifndef DOZUV2_VIRAD_FILESYSTEM_H
#define DOZUV2_VIRAD_FILESYSTEM_H

#include "virad/Export.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Virad {
/// \addtogroup files
/// @{

/// One entry of a directory search or the status of a path.
struct FileInfo {
    /// stat: the path given; search: the entry's name. Always terminated.
    char name[260];
    /// search: 0x1 read-only, 0x2 hidden, 0x10 directory, 0 a plain file;
    /// stat: the host's mode bits (file type and permissions).
    ///@{
    std::uint16_t attrib;
    std::uint64_t timeCreate; ///< creation (stat: status change), seconds since 1970 UTC
    std::uint64_t timeAccess; ///< last access, seconds since 1970 UTC
    std::uint64_t timeWrite;  ///< last modification, seconds since 1970 UTC
    std::uint64_t size;       ///< bytes
    ///@}
};

/// Extended status of an open file. This host cannot fill it; the library
/// never writes it.
struct FileInfoEx {
    /// The fields of the C library's stat record.
    ///@{
    std::uint64_t device;
    std::uint64_t inode;
    std::uint32_t mode;
    std::uint32_t links;
    std::uint64_t size;
    std::uint64_t timeAccess;
    std::uint64_t timeWrite;
    std::uint64_t timeChange;
    ///@}
};

/// One element of a gather write. The library passes arrays of these to
/// IFileSystem::writev unchanged and never reads them.
struct io_vec {
    /// The bytes to write and their number.
    ///@{
    void* base;
    std::size_t length;
    ///@}
};

/// The operations a file system offers. Stream handles are opaque to the
/// library, except that setvbuf on a file object and the descriptor passed to
/// writev assume a C-library stream.
class DOZUV2_API IFileSystem {
public:
    virtual ~IFileSystem() {}

    /// A stream handle for the path in the C library's mode, or null.
    virtual void* fopen(const char* path, const char* mode) = 0;
    /// 0 on success.
    virtual int fclose(void* stream) = 0;
    /// Elements read.
    virtual std::size_t fread(void* buffer, std::size_t size, std::size_t count, void* stream) = 0;
    /// Elements written.
    virtual std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) = 0;
    /// 0 on success.
    virtual int fflush(void* stream) = 0;
    /// Seeks with a 32-bit offset (whence 0 start, 1 current, 2 end); 0, or negative on failure.
    virtual int fseek(void* stream, long offset, int whence) = 0;
    /// The position, or -1.
    virtual long ftell(void* stream) = 0;
    /// The buffer with the next line, or null at the end or on error.
    virtual char* fgets(char* buffer, int size, void* stream) = 0;
    /// -1 on failure.
    virtual int fputs(const char* text, void* stream) = 0;
    /// Renames a file or directory; 0 on success.
    virtual int rename(const char* oldPath, const char* newPath) = 0;
    /// Deletes a file (the default table refuses a directory); 0 on success.
    virtual int remove(const char* path) = 0;
    /// Starts a search for a wildcard pattern and fills the first entry; the
    /// search key (0 or more), or -1.
    virtual int findfirst(const char* pattern, FileInfo* record) = 0;
    /// Fills the next entry; 0, or -1 when none is left or the key is unknown.
    virtual int findnext(int key, FileInfo* record) = 0;
    /// Ends a search; 0, or -1.
    virtual int findclose(int key) = 0;
    /// Creates one directory; 0 on success.
    virtual int mkdir(const char* path) = 0;
    /// Deletes an empty directory; 0 on success.
    virtual int rmdir(const char* path) = 0;
    /// Bytes free for the caller, total bytes and free bytes of the volume; 0 or -1.
    virtual int statfs(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total,
                       std::uint64_t* totalFree) = 0;
    /// 0 when the access (0 exists, 2 writable, 4 readable, 6 both) is allowed, else -1.
    virtual int access(const char* path, int mode) = 0;
    /// Fills the record for the path; 0 on success, the record untouched otherwise.
    virtual int stat(const char* path, FileInfo* record) = 0;
    /// Gather write to a descriptor; bytes written, negative on failure.
    virtual std::int64_t writev(int descriptor, const io_vec* elements, int count);
    /// Seeks with a 64-bit offset; 0, or negative on failure.
    virtual int fseek64(void* stream, std::int64_t offset, int whence);
    /// The 64-bit position, or -1.
    virtual std::int64_t ftell64(void* stream);
};

/// With a table: serves every path that begins with name by it (31 hooks at
/// most; further ones are dropped). With null: removes the earliest
/// registration of name. The earliest matching registration serves a path,
/// not the longest.
DOZUV2_API void hookFileSystem(const char* name, IFileSystem* fileSystem);
/// @}

} // namespace Virad
} // namespace Orvane

#endif
