// The older global packet and packet manager, over Orvane::Memory's.
#include "legacy/LegacyPacket.h"

#include "Src/Common/ProcessWide.h"
#include "memory/PacketManager.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

using Handle = Orvane::Memory::CPacket;

// The header size of every legacy packet; set by IPacketManager::config.
std::atomic<std::uint32_t> g_headerSize{128};

std::uint64_t headerSize() {
    return g_headerSize.load(std::memory_order_relaxed);
}

// A heap handle of the packet, or null when the packet is invalid (or the
// handle cannot be allocated): a legacy packet only ever holds a valid one.
Handle* keepIfValid(const Handle& packet) {
    return packet.valid() ? new (std::nothrow) Handle(packet) : nullptr;
}

} // namespace

CPacket::CPacket() : m_internal(nullptr) {}

CPacket::CPacket(unsigned long size) : m_internal(keepIfValid(Handle(size, headerSize()))) {}

CPacket::CPacket(unsigned int size, ReleaseProc release, void* userValue)
    : m_internal(keepIfValid(Handle(size, release, userValue, headerSize()))) {}

CPacket::CPacket(const CPacket& other)
    : m_internal(other.m_internal != nullptr ? keepIfValid(*other.m_internal) : nullptr) {}

CPacket::CPacket(const Orvane::Memory::CPacket& other) : m_internal(keepIfValid(other)) {}

CPacket& CPacket::operator=(const CPacket& other) {
    if (other.m_internal == nullptr) {
        delete m_internal;
        m_internal = nullptr;
    } else if (m_internal != nullptr) {
        *m_internal = *other.m_internal;
    } else {
        m_internal = keepIfValid(*other.m_internal);
    }
    return *this;
}

CPacket& CPacket::operator=(CPacket&& other) noexcept {
    if (&other != this) {
        delete m_internal;
        m_internal = other.m_internal;
        other.m_internal = nullptr;
    }
    return *this;
}

CPacket::~CPacket() {
    delete m_internal;
}

CPacket::operator Orvane::Memory::CPacket() const {
    return m_internal != nullptr ? *m_internal : Handle();
}

bool CPacket::Valid() const {
    return m_internal != nullptr;
}

bool CPacket::Invalid() const {
    return m_internal == nullptr;
}

unsigned char* CPacket::GetBuffer() const {
    return m_internal != nullptr ? m_internal->getBuffer() : nullptr;
}

unsigned long CPacket::GetSize() const {
    return m_internal != nullptr ? static_cast<unsigned long>(m_internal->capacity()) : 0;
}

unsigned long CPacket::GetLength() const {
    return m_internal != nullptr ? static_cast<unsigned long>(m_internal->size()) : 0;
}

unsigned long CPacket::SetLength(unsigned long length) {
    return m_internal != nullptr && m_internal->resize(length) ? 1 : 0;
}

unsigned long CPacket::GetLeft() const {
    return m_internal != nullptr ? static_cast<unsigned long>(m_internal->capacity() - m_internal->size()) : 0;
}

unsigned long CPacket::PutBuffer(void* data, unsigned long length) {
    return m_internal != nullptr ? static_cast<unsigned long>(m_internal->putBuffer(data, length)) : 0;
}

unsigned char* CPacket::GetHeader() const {
    return m_internal != nullptr ? static_cast<unsigned char*>(m_internal->getExtraData()) : nullptr;
}

unsigned long CPacket::GetHeaderSize() const {
    return m_internal != nullptr ? static_cast<unsigned long>(m_internal->getExtraSize()) : 0;
}

void CPacket::ClearHeader() {
    if (m_internal != nullptr && m_internal->getExtraData() != nullptr) {
        std::memset(m_internal->getExtraData(), 0, m_internal->getExtraSize());
    }
}

// ---- The legacy packet manager ----

// Holds nothing of its own: every call goes to the current packet manager.
class CPacketManager final : public IPacketManager {
public:
    unsigned long GetBufferSize() override { return static_cast<unsigned long>(current()->getBufferSize()); }
    unsigned long GetFreeSize() override { return static_cast<unsigned long>(current()->getFreeSize()); }
    void DumpNodes() override { current()->dumpNodes(); }

private:
    static Orvane::Memory::CPacketManager* current() { return Orvane::Memory::CPacketManager::instance(); }
};

IPacketManager::~IPacketManager() = default;

IPacketManager* IPacketManager::instance() {
    // Never torn down: it owns nothing, and a caller may keep the pointer
    // into exit handlers.
    return Orvane::Common::ProcessWide<CPacketManager, Orvane::Common::AtExit::never>::instance(
        [] { return new (std::nothrow) CPacketManager; });
}

void IPacketManager::config(int totalSize, int chunkSize, int headerSize) {
    g_headerSize.store(static_cast<std::uint32_t>(headerSize), std::memory_order_relaxed);
    Orvane::Memory::CPacketManager::PoolParameter param;
    param.totalSize = static_cast<std::uint64_t>(totalSize);
    param.chunkSize = static_cast<std::uint64_t>(chunkSize);
    param.alignSize = 4;
    Orvane::Memory::CPacketManager::config(Orvane::Memory::CPacketManager::policyPoolBuffer, nullptr, &param);
}
