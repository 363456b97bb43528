#include <gtest/gtest.h>

#include "common/engine/odbc/OdbcApi.h"
#include "common/engine/odbc/OdbcDialect.h"

using namespace core::odbc;

TEST(OdbcDialectTest, BracketsBecomeServerQuotesAndLiteralsStayUntouched) {
    const Dialect pg;
    EXPECT_EQ(TranslateSql("SELECT * FROM [tblAree] WHERE [sCodice] = 'D''[ALFA]'", pg),
              "SELECT * FROM \"tblAree\" WHERE \"sCodice\" = 'D''[ALFA]'");
    EXPECT_EQ(QuoteIdentifier("a\"b", pg), "\"a\"\"b\"");
    Dialect backtick;
    backtick.quote = "`";
    EXPECT_EQ(TranslateSql("DELETE FROM [T]", backtick), "DELETE FROM `T`");
}

TEST(OdbcDialectTest, TextPlusBecomesConcatenationButNumbersStillAdd) {
    const Dialect pg;
    auto text = [](std::string_view name) { return name != "nPrezzo"; };
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [A] = ([B] + ' ' +  [C]) WHERE [A] = ''", pg, text),
              "UPDATE \"T\" SET \"A\" = (\"B\" || ' ' ||  \"C\") WHERE \"A\" = ''");
    EXPECT_EQ(TranslateSql("UPDATE [T] SET [nPrezzo] = [nPrezzo] + 1", pg, text),
              "UPDATE \"T\" SET \"nPrezzo\" = \"nPrezzo\" + 1");
    Dialect server;
    server.concat = "+";
    EXPECT_EQ(TranslateSql("SELECT [B] + ' ' + [C] FROM [T]", server, text), "SELECT \"B\" + ' ' + \"C\" FROM \"T\"");
}

TEST(OdbcApiTest, PasswordsNeverReachAMessage) {
    EXPECT_EQ(HidePassword("DSN=a;UID=b;PWD=segreto;X=1", "segreto"), "DSN=a;UID=b;PWD=***;X=1");
    EXPECT_EQ(HidePassword("login for segreto failed", "segreto"), "login for *** failed");
    EXPECT_EQ(EngineNumberFor("28P01", ""), 3031);
    EXPECT_EQ(EngineNumberFor("42P01", ""), 3078);
    EXPECT_EQ(EngineNumberFor("42703", ""), 3265);
    EXPECT_EQ(EngineNumberFor("23505", ""), 3022);
    EXPECT_EQ(EngineNumberFor("23502", ""), 3314);
    EXPECT_EQ(EngineNumberFor("22001", ""), 3163);
    EXPECT_EQ(EngineNumberFor("22P02", ""), 3421);
    EXPECT_EQ(EngineNumberFor("23000", "cannot insert NULL"), 3314);
    EXPECT_EQ(EngineNumberFor("08001", "FATAL: password authentication failed for user"), 3031);
    EXPECT_EQ(EngineNumberFor("08001", "could not connect to server"), 3151);
}
