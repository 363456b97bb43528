#include "common/engine/sqlite/SqliteConnection.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/engine/BusyWait.h"
#include "common/engine/FsPath.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteCursor.h"
#include "common/engine/sqlite/SqliteTypes.h"
#include "common/text/AsciiText.h"

namespace core::sqlite {

const char* const kCipherCompatibility = "3";

namespace {

constexpr char kPlainHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

bool FirstWordIs(std::string_view sql, std::initializer_list<std::string_view> words) {
    std::size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    std::size_t j = i;
    while (j < sql.size() && std::isalpha(static_cast<unsigned char>(sql[j]))) ++j;
    const std::string first = text::AsciiLower(sql.substr(i, j - i));
    for (auto w : words)
        if (first == text::AsciiLower(w)) return true;
    return false;
}

// A table or column name from the file's schema (nothing: the empty name).
std::string SchemaName(const char* raw) { return raw ? ToValidUtf8(raw) : std::string(); }

// Only blanks and semicolons left after a statement.
bool OnlySeparators(const char* tail) {
    for (; tail && *tail; ++tail)
        if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';') return false;
    return true;
}

}  // namespace

namespace {

// Waits in short sleeps while another connection holds the file, for as
// long as the engine's busy policy says.
int WaitWhileBusy(void* handle, int attempt) {
    thread_local std::chrono::steady_clock::time_point started;
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) started = now;
    const char* file = sqlite3_db_filename(static_cast<sqlite3*>(handle), "main");
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - started);
    if (!KeepWaitingForBusy(file ? file : "", waited)) return 0;
    sqlite3_sleep(20);
    return 1;
}

}  // namespace

void ApplyKey(sqlite3* db, const std::string& key, const std::string& schema) {
    if (key.empty()) return;
    const char* file = sqlite3_db_filename(db, schema.c_str());
    const ErrorContext context{file ? file : "", {}, {}};
    if (schema == "main") {
        const int rc = sqlite3_key(db, key.data(), static_cast<int>(key.size()));
        if (rc != SQLITE_OK) throw LastError(db, rc, context);
    }
    const std::string prefix = "PRAGMA " + schema + ".";
    const std::string set = prefix + "cipher_compatibility = " + kCipherCompatibility;
    const int rc = sqlite3_exec(db, set.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw LastError(db, rc, context);
    struct Expected {
        const char* pragma;
        const char* value;
    };
    for (const Expected& expected : {Expected{"cipher_page_size", "1024"}, Expected{"kdf_iter", "64000"},
                                     Expected{"cipher_hmac_algorithm", "HMAC_SHA1"},
                                     Expected{"cipher_kdf_algorithm", "PBKDF2_HMAC_SHA1"}}) {
        const std::string actual = FirstText(db, prefix + expected.pragma);
        if (actual != expected.value)
            throw TranslateError(SQLITE_MISUSE,
                                 std::string("cipher setting ") + expected.pragma + " is '" + actual +
                                     "', expected '" + expected.value + "'",
                                 context);
    }
}

DbHandle OpenDatabaseFile(const std::string& path, const std::string& password, int flags) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(FsPath(path), ec);
    if (!fs::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw UnreadableFileError(path, ec.message());
        throw MissingFileError(path);
    }
    if (fs::is_directory(status)) throw FolderError(path);

    // The header decides whether the password applies: a plain SQLite file
    // opens whatever password is given, as the original engine ignored the
    // password of an unprotected database.
    char header[16] = {};
    std::uintmax_t size = 0;
    {
        std::ifstream in(FsPath(path), std::ios::binary);
        if (!in) throw UnreadableFileError(path, std::strerror(errno));
        in.read(header, sizeof header);
        size = fs::file_size(FsPath(path), ec);
        if (ec) throw UnreadableFileError(path, ec.message());
    }
    // SQLite would take an empty file for a new database and write one into it.
    if (size == 0) throw NotADatabaseError(path, "empty file");
    const bool plain = size >= sizeof header && std::memcmp(header, kPlainHeader, sizeof header) == 0;

    sqlite3* raw = nullptr;
    const int openRc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (openRc != SQLITE_OK) throw LastError(db.get(), openRc, {path, {}, {}});
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_handler(db.get(), WaitWhileBusy, db.get());

    if (!plain) ApplyKey(db.get(), password);
    const int rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                                nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_NOTADB) {
            // An encrypted database has no readable header at all; SQLite
            // cannot tell a wrong key from a file that is no database. A
            // file made of whole pages is taken for an encrypted database.
            if (!plain && size % 512 == 0) throw BadPasswordError(path);
            throw NotADatabaseError(path, sqlite3_errmsg(db.get()));
        }
        throw LastError(db.get(), rc, {path, {}, {}});
    }
    return db;
}

std::shared_ptr<SqliteConnection> SqliteConnection::Open(const OpenRequest& request) {
    const std::string& path = request.path;
    // Never SQLITE_OPEN_CREATE: opening must not create a database.
    DbHandle db = OpenDatabaseFile(
        path, request.connect.password,
        (request.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
            // One thread works on a connection: SQLite's own locking is not needed.
            SQLITE_OPEN_NOMUTEX);

    // A database opened read-only is read in passes over whole tables and
    // counts, which gain nothing from pages kept: SQLite's default 2 MB,
    // so that memory stays the same however large its tables are.
    sqlite3_exec(db.get(), request.readOnly ? "PRAGMA cache_size = -2000" : "PRAGMA cache_size = -8192", nullptr,
                 nullptr, nullptr);
    if (request.exclusive)
        sqlite3_exec(db.get(), "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr);
    const bool readOnly = request.readOnly || sqlite3_db_readonly(db.get(), "main") == 1;
    if (!readOnly) {
        // A file left in WAL mode by another tool goes back to the rollback
        // journal (see the header for why); harmless when it fails.
        sqlite3_exec(db.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    }
    return std::shared_ptr<SqliteConnection>(new SqliteConnection(std::move(db), path, readOnly));
}

SqliteConnection::SqliteConnection(DbHandle db, std::string path, bool readOnly)
    : db_(std::move(db)), path_(std::move(path)), readOnly_(readOnly) {}

SqliteConnection::~SqliteConnection() {
    // Whoever wrote has committed (and heard of a failure) before letting go.
    Rollback();
}

bool SqliteConnection::ReadOnly() const { return readOnly_; }

std::vector<std::string> SqliteConnection::TableNames() {
    // User tables in creation order. SQLite's own tables (sqlite_sequence,
    // sqlite_stat1...) hold no user data and must not be copied or emptied
    // by the programs, so they are left out.
    SendSaves();
    StmtHandle stmt = Prepare(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' "
        "ESCAPE '!' ORDER BY rowid",
        {});
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        names.push_back(SchemaName(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0))));
    if (rc != SQLITE_DONE) RaiseLast(rc, {}, {});
    return names;
}

const std::vector<ColumnDecl>& SqliteConnection::TableColumns(const std::string& table) {
    const std::string key = text::AsciiLower(table);
    if (auto it = columns_.find(key); it != columns_.end()) return it->second;
    SendSaves();
    std::vector<ColumnDecl> columns;
    sqlite3_stmt* raw = nullptr;
    const std::string sql = "PRAGMA table_info(" + QuoteName(table) + ")";
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) == SQLITE_OK) {
        StmtHandle stmt(raw);
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
            columns.push_back({name ? name : "", type ? type : ""});
        }
    } else {
        sqlite3_finalize(raw);
    }
    return columns_.emplace(key, std::move(columns)).first->second;
}

namespace {
// The text literal opening at sql[at] (an apostrophe), apostrophes
// undoubled; at is left on its closing apostrophe.
std::string ReadLiteral(const std::string& sql, std::size_t& at) {
    std::string literal;
    std::size_t j = at + 1;
    for (; j < sql.size(); ++j) {
        if (sql[j] == '\'') {
            if (j + 1 < sql.size() && sql[j + 1] == '\'') {
                literal += '\'';
                ++j;
                continue;
            }
            break;
        }
        literal += sql[j];
    }
    at = j;
    return literal;
}

// Whether a statement's tail is a look-up: " WHERE [name] = 'text'" and
// nothing else.
bool IsLookupTail(std::string_view tail) {
    std::size_t i = 0;
    auto spaces = [&] {
        while (i < tail.size() && std::isspace(static_cast<unsigned char>(tail[i]))) ++i;
    };
    spaces();
    if (tail.size() - i < 6 || text::AsciiUpper(tail.substr(i, 5)) != "WHERE" ||
        !std::isspace(static_cast<unsigned char>(tail[i + 5])))
        return false;
    i += 5;
    spaces();
    if (i < tail.size() && tail[i] == '[') {
        const std::size_t close = tail.find(']', i);
        if (close == std::string_view::npos || close == i + 1) return false;
        i = close + 1;
    } else {
        const std::size_t start = i;
        while (i < tail.size() && (std::isalnum(static_cast<unsigned char>(tail[i])) || tail[i] == '_')) ++i;
        if (i == start) return false;
    }
    spaces();
    if (i >= tail.size() || tail[i] != '=') return false;
    ++i;
    spaces();
    if (i >= tail.size() || tail[i] != '\'') return false;
    for (++i;; ++i) {
        if (i >= tail.size()) return false;
        if (tail[i] != '\'') continue;
        if (i + 1 < tail.size() && tail[i + 1] == '\'') {
            ++i;
            continue;
        }
        break;
    }
    ++i;
    spaces();
    return i == tail.size();
}

// The statement with every text literal replaced by a parameter, and the
// literals in order. Quoted names stay.
std::string Parameterize(const std::string& sql, std::vector<std::string>& literals) {
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '"') {
            std::size_t j = i + 1;
            while (j < sql.size() && !(sql[j] == '"' && (j + 1 >= sql.size() || sql[j + 1] != '"'))) j += sql[j] == '"' ? 2 : 1;
            out.append(sql, i, j - i + 1);
            i = j;
        } else if (c == '\'') {
            literals.push_back(ReadLiteral(sql, i));
            out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

// The statement with every 'text' literal emptied, and the literals in
// order; nothing when it holds double quotes (which the dialect reads as
// literals too).
std::optional<std::string> BlankLiterals(const std::string& sql, std::vector<std::string>& literals) {
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '"') return std::nullopt;
        if (c != '\'') {
            out += c;
            continue;
        }
        literals.push_back(ReadLiteral(sql, i));
        out += "''";
    }
    return out;
}
}  // namespace

std::unique_ptr<Cursor> SqliteConnection::LeaseSelect(const std::string& key, const std::vector<std::string>& literals) {
    auto it = selects_.find(key);
    if (it == selects_.end() || it->second.leased || !it->second.stmt) return nullptr;
    sqlite3_stmt* stmt = it->second.stmt.get();
    if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(literals.size())) return nullptr;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (std::size_t i = 0; i < literals.size(); ++i)
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), literals[i].data(), static_cast<int>(literals[i].size()),
                          SQLITE_TRANSIENT);
    it->second.leased = true;
    CursorSetup setup;
    setup.stmt = std::move(it->second.stmt);
    setup.rowStmt = std::move(it->second.rowStmt);
    setup.keyColumn = it->second.keyColumn;
    setup.sharedColumns = it->second.columns;
    setup.rowidFirst = true;
    setup.table = it->second.table;
    setup.updatable = !readOnly_;
    setup.cacheKey = key;
    return std::make_unique<SqliteCursor>(shared_from_this(), std::move(setup));
}

StmtHandle SqliteConnection::Prepare(const std::string& sql, const std::string& table) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw,
                                      &tail);
    StmtHandle stmt(raw);
    if (rc != SQLITE_OK) RaiseLast(rc, table, sql);
    if (!stmt) Raise(TranslateError(SQLITE_ERROR, "syntax error: empty statement", {path_, table, sql}));
    // One statement at a time, as the original engine ran them: whatever
    // follows a semicolon is refused rather than run unseen.
    if (!OnlySeparators(tail))
        Raise(TranslateError(SQLITE_ERROR, "syntax error: more than one statement",
                             {path_, table, sql}));
    return stmt;
}

TextColumnTest SqliteConnection::TextColumnsOf(const std::string& table) {
    if (table.empty()) return {};
    const std::vector<ColumnDecl>* decls = &TableColumns(table);
    return [decls](std::string_view name) {
        for (const auto& c : *decls)
            if (text::AsciiLower(c.name) == text::AsciiLower(name)) return IsTextType(MapDeclaredType(c.declaredType).type);
        return false;
    };
}

std::unique_ptr<Cursor> SqliteConnection::OpenCursor(const std::string& sql) {
    SendSaves();
    // A statement of a shape seen before ("... WHERE [sCodice] = 'x'" with
    // another code) reuses its compiled statement with the new literals.
    std::vector<std::string> rawLiterals;
    const auto rawShape = BlankLiterals(sql, rawLiterals);
    if (rawShape) {
        if (auto known = shapes_.find(*rawShape); known != shapes_.end())
            if (auto cursor = LeaseSelect(known->second, rawLiterals)) return cursor;
    }
    if (const auto shape = ParseTableSelect(sql)) return OpenTableCursor(*shape, rawShape);

    // Any other SELECT: read only, described by its own columns.
    const std::string table = MainTable(sql).value_or("");
    CursorSetup setup;
    setup.stmt = Prepare(TranslateSql(sql, TextColumnsOf(table)), table);
    setup.columns = DescribeColumns(setup.stmt.get(), 0);
    return std::make_unique<SqliteCursor>(shared_from_this(), std::move(setup));
}

std::unique_ptr<Cursor> SqliteConnection::OpenTableCursor(const TableSelect& shape,
                                                          const std::optional<std::string>& rawShape) {
    const std::string rest = TranslateSql(shape.tail, TextColumnsOf(shape.table));
    // A look-up ("WHERE [sCodice] = 'x'") selects only the rowid and the key
    // column: SQLite then finds them in the index alone, without reading
    // the table's page, and the row is read by its rowid only when one of
    // its other fields is asked for (most look-ups want only the ID).
    CursorSetup deferred;
    std::string withRowid;
    if (IsLookupTail(shape.tail)) {
        deferred.rowStmt = TryPrepare("SELECT * FROM " + QuoteName(shape.table) + " WHERE _rowid_ = ?", {});
        if (deferred.rowStmt) {
            deferred.columns = DescribeColumns(deferred.rowStmt.get(), 0);
            for (std::size_t i = 0; i < deferred.columns.size() && deferred.keyColumn < 0; ++i)
                if (deferred.columns[i].autoIncrement) deferred.keyColumn = static_cast<int>(i);
            const std::string key =
                deferred.keyColumn < 0
                    ? std::string()
                    : ", " + QuoteName(deferred.columns[static_cast<std::size_t>(deferred.keyColumn)].name);
            withRowid = "SELECT _rowid_" + key + " FROM " + QuoteName(shape.table) + rest;
        }
        if (!withRowid.empty() && !FoundInOneColumnIndex(withRowid)) {
            deferred = CursorSetup{};
            withRowid.clear();
        }
    }
    // The rowid comes first: it serves DeleteCurrent and the position.
    if (withRowid.empty()) withRowid = "SELECT _rowid_, * FROM " + QuoteName(shape.table) + rest;
    std::vector<std::string> literals;
    const std::string key = Parameterize(withRowid, literals);
    if (auto cursor = LeaseSelect(key, literals)) return cursor;

    CursorSetup setup = std::move(deferred);
    setup.table = shape.table;
    setup.updatable = !readOnly_;
    setup.stmt = TryPrepare(key, literals);
    const bool cacheable = setup.stmt != nullptr;
    if (!setup.stmt && !setup.rowStmt) setup.stmt = TryPrepare(withRowid, {});
    setup.rowidFirst = setup.stmt != nullptr;
    if (!setup.stmt) {
        // A table WITHOUT ROWID, or an error that the plain form reports
        // with the statement as the caller wrote it.
        setup.rowStmt.reset();
        setup.keyColumn = -1;
        setup.stmt = Prepare("SELECT * FROM " + QuoteName(shape.table) + rest, shape.table);
    }
    if (!setup.rowStmt) setup.columns = DescribeColumns(setup.stmt.get(), setup.rowidFirst ? 1 : 0);
    if (cacheable) {
        // The compiled statements go back to the cache when the cursor ends.
        auto& entry = selects_[key];
        entry.columns = std::make_shared<const std::vector<FieldInfo>>(std::move(setup.columns));
        entry.keyColumn = setup.keyColumn;
        entry.table = setup.table;
        entry.leased = true;
        entry.stmt.reset();
        entry.rowStmt.reset();
        setup.sharedColumns = entry.columns;
        setup.cacheKey = key;
        if (rawShape) shapes_[*rawShape] = key;
    }
    return std::make_unique<SqliteCursor>(shared_from_this(), std::move(setup));
}

bool SqliteConnection::FoundInOneColumnIndex(const std::string& sql) {
    // SQLite's plan for it: "SEARCH t USING COVERING INDEX name (F=?)".
    // An index of that one field keeps equal values in rowid order, the
    // order in which a statement selecting every field gives its rows
    // whether it searches the same index or reads the whole table.
    StmtHandle plan = TryPrepare("EXPLAIN QUERY PLAN " + sql, {});
    if (!plan) return false;
    std::string index;
    int steps = 0;
    while (sqlite3_step(plan.get()) == SQLITE_ROW) {
        const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan.get(), 3));
        const std::string_view text = detail ? detail : "";
        constexpr std::string_view kCovering = "USING COVERING INDEX ";
        const std::size_t at = text.find(kCovering);
        const std::size_t end = at == std::string_view::npos ? at : text.find(" (", at + kCovering.size());
        if (++steps > 1 || text.rfind("SEARCH ", 0) != 0 || end == std::string_view::npos) return false;
        index = std::string(text.substr(at + kCovering.size(), end - at - kCovering.size()));
    }
    if (index.empty()) return false;
    StmtHandle columns = TryPrepare("SELECT count(*) FROM pragma_index_info(?)", {index});
    return columns && sqlite3_step(columns.get()) == SQLITE_ROW && sqlite3_column_int(columns.get(), 0) == 1;
}

StmtHandle SqliteConnection::TryPrepare(const std::string& sql, const std::vector<std::string>& literals) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK || !raw) {
        sqlite3_finalize(raw);
        return nullptr;
    }
    for (std::size_t i = 0; i < literals.size(); ++i)
        sqlite3_bind_text(raw, static_cast<int>(i + 1), literals[i].data(), static_cast<int>(literals[i].size()),
                          SQLITE_TRANSIENT);
    return StmtHandle(raw);
}

std::vector<FieldInfo> SqliteConnection::DescribeColumns(sqlite3_stmt* stmt, int offset) {
    // From the declared types and, for a column of a table, its schema.
    const int count = sqlite3_column_count(stmt) - offset;
    std::vector<FieldInfo> columns;
    columns.reserve(static_cast<std::size_t>(std::max(count, 0)));
    int primaryKeys = 0;
    int integerKey = -1;
    for (int i = 0; i < count; ++i) {
        FieldInfo info;
        info.name = SchemaName(sqlite3_column_name(stmt, i + offset));
        const char* declared = sqlite3_column_decltype(stmt, i + offset);
        const DeclaredType type = MapDeclaredType(declared ? declared : "");
        info.type = type.type;
        info.size = type.size;
        const char* origin = sqlite3_column_origin_name(stmt, i + offset);
        const char* originTable = sqlite3_column_table_name(stmt, i + offset);
        const char* dbName = sqlite3_column_database_name(stmt, i + offset);
        const char *dataType = nullptr, *collation = nullptr;
        int notNull = 0, primaryKey = 0, autoInc = 0;
        if (origin && originTable &&
            sqlite3_table_column_metadata(db_.get(), dbName, originTable, origin, &dataType, &collation, &notNull,
                                          &primaryKey, &autoInc) == SQLITE_OK) {
            info.required = notNull != 0;
            info.autoIncrement = autoInc != 0;
            primaryKeys += primaryKey != 0;
            if (primaryKey && dataType && text::AsciiLower(dataType) == "integer") integerKey = i;
        }
        columns.push_back(std::move(info));
    }
    // An INTEGER PRIMARY KEY is the rowid: SQLite assigns it on save even
    // without the AUTOINCREMENT keyword.
    if (primaryKeys == 1 && integerKey >= 0) columns[static_cast<std::size_t>(integerKey)].autoIncrement = true;
    return columns;
}

void SqliteConnection::ReturnStatement(const std::string& key, StmtHandle stmt, StmtHandle rowStmt) {
    auto it = selects_.find(key);
    if (it == selects_.end()) return;
    sqlite3_reset(stmt.get());
    if (rowStmt) sqlite3_reset(rowStmt.get());
    it->second.rowStmt = std::move(rowStmt);
    it->second.stmt = std::move(stmt);
    it->second.leased = false;
}

long long SqliteConnection::Execute(const std::string& sql) {
    if (readOnly_) ThrowReadOnly(path_);
    SendSaves();
    const std::string table = MainTable(sql).value_or("");
    const std::string translated = TranslateSql(sql, TextColumnsOf(table));
    StmtHandle stmt = Prepare(translated, table);
    if (FirstWordIs(translated, {"SELECT", "WITH"}) && sqlite3_stmt_readonly(stmt.get()))
        Raise(SelectInExecuteError(path_));

    BeginWrite(table);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) RaiseLast(rc, table, translated);
    const long long changed = sqlite3_changes(db_.get());
    stmt.reset();
    if (FirstWordIs(translated, {"CREATE", "DROP", "ALTER"})) {
        columns_.clear();
        selects_.clear();
        shapes_.clear();
    }
    EndWrite();
    return changed;
}

void SqliteConnection::BeginWrite(const std::string& table) {
    if (readOnly_) ThrowReadOnly(path_);
    if (inTransaction_) {
        if (!sqlite3_get_autocommit(db_.get())) return;
        // SQLite rolled the batch back after an error the caller went past:
        // say so before writing anything more.
        Commit();
    }
    ExecSimple("BEGIN", table);
    inTransaction_ = true;
}

void SqliteConnection::EndWrite(int writes) {
    pendingWrites_ += writes;
    if (pendingWrites_ >= kCommitEvery && !bulkLoad_) Commit();
}

void SqliteConnection::QueueSave(const std::string& table, std::shared_ptr<const std::vector<FieldInfo>> columns,
                                 std::vector<std::optional<Variant>>&& values) {
    if (!batch_.Accepts(table, values)) SendSavesBeforeRecord();
    else if (batch_.Full()) CountingThisRecord([this] { batch_.SendInBackground(); });
    batch_.Add(table, std::move(columns), std::move(values));
}

void SqliteConnection::SendSavesBeforeRecord() {
    CountingThisRecord([this] { SendSaves(); });
}

template <class Send>
void SqliteConnection::CountingThisRecord(Send send) {
    try {
        send();
    } catch (Error& e) {
        if (e.RecordsAfter()) e.SetRecordsAfter(*e.RecordsAfter() + 1);
        throw;
    }
}

void SqliteConnection::ExecSimple(const char* sql, const std::string& table) {
    const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw LastError(db_.get(), rc, {path_, table, sql});
}

void SqliteConnection::Commit() {
    const int pending = pendingWrites_;
    pendingWrites_ = 0;
    if (!inTransaction_) return;
    inTransaction_ = false;
    // SQLite rolls a transaction back by itself after some failures (disk
    // full, I/O error, no memory): the writes since the last commit are gone.
    if (sqlite3_get_autocommit(db_.get())) {
        if (pending > 0 || lastFailure_)
            throw LostWritesError(lastFailure_ ? *lastFailure_ : TranslateError(SQLITE_ABORT, "rolled back", {path_, {}, {}}));
        return;
    }
    const int rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        lastFailure_.reset();
        return;
    }
    const Error failure = LastError(db_.get(), rc, {path_, {}, "COMMIT"});
    // A COMMIT refused (busy, locked) leaves the transaction open; it is
    // rolled back so that the database and the run's report agree.
    if (!sqlite3_get_autocommit(db_.get())) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw LostWritesError(failure);
}

Error SqliteConnection::LostWritesError(const Error& cause) {
    lastFailure_.reset();
    return Error(cause.Number(),
                 cause.Description() +
                     " Le modifiche non ancora salvate definitivamente nel database sono state annullate.",
                 cause.Source(), cause.NativeText(), true);
}

void SqliteConnection::Flush() {
    if (holdCommits_) return;
    try {
        SendSaves();
    } catch (const Error& e) {
        // A refusal has committed the records before it; an error of the
        // batch's own commit has nothing left to commit.
        Commit();
        throw;
    }
    Commit();
}

void SqliteConnection::Rollback() noexcept {
    batch_.Discard();
    pendingWrites_ = 0;
    lastFailure_.reset();
    if (inTransaction_ && !sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
}

void SqliteConnection::Raise(const Error& error) {
    if (inTransaction_ && sqlite3_get_autocommit(db_.get())) lastFailure_ = error;
    Commit();
    throw error;
}

void SqliteConnection::RaiseLast(int rc, const std::string& table, const std::string& sql) {
    // Read the message before the commit replaces it.
    Error error = LastError(db_.get(), rc, {path_, table, sql});
    Raise(error);
}

}  // namespace core::sqlite
