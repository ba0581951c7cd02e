// The shape every packet has, with nothing else in it, for the floors that
// the system-policy packet row is measured against.
//
// PacketRecordFields is a record with the fields every packet carries, in
// their order: the counted handle's target, which the layout puts in the
// last bytes of the packet's own heap block.
//
// PacketShape is a handle to such a record and nothing more: its constructor
// takes one heap block and writes the record at the block's end, its
// destructor gives the block back, with no policy, no count and no check.
// It is built as a shared library of its own, so a benchmark reaches it as a
// user reaches a packet: an exported constructor, getBuffer and virtual
// destructor, each a call through the dynamic linker's table. What a packet
// costs beyond it is the packet's own work; what it costs beyond malloc and
// free is what the exported interface costs any implementation behind it.
#ifndef DOZUV2_BENCH_PACKETSHAPE_H
#define DOZUV2_BENCH_PACKETSHAPE_H

#include <Dozuv2.h>

#include <atomic>
#include <cstdint>

namespace PacketBench {

struct PacketRecordFields {
    virtual ~PacketRecordFields() = default;
    std::atomic<std::uint64_t> count{1};
    unsigned char* buffer = nullptr;
    std::uint64_t size = 0;
    std::uint64_t capacity = 0;
    void* extra = nullptr;
    std::uint64_t extraSize = 0;
    std::uint8_t source = 0;
    bool attached = false;
    bool bufferAttached = false;
    Orvane::Memory::CPacket* parent = nullptr;
    Orvane::Memory::CPacket::BufferProc deleter;
    Orvane::Memory::CPacket::BufferProc release;
    void* userValue = nullptr;
};

class PacketShape {
public:
    explicit PacketShape(std::uint64_t size);
    PacketShape(const PacketShape&) = delete;
    PacketShape& operator=(const PacketShape&) = delete;
    virtual ~PacketShape();
    unsigned char* getBuffer() const;

private:
    PacketRecordFields* m_internal;
};

} // namespace PacketBench

#endif
