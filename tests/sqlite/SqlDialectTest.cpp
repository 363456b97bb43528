#include <gtest/gtest.h>

#include "common/engine/sqlite/SqlDialect.h"

using core::sqlite::MainTable;
using core::sqlite::ParseTableSelect;
using core::sqlite::TranslateSql;

namespace {

bool TextColumns(std::string_view name) { return name == "sNome" || name == "sCognome"; }

TEST(SqlDialect, BracketedNamesStayNames) {
    EXPECT_EQ(TranslateSql("SELECT * FROM [tblAnClienti]"), "SELECT * FROM [tblAnClienti]");
    EXPECT_EQ(TranslateSql("DELETE FROM [Tab con spazi]"), "DELETE FROM [Tab con spazi]");
    // A quote or an apostrophe inside brackets is part of the name.
    EXPECT_EQ(TranslateSql("SELECT * FROM [a\"b'c]"), "SELECT * FROM [a\"b'c]");
    EXPECT_EQ(TranslateSql("SELECT * FROM [Città]"), "SELECT * FROM [Città]");
}

TEST(SqlDialect, LiteralsAreCopiedUntouched) {
    // Brackets, plus signs and doubled apostrophes inside a literal stay.
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [A] = '[x] + y''s'"),
              "UPDATE [T] SET [A] = '[x] + y''s' COLLATE NOCASE");
    EXPECT_EQ(TranslateSql("SELECT * FROM [T] WHERE [F] = 'O''BRIEN'"),
              "SELECT * FROM [T] WHERE [F] = 'O''BRIEN' COLLATE NOCASE");
    EXPECT_EQ(TranslateSql("SELECT * FROM [T] WHERE [F] = ''"),
              "SELECT * FROM [T] WHERE [F] = '' COLLATE NOCASE");
}

TEST(SqlDialect, DoubleQuotedTextIsALiteral) {
    EXPECT_EQ(TranslateSql("SELECT * FROM [T] WHERE [F] = \"it's\""),
              "SELECT * FROM [T] WHERE [F] = 'it''s' COLLATE NOCASE");
}

TEST(SqlDialect, ComparedTextsIgnoreCase) {
    EXPECT_EQ(TranslateSql("SELECT * FROM [T] WHERE 'a' <> [F]"),
              "SELECT * FROM [T] WHERE 'a' COLLATE NOCASE <> [F]");
    for (const char* op : {"<", ">", "<=", ">=", "!="}) {
        const std::string sql = std::string("SELECT * FROM [T] WHERE [F] ") + op + " 'x'";
        EXPECT_NE(TranslateSql(sql).find("'x' COLLATE NOCASE"), std::string::npos) << op;
    }
    // Only operands of a comparison: a selected literal keeps its value.
    EXPECT_EQ(TranslateSql("SELECT 'x', [F] FROM [T]"), "SELECT 'x', [F] FROM [T]");
}

TEST(SqlDialect, PlusBetweenTextsConcatenates) {
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [A] = ([B] + ' ' +  [C]) WHERE [A] = ''"),
              "UPDATE [T] SET [A] = ([B] || ' ' ||  [C]) WHERE [A] = '' COLLATE NOCASE");
    // Two text columns, known from the table's schema.
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [X] = [sNome] + [sCognome]", TextColumns),
              "UPDATE [T] SET [X] = [sNome] || [sCognome]");
}

TEST(SqlDialect, PlusBetweenNumbersStaysAddition) {
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [n] = [n] + 1", TextColumns),
              "UPDATE [T] SET [n] = [n] + 1");
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [n] = [a] + [b]", TextColumns),
              "UPDATE [T] SET [n] = [a] + [b]");
}

TEST(SqlDialect, UnterminatedPiecesDoNotCrash) {
    // SQLite reports the syntax error; the translator must only not read
    // past the end.
    EXPECT_NO_THROW(TranslateSql("SELECT * FROM [T"));
    EXPECT_NO_THROW(TranslateSql("SELECT * FROM T WHERE a = 'open"));
    EXPECT_NO_THROW(TranslateSql("\"open"));
    EXPECT_EQ(TranslateSql(""), "");
}

TEST(SqlDialect, MainTableOfEachStatementShape) {
    EXPECT_EQ(MainTable("SELECT * FROM [tblAree] WHERE [sCodice] = 'x'"), "tblAree");
    EXPECT_EQ(MainTable("delete from Clienti"), "Clienti");
    EXPECT_EQ(MainTable("UPDATE [T] SET [A] = ([B] + ' ' +  [C]) WHERE [A] = ''"), "T");
    EXPECT_EQ(MainTable("INSERT INTO [X] ([a]) VALUES (1)"), "X");
    EXPECT_FALSE(MainTable("SELECT 1").has_value());
}

TEST(SqlDialect, TableSelectShapes) {
    auto whole = ParseTableSelect("SELECT * FROM [tblAnClienti]");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->table, "tblAnClienti");
    EXPECT_EQ(whole->tail, "");

    auto lookup = ParseTableSelect("select  *  from [tblAree] WHERE [sCodice] = 'A''B'");
    ASSERT_TRUE(lookup);
    EXPECT_EQ(lookup->table, "tblAree");
    EXPECT_EQ(lookup->tail, " WHERE [sCodice] = 'A''B'");

    EXPECT_TRUE(ParseTableSelect("SELECT * FROM T ORDER BY [x]"));
    EXPECT_FALSE(ParseTableSelect("SELECT a FROM T"));
    EXPECT_FALSE(ParseTableSelect("SELECT * FROM A, B"));
    EXPECT_FALSE(ParseTableSelect("SELECT * FROM A INNER JOIN B ON A.x = B.x"));
    EXPECT_FALSE(ParseTableSelect("SELECT * FROM A WHERE x IN (SELECT x FROM B GROUP BY x)"));
}

}  // namespace
