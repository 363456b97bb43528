// Saves on a server go in batches; a record that the server refuses in the
// middle of one must end the saving exactly where one-by-one saving would:
// the records before it saved, it and the later ones not, and the error
// that a lone save of it gives. Needs the server (see PostgresTestServer.h).

#include <gtest/gtest.h>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "tests/support/PostgresTestServer.h"

using namespace core;

namespace {

const std::string kSchema = std::string(AGENCY_SOURCE_DIR) + "/samples/schema/v5-postgres.sql";

// Enough records to fill more than one batch.
constexpr int kRecords = 150;

struct Refusal {
    int number = 0;
    std::string description;
    int raised = 0;
};

// Saves kRecords units "U0", "U1"... with record `refused` a duplicate
// (in another case) of the unit saved beforehand, then commits; the
// refusal, however often it was raised.
Refusal SaveWithRefusalAt(Database& db, int refused) {
    Refusal refusal;
    auto note = [&](const Error& e) {
        ++refusal.raised;
        refusal.number = e.Number();
        refusal.description = e.Description();
    };
    auto units = db.OpenRecordset("tblUnMisura");
    for (int i = 0; i < kRecords && refusal.raised == 0; ++i) {
        try {
            units->AddNew();
            units->Fields()["sCodice"] = i == refused ? std::string("già") : "U" + std::to_string(i);
            units->Fields()["sDescrizione"] = "unità " + std::to_string(i);
            units->Update();
        } catch (const Error& e) {
            note(e);
        }
    }
    try {
        db.Commit();
    } catch (const Error& e) {
        note(e);
    }
    return refusal;
}

}  // namespace

TEST(PostgresBatchTest, RefusedRecordEndsTheSavingWhereOneByOneSavingWould) {
    struct Case {
        const char* where;
        int refused;
    };
    // First, middle and last record of the first batch of 64, and of the
    // shorter batch that the commit sends.
    const Case cases[] = {{"primo", 0}, {"in mezzo", 31}, {"ultimo", 63}, {"nel resto", 140}, {"ultimo del resto", 149}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        AGENCY_REQUIRE_POSTGRES(connect, "agency_batch", kSchema);
        ASSERT_TRUE(testsupport::RunPsql(
            "agency_batch", "-c 'CREATE UNIQUE INDEX u_um ON \"tblUnMisura\" (\"sCodice\")' "
                            "-c \"INSERT INTO \\\"tblUnMisura\\\" (\\\"sCodice\\\") VALUES ('GIÀ')\""));
        auto db = Workspace::OpenPrivateDatabase("", false, false, connect);

        // What a lone save of the refused record says.
        Refusal alone = SaveWithRefusalAt(*db, 0);
        ASSERT_EQ(alone.raised, 1);
        db->Execute("DELETE FROM [tblUnMisura] WHERE [sCodice] <> 'GIÀ'");
        db->Commit();

        const Refusal refusal = SaveWithRefusalAt(*db, c.refused);
        EXPECT_EQ(refusal.raised, 1);
        EXPECT_EQ(refusal.number, err::DuplicateKey);
        EXPECT_EQ(refusal.description, alone.description);
        db->Close();

        // Read by a connection of its own: what is committed on the server.
        auto check = Workspace::OpenPrivateDatabase("", false, true, connect);
        auto rs = check->OpenRecordset("SELECT * FROM [tblUnMisura] ORDER BY [ID]");
        std::vector<std::string> codes;
        for (; !rs->Eof(); rs->MoveNext()) codes.push_back(rs->Fields()["sCodice"].Value().ToText());
        std::vector<std::string> expected{"GIÀ"};
        for (int i = 0; i < c.refused; ++i) expected.push_back("U" + std::to_string(i));
        EXPECT_EQ(codes, expected);
        check->Close();
        Engine::Instance().FlushAll();
        Engine::Instance().Prune();
    }
}
