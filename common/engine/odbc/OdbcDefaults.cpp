#include "common/engine/odbc/OdbcDefaults.h"

#include <cctype>
#include <cstdlib>

#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

namespace {

bool IsCastOf(const std::string& rest, std::initializer_list<const char*> types) {
    if (rest.empty()) return true;
    for (const char* type : types)
        if (rest == std::string("::") + type) return true;
    return false;
}

// "0", "(-1)", "12.50" with an optional cast, as a decimal text.
std::optional<std::string> NumberLiteral(std::string text) {
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    const std::size_t cast = text.find("::");
    const std::string rest = cast == std::string::npos ? std::string() : text.substr(cast);
    if (cast != std::string::npos) text = text.substr(0, cast);
    if (!IsCastOf(rest, {"integer", "smallint", "bigint", "numeric", "double precision", "real"})) return std::nullopt;
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    std::size_t pos = text.empty() || text[0] != '-' ? 0 : 1;
    bool digits = false, point = false;
    for (; pos < text.size(); ++pos) {
        if (std::isdigit(static_cast<unsigned char>(text[pos]))) digits = true;
        else if (text[pos] == '.' && !point) point = true;
        else return std::nullopt;
    }
    if (!digits) return std::nullopt;
    return text;
}

}  // namespace

std::optional<Variant> FixedDefault(const std::string& expression, const FieldInfo& column) {
    if (column.autoIncrement) return std::nullopt;
    if (expression.empty()) return Variant();
    switch (column.type) {
        case DataType::Text:
        case DataType::Memo:
        case DataType::Char: {
            if (expression.size() < 2 || expression[0] != '\'') return std::nullopt;
            const std::size_t close = expression.find('\'', 1);
            if (close == std::string::npos) return std::nullopt;
            const std::string value = expression.substr(1, close - 1);
            if (value.find('\\') != std::string::npos) return std::nullopt;
            if (!IsCastOf(expression.substr(close + 1), {"character varying", "text", "bpchar"})) return std::nullopt;
            return Variant(value);
        }
        case DataType::Boolean:
            if (expression == "true") return Variant(true);
            if (expression == "false") return Variant(false);
            return std::nullopt;
        case DataType::Byte:
        case DataType::Integer:
        case DataType::Long:
        case DataType::BigInt: {
            const auto number = NumberLiteral(expression);
            if (!number || number->find('.') != std::string::npos || number->size() > 18) return std::nullopt;
            return Variant(static_cast<long long>(std::strtoll(number->c_str(), nullptr, 10)));
        }
        case DataType::Single:
        case DataType::Double: {
            const auto number = NumberLiteral(expression);
            if (!number || number->size() > 15) return std::nullopt;
            return Variant(std::strtod(number->c_str(), nullptr));
        }
        case DataType::Currency: {
            const auto number = NumberLiteral(expression);
            if (!number) return std::nullopt;
            const std::size_t point = number->find('.');
            if (point != std::string::npos && number->size() - point - 1 > 4) return std::nullopt;  // the server rounds
            if (auto money = ParseMoney(*number)) return Variant(*money);
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace core::odbc
