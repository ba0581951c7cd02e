// The pieces each host supplies to the host-independent half of the platform
// layer. The family files beside this header (File.cpp, Clock.cpp, ...) keep
// the logic every host shares (argument checks, flag mapping, caching,
// bookkeeping) and call these for the operating system's own part; Posix/
// and Win32/ define them. Nothing outside Src/Platform includes this header.
#ifndef DOZUV2_PLATFORM_HOSTPARTS_H
#define DOZUV2_PLATFORM_HOSTPARTS_H

#include "Src/Platform/Clock.h"
#include "Src/Platform/Console.h"
#include "Src/Platform/Cpu.h"
#include "Src/Platform/File.h"
#include "Src/Platform/Thread.h"

#include <cstdint>
#include <ctime>

namespace Orvane {
namespace Platform {
namespace Host {

// ---- Files ----

// The host's values of the descriptor open flags; a flag the host does not
// know is 0.
struct OpenFlagBits {
    int readOnly;
    int writeOnly;
    int readWrite;
    int append;
    int create;
    int truncate;
    int noInherit;
    int binary; // untranslated
    int text;   // translated line ends
};
extern const OpenFlagBits kOpenFlagBits;

// The descriptor behind a stream.
int descriptorOf(void* stream);
// Seeks with the C library's origin (SEEK_SET, SEEK_CUR, SEEK_END); 0 on success.
int seekStream(void* stream, std::int64_t offset, int origin);

// Opens a descriptor with the host's flags, permission 0600 for a created
// file; -1 on failure with errno set.
int openDescriptor(const char* path, int hostFlags);
// Wraps a descriptor in a stream with the given mode; null with errno set.
void* descriptorStream(int descriptor, const char* mode);
void closeDescriptor(int descriptor);

// The plain operations on a path known not to be null; 0 on success.
int unlinkFile(const char* path);
int createDirectory(const char* path);
int deleteDirectory(const char* path);
// mode is the contract's: 0 exists, 2 write, 4 read, 6 both.
int checkAccess(const char* path, int mode);
// 0 and the status, or the host's non-zero result with status untouched.
int readStatus(const char* path, PathStatus& status);
// 0 and the three byte counts of the volume holding path, or -1.
int readVolumeSpace(const char* path, std::uint64_t& freeForCaller, std::uint64_t& total, std::uint64_t& totalFree);

// A path status from what the host reports.
PathStatus pathStatusOf(unsigned mode, std::uint64_t timeChange, std::uint64_t timeAccess, std::uint64_t timeWrite,
                        std::uint64_t size, bool isDirectory);

// A directory entry from what the host reports: the name cut to fit, the
// size modulo 2^32.
DirectoryEntry directoryEntryOf(const char* name, std::uint16_t attributes, std::uint64_t timeCreate,
                                std::uint64_t timeAccess, std::uint64_t timeWrite, std::uint64_t size);

// The search itself, for a pattern known to be neither null nor empty.
DirectorySearch* startSearch(const char* pattern, DirectoryEntry& first);
bool nextEntry(DirectorySearch* search, DirectoryEntry& entry);

// ---- Processor ----

#if defined(__aarch64__)
// The optional instruction sets of a 64-bit ARM processor, as the kernel
// reports them; all false where the host cannot tell.
CpuFeatures armFeatures();
#endif

// ---- Clocks ----

// The wall clock as seconds since 1970 UTC and the milliseconds within them.
struct WallReading {
    std::int64_t seconds;
    int millisecond;
};
WallReading wallClockNow();

// The C library's broken-down local or UTC time of a count of seconds since
// 1970; false, with out untouched, when the count cannot be converted.
bool localBrokenDown(std::int64_t seconds, std::tm& out);
bool utcBrokenDown(std::int64_t seconds, std::tm& out);
// The C library's mktime of local fields: seconds since 1970, negative when
// the time cannot be represented.
std::int64_t makeLocalSeconds(std::tm& fields);

// Rereads the host's zone rules (TZ).
void rereadTimeZone();
// What rereading the zone rules leaves behind; a zone change moves at least
// one of these. A host fills the fields it has and leaves the rest 0/null.
struct ZoneMark {
    long offset; // UTC minus local standard time, seconds
    int daylight;
    long daylightBias;
    const char* standardName;
    const char* daylightName;

    bool operator==(const ZoneMark& other) const {
        return offset == other.offset && daylight == other.daylight && daylightBias == other.daylightBias &&
               standardName == other.standardName && daylightName == other.daylightName;
    }
};
ZoneMark currentZoneMark();

// Sets the host's clock to the local time; false when the host refuses.
bool setHostLocalTime(const LocalTime& time);

// ---- Console ----

// Shows an attribute on a terminal.
void showTextAttribute(ConsoleHandle console, std::uint16_t attribute);
// The attribute the terminal reports, where the host can ask it; false where not.
bool shownTextAttribute(ConsoleHandle console, std::uint16_t& attribute);

// ---- Threads ----

// The host's record of a thread that is to run entry(argument); null without memory.
SystemThread* newThreadRecord(ThreadEntry entry, void* argument);
// Starts the thread of a new record with the given stack size (0: the host's
// default). False on failure, with the record freed and the host's error
// number in error.
bool launchThread(SystemThread* thread, int stackSize, int& error);
// Forcibly ends a thread that is still running; true if the host accepted it.
bool forceThreadEnd(SystemThread* thread);

} // namespace Host
} // namespace Platform
} // namespace Orvane

#endif
