// Packet handles copied, sliced, assigned and dropped across four threads.
//
// Every caller's buffer carries its number and a byte pattern, and is freed
// by a counting release procedure. Checked: a buffer is never released while
// any thread still holds a handle to it (its pattern stays intact), and at the
// end every buffer ever wrapped was released exactly once.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "memory/Packet.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

using Orvane::Memory::CPacket;
using Orvane::Testing::onThreads;

namespace {

constexpr int kThreads = 4;
constexpr int kSlots = 64;
constexpr int kMaxHeld = 16;
constexpr std::uint64_t kBytes = 64;
constexpr unsigned kMaxBuffers = 1u << 22;

std::unique_ptr<std::atomic<int>[]> g_releases(new std::atomic<int>[ kMaxBuffers ]());
std::atomic<unsigned> g_created{0};

// A buffer: its number in the first four bytes, then its pattern.
unsigned char patternOf(unsigned id) {
    return static_cast<unsigned char>(id * 131u + 7u);
}

unsigned idOf(const unsigned char* bytes) {
    unsigned id;
    std::memcpy(&id, bytes, sizeof id);
    return id;
}

bool intact(const unsigned char* bytes, unsigned id) {
    for (std::uint64_t i = sizeof id; i < kBytes; ++i) {
        if (bytes[i] != patternOf(id)) {
            return false;
        }
    }
    return idOf(bytes) == id;
}

// Counts the release of a buffer and frees it; both the caller's-buffer and
// the attached-later forms hand it the buffer first.
void release(void* buffer, std::uint64_t) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    g_releases[idOf(bytes)].fetch_add(1);
    std::memset(bytes, 0, kBytes);
    std::free(bytes);
}

unsigned char* newBuffer(unsigned& id) {
    id = g_created.fetch_add(1);
    auto* bytes = static_cast<unsigned char*>(std::malloc(kBytes));
    std::memcpy(bytes, &id, sizeof id);
    std::memset(bytes + sizeof id, patternOf(id), kBytes - sizeof id);
    return bytes;
}

// A handle and the buffer it reaches: the number of a caller's buffer, or
// none for a packet from the manager.
struct Held {
    CPacket packet;
    long id = -1;
    std::uint64_t offset = 0; // where the buffer starts relative to the packet's data
};

struct Slot {
    std::mutex mutex; // one handle object is not used by two threads at once
    Held held;
};

struct Totals {
    std::atomic<long> wrapped{0}, attached{0}, fromManager{0}, slices{0}, copies{0}, assigns{0}, verified{0};
};

Held makePacket(std::mt19937& rng, Totals& totals) {
    Held made;
    const unsigned kind = Stress::below(rng, 3);
    if (g_created.load() >= kMaxBuffers - kThreads * 2 || kind == 0) {
        made.packet = CPacket(1 + Stress::below(rng, 2000), Stress::below(rng, 2) * 16);
        ++totals.fromManager;
        return made;
    }
    unsigned id;
    unsigned char* bytes = newBuffer(id);
    if (kind == 1) {
        made.packet = CPacket(bytes, kBytes, Stress::below(rng, 2) * 8, CPacket::BufferProc(&release));
        ++totals.wrapped;
    } else {
        made.packet = CPacket(static_cast<unsigned>(kBytes), CPacket::BufferProc(&release), bytes, 0);
        made.packet.putBuffer(bytes, kBytes);
        ++totals.attached;
    }
    made.id = id;
    return made;
}

void verify(Stress::Run& run, const Held& held) {
    if (held.id < 0) {
        return;
    }
    const auto id = static_cast<unsigned>(held.id);
    const unsigned char* start = held.packet.getBuffer() - held.offset;
    run.check(g_releases[id].load() == 0, "buffer " + std::to_string(id) + " is not released while a handle holds it");
    run.check(intact(start, id), "buffer " + std::to_string(id) + " stays intact while a handle holds it");
}

void churn(Stress::Run& run, Totals& totals, std::vector<Slot>& slots, int thread) {
    std::mt19937& rng = Stress::random(2000u + static_cast<unsigned>(thread));
    std::vector<Held> mine;
    while (run.running()) {
        Slot& slot = slots[Stress::below(rng, kSlots)];
        switch (Stress::below(rng, 6)) {
        case 0: { // copy a shared handle
            std::lock_guard<std::mutex> lock(slot.mutex);
            if (slot.held.packet.valid() && mine.size() < kMaxHeld) {
                mine.push_back(slot.held);
                ++totals.copies;
            }
            break;
        }
        case 1: { // replace a shared handle: a new packet, or one of ours
            Held next = mine.empty() || Stress::below(rng, 2) == 0 ? makePacket(rng, totals) : mine.back();
            std::lock_guard<std::mutex> lock(slot.mutex);
            slot.held = next;
            ++totals.assigns;
            break;
        }
        case 2: { // a slice of one of ours, keeping its parent alive
            if (mine.empty() || mine.size() >= kMaxHeld) {
                break;
            }
            const Held& parent = mine[Stress::below(rng, static_cast<unsigned>(mine.size()))];
            if (parent.packet.size() < 2) {
                break;
            }
            Held slice;
            const std::uint64_t offset = Stress::below(rng, static_cast<unsigned>(parent.packet.size() - 1));
            slice.packet = CPacket(parent.packet, offset, parent.packet.size() - offset);
            slice.id = parent.id;
            slice.offset = parent.offset + offset;
            run.check(slice.packet.valid(), "a slice inside its parent is valid");
            mine.push_back(slice);
            ++totals.slices;
            break;
        }
        case 3: // let a handle go here
            if (!mine.empty()) {
                std::swap(mine[Stress::below(rng, static_cast<unsigned>(mine.size()))], mine.back());
                mine.pop_back();
            }
            break;
        case 4: // assign one of ours over another
            if (mine.size() >= 2) {
                mine[Stress::below(rng, static_cast<unsigned>(mine.size()))] = mine.front();
            }
            break;
        default:
            for (const Held& held : mine) {
                verify(run, held);
            }
            ++totals.verified;
            break;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("PacketStress", argc, argv);
    Totals totals;
    std::vector<Slot> slots(kSlots);
    onThreads(kThreads, [&](int t) { churn(run, totals, slots, t); });
    for (Slot& slot : slots) {
        slot.held = Held();
    }
    const unsigned created = g_created.load();
    long once = 0, never = 0, twice = 0;
    for (unsigned id = 0; id < created; ++id) {
        const int n = g_releases[id].load();
        once += n == 1 ? 1 : 0;
        never += n == 0 ? 1 : 0;
        twice += n > 1 ? 1 : 0;
    }
    run.check(once == static_cast<long>(created),
              std::to_string(never) + " buffers never released, " + std::to_string(twice) + " released twice");
    std::printf("PacketStress: %u caller's buffers (%ld wrapped, %ld attached later), %ld manager packets, "
                "%ld copies, %ld slices, %ld shared assignments, %ld verification passes; "
                "%ld released once, %ld never, %ld more than once\n",
                created, totals.wrapped.load(), totals.attached.load(), totals.fromManager.load(), totals.copies.load(),
                totals.slices.load(), totals.assigns.load(), totals.verified.load(), once, never, twice);
    return run.finish();
}
