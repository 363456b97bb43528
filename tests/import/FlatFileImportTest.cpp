// A customer list kept in a text export, a dBASE table or an Excel workbook,
// imported into tblAnClienti through the run the window uses, with the
// conversions by destination type.

#include <gtest/gtest.h>

#include <shapefil.h>

#include <fstream>

#include "common/engine/Dao.h"
#include "import/ImportRun.h"
#include "tests/flatfile/XlsBuilder.h"
#include "tests/import/ImportFixture.h"
#include "tests/support/ScriptedDialogs.h"

using core::Variant;

namespace {

class CustomerView : public import::ImportView {
public:
    std::array<std::string, import::kSlotCount> sourceOf;
    std::int32_t SelectedTableId() override { return 1; }
    std::string SlotSource(int k) override { return sourceOf[static_cast<std::size_t>(k - 1)]; }
    bool EmptyDestinationFirst() override { return true; }
    void SetProgress(int) override {}
};

class FlatFileImport : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.CreateDestination();
        folder_.WriteTemplate("Clienti",
                              "[CFG]\nSTD=4\nREQ=0\n[STD]\n1=Codice,sCodice\n2=Ragione sociale,sDenominazione\n"
                              "3=Fido,nFido\n4=Inserito,dInserimento\n");
    }

    // Imports the source table, its fields paired in the template's order.
    void Import(const std::string& connect, const std::string& file, const std::string& table) {
        const import::ImportTemplate tpl = import::ReadImportTemplate(import::TemplatePath("Clienti"));
        const std::vector<core::cTable> tables{core::cTable{1, "Clienti", "tblAnClienti"}};
        core::DataControl from, to;
        from.Connect = connect;
        from.DatabaseName = file;
        from.RecordSource = table;
        from.Refresh();
        CustomerView view;
        const char* sources[] = {"Codice", "Nome", "Fido", "Data"};
        for (int k = 0; k < 4; ++k) view.sourceOf[static_cast<std::size_t>(k)] = sources[k];
        testsupport::ScopedScriptedDialogs dialogs;
        dialogs->AnswerMessage(core::MsgResult::Yes);
        import::ImportSetup setup;
        setup.tables = &tables;
        setup.tpl = &tpl;
        setup.dcFrom = &from;
        setup.dcTo = &to;
        setup.destinationPath = folder_.DestinationPath();
        setup.destinationPassword = importtest::kDestinationKey;
        setup.programTitle = "Tessily";
        import::ImportRun run(std::move(setup), view);
        ASSERT_TRUE(run.Run()) << dialogs->Transcript();
    }

    void ExpectCustomers() {
        const auto rows = folder_.Rows(
            "SELECT sCodice, sDenominazione, nFido, dInserimento FROM [tblAnClienti] ORDER BY [sCodice]");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0][0], Variant("C0000001"));
        EXPECT_EQ(rows[0][1], Variant("Caffè Città S.r.l."));
        EXPECT_EQ(rows[0][2], Variant(core::Currency{15005000}));
        EXPECT_EQ(rows[0][3], Variant(core::DateTime::FromParts(2002, 9, 27)));
        EXPECT_EQ(rows[1][0], Variant("C0000002"));
        EXPECT_EQ(rows[1][1], Variant("Ditta D'Amico"));
    }

    std::string Path(const std::string& name) const { return folder_.Folder() + "/" + name; }

    importtest::ImportFolder folder_;
};

}  // namespace

TEST_F(FlatFileImport, CustomersFromATextExport) {
    std::ofstream(Path("clienti.csv"), std::ios::binary)
        << "Codice;Nome;Fido;Data\r\nC0000001;Caff\xC3\xA8 Citt\xC3\xA0 S.r.l.;1500.5;27/09/2002\r\n"
           "C0000002;\"Ditta D'Amico\";0;2002-10-01\r\n";
    Import("Text;", Path("clienti.csv"), "clienti.csv");
    ExpectCustomers();
}

TEST_F(FlatFileImport, CustomersFromADbaseTable) {
    {
        DBFHandle dbf = DBFCreateEx(Path("clienti.dbf").c_str(), "LDID/87");  // Windows-1252
        ASSERT_NE(dbf, nullptr);
        DBFAddField(dbf, "Codice", FTString, 10, 0);
        DBFAddField(dbf, "Nome", FTString, 40, 0);
        DBFAddField(dbf, "Fido", FTDouble, 12, 2);
        DBFAddField(dbf, "Data", FTString, 10, 0);  // a date written as text, as exports often hold it
        DBFWriteStringAttribute(dbf, 0, 0, "C0000001");
        DBFWriteStringAttribute(dbf, 0, 1, "Caff\xE8 Citt\xE0 S.r.l.");
        DBFWriteDoubleAttribute(dbf, 0, 2, 1500.5);
        DBFWriteStringAttribute(dbf, 0, 3, "27/09/2002");
        DBFWriteStringAttribute(dbf, 1, 0, "C0000002");
        DBFWriteStringAttribute(dbf, 1, 1, "Ditta D'Amico");
        DBFWriteDoubleAttribute(dbf, 1, 2, 0);
        DBFWriteStringAttribute(dbf, 1, 3, "01/10/2002");
        DBFClose(dbf);
    }
    Import("dBASE IV;", Path("clienti.dbf"), "clienti.dbf");
    ExpectCustomers();
}

TEST_F(FlatFileImport, CustomersFromAnExcelWorkbook) {
    using namespace flatfiletest;
    XlsSheet sheet;
    sheet.name = u"Clienti";
    sheet.rows = {{std::u16string(u"Codice"), std::u16string(u"Nome"), std::u16string(u"Fido"), std::u16string(u"Data")},
                  {std::u16string(u"C0000001"), std::u16string(u"Caffè Città S.r.l."), 1500.5, XlsDate{37526.0}},
                  {std::u16string(u"C0000002"), std::u16string(u"Ditta D'Amico"), XlsRk{0}, XlsDate{37530.0}}};
    std::ofstream(Path("clienti.xls"), std::ios::binary) << BuildXls({sheet});
    Import("Excel 8.0;", Path("clienti.xls"), "Clienti$");
    ExpectCustomers();
}
