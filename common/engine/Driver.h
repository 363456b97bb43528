#pragma once
// What a database driver gives the engine. Callers never see these classes:
// they work through the data-access objects of Dao.h, which pick a driver
// through the Engine (Engine.h) from the connect text and the file itself.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/engine/Variant.h"

namespace core {

// The engine's type codes, as the application's database stores them.
enum class DataType : int {
    Boolean = 1,
    Byte = 2,
    Integer = 3,  // 16-bit
    Long = 4,     // 32-bit
    Currency = 5,
    Single = 6,
    Double = 7,
    Date = 8,
    Binary = 9,
    Text = 10,
    LongBinary = 11,  // OLE object
    Memo = 12,
    Guid = 15,
    BigInt = 16,
    VarBinary = 17,
    Char = 18,
    Numeric = 19,
    Decimal = 20,
    Float = 21,
    Time = 22,
    TimeStamp = 23,
};

struct FieldInfo {
    std::string name;
    DataType type = DataType::Text;
    // Declared length in characters for text fields (0 for a memo or an
    // unlimited text); the storage size in bytes for the other types, as
    // the engine reports it (Long 4, Double 8, Date 8...).
    int size = 0;
    bool required = false;       // NOT NULL
    bool autoIncrement = false;  // counter assigned by the database on save
};

// The connect text of a data control or of OpenDatabase, e.g. ";PWD=secret",
// "Access 2000;", "dBASE IV;", "Text;", "Excel 8.0;PWD=x",
// "ODBC;DSN=name;UID=u;PWD=p".
struct ConnectText {
    std::string raw;       // as given
    std::string driver;    // first segment, trimmed; empty: chosen by the file
    std::string password;  // value of PWD=, empty when absent
    // Every other key=value segment, keys upper-cased (ODBC keeps them all in raw).
    std::map<std::string, std::string> options;

    static ConnectText Parse(std::string_view text);
};

struct OpenRequest {
    std::string path;  // the database file, or for ODBC what DatabaseName holds
    ConnectText connect;
    bool exclusive = false;
    bool readOnly = false;
};

// A forward-only stream of rows over one statement; the first row is current
// after construction. Memory must not grow with the number of rows.
class Cursor {
public:
    virtual ~Cursor() = default;

    virtual const std::vector<FieldInfo>& Columns() const = 0;
    virtual bool AtEnd() const = 0;
    // Preconditions for both: !AtEnd(). The engine checks them.
    virtual void Next() = 0;
    virtual const Variant& Get(int column) const = 0;
    // Position of the current row in percent (0 to 100); an estimate is fine.
    virtual double Percent() const = 0;

    // Writing. Read-only drivers keep these defaults, which raise the
    // engine's read-only error.
    virtual bool Updatable() const { return false; }
    // One entry per column: std::nullopt means "not assigned", so the column
    // takes its default. Values are already converted to the column's type
    // (see FieldConvert.h). Raises 3022 for a duplicate key, 3314 for a Null
    // in a required column.
    virtual void Insert(const std::vector<std::optional<Variant>>& values);
    // The same where the caller gives the values up: a driver that keeps
    // them for later takes them over. Until it raises nothing, they are
    // left as they were.
    virtual void InsertTaking(std::vector<std::optional<Variant>>&& values) { Insert(values); }
    // Deletes the current row; the cursor stays on it until Next().
    virtual void DeleteCurrent();
};

// Copies whole tables from another database into this one by a statement
// of the database itself, where the driver can do so with exactly the
// values, rows and order that saving record by record would give (see
// Connection::OpenTransfer).
class TableTransfer {
public:
    struct Request {
        std::string table;        // the table written to
        std::string sourceTable;  // the source's table; empty: the same name
        // Pairs of this database's column and the source's, by name.
        std::vector<std::pair<std::string, std::string>> columns;
        // Before each row is written, with the rows so far and the source's
        // position in percent; what it throws ends the copy, and the rows
        // this copy wrote are taken back before it reaches the caller.
        std::function<void(long long rows, double percent)> rowDone;
        // Set: every value goes through it on the way, as a copy that reads
        // the source's recordset and assigns the fields would do: called
        // with the pair's position in columns and the value as read, it
        // gives the value to assign (converted then to the field's type).
        // Values are not required to keep their stored form. What it
        // throws, like a value the field refuses, makes Copy answer nothing.
        std::function<Variant(std::size_t column, Variant value)> convert;
        // Set: the table is emptied first, within the copy, and this is
        // called with the rows deleted; taken back with the rows.
        std::function<void(long long rows)> emptied;
        // A stop (what rowDone throws) keeps what was written up to the row
        // it came at, that row included, as a stop between two records of
        // a record-by-record copy does; the rest of the source is passed
        // over unread by the conversion. Otherwise it is all taken back.
        bool stopKeepsRows = false;
    };
    virtual ~TableTransfer() = default;
    // Appends every source row in the source's order; returns how many.
    // Nothing when this copy cannot give the record-by-record result (a
    // value that saving would convert or refuse, a constraint or trigger
    // that fails, types that differ): the table is then as it was before
    // the call and the caller copies it record by record. Raises only what
    // cannot be taken back (the database dropped its pending writes).
    virtual std::optional<long long> Copy(const Request& request) = 0;
};

class Connection {
public:
    virtual ~Connection() = default;

    // Every table, system tables included, in the engine's own order.
    virtual std::vector<std::string> TableNames() = 0;
    // A SELECT statement in the programs' dialect: [bracketed] names, texts
    // in apostrophes with doubled apostrophes, text comparisons
    // case-insensitive. Raises 3078 for a missing table.
    virtual std::unique_ptr<Cursor> OpenCursor(const std::string& sql) = 0;
    // An action statement (DELETE, UPDATE, INSERT); returns the number of
    // records affected.
    virtual long long Execute(const std::string& sql) = 0;
    // Commits whatever the driver keeps in an implicit transaction, so that
    // everything saved so far is on disk.
    virtual void Flush() {}
    // For a database that a run fills from scratch and verifies before use
    // (the upgrade template): saved records are committed only when Flush
    // asks for it, not also every so many records. Nothing else changes.
    virtual void SetBulkLoad(bool /*on*/) {}
    // For a run that copies many records and is ready for a refusal that
    // comes late: saved records may wait and reach the database several at
    // a time, so that a refused record is raised by a later Update or by
    // the commit, with Error::RecordsAfter() counting the records given to
    // Update after it. Those are not saved; the ones before it are, exactly
    // as if each Update had saved its record. Off, each Update saves its
    // record or raises (a server connection works so always).
    virtual void SetBatchedSaves(bool /*on*/) {}
    virtual bool ReadOnly() const = 0;
    // Checks, as far as the format allows without reading every value, that
    // the table can be read to its end (pages inside the file, structures
    // intact), so that a run can refuse a damaged source before it writes
    // anything. Raises 3049 (damaged) or the table's open errors; a driver
    // whose reads are checked as they go keeps this default.
    virtual void Verify(const std::string& /*table*/) {}
    // The file or data source, for messages.
    virtual std::string Name() const = 0;
    // Set-based copies from source (opened by the same driver, with
    // password) into this database, for as long as the result lives;
    // nullptr where the driver has none for this pair of databases.
    virtual std::unique_ptr<TableTransfer> OpenTransfer(Connection& /*source*/, const std::string& /*password*/)
    {
        return nullptr;
    }
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual std::string Name() const = 0;
    // Whether this driver serves a connect text whose first segment is
    // driverText (already trimmed, compared case-insensitively), e.g. "dBASE IV".
    virtual bool HandlesDriverText(std::string_view driverText) const = 0;
    // For an empty driver text: whether the file's first bytes (up to 4 KB,
    // fewer for a short file) are this driver's format.
    virtual bool RecognisesHeader(std::string_view /*header*/) const { return false; }
    // Whether this driver is the fallback for an empty driver text when no
    // driver recognises the header (the embedded default).
    virtual bool IsDefault() const { return false; }
    // Opens or raises core::Error (3024 missing file, 3031 password, 3343
    // unrecognised format, ...).
    virtual std::shared_ptr<Connection> Open(const OpenRequest& request) = 0;
};

// Raises the engine's read-only error for a write on a read-only database.
[[noreturn]] void ThrowReadOnly(const std::string& databaseName);

}  // namespace core
