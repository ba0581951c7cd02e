// The hexadecimal memory dump at trace level.
//
// Every piece goes through its own logTrace call, so a row is one line with
// one prefix and the whole dump costs nothing below print level 5.
#include "virad/LastError.h"
#include "virad/PrintLog.h"

namespace Orvane {
namespace Virad {

namespace {

constexpr int kRowBytes = 16;

void printCharacters(const unsigned char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        const unsigned char byte = bytes[i];
        logTrace("%c", (byte >= 32 && byte <= 122) ? byte : '.');
    }
}

void printRow(const unsigned char* bytes, int count) {
    logTrace("%p: ", static_cast<const void*>(bytes));
    for (int i = 0; i < count; ++i) {
        logTrace("%02x ", bytes[i]);
    }
    for (int i = count; i < kRowBytes; ++i) {
        logTrace("   ");
    }
    logTrace("  ");
    printCharacters(bytes, count);
    logTrace("\n");
}

} // namespace

void dumpHex(unsigned char* address, unsigned long long length) {
    const int count = static_cast<int>(length);
    if (address == nullptr || count <= 0) {
        return;
    }
    int offset = 0;
    for (; offset + kRowBytes <= count; offset += kRowBytes) {
        printRow(address + offset, kRowBytes);
        if (offset % 512 == 496) {
            logTrace("\n");
        }
    }
    if (offset < count) {
        printRow(address + offset, count - offset);
    }
}

} // namespace Virad
} // namespace Orvane
