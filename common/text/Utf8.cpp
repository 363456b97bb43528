#include "common/text/Utf8.h"

#include <cstdint>
#include <cstring>

namespace core::text {
namespace {

// The first byte at or after `from` that begins no well-formed sequence, or
// bytes.size().
std::size_t NextInvalidUtf8(std::string_view bytes, std::size_t from) {
    for (std::size_t i = from, n = bytes.size(); i < n;) {
        // Eight plain ASCII bytes at a time: most texts are nothing else.
        std::uint64_t word;
        if (i + sizeof word <= n) {
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += sizeof word;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        char32_t cp = extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra > 0 && i + static_cast<std::size_t>(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (ok) ok = cp >= kMin[extra] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!ok) return i;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return bytes.size();
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) { return NextInvalidUtf8(bytes, 0) == bytes.size(); }

std::string ToValidUtf8(std::string_view bytes) {
    std::size_t bad = NextInvalidUtf8(bytes, 0);
    if (bad == bytes.size()) return std::string(bytes);  // the usual case: nothing replaced
    std::string out;
    std::size_t done = 0;  // bytes[0, done) are in out
    while (bad < bytes.size()) {
        out.append(bytes.substr(done, bad - done));
        out += "\xEF\xBF\xBD";  // U+FFFD for the one byte
        done = bad + 1;
        bad = NextInvalidUtf8(bytes, done);
    }
    out.append(bytes.substr(done));
    return out;
}

}  // namespace core::text
