// The defaults of PostgreSQL columns that a new record may be given
// explicitly: only plain literals that give exactly the server's value.

#include <gtest/gtest.h>

#include "common/engine/odbc/OdbcDefaults.h"

using core::DataType;
using core::Variant;

TEST(OdbcDefaultsTest, OnlyPlainLiteralsBecomeValues) {
    auto column = [](DataType type, bool counter = false) {
        core::FieldInfo field;
        field.type = type;
        field.autoIncrement = counter;
        return field;
    };
    struct Case {
        const char* expression;
        core::FieldInfo column;
        std::optional<Variant> expected;
    };
    const Case cases[] = {
        {"", column(DataType::Text), Variant()},                                   // no default: Null
        {"", column(DataType::Long, true), std::nullopt},                           // a counter
        {"''::character varying", column(DataType::Text), Variant("")},
        {"'(nessuna)'::character varying", column(DataType::Text), Variant("(nessuna)")},
        {"'a''b'::character varying", column(DataType::Text), std::nullopt},        // quote inside
        {"'x'::text || 'y'::text", column(DataType::Memo), std::nullopt},           // an expression
        {"0", column(DataType::Double), Variant(0.0)},
        {"(-1)", column(DataType::Long), Variant(-1)},
        {"'7'::integer", column(DataType::Long), std::nullopt},
        {"1.5", column(DataType::Long), std::nullopt},                              // not whole
        {"0", column(DataType::Currency), Variant(core::Currency{0})},
        {"12.3456", column(DataType::Currency), Variant(core::Currency{123456})},
        {"0.12345", column(DataType::Currency), std::nullopt},                      // the server rounds
        {"true", column(DataType::Boolean), Variant(true)},
        {"1", column(DataType::Boolean), std::nullopt},
        {"now()", column(DataType::Date), std::nullopt},
        {"CURRENT_TIMESTAMP", column(DataType::Date), std::nullopt},
        {"nextval('s'::regclass)", column(DataType::Long), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto actual = core::odbc::FixedDefault(c.expression, c.column);
        ASSERT_EQ(actual.has_value(), c.expected.has_value()) << c.expression;
        if (actual) {
            EXPECT_EQ(core::Describe(*actual), core::Describe(*c.expected)) << c.expression;
        }
    }
}
