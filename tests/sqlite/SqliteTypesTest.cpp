#include <gtest/gtest.h>

#include "common/engine/sqlite/SqliteTypes.h"

using core::DataType;
using core::sqlite::MapDeclaredType;
using core::sqlite::ParseIsoDateTime;

namespace {

struct Case {
    const char* declared;
    DataType type;
    int size;
};

TEST(SqliteTypes, DeclaredTypesMapToTypeAndSize) {
    const Case cases[] = {
        {"TEXT(50)", DataType::Text, 50},       {"varchar(20)", DataType::Text, 20},
        {"CHAR(3)", DataType::Text, 3},         {"NVARCHAR (10)", DataType::Text, 10},
        {"TEXT", DataType::Memo, 0},            {"MEMO", DataType::Memo, 0},
        {"LONGTEXT", DataType::Memo, 0},        {"VARCHAR", DataType::Memo, 0},
        {"INTEGER", DataType::Long, 4},         {"LONG", DataType::Long, 4},
        {"INT", DataType::Long, 4},             {"SMALLINT", DataType::Integer, 2},
        {"SHORT", DataType::Integer, 2},        {"BYTE", DataType::Byte, 1},
        {"TINYINT", DataType::Byte, 1},         {"REAL", DataType::Single, 4},
        {"SINGLE", DataType::Single, 4},        {"DOUBLE", DataType::Double, 8},
        {"FLOAT", DataType::Double, 8},         {"DOUBLE PRECISION", DataType::Double, 8},
        {"CURRENCY", DataType::Currency, 8},    {"MONEY", DataType::Currency, 8},
        {"DATETIME", DataType::Date, 8},        {"DATE", DataType::Date, 8},
        {"BIT", DataType::Boolean, 1},          {"BOOLEAN", DataType::Boolean, 1},
        {"YESNO", DataType::Boolean, 1},        {"BLOB", DataType::LongBinary, 0},
        {"BINARY(16)", DataType::Binary, 16},   {"NUMERIC(18,4)", DataType::Numeric, 16},
        {"DECIMAL", DataType::Decimal, 16},     {"BIGINT", DataType::BigInt, 8},
        // Unknown names follow SQLite's affinity rules.
        {"UNSIGNED MEDIUM INTEGER", DataType::Long, 4},
        {"CHARACTER VARYING(30)", DataType::Text, 30},
        {"WHATEVER", DataType::Double, 8},      {"", DataType::Memo, 0},
    };
    for (const auto& c : cases) {
        const auto t = MapDeclaredType(c.declared);
        EXPECT_EQ(t.type, c.type) << c.declared;
        EXPECT_EQ(t.size, c.size) << c.declared;
    }
}

TEST(SqliteTypes, IsoDatesParseWithAndWithoutTime) {
    auto d = ParseIsoDateTime("2024-02-29 13:45:10");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->ToIso(), "2024-02-29 13:45:10");
    auto dayOnly = ParseIsoDateTime("1999-12-31");
    ASSERT_TRUE(dayOnly);
    EXPECT_EQ(dayOnly->ToIso(), "1999-12-31 00:00:00");
    auto withT = ParseIsoDateTime("2001-01-02T03:04");
    ASSERT_TRUE(withT);
    EXPECT_EQ(withT->ToIso(), "2001-01-02 03:04:00");
    auto ms = ParseIsoDateTime("2001-01-02 03:04:05.25");
    ASSERT_TRUE(ms);
    EXPECT_EQ(ms->ToIso(), "2001-01-02 03:04:05.250");
    // A date before the epoch of serial dates keeps its parts.
    auto old = ParseIsoDateTime("1850-06-01 12:00:00");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->ToIso(), "1850-06-01 12:00:00");
}

TEST(SqliteTypes, NonDatesAreNotTakenForDates) {
    for (const char* text : {"", "2024", "2024-13-01", "2024-01-32", "24-01-01", "2024-01-01 25:00",
                             "2024-01-01 10:00:00x", "2024/01/01", "abcd-ef-gh", "2024-01-01 10"})
        EXPECT_FALSE(ParseIsoDateTime(text)) << text;
}

}  // namespace
