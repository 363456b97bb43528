#include "common/engine/sqlite/SqliteTypes.h"

#include <sqlcipher/sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"

namespace core::sqlite {
namespace {

std::string Normalise(std::string_view declared, int& size) {
    // Upper-case, blanks collapsed, the "(n[,m])" part taken off into size.
    std::string base;
    size = 0;
    bool inParens = false, sizeDone = false;
    for (char ch : declared) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (inParens) {
            if (c == ')') {
                inParens = false;
            } else if (c == ',') {
                sizeDone = true;
            } else if (std::isdigit(c) && !sizeDone) {
                size = size * 10 + (c - '0');
                if (size > 1'000'000'000) size = 1'000'000'000;
            }
            continue;
        }
        if (c == '(') {
            inParens = true;
            continue;
        }
        if (std::isspace(c)) {
            if (!base.empty() && base.back() != ' ') base += ' ';
            continue;
        }
        base += static_cast<char>(std::toupper(c));
    }
    while (!base.empty() && base.back() == ' ') base.pop_back();
    return base;
}

bool Contains(const std::string& s, std::string_view part) {
    return s.find(part) != std::string::npos;
}

DeclaredType TextOrMemo(int size) {
    if (size > 0) return {DataType::Text, size};
    return {DataType::Memo, 0};
}

[[noreturn]] void ThrowConversion(const FieldInfo& field, const std::string& table) {
    throw Error(err::ConversionError,
                "Errore di conversione del tipo di dati: il campo '" + field.name +
                    "' della tabella '" + table + "' accetta solo numeri.",
                "SQLite");
}

}  // namespace

DeclaredType MapDeclaredType(std::string_view declared) {
    int size = 0;
    const std::string base = Normalise(declared, size);
    if (base.empty()) return {DataType::Memo, 0};

    struct Name {
        std::string_view name;
        DataType type;
        int size;  // -1: text or memo by the declared length
    };
    static constexpr Name names[] = {
        {"TEXT", DataType::Text, -1},          {"VARCHAR", DataType::Text, -1},
        {"CHAR", DataType::Text, -1},          {"NCHAR", DataType::Text, -1},
        {"NVARCHAR", DataType::Text, -1},      {"CHARACTER", DataType::Text, -1},
        {"VARYING CHARACTER", DataType::Text, -1}, {"CHARACTER VARYING", DataType::Text, -1},
        {"NATIVE CHARACTER", DataType::Text, -1},  {"STRING", DataType::Text, -1},
        {"ALPHANUMERIC", DataType::Text, -1},
        {"MEMO", DataType::Memo, 0},           {"LONGTEXT", DataType::Memo, 0},
        {"MEDIUMTEXT", DataType::Memo, 0},     {"CLOB", DataType::Memo, 0},
        {"NTEXT", DataType::Memo, 0},          {"LONGCHAR", DataType::Memo, 0},
        {"NOTE", DataType::Memo, 0},
        {"INTEGER", DataType::Long, 4},        {"INT", DataType::Long, 4},
        {"LONG", DataType::Long, 4},           {"MEDIUMINT", DataType::Long, 4},
        {"INT4", DataType::Long, 4},           {"INTEGER4", DataType::Long, 4},
        {"COUNTER", DataType::Long, 4},        {"AUTOINCREMENT", DataType::Long, 4},
        {"BIGINT", DataType::BigInt, 8},       {"INT8", DataType::BigInt, 8},
        {"UNSIGNED BIG INT", DataType::BigInt, 8},
        {"SMALLINT", DataType::Integer, 2},    {"SHORT", DataType::Integer, 2},
        {"INT2", DataType::Integer, 2},        {"INTEGER2", DataType::Integer, 2},
        {"BYTE", DataType::Byte, 1},           {"TINYINT", DataType::Byte, 1},
        {"INTEGER1", DataType::Byte, 1},
        {"REAL", DataType::Single, 4},         {"SINGLE", DataType::Single, 4},
        {"FLOAT4", DataType::Single, 4},       {"IEEESINGLE", DataType::Single, 4},
        {"DOUBLE", DataType::Double, 8},       {"DOUBLE PRECISION", DataType::Double, 8},
        {"FLOAT", DataType::Double, 8},        {"FLOAT8", DataType::Double, 8},
        {"IEEEDOUBLE", DataType::Double, 8},   {"NUMBER", DataType::Double, 8},
        {"CURRENCY", DataType::Currency, 8},   {"MONEY", DataType::Currency, 8},
        {"DATETIME", DataType::Date, 8},       {"DATE", DataType::Date, 8},
        {"TIMESTAMP", DataType::Date, 8},      {"TIME", DataType::Date, 8},
        {"BIT", DataType::Boolean, 1},         {"BOOLEAN", DataType::Boolean, 1},
        {"BOOL", DataType::Boolean, 1},        {"YESNO", DataType::Boolean, 1},
        {"LOGICAL", DataType::Boolean, 1},     {"LOGICAL1", DataType::Boolean, 1},
        {"BLOB", DataType::LongBinary, 0},     {"LONGBINARY", DataType::LongBinary, 0},
        {"OLEOBJECT", DataType::LongBinary, 0}, {"GENERAL", DataType::LongBinary, 0},
        {"IMAGE", DataType::LongBinary, 0},
        {"BINARY", DataType::Binary, -2},      {"VARBINARY", DataType::Binary, -2},
        {"NUMERIC", DataType::Numeric, 16},    {"DECIMAL", DataType::Decimal, 16},
        {"DEC", DataType::Decimal, 16},
        {"GUID", DataType::Guid, 16},          {"UNIQUEIDENTIFIER", DataType::Guid, 16},
    };
    for (const auto& n : names) {
        if (base != n.name) continue;
        if (n.size == -1) return TextOrMemo(size);
        if (n.size == -2) return {n.type, size > 0 ? size : 255};
        return {n.type, n.size};
    }
    // Anything else by SQLite's own affinity rules, so that a column behaves
    // as the data SQLite stores in it.
    if (Contains(base, "INT")) return {DataType::Long, 4};
    if (Contains(base, "CHAR") || Contains(base, "CLOB") || Contains(base, "TEXT"))
        return TextOrMemo(size);
    if (Contains(base, "BLOB")) return {DataType::LongBinary, 0};
    return {DataType::Double, 8};
}

bool IsTextType(DataType type) {
    return type == DataType::Text || type == DataType::Memo || type == DataType::Char ||
           type == DataType::Guid;
}

bool IsNumericType(DataType type) {
    switch (type) {
    case DataType::Boolean:
    case DataType::Byte:
    case DataType::Integer:
    case DataType::Long:
    case DataType::Currency:
    case DataType::Single:
    case DataType::Double:
    case DataType::BigInt:
    case DataType::Numeric:
    case DataType::Decimal:
    case DataType::Float:
        return true;
    default:
        return false;
    }
}

std::optional<DateTime> ParseIsoDateTime(std::string_view text) {
    auto digits = [&](std::size_t pos, std::size_t count, int& out) {
        if (pos + count > text.size()) return false;
        out = 0;
        for (std::size_t i = pos; i < pos + count; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
    if (!digits(0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(5, 2, mo) ||
        text[7] != '-' || !digits(8, 2, d))
        return std::nullopt;
    std::size_t pos = 10;
    if (pos < text.size()) {
        if ((text[pos] != ' ' && text[pos] != 'T') || !digits(pos + 1, 2, h) ||
            pos + 3 >= text.size() || text[pos + 3] != ':' || !digits(pos + 4, 2, mi))
            return std::nullopt;
        pos += 6;
        if (pos < text.size()) {
            if (text[pos] != ':' || !digits(pos + 1, 2, s)) return std::nullopt;
            pos += 3;
            if (pos < text.size()) {
                if (text[pos] != '.') return std::nullopt;
                std::size_t n = 0;
                int value = 0;
                for (std::size_t i = pos + 1; i < text.size(); ++i, ++n) {
                    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
                    if (n < 3) value = value * 10 + (text[i] - '0');
                }
                if (n == 0) return std::nullopt;
                for (std::size_t k = n; k < 3; ++k) value *= 10;
                ms = value;
            }
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return std::nullopt;
    return DateTime::FromParts(y, mo, d, h, mi, s, ms);
}

namespace {

// Where a stored form goes: a parameter of a statement or the result of a
// function of the engine's own (SqliteTransfer.cpp). A text or blob handed
// over as lasting stays the caller's until the statement has run.
struct ParameterSink {
    sqlite3_stmt* stmt;
    int index;
    void Null() { sqlite3_bind_null(stmt, index); }
    void Integer(long long v) { sqlite3_bind_int64(stmt, index, v); }
    void Real(double v) { sqlite3_bind_double(stmt, index, v); }
    void Text(std::string_view v, bool lasting) {
        sqlite3_bind_text(stmt, index, v.data(), static_cast<int>(v.size()), lasting ? SQLITE_STATIC : SQLITE_TRANSIENT);
    }
    void Blob(const Bytes& v) {
        if (v.empty()) sqlite3_bind_zeroblob(stmt, index, 0);
        else sqlite3_bind_blob(stmt, index, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
};

struct ResultSink {
    sqlite3_context* context;
    void Null() { sqlite3_result_null(context); }
    void Integer(long long v) { sqlite3_result_int64(context, v); }
    void Real(double v) { sqlite3_result_double(context, v); }
    void Text(std::string_view v, bool) {
        sqlite3_result_text(context, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void Blob(const Bytes& v) {
        if (v.empty()) sqlite3_result_zeroblob(context, 0);
        else sqlite3_result_blob(context, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
};

struct CheckSink {
    void Null() {}
    void Integer(long long) {}
    void Real(double) {}
    void Text(std::string_view, bool) {}
    void Blob(const Bytes&) {}
};

template <class Sink>
void Store(Sink sink, const Variant& value, const FieldInfo& field, const std::string& table) {
    switch (value.kind()) {
    case Variant::Kind::Null:
        sink.Null();
        return;
    case Variant::Kind::Boolean:
        sink.Integer(value.AsBool() ? 1 : 0);
        return;
    case Variant::Kind::Integer:
        sink.Integer(value.AsInteger());
        return;
    case Variant::Kind::Double:
        sink.Real(value.AsDouble());
        return;
    case Variant::Kind::Currency: {
        const std::int64_t scaled = value.AsCurrency().scaled;
        if (scaled % 10000 == 0)
            sink.Integer(scaled / 10000);
        else
            sink.Real(static_cast<double>(scaled) / 10000.0);
        return;
    }
    case Variant::Kind::Date: {
        if (IsNumericType(field.type)) ThrowConversion(field, table);
        const std::string iso = value.AsDate().ToIso();
        sink.Text(iso, false);
        return;
    }
    case Variant::Kind::Text: {
        const std::string& text = value.AsText();
        if (IsNumericType(field.type) || field.type == DataType::Date) ThrowConversion(field, table);
        if (field.type == DataType::Text && field.size > 0 && LongerThan(text, static_cast<std::size_t>(field.size)))
            throw Error(err::FieldTooSmall,
                        "Il campo '" + field.name + "' della tabella '" + table +
                            "' è troppo piccolo per accettare la quantità di dati che si è "
                            "tentato di aggiungere.",
                        "SQLite");
        sink.Text(text, true);
        return;
    }
    case Variant::Kind::Binary: {
        if (IsNumericType(field.type)) ThrowConversion(field, table);
        sink.Blob(value.AsBytes());
        return;
    }
    }
}

}  // namespace

void BindValue(sqlite3_stmt* stmt, int index, const Variant& value, const FieldInfo& field,
               const std::string& table) {
    Store(ParameterSink{stmt, index}, value, field, table);
}

void CheckStorable(const Variant& value, const FieldInfo& field, const std::string& table) {
    Store(CheckSink{}, value, field, table);
}

void ResultValue(sqlite3_context* context, const Variant& value, const FieldInfo& field, const std::string& table) {
    Store(ResultSink{context}, value, field, table);
}

namespace {

// A value read where it is: a column of the current row, or an argument of
// a function of the engine's own.
struct ColumnSource {
    sqlite3_stmt* stmt;
    int column;
    int Type() const { return sqlite3_column_type(stmt, column); }
    long long Int64() const { return sqlite3_column_int64(stmt, column); }
    double Double() const { return sqlite3_column_double(stmt, column); }
    const unsigned char* Text() const { return sqlite3_column_text(stmt, column); }
    const void* Blob() const { return sqlite3_column_blob(stmt, column); }
    int Bytes() const { return sqlite3_column_bytes(stmt, column); }
};

struct ArgumentSource {
    sqlite3_value* value;
    int Type() const { return sqlite3_value_type(value); }
    long long Int64() const { return sqlite3_value_int64(value); }
    double Double() const { return sqlite3_value_double(value); }
    const unsigned char* Text() const { return sqlite3_value_text(value); }
    const void* Blob() const { return sqlite3_value_blob(value); }
    int Bytes() const { return sqlite3_value_bytes(value); }
};

template <class Source>
Variant Natural(const Source& from, int storage) {
    switch (storage) {
    case SQLITE_INTEGER:
        return Variant(static_cast<long long>(from.Int64()));
    case SQLITE_FLOAT:
        return Variant(from.Double());
    case SQLITE_BLOB: {
        const auto* data = static_cast<const std::uint8_t*>(from.Blob());
        const int n = from.Bytes();
        return Variant(Bytes(data, data + n));
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(from.Text());
        const int n = from.Bytes();
        return Variant(ToValidUtf8(std::string_view(text ? text : "", text ? static_cast<std::size_t>(n) : 0)));
    }
    }
}

template <class Source>
Variant Read(const Source& from, const FieldInfo& field) {
    const int storage = from.Type();
    if (storage == SQLITE_NULL) return Variant();
    const bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    switch (field.type) {
    case DataType::Text:
    case DataType::Memo:
    case DataType::Char:
    case DataType::Guid:
        if (storage == SQLITE_BLOB) return Natural(from, storage);
        return Natural(from, SQLITE_TEXT);
    case DataType::Boolean:
        if (number) return Variant(from.Double() != 0.0);
        break;
    case DataType::Byte:
    case DataType::Integer:
    case DataType::Long:
    case DataType::BigInt:
        break;  // INTEGER as it is; a fraction stored by another tool stays visible
    case DataType::Single:
    case DataType::Double:
    case DataType::Float:
    case DataType::Numeric:
    case DataType::Decimal:
        if (number) return Variant(from.Double());
        break;
    case DataType::Currency:
        if (storage == SQLITE_INTEGER) {
            const long long whole = from.Int64();
            if (whole < 922'337'203'685'477LL && whole > -922'337'203'685'477LL)
                return Variant(core::Currency{whole * 10000});
        } else if (storage == SQLITE_FLOAT) {
            const double scaled = std::nearbyint(from.Double() * 10000.0);
            if (std::fabs(scaled) < 9.2e18)
                return Variant(core::Currency{static_cast<std::int64_t>(scaled)});
        }
        break;
    case DataType::Date:
    case DataType::Time:
    case DataType::TimeStamp:
        if (storage == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(from.Text());
            const int n = from.Bytes();
            if (auto date = ParseIsoDateTime(std::string_view(text, static_cast<std::size_t>(n))))
                return Variant(*date);
        } else if (number) {
            // A number in a date column is taken as a serial date (days from
            // 30/12/1899), the form Access and Excel exports carry.
            return Variant(DateTime::FromSerial(from.Double()));
        }
        break;
    default:
        break;
    }
    return Natural(from, storage);
}

}  // namespace

Variant ReadValue(sqlite3_stmt* stmt, int column, const FieldInfo& field) {
    return Read(ColumnSource{stmt, column}, field);
}

Variant ReadValue(sqlite3_value* value, const FieldInfo& field) { return Read(ArgumentSource{value}, field); }

}  // namespace core::sqlite
