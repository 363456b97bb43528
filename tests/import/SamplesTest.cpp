// The delivered configuration: every listed table has its template, every
// template field and completion rule names a field of the version-5
// structure, and every source format has a driver.

#include <gtest/gtest.h>

#include <set>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/SourceSelection.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "import/TemplateFormat.h"
#include "tests/import/ImportFixture.h"

namespace {

class SampleConfiguration : public ::testing::Test {
protected:
    void SetUp() override
    {
        core::SetProgramFolderForTesting(AGENCY_SAMPLES);
        core::InitPrefs("Tessily", "Tessily.ini");
    }
    void TearDown() override { core::SetProgramFolderForTesting({}); }
};

TEST_F(SampleConfiguration, EveryTemplateFitsTheVersion5Structure)
{
    const auto list = import::ReadDestinationTables(core::ThePrefs().iniPath);
    ASSERT_GE(list.tables.size(), 5u);
    std::set<std::string> tables;
    for (const auto& t : list.tables) tables.insert(t.Table);
    for (const char* required : {"tblAnClienti", "tblAnMandanti", "tblAnSubAgenti", "tblArticoli", "tblListini"})
        EXPECT_TRUE(tables.count(required)) << required;

    // The structure itself, in a scratch database.
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/v5.db";
    core::sqlite::CreateDatabase(path, importtest::ReadWholeFile(std::string(AGENCY_SAMPLES) + "/schema/v5.sql"));
    auto db = core::Workspace::OpenDatabase(path, false, true, "SQLite;");

    for (const core::cTable& table : list.tables) {
        SCOPED_TRACE(table.Name);
        const std::string file = import::TemplatePath(table.Name);
        ASSERT_TRUE(core::FileExists(file)) << file;
        const import::ImportTemplate tpl = import::ReadImportTemplate(file);
        auto rs = db->OpenRecordset(table.Table);
        int offered = 0;
        for (int k = 1; k <= import::kSlotCount; ++k) {
            if (const core::cField* field = tpl.Slot(k)) {
                ++offered;
                EXPECT_GE(rs->ColumnIndex(field->Field), 0) << field->Field;
                EXPECT_FALSE(field->Name.empty());
            }
        }
        EXPECT_GT(offered, 0);
        for (int k = 1; k <= tpl.reqCount; ++k) {
            const auto rule = import::ReadCompletionRule(file, k);
            ASSERT_TRUE(rule.has_value());
            ASSERT_TRUE(rule->IsConcatenation());
            for (int part : {0, 2, 3}) EXPECT_GE(rs->ColumnIndex(rule->parts[static_cast<std::size_t>(part)]), 0);
        }
    }
    db->Close();
    core::Engine::Instance().Prune();
}

TEST_F(SampleConfiguration, FormatsFollowThePositionRuleAndHaveDrivers)
{
    const core::SourceFormats formats = core::ReadSourceFormats(core::ThePrefs().iniPath);
    ASSERT_EQ(formats.formats.size(), 10u);  // nine, plus the blank one
    const char* expectedExt[] = {".mdb", ".accdb", ".dbf", ".csv", ".txt", ".db", ".xls", ".dsn", ".sqlite"};
    for (int i = 0; i < 9; ++i) {
        const core::cDBFormat f = formats.At(i);
        SCOPED_TRACE(f.Name);
        EXPECT_EQ(f.ID, i + 1);
        EXPECT_EQ(f.Ext, expectedExt[i]);
        // Single-table formats are the flat files; the others list tables.
        const bool flat = f.Ext == ".dbf" || f.Ext == ".csv" || f.Ext == ".txt";
        EXPECT_EQ(core::IsMultiTableFormat(i + 1), !flat);
        if (!f.Driver.empty()) {
            core::OpenRequest request;
            request.path = "x" + f.Ext;
            request.connect = core::ConnectText::Parse(f.Driver);
            EXPECT_NO_THROW(core::Engine::Instance().ChooseDriver(request)) << f.Driver;
        }
    }
}

}  // namespace
