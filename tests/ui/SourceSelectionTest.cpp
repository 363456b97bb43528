#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <fstream>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/SourceSelection.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/ui/QtTestApp.h"
#include "ui/SourceWidgets.h"

using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;

namespace {

const char* kPrompt = "L'archivio selezionato è protetto da password! Inserire la password per proseguire:";

struct WithQtApp {
    WithQtApp() { testsupport::EnsureQtApp(); }
};

// A program folder with its INI file, sample databases and the window's
// controls, for one program.
class SourceSelection : public ::testing::Test, private WithQtApp {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString();
        core::SetProgramFolderForTesting(folder_);
        UseProgram(core::ProgramKind::Varnel);
        txtSourceDb_.setText("nessuno");
        cmdAvvia_.setEnabled(false);
        cmbTblFrom_.setEnabled(false);
    }
    void TearDown() override
    {
        dcFrom_.Close();
        core::Engine::Instance().Prune();
        core::SetProgramFolderForTesting({});
    }

    void UseProgram(core::ProgramKind kind)
    {
        kind_ = kind;
        const bool varnel = kind == core::ProgramKind::Varnel;
        core::InitPrefs(varnel ? "Varnel" : "Tessily", varnel ? "Varnel.ini" : "Tessily.ini");
    }

    void WriteIni(const std::string& text)
    {
        std::ofstream(core::ThePrefs().iniPath, std::ios::binary) << text;
    }
    // The usual formats: Access-like (engine chooses by the file), SQLite by
    // name, and a one-table format.
    void WriteStandardIni()
    {
        WriteIni("[CFG]\nFORMATS=3\n[FORMATS]\n1=Archivio,,.mdb\n2=SQLite,SQLite;,.db\n3=Tabella,,.dat\n");
    }

    std::string MakeDb(const std::string& name, const std::string& key = {},
                       const std::string& script = "CREATE TABLE Clienti (ID INTEGER PRIMARY KEY, Nome TEXT(50));")
    {
        const std::string path = folder_ + "/" + name;
        core::sqlite::CreateDatabase(path, script, key);
        return path;
    }

    ui::SourceWidgets Controls()
    {
        return ui::SourceWidgets(&owner_, &txtSourceDb_, &cmdAvvia_,
                                 kind_ == core::ProgramKind::Tessily ? &cmbTblFrom_ : nullptr);
    }
    void Click()
    {
        ui::SourceWidgets view = Controls();
        core::SourceDbClick(view, dcFrom_, kind_);
    }

    std::vector<DialogCall> Inputs() { return dialogs_->CallsOf(DialogCall::Kind::InputBox); }
    std::vector<DialogCall> Files() { return dialogs_->CallsOf(DialogCall::Kind::FileDialog); }

    QTemporaryDir dir_;
    std::string folder_;
    core::ProgramKind kind_ = core::ProgramKind::Varnel;
    ScopedScriptedDialogs dialogs_;
    QWidget owner_;
    QLineEdit txtSourceDb_;
    QPushButton cmdAvvia_;
    QComboBox cmbTblFrom_;
    core::DataControl dcFrom_;
};

}  // namespace

TEST_F(SourceSelection, CancelChangesNothing)
{
    WriteStandardIni();
    dcFrom_.Connect = "Access 2000;";
    dcFrom_.DatabaseName = "/prima.mdb";
    dialogs_->CancelFile();
    Click();
    EXPECT_EQ(txtSourceDb_.text(), "nessuno");
    EXPECT_FALSE(cmdAvvia_.isEnabled());
    EXPECT_EQ(dcFrom_.Connect, "Access 2000;");
    EXPECT_EQ(dcFrom_.DatabaseName, "/prima.mdb");
    EXPECT_EQ(dialogs_->MessageCount(), 0);

    // The dialog: every format as a file type, existing files in existing
    // folders, opening in the program's folder.
    const std::vector<DialogCall> files = Files();
    ASSERT_EQ(files.size(), 1u);
    const core::FileDialogRequest& r = files[0].fileRequest;
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.filters[0], (std::pair<std::string, std::string>{"Archivio (*.mdb)", "*.mdb"}));
    EXPECT_EQ(r.filters[2], (std::pair<std::string, std::string>{"Tabella (*.dat)", "*.dat"}));
    EXPECT_EQ(r.filterIndex, 0);
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_TRUE(r.pathMustExist);
    EXPECT_EQ(r.initialDir, folder_);
    EXPECT_EQ(core::ThePrefs().dialogFolder, folder_);
}

TEST_F(SourceSelection, APathTooLongForTheDialogIsRefusedWithWhyAndChangesNothing)
{
    WriteStandardIni();
    const std::string path = "/" + std::string(300, 'p') + ".mdb";
    dialogs_->AnswerFile(path, 1);
    Click();
    EXPECT_EQ(txtSourceDb_.text(), "nessuno");
    EXPECT_FALSE(cmdAvvia_.isEnabled());
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    EXPECT_EQ(dialogs_->LastMessage().text, "Il percorso scelto è troppo lungo: ne sono ammessi al massimo 255 "
                                             "caratteri, quello scelto ne ha 305 ('" + path + "'). Spostare il file "
                                             "in una cartella con un percorso più corto.");
}

TEST_F(SourceSelection, DialogFolderIsSetOnceAndKept)
{
    WriteStandardIni();
    core::ThePrefs().dialogFolder = "/altrove";
    dialogs_->CancelFile();
    Click();
    EXPECT_EQ(Files().at(0).fileRequest.initialDir, "/altrove");
}

TEST_F(SourceSelection, FilterTextIsBuiltFromTheFormats)
{
    core::cDBFormat f;
    f.Name = "Access";
    f.Ext = ".mdb";
    EXPECT_EQ(core::FilterPiece(f), "Access (*.mdb)|*.mdb|");

    WriteIni("[CFG]\nFORMATS=2\n[FORMATS]\n1=Access,,.mdb,ignorato\n2=Testo,Text;,.txt\n");
    const core::SourceFormats formats = core::ReadSourceFormats(core::ThePrefs().iniPath);
    EXPECT_EQ(formats.filter, "Access (*.mdb)|*.mdb|Testo (*.txt)|*.txt|");
    ASSERT_EQ(formats.formats.size(), 3u);
    EXPECT_EQ(formats.formats[1].ID, 2);
    EXPECT_EQ(formats.formats[1].Driver, "Text;");
    EXPECT_EQ(formats.formats[2].ID, 0);  // the spare position stays blank
    EXPECT_EQ(formats.At(-1).Driver, "");
    EXPECT_EQ(formats.At(7).Name, "");
}

TEST_F(SourceSelection, GapInTheKeysEndsTheFilter)
{
    WriteIni("[CFG]\nFORMATS=3\n[FORMATS]\n1=Archivio,,.mdb\n3=Testo,Text;,.txt\n");
    dialogs_->CancelFile();
    Click();
    ASSERT_EQ(Files().size(), 1u);
    ASSERT_EQ(Files()[0].fileRequest.filters.size(), 1u);
    EXPECT_EQ(Files()[0].fileRequest.filters[0].second, "*.mdb");
}

TEST_F(SourceSelection, MissingOrZeroCountGivesAnEmptyFilter)
{
    for (const std::string ini : {"[CFG]\n[FORMATS]\n1=Archivio,,.mdb\n",
                                  "[CFG]\nFORMATS=0\n[FORMATS]\n1=Archivio,,.mdb\n"}) {
        WriteIni(ini);
        dialogs_->ClearLog();
        dialogs_->CancelFile();
        Click();
        ASSERT_EQ(Files().size(), 1u) << ini;
        EXPECT_TRUE(Files()[0].fileRequest.filters.empty()) << ini;
        EXPECT_EQ(dialogs_->MessageCount(), 0);
    }
    // Not even the configuration file: the same.
    std::remove(core::ThePrefs().iniPath.c_str());
    dialogs_->ClearLog();
    dialogs_->CancelFile();
    Click();
    ASSERT_EQ(Files().size(), 1u);
    EXPECT_TRUE(Files()[0].fileRequest.filters.empty());
}

TEST_F(SourceSelection, BadCountOrShortEntryReportsBeforeTheDialog)
{
    struct Case {
        const char* ini;
        const char* title;
    };
    for (const Case& c : {Case{"[CFG]\nFORMATS=tre\n", "Errore n. 13"},
                          Case{"[CFG]\nFORMATS=\n", "Errore n. 13"},
                          Case{"[CFG]\nFORMATS=40000\n", "Errore n. 6"},
                          Case{"[CFG]\nFORMATS=-2\n", "Errore n. 9"},
                          Case{"[CFG]\nFORMATS=2\n[FORMATS]\n1=Archivio,,.mdb\n2=Testo,Text;\n", "Errore n. 9"}}) {
        WriteIni(c.ini);
        dialogs_->ClearLog();
        Click();
        EXPECT_TRUE(Files().empty()) << c.ini;
        ASSERT_EQ(dialogs_->MessageCount(), 1) << c.ini;
        const DialogCall m = dialogs_->LastMessage();
        EXPECT_EQ(m.title, c.title) << c.ini;
        EXPECT_EQ(m.icon, core::MsgIcon::Critical);
        EXPECT_FALSE(m.text.empty());
    }
    EXPECT_EQ(txtSourceDb_.text(), "nessuno");
}

TEST_F(SourceSelection, VarnelOpensAPlainSourceAndEnablesStart)
{
    WriteStandardIni();
    const std::string path = MakeDb("vecchio.db");
    dcFrom_.RecordSource = "SELECT * FROM [Tabella che qui non esiste]";
    dialogs_->AnswerFile(path, 2);
    Click();
    EXPECT_EQ(txtSourceDb_.text().toStdString(), path);
    EXPECT_EQ(dcFrom_.Connect, "SQLite;");
    EXPECT_EQ(dcFrom_.DatabaseName, path);
    EXPECT_TRUE(cmdAvvia_.isEnabled());
    EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
    EXPECT_EQ(dcFrom_.Database().TableDefs().size(), 1u);
}

TEST_F(SourceSelection, VarnelUsesTheStoredPasswordWhateverTheLetterCase)
{
    WriteStandardIni();
    const std::string path = MakeDb("Archivio4.mdb", "vecchia");
    core::ThePrefs().previousFileName = "ARCHIVIO4.MDB";
    core::ThePrefs().previousPassword = "vecchia";
    dialogs_->AnswerFile(path, 1);
    Click();
    EXPECT_TRUE(Inputs().empty());
    EXPECT_EQ(dcFrom_.Connect, ";PWD=vecchia");
    EXPECT_TRUE(cmdAvvia_.isEnabled());
    EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
}

TEST_F(SourceSelection, TessilyComparesTheNameExactlyAndAsks)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path = MakeDb("Archivio4.mdb", "vecchia");
    core::ThePrefs().previousFileName = "ARCHIVIO4.MDB";
    core::ThePrefs().previousPassword = "vecchia";
    dialogs_->AnswerFile(path, 1).AnswerInput("vecchia");
    Click();
    ASSERT_EQ(Inputs().size(), 1u);
    EXPECT_EQ(Inputs()[0].text, kPrompt);
    EXPECT_EQ(Inputs()[0].title, "Tessily");
    EXPECT_TRUE(Inputs()[0].password);
    EXPECT_EQ(Inputs()[0].defaultText, "");
    // ";" only for the first file type.
    EXPECT_EQ(dcFrom_.Connect, ";PWD=vecchia");
    EXPECT_TRUE(cmdAvvia_.isEnabled());

    // The exact name opens with the stored password.
    dcFrom_.Close();
    core::ThePrefs().previousFileName = "Archivio4.mdb";
    dialogs_->ClearLog();
    dialogs_->AnswerFile(path, 1);
    Click();
    EXPECT_TRUE(Inputs().empty());
    EXPECT_EQ(dcFrom_.Connect, ";PWD=vecchia");
}

TEST_F(SourceSelection, TessilyPutsTheDriverBeforeThePasswordWithoutASeparatorAfterTheFirstType)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path = MakeDb("altro.db", "chiave");
    dialogs_->AnswerFile(path, 2).AnswerInput("chiave");
    Click();
    EXPECT_EQ(dcFrom_.Connect, "SQLite;PWD=chiave");
    EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
    EXPECT_EQ(cmbTblFrom_.count(), 1);
}

TEST_F(SourceSelection, RefusedStoredPasswordAsksTheUserInsteadOfLooping)
{
    WriteStandardIni();
    const std::string path = MakeDb("Archivio4.mdb", "giusta");
    core::ThePrefs().previousFileName = "archivio4.mdb";
    core::ThePrefs().previousPassword = "superata";
    dialogs_->AnswerFile(path, 1).AnswerInput("giusta");
    Click();
    EXPECT_EQ(Inputs().size(), 1u);
    EXPECT_EQ(dcFrom_.Connect, ";PWD=giusta");
    EXPECT_TRUE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, WrongPasswordTwiceAsksThreeTimesAndEmptyAnswerEnds)
{
    WriteStandardIni();
    const std::string path = MakeDb("protetto.db", "giusta");
    // After a refusal the question says the file may be no archive, and an
    // empty answer offers the dialog again (cancelled here).
    dialogs_->AnswerFile(path, 1).AnswerInput("no").AnswerInput("nemmeno").AnswerInput("").CancelFile();
    Click();
    ASSERT_EQ(Inputs().size(), 3u);
    EXPECT_EQ(Inputs()[0].text, kPrompt);
    EXPECT_EQ(Inputs()[1].text, core::RefusedPasswordPrompt("Varnel"));
    EXPECT_EQ(Inputs()[2].text, core::RefusedPasswordPrompt("Varnel"));
    EXPECT_EQ(Files().size(), 2u);
    EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
    EXPECT_EQ(txtSourceDb_.text().toStdString(), path);
    EXPECT_FALSE(cmdAvvia_.isEnabled());
    EXPECT_EQ(dcFrom_.DatabaseName, path);
    EXPECT_EQ(dcFrom_.Connect, ";PWD=nemmeno");
    EXPECT_TRUE(dialogs_->AllAnswersUsed());

    // An enabled start button stays enabled too.
    cmdAvvia_.setEnabled(true);
    dialogs_->ClearLog();
    dialogs_->AnswerFile(path, 1).AnswerInput("");
    Click();
    EXPECT_TRUE(cmdAvvia_.isEnabled());
}

// Files chosen as an archive whose driver the file decides: without an
// Access or SQLite signature only a file of whole 1024-byte pages may be an
// encrypted archive; any other is refused at once, never asked a password.
TEST_F(SourceSelection, AFileThatIsNoArchiveIsNamedAsSuch)
{
    WriteStandardIni();
    struct Case {
        const char* name;
        std::string bytes;
        bool asksPassword;
    };
    std::string noise(4096, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) >> 3);
    const Case cases[] = {
        {"testo.mdb", "Codice;Denominazione\r\nC1;Ditta\r\n", false},
        {"rumore.mdb", noise.substr(0, 3000), false},
        {"pagine.mdb", noise, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder_ + "/" + c.name;
        std::ofstream(path, std::ios::binary) << c.bytes;
        dialogs_->ClearLog();
        dialogs_->AnswerFile(path, 1);
        if (c.asksPassword) {
            // Refused, then another file: the good archive opens.
            const std::string good = MakeDb("buono.mdb");
            dialogs_->AnswerInput("prova").AnswerInput("").AnswerFile(good, 1);
            Click();
            ASSERT_EQ(Inputs().size(), 2u) << dialogs_->Transcript();
            EXPECT_EQ(Inputs()[1].text, core::RefusedPasswordPrompt("Varnel"));
            EXPECT_EQ(txtSourceDb_.text().toStdString(), good);
            EXPECT_TRUE(cmdAvvia_.isEnabled());
            EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
        } else {
            Click();
            EXPECT_TRUE(Inputs().empty()) << dialogs_->Transcript();
            ASSERT_EQ(dialogs_->MessageCount(), 1);
            EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 3343");
            EXPECT_NE(dialogs_->LastMessage().text.find("non \xC3\xA8 un archivio"), std::string::npos);
        }
        EXPECT_TRUE(dialogs_->AllAnswersUsed());
    }
}

TEST_F(SourceSelection, TessilyEarlyEndKeepsTheTableListAsItWas)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path = MakeDb("protetto.mdb", "giusta");
    cmbTblFrom_.addItem("Clienti");
    cmbTblFrom_.addItem("Articoli");
    cmbTblFrom_.setCurrentIndex(1);
    cmbTblFrom_.setEnabled(true);
    cmdAvvia_.setEnabled(true);
    dialogs_->AnswerFile(path, 1).AnswerInput("");
    Click();
    EXPECT_EQ(txtSourceDb_.text().toStdString(), path);
    EXPECT_EQ(cmbTblFrom_.count(), 2);
    EXPECT_EQ(cmbTblFrom_.currentIndex(), 1);
    EXPECT_TRUE(cmbTblFrom_.isEnabled());
    EXPECT_TRUE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, MissingControlIsReportedNotDereferenced)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    ui::SourceWidgets c = Controls();
    c.cmbTblFrom = nullptr;
    core::SourceDbClick(c, dcFrom_, kind_);
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 91");
    EXPECT_TRUE(Files().empty());
}

TEST_F(SourceSelection, UnknownDriverTextGivesTheFormatMessage)
{
    WriteIni("[CFG]\nFORMATS=1\n[FORMATS]\n1=Paradox,Paradox 5.x;,.db\n");
    const std::string path = MakeDb("px.db");
    dialogs_->AnswerFile(path, 1);
    Click();
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    const DialogCall m = dialogs_->LastMessage();
    EXPECT_EQ(m.text, "Formato database non riconosciuto!");
    EXPECT_EQ(m.title, "Varnel");
    EXPECT_EQ(m.icon, core::MsgIcon::Critical);
    EXPECT_EQ(txtSourceDb_.text().toStdString(), path);
    EXPECT_EQ(dcFrom_.Connect, "Paradox 5.x;");
    EXPECT_FALSE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, OtherFailuresGiveTheGenericMessage)
{
    WriteStandardIni();
    const std::string path = folder_ + "/non_un_database.db";
    std::ofstream(path) << "solo testo, nessun archivio\n";
    dialogs_->AnswerFile(path, 2);
    Click();
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    const DialogCall m = dialogs_->LastMessage();
    EXPECT_EQ(m.title.rfind("Errore n. ", 0), 0u) << m.title;
    EXPECT_NE(m.title, "Errore n. 3031");
    EXPECT_EQ(m.icon, core::MsgIcon::Critical);
    EXPECT_FALSE(m.text.empty());
    EXPECT_FALSE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, TessilyListsUserTablesWithACaseSensitiveSystemFilter)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path =
        MakeDb("tabelle.db", {},
               "CREATE TABLE Clienti (ID INTEGER PRIMARY KEY);"
               "CREATE TABLE MSysObjects (ID INTEGER PRIMARY KEY);"
               "CREATE TABLE msysdata (ID INTEGER PRIMARY KEY);"
               "CREATE TABLE ConMSysDentro (ID INTEGER PRIMARY KEY);"
               "CREATE TABLE Articoli (ID INTEGER PRIMARY KEY);");
    cmbTblFrom_.addItem("vecchia");
    std::vector<int> selections;
    QObject::connect(&cmbTblFrom_, &QComboBox::currentIndexChanged, [&](int i) { selections.push_back(i); });
    dialogs_->AnswerFile(path, 1);
    Click();

    QStringList listed;
    for (int i = 0; i < cmbTblFrom_.count(); ++i)
        listed << cmbTblFrom_.itemText(i);
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"Articoli", "Clienti", "msysdata"}));
    EXPECT_TRUE(cmbTblFrom_.isEnabled());
    EXPECT_EQ(cmbTblFrom_.currentIndex(), 0);
    EXPECT_EQ(selections, std::vector<int>{0});  // the first entry chosen once
    EXPECT_TRUE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, TessilyWithOnlySystemTablesDisablesListAndStart)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path = MakeDb("sistema.db", {}, "CREATE TABLE MSysA (ID INTEGER); CREATE TABLE XMSysB (ID INTEGER);");
    cmbTblFrom_.setEnabled(true);
    cmdAvvia_.setEnabled(true);
    cmbTblFrom_.addItem("vecchia");
    dialogs_->AnswerFile(path, 1);
    Click();
    EXPECT_EQ(cmbTblFrom_.count(), 0);
    EXPECT_FALSE(cmbTblFrom_.isEnabled());
    EXPECT_FALSE(cmdAvvia_.isEnabled());
}

TEST_F(SourceSelection, TessilySingleTableFormatListsTheFileName)
{
    UseProgram(core::ProgramKind::Tessily);
    WriteStandardIni();
    const std::string path = MakeDb("clienti.dat");
    dialogs_->AnswerFile(path, 3);
    Click();
    ASSERT_EQ(cmbTblFrom_.count(), 1);
    EXPECT_EQ(cmbTblFrom_.itemText(0), "clienti.dat");
    EXPECT_TRUE(cmdAvvia_.isEnabled());
}

TEST(SourceFormatPositions, SeveralTablesOnlyAtOneTwoAndSixToNine)
{
    std::vector<int> multi;
    for (int i = 0; i <= 11; ++i)
        if (core::IsMultiTableFormat(i))
            multi.push_back(i);
    EXPECT_EQ(multi, (std::vector<int>{1, 2, 6, 7, 8, 9}));
}

TEST_F(SourceSelection, ShowOpenFileLeavesTheResultAloneOnCancel)
{
    core::cFile file;
    file.FileName = "prima";
    file.SetFilterIndex(4);
    dialogs_->CancelFile().AnswerFile("/d/x.mdb", 2);
    ui::ShowOpenFile(&owner_, "A|*.a|B|*.b|", file);
    EXPECT_EQ(file.FileName, "prima");
    EXPECT_EQ(file.FilterIndex(), 4);
    ui::ShowOpenFile(&owner_, "A|*.a|B|*.b|", file);
    EXPECT_EQ(file.FileName, "/d/x.mdb");
    EXPECT_EQ(file.FilterIndex(), 2);
}
