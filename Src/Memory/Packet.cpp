// Packets: the handle and the record behind it, with its four sources.
#include "memory/Packet.h"

#include "Src/Common/Report.h"
#include "Src/Memory/PacketInternal.h"
#include "Src/Memory/PacketManagerInternal.h"

#include <cstdlib>
#include <new>

namespace Orvane {
namespace Memory {

namespace {

// Sizes above this cannot be laid out without the arithmetic wrapping; no
// allocator could grant them anyway.
constexpr std::uint64_t kLargestRequest = std::uint64_t{1} << 62;

// Builds a record in the last bytes of a block that ends at blockEnd, at the
// highest address that suits the record's alignment.
DOZUV2_ALWAYS_INLINE OldPacketInternal* placeRecordBefore(unsigned char* blockEnd) {
    const auto at = (reinterpret_cast<std::uintptr_t>(blockEnd) - sizeof(OldPacketInternal)) &
                    ~std::uintptr_t{alignof(OldPacketInternal) - 1};
    return new (reinterpret_cast<void*>(at)) OldPacketInternal;
}

// Every handle's record is an OldPacketInternal (the creators in this file
// make every record there is), so the handle calls the record's operations
// directly: the class is final, and the calls are inlined instead of going
// through the interface's slots.
OldPacketInternal* recordOf(PacketInternal* internal) {
    return static_cast<OldPacketInternal*>(internal);
}

void reportHeapFailure(std::uint64_t size) {
    VIRAD_REPORT(Virad::LOG_ERROR, "PacketInternal::create(): malloc failured! size:%zu\n",
                 static_cast<std::size_t>(size));
}

// The record of a packet whose data is the start of the block of granted
// bytes, and whose extra data and record take its last tail bytes.
DOZUV2_ALWAYS_INLINE OldPacketInternal* placeInDataBlock(void* block, std::uint64_t granted, std::uint64_t tail,
                                                         std::uint64_t size, std::uint64_t extraSize) {
    auto* start = static_cast<unsigned char*>(block);
    OldPacketInternal* record = placeRecordBefore(start + granted);
    record->m_buffer = start;
    record->m_size = size;
    record->m_capacity = granted - tail;
    record->m_extra = start + record->m_capacity;
    record->m_extraSize = extraSize;
    return record;
}

// The bytes of a C-heap block that holds extra data and a record; also the
// tail of a block that holds data, extra data and a record.
std::uint64_t heapBlockBytes(const PacketManagerInternal& core, std::uint64_t extraSize) {
    return core.align(extraSize + core.recordRoom);
}

// The record in a C-heap block of the given bytes: extra data at the start,
// the record at the end.
OldPacketInternal* placeInHeapBlock(void* block, std::uint64_t bytes, std::uint64_t extraSize) {
    auto* start = static_cast<unsigned char*>(block);
    OldPacketInternal* record = placeRecordBefore(start + bytes);
    record->m_extra = start;
    record->m_extraSize = extraSize;
    return record;
}

// Extra data and record in one C-heap block. Null (reported) when the heap
// has no room.
OldPacketInternal* createInHeapBlock(const PacketManagerInternal& core, std::uint64_t extraSize) {
    const std::uint64_t bytes = heapBlockBytes(core, extraSize);
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        reportHeapFailure(bytes);
        return nullptr;
    }
    return placeInHeapBlock(block, bytes, extraSize);
}

// A record of its own, with the extra data (if any) in a block of exactly its size.
OldPacketInternal* createStandalone(std::uint64_t extraSize) {
    auto* record = new (std::nothrow) OldPacketInternal;
    if (record == nullptr) {
        reportHeapFailure(sizeof(OldPacketInternal));
        return nullptr;
    }
    new (&record->m_deleter) OldPacketInternal::BufferProc();
    new (&record->m_release) OldPacketInternal::BufferProc();
    if (extraSize != 0) {
        record->m_extra = std::malloc(extraSize);
        if (record->m_extra == nullptr) {
            delete record;
            reportHeapFailure(extraSize);
            return nullptr;
        }
        record->m_extraSize = extraSize;
    }
    record->m_source = OldPacketInternal::sourceCaller;
    return record;
}

// Manager packets made and given back in a few steps, where the core lets
// packets take their memory directly (see PacketManagerInternal::direct):
// the commonest packets, kept apart from the general path. When the memory
// is not there they give null, and create() goes through the core's
// operations, which try again and report what fails.
//
// The handle's constructor and destructor do the commonest of these
// themselves and hand everything else on as a tail call, so that they need
// no frame of their own: taking a pool packet's block back from the pool,
// or holding it back again, makes no call at all (see
// BuddyPool::takeBack).

// A packet whose data, extra data and record share one block: from the C
// heap, or from the pool (whose held-back block the caller has already
// tried to take back).
DOZUV2_ALWAYS_INLINE OldPacketInternal* createInOneBlock(PacketManagerInternal& core, bool fromPool, std::uint64_t size,
                                                         std::uint64_t extraSize) {
    const std::uint64_t tail = heapBlockBytes(core, extraSize);
    std::uint64_t granted = core.align(size) + tail;
    void* block = fromPool ? core.pool.allocateSlow(granted) : std::malloc(granted);
    return block != nullptr ? placeInDataBlock(block, granted, tail, size, extraSize) : nullptr;
}

// A packet whose data is a pool block of its own.
OldPacketInternal* createWithPoolBuffer(PacketManagerInternal& core, std::uint64_t size, std::uint64_t extraSize) {
    if (size == 0) {
        return nullptr;
    }
    std::uint64_t granted = size;
    void* buffer = core.pool.allocate(granted);
    if (buffer == nullptr) {
        return nullptr;
    }
    const std::uint64_t bytes = heapBlockBytes(core, extraSize);
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        core.pool.release(buffer);
        return nullptr;
    }
    OldPacketInternal* record = placeInHeapBlock(block, bytes, extraSize);
    record->m_buffer = static_cast<unsigned char*>(buffer);
    record->m_size = size;
    record->m_capacity = granted;
    return record;
}

bool fitsLayout(std::uint64_t size, std::uint64_t extraSize) {
    return size < kLargestRequest && extraSize < kLargestRequest;
}

// The constructor's tail: the packet from the memory kDirect names (for
// the pool, after its block could not be taken back), or through the general
// path when that memory is not there or no direct memory applies. One body
// per kind, so that each tail tests nothing its caller has already settled.
template <PacketManagerInternal::Direct kDirect>
DOZUV2_NOINLINE void createInto(PacketInternal*& internal, PacketManagerInternal& core, std::uint64_t size,
                                std::uint64_t extraSize) {
    OldPacketInternal* record = nullptr;
    if constexpr (kDirect == PacketManagerInternal::directPool || kDirect == PacketManagerInternal::directHeap) {
        record = createInOneBlock(core, kDirect == PacketManagerInternal::directPool, size, extraSize);
    } else if constexpr (kDirect == PacketManagerInternal::directPoolBuffer) {
        record = createWithPoolBuffer(core, size, extraSize);
    }
    internal = record != nullptr ? record : OldPacketInternal::create(size, extraSize);
}

// The general path, without a core or for a size no block layout holds.
DOZUV2_NOINLINE void createInto(PacketInternal*& internal, std::uint64_t size, std::uint64_t extraSize) {
    internal = OldPacketInternal::create(size, extraSize);
}

DOZUV2_NOINLINE void destroyWithPoolBuffer(PacketManagerInternal& core, OldPacketInternal* record) {
    unsigned char* buffer = record->m_buffer;
    void* heapBlock = record->m_extra;
    record->~OldPacketInternal();
    core.pool.release(buffer);
    std::free(heapBlock);
}

// Drops a handle's count on its record. A count of 1 seen by the holder
// means no other handle exists (see release()), and the record goes
// directly where it can.
DOZUV2_ALWAYS_INLINE void drop(PacketInternal* internal) {
    OldPacketInternal* record = recordOf(internal);
    // (A manager packet is never of the attach-later form.)
    if (record->m_count.load(std::memory_order_acquire) == 1 && record->m_source == OldPacketInternal::sourceManager) {
        PacketManagerInternal* core = PacketManagerCore::existing();
        // The record lives in what is given back: it goes first.
        unsigned char* block = record->m_buffer;
        const PacketManagerInternal::Direct direct = core->directNow();
        if (direct == PacketManagerInternal::directPool) {
            record->~OldPacketInternal();
            if (!core->pool.holdBackAgain(block)) {
                core->pool.releaseSlow(block);
            }
            return;
        }
        if (direct == PacketManagerInternal::directHeap) {
            record->~OldPacketInternal();
            std::free(block);
            return;
        }
        if (direct == PacketManagerInternal::directPoolBuffer) {
            destroyWithPoolBuffer(*core, record);
            return;
        }
    }
    record->release();
}

} // namespace

// ---- Creation ----

DOZUV2_NOINLINE OldPacketInternal* OldPacketInternal::create(std::uint64_t size, std::uint64_t extraSize) {
    PacketManagerInternal& core = packetManagerCore();
    switch (core.policy) {
    case CPacketManager::policySystem:
    case CPacketManager::policyPool: {
        const std::uint64_t tail = heapBlockBytes(core, extraSize);
        std::uint64_t granted = core.align(size) + tail;
        void* block = size < kLargestRequest && extraSize < kLargestRequest ? core.allocate(core, granted) : nullptr;
        if (block == nullptr) {
            VIRAD_REPORT(Virad::LOG_WARN, "PacketInternal::create(): NO enough, need size:%zu ext:%zu\n",
                         static_cast<std::size_t>(size), static_cast<std::size_t>(extraSize));
            return nullptr;
        }
        return placeInDataBlock(block, granted, tail, size, extraSize);
    }
    case CPacketManager::policyPoolBuffer: {
        if (size >= kLargestRequest || extraSize >= kLargestRequest) {
            VIRAD_REPORT(Virad::LOG_WARN, "PacketInternal::create(): 2 NO enough, need size:%zu ext:%zu\n",
                         static_cast<std::size_t>(size), static_cast<std::size_t>(extraSize));
            return nullptr;
        }
        std::uint64_t granted = size;
        void* buffer = nullptr;
        if (size != 0) {
            buffer = core.allocate(core, granted);
            if (buffer == nullptr) {
                VIRAD_REPORT(Virad::LOG_WARN, "PacketInternal::create(): 2 NO enough, need size:%zu ext:%zu\n",
                             static_cast<std::size_t>(size), static_cast<std::size_t>(extraSize));
                return nullptr;
            }
        }
        OldPacketInternal* record = createInHeapBlock(core, extraSize);
        if (record == nullptr) {
            core.release(core, buffer);
            return nullptr;
        }
        record->m_buffer = static_cast<unsigned char*>(buffer);
        record->m_size = size;
        record->m_capacity = granted;
        return record;
    }
    default:
        VIRAD_REPORT(Virad::LOG_DEBUG, "tracepoint:\n");
        return nullptr;
    }
}

OldPacketInternal* OldPacketInternal::createSlice(const CPacket& parent, std::uint64_t offset, std::uint64_t size,
                                                  std::uint64_t extraSize) {
    const std::uint64_t parentSize = parent.size();
    if (offset >= parentSize || size > parentSize - offset) {
        VIRAD_REPORT(Virad::LOG_WARN,
                     "PacketInternal::create() offset or size is invalid!! huge_size:%zu, offset:%zu, size:%zu\n",
                     static_cast<std::size_t>(parentSize), static_cast<std::size_t>(offset),
                     static_cast<std::size_t>(size));
        return nullptr;
    }
    if (extraSize >= kLargestRequest) {
        reportHeapFailure(extraSize);
        return nullptr;
    }
    OldPacketInternal* record = createInHeapBlock(packetManagerCore(), extraSize);
    if (record == nullptr) {
        return nullptr;
    }
    record->m_parent = new (std::nothrow) CPacket(parent);
    if (record->m_parent == nullptr) {
        void* block = record->m_extra;
        record->~OldPacketInternal();
        std::free(block);
        reportHeapFailure(sizeof(CPacket));
        return nullptr;
    }
    record->m_buffer = parent.getBuffer() + offset;
    record->m_size = size;
    record->m_capacity = size;
    record->m_source = sourceSlice;
    return record;
}

OldPacketInternal* OldPacketInternal::createForBuffer(void* buffer, std::uint64_t size, std::uint64_t extraSize,
                                                      const BufferProc& deleter) {
    OldPacketInternal* record = createStandalone(extraSize);
    if (record != nullptr) {
        record->m_buffer = static_cast<unsigned char*>(buffer);
        record->m_size = size;
        record->m_capacity = size;
        record->m_deleter = deleter;
    }
    return record;
}

OldPacketInternal* OldPacketInternal::createAttachLater(unsigned int size, const BufferProc& release, void* userValue,
                                                        std::uint64_t extraSize) {
    OldPacketInternal* record = createStandalone(extraSize);
    if (record != nullptr) {
        record->m_size = size;
        record->m_capacity = size;
        record->m_attached = true;
        record->m_release = release;
        record->m_userValue = userValue;
    }
    return record;
}

// ---- The record's operations ----

std::uint64_t OldPacketInternal::putBuffer(void* data, std::uint64_t length) {
    if (m_attached) {
        m_buffer = static_cast<unsigned char*>(data);
        m_size = length;
        m_bufferAttached = true;
        return length;
    }
    const std::uint64_t room = m_capacity - m_size;
    const std::uint64_t n = length < room ? length : room;
    if (n != 0 && data != nullptr) {
        PacketManagerInternal& core = packetManagerCore();
        core.copy(core, m_buffer + m_size, data, n);
        m_size += n;
        return n;
    }
    return 0;
}

DOZUV2_NOINLINE void OldPacketInternal::destroy() {
    if (m_attached) {
        std::free(m_extra);
        if (m_bufferAttached && !m_release.empty()) {
            m_release(m_userValue, m_capacity);
        }
        delete this;
        return;
    }
    switch (m_source) {
    case sourceManager: {
        // Read what is needed first: the record lives inside what is given back.
        PacketManagerInternal& core = packetManagerCore();
        unsigned char* buffer = m_buffer;
        void* heapBlock = m_extra;
        switch (core.policy) {
        case CPacketManager::policySystem:
        case CPacketManager::policyPool:
            this->~OldPacketInternal();
            core.release(core, buffer);
            break;
        case CPacketManager::policyPoolBuffer:
            this->~OldPacketInternal();
            if (buffer != nullptr) {
                core.release(core, buffer);
            }
            std::free(heapBlock);
            break;
        default:
            break;
        }
        return;
    }
    case sourceSlice: {
        CPacket* parent = m_parent;
        void* heapBlock = m_extra;
        this->~OldPacketInternal();
        delete parent;
        std::free(heapBlock);
        return;
    }
    case sourceCaller: {
        if (!m_deleter.empty()) {
            m_deleter(m_buffer, m_size);
        }
        void* extra = m_extra;
        delete this;
        std::free(extra);
        return;
    }
    }
    Virad::Detail::assertionFailedMsg("false", "PacketInternal::destroy(): unreachable!\n", DOZUV2_FUNCTION_SIGNATURE,
                                      __FILE__, __LINE__);
}

// ---- The handle ----

CPacket::CPacket() : m_internal(nullptr) {}

CPacket::CPacket(std::uint64_t size, std::uint64_t extraSize) : m_internal(nullptr) {
    PacketManagerInternal* core = PacketManagerCore::existing();
    if (core != nullptr && fitsLayout(size, extraSize)) {
        const PacketManagerInternal::Direct direct = core->directNow();
        if (direct == PacketManagerInternal::directPool) {
            const std::uint64_t tail = heapBlockBytes(*core, extraSize);
            std::uint64_t granted = core->align(size) + tail;
            if (void* block = core->pool.takeBack(granted)) {
                m_internal = placeInDataBlock(block, granted, tail, size, extraSize);
                return;
            }
            createInto<PacketManagerInternal::directPool>(m_internal, *core, size, extraSize);
            return;
        }
        if (direct == PacketManagerInternal::directHeap) {
            createInto<PacketManagerInternal::directHeap>(m_internal, *core, size, extraSize);
            return;
        }
        if (direct == PacketManagerInternal::directPoolBuffer) {
            createInto<PacketManagerInternal::directPoolBuffer>(m_internal, *core, size, extraSize);
            return;
        }
    }
    createInto(m_internal, size, extraSize);
}

CPacket::CPacket(void* buffer, std::uint64_t size, BufferProc deleter)
    : m_internal(OldPacketInternal::createForBuffer(buffer, size, 0, deleter)) {}

CPacket::CPacket(void* buffer, std::uint64_t size, std::uint64_t extraSize, BufferProc deleter)
    : m_internal(OldPacketInternal::createForBuffer(buffer, size, extraSize, deleter)) {}

CPacket::CPacket(const CPacket& other) : m_internal(other.m_internal) {
    if (m_internal != nullptr) {
        recordOf(m_internal)->addRef();
    }
}

CPacket::CPacket(const CPacket& parent, std::uint64_t offset, std::uint64_t size, std::uint64_t extraSize)
    : m_internal(OldPacketInternal::createSlice(parent, offset, size, extraSize)) {}

CPacket::CPacket(unsigned int size, BufferProc release, void* userValue, std::uint64_t extraSize)
    : m_internal(OldPacketInternal::createAttachLater(size, release, userValue, extraSize)) {}

CPacket& CPacket::operator=(const CPacket& other) {
    if (other.m_internal != m_internal) {
        // Count the new record first: the old one may be what keeps it alive.
        if (other.m_internal != nullptr) {
            recordOf(other.m_internal)->addRef();
        }
        PacketInternal* old = m_internal;
        m_internal = other.m_internal;
        if (old != nullptr) {
            drop(old);
        }
    }
    return *this;
}

CPacket& CPacket::operator=(CPacket&& other) noexcept {
    if (&other != this) {
        PacketInternal* old = m_internal;
        m_internal = other.m_internal;
        other.m_internal = nullptr;
        if (old != nullptr) {
            drop(old);
        }
    }
    return *this;
}

CPacket::~CPacket() {
    if (m_internal != nullptr) {
        drop(m_internal);
    }
}

void CPacket::reset() {
    PacketInternal* old = m_internal;
    m_internal = nullptr;
    if (old != nullptr) {
        drop(old);
    }
}

bool CPacket::valid() const {
    return m_internal != nullptr;
}

std::uint64_t CPacket::putBuffer(void* data, std::uint64_t length) {
    return m_internal != nullptr ? recordOf(m_internal)->putBuffer(data, length) : 0;
}

unsigned char* CPacket::getBuffer() const {
    return m_internal != nullptr ? recordOf(m_internal)->getBuffer() : nullptr;
}

std::uint64_t CPacket::size() const {
    return m_internal != nullptr ? recordOf(m_internal)->size() : 0;
}

std::uint64_t CPacket::capacity() const {
    return m_internal != nullptr ? recordOf(m_internal)->capacity() : 0;
}

bool CPacket::resize(std::uint64_t size) {
    return m_internal != nullptr && recordOf(m_internal)->resize(size);
}

void* CPacket::getExtraData() const {
    return m_internal != nullptr ? recordOf(m_internal)->getExtraData() : nullptr;
}

std::uint64_t CPacket::getExtraSize() const {
    return m_internal != nullptr ? recordOf(m_internal)->getExtraSize() : 0;
}

} // namespace Memory
} // namespace Orvane
