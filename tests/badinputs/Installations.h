#pragma once
// A temporary installation of each program (its INI, its destination
// archive, Tessily's templates) and the steps a user takes in its window,
// pressed headless through the handlers. Every dialog is answered by
// ScriptedDialogs: questions with Yes, everything else as cancelled.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/Startup.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "import/frmMain.h"
#include "migrate/frmMain.h"
#include "tests/badinputs/BadInputSupport.h"
#include "tests/ui/QtTestApp.h"
#include "upgrade/frmMain.h"

namespace badinputstest {

inline std::string V5Script() { return Bytes(std::string(AGENCY_SAMPLES) + "/schema/v5.sql"); }
inline std::string V4Script() { return Bytes(std::string(AGENCY_SAMPLES) + "/v4gen/v4_schema.sql"); }

// Questions are answered Yes (go on), everything else keeps its default.
inline void AnswerYesToQuestions(testsupport::ScriptedDialogs& dialogs) {
    dialogs.SetStrict(false);
    dialogs.OnMessage([](const testsupport::DialogCall& call) -> std::optional<core::MsgResult> {
        if (call.buttons == core::MsgButtons::YesNo || call.buttons == core::MsgButtons::YesNoCancel)
            return core::MsgResult::Yes;
        return std::nullopt;
    });
}

class Installation {
public:
    Installation(const char* program, const char* ini) {
        testsupport::EnsureQtApp();
        folder_ = dir_.path().toStdString();
        fs::create_directories(folder_ + "/Dati");
        fs::create_directories(folder_ + "/Tpl");
        core::SetProgramFolderForTesting(folder_);
        core::InitPrefs(program, ini);
        iniPath_ = folder_ + "/" + ini;
    }
    virtual ~Installation() {
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        core::SetProgramFolderForTesting({});
    }
    const std::string& Folder() const { return folder_; }
    std::string File(const std::string& name) const { return folder_ + "/" + name; }
    void WriteIni(const std::string& text) const { WriteBytes(iniPath_, text); }
    virtual std::string Destination() const = 0;

protected:
    QTemporaryDir dir_;
    std::string folder_;
    std::string iniPath_;
};

// Varnel: destination Dati/archivio5.db (key "chiave5"), sources offered as
// Access (1) and SQLite (2).
class VarnelHome : public Installation {
public:
    static constexpr const char* kKey = "chiave5";
    VarnelHome() : Installation("Varnel", "Varnel.ini") { WriteIni(DefaultIni()); }
    static std::string DefaultIni() {
        return "[CFG]\r\nAPPNAME=Agenzia Prova\r\nDBPATH=Dati\\\r\nDBFILE=archivio5.db\r\n"
               "DBPWD=63686961766535\r\nPREFILE=ARCHIVIO4.sqlite\r\nPREPWD=vup\r\nFORMATS=2\r\n"
               "[FORMATS]\r\n1=Microsoft Access,,.mdb\r\n2=SQLite,,.sqlite\r\n";
    }
    std::string Destination() const override { return folder_ + "/Dati/archivio5.db"; }
    void MakeDestination() const { core::sqlite::CreateDatabase(Destination(), V5Script(), kKey); }
    std::string MakeArchive(const std::string& rows, const std::string& name = "archivio4.sqlite") const {
        core::sqlite::CreateDatabase(File(name), V4Script() + "\n" + rows, "vup");
        return File(name);
    }

    std::unique_ptr<migrate::frmMain> Load() const { return core::LoadedWindow<migrate::frmMain>(); }
    // Chooses the source through the window's dialog; whether Avvia can be pressed.
    static bool Choose(migrate::frmMain& w, testsupport::ScriptedDialogs& dialogs, const std::string& path,
                       int filter) {
        dialogs.AnswerFile(path, filter);
        w.cmdSourceDb_Click();
        return w.cmdAvvia()->isEnabled();
    }
};

// Tessily: destination Dati/archivio.db (key "segreto"), the source formats
// of the sample installation, two destination tables with templates.
class TessilyHome : public Installation {
public:
    static constexpr const char* kKey = "segreto";
    enum Format { Access = 1, Dbase = 3, Csv = 4, Sqlite = 6, Excel = 7 };

    TessilyHome() : Installation("Tessily", "Tessily.ini") {
        WriteIni(Ini("2", kTables));
        WriteTemplate("Clienti", kClientiTpl);
        WriteTemplate("Mandanti", "[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n2=Denominazione,sDenominazione\n");
    }
    static constexpr const char* kTables = "1=Clienti,tblAnClienti\n2=Mandanti,tblAnMandanti\n";
    static constexpr const char* kClientiTpl =
        "[CFG]\nSTD=4\nREQ=0\n[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Denominazione,sDenominazione\n"
        "4=Note,sNote\n";
    static std::string Formats(const std::string& count = "9") {
        return "FORMATS=" + count + "\n";
    }
    static std::string FormatSection() {
        return "[FORMATS]\n1=Microsoft Access,,.mdb\n2=Microsoft Access 2007,,.accdb\n3=dBASE IV,dBASE IV;,.dbf\n"
               "4=Testo CSV,Text;,.csv\n5=Testo,Text;,.txt\n6=Archivio SQLite,SQLite;,.db\n"
               "7=Excel 97-2003,Excel 8.0;,.xls\n8=Origine dati ODBC,ODBC;,.dsn\n9=Archivio SQLite 3,,.sqlite\n";
    }
    static std::string Ini(const std::string& tablesCount, const std::string& tables,
                           const std::string& formatsCount = "9", const std::string& formats = FormatSection()) {
        return "[CFG]\nAPPNAME=Gestione Agenzia\nDBPATH=Dati\\\nDBFILE=archivio.db\nDBPWD=7365677265746f\n"
               "PREFILE=vecchio.db\nPREPWD=\nFORMATS=" + formatsCount + "\nTABLES=" + tablesCount + "\n" + formats +
               "[TABLES]\n" + tables;
    }
    void WriteTemplate(const std::string& name, const std::string& text) const {
        WriteBytes(folder_ + "/Tpl/" + name + ".ini", text);
    }
    std::string Destination() const override { return folder_ + "/Dati/archivio.db"; }
    void MakeDestination() const { core::sqlite::CreateDatabase(Destination(), V5Script(), kKey); }
    std::string MakeSqliteSource(const std::string& script, const std::string& name = "origine.db") const {
        core::sqlite::CreateDatabase(File(name), script);
        return File(name);
    }

    std::unique_ptr<import::frmMain> Load() const { return core::LoadedWindow<import::frmMain>(); }
    // Chooses the source, pairs the first slot (Codice) with `field` and
    // the others by their names where the source has them; presses Avvia.
    static void ChooseAndRun(import::frmMain& w, testsupport::ScriptedDialogs& dialogs, const std::string& path,
                             int format, const std::string& field = "Codice") {
        dialogs.AnswerFile(path, format);
        w.cmdSourceDb_Click();
        if (w.Ended() || !w.cmdAvvia()->isEnabled()) return;
        w.cmbFldFrom(0)->setCurrentText(QString::fromStdString(field));
        for (int i = 1; i < 4; ++i) w.cmbFldFrom(i)->setCurrentText(w.lblFldTo(i)->text());
        w.cmdAvvia_Click();
    }
};

// Quillon: archive Dati/archivio.db without a key, template beside it.
class QuillonHome : public Installation {
public:
    QuillonHome() : Installation("Quillon", "Quillon.ini") { WriteIni(DefaultIni()); }
    static std::string DefaultIni() {
        return "[CFG]\r\nAPPNAME=Agenzia\r\nDBPATH=Dati\\\r\nDBFILE=archivio.db\r\nDBPWD=\r\n";
    }
    std::string Destination() const override { return folder_ + "/Dati/archivio.db"; }
    void MakeArchiveAndTemplate() const {
        core::sqlite::CreateDatabase(Destination(), R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblAree" VALUES (1, 'N');)");
        core::sqlite::CreateDatabase(Destination() + ".upg",
                                     R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));)");
    }
};

}  // namespace badinputstest
