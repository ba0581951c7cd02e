// The per-thread last error and the process-wide table of error messages.
#include "virad/LastError.h"

#include "Src/Common/Containers.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Common/ThreadValueSlot.h"
#include "virad/Mutex.h"

#include <cstdint>
#include <new>

namespace Orvane {
namespace Virad {

namespace {

struct LastErrorTag;
using LastErrorSlot = Common::ThreadValueSlot<LastErrorTag, int>;

[[maybe_unused]] const bool g_lastErrorSlotAtLoad = LastErrorSlot::ready();

struct MessageTable {
    CMutex mutex;
    Common::Map<int, Common::String> texts;
};

// Created by its first use and destroyed at exit. Calls that come after
// that (from later exit handlers) find no table and do nothing.
MessageTable* messageTable() {
    return Common::ProcessWide<MessageTable, Common::AtExit::retire>::instance(
        [] { return new (std::nothrow) MessageTable; });
}

const char kEmptyText[] = "";

} // namespace

void setLastError(int code) {
    LastErrorSlot::set(code);
}

int getLastError() {
    return LastErrorSlot::get();
}

void setErrMsg(int code, const char* text) {
    MessageTable* table = messageTable();
    if (table == nullptr) {
        return;
    }
    CGuard guard(table->mutex);
    table->texts[code] = text != nullptr ? text : "";
}

const char* getErrMsg(int code) {
    MessageTable* table = messageTable();
    if (table == nullptr) {
        return kEmptyText;
    }
    CGuard guard(table->mutex);
    const auto found = table->texts.find(code);
    return found != table->texts.end() ? found->second.c_str() : kEmptyText;
}

void setErrorMessage(int code, const flex_string& text) {
    MessageTable* table = messageTable();
    if (table == nullptr) {
        return;
    }
    CGuard guard(table->mutex);
    table->texts[code].assign(text.data(), text.size());
}

flex_string getErrorMessage(int code) {
    return flex_string(getErrMsg(code));
}

} // namespace Virad
} // namespace Orvane
