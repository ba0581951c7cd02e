// The file-system table over the host's C library, and the choice of the
// table that serves a path.
#ifndef DOZUV2_DEVEZ3_FILEDEFAULTOPT_H
#define DOZUV2_DEVEZ3_FILEDEFAULTOPT_H

#include "Src/Common/Containers.h"
#include "virad/FileSystem.h"
#include "virad/Mutex.h"

#include <cstdint>
#include <memory>

namespace Orvane {
namespace Virad {

// Maps every operation onto the host's C library. Streams are fully
// buffered with 16384 bytes. Search keys run 0, 1, 2, ... in the order the
// searches were started and are never reused. Only the key map is guarded;
// searches on different keys run in parallel.
class FileDefaultOpt : public IFileSystem {
public:
    FileDefaultOpt() = default;
    ~FileDefaultOpt() override;

    void* fopen(const char* path, const char* mode) override;
    int fclose(void* stream) override;
    std::size_t fread(void* buffer, std::size_t size, std::size_t count, void* stream) override;
    std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, void* stream) override;
    int fflush(void* stream) override;
    int fseek(void* stream, long offset, int whence) override;
    long ftell(void* stream) override;
    char* fgets(char* buffer, int size, void* stream) override;
    int fputs(const char* text, void* stream) override;
    int rename(const char* oldPath, const char* newPath) override;
    int remove(const char* path) override;
    int findfirst(const char* pattern, FileInfo* record) override;
    int findnext(int key, FileInfo* record) override;
    int findclose(int key) override;
    int mkdir(const char* path) override;
    int rmdir(const char* path) override;
    int statfs(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) override;
    int access(const char* path, int mode) override;
    int stat(const char* path, FileInfo* record) override;
    std::int64_t writev(int descriptor, const io_vec* elements, int count) override;
    int fseek64(void* stream, std::int64_t offset, int whence) override;
    std::int64_t ftell64(void* stream) override;

private:
    // The host handle of a search key (0 once ended); with ending, marks the
    // search ended. False for a key never handed out.
    bool searchHandle(int key, bool ending, std::intptr_t& handle);

    Common::Map<int, std::intptr_t> m_searches; // search key -> host search handle
    CMutex m_mutex;                             // guards m_searches and m_buffers
    // The stream buffers this table allocated, freed when their stream closes
    // (the C library would size a buffer it allocates itself by the block size).
    Common::Map<void*, std::unique_ptr<char[]>> m_buffers;
};

namespace Detail {

// The table that serves the path: the earliest hook whose name is a prefix
// of it, else the default table. Never null.
IFileSystem* selectFileSystem(const char* path);
// The process-wide default table, created on first use and never torn down.
IFileSystem* defaultFileSystem();
// Copies at most 259 characters of source into a record's name, terminated.
void copyFileName(char (&target)[260], const char* source);

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
