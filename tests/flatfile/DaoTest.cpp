// The drivers as the programs use them: data controls and databases with
// the connect texts of the formats, the file as the database and the
// file's own name (or a sheet's) as the record source.

#include "FlatFileTestSupport.h"
#include "XlsBuilder.h"
#include "common/engine/Dao.h"

using namespace flatfiletest;
using core::DataControl;
using core::DataType;
using core::Variant;

namespace {

class DaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbf = folder.Path("clienti.dbf");
        WriteDbf(dbf, 0x57, {{"CODICE", 'N', 5, 0}, {"NOME", 'C', 30}, {"CITTA", 'C', 20}},
                 {{"1", "Rossi", "Milano"}, {"2", "Verdi", "Forl\xEC"}, {"3", "Bianchi", "MILANO"}});
        csv = folder.Path("clienti.csv");
        WriteBytes(csv, "Codice;Nome;Citt\xC3\xA0\r\n1;Rossi;Milano\r\n2;Verdi;Forl\xC3\xAC\r\n");
        xls = folder.Path("clienti.xls");
        XlsSheet sheet;
        sheet.name = u"Foglio1";
        sheet.rows = {{u"Codice", u"Nome"}, {XlsRk{1}, u"Rossi"}, {XlsRk{2}, u"Verdi"}};
        WriteBytes(xls, BuildXls({sheet}));
    }

    std::vector<std::string> Names(core::Recordset& rs) {
        std::vector<std::string> names;
        for (int i = 0; i < rs.Fields().Count(); ++i) names.push_back(rs.Fields()[i].Name());
        return names;
    }

    ScratchFolder folder;
    std::string dbf, csv, xls;
};

TEST_F(DaoTest, DbaseTableThroughADataControl) {
    DataControl dc;
    dc.Connect = "dBASE IV;";
    dc.DatabaseName = dbf;
    dc.RecordSource = "clienti.dbf";  // wrapped as SELECT * FROM [clienti.dbf]
    dc.Refresh();
    auto& rs = dc.Recordset();
    EXPECT_EQ(Names(rs), (std::vector<std::string>{"CODICE", "NOME", "CITTA"}));
    EXPECT_EQ(rs.Fields()["codice"].Type(), DataType::Long);
    EXPECT_EQ(rs.Fields()["NOME"].Size(), 30);
    EXPECT_EQ(rs.Fields()["NOME"].Value(), Variant("Rossi"));
    rs.MoveNext();
    EXPECT_EQ(rs.Fields()["CITTA"].Value(), Variant("Forlì"));
    rs.MoveNext();
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());

    const auto defs = dc.Database().TableDefs();
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].Name, "clienti.dbf");

    // The whole path as the record source: the file's name cut at the last
    // backslash is the whole path where paths have no backslash.
    dc.RecordSource = dbf;
    dc.Refresh();
    EXPECT_EQ(dc.Recordset().Fields()["NOME"].Value(), Variant("Rossi"));

    for (const char* text : {"dBASE III;", "dBASE 5.0;", "DBASE IV"}) {
        dc.Connect = text;
        dc.Refresh();
        EXPECT_FALSE(dc.Recordset().Eof()) << text;
    }
}

TEST_F(DaoTest, FilterOnAFieldIgnoresCase) {
    DataControl dc;
    dc.Connect = "dBASE IV;";
    dc.DatabaseName = dbf;
    dc.RecordSource = "SELECT * FROM [clienti.dbf] WHERE [citta] = 'milano'";
    dc.Refresh();
    std::vector<Variant> codes;
    for (auto& rs = dc.Recordset(); !rs.Eof(); rs.MoveNext()) codes.push_back(rs.Fields()["CODICE"].Value());
    EXPECT_EQ(codes, (std::vector<Variant>{Variant(1), Variant(3)}));

    dc.RecordSource = "SELECT * FROM [clienti.dbf] WHERE [Assente] = 'x'";
    EXPECT_EQ(CaughtError([&] { dc.Refresh(); }).Number(), core::err::TooFewParameters);
}

TEST_F(DaoTest, TextFileAndExcelSheetThroughADataControl) {
    DataControl text;
    text.Connect = "Text;";
    text.DatabaseName = csv;
    text.RecordSource = "clienti.csv";
    text.Refresh();
    EXPECT_EQ(Names(text.Recordset()), (std::vector<std::string>{"Codice", "Nome", "Città"}));
    text.Recordset().MoveNext();
    EXPECT_EQ(text.Recordset().Fields()["città"].Value(), Variant("Forlì"));

    DataControl excel;
    excel.Connect = "Excel 8.0;";
    excel.DatabaseName = xls;
    excel.Refresh();  // no record source yet: the window lists the sheets first
    const auto defs = excel.Database().TableDefs();
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].Name, "Foglio1$");
    excel.RecordSource = "Foglio1$";
    excel.Refresh();
    EXPECT_EQ(excel.Recordset().Fields()["Codice"].Type(), DataType::Long);
    EXPECT_EQ(excel.Recordset().Fields()["Nome"].Value(), Variant("Rossi"));
    // The workbook's own name, as a single-table entry would list it.
    excel.Connect = "Excel 5.0;";
    excel.RecordSource = "clienti.xls";
    excel.Refresh();
    EXPECT_EQ(excel.Recordset().Fields()["Nome"].Value(), Variant("Rossi"));
}

TEST_F(DaoTest, EveryWriteIsRefused) {
    auto db = core::Workspace::OpenDatabase(dbf, false, false, "dBASE IV;");
    EXPECT_TRUE(db->ReadOnly());
    EXPECT_EQ(CaughtError([&] { db->Execute("DELETE FROM [clienti.dbf]"); }).Number(),
              core::err::ReadOnlyDatabase);
    auto rs = db->OpenRecordset("clienti.dbf");
    EXPECT_EQ(CaughtError([&] { rs->AddNew(); }).Number(), core::err::ReadOnlyDatabase);
    EXPECT_EQ(CaughtError([&] { rs->Delete(); }).Number(), core::err::ReadOnlyDatabase);
    EXPECT_EQ(ReadBytes(dbf).size(), std::size_t(32 + 3 * 32 + 1 + 3 * 56 + 1));  // untouched
}

TEST_F(DaoTest, MissingTablesFilesAndDamagedFilesAreReported) {
    DataControl dc;
    dc.Connect = "dBASE IV;";
    dc.DatabaseName = dbf;
    dc.RecordSource = "fornitori.dbf";
    EXPECT_EQ(CaughtError([&] { dc.Refresh(); }).Number(), core::err::TableNotFound);

    dc.DatabaseName = folder.Path("assente.dbf");
    dc.RecordSource = "assente.dbf";
    EXPECT_EQ(CaughtError([&] { dc.Refresh(); }).Number(), core::err::FileNotFoundDb);

    const std::string bytes = ReadBytes(dbf);
    const std::string cut = folder.Path("tronco.dbf");
    WriteBytes(cut, bytes.substr(0, bytes.size() - 40));
    dc.DatabaseName = cut;
    dc.RecordSource = "tronco.dbf";
    const core::Error e = CaughtError([&] { dc.Refresh(); });
    EXPECT_EQ(e.Number(), core::err::CorruptDatabase);
    EXPECT_NE(e.Description().find("tronco.dbf"), std::string::npos);
    EXPECT_FALSE(dc.HasRecordset());
}

TEST_F(DaoTest, AFolderListsItsFilesOfTheFormat) {
    WriteDbf(folder.Path("zone.dbf"), 0x57, {{"ZONA", 'C', 10}}, {{"Nord"}});
    std::filesystem::rename(folder.Path("zone.dbf"), folder.Path("zone.DBF"));
    auto db = core::Workspace::OpenDatabase(folder.Root(), false, true, "dBASE III;");
    std::vector<std::string> names;
    for (const auto& def : db->TableDefs()) names.push_back(def.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"clienti.dbf", "zone.DBF"}));
    auto rs = db->OpenRecordset("ZONE");  // the bare name works too
    EXPECT_EQ(rs->Fields()["ZONA"].Value(), Variant("Nord"));

    auto texts = core::Workspace::OpenDatabase(folder.Root(), false, true, "Text;");
    ASSERT_EQ(texts->TableDefs().size(), 1u);
    EXPECT_EQ(texts->TableDefs()[0].Name, "clienti.csv");
}

}  // namespace
