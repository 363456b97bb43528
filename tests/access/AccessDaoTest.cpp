// Access files through the data-access objects, as the programs use them:
// data controls with their connect texts, databases opened from the
// workspace, table definitions, recordsets and fields.

#include <gtest/gtest.h>

#include <functional>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "tests/access/AccessFixtures.h"

using namespace core;
using accesstest::FixturePath;

namespace {

int ErrorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

const std::string kArchive = FixturePath("v4/archivio4.mdb");

TEST(AccessDao, DataControlReadsTheArchiveWithTheStoredPassword) {
    DataControl dc;
    dc.Connect = ";PWD=vup";  // no driver: chosen by the file
    dc.DatabaseName = kArchive;
    dc.RecordSource = "SELECT * FROM [Clienti]";
    dc.Refresh();
    Recordset& rs = dc.Recordset();
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields()["id"].Value(), Variant("C00001"));
    EXPECT_EQ(rs.Fields()["Fido"].Type(), DataType::Currency);
    EXPECT_EQ(rs.Fields()["Denominazione"].Size(), 50);
    EXPECT_EQ(rs.Fields().Item(0).Name(), "id");
    long rows = 0;
    double last = -1;
    for (; !rs.Eof(); rs.MoveNext()) {
        EXPECT_GE(rs.PercentPosition(), last);
        last = rs.PercentPosition();
        ++rows;
    }
    EXPECT_EQ(rows, 2000);
    EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), err::NoCurrentRecord);
}

TEST(AccessDao, PasswordRulesThroughTheDataControl) {
    for (const char* connect : {"", ";PWD=", ";PWD=sbagliata", "Access 2000;PWD=VUP"}) {
        DataControl dc;
        dc.Connect = connect;
        dc.DatabaseName = kArchive;
        dc.RecordSource = "SELECT * FROM [Area]";
        EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), err::BadPassword) << connect;
        EXPECT_FALSE(dc.HasRecordset());
    }
    DataControl dc;
    dc.Connect = "Access 2000;PWD=vup";  // a format's driver text, then the password
    dc.DatabaseName = kArchive;
    dc.RecordSource = "Area";
    dc.Refresh();
    EXPECT_FALSE(dc.Recordset().Eof());
}

TEST(AccessDao, WorkspaceDatabaseListsTablesAndOpensThem) {
    auto db = Workspace::OpenDatabase(FixturePath("access/nwind.mdb"), false, true, ";PWD=");
    const auto defs = db->TableDefs();
    ASSERT_FALSE(defs.empty());
    EXPECT_EQ(defs.front().Name, "MSysObjects");
    bool found = false;
    for (const auto& def : defs) found = found || def.Name == "Order Details";
    EXPECT_TRUE(found);

    auto rs = db->OpenRecordset("Order Details");
    long rows = 0;
    for (; !rs->Eof(); rs->MoveNext()) ++rows;
    EXPECT_EQ(rows, 2155);

    EXPECT_EQ(ErrorNumber([&] { db->OpenRecordset("SELECT * FROM [Manca]"); }), err::TableNotFound);
    auto customers = db->OpenRecordset("Customers");
    EXPECT_EQ(ErrorNumber([&] { customers->Fields()["Manca"].Value(); }), err::ItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { customers->Fields().Item(999); }), err::ItemNotFound);
}

TEST(AccessDao, WritesGiveTheReadOnlyError) {
    DataControl dc;
    dc.Connect = ";PWD=vup";
    dc.DatabaseName = kArchive;
    dc.RecordSource = "SELECT * FROM [Area]";
    dc.Refresh();
    EXPECT_EQ(ErrorNumber([&] {
                  dc.Recordset().AddNew();
                  dc.Recordset().Fields()["id"] = Variant("X");
                  dc.Recordset().Update();
              }),
              err::ReadOnlyDatabase);
    EXPECT_EQ(ErrorNumber([&] { dc.Recordset().Delete(); }), err::ReadOnlyDatabase);
    EXPECT_EQ(ErrorNumber([&] { dc.Database().Execute("DELETE FROM [Area]"); }), err::ReadOnlyDatabase);

    // Nothing was changed.
    dc.Refresh();
    int rows = 0;
    for (; !dc.Recordset().Eof(); dc.Recordset().MoveNext()) ++rows;
    EXPECT_EQ(rows, 6);
}

TEST(AccessDao, EncryptedAceFileIsNotTakenForAPasswordProblem) {
    DataControl dc;
    dc.Connect = ";PWD=password";
    dc.DatabaseName = FixturePath("access/V2010_with-password.accdb");
    dc.RecordSource = "SELECT * FROM [Table1]";
    // Not 3031: the source selection would ask for the password again and again.
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), err::NotADatabase);
}

}  // namespace
