#include <gtest/gtest.h>

#include <array>

#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "import/ImportRun.h"
#include "import/TemplateFormat.h"
#include "tests/import/ImportFixture.h"
#include "tests/support/ScriptedDialogs.h"

using core::Variant;
using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;

namespace {

class FakeView : public import::ImportView {
public:
    std::int32_t tableId = 1;
    std::array<std::string, import::kSlotCount> sourceOf;
    bool empty = false;
    std::vector<int> progress;

    std::int32_t SelectedTableId() override { return tableId; }
    std::string SlotSource(int k) override { return sourceOf[static_cast<std::size_t>(k - 1)]; }
    bool EmptyDestinationFirst() override { return empty; }
    void SetProgress(int percent) override { progress.push_back(percent); }
};

const char* kTemplate =
    "[CFG]\nSTD=12\nREQ=1\n"
    "[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Nome,sNome\n4=Denominazione,sDenominazione\n"
    "5=Fido,nFido\n6=Sconto,nSconto1\n7=Area,IDArea\n8=Inserito,dInserimento\n9=Note,sNote\n"
    "10=Indirizzo,sSCIndirizzo\n11=Citta,sSCCitta\n12=Posizione,sCOPosizione\n"
    "[REQ]\n1=sDenominazione,&,sCognome,sNome\n";

const char* kSource =
    "CREATE TABLE Origine (Codice TEXT(20), Cognome TEXT(60), Nome TEXT(30), Denom TEXT(100), "
    "Numero TEXT(20), Importo TEXT(20), Data TEXT(20), Note MEMO, Lungo TEXT(80), Intero INTEGER);\n";

class ImportRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_.CreateDestination();
        tables_ = {core::cTable{1, "Clienti", "tblAnClienti"}};
        UseTemplate(kTemplate);
    }
    void TearDown() override
    {
        dcFrom_.Close();
        dcTo_.Close();
    }

    void UseTemplate(const std::string& text)
    {
        folder_.WriteTemplate("Clienti", text);
        tpl_ = import::ReadImportTemplate(import::TemplatePath("Clienti"));
    }

    void UseSource(const std::string& rows)
    {
        const std::string path = folder_.CreateSource("origine.db", std::string(kSource) + rows);
        dcFrom_.Connect = "SQLite;";
        dcFrom_.DatabaseName = path;
        dcFrom_.RecordSource = "Origine";
        dcFrom_.Refresh();
    }

    void Pair(int slot, const std::string& sourceField) { view_.sourceOf[static_cast<std::size_t>(slot - 1)] = sourceField; }

    bool Run()
    {
        import::ImportSetup setup;
        setup.tables = &tables_;
        setup.tpl = &tpl_;
        setup.dcFrom = &dcFrom_;
        setup.dcTo = &dcTo_;
        setup.destinationPath = folder_.DestinationPath();
        setup.destinationPassword = importtest::kDestinationKey;
        setup.programTitle = "Tessily";
        import::ImportRun run(std::move(setup), view_);
        const bool ok = run.Run();
        copied_ = run.RecordsCopied();
        return ok;
    }

    std::vector<std::vector<Variant>> Clienti(const std::string& columns)
    {
        return folder_.Rows("SELECT " + columns + " FROM [tblAnClienti] ORDER BY [ID]");
    }

    // The run must always leave the pointer normal and the bar at 0.
    void ExpectIdleAfterwards()
    {
        EXPECT_FALSE(dialogs_->Busy());
        ASSERT_FALSE(view_.progress.empty());
        EXPECT_EQ(view_.progress.back(), 0);
    }

    importtest::ImportFolder folder_;
    ScopedScriptedDialogs dialogs_;
    std::vector<core::cTable> tables_;
    import::ImportTemplate tpl_;
    core::DataControl dcFrom_;
    core::DataControl dcTo_;
    FakeView view_;
    long long copied_ = 0;
};

const char* kThreeCustomers =
    "INSERT INTO Origine VALUES ('C1', 'Rossi', 'Mario', NULL, '12abc', '3,5', '25/12/2020', 'nota', "
    "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx', 7);\n"
    "INSERT INTO Origine VALUES ('C2', 'Bianchi', 'Anna', 'Bianchi & C.', '', 'abc', 'ieri', NULL, 'corto', 8);\n"
    "INSERT INTO Origine VALUES ('C3', 'Verdi', NULL, '', '  - 4', '', NULL, '', NULL, 9);\n";

TEST_F(ImportRunTest, CopiesEveryRecordWithTheConversionOfItsGroup)
{
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    Pair(2, "Cognome");
    Pair(3, "Nome");
    Pair(4, "Denom");
    Pair(5, "Importo");    // currency: ValueAsDouble
    Pair(6, "Importo");    // double: the same source in two slots
    Pair(7, "Numero");     // integer: the leading number
    Pair(8, "Data");       // date
    Pair(9, "Note");       // memo
    Pair(12, "Lungo");     // VARCHAR(50)
    dialogs_->AnswerMessage(core::MsgResult::Yes);

    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    EXPECT_EQ(copied_, 3);
    const auto rows = Clienti("sCodice, sCognome, sNome, sDenominazione, nFido, nSconto1, IDArea, dInserimento, "
                              "sNote, sCOPosizione");
    ASSERT_EQ(rows.size(), 3u);
    // Whole numbers: 12abc -> 12, empty -> 0, "  - 4" -> -4.
    EXPECT_EQ(rows[0][6].ToInteger(), 12);
    EXPECT_EQ(rows[1][6].ToInteger(), 0);
    EXPECT_EQ(rows[2][6].ToInteger(), -4);
    // Other numbers in the system format of the tests (C locale, "." decimal
    // point): "3,5" is no number there, "abc" and "" give 0.
    EXPECT_EQ(rows[1][4].ToDouble(), 0);
    EXPECT_EQ(rows[1][5].ToDouble(), 0);
    EXPECT_EQ(rows[2][5].ToDouble(), 0);
    // Dates: a date, or today for what is none.
    EXPECT_EQ(rows[0][7].ToDate(), core::DateTime::FromParts(2020, 12, 25));
    EXPECT_EQ(rows[1][7].ToDate(), core::DateTime::Today());
    EXPECT_EQ(rows[2][7].ToDate(), core::DateTime::Today());
    // Texts: Null stays Null, 60 characters into a field of 50 are cut.
    EXPECT_TRUE(rows[2][2].IsNull());
    EXPECT_TRUE(rows[1][8].IsNull());
    EXPECT_EQ(rows[0][9], Variant(std::string(50, 'x')));
    EXPECT_EQ(rows[1][9], Variant("corto"));

    // Completion: only the denomination holding the empty text is filled;
    // Null stays (Null + text is Null), a filled one is left alone.
    EXPECT_TRUE(rows[0][3].IsNull());
    EXPECT_EQ(rows[1][3], Variant("Bianchi & C."));
    EXPECT_TRUE(rows[2][3].IsNull()) << core::Describe(rows[2][3]);  // '' -> Verdi + ' ' + NULL = NULL

    ASSERT_EQ(dialogs_->MessageCount(), 2);
    const DialogCall question = dialogs_->Messages()[0];
    EXPECT_EQ(question.text, "Confermi l'operazione di importazione dati?");
    EXPECT_EQ(question.buttons, core::MsgButtons::YesNo);
    EXPECT_EQ(question.icon, core::MsgIcon::Exclamation);
    EXPECT_EQ(question.title, "Tessily");
    const DialogCall done = dialogs_->LastMessage();
    // What the conversions changed is counted in the message itself.
    EXPECT_EQ(done.text, "Operazione eseguita con successo!\n\n1 valore troncato, 2 date sostituite con la data "
                         "odierna, 5 valori letti come 0");
    EXPECT_EQ(done.icon, core::MsgIcon::Information);
    EXPECT_EQ(done.title, "Tessily");
    EXPECT_EQ(dialogs_->Count(DialogCall::Kind::ProcessEvents), 1);
    ExpectIdleAfterwards();
    EXPECT_EQ(view_.progress.size(), 4u);  // one per record, then 0
}

TEST_F(ImportRunTest, CompletionRuleFillsOnlyEmptyTexts)
{
    UseSource(
        "INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('A', 'Rossi', 'Mario', '');\n"
        "INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('B', 'Neri', 'Luca', 'Neri Srl');\n"
        "INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('C', 'Gialli', 'Ada', NULL);\n");
    Pair(1, "Codice");
    Pair(2, "Cognome");
    Pair(3, "Nome");
    Pair(4, "Denom");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    const auto rows = Clienti("sDenominazione");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], Variant("Rossi Mario"));
    EXPECT_EQ(rows[1][0], Variant("Neri Srl"));
    EXPECT_TRUE(rows[2][0].IsNull());
}

TEST_F(ImportRunTest, NoAnswerChangesNothing)
{
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('X')");
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    view_.empty = true;
    dialogs_->AnswerMessage(core::MsgResult::No);
    EXPECT_FALSE(Run());
    EXPECT_EQ(folder_.Count("tblAnClienti"), 1);
    EXPECT_EQ(dialogs_->MessageCount(), 1);
    EXPECT_FALSE(dcTo_.HasRecordset());
    EXPECT_TRUE(view_.progress.empty());
}

TEST_F(ImportRunTest, EmptySourceStillRunsTheRules)
{
    folder_.ExecuteOnDestination(
        "INSERT INTO [tblAnClienti] ([sCodice], [sCognome], [sNome], [sDenominazione]) VALUES ('X', 'Blu', 'Eva', '')");
    UseSource("");
    Pair(1, "Codice");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    EXPECT_EQ(copied_, 0);
    const auto rows = Clienti("sDenominazione");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Variant("Blu Eva"));
    EXPECT_EQ(dialogs_->LastMessage().text, "Operazione eseguita con successo!");
    ExpectIdleAfterwards();
}

TEST_F(ImportRunTest, NoSlotPairedStillAddsOneRecordPerSourceRecord)
{
    UseSource(kThreeCustomers);
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    const auto rows = Clienti("sCodice, bAttivo, nFido, sNome");
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows) {
        EXPECT_TRUE(row[0].IsNull());
        EXPECT_TRUE(row[1].ToBool());                  // the engine's defaults
        EXPECT_EQ(row[2].ToDouble(), 0);
        EXPECT_EQ(row[3], Variant(""));
    }
}

TEST_F(ImportRunTest, EmptyingComesBeforeTheCopy)
{
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('VECCHIO')");
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    view_.empty = true;
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    const auto rows = Clienti("sCodice");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], Variant("C1"));
}

TEST_F(ImportRunTest, WithoutEmptyingARepeatedRunAppendsAgain)
{
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    dialogs_->AnswerMessage(core::MsgResult::Yes).AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Run());
    EXPECT_EQ(folder_.Count("tblAnClienti"), 6);
}

TEST_F(ImportRunTest, NullInAWholeNumberFieldStopsTheRunKeepingEarlierRecords)
{
    UseSource(
        "INSERT INTO Origine (Codice, Numero) VALUES ('A', '1');\n"
        "INSERT INTO Origine (Codice, Numero) VALUES ('B', NULL);\n"
        "INSERT INTO Origine (Codice, Numero) VALUES ('C', '3');\n");
    Pair(1, "Codice");
    Pair(7, "Numero");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    const auto rows = Clienti("sCodice, IDArea");
    ASSERT_EQ(rows.size(), 1u);  // the failing record is not stored
    EXPECT_EQ(rows[0][0], Variant("A"));
    const DialogCall error = dialogs_->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 94");
    EXPECT_EQ(error.icon, core::MsgIcon::Critical);
    EXPECT_EQ(error.text.rfind("Uso non valido di Null: il campo 'Area' non accetta un valore vuoto (Null). "
                               "(record 2 dell'origine, campo 'Numero' verso il campo 'Area' di '", 0), 0u)
        << error.text;
    ExpectIdleAfterwards();
}

TEST_F(ImportRunTest, NothingSelectedStopsBeforeTheDestinationChanges)
{
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('RESTA')");
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    view_.empty = true;
    view_.tableId = 0;
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 9");
    EXPECT_EQ(dialogs_->LastMessage().text, "Indice non compreso nell'intervallo.");
    EXPECT_EQ(folder_.Count("tblAnClienti"), 1);
    ExpectIdleAfterwards();

    view_.tableId = 2;  // beyond the list
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 9");
}

TEST_F(ImportRunTest, TemplateFieldMissingInTheTableStopsBeforeEmptying)
{
    UseTemplate("[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n2=Inesistente,sNonCe\n");
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('RESTA')");
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    Pair(2, "Cognome");
    view_.empty = true;
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 3265");
    EXPECT_NE(dialogs_->LastMessage().text.find("sNonCe"), std::string::npos);
    const auto rows = Clienti("sCodice");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Variant("RESTA"));
}

TEST_F(ImportRunTest, DestinationTableThatDoesNotExistIsAnError)
{
    tables_ = {core::cTable{1, "Clienti", "tblNessuna"}};
    UseSource(kThreeCustomers);
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. " + std::to_string(core::err::TableNotFound));
    ExpectIdleAfterwards();
}

TEST_F(ImportRunTest, MalformedRuleStopsAfterTheCopyWithEarlierRulesApplied)
{
    UseTemplate(
        "[CFG]\nSTD=5\nREQ=3\n[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Nome,sNome\n"
        "4=Denominazione,sDenominazione\n5=Sito,sSitoWeb\n"
        "[REQ]\n1=sDenominazione,&,sCognome,sNome\n2=sTelefono1,&,sCognome\n3=sSitoWeb,&,sCognome,sNome\n");
    UseSource("INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('A', 'Rossi', 'Mario', '');\n");
    Pair(1, "Codice");
    Pair(2, "Cognome");
    Pair(3, "Nome");
    Pair(4, "Denom");
    Pair(5, "Denom");  // '' into sSitoWeb: rule 3 would fill it if it were reached
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    const DialogCall error = dialogs_->LastMessage();
    EXPECT_EQ(error.title, "Errore n. 9");
    EXPECT_NE(error.text.find("[REQ]"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("chiave 2"), std::string::npos) << error.text;
    const auto rows = Clienti("sCodice, sDenominazione, sSitoWeb");
    ASSERT_EQ(rows.size(), 1u);  // the copy stays
    EXPECT_EQ(rows[0][1], Variant("Rossi Mario"));
    EXPECT_EQ(rows[0][2], Variant(""));
    ExpectIdleAfterwards();
}

TEST_F(ImportRunTest, RuleWithOtherOperatorIsSkippedAndCountBoundsTheRules)
{
    UseTemplate(
        "[CFG]\nSTD=3\nREQ=3\n[STD]\n1=Cognome,sCognome\n2=Nome,sNome\n3=Telefono,sTelefono1\n"
        "[REQ]\n1=sDenominazione,+,sCognome,sNome\n3=sTelefono1,&,sCognome,sNome\n");
    UseSource("INSERT INTO Origine (Cognome, Nome, Denom) VALUES ('Rossi', 'Mario', '');\n");
    Pair(1, "Cognome");
    Pair(2, "Nome");
    Pair(3, "Denom");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run()) << dialogs_->Transcript();
    const auto rows = Clienti("sDenominazione, sTelefono1");
    EXPECT_TRUE(rows[0][0].IsNull());      // "+" is not the concatenation
    EXPECT_EQ(rows[0][1], Variant(""));    // rule 3 is never read: rule 2 is missing
}

TEST_F(ImportRunTest, RuleNamingAMissingFieldIsAnErrorAfterTheCopy)
{
    UseTemplate("[CFG]\nSTD=1\nREQ=1\n[STD]\n1=Codice,sCodice\n[REQ]\n1=sDenominazione,&,sCognome,sNessuno\n");
    UseSource(kThreeCustomers);
    Pair(1, "Codice");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().icon, core::MsgIcon::Critical);
    EXPECT_EQ(folder_.Count("tblAnClienti"), 3);
}

TEST_F(ImportRunTest, ProgressFollowsTheSourcePosition)
{
    std::string rows;
    for (int i = 0; i < 8; ++i) rows += "INSERT INTO Origine (Codice) VALUES ('R" + std::to_string(i) + "');\n";
    UseSource(rows);
    Pair(1, "Codice");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    ASSERT_TRUE(Run());
    ASSERT_EQ(view_.progress.size(), 9u);
    for (std::size_t i = 1; i + 1 < view_.progress.size(); ++i) {
        EXPECT_GE(view_.progress[i], view_.progress[i - 1]);
        EXPECT_LE(view_.progress[i], 100);
    }
    EXPECT_EQ(view_.progress.back(), 0);
}

TEST_F(ImportRunTest, ValueTheDestinationRefusesStopsTheRun)
{
    // 70000 is too large for the 16-bit nRate of tblMoPagamento.
    tables_ = {core::cTable{1, "Modalità", "tblMoPagamento"}};
    UseTemplate("[CFG]\nSTD=2\n[STD]\n1=Codice,sCodice\n2=Rate,nRate\n");
    UseSource("INSERT INTO Origine (Codice, Numero) VALUES ('A', '2');\n"
              "INSERT INTO Origine (Codice, Numero) VALUES ('B', '70000');\n");
    Pair(1, "Codice");
    Pair(2, "Numero");
    dialogs_->AnswerMessage(core::MsgResult::Yes);
    EXPECT_FALSE(Run());
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. " + std::to_string(core::err::ConversionError));
    EXPECT_EQ(dialogs_->LastMessage().text.rfind(
                  "Errore di conversione del tipo di dati: 70000 è fuori dall'intervallo ammesso per il campo 'Rate' "
                  "(da -32768 a 32767). (record 2 dell'origine, campo 'Numero' verso il campo 'Rate' di 'Modalità')", 0),
              0u) << dialogs_->LastMessage().text;
    EXPECT_EQ(folder_.Count("tblMoPagamento"), 1);
}

}  // namespace
