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

// Enough records to fill more than one batch of 1,024.
constexpr int kRecords = 1100;

struct Refusal {
    int number = 0;
    std::string description;
    int raised = 0;
    long long refusedAt = -1;  // the record the error names, counted back from where it was raised
};

// Saves kRecords units "U0", "U1"... with record `refused` a duplicate
// (in another case) of the unit saved beforehand, then commits; the
// refusal, however often it was raised.
Refusal SaveWithRefusalAt(Database& db, int refused) {
    Refusal refusal;
    // The record whose save (or the commit after the last one) raised it.
    auto note = [&](const Error& e, int last) {
        ++refusal.raised;
        refusal.number = e.Number();
        refusal.description = e.Description();
        refusal.refusedAt = last - e.RecordsAfter().value_or(-1000000);
    };
    auto units = db.OpenRecordset("tblUnMisura");
    for (int i = 0; i < kRecords && refusal.raised == 0; ++i) {
        try {
            units->AddNew();
            units->Fields()["sCodice"] = i == refused ? std::string("già") : "U" + std::to_string(i);
            units->Fields()["sDescrizione"] = "unità " + std::to_string(i);
            units->Update();
        } catch (const Error& e) {
            note(e, i);
        }
    }
    try {
        db.Commit();
    } catch (const Error& e) {
        note(e, kRecords - 1);
    }
    return refusal;
}

}  // namespace

TEST(PostgresBatchTest, RefusedRecordEndsTheSavingWhereOneByOneSavingWould) {
    struct Case {
        const char* where;
        int refused;
    };
    // First, middle and last record of the first batch, and of the shorter
    // batch that the commit sends.
    const Case cases[] = {{"primo", 0}, {"in mezzo", 511}, {"ultimo", 1023}, {"nel resto", 1050}, {"ultimo del resto", 1099}};
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
        EXPECT_EQ(refusal.refusedAt, c.refused);
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

TEST(PostgresBatchTest, ValuesSavedTogetherReadBackAsWhenSavedOneByOne) {
    AGENCY_REQUIRE_POSTGRES(connect, "agency_batch_values", "");
    ASSERT_TRUE(testsupport::RunPsql(
        "agency_batch_values",
        "-c 'CREATE TABLE t (\"ID\" serial PRIMARY KEY, \"bSi\" boolean, \"nPiccolo\" smallint, \"nIntero\" integer, "
        "\"dNumero\" double precision, \"cImporto\" numeric(19,4), \"tData\" timestamp, \"sCodice\" varchar(8), "
        "\"mNote\" text, \"yDati\" bytea)'"));
    const char* columns[] = {"bSi", "nPiccolo", "nIntero", "dNumero", "cImporto", "tData", "sCodice", "mNote", "yDati"};
    // Each column holds values of one kind (Nulls apart), so that the
    // records can go together; the texts carry what array texts escape.
    const std::vector<std::vector<Variant>> records = {
        {Variant(true), Variant(-32768LL), Variant(2.5), Variant(0.1 + 0.2), Variant(Currency{-123400}),
         Variant(DateTime::FromParts(1899, 12, 30)), Variant(std::string("a\"b")), Variant(std::string("c\\d {x,y}")),
         Variant(Bytes{0, '"', '\\', 255})},
        {Variant(false), Variant(), Variant(3.5), Variant(1.0 / 3), Variant(), Variant(DateTime::FromParts(2024, 2, 29, 23, 59, 59, 123)),
         Variant(std::string("NULL")), Variant(std::string("perché € ✓")), Variant(Bytes{})},
        {Variant(), Variant(7LL), Variant(-0.5), Variant(1e300), Variant(Currency{INT64_MIN}), Variant(),
         Variant(std::string("abcdefgh")), Variant(std::string("")), Variant()},
        {Variant(true), Variant(32767LL), Variant(), Variant(-2.5e-310), Variant(Currency{INT64_MAX}),
         Variant(DateTime::FromParts(100, 1, 1)), Variant(std::string("")), Variant(std::string("  spazi  ,}\\\"")),
         Variant(Bytes{'{', '}', ','})},
    };
    auto db = Workspace::OpenPrivateDatabase("", false, false, connect);
    auto save = [&](bool oneByOne) {
        auto rs = db->OpenRecordset("t");
        for (const auto& record : records) {
            rs->AddNew();
            for (std::size_t c = 0; c < record.size(); ++c) rs->Fields()[columns[c]] = record[c];
            rs->Update();
            if (oneByOne) db->Commit();
        }
        rs->Close();
        db->Commit();
    };
    save(false);
    save(true);
    auto rs = db->OpenRecordset("SELECT * FROM [t] ORDER BY [ID]");
    std::vector<std::vector<Variant>> read;
    for (; !rs->Eof(); rs->MoveNext()) {
        read.emplace_back();
        for (const char* column : columns) read.back().push_back(rs->Fields()[column].Value());
    }
    rs->Close();
    db->Close();
    ASSERT_EQ(read.size(), 2 * records.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        for (std::size_t c = 0; c < std::size(columns); ++c)
            EXPECT_EQ(read[r][c], read[records.size() + r][c]) << columns[c] << ": " << read[r][c].ToTextOrEmpty()
                                                               << " / " << read[records.size() + r][c].ToTextOrEmpty();
    }
    // And as given, but for the numbers that the integer column rounds.
    for (std::size_t r = 0; r < records.size(); ++r)
        for (std::size_t c = 0; c < std::size(columns); ++c)
            if (std::string(columns[c]) != "nIntero") {
                EXPECT_EQ(read[r][c], records[r][c]) << columns[c] << " " << r << ": " << read[r][c].ToTextOrEmpty();
            }
    Engine::Instance().FlushAll();
    Engine::Instance().Prune();
}
