#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Startup.h"
#include "common/engine/Engine.h"
#include "import/frmMain.h"
#include "tests/engine/MemoryDriver.h"
#include "tests/import/ImportFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/ui/QtTestApp.h"
#include "ui/ProgressCaption.h"
#include "ui/ctrProgress.h"

using core::Variant;
using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;
using import::frmMain;

namespace {

const char* kTwoTables = "1=Clienti,tblAnClienti\n2=Mandanti,tblAnMandanti\n";
const char* kClientiTpl =
    "[CFG]\nSTD=5\nREQ=1\n[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Nome,sNome\n"
    "4=Denominazione,sDenominazione\n5=Fido,nFido\n[REQ]\n1=sDenominazione,&,sCognome,sNome\n";
const char* kMandantiTpl = "[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n3=Cognome,sCognome\n";

std::string Text(const QLabel* label) { return label->text().toStdString(); }
std::vector<std::string> Items(const QComboBox* list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->itemText(i).toStdString());
    return items;
}

class FrmMainTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::EnsureQtApp(); }
    void TearDown() override
    {
        window_.reset();
        core::Engine::Instance().Prune();
    }

    // The usual installation: two destination tables with their templates.
    void Install()
    {
        folder_.WriteIni("2", kTwoTables);
        folder_.CreateDestination();
        folder_.WriteTemplate("Clienti", kClientiTpl);
        folder_.WriteTemplate("Mandanti", kMandantiTpl);
    }

    frmMain& Open()
    {
        window_ = core::LoadedWindow<frmMain>();
        if (!window_) throw std::runtime_error("the load ended the program:\n" + dialogs_->Transcript());
        return *window_;
    }

    // Chooses a source database through the ".." button and its dialog.
    void ChooseSource(const std::string& script)
    {
        const std::string path = folder_.CreateSource("origine.db", script);
        dialogs_->AnswerFile(path, 1);
        window_->cmdSourceDb_Click();
    }

    importtest::ImportFolder folder_;
    ScopedScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> window_;
};

TEST_F(FrmMainTest, MissingConfigurationEndsTheProgram)
{
    EXPECT_EQ(core::LoadedWindow<frmMain>(), nullptr);
    const DialogCall refusal = dialogs_->LastMessage();
    EXPECT_EQ(refusal.text, "Il file di configurazione non è stato trovato! L'applicazione verrà terminata!");
    EXPECT_EQ(refusal.icon, core::MsgIcon::Critical);
    EXPECT_EQ(refusal.title, "Tessily");
}

TEST_F(FrmMainTest, MissingArchiveEndsTheProgram)
{
    folder_.WriteIni("2", kTwoTables);
    EXPECT_EQ(core::LoadedWindow<frmMain>(), nullptr);
    const std::string text = dialogs_->LastMessage().text;
    EXPECT_EQ(text.rfind("il file archivio non è stato trovato ('", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("/Dati/archivio.db')! L'applicazione verrà terminata!")) << text;
}

TEST_F(FrmMainTest, MissingTemplateOfTheFirstTableEndsTheProgram)
{
    folder_.WriteIni("2", kTwoTables);
    folder_.CreateDestination();
    EXPECT_EQ(core::LoadedWindow<frmMain>(), nullptr);
    EXPECT_EQ(dialogs_->LastMessage().text,
              "Il file di configurazione Clienti.ini non è stato trovato! L'applicazione verrà terminata!");
    EXPECT_EQ(dialogs_->LastMessage().title, "Tessily");
}

TEST_F(FrmMainTest, LoadShowsTheDestinationAndTheFirstTemplate)
{
    Install();
    frmMain& w = Open();
    EXPECT_EQ(dialogs_->MessageCount(), 0);
    EXPECT_EQ(w.windowTitle().toStdString(), "Tessily - Gestione Agenzia");
    EXPECT_FALSE(w.lblData()->text().isEmpty());
    EXPECT_EQ(w.txtTargetDb()->text().toStdString(), folder_.DestinationPath());
    EXPECT_FALSE(w.txtTargetDb()->isEnabled());
    EXPECT_FALSE(w.findChild<QPushButton*>("cmdTargetDb")->isEnabled());
    EXPECT_FALSE(w.cmdAvvia()->isEnabled());
    EXPECT_FALSE(w.cmbTblFrom()->isEnabled());

    ASSERT_EQ(w.cmbTblTo()->count(), 2);
    EXPECT_EQ(w.cmbTblTo()->currentIndex(), 0);
    EXPECT_EQ(w.cmbTblTo()->itemData(1).toInt(), 2);
    EXPECT_EQ(w.Template().file, import::TemplatePath("Clienti"));
    EXPECT_EQ(w.Template().reqCount, 1);
    EXPECT_EQ(Text(w.findChild<QLabel*>("lblFldTo_0")), "Codice");
    EXPECT_TRUE(w.findChild<QComboBox*>("cmbFldFrom_4")->isEnabled());
    EXPECT_EQ(Text(w.lblFldTo(5)), "");
    EXPECT_FALSE(w.cmbFldFrom(5)->isEnabled());
    EXPECT_EQ(w.pbrMain()->Value(), 0);
}

TEST_F(FrmMainTest, SlotsStandInSixRowsOfFour)
{
    Install();
    frmMain& w = Open();
    EXPECT_EQ(w.cmbFldFrom(0)->y(), w.cmbFldFrom(3)->y());
    EXPECT_LT(w.cmbFldFrom(0)->x(), w.cmbFldFrom(3)->x());
    EXPECT_GT(w.cmbFldFrom(4)->y(), w.cmbFldFrom(3)->y());
    EXPECT_EQ(w.cmbFldFrom(4)->x(), w.cmbFldFrom(0)->x());
    EXPECT_EQ(w.cmbFldFrom(23)->x(), w.cmbFldFrom(3)->x());
    EXPECT_LT(w.lblFldTo(7)->y(), w.cmbFldFrom(7)->y());
    EXPECT_EQ(w.cmbFldFrom(9)->property("index").toInt(), 9);
}

TEST_F(FrmMainTest, EmptyTableListLeavesTheSlotsAsDesigned)
{
    folder_.WriteIni("0", kTwoTables);
    folder_.CreateDestination();
    frmMain& w = Open();
    EXPECT_EQ(w.cmbTblTo()->count(), 0);
    EXPECT_TRUE(w.Template().file.empty());
    for (int i = 0; i < import::kSlotCount; ++i) {
        EXPECT_EQ(Text(w.lblFldTo(i)), "-");
        EXPECT_FALSE(w.cmbFldFrom(i)->isEnabled());
        EXPECT_EQ(w.cmbFldFrom(i)->count(), 0);
    }
}

TEST_F(FrmMainTest, TableListStopsAtTheGap)
{
    folder_.WriteIni("4", "1=Clienti,tblAnClienti\n2=Mandanti,tblAnMandanti\n4=Articoli,tblArticoli\n");
    folder_.CreateDestination();
    folder_.WriteTemplate("Clienti", kClientiTpl);
    frmMain& w = Open();
    EXPECT_EQ(w.cmbTblTo()->count(), 2);
    EXPECT_EQ(w.TableCount(), 4);
}

TEST_F(FrmMainTest, MalformedTableListEndsTheProgramWithoutTouchingAnything)
{
    folder_.WriteIni("2", "1=Clienti,tblAnClienti\n2=Mandanti\n");
    folder_.CreateDestination();
    EXPECT_EQ(core::LoadedWindow<frmMain>(), nullptr);
    const DialogCall refusal = dialogs_->LastMessage();
    EXPECT_NE(refusal.text.find("[TABLES]"), std::string::npos) << refusal.text;
    EXPECT_NE(refusal.text.find("Tessily.ini"), std::string::npos) << refusal.text;
    EXPECT_NE(refusal.text.find("L'applicazione verrà terminata!"), std::string::npos);
}

TEST_F(FrmMainTest, TemplateWithGapsEnablesOnlyItsSlots)
{
    Install();
    frmMain& w = Open();
    w.cmbTblTo()->setCurrentIndex(1);  // Mandanti: STD = 2, slots 1 and 3
    EXPECT_EQ(Text(w.lblFldTo(0)), "Codice");
    EXPECT_TRUE(w.cmbFldFrom(0)->isEnabled());
    EXPECT_EQ(Text(w.lblFldTo(1)), "");
    EXPECT_FALSE(w.cmbFldFrom(1)->isEnabled());
    EXPECT_EQ(Text(w.lblFldTo(2)), "Cognome");
    EXPECT_TRUE(w.cmbFldFrom(2)->isEnabled());
    for (int i = 3; i < import::kSlotCount; ++i) {
        EXPECT_EQ(Text(w.lblFldTo(i)), "");
        EXPECT_FALSE(w.cmbFldFrom(i)->isEnabled());
        EXPECT_EQ(w.cmbFldFrom(i)->count(), 0);
    }
}

TEST_F(FrmMainTest, ChoosingTheSourceFillsEverySlot)
{
    Install();
    frmMain& w = Open();
    ChooseSource("CREATE TABLE Anagrafe (Codice TEXT(10), Cognome TEXT(30), Nome TEXT(30));"
                 "CREATE TABLE Altro (X TEXT(5));");
    ASSERT_TRUE(w.cmbTblFrom()->isEnabled()) << dialogs_->Transcript();
    EXPECT_TRUE(w.cmdAvvia()->isEnabled());
    EXPECT_EQ(w.cmbTblFrom()->currentText().toStdString(), "Anagrafe");
    const std::vector<std::string> expected{"", "Codice", "Cognome", "Nome"};
    for (int i = 0; i < import::kSlotCount; ++i) {
        EXPECT_EQ(Items(w.cmbFldFrom(i)), expected) << "slot " << i;
        EXPECT_EQ(w.cmbFldFrom(i)->currentIndex(), 0);
    }

    // Another source table discards every pairing.
    w.cmbFldFrom(0)->setCurrentIndex(1);
    w.cmbTblFrom()->setCurrentIndex(1);
    EXPECT_EQ(Items(w.cmbFldFrom(0)), (std::vector<std::string>{"", "X"}));
    EXPECT_EQ(w.cmbFldFrom(0)->currentText().toStdString(), "");
}

TEST_F(FrmMainTest, ChangingTheDestinationKeepsOnlyPairingsNamedLikeTheNewField)
{
    // Clienti's slots 1 to 5 are sCodice, sCognome, sNome, sDenominazione,
    // nFido; Mandanti has slots 1 (sCodice) and 3 (sCognome) only.
    Install();
    frmMain& w = Open();
    ChooseSource("CREATE TABLE Anagrafe (Codice TEXT(10), sCognome TEXT(30), Nome TEXT(30));");
    w.cmbFldFrom(0)->setCurrentText("Codice");
    w.cmbFldFrom(2)->setCurrentText("sCognome");
    w.cmbFldFrom(3)->setCurrentText("Nome");
    w.cmbTblTo()->setCurrentIndex(1);

    struct Expected {
        int slot;
        const char* choice;
        int entries;
        bool enabled;
    };
    const Expected mandanti[] = {
        {0, "", 4, true},          // Codice paired with sCodice by hand: another name, cleared
        {1, "", 0, false},         // no field in Mandanti
        {2, "sCognome", 4, true},  // named like Mandanti's sCognome: kept
        {3, "", 0, false},         // its pairing went with its field
    };
    for (const Expected& e : mandanti) {
        EXPECT_EQ(w.cmbFldFrom(e.slot)->currentText().toStdString(), e.choice) << "slot " << e.slot;
        EXPECT_EQ(w.cmbFldFrom(e.slot)->count(), e.entries) << "slot " << e.slot;
        EXPECT_EQ(w.cmbFldFrom(e.slot)->isEnabled(), e.enabled) << "slot " << e.slot;
    }
    EXPECT_EQ(w.lblStato()->FullText().toStdString(),
              "Nuova tabella di destinazione: 2 abbinamenti annullati, 1 mantenuto (stesso nome di campo).");

    // Back to Clienti: slot 3 is sNome there, so sCognome goes; slot 4 is
    // enabled again with an empty list until a source table is chosen anew.
    w.cmbTblTo()->setCurrentIndex(0);
    EXPECT_EQ(w.cmbFldFrom(2)->currentText().toStdString(), "");
    EXPECT_TRUE(w.cmbFldFrom(3)->isEnabled());
    EXPECT_EQ(w.cmbFldFrom(3)->count(), 0);
    EXPECT_EQ(w.lblStato()->FullText().toStdString(), "Nuova tabella di destinazione: 1 abbinamento annullato.");
}

TEST_F(FrmMainTest, SourceTableWithoutFieldsOffersOnlyTheEmptyEntry)
{
    Install();
    frmMain& w = Open();
    auto& store = testsupport::Stores()["memoria-senza-campi"];
    store.tables["Vuota"] = testsupport::MemoryTable{};
    core::Engine::Instance().AddDriver(std::make_unique<testsupport::MemoryDriver>());
    w.dcFrom().Connect = "memoria;PWD=pw";
    w.dcFrom().DatabaseName = "memoria-senza-campi";
    w.cmbTblFrom()->addItem("Vuota");  // the first entry: its handler runs
    EXPECT_EQ(dialogs_->MessageCount(), 0) << dialogs_->Transcript();
    for (int i = 0; i < import::kSlotCount; ++i) EXPECT_EQ(Items(w.cmbFldFrom(i)), std::vector<std::string>{""});
}

TEST_F(FrmMainTest, MalformedTemplateIsReportedAndTheWindowKeepsItsChoice)
{
    Install();
    folder_.WriteTemplate("Mandanti", "[CFG]\nSTD=due\n[STD]\n1=Codice,sCodice\n");
    frmMain& w = Open();
    w.cmbTblTo()->setCurrentIndex(1);
    const DialogCall error = dialogs_->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 13");
    EXPECT_NE(error.text.find("Mandanti.ini"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("STD"), std::string::npos) << error.text;
    EXPECT_FALSE(w.Ended());
    EXPECT_EQ(w.cmbTblTo()->currentIndex(), 0);  // back to the table the slots show
    EXPECT_EQ(w.Template().file, import::TemplatePath("Clienti"));
    EXPECT_EQ(Text(w.lblFldTo(4)), "Fido");
}

TEST_F(FrmMainTest, MissingTemplateChosenLaterEndsTheProgram)
{
    folder_.WriteIni("2", kTwoTables);
    folder_.CreateDestination();
    folder_.WriteTemplate("Clienti", kClientiTpl);
    frmMain& w = Open();
    w.cmbTblTo()->setCurrentIndex(1);
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(dialogs_->LastMessage().text,
              "Il file di configurazione Mandanti.ini non è stato trovato! L'applicazione verrà terminata!");
}

TEST_F(FrmMainTest, AvviaImportsThePairedFields)
{
    Install();
    frmMain& w = Open();
    ChooseSource("CREATE TABLE Anagrafe (Codice TEXT(10), Cognome TEXT(30), Nome TEXT(30), Fido TEXT(10), "
                 "Ditta TEXT(50));"
                 "INSERT INTO Anagrafe VALUES ('A1', 'Rossi', 'Mario', '1500', '');"
                 "INSERT INTO Anagrafe VALUES ('A2', 'Bianchi', 'Anna', 'molto', 'Bianchi Spa');");
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('VECCHIO')");
    w.cmbFldFrom(0)->setCurrentText("Codice");
    w.cmbFldFrom(1)->setCurrentText("Cognome");
    w.cmbFldFrom(2)->setCurrentText("Nome");
    w.cmbFldFrom(3)->setCurrentText("Ditta");
    w.cmbFldFrom(4)->setCurrentText("Fido");
    w.chkSvuota()->setChecked(true);
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    w.cmdAvvia()->click();
    // The emptying and what the conversions changed are in the message itself.
    EXPECT_EQ(dialogs_->LastMessage().text,
              "Operazione eseguita con successo!\n\nTabella svuotata prima della copia (1 record eliminato)\n"
              "1 valore letto come 0")
        << dialogs_->Transcript();
    const auto rows = folder_.Rows("SELECT sCodice, sDenominazione, nFido FROM [tblAnClienti] ORDER BY [ID]");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], Variant("A1"));
    EXPECT_EQ(rows[0][1], Variant("Rossi Mario"));
    EXPECT_EQ(rows[0][2].ToDouble(), 1500);
    EXPECT_EQ(rows[1][1], Variant("Bianchi Spa"));
    EXPECT_EQ(rows[1][2].ToDouble(), 0);
    EXPECT_EQ(w.pbrMain()->Value(), 0);
    // The choices stay for another run.
    EXPECT_EQ(w.cmbFldFrom(0)->currentText().toStdString(), "Codice");
}

TEST_F(FrmMainTest, AvviaWithNothingSelectedInTheDestinationList)
{
    Install();
    frmMain& w = Open();
    ChooseSource("CREATE TABLE Anagrafe (Codice TEXT(10)); INSERT INTO Anagrafe VALUES ('A1');");
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('RESTA')");
    w.cmbFldFrom(0)->setCurrentText("Codice");
    w.chkSvuota()->setChecked(true);
    w.cmbTblTo()->setCurrentIndex(-1);
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    w.cmdAvvia()->click();
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 9");
    EXPECT_EQ(dialogs_->LastMessage().text, "Indice non compreso nell'intervallo.");
    EXPECT_EQ(folder_.Count("tblAnClienti"), 1);
}

TEST_F(FrmMainTest, ChiudiEndsTheProgram)
{
    Install();
    frmMain& w = Open();
    w.findChild<QPushButton*>("cmdChiudi")->click();
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(dialogs_->MessageCount(), 0);
}

}  // namespace
