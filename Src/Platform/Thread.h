// The platform's threads: thread-local slots, thread ids, sleeping and
// yielding, and system threads with a Windows-scale priority.
#ifndef DOZUV2_PLATFORM_THREAD_H
#define DOZUV2_PLATFORM_THREAD_H

#include <cstdint>

// glibc 2.32 and later keep a flag that says whether the process has only
// ever had one thread (the one libstdc++ reads for its reference counts).
#if defined(__has_include)
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define DOZUV2_HAS_SINGLE_THREADED_FLAG 1
#endif
#endif

namespace Orvane {
namespace Platform {

// ---- Thread-local slots: one pointer per thread, null until the thread stores one ----

using TlsIndex = std::uint32_t;
constexpr TlsIndex kTlsNone = 0xFFFFFFFFu;

// A new slot, or kTlsNone when the host has none left.
TlsIndex tlsAlloc();
// Frees the slot; the values stored in it are not touched.
bool tlsFree(TlsIndex index);
// Stores the calling thread's value; false for a slot that does not exist.
bool tlsSetValue(TlsIndex index, const void* value);
// The calling thread's value; null until it stored one.
void* tlsGetValue(TlsIndex index);

// ---- The calling thread ----

// The calling thread's 32-bit system id (never 0).
std::uint32_t currentThreadId();
// Suspends the calling thread for at least the given milliseconds.
void sleepMilliseconds(unsigned int milliseconds);
// Suspends the calling thread for at least the given microseconds.
void sleepMicroseconds(std::uint64_t microseconds);
// Gives the rest of the time slice to another ready thread.
void yieldThread();

// True while the process has never had a second thread. Once false it stays
// false. The C library flips it inside the call that starts the second
// thread, before that thread runs, so a thread that reads true is alone and
// nothing it does can race; whatever it did is published to the new thread by
// the start itself. Hosts that do not say answer false.
inline bool processHasOneThread() {
#if defined(DOZUV2_HAS_SINGLE_THREADED_FLAG)
    return __atomic_load_n(&__libc_single_threaded, __ATOMIC_RELAXED) != 0;
#else
    return false;
#endif
}

// ---- System threads ----
//
// A handle stays valid after its thread has ended, until it is closed, so the
// owner can still ask whether the thread is over.

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

} // namespace Platform
} // namespace Orvane

#endif
