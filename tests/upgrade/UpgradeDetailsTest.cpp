// The details of Quillon's final message: per template table the rows of
// the archive and the rows copied, or why it was not copied; the fields the
// new structure dropped or added; the backup; and where a failed run
// stopped.

#include <gtest/gtest.h>

#include "common/Prefs.h"
#include "common/engine/Error.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/FileSwap.h"
#include "upgrade/UpgradeReport.h"
#include "upgrade/UpgradeRun.h"

using namespace upgradetest;
using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;

namespace {

// tblAree: three rows, a field the new structure drops (sVecchio);
// tblVuota: no rows; MSCodici: the engine's; msNote: a user table despite
// its name; tblSoloArchivio: gone from the new structure.
constexpr const char* kArchiveSql = R"(
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10), "sDescrizione" VARCHAR(30),
                        "sVecchio" VARCHAR(10));
INSERT INTO "tblAree" VALUES (3, 'N', 'Nord', 'x');
INSERT INTO "tblAree" VALUES (7, 'C', 'Centro', NULL);
INSERT INTO "tblAree" VALUES (42, 'S', 'Sud', 'y');
CREATE TABLE "tblVuota" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
CREATE TABLE "MSCodici" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "MSCodici" VALUES (1, 'A1');
CREATE TABLE "msNote" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sTesto" MEMO, "sAutore" VARCHAR(20),
                       "dData" DATETIME);
INSERT INTO "msNote" VALUES (5, 'prima nota', 'Ada', NULL);
INSERT INTO "msNote" VALUES (6, NULL, NULL, NULL);
CREATE TABLE "tblSoloArchivio" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblSoloArchivio" VALUES (1, 'vecchio');
)";

// tblAree drops sVecchio and gains two fields with defaults (names matched
// without regard to case: "SCODICE" is the archive's sCodice); tblNuova is
// new; msNote drops two fields.
constexpr const char* kTemplateSql = R"(
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "SCODICE" VARCHAR(10), "sDescrizione" VARCHAR(30),
                        "nPeso" DOUBLE DEFAULT 2.5, "bAttivo" BOOLEAN NOT NULL DEFAULT 1);
INSERT INTO "tblAree" ("SCODICE", "sDescrizione") VALUES ('X', 'consegnata');
CREATE TABLE "tblNuova" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
INSERT INTO "tblNuova" ("sCodice") VALUES ('IT');
CREATE TABLE "tblVuota" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
CREATE TABLE "MSCodici" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
CREATE TABLE "msNote" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sTesto" MEMO);
)";

class UpgradeDetailsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        core::InitPrefs("Quillon", "Quillon.ini");
        files.archive = folder.File("archivio.db");
        files.upgradeTemplate = files.archive + ".upg";
    }

    void MakeFiles(const std::string& archiveSql, const std::string& templateSql)
    {
        core::sqlite::CreateDatabase(files.archive, archiveSql, {});
        core::sqlite::CreateDatabase(files.upgradeTemplate, templateSql, {});
    }

    // The run with the question answered Yes; returns the final message.
    DialogCall RunYes(upgrade::FileOps ops = {})
    {
        dialogs->AnswerMessage(core::MsgResult::Yes);
        upgrade::UpgradeRun run(view, std::move(ops));
        run.Start(files);
        report = run.Report();
        return dialogs->LastMessage();
    }

    const upgrade::UpgradeReport::Table& TableNamed(const std::string& name) const
    {
        for (const auto& table : report.Tables())
            if (table.name == name) return table;
        throw std::runtime_error("no table " + name);
    }

    TempFolder folder;
    upgrade::UpgradeFiles files;
    ScopedScriptedDialogs dialogs;
    RecordingView view;
    upgrade::UpgradeReport report;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(UpgradeDetailsTest, SuccessListsEveryTemplateTableAndTheBackup)
{
    MakeFiles(kArchiveSql, kTemplateSql);
    const DialogCall done = RunYes();
    ASSERT_EQ(done.text, "Operazione eseguita con successo!") << dialogs->Transcript();
    EXPECT_EQ(done.icon, core::MsgIcon::Information);

    using State = upgrade::UpgradeReport::TableState;
    EXPECT_EQ(TableNamed("tblAree").state, State::Copied);
    EXPECT_EQ(TableNamed("tblAree").read, 3);
    EXPECT_EQ(TableNamed("tblAree").copied, 3);
    EXPECT_EQ(TableNamed("tblNuova").state, State::Missing);
    EXPECT_EQ(TableNamed("MSCodici").state, State::System);
    EXPECT_EQ(TableNamed("msNote").dropped, (std::vector<std::string>{"sAutore", "dData"}));

    EXPECT_EQ(done.details,
              "Tabelle del modello, nell'ordine di copia:\n"
              "   tblAree: 3 righe nell'archivio, 3 copiate\n"
              "      campi dell'archivio tolti dal modello: sVecchio\n"
              "      campi nuovi del modello, al valore predefinito: nPeso, bAttivo\n"
              "   tblNuova: saltata, non presente nell'archivio (restano le righe del modello)\n"
              "   tblVuota: 0 righe nell'archivio, 0 copiate\n"
              "   MSCodici: lasciata com'è (tabella di sistema)\n"
              "   msNote: 2 righe nell'archivio, 2 copiate\n"
              "      campi dell'archivio tolti dal modello: sAutore, dData\n"
              "\n"
              "Copia di sicurezza dell'archivio originale: " +
                  files.archive + ".bak\n");

    // The counts are the run's own and agree with the files it left.
    EXPECT_EQ(Rows(files.archive, "", "SELECT * FROM [tblAree]").size(), 3u);
    EXPECT_EQ(Rows(files.archive, "", "SELECT * FROM [msNote]").size(), 2u);
}

TEST_F(UpgradeDetailsTest, ARowRefusedShowsTablesDoneInProgressAndNotReached)
{
    // tblAree gains a required field the archive lacks: its first row is
    // refused, after tblVuota was copied.
    MakeFiles(kArchiveSql, R"(
CREATE TABLE "tblVuota" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10), "nObbligo" INTEGER NOT NULL);
CREATE TABLE "MSCodici" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
CREATE TABLE "msNote" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sTesto" MEMO);
)");
    const DialogCall error = RunYes();
    ASSERT_EQ(error.title, "Errore n. " + std::to_string(core::err::NullInRequired)) << dialogs->Transcript();
    EXPECT_FALSE(Has(error.text, "\n")) << error.text;

    EXPECT_EQ(error.details,
              "L'aggiornamento si è fermato durante la copia della tabella tblAree: l'archivio non è stato "
              "modificato.\n"
              "\n"
              "Tabelle completate:\n"
              "   tblVuota: 0 righe nell'archivio, 0 copiate\n"
              "Tabella in corso:\n"
              "   tblAree: 1 riga letta dall'archivio, 0 copiate prima dell'errore\n"
              "      campi dell'archivio tolti dal modello: sDescrizione, sVecchio\n"
              "      campi nuovi del modello, al valore predefinito: nObbligo\n"
              "Tabelle non raggiunte:\n"
              "   MSCodici\n"
              "   msNote\n"
              "\n"
              "Copia di sicurezza: non creata, l'archivio è rimasto al suo posto.\n");
}

TEST_F(UpgradeDetailsTest, AFailureAfterTheCopyNamesTheStepAndKeepsTheTables)
{
    // A trigger of the new structure throws a row away: the copy succeeds,
    // the count check does not.
    MakeFiles(kArchiveSql, std::string(kTemplateSql) + R"(
CREATE TRIGGER "trgPerdi" AFTER INSERT ON "tblAree" WHEN NEW."SCODICE" = 'C'
BEGIN DELETE FROM "tblAree" WHERE "ID" = NEW."ID"; END;
)");
    const DialogCall error = RunYes();
    ASSERT_EQ(error.title, "Errore n. 3000") << dialogs->Transcript();
    const std::string& d = error.details;
    EXPECT_EQ(d.rfind("L'aggiornamento si è fermato alla verifica del numero di righe, dopo la copia di tutte le "
                      "tabelle: l'archivio non è stato modificato.\n",
                      0),
              0u)
        << d;
    EXPECT_TRUE(Has(d, "Tabelle completate:\n   tblAree: 3 righe nell'archivio, 3 copiate\n")) << d;
    EXPECT_TRUE(Has(d, "Tabella in corso:\n   nessuna\nTabelle non raggiunte:\n   nessuna\n")) << d;
}

TEST_F(UpgradeDetailsTest, AFailedSwapSaysWhereTheBackupWas)
{
    MakeFiles(kArchiveSql, kTemplateSql);
    int renames = 0;
    upgrade::FileOps ops;
    ops.renameNoReplace = [&](const std::string& from, const std::string& to) {
        if (++renames == 2) {
            core::platform::FileOpResult denied;
            denied.outcome = core::platform::FileOpResult::Outcome::Denied;
            return denied;
        }
        return core::platform::RenameNoReplace(from, to);
    };
    const DialogCall error = RunYes(ops);
    ASSERT_EQ(error.title, "Errore n. 70") << dialogs->Transcript();
    const std::string& d = error.details;
    EXPECT_EQ(d.rfind("L'aggiornamento si è fermato allo scambio dei file", 0), 0u) << d;
    EXPECT_TRUE(Has(d, "L'archivio era stato rinominato in " + files.archive +
                           ".bak, ma il modello aggiornato non ha preso il suo posto"))
        << d;
}

TEST_F(UpgradeDetailsTest, AnExistingBackupLeavesTheArchiveInPlace)
{
    MakeFiles(kArchiveSql, kTemplateSql);
    WriteBytes(files.archive + ".bak", "previous backup");
    const DialogCall error = RunYes();
    ASSERT_EQ(error.title, "Errore n. 58") << dialogs->Transcript();
    EXPECT_TRUE(Has(error.details, "Copia di sicurezza: non creata, l'archivio è rimasto al suo posto.\n"))
        << error.details;
}

TEST_F(UpgradeDetailsTest, FilesSwappedButNotFlushedStillNameTheBackup)
{
    MakeFiles(kArchiveSql, kTemplateSql);
    int folderSyncs = 0;
    int renamesDone = 0;
    upgrade::FileOps ops;
    // The folder flush after the second rename is the first folder flush
    // of the swap; the earlier ones belong to the template's flush.
    ops.syncFolder = [&](const std::string& path) {
        if (renamesDone == 2 && ++folderSyncs == 1) return core::platform::FileOpResult{};  // Failed
        return core::platform::SyncFolder(path);
    };
    ops.renameNoReplace = [&](const std::string& from, const std::string& to) {
        ++renamesDone;
        return core::platform::RenameNoReplace(from, to);
    };
    const DialogCall error = RunYes(ops);
    ASSERT_EQ(error.icon, core::MsgIcon::Critical) << dialogs->Transcript();
    EXPECT_TRUE(Has(error.details, "Copia di sicurezza dell'archivio originale: " + files.archive + ".bak\n"))
        << error.details;
}

TEST_F(UpgradeDetailsTest, AnArchiveThatCannotBeOpenedListsNoTables)
{
    WriteBytes(files.archive, "not a database");
    core::sqlite::CreateDatabase(files.upgradeTemplate, kTemplateSql, {});
    const DialogCall error = RunYes();
    ASSERT_EQ(error.icon, core::MsgIcon::Critical) << dialogs->Transcript();
    EXPECT_EQ(error.details.rfind("L'aggiornamento si è fermato all'apertura dei file, prima della copia: "
                                  "l'archivio non è stato modificato.\n",
                                  0),
              0u)
        << error.details;
    EXPECT_TRUE(Has(error.details, "Tabelle completate:\n   nessuna\n")) << error.details;
}

}  // namespace
