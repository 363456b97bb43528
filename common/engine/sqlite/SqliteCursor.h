#pragma once
// A forward-only stream over one prepared statement. Values are read from
// SQLite only when asked for, and only the current row is kept, so memory
// does not depend on the size of the table.
//
// A cursor over "SELECT * FROM <table>" (with an optional WHERE / ORDER BY)
// also selects the rowid, which serves DeleteCurrent and the position
// estimate, and can insert into its table: one prepared INSERT per set of
// assigned columns, kept for the cursor's life, or, when the connection
// batches saves, the record joins its batch (SqliteSaveBatch.h). A cursor
// waits for a batch being saved before it steps or reads a value.
//
// What a read verifies: SQLite checks each page as it reads it (page kind,
// cell bounds, overflow chains of the stated length; under SQLCipher each
// page's HMAC as well), and any step that does not end in a row or at the
// true end raises its error (SQLITE_CORRUPT is 3049): a damaged page never
// ends the table early. No integrity check runs on open.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/sqlite/SqliteHandles.h"

namespace core::sqlite {

class SqliteConnection;

// A row's position in percent from its rowid within the smallest and the
// largest rowid of its table: the estimate of Percent().
double RowidPercent(long long rowid, long long low, long long high);

struct CursorSetup {
    StmtHandle stmt;
    std::string table;        // the table written to; empty when not writable
    bool rowidFirst = false;  // the statement's first column is the rowid
    bool updatable = false;
    std::vector<FieldInfo> columns;
    // Set instead of columns when the description is shared with a cache.
    std::shared_ptr<const std::vector<FieldInfo>> sharedColumns;
    // Smallest and largest rowid of the table, for Percent().
    std::optional<std::pair<long long, long long>> rowidRange;
    std::string cacheKey;  // non-empty: the statement goes back to the connection's cache
    // Set for a look-up: stmt selects the rowid and, at keyColumn (-1:
    // none), the key column only; the rest of a row is read by this
    // statement ("SELECT * ... WHERE _rowid_ = ?") when first asked for.
    StmtHandle rowStmt;
    int keyColumn = -1;
};

class SqliteCursor : public Cursor {
public:
    SqliteCursor(std::shared_ptr<SqliteConnection> connection, CursorSetup setup);
    ~SqliteCursor() override;

    const std::vector<FieldInfo>& Columns() const override { return *columns_; }
    bool AtEnd() const override { return atEnd_; }
    void Next() override;
    const Variant& Get(int column) const override;
    double Percent() const override;

    bool Updatable() const override { return updatable_; }
    void Insert(const std::vector<std::optional<Variant>>& values) override;
    void InsertTaking(std::vector<std::optional<Variant>>&& values) override;
    void DeleteCurrent() override;

private:
    struct InsertStatement {
        std::vector<char> assigned;  // per column: 1 when the INSERT sets it
        std::vector<int> columns;    // the assigned columns, in order
        StmtHandle stmt;
    };

    void Step();
    // The current row's statement for a look-up's other fields, stepped to
    // the row on first use.
    sqlite3_stmt* LoadRow() const;
    // Raises what SQLite would raise for one of the values, at this record.
    void CheckStorable(const std::vector<std::optional<Variant>>& values);
    InsertStatement& InsertFor(const std::vector<std::optional<Variant>>& values);

    std::shared_ptr<SqliteConnection> connection_;
    StmtHandle stmt_;
    std::string table_;
    int offset_;  // 1 when the rowid comes first
    bool updatable_;
    std::shared_ptr<const std::vector<FieldInfo>> columns_;
    mutable std::optional<std::pair<long long, long long>> rowidRange_;
    mutable bool rangeLoaded_ = false;
    std::string cacheKey_;
    StmtHandle rowStmt_;
    int keyColumn_;
    mutable bool rowLoaded_ = false;

    bool atEnd_ = false;
    long long rowid_ = 0;
    long long rowsRead_ = 0;
    mutable std::vector<Variant> row_;
    mutable std::vector<char> loaded_;

    std::vector<InsertStatement> inserts_;
    StmtHandle delete_;
    bool wrote_ = false;
};

}  // namespace core::sqlite
