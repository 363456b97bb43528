// Tessily's copy by one statement against its copy record by record, with
// the import's conversions: for values each conversion group keeps,
// changes, cuts or reads as nothing, the destination holds the same stored
// values (storage class and bytes), rows and counter, after the same
// emptying. A value a conversion refuses makes the statement give way with
// the destination as it was, emptying included.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <optional>

#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Driver.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "import/ImportConvert.h"
#include "tests/support/RawSqlite.h"

namespace {

const std::string kDestinationKey = "segreto";

// Every row of t and the table's counter, each value with its storage class.
std::string RawContent(const std::string& path)
{
    return testsupport::RawRows(path, kDestinationKey,
                                {"SELECT rowid, typeof(v), quote(v) FROM t ORDER BY rowid",
                                 "SELECT name, seq FROM sqlite_sequence ORDER BY name"});
}

core::Variant Converted(const core::Variant& value, const core::FieldInfo& target)
{
    static const core::DateTime today = core::DateTime::Today();
    return import::ConvertForImport(value, target, import::GroupOf(target.type), today);
}

struct ConvertCase {
    const char* name;
    const char* sourceType;
    const char* targetType;
    const char* values;  // VALUES rows of (v) for the source
};

const ConvertCase kCases[] = {
    {"texts cut to the field", "TEXT(20)", "VARCHAR(3)", "('abc'), ('abcdef'), ('àèìòù'), (''), (NULL)"},
    {"text that is no UTF-8", "TEXT(20)", "VARCHAR(10)", "(CAST(X'41C3' AS TEXT)), ('a')"},
    {"numbers into a text", "INTEGER", "VARCHAR(4)", "(12345), (-7), (NULL)"},
    {"doubles into a memo", "DOUBLE", "MEMO", "(0.1), (1e300), (2.5), (0.30000000000000004)"},
    {"leading numbers", "TEXT(20)", "LONG", "('12abc'), (''), ('  - 4'), ('3.7'), ('2.5'), ('abc')"},
    {"a null into a whole number", "TEXT(20)", "LONG", "('1'), (NULL), ('3')"},
    {"a whole number past the field", "TEXT(20)", "BYTE", "('255'), ('256')"},
    {"other numbers", "TEXT(20)", "CURRENCY", "('3.5'), ('abc'), (''), (NULL), ('0.00005'), ('1e3'), ('-0.1')"},
    {"doubles", "DOUBLE", "DOUBLE", "(0.1), (NULL), (-2.5), (7)"},
    {"singles", "DOUBLE", "SINGLE", "(0.1), (3), (1e30), (NULL)"},
    {"a single past its range", "DOUBLE", "SINGLE", "(1), (1e300)"},
    {"dates as texts", "TEXT(20)", "DATETIME", "('25/12/2020'), ('ieri'), (NULL), ('2020-02-29 10:11:12')"},
    {"stored dates", "DATETIME", "DATETIME", "('2024-01-31 10:00:00'), (45000.5), (NULL), ('2024-02-29 23:59:59.250')"},
    {"a blob into a text", "BLOB", "VARCHAR(10)", "('a'), (X'0102')"},
};

struct StatementOutcome {
    bool opened = false;  // whether the source could be attached
    std::optional<long long> rows;
    long long emptied = -1;
    int error = 0;  // the first error of the copy or its commit
};

// Tessily's copy by one statement of o.v into t.v, emptying t first.
StatementOutcome CopyByStatement(const std::string& source, const std::string& sourceKey,
                                 const std::string& destination)
{
    StatementOutcome outcome;
    {
        auto from = core::Workspace::OpenDatabase(source, false, true, ";PWD=" + sourceKey);
        auto to = core::Workspace::OpenDatabase(destination, false, false, ";PWD=" + kDestinationKey);
        const core::FieldInfo target = to->OpenRecordset("t")->Columns()[1];
        auto transfer = to->RawConnection()->OpenTransfer(*from->RawConnection(), sourceKey);
        outcome.opened = transfer != nullptr;
        if (!transfer) return outcome;
        core::TableTransfer::Request request;
        request.table = "t";
        request.sourceTable = "o";
        request.columns = {{"v", "v"}};
        request.convert = [&](std::size_t, core::Variant value) { return Converted(value, target); };
        request.emptied = [&](long long deleted) { outcome.emptied = deleted; };
        request.stopKeepsRows = true;
        try {
            outcome.rows = transfer->Copy(request);
        } catch (const core::Error& e) {
            outcome.error = e.Number();
        }
        try {
            to->Commit();
        } catch (const core::Error& e) {
            // After a failed copy, a transaction SQLite rolled back: the copy's own error stays the one reported.
            if (outcome.error == 0) outcome.error = e.Number();
        }
        transfer.reset();
        to->Close();
    }
    core::Engine::Instance().Prune();
    return outcome;
}

class ImportAtOnceTest : public ::testing::TestWithParam<ConvertCase> {
protected:
    void SetUp() override { core::InitPrefs("Tessily", "Tessily.ini"); }
    std::string File(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

private:
    QTemporaryDir dir_;
};

TEST_P(ImportAtOnceTest, StatementSavesWhatTheRecordByRecordCopySaves)
{
    const ConvertCase& c = GetParam();
    for (const std::string& sourceKey : {std::string(), std::string("chiave")}) {
        SCOPED_TRACE(sourceKey.empty() ? "plain source" : "encrypted source");
        const std::string source = File("o" + sourceKey + ".db");
        const std::string byRecord = File("r" + sourceKey + ".db");
        const std::string bySet = File("s" + sourceKey + ".db");
        core::sqlite::CreateDatabase(source,
                                     std::string("CREATE TABLE o (v ") + c.sourceType + "); INSERT INTO o VALUES " +
                                         c.values + ";",
                                     sourceKey);
        const std::string destination = std::string("CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, v ") +
                                        c.targetType + "); INSERT INTO t (v) VALUES (NULL);";
        core::sqlite::CreateDatabase(byRecord, destination, kDestinationKey);
        core::sqlite::CreateDatabase(bySet, destination, kDestinationKey);
        const std::string before = RawContent(bySet);

        int recordError = 0;
        {
            auto from = core::Workspace::OpenDatabase(source, false, true, ";PWD=" + sourceKey);
            auto to = core::Workspace::OpenDatabase(byRecord, false, false, ";PWD=" + kDestinationKey);
            to->Execute("DELETE FROM [t]");
            auto read = from->OpenRecordset("o");
            auto write = to->OpenRecordset("t");
            const core::FieldInfo target = write->Columns()[1];
            try {
                for (; !read->Eof(); read->MoveNext()) {
                    write->AddNew();
                    write->SetValue(1, Converted(read->GetValue(0), target));
                    write->Update();
                }
            } catch (const core::Error& e) {
                recordError = e.Number();
                write->CancelUpdate();
            }
            write->Close();
            to->Close();
        }

        const StatementOutcome bySetOutcome = CopyByStatement(source, sourceKey, bySet);
        ASSERT_TRUE(bySetOutcome.opened);
        EXPECT_EQ(bySetOutcome.error, 0);
        const std::optional<long long>& rows = bySetOutcome.rows;
        const long long emptied = bySetOutcome.emptied;

        // The statement gives way exactly where a conversion refuses a value.
        EXPECT_EQ(rows.has_value(), recordError == 0) << "error " << recordError;
        EXPECT_EQ(emptied, 1);
        if (rows) EXPECT_EQ(RawContent(bySet), RawContent(byRecord));
        else EXPECT_EQ(RawContent(bySet), before);
    }
}

// A page in the middle of a source table damaged: the copy ends in the
// damage's error, with the destination as it was, emptying included, and
// never with the rows before the page.
TEST(ImportAtOnceDamage, ADamagedSourcePageEndsTheCopyWithTheDestinationAsItWas)
{
    core::InitPrefs("Tessily", "Tessily.ini");
    QTemporaryDir dir;
    for (const std::string& sourceKey : {std::string(), std::string("chiave")}) {
        SCOPED_TRACE(sourceKey.empty() ? "plain source" : "encrypted source");
        const std::string source = dir.path().toStdString() + "/o" + sourceKey + ".db";
        const std::string destination = dir.path().toStdString() + "/t" + sourceKey + ".db";
        core::sqlite::CreateDatabase(source,
                                     "CREATE TABLE o (v TEXT(60)); WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
                                     "SELECT x + 1 FROM n LIMIT 5000) INSERT INTO o SELECT printf('%060d', x) FROM n;",
                                     sourceKey);
        core::sqlite::CreateDatabase(destination,
                                     "CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, v VARCHAR(60));"
                                     " INSERT INTO t (v) VALUES ('prima');",
                                     kDestinationKey);
        const std::string before = RawContent(destination);
        std::string bytes;
        {
            std::ifstream in(source, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        // An encrypted file has the engine's 1,024-byte pages, a plain one
        // gives its page size in its header.
        const std::size_t page =
            sourceKey.empty() ? (static_cast<unsigned char>(bytes[16]) << 8 | static_cast<unsigned char>(bytes[17]))
                              : 1024;
        const std::size_t at = (bytes.size() / page / 2) * page;
        for (std::size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>(bytes[at + i] ^ 0x5A);
        std::ofstream(source, std::ios::binary | std::ios::trunc) << bytes;

        const StatementOutcome outcome = CopyByStatement(source, sourceKey, destination);
        ASSERT_TRUE(outcome.opened);
        EXPECT_EQ(outcome.error, core::err::CorruptDatabase);
        EXPECT_EQ(RawContent(destination), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ImportAtOnceTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ConvertCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

}  // namespace
