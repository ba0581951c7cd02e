// The replaced allocation functions of the sweep program (see the header).
//
// Every function passes on to glibc's own allocator through its __libc_*
// entry points, which are not replaced, so memory from either side may be
// freed by the other: glibc's internal allocations (a stream's buffer, a
// thread's TLS block) come through here as well and are freed here.
#include "FailingAllocator.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <execinfo.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<bool> g_armed{false};
std::atomic<unsigned long long> g_count{0};
std::atomic<unsigned long long> g_failAt{0};
std::atomic<bool> g_failed{false};
std::atomic<bool> g_persist{false};

// Written with write(2) and a stack buffer: the report must not allocate.
void reportFailure(unsigned long long number, std::size_t size) {
    char line[96];
    const int length = std::snprintf(line, sizeof line, "fault: allocation %llu failed (%zu bytes)\n", number, size);
    if (length > 0) {
        [[maybe_unused]] const ssize_t written = ::write(2, line, static_cast<std::size_t>(length));
    }
    void* frames[32];
    const int depth = ::backtrace(frames, 32);
    ::backtrace_symbols_fd(frames, depth, 2);
}

// Counts one allocation; true when it is the one to fail.
bool failThis(std::size_t size) {
    if (!g_armed.load(std::memory_order_acquire)) {
        return false;
    }
    const unsigned long long number = g_count.fetch_add(1, std::memory_order_relaxed) + 1;
    const unsigned long long failAt = g_failAt.load(std::memory_order_relaxed);
    if (failAt == 0 || number < failAt || (number > failAt && !g_persist.load(std::memory_order_relaxed))) {
        return false;
    }
    if (number == failAt) {
        g_failed.store(true, std::memory_order_relaxed);
        reportFailure(number, size);
    }
    return true;
}

void* allocate(std::size_t size) {
    if (failThis(size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}

void* allocateAligned(std::size_t alignment, std::size_t size) {
    if (failThis(size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_memalign(alignment, size);
}

void* allocateOrThrow(std::size_t size) {
    void* const block = allocate(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
    void* const block = allocateAligned(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

namespace Faults {

void arm(unsigned long long failAt, bool persist) {
    // The first backtrace loads the unwinder, which allocates: done here,
    // before counting, so a report never changes what it reports on.
    void* frames[4];
    ::backtrace(frames, 4);
    g_failAt.store(failAt, std::memory_order_relaxed);
    g_persist.store(persist, std::memory_order_relaxed);
    g_count.store(0, std::memory_order_relaxed);
    g_armed.store(true, std::memory_order_release);
}

unsigned long long allocationCount() {
    return g_count.load(std::memory_order_relaxed);
}

bool failureMade() {
    return g_failed.load(std::memory_order_relaxed);
}

} // namespace Faults

// ---- The C allocation functions ----

extern "C" {

void* malloc(std::size_t size) noexcept {
    return allocate(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    if (failThis(count * size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) noexcept {
    // A shrink to nothing frees; only a request for memory can fail.
    if (size != 0 && failThis(size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_realloc(pointer, size);
}

void free(void* pointer) noexcept {
    __libc_free(pointer);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    return allocateAligned(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    return allocateAligned(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* const block = allocateAligned(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *result = block;
    return 0;
}

void* valloc(std::size_t size) noexcept {
    return allocateAligned(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), size);
}

void* pvalloc(std::size_t size) noexcept {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return allocateAligned(page, (size + page - 1) / page * page);
}

} // extern "C"

// ---- Every form of operator new and delete ----

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAligned(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAligned(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}

void operator delete(void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    __libc_free(pointer);
}
