// Varnel and Tessily with their destination on a PostgreSQL server (the
// DBCONNECT setting), and Tessily reading a server table through a file
// data source. Every test needs the server (see PostgresTestServer.h).

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/ProgressText.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "import/ImportRun.h"
#include "import/TemplateFormat.h"
#include "migrate/MigrationRun.h"
#include "tests/support/PostgresTestServer.h"
#include "tests/support/ScriptedDialogs.h"

using core::Variant;

namespace {

const std::string kPgSchema = std::string(AGENCY_SOURCE_DIR) + "/samples/schema/v5-postgres.sql";
const std::string kArchive = std::string(AGENCY_SAMPLES) + "/v4/archivio4.mdb";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Hex pairs of each byte, as DBPWD and the password of DBCONNECT are written.
std::string Hex(const std::string& text) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

// The connect text with its password hex-encoded, as the INI holds it.
std::string IniConnect(const std::string& connect) {
    const std::size_t pos = connect.find("PWD=");
    const std::size_t end = connect.find(';', pos);
    const std::string password = connect.substr(pos + 4, end == std::string::npos ? std::string::npos : end - pos - 4);
    std::string out = connect;
    out.replace(pos + 4, password.size(), Hex(password));
    return out;
}

using Row = std::vector<Variant>;

// Every record of a table ordered by ID, without the columns that the
// database fills at the moment of saving (the insertion date).
std::vector<Row> TableRows(core::Database& db, const std::string& table, std::vector<std::string>* names = nullptr) {
    auto rs = db.OpenRecordset("SELECT * FROM [" + table + "] ORDER BY [ID]");
    std::vector<int> kept;
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        if (rs->Fields()[i].Name() == "dInserimento") continue;
        kept.push_back(i);
        if (names) names->push_back(rs->Fields()[i].Name());
    }
    std::vector<Row> rows;
    for (; !rs->Eof(); rs->MoveNext()) {
        Row row;
        for (int i : kept) row.push_back(rs->Fields()[i].Value());
        rows.push_back(std::move(row));
    }
    return rows;
}

class ProgramFolder {
public:
    ProgramFolder() {
        folder_ = dir_.path().toStdString();
        std::filesystem::create_directories(folder_ + "/Dati");
        core::SetProgramFolderForTesting(folder_);
    }
    ~ProgramFolder() {
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        core::SetProgramFolderForTesting({});
    }
    const std::string& Path() const { return folder_; }
    void Write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(folder_ + "/" + name).parent_path());
        std::ofstream(folder_ + "/" + name, std::ios::binary) << text;
    }

private:
    QTemporaryDir dir_;
    std::string folder_;
};

class View : public migrate::MigrationView {
public:
    explicit View(std::string source) : source_(std::move(source)) {}
    std::string SourcePath() const override { return source_; }
    bool EmptyTablesChecked() const override { return true; }
    void SetProgressVisible(bool) override {}
    void SetProgressValue(int) override {}

private:
    std::string source_;
};

// One whole migration of the sample Access archive with the given INI;
// lastMessage gets the final message.
migrate::RunOutcome RunMigration(ProgramFolder& folder, const std::string& ini, testsupport::DialogCall& lastMessage) {
    folder.Write("Varnel.ini", ini);
    core::InitPrefs("Varnel", "Varnel.ini");
    core::LoadDestinationSettings(true);
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->AnswerMessage(core::MsgResult::Yes);
    core::DataControl from, to, support;
    View view(kArchive);
    migrate::MigrationRun run(view, {from, to, support});
    const auto outcome = run.Run();
    lastMessage = dialogs->LastMessage();
    return outcome;
}

// The same, ending in the success message.
migrate::RunOutcome Migrate(ProgramFolder& folder, const std::string& ini) {
    testsupport::DialogCall last;
    const auto outcome = RunMigration(folder, ini, last);
    EXPECT_EQ(last.text, msg::kSuccess);
    return outcome;
}

}  // namespace

TEST(PostgresProgramsTest, VarnelFillsTheServerExactlyAsItFillsTheFileDatabase) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_varnel", kPgSchema);
    ProgramFolder folder;
    core::sqlite::CreateDatabase(folder.Path() + "/Dati/archivio5.db", ReadText(std::string(AGENCY_SAMPLES) + "/schema/v5.sql"),
                                 "chiave5");
    const std::string fileIni = "[CFG]\r\nDBPATH=Dati\\\r\nDBFILE=archivio5.db\r\nDBPWD=" + Hex("chiave5") + "\r\n";
    ASSERT_EQ(Migrate(folder, fileIni), migrate::RunOutcome::Succeeded);
    ASSERT_EQ(Migrate(folder, fileIni + "DBCONNECT=" + IniConnect(connect) + "\r\n"), migrate::RunOutcome::Succeeded);

    auto file = core::Workspace::OpenDatabase(folder.Path() + "/Dati/archivio5.db", false, true, ";PWD=chiave5");
    auto server = core::Workspace::OpenDatabase("", false, true, connect);
    std::size_t compared = 0;
    for (const char* table : {"tblAnMandanti", "tblAree", "tblZone", "tblTiPagamento", "tblMoPagamento", "tblCaArticoli",
                              "tblAliquoteIVA", "tblListini", "tblUnMisura", "tblAnSubAgenti", "tblAnClienti",
                              "tblArticoli", "tblArListini"}) {
        std::vector<std::string> names;
        const auto expected = TableRows(*file, table, &names);
        const auto actual = TableRows(*server, table);
        ASSERT_EQ(actual.size(), expected.size()) << table;
        EXPECT_FALSE(expected.empty()) << table;
        for (std::size_t r = 0; r < expected.size(); ++r)
            for (std::size_t c = 0; c < names.size(); ++c)
                EXPECT_EQ(core::Describe(actual[r][c]), core::Describe(expected[r][c]))
                    << table << " record " << r + 1 << " field " << names[c];
        compared += expected.size();
    }
    EXPECT_GT(compared, 15000u);
}

namespace {

class PairingView : public import::ImportView {
public:
    std::map<int, std::string> pairs;
    std::int32_t SelectedTableId() override { return 1; }
    std::string SlotSource(int k) override { return pairs.count(k) ? pairs[k] : std::string(); }
    bool EmptyDestinationFirst() override { return true; }
    void SetProgress(int) override {}
};

struct ImportOutcome {
    bool succeeded = false;
    testsupport::DialogCall message;  // the last message box
};

// Tessily with its destination on the server `connect`, importing into
// tblAnClienti with the template text given, from the table that
// `sourceSql` makes in an encrypted file, with the fields paired as given.
ImportOutcome ImportIntoServer(const std::string& connect, const std::string& templateIni, const std::string& sourceSql,
                               const std::string& sourceTable, std::map<int, std::string> pairs) {
    ProgramFolder folder;
    folder.Write("Tessily.ini", "[CFG]\r\nDBCONNECT=" + IniConnect(connect) + "\r\nTABLES=1\r\n[TABLES]\r\n1=Clienti,tblAnClienti\r\n");
    folder.Write("Tpl/Clienti.ini", templateIni);
    core::InitPrefs("Tessily", "Tessily.ini");
    core::LoadDestinationSettings(true);
    EXPECT_TRUE(core::DestinationIsServer());

    const std::string source = folder.Path() + "/origine.db";
    core::sqlite::CreateDatabase(source, sourceSql);
    std::vector<core::cTable> tables{core::cTable{1, "Clienti", "tblAnClienti"}};
    const auto tpl = import::ReadImportTemplate(folder.Path() + "/Tpl/Clienti.ini");
    core::DataControl from, to;
    from.Connect = ";PWD=";
    from.DatabaseName = source;
    from.RecordSource = sourceTable;
    from.Refresh();
    PairingView view;
    view.pairs = std::move(pairs);
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->AnswerMessage(core::MsgResult::Yes);
    import::ImportSetup setup;
    setup.tables = &tables;
    setup.tpl = &tpl;
    setup.dcFrom = &from;
    setup.dcTo = &to;
    setup.programTitle = "Tessily";
    import::ImportRun run(setup, view);
    ImportOutcome outcome;
    outcome.succeeded = run.Run();
    outcome.message = dialogs->LastMessage();
    return outcome;
}

}  // namespace

TEST(PostgresProgramsTest, TessilyImportsIntoTheServerWithEveryConversionAndARule) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_tessily", kPgSchema);
    // The source: a small encrypted file with texts for every group.
    const ImportOutcome outcome = ImportIntoServer(
        connect,
        "[CFG]\r\nSTD=7\r\nREQ=2\r\n[STD]\r\n1=Codice,sCodice\r\n2=Cognome,sCognome\r\n3=Nome,sNome\r\n"
        "4=Fido,nFido\r\n5=Sconto,nSconto1\r\n6=Inserito,dInserimento\r\n7=Denominazione,sDenominazione\r\n"
        "[REQ]\r\n1=sDenominazione,&,sCognome,sNome\r\n2=sNote,+,sCognome,sNome\r\n",
        "CREATE TABLE Rubrica (Codice TEXT, Cognome TEXT, Nome TEXT, Fido TEXT, Sconto TEXT, Data TEXT, Vuoto TEXT);"
        "INSERT INTO Rubrica VALUES ('C0000000001X','Rossi','Mario','12abc','2.25','27/09/2002','');"
        "INSERT INTO Rubrica VALUES ('B2','D''Amico',NULL,'1500.5','abc','non una data','');",
        "Rubrica", {{1, "Codice"}, {2, "Cognome"}, {3, "Nome"}, {4, "Fido"}, {5, "Sconto"}, {6, "Data"}, {7, "Vuoto"}});
    ASSERT_TRUE(outcome.succeeded) << outcome.message.text;

    auto server = core::Workspace::OpenDatabase("", false, true, connect);
    std::vector<std::string> names;
    const auto rows = TableRows(*server, "tblAnClienti", &names);
    ASSERT_EQ(rows.size(), 2u);
    auto field = [&](std::size_t r, const std::string& name) {
        for (std::size_t c = 0; c < names.size(); ++c)
            if (names[c] == name) return rows[r][c];
        ADD_FAILURE() << name;
        return Variant();
    };
    EXPECT_EQ(field(0, "sCodice"), Variant("C000000000"));          // text cut to the field's size
    EXPECT_EQ(field(0, "nFido"), Variant(core::Currency{0}));        // "12abc" is no number
    EXPECT_EQ(field(1, "nFido"), Variant(core::Currency{15005000}));
    EXPECT_EQ(field(0, "nSconto1"), Variant(2.25));
    EXPECT_EQ(field(1, "nSconto1"), Variant(0.0));                   // "abc" is no number
    EXPECT_EQ(field(0, "sDenominazione"), Variant("Rossi Mario"));  // the rule
    EXPECT_TRUE(field(1, "sDenominazione").IsNull());               // Null propagates
    EXPECT_TRUE(field(0, "sNote").IsNull());                        // "+" rule skipped
    auto dates = server->OpenRecordset("SELECT * FROM [tblAnClienti] WHERE [sCodice] = 'b2'");
    ASSERT_FALSE(dates->Eof());
    EXPECT_EQ(dates->Fields()["dInserimento"].Value(), Variant(core::DateTime::Today()));
}

TEST(PostgresProgramsTest, TessilyReadsAServerTableThroughAFileDataSource) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_source", kPgSchema);
    ProgramFolder folder;
    folder.Write("agenzia.dsn", "[ODBC]\r\nDRIVER=PostgreSQL Unicode\r\nSERVER=" + testsupport::PgValue("SERVER") +
                                    "\r\nPORT=" + testsupport::PgValue("PORT") + "\r\nDATABASE=agency_source\r\nUID=" +
                                    testsupport::PgValue("UID") + "\r\n");
    core::sqlite::CreateDatabase(folder.Path() + "/Dati/archivio5.db", ReadText(std::string(AGENCY_SAMPLES) + "/schema/v5.sql"),
                                 "chiave5");
    folder.Write("Tessily.ini", "[CFG]\r\nDBPATH=Dati\\\r\nDBFILE=archivio5.db\r\nDBPWD=" + Hex("chiave5") +
                                    "\r\nTABLES=1\r\n[TABLES]\r\n1=Categorie,tblCaClienti\r\n");
    folder.Write("Tpl/Categorie.ini", "[CFG]\r\nSTD=2\r\n[STD]\r\n1=Codice,sCodice\r\n2=Descrizione,sDescrizione\r\n");
    core::InitPrefs("Tessily", "Tessily.ini");
    core::LoadDestinationSettings(true);

    // As the source selection binds it: the .dsn file with the "ODBC;" driver
    // text and the password typed by the user.
    core::DataControl from, to;
    from.Connect = "ODBC;PWD=" + testsupport::PgValue("PWD");
    from.DatabaseName = folder.Path() + "/agenzia.dsn";
    from.RecordSource = "tblCaClienti";
    from.Refresh();
    std::vector<core::cTable> tables{core::cTable{1, "Categorie", "tblCaClienti"}};
    const auto tpl = import::ReadImportTemplate(folder.Path() + "/Tpl/Categorie.ini");
    PairingView view;
    view.pairs = {{1, "sCodice"}, {2, "sDescrizione"}};
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->AnswerMessage(core::MsgResult::Yes);
    import::ImportSetup setup;
    setup.tables = &tables;
    setup.tpl = &tpl;
    setup.dcFrom = &from;
    setup.dcTo = &to;
    setup.destinationPath = core::ThePrefs().destinationPath;
    setup.destinationPassword = core::ThePrefs().destinationPassword;
    setup.programTitle = "Tessily";
    import::ImportRun run(setup, view);
    ASSERT_TRUE(run.Run()) << dialogs->LastMessage().text;
    EXPECT_EQ(run.RecordsCopied(), 5);
    auto file = core::Workspace::OpenDatabase(folder.Path() + "/Dati/archivio5.db", false, true, ";PWD=chiave5");
    auto rs = file->OpenRecordset("SELECT * FROM [tblCaClienti] WHERE [sDescrizione] = 'dettaglio'");
    EXPECT_FALSE(rs->Eof());
}

TEST(PostgresProgramsTest, TessilyNamesTheRecordTheServerRefusedAfterLaterOnesWereRead) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_tessily_refusal", kPgSchema);
    ASSERT_TRUE(testsupport::RunPsql("agency_tessily_refusal",
                                     "-c 'CREATE UNIQUE INDEX u_codice ON \"tblAnClienti\" (\"sCodice\")'"));
    // 3,000 codes; the 1,500th repeats the 10th. Saves go in batches, so
    // the server refuses it while later records are being read.
    const ImportOutcome outcome = ImportIntoServer(
        connect, "[CFG]\r\nSTD=1\r\nREQ=0\r\n[STD]\r\n1=Codice,sCodice\r\n",
        "CREATE TABLE Codici (Codice TEXT);"
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 3000) "
        "INSERT INTO Codici SELECT CASE x WHEN 1500 THEN 'K10' ELSE 'K' || x END FROM n;",
        "Codici", {{1, "Codice"}});
    EXPECT_FALSE(outcome.succeeded);
    const testsupport::DialogCall& error = outcome.message;
    EXPECT_EQ(error.title, "Errore n. 3022") << error.text;
    EXPECT_NE(error.text.find("(record 1500 dell'origine"), std::string::npos) << error.text;
    // The records read after it were never saved: none is said to be lost.
    EXPECT_EQ(error.text.find("persi"), std::string::npos) << error.text;
    EXPECT_NE(error.details.find("al record 1500 dell'origine: 1499 record salvati prima dell'errore; il record 1500 "
                                 "non è stato salvato, né i successivi fino al "),
              std::string::npos)
        << error.details;
    auto server = core::Workspace::OpenDatabase("", false, true, connect);
    EXPECT_EQ(TableRows(*server, "tblAnClienti").size(), 1499u);
}

TEST(PostgresProgramsTest, VarnelStopsAtARecordTheServerRefusesWithoutCallingLaterOnesLost) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_varnel_refusal", kPgSchema);
    ASSERT_TRUE(testsupport::RunPsql("agency_varnel_refusal", "-c \"ALTER TABLE \\\"tblAnClienti\\\" ADD CONSTRAINT "
                                                              "no_c01500 CHECK (\\\"sCodice\\\" <> 'C01500')\""));
    ProgramFolder folder;
    testsupport::DialogCall error;
    EXPECT_EQ(RunMigration(folder, "[CFG]\r\nDBCONNECT=" + IniConnect(connect) + "\r\n", error),
              migrate::RunOutcome::Stopped);
    // Client C01500 is refused when its batch is sent, after later clients
    // were read: they were never saved, and are not said to be lost.
    EXPECT_EQ(error.text.find("persi"), std::string::npos) << error.text;
    auto server = core::Workspace::OpenDatabase("", false, true, connect);
    const std::size_t saved = TableRows(*server, "tblAnClienti").size();
    EXPECT_GT(saved, 1000u);
    EXPECT_LT(saved, 1500u);
    EXPECT_NE(error.text.find("(contati nel database): " + core::GroupDigits(static_cast<long long>(saved)) + "."),
              std::string::npos)
        << error.text;
}
