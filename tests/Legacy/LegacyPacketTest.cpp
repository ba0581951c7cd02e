// The global CPacket with its header area and IPacketManager, over
// Orvane::Memory's packets and manager; compiled with both umbrella headers
// and the using-directive the README shows.
#include <Dozuv2.h>
#include <Dozuv2Legacy.h>

#include "support/Testing.h"

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;

TEST(LegacyPacketTest, APacketHasAHeaderAreaBesideItsData) {
    ::CPacket packet(100ul);
    ASSERT_TRUE(packet.Valid());
    EXPECT_FALSE(packet.Invalid());
    EXPECT_EQ(packet.GetHeaderSize(), 128u);
    EXPECT_EQ(packet.GetLength(), 100u);
    EXPECT_EQ(packet.GetLeft(), packet.GetSize() - 100);
    std::memset(packet.GetHeader(), 0xA5, 128);
    std::memset(packet.GetBuffer(), 0x5A, packet.GetSize()); // the header lies outside the data
    packet.ClearHeader();
    EXPECT_EQ(std::vector<unsigned char>(packet.GetHeader(), packet.GetHeader() + 128),
              std::vector<unsigned char>(128, 0));
    const unsigned long size = packet.GetSize();
    EXPECT_EQ(std::vector<unsigned long>({packet.SetLength(size + 1), packet.SetLength(size), packet.GetLeft(),
                                          packet.SetLength(0), packet.PutBuffer(const_cast<char*>("abc"), 3),
                                          packet.GetLength()}),
              std::vector<unsigned long>({0, 1, 0, 1, 3, 3}));
}

TEST(LegacyPacketTest, HandlesShareOneBlockAndAnInvalidPacketHoldsNothing) {
    ::CPacket original(64ul), target;
    const ::CPacket back(static_cast<Orvane::Memory::CPacket>(original)), copy(back);
    target = copy;
    EXPECT_EQ(back.GetBuffer(), original.GetBuffer());
    EXPECT_EQ(target.GetHeader(), original.GetHeader());
    CapturePrinter quiet;
    ::CPacket invalid(std::uint64_t{1} << 62); // more than the packet manager can give
    EXPECT_TRUE(invalid.Invalid());
    EXPECT_FALSE(invalid.Valid());
    EXPECT_EQ(invalid.GetBuffer(), nullptr);
    EXPECT_FALSE(::CPacket().Valid());
    // Size, length, room left, header size, an append and a new length.
    EXPECT_EQ(
        std::vector<unsigned long>({invalid.GetSize(), invalid.GetLength(), invalid.GetLeft(), invalid.GetHeaderSize(),
                                    invalid.PutBuffer(&target, 1), invalid.SetLength(0)}),
        std::vector<unsigned long>(6, 0));
    EXPECT_FALSE(static_cast<Orvane::Memory::CPacket>(invalid).valid());
    EXPECT_FALSE(::CPacket(Orvane::Memory::CPacket()).Valid());
    target = invalid;
    EXPECT_TRUE(target.Invalid());
    EXPECT_TRUE(original.Valid());
    EXPECT_EQ(target.GetHeader(), nullptr);
}

TEST(LegacyPacketTest, MovesHandTheBlockOverAndLeaveTheSourceInvalid) {
    static_assert(std::is_nothrow_move_constructible<::CPacket>::value, "");
    ::CPacket source(64ul), other(32ul);
    unsigned char* const block = source.GetBuffer();
    ::CPacket moved(std::move(source));
    EXPECT_TRUE(source.Invalid());
    EXPECT_EQ(moved.GetBuffer(), block);
    ::CPacket& alias = moved;
    moved = std::move(alias); // into itself: kept
    other = std::move(moved);
    EXPECT_TRUE(moved.Invalid());
    EXPECT_EQ(other.GetBuffer(), block);
    EXPECT_EQ(other.GetLength(), 64u);
}

TEST(LegacyPacketTest, AnAttachLaterPacketTakesTheCallersBufferAndGivesItBack) {
    static std::vector<std::uint64_t> released; // user value's first byte, capacity
    released.clear();
    char data[48] = "attached";
    {
        ::CPacket packet(48u, ::CPacket::ReleaseProc(+[](void* user, std::uint64_t capacity) {
                             released = {static_cast<unsigned char>(*static_cast<char*>(user)), capacity};
                         }),
                         data);
        EXPECT_EQ(packet.PutBuffer(data, 40), 40u);
        EXPECT_EQ(packet.GetLength(), 40u);
        EXPECT_EQ(packet.GetBuffer(), reinterpret_cast<unsigned char*>(data));
        EXPECT_EQ(packet.GetHeaderSize(), 128u);
        EXPECT_TRUE(released.empty());
    }
    EXPECT_EQ(released, std::vector<std::uint64_t>({'a', 48}));
}

TEST(LegacyPacketTest, ConfigPoolsPacketDataBeforeTheFirstPacket) {
    // The packet manager's configuration freezes at first use: a fresh process of its own.
    Orvane::Testing::expectInFreshProcess([] {
        CapturePrinter quiet;
        IPacketManager::config(4194304, 2048, 64);
        IPacketManager* manager = IPacketManager::instance();
        const unsigned long free = manager->GetFreeSize();
        const ::CPacket packet(100ul);
        manager->DumpNodes();
        EXPECT_EQ(manager, IPacketManager::instance());
        EXPECT_EQ(std::vector<unsigned long>({manager->GetBufferSize(), free, manager->GetFreeSize(), packet.GetSize(),
                                              packet.GetHeaderSize()}),
                  std::vector<unsigned long>({4194304, 4194304, 4194304 - 2048, 2048, 64}));
    });
}

// The directive's names are nearer than the global ones inside the library's
// namespace, so there the names both interfaces use need no qualification;
// at global scope only the names they do not share are used bare.
namespace Orvane {
namespace Testing {
using namespace Orvane::Virad;

TEST(LegacyPacketTest, OlderAndCurrentClassesLiveSideBySide) {
    CMutex current;
    ::CMutex older;
    CGuard guard(current);
    ::CGuard olderGuard(older);
    EXPECT_TRUE(older.Leave()) << "the older guard owns it";
    EXPECT_TRUE(older.Enter());
    static_assert(!std::is_same<CTime, ::CTime>::value && !std::is_same<CGuard, ::CGuard>::value, "distinct");
    EXPECT_EQ(::CTime(2000, 1, 1, 0, 0, 0).year, CTime::minTime.year);
    EXPECT_EQ(flex_string("x").size(), 1u);
}

} // namespace Testing
} // namespace Orvane
