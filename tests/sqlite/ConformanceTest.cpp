// The engine contract as the programs rely on it, through the data-access
// objects, on every writable driver (see DatabaseFactory.h).

#include <gtest/gtest.h>

#include <filesystem>

#include "common/engine/Engine.h"
#include "tests/sqlite/DatabaseFactory.h"
#include "tests/sqlite/EngineTestSupport.h"

using core::DataControl;
using core::Variant;

namespace {

// Non-ASCII and an apostrophe: the key is the password's UTF-8 text.
const std::string kPassword = "Pässwörd'1";

class EngineConformance : public ::testing::TestWithParam<std::shared_ptr<DatabaseFactory>> {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        test = test.substr(0, test.find('/'));
        if (const std::string reason = GetParam()->SkipReason(test); !reason.empty()) GTEST_SKIP() << reason;
        db_ = GetParam()->Create(dir_.Path(), kPassword);
    }
    void TearDown() override { core::Engine::Instance().FlushAll(); }

    std::unique_ptr<DataControl> Control(const std::string& source) {
        return OpenControl(db_.path, db_.connect, source);
    }
    static void AddArea(core::Recordset& rs, const Variant& code, const Variant& description = "") {
        rs.AddNew();
        rs.Fields()["sCodice"] = code;
        rs.Fields()["sDescrizione"] = description;
        rs.Update();
    }
    long long Count(const std::string& table) {
        auto dc = Control("SELECT * FROM [" + table + "]");
        long long n = 0;
        for (auto& rs = dc->Recordset(); !rs.Eof(); rs.MoveNext()) ++n;
        return n;
    }

    TempDir dir_;
    TestDatabase db_;
};

TEST_P(EngineConformance, PasswordMissingOrWrongGives3031) {
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(db_.path, false, false, ";PWD=sbagliata"); }),
              3031);
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(db_.path, false, false, ";"); }), 3031);
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(db_.path, false, false, ""); }), 3031);
    auto database = core::Workspace::OpenDatabase(db_.path, false, false, db_.connect);
    EXPECT_EQ(database->TableDefs().size(), 3u);
}

TEST_P(EngineConformance, UnknownDriverTextGives3170) {
    DataControl dc;
    dc.Connect = "Paradox 3.x;";
    dc.DatabaseName = db_.path;
    dc.RecordSource = "SELECT * FROM [tblAree]";
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), 3170);
}

TEST_P(EngineConformance, MissingFileGives3024AndCreatesNothing) {
    const std::string missing = dir_.File("manca.db");
    DataControl dc;
    dc.Connect = db_.connect;
    dc.DatabaseName = missing;
    dc.RecordSource = "SELECT * FROM [tblAree]";
    EXPECT_EQ(ErrorNumber([&] { dc.Refresh(); }), 3024);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(missing, false, false, db_.connect); }), 3024);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_P(EngineConformance, MissingTableGives3078) {
    EXPECT_EQ(ErrorNumber([&] { Control("SELECT * FROM [tblNessuna]"); }), 3078);
    auto dc = Control("SELECT * FROM [tblAree]");
    EXPECT_EQ(ErrorNumber([&] { dc->Database().Execute("DELETE FROM [tblNessuna]"); }), 3078);
    EXPECT_EQ(ErrorNumber([&] { dc->Database().OpenRecordset("tblNessuna"); }), 3078);
}

TEST_P(EngineConformance, MissingFieldGives3265) {
    auto dc = Control("SELECT * FROM [tblAree]");
    EXPECT_EQ(ErrorNumber([&] { dc->Recordset().Fields()["sNessuno"]; }), 3265);
    EXPECT_EQ(ErrorNumber([&] { dc->Recordset().Fields()[3]; }), 3265);
    // Field names are found whatever their case.
    EXPECT_EQ(dc->Recordset().Fields()["SCODICE"].Name(), "sCodice");
}

TEST_P(EngineConformance, NoCurrentRecordGives3021) {
    auto dc = Control("SELECT * FROM [tblAree] WHERE [sCodice] = 'nessuno'");
    auto& rs = dc->Recordset();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["ID"].Value(); }), 3021);
    EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), 3021);
    EXPECT_EQ(ErrorNumber([&] { rs.Delete(); }), 3021);
}

TEST_P(EngineConformance, NullReadAsTextGives94) {
    auto dc = Control("SELECT * FROM [tblAree]");
    AddArea(dc->Recordset(), "N1", Variant());
    auto look = Control("SELECT * FROM [tblAree] WHERE [sCodice] = 'N1'");
    const Variant description = look->Recordset().Fields()["sDescrizione"].Value();
    EXPECT_TRUE(description.IsNull());
    EXPECT_EQ(ErrorNumber([&] { description.ToText(); }), 94);
}

TEST_P(EngineConformance, TextThatIsNotANumberGives3421) {
    auto dc = Control("SELECT * FROM [tblTipi]");
    auto& rs = dc->Recordset();
    rs.AddNew();
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["nLong"] = "abc"; }), 3421);
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["dData"] = "non una data"; }), 3421);
    rs.Fields()["nLong"] = "12";
    rs.Update();
    auto check = Control("SELECT * FROM [tblTipi]");
    EXPECT_EQ(check->Recordset().Fields()["nLong"].Value(), Variant(12));
}

TEST_P(EngineConformance, OverLongTextGives3163AndLengthCountsCharacters) {
    auto dc = Control("SELECT * FROM [tblAree]");
    auto& rs = dc->Recordset();
    rs.AddNew();
    EXPECT_EQ(ErrorNumber([&] { rs.Fields()["sCodice"] = "12345678901"; }), 3163);
    rs.Fields()["sCodice"] = "àèìòùàèìòù";  // ten characters, twenty bytes
    rs.Update();
    auto look = Control("SELECT * FROM [tblAree] WHERE [sCodice] = 'àèìòùàèìòù'");
    ASSERT_FALSE(look->Recordset().Eof());
}

TEST_P(EngineConformance, NullInRequiredFieldGives3314AtUpdate) {
    auto dc = Control("SELECT * FROM [tblAree]");
    auto& rs = dc->Recordset();
    rs.AddNew();
    rs.Fields()["sDescrizione"] = "senza codice";
    EXPECT_EQ(ErrorNumber([&] { rs.Update(); }), 3314);
    rs.AddNew();
    rs.Fields()["sCodice"] = Variant();
    EXPECT_EQ(ErrorNumber([&] { rs.Update(); }), 3314);
    EXPECT_EQ(Count("tblAree"), 0);
}

TEST_P(EngineConformance, DuplicateKeyGives3022WhateverTheCase) {
    auto dc = Control("SELECT * FROM [tblAree]");
    AddArea(dc->Recordset(), "ABC");
    EXPECT_EQ(ErrorNumber([&] { AddArea(dc->Recordset(), "ABC"); }), 3022);
    EXPECT_EQ(ErrorNumber([&] { AddArea(dc->Recordset(), "abc"); }), 3022);
    // The recordset goes on working after the refusal.
    AddArea(dc->Recordset(), "ABD");
    EXPECT_EQ(Count("tblAree"), 2);
}

TEST_P(EngineConformance, SavedRecordIsVisibleAtOnceToAnotherDataControl) {
    auto to = Control("SELECT * FROM [tblAree]");
    AddArea(to->Recordset(), "Z1", "Zona uno");
    // No flush, no close: the look-up must see it with its counter.
    auto support = Control("SELECT * FROM [tblAree] WHERE [sCodice] = 'z1'");
    auto& found = support->Recordset();
    ASSERT_FALSE(found.Eof());
    EXPECT_EQ(found.Fields()["sCodice"].Value(), Variant("Z1"));
    const Variant id = found.Fields()["ID"].Value();
    ASSERT_EQ(id.kind(), Variant::Kind::Integer);
    EXPECT_GT(id.AsInteger(), 0);
}

TEST_P(EngineConformance, CountersAreAssignedOnSaveAndIncrease) {
    auto to = Control("SELECT * FROM [tblAree]");
    for (const char* code : {"C1", "C2", "C3"}) AddArea(to->Recordset(), code);
    auto all = Control("SELECT * FROM [tblAree]");
    std::int64_t last = 0;
    int rows = 0;
    for (auto& rs = all->Recordset(); !rs.Eof(); rs.MoveNext(), ++rows) {
        const std::int64_t id = rs.Fields()["ID"].Value().AsInteger();
        EXPECT_GT(id, last);
        last = id;
    }
    EXPECT_EQ(rows, 3);
}

TEST_P(EngineConformance, RecordsSavedBeforeAnErrorAreInTheFile) {
    auto to = Control("SELECT * FROM [tblAree]");
    for (const char* code : {"E1", "E2", "E3"}) AddArea(to->Recordset(), code);
    EXPECT_EQ(ErrorNumber([&] { AddArea(to->Recordset(), "E1"); }), 3022);
    // Read by another process while the data control is still open.
    EXPECT_EQ(GetParam()->CountRowsOutside(db_, "tblAree"), 3);
}

TEST_P(EngineConformance, LookUpIgnoresCaseAndReadsDoubledApostrophes) {
    auto to = Control("SELECT * FROM [tblAree]");
    AddArea(to->Recordset(), "O'BRIEN");
    AddArea(to->Recordset(), "Abc");
    for (const char* sql : {"SELECT * FROM [tblAree] WHERE [sCodice] = 'o''brien'",
                            "SELECT * FROM [tblAree] WHERE [sCodice] = 'ABC'",
                            "SELECT * FROM [tblAree] WHERE [sCodice] = 'abc'"}) {
        auto look = Control(sql);
        EXPECT_FALSE(look->Recordset().Eof()) << sql;
    }
    auto none = Control("SELECT * FROM [tblAree] WHERE [sCodice] = 'abcd'");
    EXPECT_TRUE(none->Recordset().Eof());
}

TEST_P(EngineConformance, PlusConcatenatesTextsAndPropagatesNull) {
    auto to = Control("SELECT * FROM [tblNomi]");
    auto add = [&](const Variant& nome, const Variant& cognome, const Variant& completo) {
        auto& rs = to->Recordset();
        rs.AddNew();
        rs.Fields()["sNome"] = nome;
        rs.Fields()["sCognome"] = cognome;
        rs.Fields()["sCompleto"] = completo;
        rs.Update();
    };
    add("Mario", "Rossi", "");
    add("Anna", Variant(), "");
    add("1", "2", "");           // texts that look like numbers are not added
    add("Luca", "Bianchi", "già");  // not empty: untouched
    auto& database = to->Database();
    database.Execute("UPDATE [tblNomi] SET [sCompleto] = ([sNome] + ' ' +  [sCognome]) WHERE [sCompleto] = ''");
    EXPECT_EQ(database.RecordsAffected(), 3);
    std::vector<Variant> completi;
    auto all = Control("SELECT * FROM [tblNomi]");
    for (auto& rs = all->Recordset(); !rs.Eof(); rs.MoveNext()) completi.push_back(rs.Fields()["sCompleto"].Value());
    EXPECT_EQ(completi, (std::vector<Variant>{"Mario Rossi", Variant(), "1 2", "già"}));
}

TEST_P(EngineConformance, FieldTypesAndSizes) {
    auto dc = Control("SELECT * FROM [tblTipi]");
    auto fields = dc->Recordset().Fields();
    struct Expect {
        const char* name;
        core::DataType type;
        int size;
    };
    using T = core::DataType;
    const Expect expected[] = {{"ID", T::Long, 4},        {"sTesto", T::Text, 50},
                               {"mNote", T::Memo, 0},     {"nLong", T::Long, 4},
                               {"nInt", T::Integer, 2},   {"nByte", T::Byte, 1},
                               {"nSingle", T::Single, 4}, {"nDouble", T::Double, 8},
                               {"nValuta", T::Currency, 8}, {"dData", T::Date, 8},
                               {"bFlag", T::Boolean, 1},  {"oDati", T::LongBinary, 0}};
    ASSERT_EQ(fields.Count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(fields[i].Name(), expected[i].name);
        EXPECT_EQ(fields[i].Type(), expected[i].type) << expected[i].name;
        EXPECT_EQ(fields[i].Size(), expected[i].size) << expected[i].name;
    }
}

TEST_P(EngineConformance, ValuesReadBackAsWritten) {
    const auto date = core::DateTime::FromParts(2024, 2, 29, 13, 45, 10);
    const core::Bytes blob{0, 1, 2, 255, 0};
    const std::string memo(100000, 'm');
    {
        auto dc = Control("SELECT * FROM [tblTipi]");
        auto& rs = dc->Recordset();
        rs.AddNew();
        rs.Fields()["sTesto"] = "Perché sì";
        rs.Fields()["mNote"] = memo;
        rs.Fields()["nLong"] = 2147483647;
        rs.Fields()["nInt"] = -32768;
        rs.Fields()["nByte"] = 255;
        rs.Fields()["nSingle"] = 1.5;
        rs.Fields()["nDouble"] = 1e-300;
        rs.Fields()["nValuta"] = core::Currency{12345678};  // 1234.5678
        rs.Fields()["dData"] = date;
        rs.Fields()["bFlag"] = true;
        rs.Fields()["oDati"] = blob;
        rs.Update();
        rs.AddNew();  // every field Null
        rs.Fields()["sTesto"] = Variant();
        rs.Update();
        dc->Close();
    }
    auto dc = Control("SELECT * FROM [tblTipi]");
    auto& rs = dc->Recordset();
    auto f = rs.Fields();
    EXPECT_EQ(f["sTesto"].Value(), Variant("Perché sì"));
    EXPECT_EQ(f["mNote"].Value(), Variant(memo));
    EXPECT_EQ(f["nLong"].Value(), Variant(2147483647));
    EXPECT_EQ(f["nInt"].Value(), Variant(-32768));
    EXPECT_EQ(f["nByte"].Value(), Variant(255));
    EXPECT_EQ(f["nSingle"].Value().ToDouble(), 1.5);
    EXPECT_EQ(f["nDouble"].Value(), Variant(1e-300));
    EXPECT_EQ(f["nValuta"].Value(), Variant(core::Currency{12345678}));
    EXPECT_EQ(f["dData"].Value(), Variant(date));
    EXPECT_TRUE(f["bFlag"].Value().ToBool());
    EXPECT_EQ(f["oDati"].Value(), Variant(blob));
    rs.MoveNext();
    ASSERT_FALSE(rs.Eof());
    for (int i = 1; i < f.Count(); ++i) EXPECT_TRUE(f[i].Value().IsNull()) << f[i].Name();
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
}

TEST_P(EngineConformance, DeleteWhileReadingAndDeleteAll) {
    auto to = Control("SELECT * FROM [tblAree]");
    for (int i = 0; i < 10; ++i) AddArea(to->Recordset(), "D" + std::to_string(i));
    auto all = Control("SELECT * FROM [tblAree]");
    int seen = 0;
    for (auto& rs = all->Recordset(); !rs.Eof(); rs.MoveNext(), ++seen)
        if (seen % 2 == 0) rs.Delete();
    EXPECT_EQ(seen, 10);
    EXPECT_EQ(Count("tblAree"), 5);
    auto& database = all->Database();
    database.Execute("DELETE FROM [tblAree]");
    EXPECT_EQ(database.RecordsAffected(), 5);
    EXPECT_EQ(Count("tblAree"), 0);
}

TEST_P(EngineConformance, PercentPositionGoesFromStartTo100) {
    auto to = Control("SELECT * FROM [tblAree]");
    for (int i = 0; i < 200; ++i) AddArea(to->Recordset(), "P" + std::to_string(i));
    auto all = Control("SELECT * FROM [tblAree]");
    auto& rs = all->Recordset();
    EXPECT_LT(rs.PercentPosition(), 5.0);
    double last = 0.0;
    for (; !rs.Eof(); rs.MoveNext()) {
        const double p = rs.PercentPosition();
        EXPECT_GE(p, last);
        EXPECT_LE(p, 100.0);
        last = p;
    }
    EXPECT_GT(last, 95.0);
    EXPECT_DOUBLE_EQ(rs.PercentPosition(), 100.0);
}

TEST_P(EngineConformance, TableDefsListTheUserTablesInCreationOrder) {
    auto database = core::Workspace::OpenDatabase(db_.path, false, false, db_.connect);
    std::vector<std::string> names;
    for (const auto& def : database->TableDefs()) names.push_back(def.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"tblAree", "tblTipi", "tblNomi"}));
}

TEST_P(EngineConformance, ReadOnlyDatabaseRefusesWrites) {
    auto database = core::Workspace::OpenDatabase(db_.path, false, true, db_.connect);
    EXPECT_EQ(ErrorNumber([&] { database->Execute("DELETE FROM [tblAree]"); }), 3027);
    auto rs = database->OpenRecordset("tblAree");
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew(); }), 3027);
}

INSTANTIATE_TEST_SUITE_P(WritableDrivers, EngineConformance,
                         ::testing::ValuesIn(WritableDatabaseFactories()),
                         [](const auto& info) { return info.param->Name(); });

}  // namespace
