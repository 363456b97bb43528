// The upgrade's copy of a table by one statement of the database against
// its copy record by record: for every kind of stored value, the template
// ends up holding the same values in the same storage classes, the same
// rows and counters, and a failure raises the same error after the same
// rows; values that saving would convert make the statement give way to
// the record-by-record copy. A stop during the statement takes its rows
// back. The page check before the swap finds a page written wrong.

#include <gtest/gtest.h>

#include <optional>

#include "common/Prefs.h"
#include "common/RunPacer.h"
#include "common/engine/Error.h"
#include "tests/support/RawSqlite.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/TableCopy.h"
#include "upgrade/UpgradeRun.h"

using namespace upgradetest;
using testsupport::ScopedScriptedDialogs;

namespace {

// Notes what each set-based copy answered.
class WatchedTransfer : public core::TableTransfer {
public:
    explicit WatchedTransfer(std::unique_ptr<core::TableTransfer> inner) : inner_(std::move(inner)) {}
    std::optional<long long> Copy(const Request& request) override {
        answers.push_back(inner_->Copy(request));
        return answers.back();
    }
    std::vector<std::optional<long long>> answers;

private:
    std::unique_ptr<core::TableTransfer> inner_;
};

// Every row of t and the table's counter, each value with its storage class.
std::string RawContent(const std::string& path, const std::string& key) {
    return testsupport::RawRows(path, key,
                                {"SELECT rowid, typeof(v), quote(v), sNota FROM t ORDER BY rowid",
                                 "SELECT name, seq FROM sqlite_sequence ORDER BY name"});
}

struct CopyOutcome {
    std::string content;
    int error = 0;
    long long copied = 0;                 // as the run's details give it
    std::optional<long long> setBased;    // what the statement answered (nothing: record by record)
};

// Copies t of the archive into the template with or without the statement.
CopyOutcome CopyOnce(const std::string& archivePath, const std::string& templatePath, const std::string& key,
                     bool setBased, upgrade::UpgradeView& view) {
    CopyOutcome outcome;
    {
        const std::string connect = ";PWD=" + key;
        auto archive = core::Workspace::OpenPrivateDatabase(archivePath, false, true, connect);
        auto upgrade = core::Workspace::OpenDatabase(templatePath, false, false, connect);
        std::unique_ptr<WatchedTransfer> transfer;
        if (setBased) {
            auto inner = upgrade->RawConnection()->OpenTransfer(*archive->RawConnection(), key);
            EXPECT_NE(inner, nullptr);
            transfer = std::make_unique<WatchedTransfer>(std::move(inner));
        }
        upgrade::UpgradeReport::Table entry;
        try {
            upgrade::CopyTable(*archive, *upgrade, "t", view, {}, entry, transfer.get());
        } catch (const core::Error& e) {
            outcome.error = e.Number();
        }
        outcome.copied = entry.copied;
        if (transfer && !transfer->answers.empty()) outcome.setBased = transfer->answers.front();
        upgrade->Commit();
        transfer.reset();
        upgrade->Close();
        archive->Close();
    }
    outcome.content = RawContent(templatePath, key);
    return outcome;
}

constexpr int kAnyError = -1;

struct ValueCase {
    const char* name;
    const char* type;    // declared type of v, the same in archive and template
    const char* values;  // VALUES rows of (v, sNota) for the archive
    bool setBased;       // whether the statement can carry every value
    int error;           // the error both copies raise (0: none; kAnyError: any, the same)
    const char* trigger = "";  // on the template's t
};

const ValueCase kCases[] = {
    {"texts", "VARCHAR(10)", "('abc', 'x'), ('àèìòù', NULL), ('', ''), (NULL, 'n')", true, 0},
    {"text longer than the field", "VARCHAR(3)", "('abc', 1), ('abcd', 2), ('z', 3)", false, core::err::FieldTooSmall},
    {"text that is no UTF-8", "VARCHAR(10)", "('a', 1), (CAST(X'41C3' AS TEXT), 2)", false, 0},
    {"memo with a number", "MEMO", "('nota', 1), (123, 2)", false, 0},
    {"memo with a long fraction", "MEMO", "('nota', 1), (0.30000000000000004, 2)", false, 0},
    {"blob in a text field", "VARCHAR(10)", "(X'0102', 1)", false, core::err::ConversionError},
    {"long integers", "LONG", "(1, 1), (-5, 2), (2147483647, 3), (NULL, 4)", true, 0},
    {"fraction in a long", "LONG", "(1, 1), (2.5, 2)", false, 0},
    {"long out of range", "LONG", "(1, 1), (3000000000, 2)", false, core::err::ConversionError},
    {"integer out of range", "SMALLINT", "(40000, 1)", false, core::err::ConversionError},
    {"byte out of range", "BYTE", "(255, 1), (256, 2)", false, core::err::ConversionError},
    {"text in a number field", "LONG", "(1, 1), ('uno', 2)", false, core::err::ConversionError},
    {"yes and no", "YESNO", "(0, 1), (1, 2), (NULL, 3)", true, 0},
    {"other true value", "YESNO", "(0, 1), (5, 2)", false, 0},
    {"singles", "SINGLE", "(0.25, 1), (3, 2), (-1.5e9, 3)", true, 0},
    {"double in a single", "SINGLE", "(0.25, 1), (0.1, 2)", false, 0},
    {"doubles", "DOUBLE", "(0.1, 1), (1e300, 2), (7, 3), (-2.5, 4)", true, 0},
    {"whole number past 2^53", "NUMERIC", "(7, 1), (9007199254740993, 2)", false, 0},
    {"currency", "CURRENCY", "(12.5, 1), (7, 2), (-3.1416, 3), (0.0001, 4)", true, 0},
    {"currency past four decimals", "CURRENCY", "(12.5, 1), (1.23456, 2)", false, 0},
    {"dates", "DATETIME", "('2024-01-31 10:00:00', 1), ('1899-12-30 00:00:00', 2), ('2024-02-29 23:59:59.250', 3)",
     true, 0},
    {"date without time", "DATETIME", "('2024-01-31 10:00:00', 1), ('2024-01-31', 2)", false, 0},
    {"serial date", "DATETIME", "('2024-01-31 10:00:00', 1), (45000.5, 2)", false, 0},
    {"date that is no date", "DATETIME", "('2024-01-31 10:00:00', 1), ('domani', 2)", false,
     core::err::ConversionError},
    {"blobs", "BLOB", "(X'0102', 1), (X'', 2), (NULL, 3)", true, 0},
    {"text in a blob field", "BLOB", "(X'01', 1), ('testo', 2)", false, 0},
    {"binary longer than the field", "BINARY(2)", "(X'0102', 1), (X'010203', 2)", false, core::err::FieldTooSmall},
    {"trigger refusing a row", "LONG", "(1, 1), (2, 2), (3, 3), (4, 4)", false, kAnyError,
     "CREATE TRIGGER tr BEFORE INSERT ON t WHEN NEW.v = 3 BEGIN SELECT RAISE(ABORT, 'no'); END;"},
    {"trigger writing elsewhere", "LONG", "(1, 1), (2, 2)", true, 0,
     "CREATE TABLE log (n INTEGER); CREATE TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO log VALUES (NEW.v); END;"},
};

class TableTransferTest : public ::testing::TestWithParam<ValueCase> {
protected:
    void SetUp() override { core::InitPrefs("Quillon", "Quillon.ini"); }
    TempFolder folder;
    RecordingView view;
};

TEST_P(TableTransferTest, StatementGivesWhatTheRecordByRecordCopyGives) {
    const ValueCase& c = GetParam();
    // The encrypted pair checks the ATTACH with the engine's cipher settings.
    for (const std::string& key : {std::string(), std::string("chiave")}) {
        SCOPED_TRACE(key.empty() ? "plain" : "encrypted");
        const std::string archive = folder.File("a" + key + ".db");
        const std::string byRecord = folder.File("r" + key + ".db");
        const std::string bySet = folder.File("s" + key + ".db");
        const std::string table = std::string("CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, v ") + c.type +
                                  ", sNota VARCHAR(5));\n";
        core::sqlite::CreateDatabase(archive, table + "INSERT INTO t (v, sNota) VALUES " + c.values + ";", key);
        const std::string templ = table + "INSERT INTO t (v, sNota) VALUES (NULL, 'vecchia');\n" + c.trigger;
        core::sqlite::CreateDatabase(byRecord, templ, key);
        core::sqlite::CreateDatabase(bySet, templ, key);

        const CopyOutcome expected = CopyOnce(archive, byRecord, key, false, view);
        const CopyOutcome actual = CopyOnce(archive, bySet, key, true, view);
        EXPECT_EQ(actual.content, expected.content);
        EXPECT_EQ(actual.error, expected.error);
        if (c.error == kAnyError) EXPECT_NE(actual.error, 0);
        else EXPECT_EQ(actual.error, c.error);
        EXPECT_EQ(actual.copied, expected.copied);
        EXPECT_EQ(actual.setBased.has_value(), c.setBased);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, TableTransferTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ValueCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Stops the run at the second row, as Interrompi does.
class StoppingView : public RecordingView {
public:
    void RowDone(long long copied) override {
        if (copied >= 2) throw core::UserInterrupt();
    }
};

TEST(TableTransferStop, AStopDuringTheStatementTakesItsRowsBack) {
    core::InitPrefs("Quillon", "Quillon.ini");
    TempFolder folder;
    const std::string archive = folder.File("a.db");
    const std::string templ = folder.File("t.db");
    const std::string table = "CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, v LONG, sNota VARCHAR(5));\n";
    core::sqlite::CreateDatabase(archive, table + "INSERT INTO t (v) VALUES (1), (2), (3);");
    core::sqlite::CreateDatabase(templ, table + "INSERT INTO t (v) VALUES (9);");
    StoppingView view;
    const CopyOutcome outcome = CopyOnce(archive, templ, "", true, view);
    EXPECT_EQ(outcome.error, core::kUserInterrupt);
    EXPECT_EQ(outcome.copied, 0);
    // The delivered row was deleted before the copy, as record by record.
    EXPECT_EQ(outcome.content, "t|1|\n");
    EXPECT_EQ(view.progress.size(), 2u);
}

// The run's check before the swap, with a page of the filled template
// damaged after it was written and closed.
struct Damage {
    const char* name;
    const char* key;
    char byte;  // written over the page's first bytes (b-tree page header)
};

class DamagingView : public RecordingView {
public:
    DamagingView(std::string path, char byte) : path_(std::move(path)), byte_(byte) {}
    void StageReached(upgrade::UpgradeStage stage) override {
        RecordingView::StageReached(stage);
        if (stage != upgrade::UpgradeStage::Closed) return;
        std::string bytes = ReadBytes(path_);
        // A page in the middle of the file, where the copied rows are; an
        // encrypted file has the engine's 1,024-byte pages, a plain one
        // gives its page size in its header.
        const bool plain = bytes.compare(0, 6, "SQLite") == 0;
        const std::size_t page =
            plain ? (static_cast<unsigned char>(bytes[16]) << 8 | static_cast<unsigned char>(bytes[17])) : 1024;
        const std::size_t at = (bytes.size() / page / 2) * page;
        for (std::size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>(bytes[at + i] ^ byte_);
        WriteBytes(path_, bytes);
    }

private:
    std::string path_;
    char byte_;
};

TEST(UpgradePageCheck, ADamagedPageOfTheFilledTemplateStopsTheRunBeforeAnyRename) {
    for (const Damage& damage : {Damage{"plain", "", '\x5A'}, Damage{"encrypted", "chiave", '\x01'}}) {
        SCOPED_TRACE(damage.name);
        core::InitPrefs("Quillon", "Quillon.ini");
        TempFolder folder;
        ScopedScriptedDialogs dialogs;
        upgrade::UpgradeFiles files{folder.File("archivio.db"), folder.File("archivio.db.upg"), damage.key};
        const std::string table = "CREATE TABLE t (ID INTEGER PRIMARY KEY, sTesto MEMO);\n";
        core::sqlite::CreateDatabase(files.archive,
                                     table + "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 3000)"
                                             " INSERT INTO t SELECT x, 'riga ' || hex(randomblob(40)) FROM n;",
                                     files.password);
        core::sqlite::CreateDatabase(files.upgradeTemplate, table, files.password);
        const std::string original = ReadBytes(files.archive);
        DamagingView view(files.upgradeTemplate, damage.byte);
        dialogs->AnswerMessage(core::MsgResult::Yes);
        upgrade::UpgradeRun run(view);
        run.Start(files);

        EXPECT_EQ(dialogs->LastMessage().title, "Errore n. " + std::to_string(core::err::CorruptDatabase))
            << dialogs->LastMessage().text;
        EXPECT_EQ(ReadBytes(files.archive), original);
        EXPECT_FALSE(Exists(files.archive + ".bak"));
    }
}

}  // namespace
