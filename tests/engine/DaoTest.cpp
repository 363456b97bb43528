#include <gtest/gtest.h>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "tests/engine/MemoryDriver.h"

using namespace core;
using testsupport::MemoryDriver;
using testsupport::Stores;

namespace {

int ErrorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

class DaoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool registered = false;
        if (!registered) Engine::Instance().AddDriver(std::make_unique<MemoryDriver>());
        registered = true;
    }
    void SetUp() override {
        auto& store = Stores()[path];
        store = {};
        auto& areas = store.tables["tblAree"];
        areas.columns = {{"ID", DataType::Long, 4, false, true},
                         {"sCodice", DataType::Text, 10, false, false},
                         {"sDescrizione", DataType::Text, 30, true, false}};
        areas.rows = {{Variant(1), Variant("NORD"), Variant("Nord Italia")}};
        areas.deleted = {false};
    }
    void OpenAreas(DataControl& dc, const std::string& source = "SELECT * FROM [tblAree]") {
        dc.Connect = "Memoria;PWD=pw";
        dc.DatabaseName = path;
        dc.RecordSource = source;
        dc.Refresh();
    }
    std::string path = "mem://agenzia";
};

}  // namespace

TEST_F(DaoTest, UnknownDriverTextGives3170AndMissingDatabaseTheDriversError) {
    DataControl dc;
    dc.Connect = "Paradox 3.X;";
    dc.DatabaseName = path;
    dc.RecordSource = "tblAree";
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), err::NotInstalledIsam);
    dc.Connect = "Memoria;PWD=no";
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), err::BadPassword);
    EXPECT_FALSE(dc.HasRecordset());
    EXPECT_EQ(ErrorNumber([&] { dc.Recordset(); }), 91);
}

TEST_F(DaoTest, FieldsByNameAndPositionAndTheirErrors) {
    DataControl dc;
    OpenAreas(dc);
    Recordset& rs = dc.Recordset();
    EXPECT_EQ(rs.Fields().Count(), 3);
    EXPECT_EQ(rs.Fields()["scodice"].Value(), Variant("NORD"));
    EXPECT_EQ(rs.Fields()[2].Name(), "sDescrizione");
    EXPECT_EQ(rs.Fields()["sCodice"].Size(), 10);
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["nonCe"]; }), err::ItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()[3]; }), err::ItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["sCodice"] = Variant("X"); }), err::UpdateWithoutAddNew);
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["sCodice"].Value(); }), err::NoCurrentRecord);
    EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), err::NoCurrentRecord);
    rs.Close();
    EXPECT_EQ(ErrorNumber([&] { rs.Eof(); }), err::ObjectClosed);
}

TEST_F(DaoTest, AddNewConvertsOnAssignmentAndSavesOnUpdate) {
    DataControl dc;
    OpenAreas(dc);
    Recordset& rs = dc.Recordset();
    rs.AddNew();
    EXPECT_TRUE(rs.Fields()["sCodice"].Value().IsNull());
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["sCodice"] = Variant("TROPPO LUNGO"); }), err::FieldTooSmall);
    rs.Fields()["sCodice"] = Variant(12);
    EXPECT_EQ(rs.Fields()["sCodice"].Value(), Variant("12"));
    EXPECT_EQ(ErrorNumber([&] { rs.Update(); }), err::NullInRequired);
    rs.Fields()["sDescrizione"] = Variant("Centro");
    rs.Update();
    EXPECT_EQ(ErrorNumber([&] { rs.Update(); }), err::UpdateWithoutAddNew);
    // A second data control on the same file shares the connection and sees it.
    DataControl support;
    OpenAreas(support, "SELECT * FROM [tblAree] WHERE [sCodice] = '12'");
    ASSERT_FALSE(support.Recordset().Eof());
    EXPECT_EQ(support.Recordset().Fields()["ID"].Value(), Variant(2));
    EXPECT_EQ(Stores()[path].opens, 1);
}

TEST_F(DaoTest, RefreshClosesTheOldRecordsetBeforeOpeningTheNext) {
    DataControl dc;
    OpenAreas(dc, "SELECT * FROM [tblAree] WHERE [sCodice] = 'NORD'");
    ASSERT_FALSE(dc.Recordset().Eof());
    dc.RecordSource = "SELECT * FROM [tblMancante] WHERE [sCodice] = 'NORD'";
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), err::TableNotFound);
    // The failed query must not hand on the previous result.
    EXPECT_FALSE(dc.HasRecordset());
}

TEST_F(DaoTest, ExecuteRefusesSelectionsAndReadOnlyDatabases) {
    auto db = Workspace::OpenDatabase(path, false, false, "Memoria;PWD=pw");
    EXPECT_EQ(ErrorNumber([&] { db->Execute("SELECT * FROM [tblAree]"); }), 3065);
    db->Execute("DELETE FROM [tblAree]");
    EXPECT_EQ(db->RecordsAffected(), 7);
    auto readOnly = Workspace::OpenDatabase(path, false, true, "Memoria;PWD=pw");
    EXPECT_EQ(ErrorNumber([&] { readOnly->Execute("DELETE FROM [tblAree]"); }), err::ReadOnlyDatabase);
    auto rs = readOnly->OpenRecordset("tblAree");
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew(); }), err::ReadOnlyDatabase);
    EXPECT_EQ(readOnly->TableDefs().size(), 1u);
    EXPECT_EQ(readOnly->TableDefs()[0].Name, "tblAree");
}

TEST_F(DaoTest, DeleteLeavesNoCurrentRecordUntilMoveNext) {
    auto db = Workspace::OpenDatabase(path, false, false, "Memoria;PWD=pw");
    auto rs = db->OpenRecordset("tblAree");
    rs->Delete();
    EXPECT_EQ(ErrorNumber([&] { rs->Delete(); }), err::NoCurrentRecord);
    EXPECT_EQ(ErrorNumber([&] { rs->Fields()[0].Value(); }), 3167);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    auto again = db->OpenRecordset("SELECT * FROM [tblAree]");
    EXPECT_TRUE(again->Eof());
}

TEST_F(DaoTest, FlushAllReachesEveryOpenConnection) {
    auto db = Workspace::OpenDatabase(path, false, false, "Memoria;PWD=pw");
    const int before = Stores()[path].flushes;
    Engine::Instance().FlushAll();
    EXPECT_EQ(Stores()[path].flushes, before + 1);
    db->Close();  // commits what it saved, once more
    EXPECT_EQ(Stores()[path].flushes, before + 2);
    Engine::Instance().FlushAll();
    EXPECT_EQ(Stores()[path].flushes, before + 2);
}
