// GBK (code page 936) with 16-bit Unicode and UTF-8, through the two-level
// tables generated from the published code page.
#include "utils/Charset.h"

#include "Utils/Charset/CodePages.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace Orvane {
namespace Utils {

namespace {

constexpr unsigned short kReplacement = 0xFFFD; // stands for a two-byte code without a character

// The code point of a lead and trail byte, 0 when the pair has none; lead
// must have a page.
inline unsigned short pairToUnicode(unsigned page, unsigned char trail) {
    return trail >= Detail::kGbkTrailFirst ? Detail::kGbkToUnicode[page - 1][trail - Detail::kGbkTrailFirst] : 0;
}

// Temporary 16-bit text, on the stack when short.
class UnitBuffer {
public:
    explicit UnitBuffer(std::size_t units)
        : m_heap(units > kInline ? new (std::nothrow) unsigned short[units] : nullptr),
          m_units(units > kInline ? m_heap.get() : m_inline) {}
    unsigned short* get() { return m_units; }

private:
    static constexpr std::size_t kInline = 256;
    unsigned short m_inline[kInline];
    std::unique_ptr<unsigned short[]> m_heap;
    unsigned short* m_units;
};

} // namespace

int uni2char(unsigned short uni, unsigned char* out, int room) {
    if (out == nullptr || room < 1) {
        return -1;
    }
    const unsigned page = Detail::kUnicodeToGbkIndex[uni >> 8];
    if (page == 0) {
        // Without a page only U+0001..U+00FF have a code: the byte of the same value.
        if (uni > 0xFF || uni == 0) {
            return -1;
        }
        out[0] = static_cast<unsigned char>(uni);
        return 1;
    }
    const unsigned short code = Detail::kUnicodeToGbk[page - 1][uni & 0xFF];
    if (code == 0) {
        return -1;
    }
    if (code < 0x100) {
        out[0] = static_cast<unsigned char>(code); // the euro sign's single byte
        return 1;
    }
    if (room < 2) {
        return -1;
    }
    out[0] = static_cast<unsigned char>(code >> 8);
    out[1] = static_cast<unsigned char>(code);
    return 2;
}

int char2uni(const unsigned char* s, int n, unsigned short* uni) {
    if (s == nullptr || n < 1) {
        return -1;
    }
    unsigned short point = Detail::kGbkSingleByte[s[0]];
    int consumed = 1;
    const unsigned page = n >= 2 ? Detail::kGbkLeadIndex[s[0]] : 0;
    if (page != 0 && s[1] != 0) {
        point = pairToUnicode(page, s[1]);
        if (point == 0) {
            return -1;
        }
        consumed = 2;
    }
    if (uni != nullptr) {
        *uni = point;
    }
    return consumed;
}

int UniTGb2312(unsigned short* uni, int uniCount, char* out, int outSize) {
    if (uni == nullptr || out == nullptr) {
        return 0;
    }
    if (outSize > 0) {
        std::memset(out, 0, static_cast<std::size_t>(outSize));
    }
    int taken = 0;
    int written = 0;
    for (; taken < uniCount && uni[taken] != 0; ++taken) {
        const unsigned short unit = uni[taken];
        if (unit < 0x80) {
            if (written >= outSize) {
                break;
            }
            out[written++] = static_cast<char>(unit);
            continue;
        }
        unsigned char bytes[2];
        const int length = uni2char(unit, bytes, 2);
        if (length < 0) {
            return -1;
        }
        if (length > outSize - written) {
            break;
        }
        std::memcpy(out + written, bytes, static_cast<std::size_t>(length));
        written += length;
    }
    return taken;
}

int Gb2312ToUni(char* gbk, unsigned short* out, int outCount) {
    if (gbk == nullptr || out == nullptr) {
        return 0;
    }
    if (outCount > 0) {
        std::memset(out, 0, static_cast<std::size_t>(outCount) * sizeof *out);
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(gbk);
    const std::size_t length = std::strlen(gbk);
    std::size_t at = 0;
    int written = 0;
    while (at < length && written < outCount) {
        const unsigned char lead = s[at];
        if (lead < 0x80) {
            out[written++] = lead;
            ++at;
            continue;
        }
        const unsigned page = at + 1 < length ? Detail::kGbkLeadIndex[lead] : 0;
        if (page == 0) {
            out[written++] = Detail::kGbkSingleByte[lead];
            ++at;
            continue;
        }
        const unsigned char trail = s[at + 1];
        const unsigned short point = pairToUnicode(page, trail);
        out[written++] = point != 0 ? point : kReplacement;
        // An unmapped pair whose second byte is ASCII gives that byte back to be read on its own.
        at += point != 0 || trail >= 0x80 ? 2 : 1;
    }
    return written;
}

int Gb2312TUtf8(char* gbk, unsigned char* utf8, int utf8Size) {
    if (gbk == nullptr || utf8 == nullptr || gbk[0] == '\0') {
        return 0;
    }
    const std::size_t length = std::strlen(gbk);
    UnitBuffer units(length + 1);
    if (units.get() == nullptr) {
        return 0;
    }
    const int count = length + 1 > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length + 1);
    Gb2312ToUni(gbk, units.get(), count);
    if (utf8Size > 0) {
        std::memset(utf8, 0, static_cast<std::size_t>(utf8Size));
    }
    return utf8_wcstombs(utf8, units.get(), utf8Size);
}

int utf8TGb2312(unsigned char* utf8, char* gbk, int utf8Length, int gbkSize) {
    if (utf8 == nullptr || gbk == nullptr || utf8Length < 1 || utf8[0] == 0) {
        return 0;
    }
    UnitBuffer units(static_cast<std::size_t>(utf8Length) + 1);
    if (units.get() == nullptr) {
        return 0;
    }
    const int count = utf8_mbstowcs(units.get(), utf8, utf8Length);
    units.get()[count] = 0;
    return UniTGb2312(units.get(), count, gbk, gbkSize);
}

} // namespace Utils
} // namespace Orvane
