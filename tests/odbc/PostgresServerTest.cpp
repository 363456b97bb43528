// The ODBC driver against a real PostgreSQL server holding the version-5
// structure. Every test here needs the server (see PostgresTestServer.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "tests/support/PostgresTestServer.h"

using namespace core;

namespace {

const std::string kSchema = std::string(AGENCY_SOURCE_DIR) + "/samples/schema/v5-postgres.sql";

int ErrorNumber(const std::function<void()>& action, std::string* description = nullptr) {
    try {
        action();
    } catch (const Error& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
    return 0;
}

void AddArea(Recordset& rs, const Variant& code, const Variant& description) {
    rs.AddNew();
    rs.Fields()["sCodice"] = code;
    rs.Fields()["sDescrizione"] = description;
    rs.Update();
}

std::string WithPassword(std::string connect, const std::string& password) {
    const std::size_t pos = connect.find("PWD=");
    const std::size_t end = connect.find(';', pos);
    connect.replace(pos, (end == std::string::npos ? connect.size() : end) - pos, "PWD=" + password);
    return connect;
}

}  // namespace

TEST(PostgresServerTest, WrongPasswordIsRefusedWithoutShowingIt) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_login", "");
    std::string description;
    EXPECT_EQ(ErrorNumber([&] { Workspace::OpenDatabase("", false, false, WithPassword(connect, "Sbagliata99")); },
                          &description),
              err::BadPassword);
    EXPECT_EQ(description.find("Sbagliata99"), std::string::npos);
    EXPECT_NE(description.find("rifiutato"), std::string::npos);
}

TEST(PostgresServerTest, SavesLooksUpCaseInsensitivelyAndKeepsOddCodesUnchanged) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_lookup", kSchema);
    DataControl to;
    to.Connect = connect;
    to.RecordSource = "SELECT * FROM [tblAree]";
    to.Refresh();
    AddArea(to.Recordset(), "NORD", "Nord Italia");
    AddArea(to.Recordset(), "D'ALFA", "Con apostrofo");
    AddArea(to.Recordset(), "a';[DROP]", "Parole chiave");
    AddArea(to.Recordset(), Variant(), Variant());

    DataControl support;
    support.Connect = connect;
    auto lookUp = [&](const std::string& code) -> Variant {
        std::string quoted;
        for (char c : code) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        support.RecordSource = "SELECT * FROM [tblAree] WHERE [sCodice] = '" + quoted + "'";
        support.Refresh();
        return support.Recordset().Eof() ? Variant() : support.Recordset().Fields()["ID"].Value();
    };
    EXPECT_EQ(lookUp("nord"), Variant(1));
    EXPECT_EQ(lookUp("d'alfa"), Variant(2));
    EXPECT_EQ(lookUp("a';[DROP]"), Variant(3));
    EXPECT_TRUE(lookUp("SUD").IsNull());

    auto db = Workspace::OpenDatabase("", false, true, connect);
    auto rs = db->OpenRecordset("tblAree");
    int rows = 0;
    for (; !rs->Eof(); rs->MoveNext()) ++rows;
    EXPECT_EQ(rows, 4);
}

TEST(PostgresServerTest, TypesAndSizesComeFromTheColumnDescriptions) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_types", kSchema);
    auto db = Workspace::OpenDatabase("", false, false, connect);
    auto rs = db->OpenRecordset("SELECT * FROM [tblAnClienti]");
    auto fields = rs->Fields();
    EXPECT_EQ(fields["ID"].Type(), DataType::Long);
    EXPECT_EQ(fields["sCodice"].Type(), DataType::Text);
    EXPECT_EQ(fields["sCodice"].Size(), 10);
    EXPECT_EQ(fields["sNote"].Type(), DataType::Memo);
    EXPECT_EQ(fields["nFido"].Type(), DataType::Currency);
    EXPECT_EQ(fields["nSconto1"].Type(), DataType::Double);
    EXPECT_EQ(fields["bAttivo"].Type(), DataType::Boolean);
    EXPECT_EQ(fields["dInserimento"].Type(), DataType::Date);

    rs->AddNew();
    rs->Fields()["sCodice"] = "C1";
    rs->Fields()["nFido"] = Variant(Currency{12345678});
    rs->Fields()["sNote"] = std::string(20000, 'n') + "è";
    rs->Fields()["dInserimento"] = Variant(DateTime::FromParts(2002, 9, 27, 8, 30, 5));
    rs->Update();
    auto back = db->OpenRecordset("SELECT * FROM [tblAnClienti] WHERE [sCodice] = 'c1'");
    ASSERT_FALSE(back->Eof());
    EXPECT_EQ(back->Fields()["nFido"].Value(), Variant(Currency{12345678}));
    EXPECT_EQ(back->Fields()["sNote"].Value().AsText().size(), 20002u);
    EXPECT_EQ(back->Fields()["dInserimento"].Value(), Variant(DateTime::FromParts(2002, 9, 27, 8, 30, 5)));
    EXPECT_EQ(back->Fields()["bAttivo"].Value(), Variant(true));
    EXPECT_TRUE(back->Fields()["IDArea"].Value().IsNull());
}

TEST(PostgresServerTest, ServerErrorsMapOntoTheEngineNumbers) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_errors", kSchema);
    ASSERT_TRUE(testsupport::RunPsql("agency_errors",
                                         "-c 'CREATE UNIQUE INDEX u_um ON \"tblUnMisura\" (\"sCodice\")'"));
    auto db = Workspace::OpenDatabase("", false, false, connect);
    EXPECT_EQ(ErrorNumber([&] { db->OpenRecordset("SELECT * FROM [tblMancante]"); }), err::TableNotFound);
    EXPECT_EQ(ErrorNumber([&] { db->OpenRecordset("SELECT * FROM [tblAree] WHERE [sMancante] = 'x'"); }),
              err::ItemNotFound);
    auto units = db->OpenRecordset("tblUnMisura");
    units->AddNew();
    units->Fields()["sCodice"] = "PZ";
    units->Update();
    units->AddNew();
    units->Fields()["sCodice"] = "pz";
    // Saves go to the server in batches: a refusal comes at the latest
    // with the commit.
    EXPECT_EQ(ErrorNumber([&] {
                  units->Update();
                  db->Commit();
              }),
              err::DuplicateKey);
    auto payments = db->OpenRecordset("tblMoPagamento");
    payments->AddNew();
    payments->Fields()["sCodice"] = "RB30";
    payments->Fields()["nScad01"] = Variant();
    EXPECT_EQ(ErrorNumber([&] {
                  payments->Update();
                  db->Commit();
              }),
              err::NullInRequired);
    payments->CancelUpdate();
    payments->AddNew();
    EXPECT_EQ(ErrorNumber([&] { payments->Fields()["sCodice"] = "UNCODICETROPPOLUNGO"; }), err::FieldTooSmall);
    EXPECT_EQ(ErrorNumber([&] { payments->Fields()["nRate"] = "molte"; }), err::ConversionError);
    EXPECT_EQ(ErrorNumber([&] { payments->Fields()["nRate"] = Variant(100000); }), err::ConversionError);
    // A value that only the server refuses: beyond its SMALLINT range.
    EXPECT_EQ(ErrorNumber([&] { db->Execute("UPDATE [tblMoPagamento] SET [nRate] = 100000"); }), err::ConversionError);

    // What was saved before the errors is on the server.
    db->Close();
    units.reset();
    payments.reset();
    Engine::Instance().FlushAll();
    auto fresh = Workspace::OpenDatabase("", false, true, connect + ";ApplicationName=verifica");
    auto check = fresh->OpenRecordset("SELECT * FROM [tblUnMisura] WHERE [sCodice] = 'PZ'");
    EXPECT_FALSE(check->Eof());
}

TEST(PostgresServerTest, CompletionStatementConcatenatesTextsWithNullPropagation) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_update", kSchema);
    auto db = Workspace::OpenDatabase("", false, false, connect);
    auto rs = db->OpenRecordset("tblAnClienti");
    const Variant rows[][3] = {{"Rossi", "Mario", ""}, {"Bianchi", Variant(), ""}, {"Verdi", "Anna", "Già"}};
    for (const auto& row : rows) {
        rs->AddNew();
        rs->Fields()["sCognome"] = row[0];
        rs->Fields()["sNome"] = row[1];
        rs->Fields()["sDenominazione"] = row[2];
        rs->Update();
    }
    db->Execute("UPDATE [tblAnClienti] SET [sDenominazione] = ([sCognome] + ' ' +  [sNome]) WHERE [sDenominazione] = ''");
    EXPECT_EQ(db->RecordsAffected(), 2);
    auto nameOf = [&](const std::string& surname) {
        auto check = db->OpenRecordset("SELECT * FROM [tblAnClienti] WHERE [sCognome] = '" + surname + "'");
        return check->Fields()["sDenominazione"].Value();
    };
    EXPECT_EQ(nameOf("Rossi"), Variant("Rossi Mario"));
    EXPECT_TRUE(nameOf("Bianchi").IsNull());
    EXPECT_EQ(nameOf("Verdi"), Variant("Già"));
}

TEST(PostgresServerTest, FileDsnListsTablesLikeAnAccessFile) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_filedsn", kSchema);
    const auto dir = std::filesystem::temp_directory_path() / ("agency-dsn-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto dsn = dir / "agenzia.dsn";
    {
        std::ofstream out(dsn);
        out << "[ODBC]\nDRIVER=PostgreSQL Unicode\nSERVER=" << testsupport::PgValue("SERVER")
            << "\nPORT=" << testsupport::PgValue("PORT") << "\nDATABASE=agency_filedsn\nUID="
            << testsupport::PgValue("UID") << "\n";
    }
    DataControl from;
    from.Connect = "ODBC;PWD=" + testsupport::PgValue("PWD");
    from.DatabaseName = dsn.string();
    from.Refresh();
    std::vector<std::string> names;
    for (const auto& def : from.Database().TableDefs()) names.push_back(def.Name);
    EXPECT_NE(std::find(names.begin(), names.end(), "tblAnClienti"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "tblCaClienti"), names.end());
    from.RecordSource = "tblCaClienti";
    from.Refresh();
    EXPECT_EQ(from.Recordset().Fields()["sDescrizione"].Value(), Variant("(nessuna)"));
    from.Close();
    std::filesystem::remove_all(dir);
}
