#include "common/engine/access/JetText.h"

#include <QString>

#include "common/text/CodePages.h"

namespace core::access {

std::string DecodeJet4Text(const std::uint8_t* data, std::size_t size) {
    std::u16string units;
    units.reserve(size / 2);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(data[i]);
                ++i;
            } else if (i + 1 < size) {
                units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;  // half a character at the end: dropped
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    // A surrogate without its other half becomes U+FFFD.
    const auto isLow = [&](std::size_t i) { return i < units.size() && units[i] >= 0xDC00 && units[i] <= 0xDFFF; };
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0xD800 && units[i] <= 0xDBFF && isLow(i + 1))
            ++i;
        else if (units[i] >= 0xD800 && units[i] <= 0xDFFF)
            units[i] = 0xFFFD;
    }
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toStdString();
}

std::string DecodeCodePageText(const std::uint8_t* data, std::size_t size, int codePage) {
    return text::FromCodePage(std::string_view(reinterpret_cast<const char*>(data), size), codePage);
}

}  // namespace core::access
