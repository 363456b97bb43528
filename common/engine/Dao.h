#pragma once
// The data-access objects the programs use: data controls, databases,
// recordsets and fields, with the names and behaviour the windows and the
// runs rely on. Driver work is delegated to the Connection and Cursor of
// the driver that the Engine chose.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/Variant.h"

namespace core {

class Recordset;

// A handle on one field of a recordset, by position. Cheap to copy.
class Field {
public:
    Field(Recordset* owner, int index) : owner_(owner), index_(index) {}

    const std::string& Name() const;
    DataType Type() const;
    int Size() const;
    // The current record's value, or the new record's while AddNew is pending.
    // Raises 3021 when there is no current record.
    Variant Value() const;
    // Only between AddNew and Update: converts the value to the field's type
    // (3421 when it cannot, 3163 when a text is longer than the field).
    void SetValue(const Variant& value);
    void SetValue(Variant&& value);
    Field& operator=(const Variant& value) {
        SetValue(value);
        return *this;
    }
    Field& operator=(Variant&& value) {
        SetValue(std::move(value));
        return *this;
    }

private:
    Recordset* owner_;
    int index_;
};

class FieldList {
public:
    explicit FieldList(Recordset* owner) : owner_(owner) {}
    int Count() const;
    Field Item(int index) const;            // 3265 when out of range
    Field Item(std::string_view name) const;  // case-insensitive; 3265 when missing
    Field operator[](std::string_view name) const { return Item(name); }
    Field operator[](int index) const { return Item(index); }
    // Position of a field, or -1; lets hot loops resolve names once.
    int IndexOf(std::string_view name) const;

private:
    Recordset* owner_;
};

class Recordset {
public:
    Recordset(std::shared_ptr<Connection> connection, std::unique_ptr<Cursor> cursor, bool readOnly);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool Eof() const;
    void MoveNext();             // 3021 at the end
    double PercentPosition() const;
    FieldList Fields() { return FieldList(this); }

    void AddNew();               // starts a new record; an unsaved one is dropped
    void Update();               // saves the new record; 3020 without AddNew
    void CancelUpdate();
    void Delete();               // deletes the current record; 3021 at the end
    // Commits what this recordset saved or deleted and raises when that
    // fails; further use raises 3420. Destroying an open recordset commits
    // nothing.
    void Close();
    bool IsOpen() const { return cursor_ != nullptr; }

    // Used by Field and FieldList.
    const std::vector<FieldInfo>& Columns() const;
    int ColumnIndex(std::string_view name) const;
    Variant GetValue(int index) const;
    void SetValue(int index, const Variant& value);
    void SetValue(int index, Variant&& value);

private:
    void RequireOpen() const;

    std::shared_ptr<Connection> connection_;
    std::unique_ptr<Cursor> cursor_;
    bool readOnly_;
    bool editing_ = false;
    bool wrote_ = false;
    bool currentDeleted_ = false;
    std::vector<std::optional<Variant>> buffer_;
    // Built on the first look-up by name: many recordsets (one per code
    // look-up) are read by position only.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
    };
    mutable std::unordered_map<std::string, int, NameHash, std::equal_to<>> exactIndex_;
    mutable std::unordered_map<std::string, int> foldedIndex_;
    mutable std::vector<char> firstOfName_;  // per field: no field before it has its exact name
    mutable std::size_t nextGuess_ = 0;
    mutable bool indexed_ = false;
};

struct TableDef {
    std::string Name;
};

class Database {
public:
    Database(std::shared_ptr<Connection> connection, bool readOnly);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // One action statement ("DELETE FROM [T]", "UPDATE ..."); 3027 on a
    // read-only database.
    void Execute(const std::string& sql);
    long long RecordsAffected() const { return recordsAffected_; }
    std::vector<TableDef> TableDefs();
    // A table name or a SELECT statement.
    std::unique_ptr<Recordset> OpenRecordset(const std::string& source);
    // Commits everything saved so far on this database's connection;
    // raises when the commit fails (see Error::UncommittedLost).
    void Commit();
    // Commits (raising on failure) and lets go of the connection.
    void Close();
    bool IsOpen() const { return connection_ != nullptr; }
    // See Connection::SetBulkLoad.
    void SetBulkLoad(bool on);
    // See Connection::SetBatchedSaves.
    void SetBatchedSaves(bool on);
    // See Connection::Verify.
    void Verify(const std::string& table);
    std::string Name() const;
    bool ReadOnly() const { return readOnly_; }
    const std::shared_ptr<Connection>& RawConnection() const { return connection_; }

private:
    void RequireOpen() const;

    std::shared_ptr<Connection> connection_;
    bool readOnly_;
    long long recordsAffected_ = 0;
};

// Batched saves (Connection::SetBatchedSaves) on a database's connection
// for as long as it lives: for a copy whose errors say which record was
// refused (Error::RecordsAfter). The records still waiting at the end are
// saved by whatever next uses the connection, at the latest its commit.
class BatchedSaves {
public:
    explicit BatchedSaves(Database& database) : connection_(database.RawConnection()) {
        if (connection_) connection_->SetBatchedSaves(true);
    }
    ~BatchedSaves() {
        if (connection_) connection_->SetBatchedSaves(false);
    }
    BatchedSaves(const BatchedSaves&) = delete;
    BatchedSaves& operator=(const BatchedSaves&) = delete;

private:
    std::shared_ptr<Connection> connection_;
};

// The engine's default workspace.
class Workspace {
public:
    static std::unique_ptr<Database> OpenDatabase(const std::string& path, bool exclusive,
                                                  bool readOnly, const std::string& connect);
    // The same on a connection of its own, which no other database or data
    // control shares and which FlushAll does not reach: for reading on a
    // thread of its own.
    static std::unique_ptr<Database> OpenPrivateDatabase(const std::string& path, bool exclusive,
                                                         bool readOnly, const std::string& connect);
};

// A data control: connect text, database file and record source, and after
// Refresh one open recordset, first record current.
class DataControl {
public:
    DataControl() = default;
    ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    std::string Connect = "Access 2000;";
    std::string DatabaseName;
    bool Exclusive = false;
    bool ReadOnly = false;
    int RecordsetType = 1;  // 1 dynaset
    std::string RecordSource;

    // Opens the database (reusing the open one when file and connect text
    // have not changed) and the record source. Whatever was open before is
    // closed first (committing what it saved, raising when that fails), so
    // a failed refresh never leaves an old result behind.
    void Refresh();
    core::Recordset& Recordset();  // 91 when nothing is open
    core::Database& Database();    // 91 when nothing is open
    bool HasRecordset() const { return recordset_ != nullptr; }
    // Closes the recordset and the database, committing first; raises when
    // the commit fails (everything is closed all the same).
    void Close();

private:
    std::unique_ptr<core::Database> database_;
    std::unique_ptr<core::Recordset> recordset_;
    std::string openedPath_;
    std::string openedConnect_;
    bool openedExclusive_ = false;
    bool openedReadOnly_ = false;
};

// Whether a record source is a statement rather than a table name.
bool LooksLikeSql(std::string_view source);
// "SELECT * FROM [" + table + "]".
std::string SelectAllFrom(std::string_view table);
// The number of records in a table, counted by the database.
long long CountRows(Database& database, const std::string& table);

}  // namespace core
