// What CFile and CLfsFile share: the private record and the algorithms that
// differ between them only in the width of positions, the seek and tell
// operations they use and the class name in their reports.
#ifndef DOZUV2_DEVEZ3_FILECORE_H
#define DOZUV2_DEVEZ3_FILECORE_H

#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Common/Report.h"
#include "Src/Platform/File.h"
#include "virad/Thread.h"
#include "virad/ThreadManager.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {
namespace Detail {

template <typename Position> struct FileRecord {
    void* m_file = nullptr;                   // stream handle of the open file
    std::uint8_t* m_buffer = nullptr;         // buffer filled by load
    Position m_length = 0;                    // cached length; 0: not measured yet
    Position m_position = 0;                  // cached position
    IFileSystem* m_opt = defaultFileSystem(); // the table in use; never null
};

// CFile: 32-bit positions, the 32-bit seek and tell.
struct SmallFileTraits {
    using Position = std::uint32_t;
    static constexpr const char* kName = "CFile";
    static constexpr bool kDirect = true;
    static void reportShortLoad(const void* self, Position length, std::int64_t read, const char* message) {
        VIRAD_REPORT(LOG_WARN, "this:%p CFile::load() length:%d, ret:%d, errmsg:%s\n", self, static_cast<int>(length),
                     static_cast<int>(read), message);
    }
    static std::int64_t tell(IFileSystem* fs, void* stream) { return fs->ftell(stream); }
    static int seek(IFileSystem* fs, void* stream, std::int64_t offset, int whence) {
        return fs->fseek(stream, static_cast<long>(offset), whence);
    }
};

// CLfsFile: 64-bit positions, the 64-bit seek and tell; no direct transfers.
struct LargeFileTraits {
    using Position = std::int64_t;
    static constexpr const char* kName = "CLfsFile";
    static constexpr bool kDirect = false;
    static void reportShortLoad(const void* self, Position length, std::int64_t read, const char* message) {
        VIRAD_REPORT(LOG_WARN, "this:%p CLfsFile::load() length:%ju, ret:%jd, errmsg:%s\n", self,
                     static_cast<std::uintmax_t>(length), static_cast<std::intmax_t>(read), message);
    }
    static std::int64_t tell(IFileSystem* fs, void* stream) { return fs->ftell64(stream); }
    static int seek(IFileSystem* fs, void* stream, std::int64_t offset, int whence) {
        return fs->fseek64(stream, offset, whence);
    }
};

// The fopen mode for open's flags, or false when the access bits are invalid.
bool fileOpenMode(unsigned int flags, bool allowDirect, char (&mode)[8]);

// The file system's position, clamped at 0.
template <typename Traits> typename Traits::Position tellFile(FileRecord<typename Traits::Position>& r) {
    const std::int64_t position = Traits::tell(r.m_opt, r.m_file);
    return position < 0 ? 0 : static_cast<typename Traits::Position>(position);
}

// Refreshes the position from the file system; the length follows it.
template <typename Traits> void refreshAfterWrite(FileRecord<typename Traits::Position>& r) {
    r.m_position = tellFile<Traits>(r);
    if (r.m_length < r.m_position) {
        r.m_length = r.m_position;
    }
}

// Open after the caller has closed and unloaded through its virtual table.
template <typename Traits>
bool openFile(const void* self, FileRecord<typename Traits::Position>& r, const char* path, unsigned int flags) {
    r.m_opt = selectFileSystem(path);
    VIRAD_ASSERT(r.m_opt);
    char mode[8];
    if (!fileOpenMode(flags, Traits::kDirect, mode)) {
        VIRAD_REPORT(LOG_ERROR, "this:%p %s::open() dwFlags:%d is invalid\n", self, Traits::kName,
                     static_cast<int>(flags));
        return false;
    }
    r.m_file = r.m_opt->fopen(path, mode);
    if (r.m_file == nullptr) {
        return false;
    }
    r.m_position = tellFile<Traits>(r);
    if ((flags & 0x1000u) != 0 && (flags & 0x2000u) == 0) {
        r.m_length = 0;
    } else {
        FileInfo info = {};
        r.m_length = r.m_opt->stat(path, &info) == 0 ? static_cast<typename Traits::Position>(info.size) : 0;
    }
    return true;
}

template <typename Position> void closeFile(FileRecord<Position>& r) {
    if (r.m_file == nullptr) {
        return;
    }
    r.m_opt->fclose(r.m_file);
    r.m_file = nullptr;
    r.m_length = 0;
    delete[] r.m_buffer;
    r.m_buffer = nullptr;
    r.m_position = 0;
    r.m_opt = defaultFileSystem();
}

template <typename Position> void unloadFile(FileRecord<Position>& r) {
    closeFile(r);
    delete[] r.m_buffer;
    r.m_buffer = nullptr;
}

// Loads the whole file; open, seek, read and unload go through the object's
// virtual table so that a derived class sees them.
template <typename Traits, typename File>
unsigned char* loadFile(File& self, FileRecord<typename Traits::Position>& r, const char* path) {
    using Position = typename Traits::Position;
    if (r.m_buffer != nullptr) {
        return r.m_buffer;
    }
    if (!self.open(path, 0x2000u)) {
        return r.m_buffer;
    }
    if (r.m_length == 0) {
        r.m_length = static_cast<Position>(self.seek(0, File::end));
        self.seek(0, File::begin);
    }
    if (r.m_length == 0) {
        return nullptr;
    }
    r.m_buffer = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(r.m_length)];
    if (r.m_buffer == nullptr) {
        self.unload();
        return nullptr;
    }
    self.seek(0, File::begin);
    const auto n = self.read(r.m_buffer, static_cast<std::size_t>(r.m_length));
    if (static_cast<std::int64_t>(n) != static_cast<std::int64_t>(r.m_length)) {
        const int error = errno;
        // Shows what the descriptor really is (a pipe, a device, a file cut
        // short under us) beside the report.
        char command[32];
        std::snprintf(command, sizeof command, "%s%d%s%d", "ls -lh /proc/", CThread::getCurrentThreadID(), "/fd/",
                      Platform::streamDescriptor(r.m_file));
        systemCall(command);
        Traits::reportShortLoad(&self, r.m_length, static_cast<std::int64_t>(n), std::strerror(error));
        self.unload();
        return nullptr;
    }
    return r.m_buffer;
}

template <typename Traits> void flushFile(FileRecord<typename Traits::Position>& r) {
    if (r.m_file == nullptr) {
        return;
    }
    r.m_opt->fflush(r.m_file);
    refreshAfterWrite<Traits>(r);
}

template <typename Traits>
typename Traits::Position seekFile(FileRecord<typename Traits::Position>& r, std::int64_t offset, int whence) {
    using Position = typename Traits::Position;
    if (r.m_file == nullptr) {
        return 0;
    }
    Position target;
    switch (whence) {
    case 0:
        target = static_cast<Position>(offset);
        break;
    case 1:
        target = static_cast<Position>(r.m_position + static_cast<Position>(offset));
        break;
    case 2:
        target = static_cast<Position>(r.m_length + static_cast<Position>(offset));
        break;
    default:
        target = 0;
        break;
    }
    if (target == r.m_position && whence != 2) {
        return target;
    }
    const int w = (whence == 1 || whence == 2) ? whence : 0;
    if (Traits::seek(r.m_opt, r.m_file, offset, w) < 0) {
        return 0;
    }
    r.m_position = tellFile<Traits>(r);
    return r.m_position;
}

template <typename Traits, typename File>
typename Traits::Position lengthOfFile(File& self, FileRecord<typename Traits::Position>& r) {
    using Position = typename Traits::Position;
    if (r.m_file == nullptr) {
        return 0;
    }
    if (r.m_length == 0) {
        const Position p = static_cast<Position>(self.getPosition());
        r.m_length = static_cast<Position>(self.seek(0, File::end));
        self.seek(p, File::begin);
    }
    return r.m_length;
}

template <typename Position> char* getsFile(FileRecord<Position>& r, char* buffer, int size) {
    if (r.m_file == nullptr) {
        return nullptr;
    }
    char* line = r.m_opt->fgets(buffer, size, r.m_file);
    if (line != nullptr) {
        r.m_position += static_cast<Position>(std::strlen(line));
    }
    return line;
}

template <typename Position> int putsFile(FileRecord<Position>& r, const char* text) {
    if (r.m_file == nullptr) {
        return 0;
    }
    const int result = r.m_opt->fputs(text, r.m_file);
    if (result != -1) {
        r.m_position += static_cast<Position>(std::strlen(text));
    }
    if (r.m_length < r.m_position) {
        r.m_length = r.m_position;
    }
    return result;
}

template <typename Position> std::int64_t writevFile(FileRecord<Position>& r, const io_vec* elements, int count) {
    if (r.m_file == nullptr) {
        return -1;
    }
    const std::int64_t result = r.m_opt->writev(Platform::streamDescriptor(r.m_file), elements, count);
    if (result > 0) {
        r.m_position += static_cast<Position>(result);
        if (r.m_length < r.m_position) {
            r.m_length = r.m_position;
        }
    }
    return result;
}

// Buffering works on the C-library stream itself, not through the table.
template <typename Position> bool setvbufFile(FileRecord<Position>& r, char* buffer, int mode, std::size_t size) {
    if (r.m_file == nullptr) {
        VIRAD_REPORT(LOG_WARN, "CFile::setvbuf failed, file has not been opened!\n");
        return false;
    }
    if (std::setvbuf(static_cast<FILE*>(r.m_file), buffer, mode, size) != 0) {
        VIRAD_REPORT(LOG_WARN, "CFile::setvbuf failed\n");
        return false;
    }
    return true;
}

template <typename Traits> bool fallocateUnsupported() {
    VIRAD_REPORT(LOG_ERROR, "this platform %s::fallocate not support.\n", Traits::kName);
    return false;
}

template <typename Traits> bool fstatUnsupported() {
    VIRAD_REPORT(LOG_ERROR, "this platform %s::fstat not support.\n", Traits::kName);
    return false;
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
