// The platform's files: descriptor-backed streams, files and directories,
// path status, volume space, the path separator and the wildcard directory
// search.
//
// Streams are the C library's FILE objects, handed around as void*.
#ifndef DOZUV2_PLATFORM_FILE_H
#define DOZUV2_PLATFORM_FILE_H

#include <cstdint>

namespace Orvane {
namespace Platform {

// ---- Streams ----

// How a stream is to be opened; built from the mode letters by the caller.
struct StreamOpenFlags {
    bool append;    // every write goes to the end
    bool create;    // create the file when it is missing
    bool readWrite; // read and write (otherwise see writeOnly)
    bool writeOnly; // write only (otherwise read only)
    bool truncate;  // empty an existing file
    bool binary;    // untranslated; no effect on this host
    bool noInherit; // the descriptor is closed in child processes
};
// Opens a descriptor with the flags (permission 0600 for a created file) and
// wraps it in a stream with the given mode; null on failure, with nothing left open.
void* openStream(const char* path, const StreamOpenFlags& flags, const char* mode);
// The descriptor behind a stream, or -1.
int streamDescriptor(void* stream);
// Seeks with a 64-bit offset (whence 0 start, 1 current, 2 end); 0 or -1.
int streamSeek64(void* stream, std::int64_t offset, int whence);
// The 64-bit position of a stream, or -1.
std::int64_t streamTell64(void* stream);

// ---- Files, directories and paths ----
//
// Every operation that takes a path fails on a null one as on a missing file
// (errno ENOENT), without asking the host.

// Deletes a file; never a directory, even an empty one. 0 or -1.
int removeFile(const char* path);
// Creates one directory (owner, group and others may use it, less the umask); 0 or -1.
int makeDirectory(const char* path);
// Deletes an empty directory; 0 or -1.
int removeDirectory(const char* path);
// 0 when the path allows the access (0 exists, 2 write, 4 read, 6 both), else -1.
int accessPath(const char* path, int mode);

// What the host knows about a path; times are seconds since 1970 UTC.
struct PathStatus {
    std::uint16_t mode;       // file type and permission bits
    std::uint64_t timeChange; // status change
    std::uint64_t timeAccess; // last access
    std::uint64_t timeWrite;  // last modification
    std::uint64_t size;       // bytes
    bool isDirectory;
};
// 0 and the status, or the host's non-zero result with status untouched.
int statPath(const char* path, PathStatus& status);
// Free bytes for the caller, total bytes and free bytes of the volume holding path; 0 or -1.
int volumeSpace(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree);

// The host's own path separator, for building paths.
char pathSeparator();
// Whether c separates directories in a path on this host: the one test every
// cut or split of a path uses.
bool isPathSeparator(char c);
// The part of path behind its last separator (path itself when it has none;
// null for null).
const char* fileNamePart(const char* path);

// ---- Directory search ----
//
// Wildcards (* and ?) in the last component of the pattern; "." and ".." are
// listed like any entry. Where the host keeps no attributes of its own, a
// dot-name counts as hidden.

struct DirectorySearch;
struct DirectoryEntry {
    char name[260];           // the entry's name, terminated, at most 259 characters
    std::uint16_t attributes; // the host's bits, of which 0x1 read-only, 0x2 hidden, 0x10 directory count; 0 plain file
    std::uint64_t timeCreate; // status change, seconds since 1970
    std::uint64_t timeAccess;
    std::uint64_t timeWrite;
    std::uint32_t size; // bytes modulo 2^32
};
// Starts a search and reports its first entry; null when the directory cannot
// be read or nothing matches.
DirectorySearch* startDirectorySearch(const char* pattern, DirectoryEntry& first);
// The next matching entry; false when none is left (entry untouched).
bool nextDirectoryEntry(DirectorySearch* search, DirectoryEntry& entry);
// Ends a search and frees it; 0 or -1.
int endDirectorySearch(DirectorySearch* search);

} // namespace Platform
} // namespace Orvane

#endif
