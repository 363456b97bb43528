// Batched saves on a SQLite database: the same records given to Update one
// after the other, once saved one by one and once in batches, must leave
// the same rows and counter and end in the same error, at the same record
// (the batches name it through Error::RecordsAfter), whatever refuses it
// and wherever it falls among the batches and their statements.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "tests/sqlite/DatabaseFactory.h"
#include "tests/sqlite/EngineTestSupport.h"
#include "tests/support/RawSqlite.h"

using core::Variant;

namespace {

const std::string kKey = "chiave";

// The same codes as the record-by-record copy's bench: the table has a
// counter, a unique index, a required field and a field that fails
// rather than aborts on a Null, and a trigger.
constexpr const char* kSchema =
    "CREATE TABLE tblAree (ID INTEGER PRIMARY KEY AUTOINCREMENT, sCodice TEXT(10) COLLATE NOCASE NOT NULL,"
    " sDescrizione TEXT(50), nLivello LONG NOT NULL ON CONFLICT FAIL DEFAULT 0);"
    "CREATE UNIQUE INDEX ixCodice ON tblAree (sCodice);"
    "CREATE TRIGGER trVietato BEFORE INSERT ON tblAree WHEN NEW.sDescrizione = 'vietata'"
    " BEGIN SELECT RAISE(ABORT, 'descrizione vietata'); END;"
    "INSERT INTO tblAree (sCodice, sDescrizione) VALUES ('A0', 'già presente');";

struct Refusal {
    const char* what;
    long at;  // the refused record, counted from 1 (0: none)
    const char* field;
    Variant value;
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.what; }

// 1,100 records: more than two batches of 512, statements of 64.
constexpr long kRecords = 1100;

struct Outcome {
    long refusedAt = 0;  // 0: none
    int number = 0;
    std::string description;
    std::string rows;
};

Outcome Save(const std::string& path, const Refusal& refusal, bool batched) {
    auto dc = OpenControl(path, ";PWD=" + kKey, "SELECT * FROM [tblAree]");
    auto& rs = dc->Recordset();
    Outcome outcome;
    auto refused = [&](const core::Error& e, long given) {
        outcome.refusedAt = given - static_cast<long>(e.RecordsAfter().value_or(0));
        outcome.number = e.Number();
        outcome.description = e.Description();
    };
    {
        std::optional<core::BatchedSaves> batches;
        if (batched) batches.emplace(dc->Database());
        long given = 0;
        try {
            for (long i = 1; i <= kRecords; ++i) {
                rs.AddNew();
                rs.Fields()["sCodice"] = "C" + std::to_string(i);
                rs.Fields()["sDescrizione"] = "Area " + std::to_string(i);
                // Another set of fields from 600 to 800: another statement.
                if (i >= 600 && i <= 800) rs.Fields()["nLivello"] = i;
                if (i == refusal.at) rs.Fields()[refusal.field] = refusal.value;
                ++given;
                rs.Update();
            }
        } catch (const core::Error& e) {
            refused(e, given);
        }
        if (!outcome.number) {
            try {
                dc->Close();
            } catch (const core::Error& e) {
                refused(e, given);
            }
        }
    }
    core::Engine::Instance().FlushAll();
    outcome.rows = testsupport::RawRows(path, kKey, {"SELECT * FROM tblAree ORDER BY ID",
                                                     "SELECT seq FROM sqlite_sequence"});
    return outcome;
}

class BatchedSaves : public ::testing::TestWithParam<Refusal> {
protected:
    std::string Fresh(const std::string& name) {
        const std::string path = dir_.File(name);
        core::sqlite::CreateDatabase(path, kSchema, kKey);
        return path;
    }
    TempDir dir_;
};

TEST_P(BatchedSaves, EndAsSavingOneByOne) {
    const Refusal& refusal = GetParam();
    const Outcome single = Save(Fresh("uno.db"), refusal, false);
    const Outcome batched = Save(Fresh("lotti.db"), refusal, true);
    EXPECT_EQ(single.refusedAt, refusal.at);
    EXPECT_EQ(batched.refusedAt, single.refusedAt);
    EXPECT_EQ(batched.number, single.number);
    EXPECT_EQ(batched.description, single.description);
    EXPECT_EQ(batched.rows, single.rows);
    EXPECT_EQ(std::count(batched.rows.begin(), batched.rows.end(), '\n'),
              (refusal.at ? refusal.at - 1 : kRecords) + 2);
}

INSTANTIATE_TEST_SUITE_P(
    SqliteDriver, BatchedSaves,
    ::testing::Values(Refusal{"nessuno", 0, "sCodice", Variant("C0")},
                      Refusal{"doppione_primo", 1, "sCodice", Variant("a0")},
                      Refusal{"doppione_fine_istruzione", 64, "sCodice", Variant("C3")},
                      Refusal{"doppione_inizio_istruzione", 65, "sCodice", Variant("C3")},
                      // Raised when the next batch is ready, 100 records on.
                      Refusal{"doppione_in_volo", 500, "sCodice", Variant("C3")},
                      Refusal{"doppione_fine_lotto", 512, "sCodice", Variant("C3")},
                      Refusal{"doppione_altri_campi", 750, "sCodice", Variant("C3")},
                      Refusal{"doppione_ultimo", kRecords, "sCodice", Variant("C3")},
                      Refusal{"obbligatorio", 300, "sCodice", Variant()},
                      // The rows before it in the same statement stay, unless taken back.
                      Refusal{"fallisce", 700, "nLivello", Variant()},
                      Refusal{"trigger", 130, "sDescrizione", Variant("vietata")}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
