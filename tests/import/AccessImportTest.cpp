// A real Access source: the Customers table of the Northwind sample into
// tblAnClienti, through the run the window uses.

#include <gtest/gtest.h>

#include <filesystem>

#include "common/engine/Dao.h"
#include "common/engine/Drivers.h"
#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"
#include "import/ImportRun.h"
#include "tests/import/ImportFixture.h"
#include "tests/support/ScriptedDialogs.h"

using core::Variant;

namespace {

class PairedView : public import::ImportView {
public:
    std::array<std::string, import::kSlotCount> sourceOf;
    std::int32_t SelectedTableId() override { return 1; }
    std::string SlotSource(int k) override { return sourceOf[static_cast<std::size_t>(k - 1)]; }
    bool EmptyDestinationFirst() override { return true; }
    void SetProgress(int) override {}
};

TEST(AccessImport, NorthwindCustomersIntoTblAnClienti)
{
    const std::string nwind = std::string(AGENCY_FIXTURES) + "/access/nwind.mdb";
    ASSERT_TRUE(std::filesystem::exists(nwind)) << "fixture missing: " << nwind;
    ASSERT_TRUE(core::MakeAccessDriver()) << "no Access driver in this build";

    importtest::ImportFolder folder;
    folder.CreateDestination();
    folder.WriteTemplate("Clienti",
                         "[CFG]\nSTD=8\nREQ=0\n[STD]\n1=Codice,sCodice\n2=Ragione sociale,sDenominazione\n"
                         "3=Referente,sCOCognome\n4=Indirizzo,sSCIndirizzo\n5=Città,sSCCitta\n6=CAP,sSCCap\n"
                         "7=Telefono,sTelefono1\n8=Fax,sFax\n");
    const import::ImportTemplate tpl = import::ReadImportTemplate(import::TemplatePath("Clienti"));
    const std::vector<core::cTable> tables{core::cTable{1, "Clienti", "tblAnClienti"}};

    core::DataControl dcFrom, dcTo;
    dcFrom.Connect = "";  // the first Access format: chosen by the file itself
    dcFrom.DatabaseName = nwind;
    dcFrom.RecordSource = "Customers";
    try {
        dcFrom.Refresh();
    } catch (const core::Error& e) {
        FAIL() << "the Access driver cannot read the sample: " << e.Number() << " " << e.Description();
    }

    PairedView view;
    const char* sources[] = {"CustomerID", "CompanyName", "ContactName", "Address", "City", "PostalCode", "Phone", "Fax"};
    for (int k = 0; k < 8; ++k) view.sourceOf[static_cast<std::size_t>(k)] = sources[k];

    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->AnswerMessage(core::MsgResult::Yes);
    import::ImportSetup setup;
    setup.tables = &tables;
    setup.tpl = &tpl;
    setup.dcFrom = &dcFrom;
    setup.dcTo = &dcTo;
    setup.destinationPath = folder.DestinationPath();
    setup.destinationPassword = importtest::kDestinationKey;
    setup.programTitle = "Tessily";
    import::ImportRun run(std::move(setup), view);
    ASSERT_TRUE(run.Run()) << dialogs->Transcript();

    const auto rows = folder.Rows(
        "SELECT sCodice, sDenominazione, sSCCitta, sSCCap, sCOCognome FROM [tblAnClienti] ORDER BY [sCodice]");
    EXPECT_EQ(rows.size(), 91u);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], Variant("ALFKI"));
    EXPECT_EQ(rows[0][1], Variant("Alfreds Futterkiste"));
    EXPECT_EQ(rows[0][2], Variant("Berlin"));
    EXPECT_EQ(rows[0][3], Variant("12209"));
    EXPECT_EQ(rows[0][4], Variant("Maria Anders"));
    // Postal codes longer than the five characters of sSCCap are cut.
    for (const auto& row : rows)
        if (!row[3].IsNull()) {
            EXPECT_LE(core::CharCount(row[3].AsText()), 5u) << row[0].AsText();
        }
    dcFrom.Close();
    dcTo.Close();
}

}  // namespace
