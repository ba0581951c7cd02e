// The platform layer: the operating-system primitives the library is written
// against, with the contract each one keeps.
//
// The rest of the library never includes an operating-system header. It uses
// these small types and functions instead, which model the Windows primitives
// the algorithms were designed around (critical section, kernel semaphore,
// manual-reset event, owned kernel mutex, TLS slot, console attributes). Each
// host supplies one implementation directory (Posix/ here).
//
// The synchronisation objects keep their native object in suitably aligned
// inline storage, so creating one never allocates and this header needs no
// system header. They cannot be copied or moved: the native objects may not be.
#ifndef DOZUV2_PLATFORM_PLATFORM_H
#define DOZUV2_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Orvane {
namespace Platform {

// Raw, suitably aligned room for a native object of at most Size bytes.
template <std::size_t Size> struct NativeStorage { alignas(16) unsigned char bytes[Size]; };

// A recursive lock: the holder may enter again and must leave as often.
// tryEnter never blocks.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter();
    bool tryEnter();
    void leave();

private:
    NativeStorage<64> m_native;
};

// A counting semaphore with a maximum count. post fails (and changes nothing)
// when the count would pass the maximum. Timed waits run on the monotonic
// clock, so changing the wall clock neither shortens nor stretches them.
class KernelSemaphore {
public:
    static constexpr long kMaximum = 2147483647L;

    // initial must be 0..maximum and maximum 1..kMaximum; otherwise valid() is false.
    KernelSemaphore(long initial, long maximum);
    ~KernelSemaphore();
    KernelSemaphore(const KernelSemaphore&) = delete;
    KernelSemaphore& operator=(const KernelSemaphore&) = delete;

    // Whether the native semaphore exists.
    bool valid() const { return m_valid; }
    // Takes one unit, waiting without limit. False only if the wait failed.
    bool wait();
    // Takes one unit, waiting at most the given milliseconds (0: try only).
    // False on time-out or failure.
    bool timedWait(unsigned int milliseconds);
    // Takes one unit if one is there; never blocks.
    bool tryWait();
    // Adds one unit; false when that would pass the maximum.
    bool post();

private:
    NativeStorage<32> m_sem;
    NativeStorage<48> m_postLock; // serialises posts when the maximum is below the native one
    long m_maximum;
    bool m_valid;
};

// A manual-reset event: once set, every waiter passes until it is reset.
// Every thread that was waiting when the event was set is released, even if
// the event is reset again before that thread runs.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    // Waits without limit until the event is set.
    void wait();
    // The number of sets so far; with waitSince, a waiter that must let go of
    // a lock before it waits cannot miss a set that comes in between.
    unsigned long generation();
    // Waits until the event is set or has been set since the generation given.
    void waitSince(unsigned long generation);
    // Waits at most the given milliseconds; true if the event was set.
    bool timedWait(unsigned int milliseconds);

private:
    NativeStorage<48> m_mutex;
    NativeStorage<48> m_cond;
    bool m_set;
    unsigned long m_generation; // counts sets, so a waiter can tell it was released
};

// A kernel mutex owned by a thread: re-entrant for its owner; a release by
// any other thread fails and changes nothing.
class KernelMutex {
public:
    KernelMutex();
    ~KernelMutex();
    KernelMutex(const KernelMutex&) = delete;
    KernelMutex& operator=(const KernelMutex&) = delete;

    void acquire();
    // Acquires within the given milliseconds; false on time-out.
    bool timedAcquire(unsigned int milliseconds);
    // False when the calling thread does not own the mutex.
    bool release();

private:
    // The owner and its count are kept under a plain mutex, and waiters sleep
    // on a condition; a timed wait needs no timed mutex lock.
    NativeStorage<48> m_mutex;
    NativeStorage<48> m_cond;
    std::uint32_t m_owner; // 0 while free
    int m_count;
};

// Thread-local slots: one pointer per thread, null until the thread stores one.
using TlsIndex = std::uint32_t;
constexpr TlsIndex kTlsNone = 0xFFFFFFFFu;

// A new slot, or kTlsNone when the host has none left.
TlsIndex tlsAlloc();
// Frees the slot; the values stored in it are not touched.
bool tlsFree(TlsIndex index);
bool tlsSetValue(TlsIndex index, const void* value);
void* tlsGetValue(TlsIndex index);

// The calling thread's 32-bit system id (never 0).
std::uint32_t currentThreadId();
// Suspends the calling thread for at least the given milliseconds.
void sleepMilliseconds(unsigned int milliseconds);
// Gives the rest of the time slice to another ready thread.
void yieldThread();

// System threads. A handle stays valid after its thread has ended, until it
// is closed, so the owner can still ask whether the thread is over.
struct SystemThread;
using ThreadHandle = SystemThread*;
using ThreadEntry = void (*)(void* argument);

// Starts a thread running entry(argument) with the given stack size in bytes
// (0: the host's default). Null on failure, with the host's error number in
// *errorNumber.
ThreadHandle startThread(ThreadEntry entry, void* argument, int stackSize, int* errorNumber);
// Gives the thread a Windows-scale priority (15 time critical .. -15 idle).
// The host applies what it allows: here a nice value for the normal policy,
// nothing for the real-time one; lacking rights is not a failure. The value
// is recorded either way.
bool setThreadPriority(ThreadHandle thread, int windowsPriority, bool realTime);
// The Windows-scale priority last given to the thread (0 until one was).
int threadPriority(ThreadHandle thread);
// Waits at most the given milliseconds for the thread to end; true once it has.
bool waitForThread(ThreadHandle thread, unsigned int milliseconds);
// True while the thread has not ended.
bool threadStillActive(ThreadHandle thread);
// Forcibly ends the thread (asynchronous cancellation at its next cancellation
// point); true if the request was accepted.
bool terminateSystemThread(ThreadHandle thread);
// Releases the handle; the thread itself runs on if it has not ended.
void closeThreadHandle(ThreadHandle thread);

// The process's system id.
std::uint64_t currentProcessId();
// Starts a command line as a new process without a shell and waits for it to
// end. The line is split into arguments as the Windows parser does (blanks
// separate, double quotes group, backslashes escape quotes). False when the
// process could not be started.
bool runCommandLine(const char* commandLine);
// The arguments runCommandLine would start the command line with.
std::vector<std::string> commandLineArguments(const char* commandLine);

// Broken-down time of the wall clock, with milliseconds.
struct LocalTime {
    int year;   // e.g. 2026
    int month;  // 1..12
    int day;    // 1..31
    int wday;   // 0..6, 0 = Sunday
    int hour;   // 0..23
    int minute; // 0..59
    int second; // 0..59 (60 only in a leap second)
    int millisecond;
};
void currentLocalTime(LocalTime& out);
// The same fields for UTC.
void currentUtcTime(LocalTime& out);
// Rereads the host's zone rules (after the TZ setting changed) and drops
// every thread's cached local time, so the next reading uses the new zone.
void refreshTimeZone();
// The host's standard-time offset: UTC minus local standard time in seconds
// (positive west of Greenwich); daylight saving is not included.
std::int32_t standardTimeOffset();
// Sets the host's clock to the given local time (wday is ignored). False when
// the host refuses, for instance for lack of rights.
bool setLocalTime(const LocalTime& time);
// Redirects setLocalTime, so tests can record the requested setting or
// simulate a refusal without touching the machine's clock. Null restores the
// host's clock. Returns the previous redirection (null for none).
using SetLocalTimeFunction = bool (*)(const LocalTime& time);
SetLocalTimeFunction redirectSetLocalTime(SetLocalTimeFunction function);

// Nanoseconds of a monotonic clock with an arbitrary origin.
std::uint64_t monotonicNanoseconds();

// The console: the process's standard output and its text attributes, which
// use the Windows encoding (blue 1, green 2, red 4, intensity 8; 7 is the
// plain grey). Where standard output is not a terminal, attributes are
// remembered but nothing is written for them.
using ConsoleHandle = void*;
// The standard output handle; never null.
ConsoleHandle standardOutputHandle();
// The attribute last set through this layer (7 at start).
std::uint16_t consoleTextAttribute(ConsoleHandle console);
void setConsoleTextAttribute(ConsoleHandle console, std::uint16_t attribute);
// Whether standard output is a terminal (colours are shown only then).
bool standardOutputIsTerminal();

// Text for an attached debugger; nothing on hosts without such a channel.
void debuggerOutput(const char* text);

// The host's path separator.
char pathSeparator();

// ---- Files ----
//
// Streams are the C library's FILE objects, handed around as void*.

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

// Creates one directory (owner, group and others may use it, less the umask); 0 or -1.
int makeDirectory(const char* path);
// Deletes an empty directory; 0 or -1.
int removeDirectory(const char* path);
// 0 when the path allows the access (0 exists, 2 write, 4 read, 6 both), else -1.
int accessPath(const char* path, int mode);

// What the host knows about a path; times are seconds since 1970 UTC.
struct PathStatus {
    std::uint16_t mode;         // file type and permission bits
    std::uint64_t timeChange;   // status change
    std::uint64_t timeAccess;   // last access
    std::uint64_t timeWrite;    // last modification
    std::uint64_t size;         // bytes
    bool isDirectory;
};
// 0 and the status, or the host's non-zero result with status untouched.
int statPath(const char* path, PathStatus& status);
// Free bytes for the caller, total bytes and free bytes of the volume holding path; 0 or -1.
int volumeSpace(const char* path, std::uint64_t* freeForCaller, std::uint64_t* total, std::uint64_t* totalFree);

// Whether c separates directories in a path on this host.
bool isPathSeparator(char c);

// Directory search with wildcards (* and ? in the last component of the
// pattern; "." and ".." are listed like any entry).
struct DirectorySearch;
struct DirectoryEntry {
    char name[260];           // the entry's name, terminated, at most 259 characters
    std::uint16_t attributes; // 0x1 read-only, 0x2 hidden (dot-name), 0x10 directory; 0 plain file
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
