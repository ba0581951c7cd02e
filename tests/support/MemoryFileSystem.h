// Test helper: an in-memory file system for hookFileSystem that records each
// call ("operation path") and every fopen mode. A directory's entries are the
// paths under "directory/" with no further '/'.
#ifndef DOZUV2_TESTS_SUPPORT_MEMORYFILESYSTEM_H
#define DOZUV2_TESTS_SUPPORT_MEMORYFILESYSTEM_H

#include "virad/FileSystem.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

class MemoryFileSystem : public Virad::IFileSystem {
public:
    std::map<std::string, std::string> files; // path -> bytes
    std::set<std::string> directories;
    std::map<std::string, std::uint16_t> attributes; // search attributes by path
    std::size_t transferLimit = SIZE_MAX;            // most bytes one fread or fwrite moves

    std::vector<std::string> modes() const;
    int count(const std::string& operation) const;
    void clearCalls();

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
    int findfirst(const char* pattern, Virad::FileInfo* record) override;
    int findnext(int key, Virad::FileInfo* record) override;
    int findclose(int key) override;
    int mkdir(const char* path) override;
    int rmdir(const char* path) override;
    int statfs(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree) override;
    int access(const char* path, int mode) override;
    int stat(const char* path, Virad::FileInfo* record) override;
    int fseek64(void* stream, std::int64_t offset, int whence) override;
    std::int64_t ftell64(void* stream) override;

private:
    struct Stream {
        std::string path;
        std::int64_t position;
        bool append;
    };
    struct Search {
        std::vector<std::string> names;
        std::size_t next;
        std::string directory;
    };

    void record(const char* operation, const char* path);
    Stream* use(const char* operation, void* stream);
    void fill(const Search& search, Virad::FileInfo* record);
    int seekTo(const char* operation, void* stream, std::int64_t offset, int whence);

    mutable std::recursive_mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<std::string> m_modes;
    std::vector<Search> m_searches;
};

} // namespace Testing
} // namespace Orvane

#endif
