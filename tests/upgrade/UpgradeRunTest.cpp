// The upgrade run on real files: what ends up in the upgraded database,
// what the window is shown, and what happens to the three files when a
// step fails.

#include <gtest/gtest.h>

#include "common/Prefs.h"
#include "common/engine/Error.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/FileSwap.h"
#include "upgrade/TableCopy.h"
#include "upgrade/UpgradeChecks.h"
#include "upgrade/UpgradeRun.h"

using namespace upgradetest;
using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;

namespace {

constexpr const char* kArchiveSql = R"(
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10), "sDescrizione" VARCHAR(30),
                        "sVecchio" VARCHAR(10));
INSERT INTO "tblAree" VALUES (3, 'N', 'Nord', 'x');
INSERT INTO "tblAree" VALUES (7, 'C', 'Centro', NULL);
INSERT INTO "tblAree" VALUES (42, 'S', 'Sud', 'y');
CREATE TABLE "tblVuota" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
CREATE TABLE "MSCodici" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "MSCodici" VALUES (1, 'A1');
CREATE TABLE "msNote" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sTesto" MEMO);
INSERT INTO "msNote" VALUES (5, 'prima nota');
INSERT INTO "msNote" VALUES (6, NULL);
CREATE TABLE "tblSoloArchivio" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblSoloArchivio" VALUES (1, 'vecchio');
)";

// The new structure: tblAree loses sVecchio and gains two fields with
// defaults; tblNuova is new and delivered with rows; tblSoloArchivio is gone.
constexpr const char* kTemplateSql = R"(
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10), "sDescrizione" VARCHAR(30),
                        "nPeso" DOUBLE DEFAULT 2.5, "bAttivo" BOOLEAN NOT NULL DEFAULT 1);
INSERT INTO "tblAree" ("sCodice", "sDescrizione") VALUES ('X', 'consegnata');
CREATE TABLE "tblNuova" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
INSERT INTO "tblNuova" ("sCodice") VALUES ('IT');
INSERT INTO "tblNuova" ("sCodice") VALUES ('FR');
CREATE TABLE "tblVuota" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sCodice" VARCHAR(10));
INSERT INTO "tblVuota" ("sCodice") VALUES ('consegnata');
CREATE TABLE "MSCodici" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "MSCodici" VALUES (9, 'T1');
CREATE TABLE "msNote" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "sTesto" MEMO);
)";

class UpgradeRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::InitPrefs("Quillon", "Quillon.ini");
        files.archive = folder.File("archivio.db");
        files.upgradeTemplate = files.archive + ".upg";
        files.password = "";
    }

    void MakeFiles(const std::string& archiveSql = kArchiveSql, const std::string& templateSql = kTemplateSql,
                   const std::string& archiveKey = {}, const std::string& templateKey = {}) {
        core::sqlite::CreateDatabase(files.archive, archiveSql, archiveKey);
        core::sqlite::CreateDatabase(files.upgradeTemplate, templateSql, templateKey);
        originalArchive = ReadBytes(files.archive);
    }

    // The run with the question answered Yes.
    void RunYes(upgrade::FileOps ops = {}) {
        dialogs->AnswerMessage(core::MsgResult::Yes);
        upgrade::UpgradeRun run(view, std::move(ops));
        run.Start(files);
    }

    std::string Backup() const { return files.archive + ".bak"; }

    TempFolder folder;
    upgrade::UpgradeFiles files;
    std::string originalArchive;
    ScopedScriptedDialogs dialogs;
    RecordingView view;
};

TEST_F(UpgradeRunTest, AnsweringNoChangesNothingAndOpensNothing) {
    // Not even databases: opening either would be reported as an error.
    WriteBytes(files.archive, "not a database");
    WriteBytes(files.upgradeTemplate, "nor this");
    dialogs->AnswerMessage(core::MsgResult::No);
    upgrade::UpgradeRun run(view);
    run.Start(files);

    ASSERT_EQ(dialogs->Calls().size(), 1u) << dialogs->Transcript();
    const auto question = dialogs->LastMessage();
    EXPECT_EQ(question.text, "Confermi l'operazione di aggiornamento?");
    EXPECT_EQ(question.title, "Quillon");
    EXPECT_EQ(question.icon, core::MsgIcon::Exclamation);
    EXPECT_EQ(question.buttons, core::MsgButtons::YesNo);
    EXPECT_EQ(ReadBytes(files.archive), "not a database");
    EXPECT_EQ(ReadBytes(files.upgradeTemplate), "nor this");
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_TRUE(view.captions.empty());
    EXPECT_TRUE(view.progress.empty());
}

TEST_F(UpgradeRunTest, UpgradeCarriesRowsIntoTheNewStructureAndSwapsTheFiles) {
    MakeFiles();
    RunYes();

    const auto messages = dialogs->Messages();
    ASSERT_EQ(messages.size(), 2u) << dialogs->Transcript();
    EXPECT_EQ(messages[1].text, "Operazione eseguita con successo!");
    EXPECT_EQ(messages[1].icon, core::MsgIcon::Information);
    EXPECT_EQ(messages[1].title, "Quillon");
    EXPECT_FALSE(dialogs->Busy());

    // Files: the old archive is the backup, byte for byte; no template left,
    // no journal beside anything.
    EXPECT_EQ(ReadBytes(Backup()), originalArchive);
    EXPECT_FALSE(Exists(files.upgradeTemplate));
    EXPECT_TRUE(SideFilesIn(folder.Path()).empty());
    EXPECT_TRUE(upgrade::IsPlainSqlite(files.archive));

    // Keys carried unchanged, dropped field gone, new fields at their
    // defaults, delivered rows of a copied table gone.
    EXPECT_EQ(FieldNames(files.archive, "", "tblAree"),
              (std::vector<std::string>{"ID", "sCodice", "sDescrizione", "nPeso", "bAttivo"}));
    EXPECT_EQ(Rows(files.archive, "", "SELECT * FROM [tblAree]"),
              (std::vector<std::vector<std::string>>{
                  {"Integer(3)", "Text(\"N\")", "Text(\"Nord\")", "Double(2.5)", "Boolean(True)"},
                  {"Integer(7)", "Text(\"C\")", "Text(\"Centro\")", "Double(2.5)", "Boolean(True)"},
                  {"Integer(42)", "Text(\"S\")", "Text(\"Sud\")", "Double(2.5)", "Boolean(True)"}}));
    // An empty archive table empties the template's.
    EXPECT_TRUE(Rows(files.archive, "", "SELECT * FROM [tblVuota]").empty());
    // A table new in this structure keeps what it was delivered with.
    EXPECT_EQ(Rows(files.archive, "", "SELECT [sCodice] FROM [tblNuova]").size(), 2u);
    // "MS" tables are the engine's: untouched; msNote is a user table.
    EXPECT_EQ(Rows(files.archive, "", "SELECT * FROM [MSCodici]"),
              (std::vector<std::vector<std::string>>{{"Integer(9)", "Text(\"T1\")"}}));
    EXPECT_EQ(Rows(files.archive, "", "SELECT * FROM [msNote]"),
              (std::vector<std::vector<std::string>>{{"Integer(5)", "Text(\"prima nota\")"}, {"Integer(6)", "Null"}}));
    // A table the template lacks is not carried over.
    const auto tables = TableNames(files.archive, "");
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "tblSoloArchivio"), 0);

    // The window: one caption and one yield per copied table, in the
    // template's order; the new table never named.
    EXPECT_EQ(view.captions, (std::vector<std::string>{"Copia della tabella tblAree in corso...",
                                                       "Copia della tabella tblVuota in corso...",
                                                       "Copia della tabella msNote in corso..."}));
    EXPECT_EQ(dialogs->Count(DialogCall::Kind::ProcessEvents), 1 + 3);
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.back(), 0);
    // One value per copied row: tblAree's 3, msNote's 2 (tblVuota sets
    // nothing), then the final 0. Within a table the bar only moves on.
    ASSERT_EQ(view.progress.size(), 3u + 2u + 1u);
    EXPECT_LE(view.progress[0], view.progress[1]);
    EXPECT_LE(view.progress[1], view.progress[2]);
    EXPECT_GT(view.progress[2], 50);
    EXPECT_LE(view.progress[3], view.progress[4]);
}

TEST_F(UpgradeRunTest, EngineTablesAreNeitherListedNorTouchedAndCountersGoOn) {
    MakeFiles();
    // AUTOINCREMENT keeps its counters in an internal table of the engine.
    for (const auto& name : TableNames(files.upgradeTemplate, ""))
        EXPECT_NE(name.rfind("sqlite_", 0), 0u) << name;
    RunYes();
    ASSERT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();

    auto db = core::Workspace::OpenDatabase(files.archive, false, false, "");
    auto rs = db->OpenRecordset("tblAree");
    rs->AddNew();
    rs->Fields()["sCodice"] = core::Variant("Z");
    rs->Update();
    rs->Close();
    db->Close();
    const auto rows = Rows(files.archive, "", "SELECT [ID] FROM [tblAree] WHERE [sCodice] = 'Z'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Integer(43)");
}

TEST_F(UpgradeRunTest, ExistingBackupIsRefusedBeforeAnyTableIsCopied) {
    MakeFiles();
    WriteBytes(Backup(), "the office's previous backup");
    const std::string delivered = Dump(files.upgradeTemplate, "");
    RunYes();

    const auto error = dialogs->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 58");
    EXPECT_EQ(error.icon, core::MsgIcon::Critical);
    EXPECT_NE(error.text.find(Backup()), std::string::npos) << error.text;
    EXPECT_EQ(ReadBytes(Backup()), "the office's previous backup");
    EXPECT_EQ(ReadBytes(files.archive), originalArchive);
    // The template is still as delivered: a new run after the old backup
    // is moved copies into a fresh one.
    EXPECT_EQ(Dump(files.upgradeTemplate, ""), delivered);
    EXPECT_TRUE(view.captions.empty());
    EXPECT_FALSE(dialogs->Busy());
    EXPECT_EQ(view.progress.back(), 0);
}

TEST_F(UpgradeRunTest, FailingSecondRenamePutsTheArchiveBack) {
    MakeFiles();
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
    RunYes(ops);

    EXPECT_EQ(renames, 3);  // archive away, template refused, archive back
    EXPECT_EQ(dialogs->LastMessage().title, "Errore n. 70");
    EXPECT_EQ(ReadBytes(files.archive), originalArchive);
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_TRUE(Exists(files.upgradeTemplate));
}

TEST_F(UpgradeRunTest, WhenTheArchiveCannotBePutBackTheMessageSaysWhereItIs) {
    MakeFiles();
    int renames = 0;
    upgrade::FileOps ops;
    ops.renameNoReplace = [&](const std::string& from, const std::string& to) {
        if (++renames >= 2) return core::platform::FileOpResult{};  // Failed
        return core::platform::RenameNoReplace(from, to);
    };
    RunYes(ops);

    const auto error = dialogs->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 75");
    EXPECT_NE(error.text.find("L'archivio originale si trova in '" + Backup() + "'"), std::string::npos)
        << error.text;
    EXPECT_EQ(ReadBytes(Backup()), originalArchive);
}

TEST_F(UpgradeRunTest, AvviaAgainAfterSuccessFailsOnTheTemplateAndChangesNoFile) {
    MakeFiles();
    dialogs->AnswerMessage(core::MsgResult::Yes).AnswerMessage(core::MsgResult::Yes);
    upgrade::UpgradeRun run(view);
    run.Start(files);
    ASSERT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!");
    const std::string upgraded = ReadBytes(files.archive);
    const std::string backup = ReadBytes(Backup());

    run.Start(files);
    const auto error = dialogs->LastMessage();
    EXPECT_EQ(error.title, "Errore n. " + std::to_string(core::err::FileNotFoundDb)) << error.text;
    EXPECT_NE(error.text.find(files.upgradeTemplate), std::string::npos) << error.text;
    EXPECT_EQ(ReadBytes(files.archive), upgraded);
    EXPECT_EQ(ReadBytes(Backup()), backup);
    EXPECT_FALSE(Exists(files.upgradeTemplate));
}

TEST_F(UpgradeRunTest, AnEngineErrorStopsTheRunBeforeAnyRename) {
    // A required field the archive does not have: the first row is refused.
    MakeFiles(kArchiveSql, R"(
CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10), "nObbligo" INTEGER NOT NULL);
)");
    RunYes();

    const auto error = dialogs->LastMessage();
    EXPECT_EQ(error.title, "Errore n. " + std::to_string(core::err::NullInRequired)) << error.text;
    EXPECT_EQ(error.icon, core::MsgIcon::Critical);
    EXPECT_EQ(ReadBytes(files.archive), originalArchive);
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_TRUE(Exists(files.upgradeTemplate));
    EXPECT_FALSE(dialogs->Busy());
    EXPECT_EQ(view.progress.back(), 0);
    EXPECT_EQ(view.captions.back(), "Copia della tabella tblAree in corso...");
    EXPECT_TRUE(SideFilesIn(folder.Path()).empty());
}

TEST_F(UpgradeRunTest, RowsLostInTheTemplateStopTheRunBeforeAnyRename) {
    // A trigger of the new structure that throws some rows away: the copy
    // itself succeeds, the count does not match.
    MakeFiles(kArchiveSql, std::string(kTemplateSql) + R"(
CREATE TRIGGER "trgPerdi" AFTER INSERT ON "tblAree" WHEN NEW."sCodice" = 'C'
BEGIN DELETE FROM "tblAree" WHERE "ID" = NEW."ID"; END;
)");
    RunYes();

    const auto error = dialogs->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 3000") << error.text;
    EXPECT_NE(error.text.find("tblAree"), std::string::npos);
    EXPECT_EQ(ReadBytes(files.archive), originalArchive);
    EXPECT_FALSE(Exists(Backup()));
    const auto stages = view.stages;
    EXPECT_EQ(std::count(stages.begin(), stages.end(), upgrade::UpgradeStage::Verified), 0);
}

TEST_F(UpgradeRunTest, APlainTemplateIsEncryptedLikeTheArchive) {
    files.password = "s\xC3\xA8greto";
    MakeFiles(kArchiveSql, kTemplateSql, files.password, {});
    ASSERT_FALSE(upgrade::IsPlainSqlite(files.archive));
    ASSERT_TRUE(upgrade::IsPlainSqlite(files.upgradeTemplate));
    RunYes();
    ASSERT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();

    EXPECT_FALSE(upgrade::IsPlainSqlite(files.archive));
    EXPECT_EQ(Rows(files.archive, files.password, "SELECT * FROM [tblAree]").size(), 3u);
    try {
        Rows(files.archive, "sbagliata", "SELECT * FROM [tblAree]");
        ADD_FAILURE() << "a wrong password opened the upgraded archive";
    } catch (const core::Error& e) {
        EXPECT_EQ(e.Number(), core::err::BadPassword);
    }
    EXPECT_FALSE(Exists(files.upgradeTemplate + ".tmp"));
    EXPECT_TRUE(SideFilesIn(folder.Path()).empty());
}

TEST_F(UpgradeRunTest, AnEncryptedTemplateIsUsedAsItIs) {
    files.password = "chiave";
    MakeFiles(kArchiveSql, kTemplateSql, files.password, files.password);
    RunYes();
    ASSERT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();
    EXPECT_EQ(std::count(view.stages.begin(), view.stages.end(), upgrade::UpgradeStage::Protected), 0);
    EXPECT_EQ(Rows(files.archive, files.password, "SELECT * FROM [msNote]").size(), 2u);
}

TEST_F(UpgradeRunTest, StagesComeInTheirOrder) {
    files.password = "chiave";
    MakeFiles(kArchiveSql, kTemplateSql, files.password, {});
    RunYes();
    using S = upgrade::UpgradeStage;
    EXPECT_EQ(view.stages, (std::vector<S>{S::TablesCopied, S::Verified, S::Closed, S::Protected, S::Flushed,
                                          S::BackupMade, S::Swapped}));
}

TEST_F(UpgradeRunTest, AStopRequestedWhileTheWindowYieldsRenamesNothing) {
    MakeFiles();
    upgrade::UpgradeRun run(view);
    int yields = 0;
    dialogs->AnswerMessage(core::MsgResult::Yes).OnCall([&](const DialogCall& call) {
        if (call.kind == DialogCall::Kind::ProcessEvents && ++yields == 2) run.RequestStop();
    });
    run.Start(files);

    EXPECT_EQ(dialogs->MessageCount(), 1) << dialogs->Transcript();
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(dialogs->Busy());
    EXPECT_EQ(ReadBytes(files.archive), originalArchive);
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_TRUE(SideFilesIn(folder.Path()).empty());
}

TEST(UpgradeRules, SystemTablesAreTheNamesBeginningWithCapitalMS) {
    EXPECT_TRUE(upgrade::IsSystemTableName("MSysObjects"));
    EXPECT_TRUE(upgrade::IsSystemTableName("MSCodici"));
    EXPECT_FALSE(upgrade::IsSystemTableName("msNote"));
    EXPECT_FALSE(upgrade::IsSystemTableName("Ms"));
    EXPECT_FALSE(upgrade::IsSystemTableName("M"));
    EXPECT_FALSE(upgrade::IsSystemTableName(""));
}

TEST(UpgradeRules, ProgressRoundsHalvesToEvenWithinTheBar) {
    EXPECT_EQ(upgrade::ProgressValue(12.5), 12);
    EXPECT_EQ(upgrade::ProgressValue(13.5), 14);
    EXPECT_EQ(upgrade::ProgressValue(33.3333), 33);
    EXPECT_EQ(upgrade::ProgressValue(99.5), 100);
    EXPECT_EQ(upgrade::ProgressValue(-3), 0);
    EXPECT_EQ(upgrade::ProgressValue(250), 100);
}

TEST(UpgradeRules, BackupIsTheArchivePathFollowedByBak) {
    EXPECT_EQ(upgrade::BackupPath("/a/archivio.mdb"), "/a/archivio.mdb.bak");
}

}  // namespace
