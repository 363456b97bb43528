// The details of Tessily's final message: what each conversion lost, what
// each completion rule changed and where a failed run stopped, checked on
// small sources whose counts are known in advance.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "common/engine/Error.h"
#include "import/ImportConvert.h"
#include "import/ImportReport.h"
#include "import/ImportRun.h"
#include "import/TemplateFormat.h"
#include "tests/import/ImportFixture.h"
#include "tests/support/ScriptedDialogs.h"

using core::DataType;
using core::Variant;
using import::ConversionGroup;
using import::ConversionNote;
using testsupport::DialogCall;
using testsupport::ScopedScriptedDialogs;

namespace {

const core::DateTime kToday = core::DateTime::FromParts(2024, 5, 17);

core::FieldInfo FieldOf(DataType type, int size = 0)
{
    core::FieldInfo f;
    f.name = "campo";
    f.type = type;
    f.size = size;
    return f;
}

ConversionNote NoteOf(const Variant& value, DataType type, int size = 0)
{
    ConversionNote note = ConversionNote::Zero;  // anything but the expected None
    const core::FieldInfo field = FieldOf(type, size);
    import::ConvertForImport(value, field, import::GroupOf(type), kToday, note);
    return note;
}

TEST(ImportConvertNotes, SayWhatEachGroupLost)
{
    // Texts: a cut only when characters are lost, not bytes.
    EXPECT_EQ(NoteOf(Variant(std::string(11, 'x')), DataType::Text, 10), ConversionNote::Cut);
    EXPECT_EQ(NoteOf(Variant(std::string(10, 'x')), DataType::Text, 10), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant("èèèèè"), DataType::Text, 5), ConversionNote::None);  // 10 bytes, 5 letters
    EXPECT_EQ(NoteOf(Variant(std::string(300, 'x')), DataType::Memo), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(), DataType::Text, 5), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(123456), DataType::Text, 3), ConversionNote::Cut);

    // Whole numbers: only what was no number and read as 0.
    EXPECT_EQ(NoteOf(Variant("abc"), DataType::Long), ConversionNote::Zero);
    EXPECT_EQ(NoteOf(Variant(""), DataType::Integer), ConversionNote::Zero);
    EXPECT_EQ(NoteOf(Variant("0"), DataType::Long), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(" -0 "), DataType::Long), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant("12abc"), DataType::Long), ConversionNote::None);  // the leading number stays
    EXPECT_EQ(NoteOf(Variant(0), DataType::Long), ConversionNote::None);

    // Other numbers: a text that is no number, and Null, apart.
    EXPECT_EQ(NoteOf(Variant("12abc"), DataType::Double), ConversionNote::Zero);
    EXPECT_EQ(NoteOf(Variant("n.d."), DataType::Currency), ConversionNote::Zero);
    EXPECT_EQ(NoteOf(Variant(), DataType::Currency), ConversionNote::NullZero);
    EXPECT_EQ(NoteOf(Variant("0.0"), DataType::Double), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(0.0), DataType::Double), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(false), DataType::Double), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(kToday), DataType::Double), ConversionNote::Zero);

    // Dates: whatever is replaced by today, even when it is today's date
    // that a text fails to spell.
    EXPECT_EQ(NoteOf(Variant(), DataType::Date), ConversionNote::Today);
    EXPECT_EQ(NoteOf(Variant("ieri"), DataType::Date), ConversionNote::Today);
    EXPECT_EQ(NoteOf(Variant(42), DataType::Date), ConversionNote::Today);
    EXPECT_EQ(NoteOf(Variant("25/12/2020"), DataType::Date), ConversionNote::None);
    EXPECT_EQ(NoteOf(Variant(kToday), DataType::Date), ConversionNote::None);
}

TEST(ImportConvertNotes, TheNoteNeverChangesTheValue)
{
    for (const Variant& value : {Variant("abc"), Variant(""), Variant("12abc"), Variant(std::string(60, 'y')),
                                 Variant("èèèèè"), Variant(3.5)}) {
        for (DataType type : {DataType::Text, DataType::Long, DataType::Double, DataType::Date}) {
            const core::FieldInfo field = FieldOf(type, 5);
            ConversionNote note = ConversionNote::None;
            EXPECT_EQ(import::ConvertForImport(value, field, import::GroupOf(type), kToday, note),
                      import::ConvertForImport(value, field, kToday))
                << core::Describe(value);
        }
    }
}

class FakeView : public import::ImportView {
public:
    std::int32_t tableId = 1;
    std::array<std::string, import::kSlotCount> sourceOf;
    bool empty = false;

    std::int32_t SelectedTableId() override { return tableId; }
    std::string SlotSource(int k) override { return sourceOf[static_cast<std::size_t>(k - 1)]; }
    bool EmptyDestinationFirst() override { return empty; }
    void SetProgress(int) override {}
};

const char* kTemplate =
    "[CFG]\nSTD=12\nREQ=3\n"
    "[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Nome,sNome\n4=Denominazione,sDenominazione\n"
    "5=Fido,nFido\n7=Area,IDArea\n8=Inserito,dInserimento\n9=Note,sNote\n12=Posizione,sCOPosizione\n"
    "[REQ]\n1=sDenominazione,&,sCognome,sNome\n2=sNote,+,sCognome,sNome\n3=sSitoWeb,&,sCognome,sNome\n";

const char* kSource =
    "CREATE TABLE Origine (Codice TEXT(20), Cognome TEXT(60), Nome TEXT(30), Denom TEXT(100), "
    "Numero TEXT(20), Importo TEXT(20), Data TEXT(20), Note MEMO, Lungo TEXT(120));\n";

// Four customers with known losses:
//   Codice -> sCodice (10): one code of 16 characters is cut;
//   Lungo -> sCOPosizione (50): 60 and 51 letters are cut, 50 accented
//     letters (100 bytes) are not;
//   Numero -> IDArea (whole numbers): "abc" and "" become 0, "0" and "7kg"
//     do not count;
//   Importo -> nFido (currency): "n.d." and "" become 0, one Null does too;
//   Data -> dInserimento: "ieri" and Null become today.
std::string FourCustomers()
{
    const std::string accented = [] {
        std::string s;
        for (int i = 0; i < 50; ++i) s += "è";
        return s;
    }();
    return "INSERT INTO Origine VALUES ('A', 'Rossi', 'Mario', '', 'abc', 'n.d.', '25/12/2020', 'n', '" +
           std::string(60, 'x') + "');\n"
           "INSERT INTO Origine VALUES ('B', 'Neri', 'Luca', 'Neri Srl', '0', NULL, 'ieri', NULL, 'breve');\n"
           "INSERT INTO Origine VALUES ('CODICEMOLTOLUNGO', 'Blu', 'Eva', '', '', '12.5', NULL, '', '" +
           accented +
           "');\n"
           "INSERT INTO Origine VALUES ('D', 'Gialli', 'Ada', 'Gialli Spa', '7kg', '', '2021-01-02', 'm', '" +
           std::string(51, 'y') + "');\n";
}

class ImportDetailsTest : public ::testing::Test {
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

    void Pair(int slot, const std::string& source) { view_.sourceOf[static_cast<std::size_t>(slot - 1)] = source; }

    void PairAll()
    {
        Pair(1, "Codice");
        Pair(2, "Cognome");
        Pair(3, "Nome");
        Pair(4, "Denom");
        Pair(5, "Importo");
        Pair(7, "Numero");
        Pair(8, "Data");
        Pair(9, "Note");
        Pair(12, "Lungo");
    }

    // Runs with the question answered Yes; returns the final message.
    DialogCall Run()
    {
        dialogs_->AnswerMessage(core::MsgResult::Yes);
        import::ImportSetup setup;
        setup.tables = &tables_;
        setup.tpl = &tpl_;
        setup.dcFrom = &dcFrom_;
        setup.dcTo = &dcTo_;
        setup.destinationPath = folder_.DestinationPath();
        setup.destinationPassword = importtest::kDestinationKey;
        setup.programTitle = "Tessily";
        import::ImportRun run(std::move(setup), view_);
        run.Run();
        report_ = run.Report();
        return dialogs_->LastMessage();
    }

    // The report's count for the pair of a slot.
    long long CountOf(int slot, ConversionNote note) const
    {
        for (std::size_t i = 0; i < report_.Pairs().size(); ++i)
            if (report_.Pairs()[i].slot == slot) return report_.Count(i, note);
        ADD_FAILURE() << "slot " << slot << " not paired";
        return -1;
    }

    importtest::ImportFolder folder_;
    ScopedScriptedDialogs dialogs_;
    std::vector<core::cTable> tables_;
    import::ImportTemplate tpl_;
    core::DataControl dcFrom_;
    core::DataControl dcTo_;
    FakeView view_;
    import::ImportReport report_;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(ImportDetailsTest, SuccessCountsEveryLossyConversionAndEveryRule)
{
    UseSource(FourCustomers());
    PairAll();
    const DialogCall done = Run();
    ASSERT_EQ(done.text, "Operazione eseguita con successo!\n\n3 valori troncati, 2 date sostituite con la data "
                         "odierna, 5 valori letti come 0")
        << dialogs_->Transcript();
    EXPECT_EQ(done.icon, core::MsgIcon::Information);

    EXPECT_EQ(report_.Read(), 4);
    EXPECT_EQ(report_.Saved(), 4);
    EXPECT_EQ(CountOf(1, ConversionNote::Cut), 1);
    EXPECT_EQ(CountOf(12, ConversionNote::Cut), 2);
    EXPECT_EQ(CountOf(7, ConversionNote::Zero), 2);
    EXPECT_EQ(CountOf(5, ConversionNote::Zero), 2);
    EXPECT_EQ(CountOf(5, ConversionNote::NullZero), 1);
    EXPECT_EQ(CountOf(8, ConversionNote::Today), 2);
    EXPECT_EQ(CountOf(9, ConversionNote::Cut), 0);

    // The destination agrees with the counts: two positions at 50
    // characters cut, the accented one whole.
    const auto rows = folder_.Rows("SELECT sCodice, sCOPosizione FROM tblAnClienti ORDER BY ID");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2][0], Variant("CODICEMOLT"));
    EXPECT_EQ(rows[0][1], Variant(std::string(50, 'x')));
    EXPECT_EQ(rows[3][1], Variant(std::string(50, 'y')));

    const std::string expected =
        "Tabella di destinazione: Clienti (tblAnClienti)\n"
        "Record letti dall'origine: 4\n"
        "Record salvati: 4\n"
        "\n"
        "Campi abbinati (casella, destinazione ← origine):\n"
        " 1. Codice [sCodice] ← Codice: 1 valore troncato a 10 caratteri\n"
        " 2. Cognome [sCognome] ← Cognome: 0 valori troncati a 30 caratteri\n"
        " 3. Nome [sNome] ← Nome: 0 valori troncati a 30 caratteri\n"
        " 4. Denominazione [sDenominazione] ← Denom: 0 valori troncati a 100 caratteri\n"
        " 5. Fido [nFido] ← Importo: 2 testi non numerici diventati 0, 1 valore vuoto (Null) diventato 0\n"
        " 7. Area [IDArea] ← Numero: 2 testi non numerici diventati 0\n"
        " 8. Inserito [dInserimento] ← Data: 2 valori diventati la data odierna\n"
        " 9. Note [sNote] ← Note: copiato per intero\n"
        "12. Posizione [sCOPosizione] ← Lungo: 2 valori troncati a 50 caratteri\n"
        "\n"
        "Regole di completamento:\n"
        " 1. sDenominazione = sCognome & \" \" & sNome (dove vuoto): 2 record modificati\n"
        " 2. sNote, operatore \"+\": saltata\n"
        " 3. sSitoWeb = sCognome & \" \" & sNome (dove vuoto): 0 record modificati\n";
    EXPECT_EQ(done.details, expected);
}

TEST_F(ImportDetailsTest, EmptyingReportsTheRecordsDeleted)
{
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('V1')");
    folder_.ExecuteOnDestination("INSERT INTO [tblAnClienti] ([sCodice]) VALUES ('V2')");
    UseSource("INSERT INTO Origine (Codice) VALUES ('N');\n");
    Pair(1, "Codice");
    view_.empty = true;
    const DialogCall done = Run();
    ASSERT_EQ(done.text, "Operazione eseguita con successo!\n\nTabella svuotata prima della copia (2 record eliminati)")
        << dialogs_->Transcript();
    EXPECT_TRUE(Has(done.details, "Record eliminati prima della copia: 2\n")) << done.details;
    EXPECT_TRUE(Has(done.details, "Record salvati: 1\n")) << done.details;
}

TEST_F(ImportDetailsTest, AFailedRecordShowsHowFarTheCopyGot)
{
    // The Null in a whole-number field stops the run at the third record,
    // after that record's amount (an earlier slot) was converted.
    UseSource("INSERT INTO Origine (Codice, Importo, Numero, Data) VALUES ('A', NULL, 'x', NULL);\n"
              "INSERT INTO Origine (Codice, Importo, Numero, Data) VALUES ('B', '5', '2', NULL);\n"
              "INSERT INTO Origine (Codice, Importo, Numero, Data) VALUES ('C', NULL, NULL, NULL);\n"
              "INSERT INTO Origine (Codice, Importo, Numero, Data) VALUES ('D', NULL, 'y', NULL);\n");
    Pair(1, "Codice");
    Pair(5, "Importo");
    Pair(7, "Numero");
    Pair(8, "Data");
    const DialogCall error = Run();
    ASSERT_EQ(error.title, "Errore n. 94") << dialogs_->Transcript();
    // The message gives the records counted in the table, not the tally.
    EXPECT_TRUE(Has(error.text, "\n\nRecord di questa esecuzione presenti nella tabella 'tblAnClienti' (contati nel "
                                "database): 2.")) << error.text;
    EXPECT_FALSE(Has(error.text, "persi")) << error.text;

    const std::string& d = error.details;
    EXPECT_EQ(d.rfind("L'importazione si è fermata durante la copia, al record 3 dell'origine: 2 record salvati "
                      "prima dell'errore; il record 3 non è stato salvato.\n\n",
                      0),
              0u)
        << d;
    EXPECT_TRUE(Has(d, "Record letti dall'origine: 3\n")) << d;
    EXPECT_TRUE(Has(d, "Record salvati: 2\n")) << d;
    // Only what was stored is counted: the third record's Null amount
    // became 0 before its whole number failed, and the record is not in.
    EXPECT_TRUE(Has(d, " 5. Fido [nFido] ← Importo: 0 testi non numerici diventati 0, 1 valore vuoto (Null) "
                       "diventato 0\n"))
        << d;
    EXPECT_TRUE(Has(d, " 7. Area [IDArea] ← Numero: 1 testo non numerico diventato 0\n")) << d;
    EXPECT_TRUE(Has(d, " 8. Inserito [dInserimento] ← Data: 2 valori diventati la data odierna\n")) << d;
    EXPECT_TRUE(Has(d, "Regole di completamento:\n   non eseguite\n")) << d;
    EXPECT_EQ(folder_.Count("tblAnClienti"), 2);
}

TEST_F(ImportDetailsTest, AFailedRuleShowsTheRulesApplied)
{
    UseTemplate("[CFG]\nSTD=4\nREQ=3\n[STD]\n1=Codice,sCodice\n2=Cognome,sCognome\n3=Nome,sNome\n"
                "4=Denominazione,sDenominazione\n"
                "[REQ]\n1=sDenominazione,&,sCognome,sNome\n2=sTelefono1,&,sCognome\n3=sSitoWeb,&,sCognome,sNome\n");
    UseSource("INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('A', 'Rossi', 'Mario', '');\n"
              "INSERT INTO Origine (Codice, Cognome, Nome, Denom) VALUES ('B', 'Neri', 'Luca', 'Neri Srl');\n");
    Pair(1, "Codice");
    Pair(2, "Cognome");
    Pair(3, "Nome");
    Pair(4, "Denom");
    const DialogCall error = Run();
    ASSERT_EQ(error.title, "Errore n. 9") << dialogs_->Transcript();
    const std::string& d = error.details;
    EXPECT_EQ(d.rfind("L'importazione si è fermata alla regola di completamento 2, dopo la copia di tutti i record: "
                      "le regole precedenti sono state applicate, le successive no.\n",
                      0),
              0u)
        << d;
    EXPECT_TRUE(Has(d, "Record salvati: 2\n")) << d;
    EXPECT_TRUE(Has(d, "Regole di completamento:\n"
                       " 1. sDenominazione = sCognome & \" \" & sNome (dove vuoto): 1 record modificato\n"))
        << d;
    EXPECT_FALSE(Has(d, "sSitoWeb")) << d;  // rule 3 never read
}

TEST_F(ImportDetailsTest, AFailedRuleStatementIsNamedAsInterrupted)
{
    UseTemplate("[CFG]\nSTD=1\nREQ=2\n[STD]\n1=Codice,sCodice\n"
                "[REQ]\n1=sNome,+,sCognome,sNome\n2=sDenominazione,&,sCognome,sNessuno\n");
    UseSource("INSERT INTO Origine (Codice) VALUES ('A');\n");
    Pair(1, "Codice");
    const DialogCall error = Run();
    ASSERT_EQ(error.icon, core::MsgIcon::Critical) << dialogs_->Transcript();
    EXPECT_TRUE(Has(error.details, " 1. sNome, operatore \"+\": saltata\n"
                                   " 2. sDenominazione = sCognome & \" \" & sNessuno (dove vuoto): interrotta "
                                   "dall'errore\n"))
        << error.details;
}

TEST_F(ImportDetailsTest, AnErrorBeforeTheCopySaysTheDestinationIsUntouched)
{
    UseSource(FourCustomers());
    PairAll();
    view_.tableId = 0;
    const DialogCall error = Run();
    ASSERT_EQ(error.title, "Errore n. 9");
    EXPECT_EQ(error.details,
              "L'importazione si è fermata prima della copia: la tabella di destinazione non è stata modificata.\n");

    // A template field the table lacks: the table is known, nothing else.
    UseTemplate("[CFG]\nSTD=1\n[STD]\n1=Inesistente,sNonCe\n");
    view_.tableId = 1;
    const DialogCall missing = Run();
    ASSERT_EQ(missing.title, "Errore n. 3265");
    EXPECT_EQ(missing.details,
              "L'importazione si è fermata prima della copia: la tabella di destinazione non è stata modificata.\n\n"
              "Tabella di destinazione: Clienti (tblAnClienti)\n");
}

TEST_F(ImportDetailsTest, ARunWithoutPairsOrRulesSaysSo)
{
    UseTemplate("[CFG]\nSTD=1\n[STD]\n1=Codice,sCodice\n");
    UseSource("INSERT INTO Origine (Codice) VALUES ('A');\n");
    const DialogCall done = Run();
    ASSERT_EQ(done.text, "Operazione eseguita con successo!") << dialogs_->Transcript();
    EXPECT_TRUE(Has(done.details, "Campi abbinati (casella, destinazione ← origine):\n   nessuno\n")) << done.details;
    EXPECT_TRUE(Has(done.details, "Regole di completamento:\n   nessuna\n")) << done.details;
}

TEST_F(ImportDetailsTest, ASecondRunStartsFromZero)
{
    UseSource(FourCustomers());
    PairAll();
    Run();
    const DialogCall second = Run();
    EXPECT_EQ(report_.Read(), 4);
    EXPECT_EQ(CountOf(12, ConversionNote::Cut), 2);
    EXPECT_TRUE(Has(second.details, "Record salvati: 4\n")) << second.details;
}

}  // namespace
