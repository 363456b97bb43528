#include "common/engine/odbc/OdbcTypes.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace core::odbc {

namespace {

SQLSMALLINT SqlTypeFor(const FieldInfo& field) {
    switch (field.type) {
        case DataType::Boolean:
            return SQL_BIT;
        case DataType::Byte:
        case DataType::Integer:
        case DataType::Long:
        case DataType::BigInt:
            return SQL_BIGINT;
        case DataType::Single:
        case DataType::Double:
        case DataType::Float:
        case DataType::Decimal:
        case DataType::Numeric:
            return SQL_DOUBLE;
        case DataType::Currency:
            return SQL_NUMERIC;
        case DataType::Date:
        case DataType::Time:
        case DataType::TimeStamp:
            return SQL_TYPE_TIMESTAMP;
        case DataType::Binary:
        case DataType::VarBinary:
        case DataType::LongBinary:
            return SQL_LONGVARBINARY;
        case DataType::Memo:
            return SQL_WLONGVARCHAR;
        default:
            return SQL_WVARCHAR;
    }
}

// The SQL type a value of this kind is bound with for `field` (a Null
// takes the field's own).
SQLSMALLINT ParameterType(const FieldInfo& field, Variant::Kind kind) {
    switch (kind) {
        case Variant::Kind::Boolean:
            return SQL_BIT;
        case Variant::Kind::Integer:
            return SQL_BIGINT;
        case Variant::Kind::Double:
            return SQL_DOUBLE;
        case Variant::Kind::Currency:
            return SQL_NUMERIC;
        case Variant::Kind::Date:
            return SQL_TYPE_TIMESTAMP;
        case Variant::Kind::Binary:
            return SQL_LONGVARBINARY;
        case Variant::Kind::Text:
            return SqlTypeFor(field) == SQL_WLONGVARCHAR ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        case Variant::Kind::Null:
            break;
    }
    return SqlTypeFor(field);
}

}  // namespace

FieldInfo MapColumn(std::string name, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT decimals, SQLSMALLINT nullable) {
    FieldInfo field;
    field.name = std::move(name);
    field.required = nullable == SQL_NO_NULLS;
    switch (sqlType) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
            if (size == 0 || size > 65535) field.type = DataType::Memo;
            else field.type = DataType::Text, field.size = static_cast<int>(size);
            break;
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
            field.type = DataType::Memo;
            break;
        case SQL_BIT:
            field.type = DataType::Boolean, field.size = 1;
            break;
        case SQL_TINYINT:
            field.type = DataType::Byte, field.size = 1;
            break;
        case SQL_SMALLINT:
            field.type = DataType::Integer, field.size = 2;
            break;
        case SQL_INTEGER:
            field.type = DataType::Long, field.size = 4;
            break;
        case SQL_BIGINT:
            field.type = DataType::BigInt, field.size = 8;
            break;
        case SQL_REAL:
            field.type = DataType::Single, field.size = 4;
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            field.type = DataType::Double, field.size = 8;
            break;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            // Money is kept as NUMERIC(19,4) on a server.
            if (decimals == 4 && size == 19) field.type = DataType::Currency, field.size = 8;
            else field.type = DataType::Decimal, field.size = 16;
            break;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIME:
        case SQL_TIMESTAMP:
            field.type = DataType::Date, field.size = 8;
            break;
        case SQL_BINARY:
        case SQL_VARBINARY:
            field.type = DataType::Binary, field.size = static_cast<int>(std::min<SQLULEN>(size, 65535));
            break;
        case SQL_LONGVARBINARY:
            field.type = DataType::LongBinary;
            break;
        case SQL_GUID:
            field.type = DataType::Guid, field.size = 16;
            break;
        default:
            field.type = DataType::Memo;
            break;
    }
    return field;
}

// Exact reading of a decimal text ("-12.3400") as money.
std::optional<Currency> ParseMoney(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    // The magnitude in ten-thousandths, at most 2^63 - 1 (2^63 when negative).
    const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    int fractionDigits = 0;
    bool digits = false, point = false;
    auto shift = [&](unsigned digit) {
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        return true;
    };
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c >= '0' && c <= '9') {
            if (point && fractionDigits == 4) continue;  // beyond the fourth decimal
            if (!shift(static_cast<unsigned>(c - '0'))) return std::nullopt;
            if (point) ++fractionDigits;
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    for (; fractionDigits < 4; ++fractionDigits)
        if (!shift(0)) return std::nullopt;
    return Currency{negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude)};
}

std::string MoneyText(Currency money) {
    const std::int64_t scaled = money.scaled;
    const std::uint64_t magnitude =
        scaled < 0 ? static_cast<std::uint64_t>(-(scaled + 1)) + 1 : static_cast<std::uint64_t>(scaled);
    char text[32];
    char* out = text;
    if (scaled < 0) *out++ = '-';
    out = std::to_chars(out, text + sizeof text, magnitude / 10000).ptr;
    *out++ = '.';
    auto fraction = static_cast<unsigned>(magnitude % 10000);
    for (int i = 4; i-- > 0; fraction /= 10) out[i] = static_cast<char>('0' + fraction % 10);
    return std::string(text, out + 4);
}

SQLRETURN BindValue(SQLHSTMT stmt, SQLUSMALLINT index, const FieldInfo& field, const Variant& value, Parameter& p) {
    SQLSMALLINT cType = SQL_C_CHAR;
    const SQLSMALLINT sqlType = ParameterType(field, value.kind());
    SQLULEN columnSize = 0;
    SQLSMALLINT decimals = 0;
    SQLPOINTER pointer = nullptr;
    SQLLEN bufferLength = 0;
    switch (value.kind()) {
        case Variant::Kind::Null:
            p.indicator = SQL_NULL_DATA;
            cType = SQL_C_CHAR;
            pointer = p.chars.data();
            columnSize = 1;
            if (sqlType == SQL_NUMERIC) columnSize = 19, decimals = 4;
            break;
        case Variant::Kind::Boolean:
            p.bit = value.AsBool() ? 1 : 0;
            cType = SQL_C_BIT, pointer = &p.bit;
            break;
        case Variant::Kind::Integer:
            p.integer = value.AsInteger();
            cType = SQL_C_SBIGINT, pointer = &p.integer;
            break;
        case Variant::Kind::Double:
            p.number = value.AsDouble();
            cType = SQL_C_DOUBLE, pointer = &p.number;
            break;
        case Variant::Kind::Currency: {
            p.chars = MoneyText(value.AsCurrency());
            cType = SQL_C_CHAR, pointer = p.chars.data();
            p.indicator = static_cast<SQLLEN>(p.chars.size());
            bufferLength = p.indicator;
            columnSize = 19, decimals = 4;
            break;
        }
        case Variant::Kind::Date: {
            int y, mo, d, h, mi, s, ms;
            value.AsDate().ToParts(y, mo, d, h, mi, s, ms);
            p.timestamp = SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(y), static_cast<SQLUSMALLINT>(mo),
                                               static_cast<SQLUSMALLINT>(d), static_cast<SQLUSMALLINT>(h),
                                               static_cast<SQLUSMALLINT>(mi), static_cast<SQLUSMALLINT>(s),
                                               static_cast<SQLUINTEGER>(ms) * 1000000u};
            cType = SQL_C_TYPE_TIMESTAMP, pointer = &p.timestamp;
            columnSize = 23, decimals = 3;
            break;
        }
        case Variant::Kind::Text:
            p.text = ToWide(value.AsText());
            cType = SQL_C_WCHAR, pointer = p.text.data();
            p.indicator = static_cast<SQLLEN>(p.text.size() * sizeof(char16_t));
            bufferLength = p.indicator;
            columnSize = std::max<SQLULEN>(p.text.size(), 1);
            break;
        case Variant::Kind::Binary:
            p.bytes = value.AsBytes();
            // An empty value still needs an address: the driver takes a
            // null one for a missing value and refuses it.
            cType = SQL_C_BINARY, pointer = p.bytes.empty() ? static_cast<SQLPOINTER>(&p.bit) : p.bytes.data();
            p.indicator = static_cast<SQLLEN>(p.bytes.size());
            bufferLength = p.indicator;
            columnSize = std::max<SQLULEN>(p.bytes.size(), 1);
            break;
    }
    return SQLBindParameter(stmt, index, SQL_PARAM_INPUT, cType, sqlType, columnSize, decimals, pointer, bufferLength,
                            &p.indicator);
}

std::string ArrayElementType(const FieldInfo& field, Variant::Kind kind) {
    switch (ParameterType(field, kind)) {
        case SQL_BIT:
            return "bool";
        case SQL_BIGINT:
            return "int8";
        case SQL_DOUBLE:
            return "float8";
        case SQL_NUMERIC:
            return "numeric";
        case SQL_TYPE_TIMESTAMP:
            return "timestamp";
        case SQL_LONGVARBINARY:
            return "bytea";
        case SQL_WLONGVARCHAR:
            return "text";
        default:
            return "varchar";
    }
}

bool AppendArrayElement(std::string& literal, const Variant& value) {
    char buffer[64];
    switch (value.kind()) {
        case Variant::Kind::Null:
            literal += "NULL";
            return true;
        case Variant::Kind::Boolean:
            literal += value.AsBool() ? "t" : "f";
            return true;
        case Variant::Kind::Integer:
            literal.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.AsInteger()).ptr);
            return true;
        case Variant::Kind::Double: {
            // The shortest text that reads back as the same number.
            if (!std::isfinite(value.AsDouble())) return false;
            literal.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.AsDouble()).ptr);
            return true;
        }
        case Variant::Kind::Currency:
            literal += MoneyText(value.AsCurrency());
            return true;
        case Variant::Kind::Date: {
            int y, mo, d, h, mi, s, ms;
            value.AsDate().ToParts(y, mo, d, h, mi, s, ms);
            if (y < 1 || y > 9999) return false;
            // "YYYY-MM-DD hh:mm:ss.mmm", written digit by digit (one date per
            // record and column: the formatting functions cost more).
            char* out = buffer;
            auto digits = [&out](int number, int width) {
                for (int i = width - 1; i >= 0; --i, number /= 10) out[i] = static_cast<char>('0' + number % 10);
                out += width;
            };
            *out++ = '"';
            digits(y, 4), *out++ = '-', digits(mo, 2), *out++ = '-', digits(d, 2), *out++ = ' ';
            digits(h, 2), *out++ = ':', digits(mi, 2), *out++ = ':', digits(s, 2), *out++ = '.', digits(ms, 3);
            *out++ = '"';
            literal.append(buffer, out);
            return true;
        }
        case Variant::Kind::Text: {
            const std::string& text = value.AsText();
            literal += '"';
            // Copied in runs between the characters that need a backslash.
            std::size_t from = 0;
            for (std::size_t i = 0; i < text.size(); ++i) {
                const char c = text[i];
                if (c != '"' && c != '\\' && c != '\0') continue;
                if (c == '\0') return false;
                literal.append(text, from, i - from);
                literal += '\\';
                from = i;
            }
            literal.append(text, from, std::string::npos);
            literal += '"';
            return true;
        }
        case Variant::Kind::Binary: {
            static constexpr char kHex[] = "0123456789abcdef";
            literal += "\"\\\\x";
            for (unsigned char b : value.AsBytes()) {
                literal += kHex[b >> 4];
                literal += kHex[b & 15];
            }
            literal += '"';
            return true;
        }
    }
    return false;
}

Variant TimestampValue(const SQL_TIMESTAMP_STRUCT& ts) {
    // A time without a date counts from the engine's day zero.
    const int year = ts.year == 0 ? 1899 : ts.year;
    const int month = ts.month == 0 ? 12 : ts.month;
    const int day = ts.day == 0 ? 30 : ts.day;
    return Variant(DateTime::FromParts(year, month, day, ts.hour, ts.minute, ts.second,
                                       static_cast<int>(ts.fraction / 1000000u)));
}

std::vector<FieldInfo> DescribeColumns(SQLHSTMT stmt) {
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    std::vector<FieldInfo> columns;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLength = 0, sqlType = 0, decimals = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        SQLDescribeColW(stmt, i, name, 512, &nameLength, &sqlType, &size, &decimals, &nullable);
        FieldInfo field = MapColumn(FromWide(name, std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)), 511)),
                                    sqlType, size, decimals, nullable);
        SQLLEN autoUnique = SQL_FALSE;
        SQLColAttributeW(stmt, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoUnique);
        field.autoIncrement = autoUnique == SQL_TRUE;
        columns.push_back(std::move(field));
    }
    return columns;
}

Variant ReadValue(SQLHSTMT stmt, SQLUSMALLINT index, const FieldInfo& column, const std::string& password) {
    SQLLEN indicator = 0;
    auto fail = [&] {
        ThrowDiagnostic(SQL_HANDLE_STMT, stmt, "lettura del campo '" + column.name + "'", password);
    };
    switch (column.type) {
        case DataType::Boolean: {
            unsigned char bit = 0;
            if (!Succeeded(SQLGetData(stmt, index, SQL_C_BIT, &bit, 1, &indicator))) fail();
            return indicator == SQL_NULL_DATA ? Variant() : Variant(bit != 0);
        }
        case DataType::Byte:
        case DataType::Integer:
        case DataType::Long:
        case DataType::BigInt: {
            std::int64_t value = 0;
            if (!Succeeded(SQLGetData(stmt, index, SQL_C_SBIGINT, &value, sizeof value, &indicator))) fail();
            return indicator == SQL_NULL_DATA ? Variant() : Variant(static_cast<long long>(value));
        }
        case DataType::Single:
        case DataType::Double:
        case DataType::Float:
        case DataType::Decimal:
        case DataType::Numeric: {
            double value = 0;
            if (!Succeeded(SQLGetData(stmt, index, SQL_C_DOUBLE, &value, sizeof value, &indicator))) fail();
            return indicator == SQL_NULL_DATA ? Variant() : Variant(value);
        }
        case DataType::Currency: {
            char text[64] = {};
            if (!Succeeded(SQLGetData(stmt, index, SQL_C_CHAR, text, sizeof text, &indicator))) fail();
            if (indicator == SQL_NULL_DATA) return Variant();
            if (auto money = ParseMoney(text)) return Variant(*money);
            fail();
            return Variant();
        }
        case DataType::Date:
        case DataType::Time:
        case DataType::TimeStamp: {
            SQL_TIMESTAMP_STRUCT ts{};
            if (!Succeeded(SQLGetData(stmt, index, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator))) fail();
            if (indicator == SQL_NULL_DATA) return Variant();
            return TimestampValue(ts);
        }
        case DataType::Binary:
        case DataType::VarBinary:
        case DataType::LongBinary: {
            Bytes bytes;
            unsigned char chunk[8192];
            for (;;) {
                const SQLRETURN rc = SQLGetData(stmt, index, SQL_C_BINARY, chunk, sizeof chunk, &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!Succeeded(rc)) fail();
                if (indicator == SQL_NULL_DATA) return Variant();
                const std::size_t got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof chunk))
                                            ? sizeof chunk
                                            : static_cast<std::size_t>(indicator);
                bytes.insert(bytes.end(), chunk, chunk + got);
                if (rc == SQL_SUCCESS) break;
            }
            return Variant(std::move(bytes));
        }
        default: {
            // Texts, read in pieces so that no length limit of a buffer applies.
            std::u16string text;
            SQLWCHAR chunk[4096];
            for (;;) {
                const SQLRETURN rc = SQLGetData(stmt, index, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!Succeeded(rc)) fail();
                if (indicator == SQL_NULL_DATA) return Variant();
                const std::size_t capacity = sizeof chunk / sizeof(SQLWCHAR) - 1;
                const std::size_t got = (indicator == SQL_NO_TOTAL ||
                                         static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > capacity)
                                            ? capacity
                                            : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
                text.append(reinterpret_cast<const char16_t*>(chunk), got);
                if (rc == SQL_SUCCESS) break;
            }
            return Variant(FromWide(reinterpret_cast<const SQLWCHAR*>(text.data()), text.size()));
        }
    }
}

}  // namespace core::odbc
