#include "common/Conversions.h"

#include <QString>

#include <cmath>
#include <exception>

#include "common/engine/Error.h"
#include "common/engine/NumberText.h"
#include "common/text/CodePages.h"
#include "common/text/Rounding.h"

namespace core {
namespace {

// The UTF-8 character that starts at `pos`, as a view.
std::string_view CharAt(std::string_view s, std::size_t pos) {
    std::size_t end = pos + 1;
    while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
    return s.substr(pos, end - pos);
}

}  // namespace

std::int16_t HexPairValue(std::string& pair) {
    pair = QString::fromUtf8(pair.data(), static_cast<qsizetype>(pair.size())).toUpper().toStdString();
    const double value = LeadingNumber("&H" + pair);
    // Two hex digits are at most 255; anything else would be a broken reading.
    if (!(value >= 0 && value <= 255)) return 0;
    return static_cast<std::int16_t>(value);
}

std::string DecodeHex(std::string_view encoded) {
    std::string result;
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        std::string pair(CharAt(encoded, pos));
        pos += pair.size();
        if (pos < encoded.size()) {
            const std::string_view second = CharAt(encoded, pos);
            pair += second;
            pos += second.size();
        }
        const std::int16_t code = HexPairValue(pair);
        if (code == 0) break;
        const char byte = static_cast<char>(static_cast<unsigned char>(code));
        result += text::FromCodePage(std::string_view(&byte, 1), text::kWindows1252);
    }
    return result;
}

double ValueAsDouble(const Variant& value) {
    try {
        switch (value.kind()) {
        case Variant::Kind::Boolean:
        case Variant::Kind::Integer:
        case Variant::Kind::Double:
        case Variant::Kind::Currency: {
            const double d = value.ToDouble();
            return std::isfinite(d) ? d : 0.0;
        }
        case Variant::Kind::Text: {
            if (value.AsText().empty()) return 0.0;
            const std::optional<double> d = ParseSystemNumber(value.AsText());
            return d && std::isfinite(*d) ? *d : 0.0;
        }
        default:
            // Null, and dates and binary data, which the runtime's numeric
            // test does not take for numbers.
            return 0.0;
        }
    } catch (...) {
        return 0.0;
    }
}

std::int16_t ToInt16(std::string_view text) {
    const std::optional<double> number = ParseSystemNumber(text);
    if (!number || std::isnan(*number))
        throw Error(err::TypeMismatch, "Tipo non corrispondente", "ToInt16");
    const double rounded = text::RoundHalfEven(*number);
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw Error(err::Overflow, "Overflow", "ToInt16");
    return static_cast<std::int16_t>(rounded);
}

}  // namespace core
