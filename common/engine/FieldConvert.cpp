#include "common/engine/FieldConvert.h"

#include <cmath>
#include <limits>

#include "common/engine/Error.h"
#include "common/engine/NumberText.h"

namespace core {

std::size_t CharCount(std::string_view utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

std::string CutChars(std::string_view utf8, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80) {
            if (count == n) return std::string(utf8.substr(0, i));
            ++count;
        }
    }
    return std::string(utf8);
}

namespace {

// The range a numeric field takes, as the user reads it; empty when any
// finite number fits.
std::string RangeOf(DataType type) {
    switch (type) {
        case DataType::Byte: return "da 0 a 255";
        case DataType::Integer: return "da -32768 a 32767";
        case DataType::Long: return "da -2147483648 a 2147483647";
        case DataType::BigInt: return "da -9223372036854775808 a 9223372036854775807";
        case DataType::Single: return "fino a 3,4E+38 in valore assoluto";
        case DataType::Currency: return "da -922337203685477,5808 a 922337203685477,5807";
        default: return {};
    }
}

bool IsNumeric(DataType type) {
    switch (type) {
        case DataType::Byte: case DataType::Integer: case DataType::Long: case DataType::BigInt:
        case DataType::Single: case DataType::Double: case DataType::Float: case DataType::Numeric:
        case DataType::Decimal: case DataType::Currency: return true;
        default: return false;
    }
}

// The value as the user would write it: a text in quotes, a number as a number.
std::string Shown(const Variant& value) {
    if (value.kind() == Variant::Kind::Binary) return "un valore binario";
    std::string text = value.IsText() ? value.AsText() : value.ToText();
    if (CharCount(text) > 40) text = CutChars(text, 40) + "...";
    return value.IsText() ? "'" + text + "'" : text;
}

bool HasNumber(const Variant& value) {
    switch (value.kind()) {
        case Variant::Kind::Boolean: case Variant::Kind::Integer: case Variant::Kind::Double:
        case Variant::Kind::Currency: return true;
        case Variant::Kind::Text: return ParseSystemNumber(value.AsText()).has_value();
        default: return false;
    }
}

[[noreturn]] void ThrowConversion(const FieldInfo& field, const Variant& value) {
    throw Error(err::ConversionError,
                "Errore di conversione del tipo di dati: " + ConversionReason(value, field, field.name) + ".");
}

// The value as a double, or a conversion error naming the field.
double NumberFor(const Variant& value, const FieldInfo& field) {
    switch (value.kind()) {
        case Variant::Kind::Boolean:
            return value.AsBool() ? -1.0 : 0.0;
        case Variant::Kind::Integer:
            return static_cast<double>(value.AsInteger());
        case Variant::Kind::Double:
            return value.AsDouble();
        case Variant::Kind::Currency:
            return static_cast<double>(value.AsCurrency().scaled) / 10000.0;
        case Variant::Kind::Date:
            return value.AsDate().ToSerial();
        case Variant::Kind::Text:
            if (auto number = ParseSystemNumber(value.AsText())) return *number;
            break;
        default:
            break;
    }
    ThrowConversion(field, value);
}

Variant WholeNumber(const Variant& value, const FieldInfo& field, double low, double high) {
    if (value.kind() == Variant::Kind::Integer) {
        const auto v = value.AsInteger();
        if (static_cast<double>(v) < low || static_cast<double>(v) > high) ThrowConversion(field, value);
        return value;
    }
    const double number = NumberFor(value, field);
    const double rounded = std::nearbyint(number);  // half to even
    if (!std::isfinite(rounded) || rounded < low || rounded > high) ThrowConversion(field, value);
    return Variant(static_cast<long long>(rounded));
}

}  // namespace

std::string ConversionReason(const Variant& value, const FieldInfo& field, const std::string& shown) {
    const std::string named = "il campo '" + shown + "'";
    if (value.IsNull()) return NullReason(shown);
    const std::string range = RangeOf(field.type);
    if (IsNumeric(field.type) && HasNumber(value) && !range.empty())
        return Shown(value) + " è fuori dall'intervallo ammesso per " + named + " (" + range + ")";
    if (IsNumeric(field.type)) return Shown(value) + " non è un numero valido per " + named;
    switch (field.type) {
        case DataType::Date: case DataType::Time: case DataType::TimeStamp:
            return Shown(value) + " non è una data valida per " + named;
        case DataType::Boolean: return Shown(value) + " non è un valore Sì/No valido per " + named;
        default: return Shown(value) + " non può essere scritto nel" + named.substr(2);
    }
}

std::string TooLongReason(const FieldInfo& field, const std::string& shown) {
    return "Il campo '" + shown + "' è troppo piccolo per la quantità di dati che si è tentato di aggiungere "
           "(al massimo " + std::to_string(field.size) + " caratteri).";
}

std::string NullReason(const std::string& shown) {
    return "il campo '" + shown + "' non accetta un valore vuoto (Null)";
}

Variant ConvertForField(const Variant& value, const FieldInfo& field) {
    if (value.IsNull()) return value;
    switch (field.type) {
        case DataType::Text:
        case DataType::Char:
        case DataType::Memo:
        case DataType::Guid: {
            if (value.kind() == Variant::Kind::Binary && field.type != DataType::Memo) ThrowConversion(field, value);
            std::string text = value.ToText();
            if (field.type != DataType::Memo && field.size > 0 && LongerThan(text, static_cast<std::size_t>(field.size)))
                throw Error(err::FieldTooSmall, TooLongReason(field, field.name));
            return Variant(std::move(text));
        }
        case DataType::Boolean:
            if (value.kind() == Variant::Kind::Boolean) return value;
            try {
                return Variant(value.ToBool());
            } catch (const Error&) {
                ThrowConversion(field, value);
            }
        case DataType::Byte:
            return WholeNumber(value, field, 0, 255);
        case DataType::Integer:
            return WholeNumber(value, field, -32768, 32767);
        case DataType::Long:
            return WholeNumber(value, field, -2147483648.0, 2147483647.0);
        case DataType::BigInt:
            return WholeNumber(value, field, -9.2233720368547758e18, 9.2233720368547748e18);
        case DataType::Single: {
            const double number = NumberFor(value, field);
            if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
                ThrowConversion(field, value);
            return Variant(static_cast<double>(static_cast<float>(number)));
        }
        case DataType::Double:
        case DataType::Float:
        case DataType::Numeric:
        case DataType::Decimal: {
            const double number = NumberFor(value, field);
            if (!std::isfinite(number)) ThrowConversion(field, value);
            return Variant(number);
        }
        case DataType::Currency: {
            if (value.kind() == Variant::Kind::Currency) return value;
            if (value.kind() == Variant::Kind::Integer) {
                const auto v = value.AsInteger();
                if (v > 922337203685477LL || v < -922337203685477LL) ThrowConversion(field, value);
                return Variant(Currency{v * 10000});
            }
            const double number = NumberFor(value, field);
            const double scaled = std::nearbyint(number * 10000.0);
            if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18) ThrowConversion(field, value);
            return Variant(Currency{static_cast<std::int64_t>(scaled)});
        }
        case DataType::Date:
        case DataType::Time:
        case DataType::TimeStamp:
            try {
                return Variant(value.ToDate());
            } catch (const Error&) {
                ThrowConversion(field, value);
            }
        case DataType::Binary:
        case DataType::VarBinary:
        case DataType::LongBinary: {
            if (value.kind() == Variant::Kind::Binary) {
                if (field.type != DataType::LongBinary && field.size > 0 &&
                    value.AsBytes().size() > static_cast<std::size_t>(field.size))
                    throw Error(err::FieldTooSmall, "Il campo '" + field.name + "' è troppo piccolo per i dati.");
                return value;
            }
            if (value.IsText()) {
                const std::string& text = value.AsText();
                return Variant(Bytes(text.begin(), text.end()));
            }
            ThrowConversion(field, value);
        }
    }
    return value;
}

Variant ConvertForField(Variant&& value, const FieldInfo& field) {
    const bool textField = field.type == DataType::Text || field.type == DataType::Char ||
                           field.type == DataType::Memo || field.type == DataType::Guid;
    if (!textField || !value.IsText()) return ConvertForField(static_cast<const Variant&>(value), field);
    if (field.type != DataType::Memo && field.size > 0 &&
        LongerThan(value.AsText(), static_cast<std::size_t>(field.size)))
        return ConvertForField(static_cast<const Variant&>(value), field);  // raises the size error
    return std::move(value);
}

}  // namespace core
