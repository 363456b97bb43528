#include "common/engine/NumberText.h"

#include <QLocale>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "common/text/AsciiText.h"

namespace core {

NumberFormat& NumberFormat::System() {
    static NumberFormat format;
    return format;
}

void NumberFormat::SetFromLocale() {
    const QLocale locale = QLocale::system();
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    NumberFormat& format = System();
    if (decimal.size() == 1 && decimal[0].unicode() < 128) format.decimalPoint = static_cast<char>(decimal[0].unicode());
    if (group.size() == 1 && group[0].unicode() < 128) format.groupSeparator = static_cast<char>(group[0].unicode());
    else format.groupSeparator = format.decimalPoint == ',' ? '.' : ',';
}

std::string FormatNumber(double value) {
    if (value == 0) return "0";
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    const char decimal = NumberFormat::System().decimalPoint;
    for (char& c : text) {
        if (c == '.') c = decimal;
        else if (c == 'e') c = 'E';
    }
    return text;
}

namespace {

// &H and &O whole numbers, read as the runtime reads them: up to 16 bits
// they are a signed 16-bit value, up to 32 bits a signed 32-bit value.
std::optional<double> ReadRadix(std::string_view digits, int radix, bool stopAtBad) {
    std::uint64_t value = 0;
    std::size_t used = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else d = 99;
        if (d >= radix) {
            if (stopAtBad) break;
            return std::nullopt;
        }
        if (value > (UINT64_MAX >> 4)) return std::nullopt;  // far too long
        value = value * radix + static_cast<std::uint64_t>(d);
        ++used;
    }
    if (used == 0) return stopAtBad ? std::optional<double>(0.0) : std::nullopt;
    if (value <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(value));
    if (value <= 0xFFFFFFFFull) return static_cast<double>(static_cast<std::int32_t>(value));
    return static_cast<double>(value);
}

std::optional<double> FromPlain(const std::string& plain) {
    double value = 0;
    const char* begin = plain.data();
    const char* end = begin + plain.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range) return std::nullopt;
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> ParseSystemNumber(std::string_view text) {
    text = text::Trim(text, " \t\n\r");
    if (text.empty()) return std::nullopt;
    if (text.size() > 2 && text[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
        if (kind == 'H') return ReadRadix(text.substr(2), 16, false);
        if (kind == 'O') return ReadRadix(text.substr(2), 8, false);
        return std::nullopt;
    }
    const NumberFormat& format = NumberFormat::System();
    std::string plain;
    plain.reserve(text.size());
    std::size_t pos = 0;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') {
        negative = text[pos] == '-';
        ++pos;
    } else if (text.back() == '-' || text.back() == '+') {  // trailing sign: "12-"
        negative = text.back() == '-';
        text.remove_suffix(1);
    }
    bool digits = false, decimal = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            plain += c;
            digits = true;
        } else if (c == format.decimalPoint && !decimal) {
            plain += '.';
            decimal = true;
        } else if (c == format.groupSeparator && !decimal && digits && pos + 1 < text.size() &&
                   std::isdigit(static_cast<unsigned char>(text[pos + 1]))) {
            // grouping between digits of the whole part is ignored
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits) {
            plain += 'e';
            ++pos;
            if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) plain += text[pos++];
            bool exponentDigits = false;
            for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
                plain += text[pos];
                exponentDigits = true;
            }
            if (!exponentDigits || pos != text.size()) return std::nullopt;
            break;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    auto value = FromPlain(plain);
    if (value && negative) *value = -*value;
    return value;
}

double LeadingNumber(std::string_view text) {
    // Blanks anywhere are left out; most texts have none and are read where
    // they are, without a copy.
    std::string compacted;
    std::string_view compact = text;
    if (text.find_first_of(" \t\n") != std::string_view::npos) {
        compacted.reserve(text.size());
        for (char c : text)
            if (c != ' ' && c != '\t' && c != '\n') compacted += c;
        compact = compacted;
    }
    if (compact.size() >= 2 && compact[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(compact[1])));
        if (kind == 'H') return ReadRadix(compact.substr(2), 16, true).value_or(0.0);
        if (kind == 'O') return ReadRadix(compact.substr(2), 8, true).value_or(0.0);
        return 0.0;
    }
    // The number is the longest prefix of sign, digits, one point and an
    // exponent that has digits.
    std::size_t pos = 0;
    if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) ++pos;
    bool digits = false, decimal = false;
    for (; pos < compact.size(); ++pos) {
        const char c = compact[pos];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
        } else if (c == '.' && !decimal) {
            decimal = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    std::string_view plain = compact.substr(0, pos);
    std::string withExponent;
    if (pos < compact.size() && (compact[pos] == 'e' || compact[pos] == 'E' || compact[pos] == 'd' ||
                                 compact[pos] == 'D')) {
        std::size_t look = pos + 1;
        if (look < compact.size() && (compact[look] == '+' || compact[look] == '-')) ++look;
        bool exponentDigits = false;
        for (; look < compact.size() && std::isdigit(static_cast<unsigned char>(compact[look])); ++look)
            exponentDigits = true;
        if (exponentDigits) {
            // "1D3" is written with the letter from_chars reads.
            withExponent = std::string(plain) + "e" + std::string(compact.substr(pos + 1, look - pos - 1));
            plain = withExponent;
        }
    }
    if (plain.back() == '.') plain.remove_suffix(1);
    const bool negative = plain[0] == '-';
    double value = 0;
    const char* begin = plain.data() + ((plain[0] == '-' || plain[0] == '+') ? 1 : 0);
    const auto result = std::from_chars(begin, plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) value = HUGE_VAL;
    return negative ? -value : value;
}

}  // namespace core
