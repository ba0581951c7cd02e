// The per-thread reuse number of the last reuse-numbered delegate called.
#include "virad/Function.h"

#include "Src/Common/ThreadValueSlot.h"

namespace Orvane {
namespace Virad {

namespace {

struct ReuseTag;
using ReuseSlot = Common::ThreadValueSlot<ReuseTag, unsigned int>;

[[maybe_unused]] const bool g_reuseSlotAtLoad = ReuseSlot::ready();

} // namespace

unsigned int getCurrentFunctionReuse() {
    return ReuseSlot::get();
}

namespace Detail {

void setCurrentFunctionReuse(unsigned int reuse) {
    ReuseSlot::set(reuse);
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane
