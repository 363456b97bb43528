// Connection::OpenTransfer for SQLite: the source file is ATTACHed to the
// destination's connection, and a table is copied by one
//   INSERT INTO main.t (columns) SELECT columns FROM source.t ... ORDER BY _rowid_
// inside a savepoint. Saving record by record converts each value read to
// its field's type and back (FieldConvert.h, SqliteTypes.h); the statement
// copies the stored value as it is. The two agree only where that round
// trip gives the stored value back, so every row passes a check of its
// values first (a function of this file, called in the WHERE clause, which
// also reports each row to the caller); a value the round trip would
// change or refuse fails the statement, the savepoint is rolled back and
// the caller copies the table record by record, meeting the same value
// with the same outcome. A failing constraint or trigger ends the same way.
//
// A converting copy (Request::convert) reads each value as the source's
// recordset would, passes it through the caller's conversion and the
// field's own, and stores it as saving would: a function of this file in
// the SELECT list does for each value what the record-by-record copy does
// between reading and saving, so the two store the same values. What
// either conversion refuses fails the statement in the same way. Where the
// source is a file of its own, the same copy runs on two cores instead: a
// thread of its own reads the source on a second connection (RowReader),
// and each record is converted here and saved by INSERTs of many rows in
// the same savepoint, ending in every case as the statement ends.

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteCursor.h"
#include "common/engine/sqlite/SqliteRowReader.h"
#include "common/engine/sqlite/SqliteSaveBatch.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "common/engine/sqlite/SqliteTypes.h"

namespace core::sqlite {
namespace {

constexpr const char* kSchema = "agency_source";
constexpr const char* kRowFunction = "agency_copy_row";
constexpr const char* kValueFunction = "agency_copy_value";

// Which stored values of a column saving record by record writes back
// unchanged; the column has the same declared type in both databases, so
// the same affinity applies to both.
class StoredForm {
public:
    static std::optional<StoredForm> For(const DeclaredType& type);
    bool Keeps(sqlite3_value* value) const;

private:
    enum class Kind { Text, Boolean, Whole, Single, Double, Currency, Date, Binary };
    StoredForm(Kind kind, long long low = 0, long long high = 0) : kind_(kind), low_(low), high_(high) {}
    bool KeepsText(sqlite3_value* value) const;
    static bool KeepsDate(sqlite3_value* value);

    Kind kind_;
    long long low_;   // Whole: smallest value; Text, Binary: 0
    long long high_;  // Whole: largest value; Text, Binary: the length limit (0: none)
};

std::optional<StoredForm> StoredForm::For(const DeclaredType& type) {
    switch (type.type) {
    case DataType::Text:
    case DataType::Char:
    case DataType::Guid: return StoredForm(Kind::Text, 0, type.size > 0 ? type.size : 0);
    case DataType::Memo: return StoredForm(Kind::Text);
    case DataType::Boolean: return StoredForm(Kind::Boolean);
    case DataType::Byte: return StoredForm(Kind::Whole, 0, 255);
    case DataType::Integer: return StoredForm(Kind::Whole, -32768, 32767);
    case DataType::Long: return StoredForm(Kind::Whole, -2147483648LL, 2147483647LL);
    // Within what FieldConvert's bounds, compared as doubles, surely let through.
    case DataType::BigInt: return StoredForm(Kind::Whole, -9223372036854775807LL, 9223372036854774784LL);
    case DataType::Single: return StoredForm(Kind::Single);
    case DataType::Double:
    case DataType::Float:
    case DataType::Numeric:
    case DataType::Decimal: return StoredForm(Kind::Double);
    case DataType::Currency: return StoredForm(Kind::Currency);
    case DataType::Date:
    case DataType::Time:
    case DataType::TimeStamp: return StoredForm(Kind::Date);
    case DataType::Binary:
    case DataType::VarBinary: return StoredForm(Kind::Binary, 0, type.size > 0 ? type.size : 0);
    case DataType::LongBinary: return StoredForm(Kind::Binary);
    }
    return std::nullopt;
}

bool StoredForm::Keeps(sqlite3_value* value) const {
    const int storage = sqlite3_value_type(value);
    if (storage == SQLITE_NULL) return true;
    constexpr long long kExactDouble = 1LL << 53;  // every whole number up to here is a double
    switch (kind_) {
    case Kind::Text: return storage == SQLITE_TEXT && KeepsText(value);
    case Kind::Boolean: {
        if (storage != SQLITE_INTEGER) return false;
        const long long v = sqlite3_value_int64(value);
        return v == 0 || v == 1;
    }
    case Kind::Whole: {
        if (storage != SQLITE_INTEGER) return false;
        const long long v = sqlite3_value_int64(value);
        return v >= low_ && v <= high_;
    }
    case Kind::Single: {
        // Saved as the nearest float, written as a double; a whole one
        // goes back to an integer under the column's affinity.
        double d;
        if (storage == SQLITE_INTEGER) {
            const long long v = sqlite3_value_int64(value);
            if (v < -kExactDouble || v > kExactDouble) return false;
            d = static_cast<double>(v);
        } else if (storage == SQLITE_FLOAT) {
            d = sqlite3_value_double(value);
        } else {
            return false;
        }
        return std::isfinite(d) && std::fabs(d) <= FLT_MAX && static_cast<double>(static_cast<float>(d)) == d;
    }
    case Kind::Double:
        if (storage == SQLITE_INTEGER) {
            const long long v = sqlite3_value_int64(value);
            return v >= -kExactDouble && v <= kExactDouble;
        }
        return storage == SQLITE_FLOAT && std::isfinite(sqlite3_value_double(value));
    case Kind::Currency:
        // Read as whole ten-thousandths; saved as an integer when whole,
        // otherwise as the ten-thousandths divided back.
        if (storage == SQLITE_INTEGER) {
            const long long v = sqlite3_value_int64(value);
            return v < 922'337'203'685'477LL && v > -922'337'203'685'477LL;
        }
        if (storage == SQLITE_FLOAT) {
            const double r = sqlite3_value_double(value);
            const double scaled = std::nearbyint(r * 10000.0);
            if (!(std::fabs(scaled) < 9.2e18)) return false;
            const auto ticks = static_cast<std::int64_t>(scaled);
            return ticks % 10000 != 0 && static_cast<double>(ticks) / 10000.0 == r;
        }
        return false;
    case Kind::Date: return storage == SQLITE_TEXT && KeepsDate(value);
    case Kind::Binary:
        return storage == SQLITE_BLOB && (high_ <= 0 || sqlite3_value_bytes(value) <= high_);
    }
    return false;
}

bool StoredForm::KeepsText(sqlite3_value* value) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const std::string_view bytes(text ? text : "", text ? static_cast<std::size_t>(sqlite3_value_bytes(value)) : 0);
    if (!IsValidUtf8(bytes)) return false;
    return high_ <= 0 || !LongerThan(bytes, static_cast<std::size_t>(high_));
}

bool StoredForm::KeepsDate(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const std::string_view bytes(text ? text : "", text ? static_cast<std::size_t>(sqlite3_value_bytes(value)) : 0);
    const auto date = ParseIsoDateTime(bytes);
    return date && date->ToIso() == bytes;
}

// What the row function works with during one statement.
struct RowState {
    std::vector<StoredForm> forms;  // one per copied column, in the statement's order
    long long low = 0, high = 0;    // the source's smallest and largest rowid
    long long rows = 0;
    const std::function<void(long long, double)>* rowDone = nullptr;
    std::exception_ptr thrown;      // what rowDone threw
    bool stopKeepsRows = false;
    bool stopped = false;           // the rows after a kept stop are passed over
    // A converting copy: each pair's fields as read and as saved.
    const std::function<Variant(std::size_t, Variant)>* convert = nullptr;
    std::vector<FieldInfo> sourceFields, targetFields;
    std::string table;
};

// agency_copy_row(rowid, value...): 1 when every value is kept as it is;
// otherwise, or when the caller's callback throws, an error that ends the
// statement. Nothing may leave it as an exception: SQLite is C.
void CopyRow(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* state = static_cast<RowState*>(sqlite3_user_data(context));
    if (state->stopped) {
        sqlite3_result_int(context, 0);
        return;
    }
    if (argc != static_cast<int>(state->forms.size()) + 1) {
        sqlite3_result_error(context, "agency_copy_row: wrong number of values", -1);
        return;
    }
    for (std::size_t k = 0; k < state->forms.size(); ++k) {
        if (!state->forms[k].Keeps(argv[k + 1])) {
            sqlite3_result_error(context, "agency_copy_row: a value needs converting", -1);
            return;
        }
    }
    ++state->rows;
    if (state->rowDone && *state->rowDone) {
        try {
            (*state->rowDone)(state->rows, RowidPercent(sqlite3_value_int64(argv[0]), state->low, state->high));
        } catch (...) {
            // Raised again by Copy once the statement has ended.
            state->thrown = std::current_exception();
            if (state->stopKeepsRows) {
                state->stopped = true;
                sqlite3_result_int(context, 1);
            } else {
                sqlite3_result_error(context, "agency_copy_row: stopped", -1);
            }
            return;
        }
    }
    sqlite3_result_int(context, 1);
}

// agency_copy_value(k, value): the value of pair k as saving record by
// record would store it. A value either conversion refuses fails the
// statement: the caller then copies record by record and meets it there
// with its own error, so nothing is lost by not keeping it here.
void CopyValue(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* state = static_cast<RowState*>(sqlite3_user_data(context));
    const long long k = argc == 2 ? sqlite3_value_int64(argv[0]) : -1;
    if (!state->convert || k < 0 || k >= static_cast<long long>(state->targetFields.size())) {
        sqlite3_result_error(context, "agency_copy_value: wrong arguments", -1);
        return;
    }
    const auto column = static_cast<std::size_t>(k);
    const FieldInfo& target = state->targetFields[column];
    try {
        Variant given = (*state->convert)(column, ReadValue(argv[1], state->sourceFields[column]));
        ResultValue(context, ConvertForField(std::move(given), target), target, state->table);
    } catch (...) {
        sqlite3_result_error(context, "agency_copy_value: the value is refused", -1);
    }
}

// Whether a failed statement was refused for what its rows hold (a value
// the check of this file stopped, a constraint, a trigger), which the
// record-by-record copy meets again at the same row with its own error.
int Exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

// SQLCipher derives an attached database's key, and reads its schema, at
// the ATTACH itself, with the library's default cipher settings: for the
// ATTACH they are those the engine reads every file with (see ApplyKey),
// and afterwards what they were.
class CompatibleDefaults {
public:
    explicit CompatibleDefaults(sqlite3* db) : db_(db) {
        for (const char* name : kNames) saved_.emplace_back(name, FirstText(db, std::string("PRAGMA ") + name));
        Exec(db, std::string("PRAGMA cipher_default_compatibility = ") + kCipherCompatibility);
    }
    ~CompatibleDefaults() {
        for (const auto& [name, value] : saved_)
            if (!value.empty()) Exec(db_, "PRAGMA " + name + " = " + value);
    }
    CompatibleDefaults(const CompatibleDefaults&) = delete;
    CompatibleDefaults& operator=(const CompatibleDefaults&) = delete;

private:
    static constexpr const char* kNames[] = {"cipher_default_page_size", "cipher_default_kdf_iter",
                                             "cipher_default_hmac_algorithm", "cipher_default_kdf_algorithm"};
    sqlite3* db_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

// The connection's commits held back for as long as it lives: the copy's
// rows are one write, committed whole or not at all.
class CommitsHeld {
public:
    explicit CommitsHeld(SqliteConnection& connection) : connection_(connection) { connection_.HoldCommits(true); }
    ~CommitsHeld() { connection_.HoldCommits(false); }
    CommitsHeld(const CommitsHeld&) = delete;
    CommitsHeld& operator=(const CommitsHeld&) = delete;

private:
    SqliteConnection& connection_;
};

class SqliteTransfer final : public TableTransfer {
public:
    // The source attached and the row function registered, or nullptr.
    static std::unique_ptr<TableTransfer> Attach(std::shared_ptr<SqliteConnection> target, const std::string& source,
                                                 const std::string& password);
    ~SqliteTransfer() override;
    std::optional<long long> Copy(const Request& request) override;

private:
    SqliteTransfer(std::shared_ptr<SqliteConnection> target, std::string source, std::string password)
        : target_(std::move(target)), source_(std::move(source)), password_(std::move(password)) {}
    std::optional<std::vector<StoredForm>> Forms(const Request& request, const std::string& sourceTable);
    // A converting copy's fields, into state_; false when either table
    // does not have them.
    bool DescribeFields(const Request& request, const std::string& sourceTable);
    std::optional<std::pair<long long, long long>> RowidRange(const std::string& table);
    static std::string Statement(const Request& request, const std::string& sourceTable);
    // A converting copy's source rows read by a thread of their own on a
    // connection of their own, or nullptr where that cannot be (the source
    // is the destination's own file, or cannot be opened again).
    std::unique_ptr<RowReader> StartReader(const Request& request, const std::string& sourceTable);
    // The converting copy with the rows from reader, inside the savepoint:
    // each record converted as the statement's functions convert it and
    // saved by INSERTs of many rows. Ends as the statement would.
    std::optional<long long> CopyFrom(RowReader& reader, const Request& request);
    // The end of a copy refused with rc: the savepoint rolled back and
    // nothing returned, or error raised where the refusal was not about
    // the rows or the transaction is gone.
    std::optional<long long> Refused(int rc, const Error& error);
    // Rolls the savepoint back; false when the transaction it was in is gone.
    bool TakeBack();

    std::shared_ptr<SqliteConnection> target_;
    const std::string source_, password_;
    RowState state_;
};

std::unique_ptr<TableTransfer> SqliteTransfer::Attach(std::shared_ptr<SqliteConnection> target,
                                                      const std::string& source, const std::string& password) {
    sqlite3* db = target->Db();
    const std::string key = IsPlainDatabaseFile(source) ? std::string() : password;
    int rc;
    {
        std::optional<CompatibleDefaults> defaults;
        if (!key.empty()) defaults.emplace(db);
        sqlite3_stmt* raw = nullptr;
        const std::string sql = std::string("ATTACH DATABASE ?1 AS ") + kSchema + " KEY ?2";
        rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
        StmtHandle attach(raw);
        if (rc != SQLITE_OK) return nullptr;
        sqlite3_bind_text(raw, 1, source.data(), static_cast<int>(source.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(raw, 2, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(raw);
    }
    if (rc != SQLITE_DONE) {
        Exec(db, std::string("DETACH DATABASE ") + kSchema);
        return nullptr;
    }
    std::unique_ptr<SqliteTransfer> transfer(new SqliteTransfer(std::move(target), source, password));
    // Callable only from statements, never from a trigger or view of a file.
    if (sqlite3_create_function_v2(db, kRowFunction, -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, &transfer->state_,
                                   CopyRow, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, kValueFunction, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, &transfer->state_,
                                   CopyValue, nullptr, nullptr, nullptr) != SQLITE_OK)
        return nullptr;  // the destructor detaches
    return transfer;
}

SqliteTransfer::~SqliteTransfer() {
    sqlite3* db = target_->Db();
    sqlite3_create_function_v2(db, kRowFunction, -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, kValueFunction, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    // Refused while a transaction is open (after a failure): the file stays
    // attached until the connection closes.
    Exec(db, std::string("DETACH DATABASE ") + kSchema);
}

std::optional<std::vector<StoredForm>> SqliteTransfer::Forms(const Request& request, const std::string& sourceTable) {
    std::vector<ColumnDecl> sourceColumns;
    {
        sqlite3_stmt* raw = nullptr;
        const std::string sql = std::string("PRAGMA ") + kSchema + ".table_info(" + QuoteName(sourceTable) + ")";
        if (sqlite3_prepare_v2(target_->Db(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return std::nullopt;
        }
        StmtHandle stmt(raw);
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
            sourceColumns.push_back({name ? name : "", type ? type : ""});
        }
    }
    const std::vector<ColumnDecl>& targetColumns = target_->TableColumns(request.table);
    auto declared = [](const std::vector<ColumnDecl>& columns, const std::string& name) -> const std::string* {
        for (const auto& column : columns)
            if (sqlite3_stricmp(column.name.c_str(), name.c_str()) == 0) return &column.declaredType;
        return nullptr;
    };
    std::vector<StoredForm> forms;
    for (const auto& [targetName, sourceName] : request.columns) {
        const std::string* targetType = declared(targetColumns, targetName);
        const std::string* sourceType = declared(sourceColumns, sourceName);
        if (!targetType || !sourceType || sqlite3_stricmp(targetType->c_str(), sourceType->c_str()) != 0)
            return std::nullopt;
        auto form = StoredForm::For(MapDeclaredType(*targetType));
        if (!form) return std::nullopt;
        forms.push_back(*form);
    }
    return forms;
}

bool SqliteTransfer::DescribeFields(const Request& request, const std::string& sourceTable) {
    auto describe = [&](const std::string& from, bool source, std::vector<FieldInfo>& fields) {
        std::string names;
        for (const auto& pair : request.columns) {
            if (!names.empty()) names += ", ";
            names += QuoteName(source ? pair.second : pair.first);
        }
        sqlite3_stmt* raw = nullptr;
        const std::string sql = "SELECT " + names + " FROM " + from;
        if (sqlite3_prepare_v2(target_->Db(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return false;
        }
        StmtHandle stmt(raw);
        fields = target_->DescribeColumns(stmt.get(), 0);
        return fields.size() == request.columns.size();
    };
    return describe(std::string(kSchema) + "." + QuoteName(sourceTable), true, state_.sourceFields) &&
           describe("main." + QuoteName(request.table), false, state_.targetFields);
}

std::optional<std::pair<long long, long long>> SqliteTransfer::RowidRange(const std::string& table) {
    // Fails for a table WITHOUT ROWID, whose order the record-by-record
    // copy does not take from the rowid.
    const std::string t = std::string(kSchema) + "." + QuoteName(table);
    sqlite3_stmt* raw = nullptr;
    // One look-up at each end: min and max side by side would read the
    // whole table.
    const std::string sql = "SELECT (SELECT min(_rowid_) FROM " + t + "), (SELECT max(_rowid_) FROM " + t + ")";
    if (sqlite3_prepare_v2(target_->Db(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return std::nullopt;
    }
    StmtHandle stmt(raw);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
    if (sqlite3_column_type(stmt.get(), 0) == SQLITE_NULL) return std::pair<long long, long long>(0, 0);
    return std::pair<long long, long long>(sqlite3_column_int64(stmt.get(), 0), sqlite3_column_int64(stmt.get(), 1));
}

std::string SqliteTransfer::Statement(const Request& request, const std::string& sourceTable) {
    // A converting copy checks nothing per row: its values are converted
    // by the SELECT list.
    const bool converting = static_cast<bool>(request.convert);
    std::string targets, sources, selected;
    for (std::size_t k = 0; k < request.columns.size(); ++k) {
        const auto& [targetName, sourceName] = request.columns[k];
        if (k > 0) {
            targets += ", ";
            sources += ", ";
            selected += ", ";
        }
        targets += QuoteName(targetName);
        sources += QuoteName(sourceName);
        selected += converting ? std::string(kValueFunction) + "(" + std::to_string(k) + ", " + QuoteName(sourceName) + ")"
                               : QuoteName(sourceName);
    }
    return "INSERT INTO main." + QuoteName(request.table) + " (" + targets + ") SELECT " + selected + " FROM " +
           kSchema + "." + QuoteName(sourceTable) + " WHERE " + kRowFunction + "(_rowid_" +
           (converting ? "" : ", " + sources) + ") ORDER BY _rowid_";
}


bool SqliteTransfer::TakeBack() {
    sqlite3* db = target_->Db();
    if (sqlite3_get_autocommit(db)) return false;
    if (Exec(db, "ROLLBACK TO agency_copy") == SQLITE_OK && Exec(db, "RELEASE agency_copy") == SQLITE_OK) return true;
    // The savepoint cannot be rolled back: nothing of the transaction may
    // be committed any more.
    Exec(db, "ROLLBACK");
    return false;
}

std::optional<long long> SqliteTransfer::Copy(const Request& request) {
    if (request.columns.empty()) return std::nullopt;  // rows of defaults only: nothing to select
    const std::string& sourceTable = request.sourceTable.empty() ? request.table : request.sourceTable;
    std::vector<StoredForm> forms;
    if (request.convert) {
        if (!DescribeFields(request, sourceTable)) return std::nullopt;
    } else {
        auto checked = Forms(request, sourceTable);
        if (!checked) return std::nullopt;
        forms = std::move(*checked);
    }
    const auto range = RowidRange(sourceTable);
    if (!range) return std::nullopt;

    sqlite3* db = target_->Db();
    std::unique_ptr<RowReader> reader = request.convert ? StartReader(request, sourceTable) : nullptr;
    const std::string sql = reader ? std::string() : Statement(request, sourceTable);
    StmtHandle stmt;
    if (!reader) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return std::nullopt;
        }
        stmt.reset(raw);
    }

    target_->BeginWrite(request.table);
    if (Exec(db, "SAVEPOINT agency_copy") != SQLITE_OK) return std::nullopt;
    if (request.emptied) {
        const std::string empty = "DELETE FROM main." + QuoteName(request.table);
        if (const int rc = Exec(db, empty); rc != SQLITE_OK) {
            const Error error = LastError(db, sqlite3_extended_errcode(db), {target_->Name(), request.table, empty});
            if (!TakeBack() || !AboutTheRows(rc)) target_->Raise(error);
            return std::nullopt;
        }
        request.emptied(sqlite3_changes64(db));
    }
    state_.forms = std::move(forms);
    state_.low = range->first;
    state_.high = range->second;
    state_.rows = 0;
    state_.rowDone = &request.rowDone;
    state_.thrown = nullptr;
    state_.stopKeepsRows = request.stopKeepsRows;
    state_.stopped = false;
    state_.convert = request.convert ? &request.convert : nullptr;
    state_.table = request.table;
    if (reader) {
        const CommitsHeld held(*target_);
        return CopyFrom(*reader, request);
    }
    int rc;
    {
        const CommitsHeld held(*target_);
        rc = sqlite3_step(stmt.get());
    }
    state_.rowDone = nullptr;
    state_.convert = nullptr;

    if (rc == SQLITE_DONE) {
        const long long rows = sqlite3_changes64(db);
        stmt.reset();
        if (Exec(db, "RELEASE agency_copy") == SQLITE_OK) {
            target_->EndWrite();
            if (state_.thrown) std::rethrow_exception(std::exchange(state_.thrown, nullptr));
            return rows;
        }
        // Cannot happen while the transaction is open; kept safe anyway.
        const Error error = LastError(db, sqlite3_extended_errcode(db), {target_->Name(), request.table, "RELEASE"});
        if (!TakeBack()) target_->Raise(error);
        return std::nullopt;
    }
    const Error error = LastError(db, rc, {target_->Name(), request.table, sql});
    stmt.reset();
    return Refused(rc, error);
}

std::optional<long long> SqliteTransfer::Refused(int rc, const Error& error) {
    const bool undone = TakeBack();
    if (state_.thrown) std::rethrow_exception(std::exchange(state_.thrown, nullptr));
    // SQLite dropped the whole transaction: the writes before this table
    // are gone too, which only the error can say. A failure of the file
    // itself (full disk, I/O error, lock) is the run's error as it is,
    // never retried record by record as if it had not happened.
    if (!undone || !AboutTheRows(rc)) target_->Raise(error);
    return std::nullopt;
}

std::unique_ptr<RowReader> SqliteTransfer::StartReader(const Request& request, const std::string& sourceTable) {
    if (sqlite3_threadsafe() == 0) return nullptr;
    // The destination's own file is read where the statement reads it: a
    // second connection would wait for the lock the copy holds.
    std::error_code failed;
    if (std::filesystem::equivalent(source_, target_->Name(), failed) || failed) return nullptr;
    DbHandle db;
    try {
        db = OpenDatabaseFile(source_, password_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    } catch (const Error&) {
        return nullptr;  // the statement reads it through the attached file, and meets what failed here
    }
    // Read once from start to end: no more pages kept than a reading does.
    sqlite3_exec(db.get(), "PRAGMA cache_size = -2000", nullptr, nullptr, nullptr);
    std::string names;
    for (const auto& pair : request.columns) names += ", " + QuoteName(pair.second);
    const std::string sql = "SELECT _rowid_" + names + " FROM main." + QuoteName(sourceTable) + " ORDER BY _rowid_";
    return RowReader::Start(std::move(db), sql, state_.sourceFields, source_, sourceTable);
}

std::optional<long long> SqliteTransfer::CopyFrom(RowReader& reader, const Request& request) {
    sqlite3* db = target_->Db();
    const std::vector<FieldInfo>& targets = state_.targetFields;
    const std::size_t columns = targets.size();
    std::vector<int> given(columns);
    for (std::size_t c = 0; c < columns; ++c) given[c] = static_cast<int>(c);
    const auto variables = static_cast<std::size_t>(std::max(1, sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1)));
    const std::size_t perStatement = std::clamp<std::size_t>(variables / columns, 1, 64);

    std::vector<StmtHandle> statements(perStatement + 1);  // by rows
    std::string sql;
    auto prepared = [&](std::size_t rows) -> sqlite3_stmt* {
        StmtHandle& stmt = statements[rows];
        if (!stmt) {
            sql = InsertSql(request.table, targets, given, rows);
            sqlite3_stmt* raw = nullptr;
            const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
            stmt.reset(raw);
            if (rc != SQLITE_OK) throw LastError(db, rc, {target_->Name(), request.table, sql});
        }
        return stmt.get();
    };

    std::vector<Variant> pending;  // converted values, row after row
    pending.reserve(perStatement * columns);
    long long rows = 0, saved = 0;
    std::optional<Error> failure;  // of the INSERT that failed
    // The pending rows saved; the result code of the INSERT.
    auto send = [&]() -> int {
        const std::size_t count = pending.size() / columns;
        sqlite3_stmt* stmt = prepared(count);
        for (std::size_t i = 0; i < pending.size(); ++i)
            BindValue(stmt, static_cast<int>(i + 1), pending[i], targets[i % columns], request.table);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) saved += sqlite3_changes64(db);
        else failure = LastError(db, rc, {target_->Name(), request.table, sqlite3_sql(stmt)});
        sqlite3_reset(stmt);
        pending.clear();
        return rc;
    };
    RowReader::Batch batch;
    // The next rows; the source's own failure ends the copy as the
    // statement ends on it.
    auto next = [&]() -> bool {
        try {
            return reader.Next(batch);
        } catch (const Error& e) {
            failure = e;
            return false;
        }
    };

    int rc = SQLITE_DONE;
    bool stopped = false;
    try {
        while (!stopped && rc == SQLITE_DONE && next()) {
            for (std::size_t r = 0; r < batch.Rows() && !stopped && rc == SQLITE_DONE; ++r) {
                ++rows;
                if (request.rowDone) {
                    try {
                        request.rowDone(rows, RowidPercent(batch.rowids[r], state_.low, state_.high));
                    } catch (...) {
                        // The row it was called for is still saved when the
                        // stop keeps the rows, as the statement's row check does.
                        state_.thrown = std::current_exception();
                        if (!request.stopKeepsRows) return Refused(SQLITE_ERROR, Error(err::ReservedError, "stopped"));
                        stopped = true;
                    }
                }
                for (std::size_t k = 0; k < columns; ++k)
                    pending.push_back(ConvertForField(request.convert(k, std::move(batch.values[r * columns + k])),
                                                      targets[k]));
                if (pending.size() == perStatement * columns) rc = send();
            }
        }
        if (failure && rc == SQLITE_DONE) rc = reader.FailedCode() ? reader.FailedCode() : SQLITE_ERROR;
        if (rc == SQLITE_DONE && !pending.empty()) rc = send();
    } catch (const Error& e) {
        // A value either conversion refuses, as the statement's value
        // function refuses it.
        return Refused(SQLITE_ERROR, e);
    } catch (...) {
        TakeBack();
        throw;
    }
    if (rc != SQLITE_DONE) return Refused(rc, *failure);
    statements.clear();
    if (Exec(db, "RELEASE agency_copy") != SQLITE_OK) {
        const Error error = LastError(db, sqlite3_extended_errcode(db), {target_->Name(), request.table, "RELEASE"});
        if (!TakeBack()) target_->Raise(error);
        return std::nullopt;
    }
    target_->EndWrite();
    if (state_.thrown) std::rethrow_exception(std::exchange(state_.thrown, nullptr));
    return saved;
}

}  // namespace

std::unique_ptr<TableTransfer> SqliteConnection::OpenTransfer(Connection& source, const std::string& password) {
    auto* from = dynamic_cast<SqliteConnection*>(&source);
    SendSaves();
    if (from) from->SendSaves();
    // ATTACH is refused inside a transaction.
    if (!from || readOnly_ || inTransaction_ || !sqlite3_get_autocommit(db_.get())) return nullptr;
    return SqliteTransfer::Attach(shared_from_this(), from->Name(), password);
}

}  // namespace core::sqlite
