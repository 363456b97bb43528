#include <gtest/gtest.h>

#include "common/engine/Dao.h"
#include "common/engine/Driver.h"
#include "common/engine/SimpleSql.h"

using namespace core;

TEST(ConnectTextTest, SplitsDriverPasswordAndOptions) {
    auto c = ConnectText::Parse(";PWD=segreto");
    EXPECT_EQ(c.driver, "");
    EXPECT_EQ(c.password, "segreto");
    c = ConnectText::Parse("Access 2000;");
    EXPECT_EQ(c.driver, "Access 2000");
    EXPECT_EQ(c.password, "");
    c = ConnectText::Parse("dBASE IV;PWD= a b ");
    EXPECT_EQ(c.driver, "dBASE IV");
    EXPECT_EQ(c.password, " a b ");
    c = ConnectText::Parse("ODBC;DSN=agenzia;UID=mario;PWD=x");
    EXPECT_EQ(c.driver, "ODBC");
    EXPECT_EQ(c.options["DSN"], "agenzia");
    EXPECT_EQ(c.options["UID"], "mario");
    EXPECT_EQ(c.password, "x");
    c = ConnectText::Parse("Access 2000;;PWD=y");
    EXPECT_EQ(c.password, "y");
}

TEST(SimpleSqlTest, ReadsTheStatementsTheProgramsSend) {
    auto s = ParseSimpleSelect("SELECT * FROM [Clienti]");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->table, "Clienti");
    EXPECT_FALSE(s->whereField);
    s = ParseSimpleSelect("select * from [Listini prezzi] where [sCodice] = 'D''ALFA'");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->table, "Listini prezzi");
    EXPECT_EQ(*s->whereField, "sCodice");
    EXPECT_EQ(s->whereValue, "D'ALFA");
    s = ParseSimpleSelect("SELECT * FROM clienti.dbf");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->table, "clienti.dbf");
    EXPECT_TRUE(ParseSimpleSelect("SELECT * FROM [T] WHERE [F] = ''"));
    EXPECT_FALSE(ParseSimpleSelect("SELECT a FROM [T]"));
    EXPECT_FALSE(ParseSimpleSelect("SELECT * FROM [T] WHERE [F] = 'x' OR 1=1"));
    EXPECT_FALSE(ParseSimpleSelect("SELECT * FROM [T] WHERE [F] = 'unterminated"));
    EXPECT_FALSE(ParseSimpleSelect("SELECT * FROM [T"));
}

TEST(SimpleSqlTest, TellsActionStatementsAndRecordSources) {
    EXPECT_TRUE(IsActionStatement("DELETE FROM [T]"));
    EXPECT_TRUE(IsActionStatement("  update [T] SET [A] = 1"));
    EXPECT_TRUE(IsActionStatement("SELECT * INTO [B] FROM [A]"));
    EXPECT_FALSE(IsActionStatement("SELECT * FROM [Deleted]"));
    EXPECT_FALSE(IsActionStatement("DELETED"));
    EXPECT_TRUE(LooksLikeSql("SELECT * FROM [T]"));
    EXPECT_TRUE(LooksLikeSql("select *from t"));
    EXPECT_FALSE(LooksLikeSql("Selezione clienti"));
    EXPECT_FALSE(LooksLikeSql("clienti.dbf"));
    EXPECT_EQ(SelectAllFrom("A B"), "SELECT * FROM [A B]");
}
