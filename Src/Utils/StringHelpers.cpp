// Bounded string copies, the replaceable formatter and comparison, and IPv4
// text conversion.
#include "utils/StringHelpers.h"

#include "Src/Common/Report.h"
#include "Src/Platform/Text.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Orvane {
namespace Utils {

namespace {

int boundedFormatter(char* buffer, std::size_t size, const char* format, ...) DOZUV2_PRINTF_FORMAT(3, 4);

int boundedFormatter(char* buffer, std::size_t size, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int result = Platform::formatBounded(buffer, size, format, args);
    va_end(args);
    return result;
}

// Copies characters of src up to its terminator or limit; returns how many.
std::size_t copyUpTo(char* dst, const char* src, std::size_t limit) {
    std::size_t copied = 0;
    if (src != nullptr) {
        while (copied < limit && src[copied] != '\0') {
            dst[copied] = src[copied];
            ++copied;
        }
    }
    return copied;
}

} // namespace

int (*snprintf)(char* buffer, std::size_t size, const char* format, ...) = &boundedFormatter;
int (*stricmp)(const char* left, const char* right) = &Platform::compareIgnoringCase;

std::size_t strncpy(char* dst, std::size_t dstSize, const char* src, std::size_t count) {
    if (dst == nullptr || dstSize == 0) {
        return 0;
    }
    const std::size_t n = count < dstSize - 1 ? count : dstSize - 1;
    const std::size_t copied = copyUpTo(dst, src, n);
    // Bytes between src's terminator and dst[n] are left as they were.
    dst[copied] = '\0';
    dst[n] = '\0';
    return copied;
}

std::size_t strncat(char* dst, std::size_t dstSize, const char* src, std::size_t count) {
    if (dst == nullptr || dstSize == 0) {
        return 0;
    }
    const void* end = std::memchr(dst, '\0', dstSize);
    if (end == nullptr) {
        // No text shorter than the buffer to append to: only the last byte is made safe.
        dst[dstSize - 1] = '\0';
        return 0;
    }
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - dst);
    const std::size_t room = dstSize - length;
    const std::size_t n = count < room - 1 ? count : room - 1;
    dst[length + copyUpTo(dst + length, src, n)] = '\0';
    dst[dstSize - 1] = '\0';
    return n;
}

int snprintf_x(char* buffer, int size, const char* format, ...) {
    if (buffer == nullptr || size < 1) {
        return 0;
    }
    std::va_list args;
    va_start(args, format);
    const int result = Platform::formatBounded(buffer, static_cast<std::size_t>(size), format, args);
    va_end(args);
    if (result < 0 || result == size) {
        buffer[size - 1] = '\0';
        return size - 1;
    }
    return result;
}

char* ipToString(IpAddress ip, char* buffer, std::size_t size) {
    const int bounded = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    snprintf_x(buffer, bounded, "%d.%d.%d.%d", static_cast<int>(ip.value >> 24 & 0xFF),
               static_cast<int>(ip.value >> 16 & 0xFF), static_cast<int>(ip.value >> 8 & 0xFF),
               static_cast<int>(ip.value & 0xFF));
    return buffer;
}

IpAddress stringToIp(const char* text) {
    int numbers[4] = {0, 0, 0, 0};
    const int read =
        text != nullptr ? std::sscanf(text, "%d.%d.%d.%d", &numbers[0], &numbers[1], &numbers[2], &numbers[3]) : 0;
    if (read < 4) {
        VIRAD_REPORT(Virad::LOG_WARN, "param str %s is invalid\n", text != nullptr ? text : "(null)");
    }
    IpAddress ip;
    ip.value = 0;
    for (int number : numbers) {
        ip.value = ip.value << 8 | (static_cast<unsigned int>(number) & 0xFFu);
    }
    return ip;
}

} // namespace Utils
} // namespace Orvane
