// The ordered list of started timers against a plain list as the model.
//
// The input picks records out of a small pool and inserts, removes or
// re-inserts them with due times in a narrow range, so that most due times
// are shared. The model places each insertion before the first record due at
// the same time or later; after every step the list must hand records out in
// exactly the model's order, and its head must be the model's first.
#include "support/FuzzCheck.h"

#include "Src/Devez3/TimerInternal.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <list>
#include <vector>

using Orvane::Virad::TimerInternal;
using Orvane::Virad::TimerList;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<TimerInternal> records(32);
    TimerList list;
    std::list<TimerInternal*> model;
    for (int step = 0; in.remaining_bytes() > 0 && step < 512; ++step) {
        TimerInternal* record = &records[in.ConsumeIntegralInRange<std::size_t>(0, records.size() - 1)];
        const auto listed = std::find(model.begin(), model.end(), record);
        if (listed != model.end()) {
            list.unlink(record);
            model.erase(listed);
            if (in.ConsumeBool()) {
                continue;
            }
        }
        record->nextTime = in.ConsumeIntegralInRange(0, 15);
        list.insert(record);
        model.insert(std::find_if(model.begin(), model.end(),
                                  [&](const TimerInternal* t) { return t->nextTime >= record->nextTime; }),
                     record);
        std::vector<TimerInternal*> order;
        for (const auto& entry : list) {
            order.push_back(entry.second);
        }
        FUZZ_CHECK(order == std::vector<TimerInternal*>(model.begin(), model.end()),
                   "step %d: the list's order differs from the model's", step);
        FUZZ_CHECK(list.head() == model.front(), "step %d: the list's head is not the model's first", step);
    }
    // Records leave the list before they are destroyed.
    for (TimerInternal* record : model) {
        list.unlink(record);
    }
    return 0;
}
