// CFile and CLfsFile driven through call sequences over an in-memory file
// system hooked on "/mem/".
//
// The file system is the model: every stream knows its file's bytes and its
// position. Properties after every call: an object is open exactly when it
// holds a stream, and no stream is leaked or closed twice; the cached
// position and length equal the stream's (except where puts on an appending
// stream is known to leave the cache behind, until the next refresh that
// reaches the file system); reads return exactly the model's bytes; writes
// land in the model; load hands out the file's bytes; the static operations
// answer as the model; a null path fails like a missing one; a closed object
// answers -1, 0 or null.
#include "support/FuzzCheck.h"

#include "virad/File.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

using namespace Orvane::Virad;

namespace {

using Bytes = std::shared_ptr<std::string>; // a file's bytes; open streams keep them after a rename or remove

struct Stream {
    Bytes bytes;
    std::size_t position = 0;
    bool read = false, write = false, append = false;
};

class MemoryFileSystem : public IFileSystem {
public:
    std::map<std::string, Bytes> files;
    std::set<Stream*> open;
    Stream* lastOpened = nullptr;

    ~MemoryFileSystem() override {
        for (Stream* s : open) {
            delete s;
        }
    }
    void* fopen(const char* path, const char* mode) override {
        FUZZ_CHECK(path != nullptr, "fopen without a path");
        FUZZ_CHECK(mode != nullptr, "fopen of %s without a mode", path);
        const bool plus = std::strchr(mode, '+') != nullptr;
        auto found = files.find(path);
        if (mode[0] == 'r' && found == files.end()) {
            return nullptr;
        }
        Bytes& bytes = files[path];
        if (!bytes || mode[0] == 'w') {
            bytes = std::make_shared<std::string>();
        }
        auto* s = new Stream{bytes, 0, mode[0] == 'r' || plus, mode[0] != 'r' || plus, mode[0] == 'a'};
        open.insert(s);
        lastOpened = s;
        return s;
    }
    Stream* stream(void* handle) {
        auto* s = static_cast<Stream*>(handle);
        FUZZ_CHECK(open.count(s) == 1, "a stream used after fclose or never opened");
        return s;
    }
    int fclose(void* handle) override {
        delete stream(handle);
        open.erase(static_cast<Stream*>(handle));
        return 0;
    }
    std::size_t fread(void* buffer, std::size_t size, std::size_t count, void* handle) override {
        Stream* s = stream(handle);
        if (!s->read || size == 0) {
            return 0;
        }
        const std::size_t n = std::min(count, (s->bytes->size() - s->position) / size);
        std::memcpy(buffer, s->bytes->data() + s->position, n * size);
        s->position += n * size;
        return n;
    }
    std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, void* handle) override {
        Stream* s = stream(handle);
        if (!s->write) {
            return 0;
        }
        if (s->append) {
            s->position = s->bytes->size();
        }
        s->bytes->replace(s->position, std::min(size * count, s->bytes->size() - s->position),
                          static_cast<const char*>(buffer), size * count);
        s->position += size * count;
        return count;
    }
    int fflush(void* handle) override { return stream(handle) != nullptr ? 0 : -1; }
    // Seeking past the end is refused, so files never get holes of zero bytes.
    int fseek64(void* handle, std::int64_t offset, int whence) override {
        Stream* s = stream(handle);
        const std::int64_t base = whence == 1   ? static_cast<std::int64_t>(s->position)
                                  : whence == 2 ? static_cast<std::int64_t>(s->bytes->size())
                                                : 0;
        const std::int64_t target = base + offset;
        if (offset > INT64_MAX / 2 || offset < INT64_MIN / 2 || target < 0 ||
            target > static_cast<std::int64_t>(s->bytes->size())) {
            return -1;
        }
        s->position = static_cast<std::size_t>(target);
        return 0;
    }
    int fseek(void* handle, long offset, int whence) override { return fseek64(handle, offset, whence); }
    std::int64_t ftell64(void* handle) override { return static_cast<std::int64_t>(stream(handle)->position); }
    long ftell(void* handle) override { return static_cast<long>(ftell64(handle)); }
    char* fgets(char* buffer, int size, void* handle) override {
        Stream* s = stream(handle);
        if (!s->read || size <= 0 || s->position >= s->bytes->size()) {
            return nullptr;
        }
        int n = 0;
        while (n < size - 1 && s->position < s->bytes->size()) {
            const char c = (*s->bytes)[s->position++];
            buffer[n++] = c;
            if (c == '\n') {
                break;
            }
        }
        buffer[n] = '\0';
        return buffer;
    }
    int fputs(const char* text, void* handle) override {
        return fwrite(text, 1, std::strlen(text), handle) == std::strlen(text) && stream(handle)->write ? 1 : -1;
    }
    int rename(const char* from, const char* to) override {
        auto found = files.find(from);
        if (found == files.end()) {
            return -1;
        }
        Bytes bytes = found->second;
        files.erase(found);
        files[to] = bytes;
        return 0;
    }
    int remove(const char* path) override { return files.erase(path) == 1 ? 0 : -1; }
    int findfirst(const char*, FileInfo*) override { return -1; }
    int findnext(int, FileInfo*) override { return -1; }
    int findclose(int) override { return -1; }
    int mkdir(const char*) override { return -1; }
    int rmdir(const char*) override { return -1; }
    int statfs(const char*, std::uint64_t*, std::uint64_t*, std::uint64_t*) override { return -1; }
    int access(const char* path, int) override { return files.count(path) == 1 ? 0 : -1; }
    int stat(const char* path, FileInfo* record) override {
        auto found = files.find(path);
        if (found == files.end()) {
            return -1;
        }
        *record = FileInfo{};
        record->size = found->second->size();
        return 0;
    }
};

MemoryFileSystem* g_fs = nullptr;

// One file object of either class with what the harness knows about it.
template <typename File> struct Driven {
    File file;
    Stream* stream = nullptr;
    const unsigned char* loaded = nullptr; // the buffer of the last load, until it goes
    bool positionKnown = true, lengthKnown = true;
    const char* paths[2];

    void check(int step) {
        FUZZ_CHECK(file.isOpen() == (stream != nullptr), "step %d: open state", step);
        if (stream == nullptr) {
            FUZZ_CHECK(file.getPosition() == 0, "step %d: a closed object's position", step);
            FUZZ_CHECK(file.getLength() == 0, "step %d: a closed object's length", step);
            FUZZ_CHECK(file.seek(1, File::begin) == 0, "step %d: a closed object's seek", step);
            FUZZ_CHECK(file.puts("x") == 0, "step %d: a closed object's puts", step);
            char line[4];
            FUZZ_CHECK(file.read(line, 1) == -1, "step %d: a closed object's read", step);
            FUZZ_CHECK(file.write(line, 1) == -1, "step %d: a closed object's write", step);
            FUZZ_CHECK(file.gets(line, 4) == nullptr, "step %d: a closed object's gets", step);
            return;
        }
        if (positionKnown) {
            FUZZ_CHECK(static_cast<std::uint64_t>(file.getPosition()) == stream->position,
                       "step %d: cached position %llu, stream at %zu", step,
                       static_cast<unsigned long long>(file.getPosition()), stream->position);
        }
        if (lengthKnown) {
            FUZZ_CHECK(static_cast<std::uint64_t>(file.getLength()) == stream->bytes->size(),
                       "step %d: cached length %llu, file of %zu", step,
                       static_cast<unsigned long long>(file.getLength()), stream->bytes->size());
        }
    }

    void step(FuzzedDataProvider& in) {
        const char* path = paths[in.ConsumeIntegralInRange(0, 1)];
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0: {
            static const unsigned int flags[] = {0x0, 0x1, 0x2, 0x1002, 0x2001, 0x3002, 0x2002, 0x80, 0x3, 0x1001};
            const unsigned int f = in.PickValueInArray(flags);
            g_fs->lastOpened = nullptr;
            const bool opened = file.open(path, f);
            loaded = nullptr;
            stream = opened ? g_fs->lastOpened : nullptr;
            FUZZ_CHECK(opened == (stream != nullptr), "open %x reports %d", f, opened);
            positionKnown = lengthKnown = true;
            break;
        }
        case 1:
            file.close();
            stream = nullptr;
            loaded = nullptr;
            break;
        case 2: {
            if (loaded != nullptr) {
                FUZZ_CHECK(file.load(path) == loaded, "a loaded buffer is handed out again, whatever the path");
                break;
            }
            auto found = g_fs->files.find(path);
            const std::string expected = found != g_fs->files.end() ? *found->second : std::string();
            g_fs->lastOpened = nullptr;
            loaded = file.load(path);
            stream = g_fs->lastOpened; // none when the open failed: the object is closed then
            if (found == g_fs->files.end()) {
                FUZZ_CHECK(loaded == nullptr, "load of a missing file hands out a buffer");
                FUZZ_CHECK(stream == nullptr, "load of a missing file opened one");
            } else if (expected.empty()) {
                FUZZ_CHECK(loaded == nullptr, "load of an empty file hands out a buffer");
                FUZZ_CHECK(stream != nullptr, "load of an empty file leaves it open");
            } else {
                FUZZ_CHECK(loaded != nullptr, "load of %zu bytes hands out nothing", expected.size());
                FUZZ_CHECK(std::string(reinterpret_cast<const char*>(loaded), expected.size()) == expected,
                           "load hands out the file's %zu bytes", expected.size());
            }
            positionKnown = lengthKnown = true;
            break;
        }
        case 3: {
            std::string buffer(in.ConsumeIntegralInRange<std::size_t>(0, 300), '\0');
            const std::size_t before = stream != nullptr ? stream->position : 0;
            const auto n = file.read(&buffer[0], buffer.size());
            if (stream != nullptr && stream->read) {
                const std::size_t expected = std::min(buffer.size(), stream->bytes->size() - before);
                FUZZ_CHECK(static_cast<std::size_t>(n) == expected, "read of %zu at %zu gave %lld, not %zu",
                           buffer.size(), before, static_cast<long long>(n), expected);
                FUZZ_CHECK(buffer.compare(0, expected, *stream->bytes, before, expected) == 0,
                           "read of %zu at %zu gave other bytes than the file's", buffer.size(), before);
            }
            break;
        }
        case 4: {
            std::string bytes = in.ConsumeRandomLengthString(300);
            std::replace(bytes.begin(), bytes.end(), '\0', '0'); // lines are measured with strlen
            const auto n = file.write(&bytes[0], bytes.size());
            if (stream != nullptr) {
                FUZZ_CHECK(static_cast<std::size_t>(n) == (stream->write ? bytes.size() : 0), "write of %zu gave %lld",
                           bytes.size(), static_cast<long long>(n));
                if (stream->write) {
                    FUZZ_CHECK(stream->bytes->compare(stream->position - bytes.size(), bytes.size(), bytes) == 0,
                               "the %zu written bytes are not in the file", bytes.size());
                }
                positionKnown = true;
            }
            break;
        }
        case 5: {
            const auto whence = static_cast<typename File::SeekPosition>(in.ConsumeIntegralInRange(0, 3));
            const std::int64_t offset = in.ConsumeIntegralInRange<std::int64_t>(-400, 400);
            if (whence == File::begin && offset >= 0 && stream != nullptr &&
                static_cast<std::size_t>(offset) <= stream->bytes->size()) {
                // A target equal to the cached position is answered from the
                // cache, so a cache left behind by puts stays behind.
                const bool fromCache = static_cast<std::int64_t>(file.getPosition()) == offset;
                FUZZ_CHECK(static_cast<std::int64_t>(file.seek(static_cast<long>(offset), whence)) == offset,
                           "seek to %lld inside the file", static_cast<long long>(offset));
                positionKnown = positionKnown || !fromCache;
            } else {
                file.seek(static_cast<long>(offset), whence);
            }
            break;
        }
        case 6: {
            char line[80];
            const std::size_t room = in.ConsumeIntegralInRange<std::size_t>(0, sizeof line);
            const std::size_t before = stream != nullptr ? stream->position : 0;
            const char* got = file.gets(line, room);
            if (got != nullptr) {
                FUZZ_CHECK(std::strlen(got) < room, "gets of %zu gave a line of %zu", room, std::strlen(got));
                FUZZ_CHECK(stream != nullptr, "gets of %zu gave a line without a file", room);
                FUZZ_CHECK(stream->bytes->compare(before, std::strlen(got), got) == 0,
                           "gets of %zu gave a line that is not the file's", room);
            }
            break;
        }
        case 7: {
            const std::string text = in.ConsumeRandomLengthString(60);
            if (stream != nullptr && stream->append && stream->position != stream->bytes->size()) {
                positionKnown = lengthKnown = false; // the cache counts from where it thought it was
            }
            file.puts(text.c_str());
            break;
        }
        case 8:
            file.flush();
            positionKnown = positionKnown || stream != nullptr;
            break;
        case 9: {
            const bool exists = g_fs->files.count(path) == 1;
            FileInfo info;
            FUZZ_CHECK(File::access(path, 0) == exists, "access of %s, which %s", path, exists ? "exists" : "does not");
            FUZZ_CHECK(File::stat(path, info) == exists, "stat of %s, which %s", path, exists ? "exists" : "does not");
            if (exists) {
                FUZZ_CHECK(info.size == g_fs->files[path]->size(), "stat size of %s", path);
            }
            break;
        }
        case 10: {
            const bool exists = g_fs->files.count(paths[0]) == 1;
            if (in.ConsumeBool()) {
                FUZZ_CHECK(File::rename(paths[0], paths[1]) == exists, "rename of %s", paths[0]);
            } else {
                FUZZ_CHECK(File::remove(paths[0]) == exists, "remove of %s", paths[0]);
            }
            break;
        }
        default:
            FUZZ_CHECK(!file.open(nullptr, in.ConsumeIntegralInRange(0, 2)), "a null path opens a file");
            FUZZ_CHECK(file.load(nullptr) == nullptr, "a null path loads a file");
            stream = nullptr;
            loaded = nullptr;
            break;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Orvane::Testing::quietLibrary();
    g_fs = new MemoryFileSystem;
    hookFileSystem("/mem/", g_fs);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    g_fs->files.clear();
    {
        Driven<CFile> small;
        Driven<CLfsFile> large;
        small.paths[0] = "/mem/a0";
        small.paths[1] = "/mem/a1";
        large.paths[0] = "/mem/b0";
        large.paths[1] = "/mem/b1";
        for (int step = 0; in.remaining_bytes() > 0 && step < 48; ++step) {
            if (in.ConsumeBool()) {
                small.step(in);
            } else {
                large.step(in);
            }
            small.check(step);
            large.check(step);
            FUZZ_CHECK(g_fs->open.size() == (small.stream ? 1u : 0u) + (large.stream ? 1u : 0u),
                       "step %d: %zu streams open", step, g_fs->open.size());
        }
    }
    FUZZ_CHECK(g_fs->open.empty(), "%zu streams left open by destroyed objects", g_fs->open.size());
    return 0;
}
