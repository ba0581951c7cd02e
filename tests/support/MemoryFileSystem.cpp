#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>

namespace Orvane {
namespace Testing {

using Lock = std::lock_guard<std::recursive_mutex>;

namespace {

bool wildcardMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') {
        return *name == '\0';
    }
    if (*pattern == '*') {
        return wildcardMatch(pattern + 1, name) || (*name != '\0' && wildcardMatch(pattern, name + 1));
    }
    return *name != '\0' && (*pattern == '?' || *pattern == *name) && wildcardMatch(pattern + 1, name + 1);
}

} // namespace

std::vector<std::string> MemoryFileSystem::modes() const {
    Lock lock(m_mutex);
    return m_modes;
}

int MemoryFileSystem::count(const std::string& operation) const {
    Lock lock(m_mutex);
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(), [&](const std::string& call) {
        return call.compare(0, operation.size() + 1, operation + " ") == 0;
    }));
}

void MemoryFileSystem::clearCalls() {
    Lock lock(m_mutex);
    m_calls.clear();
    m_modes.clear();
}

void MemoryFileSystem::record(const char* operation, const char* path) {
    m_calls.push_back(std::string(operation) + " " + (path != nullptr ? path : ""));
}

MemoryFileSystem::Stream* MemoryFileSystem::use(const char* operation, void* stream) {
    record(operation, static_cast<Stream*>(stream)->path.c_str());
    return static_cast<Stream*>(stream);
}

void* MemoryFileSystem::fopen(const char* path, const char* mode) {
    Lock lock(m_mutex);
    record("fopen", path);
    m_modes.emplace_back(mode);
    const bool exists = files.count(path) != 0;
    if (std::strchr(mode, 'r') != nullptr && !exists) {
        return nullptr;
    }
    if (std::strchr(mode, 'w') != nullptr || !exists) {
        files[path].clear();
    }
    return new Stream{path, 0, std::strchr(mode, 'a') != nullptr};
}

int MemoryFileSystem::fclose(void* stream) {
    Lock lock(m_mutex);
    delete use("fclose", stream);
    return 0;
}

std::size_t MemoryFileSystem::fread(void* buffer, std::size_t size, std::size_t count, void* handle) {
    Lock lock(m_mutex);
    Stream* stream = use("fread", handle);
    const std::string& data = files[stream->path];
    const std::size_t left =
        static_cast<std::size_t>(std::max<std::int64_t>(0, static_cast<std::int64_t>(data.size()) - stream->position));
    const std::size_t n = std::min({size * count, left, transferLimit}) / size;
    std::memcpy(buffer, data.data() + stream->position, n * size);
    stream->position += static_cast<std::int64_t>(n * size);
    return n;
}

std::size_t MemoryFileSystem::fwrite(const void* buffer, std::size_t size, std::size_t count, void* handle) {
    Lock lock(m_mutex);
    Stream* stream = use("fwrite", handle);
    std::string& data = files[stream->path];
    if (stream->append) {
        stream->position = static_cast<std::int64_t>(data.size());
    }
    const std::size_t n = std::min(size * count, transferLimit) / size;
    const std::size_t end = static_cast<std::size_t>(stream->position) + n * size;
    data.resize(std::max(data.size(), end));
    data.replace(static_cast<std::size_t>(stream->position), n * size, static_cast<const char*>(buffer), n * size);
    stream->position = static_cast<std::int64_t>(end);
    return n;
}

int MemoryFileSystem::fflush(void* stream) {
    Lock lock(m_mutex);
    use("fflush", stream);
    return 0;
}

int MemoryFileSystem::seekTo(const char* operation, void* handle, std::int64_t offset, int whence) {
    Lock lock(m_mutex);
    Stream* stream = use(operation, handle);
    const std::int64_t base = whence == 1   ? stream->position
                              : whence == 2 ? static_cast<std::int64_t>(files[stream->path].size())
                                            : 0;
    if (base + offset < 0) {
        return -1;
    }
    stream->position = base + offset;
    return 0;
}

int MemoryFileSystem::fseek(void* stream, long offset, int whence) {
    return seekTo("fseek", stream, offset, whence);
}

int MemoryFileSystem::fseek64(void* stream, std::int64_t offset, int whence) {
    return seekTo("fseek64", stream, offset, whence);
}

long MemoryFileSystem::ftell(void* stream) {
    Lock lock(m_mutex);
    return static_cast<long>(use("ftell", stream)->position);
}

std::int64_t MemoryFileSystem::ftell64(void* stream) {
    Lock lock(m_mutex);
    return use("ftell64", stream)->position;
}

char* MemoryFileSystem::fgets(char* buffer, int size, void* handle) {
    Lock lock(m_mutex);
    Stream* stream = use("fgets", handle);
    const std::string& data = files[stream->path];
    int n = 0;
    while (n < size - 1 && static_cast<std::size_t>(stream->position) < data.size()) {
        const char c = data[static_cast<std::size_t>(stream->position++)];
        buffer[n++] = c;
        if (c == '\n') {
            break;
        }
    }
    buffer[n] = '\0';
    return n > 0 ? buffer : nullptr;
}

int MemoryFileSystem::fputs(const char* text, void* stream) {
    const std::size_t length = std::strlen(text);
    return fwrite(text, 1, length, stream) == length ? 0 : -1;
}

int MemoryFileSystem::rename(const char* oldPath, const char* newPath) {
    Lock lock(m_mutex);
    record("rename", oldPath);
    const auto found = files.find(oldPath);
    if (found == files.end()) {
        return -1;
    }
    files[newPath] = found->second;
    files.erase(oldPath);
    return 0;
}

int MemoryFileSystem::remove(const char* path) {
    Lock lock(m_mutex);
    record("remove", path);
    return files.erase(path) == 1 ? 0 : -1;
}

void MemoryFileSystem::fill(const Search& search, Virad::FileInfo* info) {
    const std::string& name = search.names[search.next];
    const std::string path = search.directory.empty() ? name : search.directory + "/" + name;
    info->name[name.copy(info->name, sizeof info->name - 1)] = '\0';
    const auto attrib = attributes.find(path);
    info->attrib = attrib != attributes.end() ? attrib->second : (directories.count(path) != 0 ? 0x10 : 0);
    const auto file = files.find(path);
    info->size = file != files.end() ? file->second.size() : 0;
}

int MemoryFileSystem::findfirst(const char* pattern, Virad::FileInfo* info) {
    Lock lock(m_mutex);
    record("findfirst", pattern);
    const std::string text = pattern;
    const std::string::size_type cut = text.rfind('/');
    Search search{{}, 0, cut == std::string::npos ? std::string() : text.substr(0, cut)};
    const std::string last = text.substr(cut == std::string::npos ? 0 : cut + 1);
    const std::string prefix = search.directory.empty() ? std::string() : search.directory + "/";
    auto consider = [&](const std::string& path) {
        if (path.compare(0, prefix.size(), prefix) == 0 && path.find('/', prefix.size()) == std::string::npos &&
            wildcardMatch(last.c_str(), path.c_str() + prefix.size())) {
            search.names.push_back(path.substr(prefix.size()));
        }
    };
    for (const auto& file : files) {
        consider(file.first);
    }
    for (const auto& directory : directories) {
        consider(directory);
    }
    if (search.names.empty()) {
        return -1;
    }
    m_searches.push_back(search);
    fill(m_searches.back(), info);
    return static_cast<int>(m_searches.size() - 1);
}

int MemoryFileSystem::findnext(int key, Virad::FileInfo* info) {
    Lock lock(m_mutex);
    record("findnext", "");
    if (key < 0 || static_cast<std::size_t>(key) >= m_searches.size()) {
        return -1;
    }
    Search& search = m_searches[static_cast<std::size_t>(key)];
    if (search.next + 1 >= search.names.size()) {
        return -1;
    }
    ++search.next;
    fill(search, info);
    return 0;
}

int MemoryFileSystem::findclose(int key) {
    Lock lock(m_mutex);
    record("findclose", "");
    return key >= 0 && static_cast<std::size_t>(key) < m_searches.size() ? 0 : -1;
}

int MemoryFileSystem::mkdir(const char* path) {
    Lock lock(m_mutex);
    record("mkdir", path);
    return directories.insert(path).second ? 0 : -1;
}

int MemoryFileSystem::rmdir(const char* path) {
    Lock lock(m_mutex);
    record("rmdir", path);
    return directories.erase(path) == 1 ? 0 : -1;
}

// Fixed figures (1, 3, 2) so tests can tell which value went where.
int MemoryFileSystem::statfs(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total,
                             std::uint64_t* totalFree) {
    Lock lock(m_mutex);
    record("statfs", path);
    *freeForCaller = 1;
    *total = 3;
    *totalFree = 2;
    return 0;
}

int MemoryFileSystem::access(const char* path, int) {
    Lock lock(m_mutex);
    record("access", path);
    return files.count(path) != 0 || directories.count(path) != 0 ? 0 : -1;
}

int MemoryFileSystem::stat(const char* path, Virad::FileInfo* info) {
    Lock lock(m_mutex);
    record("stat", path);
    const auto file = files.find(path);
    if (file == files.end()) {
        return -1;
    }
    info->name[std::string(path).copy(info->name, sizeof info->name - 1)] = '\0';
    info->size = file->second.size();
    return 0;
}

} // namespace Testing
} // namespace Orvane
