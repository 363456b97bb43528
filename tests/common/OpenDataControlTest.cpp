#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/DataHelpers.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteHandles.h"
#include "tests/common/TestFiles.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// An encrypted destination with a small look-up table, made the way the
// driver keys its files.
std::string MakeDatabase(const std::filesystem::path& file, const std::string& key) {
    sqlite3* raw = nullptr;
    const std::string path = file.string();
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    core::sqlite::DbHandle db(raw);
    core::sqlite::ApplyKey(db.get(), key);
    char* message = nullptr;
    const int rc = sqlite3_exec(db.get(),
                                "CREATE TABLE tblAree (ID INTEGER PRIMARY KEY AUTOINCREMENT, sCodice VARCHAR(10),"
                                " sDescrizione VARCHAR(50));"
                                "INSERT INTO tblAree (sCodice, sDescrizione) VALUES ('NORD', 'Nord Italia');"
                                "INSERT INTO tblAree (sCodice, sDescrizione) VALUES ('SUD', 'Sud Italia');",
                                nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    return path;
}

class OpenDataControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        destination_ = MakeDatabase(folder_.Path() / "archivio.db", "segreto");
        other_ = MakeDatabase(folder_.Path() / "altro.db", "altra chiave");
        core::ThePrefs().destinationPath = destination_;
        core::ThePrefs().destinationPassword = "segreto";
    }
    void TearDown() override {
        core::Engine::Instance().FlushAll();
        core::ThePrefs() = core::Prefs{};
    }

    // The description the engine itself gives for a failed refresh.
    static core::Error EngineErrorFor(const std::string& query, const std::string& path, const std::string& pwd) {
        core::DataControl dc;
        dc.Connect = ";PWD=" + pwd;
        dc.DatabaseName = path;
        dc.RecordSource = query;
        try {
            dc.Refresh();
        } catch (const core::Error& e) {
            return e;
        }
        ADD_FAILURE() << "the refresh did not fail";
        return core::Error(0, "");
    }

    testsupport::TempFolder folder_;
    testsupport::ScopedScriptedDialogs dialogs_;
    std::string destination_;
    std::string other_;
};

TEST_F(OpenDataControlTest, EmptyPathAndPasswordOpenTheDestination) {
    core::DataControl dc;
    dc.Exclusive = true;
    dc.RecordsetType = 2;
    ASSERT_TRUE(core::OpenDataControl(dc, "SELECT * FROM [tblAree]", "", ""));
    EXPECT_EQ(dc.Connect, ";PWD=segreto");  // never an empty password
    EXPECT_EQ(dc.DatabaseName, destination_);
    EXPECT_FALSE(dc.Exclusive);
    EXPECT_EQ(dc.RecordsetType, 1);
    EXPECT_EQ(dc.RecordSource, "SELECT * FROM [tblAree]");
    ASSERT_FALSE(dc.Recordset().Eof());
    EXPECT_EQ(dc.Recordset().Fields()["sCodice"].Value(), core::Variant("NORD"));
    EXPECT_EQ(dialogs_->MessageCount(), 0);
}

TEST_F(OpenDataControlTest, OwnPathAndPasswordWin) {
    core::DataControl dc;
    ASSERT_TRUE(core::OpenDataControl(dc, "SELECT * FROM [tblAree] WHERE [sCodice] = 'sud'", other_, "altra chiave"))
        << dialogs_->Transcript();
    EXPECT_EQ(dc.Connect, ";PWD=altra chiave");
    EXPECT_EQ(dc.DatabaseName, other_);
    ASSERT_FALSE(dc.Recordset().Eof());
    EXPECT_EQ(dc.Recordset().Fields()["sDescrizione"].Value(), core::Variant("Sud Italia"));

    // A path of our own with the empty password takes the destination's,
    // which does not open this file.
    core::DataControl wrong;
    EXPECT_FALSE(core::OpenDataControl(wrong, "tblAree", other_, ""));
    EXPECT_EQ(wrong.Connect, ";PWD=segreto");
    EXPECT_EQ(dialogs_->LastMessage().title, "Errore n. 3031");
}

TEST_F(OpenDataControlTest, MissingTableShowsTheEngineDescriptionUnderItsNumber) {
    const core::Error expected = EngineErrorFor("SELECT * FROM [tblNonEsiste]", destination_, "segreto");
    ASSERT_EQ(expected.Number(), core::err::TableNotFound);

    core::DataControl dc;
    EXPECT_FALSE(core::OpenDataControl(dc, "SELECT * FROM [tblNonEsiste]", "", ""));
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    const auto message = dialogs_->LastMessage();
    EXPECT_EQ(message.text, expected.Description());
    EXPECT_NE(message.text.find("tblNonEsiste"), std::string::npos) << message.text;
    EXPECT_EQ(message.title, "Errore n. 3078");
    EXPECT_EQ(message.icon, core::MsgIcon::Critical);
    EXPECT_EQ(message.buttons, core::MsgButtons::Ok);
    // What was set before the failure stays.
    EXPECT_EQ(dc.RecordSource, "SELECT * FROM [tblNonEsiste]");
    EXPECT_EQ(dc.DatabaseName, destination_);
    EXPECT_FALSE(dc.HasRecordset());
}

TEST_F(OpenDataControlTest, MissingFileIsReportedAndNotCreated) {
    const std::string missing = (folder_.Path() / "manca.db").string();
    const core::Error expected = EngineErrorFor("tblAree", missing, "x");
    core::DataControl dc;
    EXPECT_FALSE(core::OpenDataControl(dc, "tblAree", missing, "x"));
    const auto message = dialogs_->LastMessage();
    EXPECT_EQ(message.title, "Errore n. " + std::to_string(expected.Number()));
    EXPECT_EQ(message.text, expected.Description());
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(OpenDataControlTest, AFailedOpenDropsTheOldResult) {
    core::DataControl dc;
    ASSERT_TRUE(core::OpenDataControl(dc, "tblAree", "", ""));
    EXPECT_FALSE(core::OpenDataControl(dc, "tblNonEsiste", "", ""));
    EXPECT_FALSE(dc.HasRecordset());
    EXPECT_TRUE(core::OpenDataControl(dc, "tblAree", "", ""));
    EXPECT_TRUE(dc.HasRecordset());
}

}  // namespace
