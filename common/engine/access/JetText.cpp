#include "common/engine/access/JetText.h"

#include <iconv.h>

#include <array>
#include <memory>

namespace core::access {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Turns UTF-16 code units into UTF-8, pairing surrogates.
class Utf16Sink {
public:
    explicit Utf16Sink(std::string& out) : out_(out) {}
    void Put(char16_t unit) {
        if (pendingHigh_ != 0) {
            const char16_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                AppendUtf8(out_, 0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00));
                return;
            }
            AppendUtf8(out_, kReplacement);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHigh_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out_, kReplacement);
        } else {
            AppendUtf8(out_, unit);
        }
    }
    void Finish() {
        if (pendingHigh_ != 0) AppendUtf8(out_, kReplacement);
        pendingHigh_ = 0;
    }

private:
    std::string& out_;
    char16_t pendingHigh_ = 0;  // a high surrogate waiting for its pair; never 0 itself
};

// Windows-1252 from 0x80 to 0x9F; the rest of the page is Latin-1. The five
// unassigned positions keep their C1 value, as Windows itself maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string DecodeCp1252(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size + size / 4);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else if (b < 0xA0) {
            AppendUtf8(out, kCp1252High[b - 0x80]);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

struct IconvCloser {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};

std::string DecodeWithIconv(const std::uint8_t* data, std::size_t size, int codePage) {
    const std::string from = "CP" + std::to_string(codePage);
    iconv_t raw = iconv_open("UTF-8", from.c_str());
    if (raw == reinterpret_cast<iconv_t>(-1)) return DecodeCp1252(data, size);
    std::unique_ptr<void, IconvCloser> cd(raw);

    std::string out(size * 4 + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
    std::size_t inLeft = size;
    char* dst = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(raw, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
        // A byte with no mapping: put the replacement character and go on.
        ++in;
        --inLeft;
        if (outLeft < 3) break;
        *dst++ = '\xEF';
        *dst++ = '\xBF';
        *dst++ = '\xBD';
        outLeft -= 3;
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string DecodeJet4Text(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    Utf16Sink sink(out);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                sink.Put(data[i]);
                ++i;
            } else if (i + 1 < size) {
                sink.Put(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;  // half a character at the end: dropped
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            sink.Put(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    sink.Finish();
    return out;
}

std::string DecodeCodePageText(const std::uint8_t* data, std::size_t size, int codePage) {
    if (codePage == 0 || codePage == 1252) return DecodeCp1252(data, size);
    return DecodeWithIconv(data, size, codePage);
}

}  // namespace core::access
