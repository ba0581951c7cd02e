// Character-set conversion beside the C library's iconv, on 1 MiB of text
// each: GBK to UTF-8 and back on mixed Chinese and ASCII, Windows-1252 and
// ISO-8859-5 to UTF-8. Each pair shares a name stem (BM_GbkToUtf8_Dozuv2 /
// BM_GbkToUtf8_Iconv) and reports bytes of input per second. Before timing,
// each pair's outputs are compared, so a fast wrong answer cannot pass.
#include "utils/Charset.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <iconv.h>

namespace {

constexpr std::size_t kInputSize = 1 << 20;

// Converts the whole input with iconv; the output's length, or -1.
long viaIconv(iconv_t cd, const std::string& in, std::vector<char>& out) {
    char* from = const_cast<char*>(in.data());
    char* to = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &from, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1)) {
        return -1;
    }
    return static_cast<long>(to - out.data());
}

// About 1 MiB of UTF-8: runs of Chinese characters from the common CJK block
// between ASCII words, roughly half the characters each.
const std::string& mixedChineseUtf8() {
    static const std::string text = [] {
        std::mt19937 random(7);
        std::string out;
        while (out.size() < kInputSize - 16) {
            for (int i = 1 + static_cast<int>(random() % 6); i > 0; --i) {
                const unsigned point = 0x4E00 + random() % (0x9FA5 - 0x4E00 + 1);
                out += static_cast<char>(0xE0 | point >> 12);
                out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (point & 0x3F));
            }
            for (int i = 1 + static_cast<int>(random() % 8); i > 0; --i) {
                out += static_cast<char>('a' + random() % 26);
            }
            out += random() % 5 == 0 ? ", " : " ";
        }
        return out;
    }();
    return text;
}

const std::string& mixedChineseGbk() {
    static const std::string text = [] {
        iconv_t cd = iconv_open("GBK", "UTF-8");
        std::vector<char> out(kInputSize * 2);
        const long length = viaIconv(cd, mixedChineseUtf8(), out);
        iconv_close(cd);
        return std::string(out.data(), static_cast<std::size_t>(length < 0 ? 0 : length));
    }();
    return text;
}

// 1 MiB of a single-byte page: ASCII letters and spaces, with every fifth
// byte (or, for Cyrillic, most bytes) drawn from the page's upper half.
std::string singleByteText(unsigned first, unsigned last, int upperPercent, const char* skip) {
    std::mt19937 random(11);
    std::string out;
    while (out.size() < kInputSize) {
        if (static_cast<int>(random() % 100) < upperPercent) {
            const char byte = static_cast<char>(first + random() % (last - first + 1));
            if (std::string(skip).find(byte) == std::string::npos) {
                out += byte;
            }
        } else {
            out += random() % 6 == 0 ? ' ' : static_cast<char>('a' + random() % 26);
        }
    }
    return out;
}

const std::string& cp1252Text() {
    static const std::string text = singleByteText(0x80, 0xFF, 20, "\x81\x8D\x8F\x90\x9D");
    return text;
}

const std::string& iso8859_5Text() {
    static const std::string text = singleByteText(0xB0, 0xEF, 70, "");
    return text;
}

unsigned char* bytes(const std::string& text) {
    return reinterpret_cast<unsigned char*>(const_cast<char*>(text.data()));
}

// Runs the conversion once against iconv's answer, then times it.
template <typename Convert>
void run(benchmark::State& state, const std::string& in, const char* to, const char* from, std::size_t outFactor,
         Convert convert) {
    std::vector<char> out(in.size() * outFactor + 16), expected(out.size());
    iconv_t cd = iconv_open(to, from);
    const long theirs = viaIconv(cd, in, expected);
    const long ours = convert(out);
    if (theirs < 0 || ours != theirs || !std::equal(out.begin(), out.begin() + ours, expected.begin())) {
        state.SkipWithError("the conversion disagrees with iconv");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(convert(out));
        benchmark::ClobberMemory();
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(in.size()));
}

void runIconv(benchmark::State& state, const std::string& in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    std::vector<char> out(in.size() * 3 + 16);
    for (auto _ : state) {
        benchmark::DoNotOptimize(viaIconv(cd, in, out));
        benchmark::ClobberMemory();
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(in.size()));
}

void BM_GbkToUtf8_Dozuv2(benchmark::State& state) {
    const std::string& in = mixedChineseGbk();
    run(state, in, "UTF-8", "GBK", 2, [&](std::vector<char>& out) -> long {
        return Orvane::Utils::Gb2312TUtf8(const_cast<char*>(in.c_str()), reinterpret_cast<unsigned char*>(out.data()),
                                          static_cast<int>(out.size()));
    });
}

void BM_GbkToUtf8_Iconv(benchmark::State& state) {
    runIconv(state, mixedChineseGbk(), "UTF-8", "GBK");
}

void BM_Utf8ToGbk_Dozuv2(benchmark::State& state) {
    const std::string& in = mixedChineseUtf8();
    const long units = [&] {
        std::vector<unsigned short> wide(in.size() + 1);
        return static_cast<long>(Orvane::Utils::utf8_mbstowcs(wide.data(), bytes(in), static_cast<int>(in.size())));
    }();
    run(state, in, "GBK", "UTF-8", 2, [&](std::vector<char>& out) -> long {
        // The conversion answers in characters; every character was converted, so the bytes are GBK's length.
        const int converted = Orvane::Utils::utf8TGb2312(bytes(in), out.data(), static_cast<int>(in.size()),
                                                         static_cast<int>(out.size()));
        return converted == units ? static_cast<long>(mixedChineseGbk().size()) : -1;
    });
}

void BM_Utf8ToGbk_Iconv(benchmark::State& state) {
    runIconv(state, mixedChineseUtf8(), "GBK", "UTF-8");
}

void BM_Cp1252ToUtf8_Dozuv2(benchmark::State& state) {
    const std::string& in = cp1252Text();
    // Room for three bytes per input byte: the output fits whatever the text, so one call converts it.
    const long needed = Orvane::Utils::cp1252_to_utf8(nullptr, 0, bytes(in), static_cast<int>(in.size()));
    run(state, in, "UTF-8", "CP1252", 3, [&](std::vector<char>& out) -> long {
        return Orvane::Utils::cp1252_to_utf8(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(out.size()),
                                             bytes(in), static_cast<int>(in.size())) == 0
                   ? needed
                   : -1;
    });
}

void BM_Cp1252ToUtf8_Iconv(benchmark::State& state) {
    runIconv(state, cp1252Text(), "UTF-8", "CP1252");
}

void BM_Iso8859_5ToUtf8_Dozuv2(benchmark::State& state) {
    const std::string& in = iso8859_5Text();
    run(state, in, "UTF-8", "ISO-8859-5", 2, [&](std::vector<char>& out) -> long {
        int outSize = static_cast<int>(out.size()), inLength = static_cast<int>(in.size());
        return Orvane::Utils::iso8859_5_to_utf8(reinterpret_cast<unsigned char*>(out.data()), outSize, bytes(in),
                                                inLength) == 0
                   ? outSize
                   : -1;
    });
}

void BM_Iso8859_5ToUtf8_Iconv(benchmark::State& state) {
    runIconv(state, iso8859_5Text(), "UTF-8", "ISO-8859-5");
}

} // namespace

BENCHMARK(BM_GbkToUtf8_Dozuv2);
BENCHMARK(BM_GbkToUtf8_Iconv);
BENCHMARK(BM_Utf8ToGbk_Dozuv2);
BENCHMARK(BM_Utf8ToGbk_Iconv);
BENCHMARK(BM_Cp1252ToUtf8_Dozuv2);
BENCHMARK(BM_Cp1252ToUtf8_Iconv);
BENCHMARK(BM_Iso8859_5ToUtf8_Dozuv2);
BENCHMARK(BM_Iso8859_5ToUtf8_Iconv);

BENCHMARK_MAIN();
