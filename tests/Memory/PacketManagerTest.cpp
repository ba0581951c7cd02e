// The packet manager with the test's memory operator: the system policy in
// this process; rules that need a manager not yet created, and the other
// policies, in fresh processes.
#include "memory/PacketManager.h"

#include "Src/Memory/PacketInternal.h"
#include "Src/Platform/Platform.h"
#include "memory/Packet.h"
#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::CPacket;
using Orvane::Memory::CPacketManager;
using Orvane::Memory::OldPacketInternal;

// The test's memory operator: records calls ("malloc 100", "free", "copy") and can be told to refuse.
static Lines g_calls;
static void* g_lastFreed = nullptr;
static bool g_refuse = false;

static Lines calls() { // and forgets them
    return std::exchange(g_calls, Lines{});
}

static CPacketManager::MemoryOperator countingOperator() {
    CPacketManager::MemoryOperator memop;
    memop.malloc = +[](std::size_t size) {
        g_calls.push_back("malloc " + std::to_string(size));
        return g_refuse ? nullptr : std::malloc(size);
    };
    memop.free = +[](void* pointer) {
        g_calls.push_back("free");
        g_lastFreed = pointer;
        std::free(pointer);
    };
    memop.memcpy = +[](void* destination, const void* source, std::size_t length) {
        g_calls.push_back("copy");
        return std::memcpy(destination, source, length);
    };
    return memop;
}

// The pool memory of the pool policy, in a process that made that manager.
static void* g_poolMemory = nullptr;

// Before any test (and in every re-executed death-test child). At the very end, after the manager's exit
// handler and the packet held below, the pool memory must have gone back through the operator.
[[maybe_unused]] static const bool g_configured = [] {
    const CPacketManager::MemoryOperator memop = countingOperator();
    CPacketManager::config(CPacketManager::policySystem, &memop, nullptr);
    std::atexit(+[] {
        if (g_poolMemory != nullptr && g_lastFreed != g_poolMemory) {
            std::fprintf(stderr, "the pool was not given back at exit\n");
            std::_Exit(3);
        }
    });
    return true;
}();

// Sets the pool sizes (before the manager is made) and the policy.
static void configurePool(CPacketManager::Policy policy, std::uint64_t total, std::uint64_t chunk,
                          std::uint64_t align) {
    CPacketManager::PoolParameter param;
    param.totalSize = total;
    param.chunkSize = chunk;
    param.alignSize = align;
    CPacketManager::config(policy, nullptr, &param);
}

// The manager, made without printing: a pool policy reports the pool it makes.
static CPacketManager& quietManager() {
    CapturePrinter quiet;
    return *CPacketManager::instance();
}

// Where chunk 0 starts: the first chunk-aligned address of the pool memory.
static unsigned char* poolBase(CPacketManager& m, std::uint64_t chunk) {
    const auto memory = reinterpret_cast<std::uintptr_t>(m.getPoolBuffer());
    return reinterpret_cast<unsigned char*>((memory + chunk - 1) & ~std::uintptr_t{chunk - 1});
}

// Constructed after the check above was registered, so destroyed before it runs, and after the manager's
// exit handler closed the pool.
static CPacket g_heldUntilExit;
static constexpr std::uint64_t kPoolTotal = 2097152, kPoolChunk = 1024;

// Runs the body in a fresh process with the pool policy: 2 MiB of 1 KiB chunks. The body gives back what it
// takes; then a packet is taken that is released only after the pool was closed at exit.
template <typename Body> void withPool(Body body) {
    expectInFreshProcess([&body] {
        configurePool(CPacketManager::policyPool, kPoolTotal, kPoolChunk, 4);
        CPacketManager& m = quietManager();
        g_poolMemory = m.getPoolBuffer();
        body(m);
        g_heldUntilExit = CPacket(5000, 16);
    });
}

static std::string dumped(CPacketManager& m) {
    return stdoutOf([&] { m.dumpNodes(); });
}

static std::string holder(std::uint32_t thread, int kilobytes) {
    return "ThreadID " + std::to_string(thread) + "  nodes= 1  size(K)= " + std::to_string(kilobytes) + "\n";
}

static std::uint64_t align4(std::uint64_t n) {
    return (n + 3) & ~std::uint64_t{3};
}

TEST(PacketManagerTest, SystemPolicyUsesTheOperatorForOneBlockPerPacketAndIgnoresLateConfig) {
    CPacketManager* manager = CPacketManager::instance();
    EXPECT_EQ(manager->getPoolBuffer(), nullptr);
    EXPECT_EQ(manager->getFreeSize(), 0u);
    EXPECT_EQ(manager->getBufferSize(), 0u);
    calls();
    void* block = manager->malloc(100);
    char text[] = "through the operator";
    EXPECT_EQ(manager->memcpy(block, text, sizeof text), block);
    manager->free(block);
    EXPECT_EQ(g_lastFreed, block);
    unsigned char* start = nullptr;
    {
        CPacket packet(101, 7);
        ASSERT_TRUE(packet.valid());
        start = packet.getBuffer();
        ASSERT_TRUE(packet.resize(100));
        const unsigned char tail[4] = {1, 2, 3, 4};
        EXPECT_EQ(packet.putBuffer(const_cast<unsigned char*>(tail), 4), 4u);
    }
    // The system policy asks for exactly the size. A packet's buffer, extra data and record share one block,
    // whose start is the buffer; appends copy through the operator.
    EXPECT_EQ(calls(), (Lines{"malloc 100", "copy", "free",
                              "malloc " + std::to_string(align4(101) + align4(7 + OldPacketInternal::recordRoom(4))),
                              "copy", "free"}));
    EXPECT_EQ(g_lastFreed, start);
    g_refuse = true;
    EXPECT_EQ(reported([] { EXPECT_FALSE(CPacket(100, 8).valid()); }),
              Lines{"PacketInternal::create(): NO enough, need size:100 ext:8\n"});
    g_refuse = false;

    CPacketManager::PoolParameter param;
    EXPECT_EQ(reported([&] { CPacketManager::config(CPacketManager::policyPool, nullptr, &param); }),
              Lines{"PacketManagerInternal::config() failured: Packet Manager has been configured!\n"});
    EXPECT_EQ(manager->getBufferSize(), 0u) << "still the system policy";
    // The statistics lines are the pooled test's; without statistics only the policy is named.
    std::string out = "?";
    EXPECT_EQ(reported([&] { out = stdoutOf([&] { manager->dumpNodes(); }); }),
              Lines{"CPacketManager dump: SYS Policy\n"});
    EXPECT_EQ(out, "");
}

TEST(PacketManagerFreshTest, CreationAnnouncesTheSystemPolicy) {
    expectInFreshProcess(
        [] { EXPECT_EQ(reported([] { CPacketManager::instance(); }), Lines{"CPacketManager: System Policy\n"}); });
}

TEST(PacketManagerFreshTest, PolicyZeroKeepsThePolicyWhileParametersChange) {
    expectInFreshProcess([] {
        CapturePrinter quiet;
        CPacketManager::config(CPacketManager::policyPool, nullptr, nullptr);
        configurePool(CPacketManager::policyKeep, 4194304, 2048, 4);
        CPacketManager::config(static_cast<CPacketManager::Policy>(9), nullptr, nullptr); // unknown: kept
        CPacketManager* manager = CPacketManager::instance();
        void* block = manager->malloc(1);
        EXPECT_EQ(std::vector<std::uint64_t>({manager->getBufferSize(), manager->getFreeSize()}),
                  std::vector<std::uint64_t>({4194304, 4194304 - 2048}));
        manager->free(block);
    });
}

TEST(PacketManagerFreshTest, InvalidParametersAndOperatorsEndTheProcess) {
    Orvane::Testing::reexecuteDeathTests();
    CPacketManager::PoolParameter small, ragged, loose;
    small.chunkSize = 1023;
    small.totalSize = 1023 * 4;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &small),
                 "param->chunkSize >= 1024 && param->chunkSize > 0 && param->totalSize % param->chunkSize == 0");
    ragged.totalSize = 1024 * 10 + 1;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &ragged), "param->totalSize %");
    loose.alignSize = 3;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, nullptr, &loose), "param->alignSize >= 4");
    CPacketManager::MemoryOperator partial = countingOperator();
    partial.free = CPacketManager::MemoryOperator().free;
    EXPECT_DEATH(CPacketManager::config(CPacketManager::policyPool, &partial, nullptr),
                 "!memop->malloc\\.empty\\(\\) && !memop->free\\.empty\\(\\) && !memop->memcpy\\.empty\\(\\)");
}

// Pooled packet data only: the extra data and the record come from the C heap.
TEST(PacketManagerFreshTest, PoolBufferPolicyTakesOnlyTheDataFromThePool) {
    expectInFreshProcess([] {
        constexpr std::uint64_t total = 65536, chunk = 2048;
        configurePool(CPacketManager::policyPoolBuffer, total, chunk, 16);
        CPacketManager& m = quietManager();
        const auto* pool = static_cast<unsigned char*>(m.getPoolBuffer()); // total and a spare chunk
        const auto inPool = [pool](const void* at) { return at >= pool && at < pool + total + chunk; };
        EXPECT_EQ(m.getBufferSize(), total);
        {
            CPacket packet(100, 24), larger(chunk + 1), empty(0, 8);
            ASSERT_TRUE(packet.valid());
            ASSERT_TRUE(larger.valid());
            ASSERT_TRUE(empty.valid());
            // The capacity is the granted pool block: no room is taken from the data for the record.
            EXPECT_EQ(
                std::vector<std::uint64_t>({packet.size(), packet.capacity(), larger.capacity(), empty.capacity()}),
                std::vector<std::uint64_t>({100, 2048, 4096, 0}));
            EXPECT_PRED1(inPool, packet.getBuffer());
            EXPECT_FALSE(inPool(packet.getExtraData())) << packet.getExtraData();
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(packet.getExtraData()) % 16, 0u);
            std::memset(packet.getExtraData(), 0x11, 24);
            std::memset(packet.getBuffer(), 0x22, packet.capacity());
            EXPECT_EQ(empty.getBuffer(), nullptr) << "an empty packet takes nothing from the pool";
            EXPECT_NE(empty.getExtraData(), nullptr);
            unsigned char byte = 1;
            EXPECT_EQ(empty.putBuffer(&byte, 1), 0u);
            EXPECT_EQ(m.getFreeSize(), total - 3 * chunk);
        }
        EXPECT_EQ(m.getFreeSize(), total);
        EXPECT_EQ(reported([&] { m.dumpNodes(); }), Lines{"CPacketManager dump: SYS Policy\n"});

        std::vector<CPacket> held(32);
        for (CPacket& packet : held) {
            packet = CPacket(chunk);
            ASSERT_TRUE(packet.valid());
        }
        EXPECT_EQ(m.getFreeSize(), 0u);
        EXPECT_EQ(reported([] { EXPECT_FALSE(CPacket(1, 4).valid()); }),
                  (Lines{"CPacket No Free Space, totalSize:65536, freeSize:0 \n",
                         "PacketInternal::create(): 2 NO enough, need size:1 ext:4\n"}));
        held.clear();
        EXPECT_EQ(m.getFreeSize(), total);
    });
}

// The manager allocates through the memory operator but makes no packets;
// packets over the caller's own buffers still work.
TEST(PacketManagerFreshTest, NoPacketPolicyKeepsTheManagerAndCallersBuffers) {
    expectInFreshProcess([] {
        CPacketManager::config(CPacketManager::policyNoPacket, nullptr, nullptr);
        calls();
        CapturePrinter capture(true, 6);
        EXPECT_FALSE(CPacket(100, 8).valid());
        CPacketManager* m = CPacketManager::instance();
        EXPECT_EQ(m->getBufferSize(), 0u);
        EXPECT_EQ(m->getFreeSize(), 0u);
        EXPECT_EQ(m->getPoolBuffer(), nullptr);
        void* block = m->malloc(32);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(m->memcpy(block, "policy four", 12), block);
        m->free(block);
        m->dumpNodes();
        EXPECT_EQ(capture.bodies(), Lines{"tracepoint:\n"}) << "no shortage is reported, nothing to dump";

        unsigned char bytes[16] = {};
        CPacket wrapped(bytes, sizeof bytes, CPacket::BufferProc());
        ASSERT_TRUE(wrapped.resize(4));
        EXPECT_EQ(wrapped.putBuffer(const_cast<char*>("abcdef"), 6), 6u);
        EXPECT_TRUE(CPacket(wrapped, 4, 6).valid());
        EXPECT_EQ(calls(), (Lines{"malloc 32", "copy", "free", "copy"})) << "the append copies through the operator";
    });
}

TEST(PacketManagerFreshTest, PoolStatisticsShowOneLinePerHoldingThreadAndExhaustionDumpsThem) {
    withPool([](CPacketManager& m) {
        m.enableNodesStatistics(true);
        void* whole = m.malloc(kPoolTotal);
        ASSERT_NE(whole, nullptr);
        CapturePrinter capture;
        EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(m.malloc(1), nullptr); }),
                  holder(Orvane::Platform::currentThreadId(), 2048) + "Total  unfree count = 1 packetUsed(K) 2048\n");
        EXPECT_EQ(std::vector<std::size_t>({capture.count("CPacket No Free Space, totalSize:2097152, freeSize:0 \n"),
                                            capture.count("CPacketManager: dump FreeList\n"),
                                            capture.count("BufferList id:"), capture.count("bufflist:")}),
                  (std::vector<std::size_t>{1, 1, 12, 0}))
            << "every list, all empty";
        m.free(whole);
        EXPECT_EQ(m.getFreeSize(), kPoolTotal);

        void* mine = m.malloc(3000);
        std::uint32_t otherId = 0;
        void* theirs = nullptr;
        std::thread([&] {
            otherId = Orvane::Platform::currentThreadId();
            theirs = m.malloc(100);
        }).join();
        const std::uint32_t selfId = Orvane::Platform::currentThreadId();

        capture.clear();
        const std::string mineLine = holder(selfId, 4), theirLine = holder(otherId, 1);
        EXPECT_EQ(dumped(m), (selfId < otherId ? mineLine + theirLine : theirLine + mineLine) +
                                 "Total  unfree count = 2 packetUsed(K) 5\n");
        EXPECT_NE(capture.count("bufflist:"), 0u) << "the split blocks are listed";
        m.free(theirs);
        EXPECT_EQ(dumped(m), mineLine + "Total  unfree count = 1 packetUsed(K) 4\n");
        m.enableNodesStatistics(false);
        m.enableNodesStatistics(true);
        m.free(mine);
        // Switching off forgets; freeing a block it forgot is fine.
        EXPECT_EQ(dumped(m), "Total  unfree count = 0 packetUsed(K) 0\n");
        {
            const CPacket packet(100); // packets take and give back their blocks through the statistics too
            EXPECT_EQ(dumped(m), holder(selfId, 1) + "Total  unfree count = 1 packetUsed(K) 1\n");
        }
        EXPECT_EQ(dumped(m), "Total  unfree count = 0 packetUsed(K) 0\n");
        m.enableNodesStatistics(false);
    });
}

TEST(PacketManagerFreshTest, PoolPacketsFillOnePoolBlockAndCopiesInsideThePoolUseTheOperator) {
    withPool([](CPacketManager& m) {
        const std::uint64_t extra = 40, room = align4(extra + OldPacketInternal::recordRoom(4));
        EXPECT_EQ(std::vector<std::uint64_t>({m.getBufferSize(), m.getFreeSize()}),
                  std::vector<std::uint64_t>(2, kPoolTotal));
        m.free(nullptr);
        {
            CPacket packet(100);
            ASSERT_TRUE(packet.valid());
            EXPECT_EQ(packet.getBuffer(), poolBase(m, kPoolChunk) + 2047 * kPoolChunk)
                << "the first block is the pool's top";
            EXPECT_EQ(packet.size(), 100u);
            // The capacity takes what the pool granted.
            EXPECT_EQ(packet.capacity(), kPoolChunk - align4(OldPacketInternal::recordRoom(4)));
            EXPECT_EQ(m.getFreeSize(), kPoolTotal - kPoolChunk);
            CPacket exact(kPoolChunk - room, extra);
            EXPECT_EQ(m.getFreeSize(), kPoolTotal - 2 * kPoolChunk) << "fits one chunk exactly";
            EXPECT_EQ(static_cast<unsigned char*>(exact.getExtraData()), exact.getBuffer() + exact.capacity());
            std::memset(exact.getExtraData(), 0xEE, extra);
            CPacket over(exact.capacity() + 1, extra);
            EXPECT_EQ(m.getFreeSize(), kPoolTotal - 4 * kPoolChunk) << "one byte more needs two chunks";
            EXPECT_EQ(over.capacity(), 2 * kPoolChunk - room);
        }
        EXPECT_EQ(m.getFreeSize(), kPoolTotal);

        // No room for the record beside 2 MiB of data; without statistics no node dump.
        std::string out = "?";
        EXPECT_EQ(reported([&] { out = stdoutOf([] { EXPECT_FALSE(CPacket(kPoolTotal, 0).valid()); }); }),
                  (Lines{"CPacket No Free Space, totalSize:2097152, freeSize:2097152 \n",
                         "PacketInternal::create(): NO enough, need size:2097152 ext:0\n"}));
        EXPECT_EQ(out, "");

        auto* a = static_cast<char*>(m.malloc(64));
        auto* b = static_cast<char*>(m.malloc(64));
        char outside[16] = "outside";
        calls();
        EXPECT_EQ(m.memcpy(a, outside, sizeof outside), a);
        EXPECT_EQ(m.memcpy(outside, a, 4), outside);
        EXPECT_EQ(calls(), Lines{}) << "to or from outside the pool: the C library's copy";
        EXPECT_EQ(m.memcpy(b, a, sizeof outside), b);
        CPacket source(16), target(64);
        ASSERT_TRUE(target.resize(0));
        EXPECT_EQ(target.putBuffer(source.getBuffer(), 16), 16u);
        EXPECT_EQ(calls(), (Lines{"copy", "copy"})) << "inside the pool the manager's copy and a packet append use it";
        m.free(a);
        m.free(b);
    });
}
