#pragma once
// A connection to a server database through unixODBC, in manual-commit
// mode: saved records are committed in implicit transactions, like the
// file databases, at the latest on Flush, on close and when an error is
// raised.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"
#include "common/engine/odbc/OdbcDialect.h"

namespace core::odbc {

class OdbcConnection : public Connection, public std::enable_shared_from_this<OdbcConnection> {
public:
    // connectString: the ODBC part of the connect text ("DSN=..;UID=..;PWD=..").
    OdbcConnection(const std::string& connectString, const std::string& password, bool readOnly);
    ~OdbcConnection() override;

    std::vector<std::string> TableNames() override;
    std::unique_ptr<Cursor> OpenCursor(const std::string& sql) override;
    long long Execute(const std::string& sql) override;
    void Flush() override;
    bool ReadOnly() const override { return readOnly_; }
    std::string Name() const override { return name_; }

    // Used by the cursors.
    SQLHDBC Dbc() const { return dbc_.get(); }
    const Dialect& SqlDialect() const { return dialect_; }
    const std::string& Password() const { return password_; }
    std::string Translate(const std::string& sql, const std::string& table);
    // The columns of a table as the server describes them (cached).
    const std::vector<FieldInfo>& TableColumns(const std::string& table);
    std::vector<std::string> PrimaryKey(const std::string& table);
    StmtHandle NewStatement();
    // A write is about to happen / has happened: keeps the implicit
    // transaction's bookkeeping.
    void NoteWrite();
    // After a failed write: commits what was saved before it, so that an
    // error never takes earlier records with it.
    void CommitAfterError();

private:
    void Connect(const std::string& connectString);
    void Commit();

    EnvHandle env_;
    DbcHandle dbc_;
    std::string password_;
    std::string name_;
    bool readOnly_;
    Dialect dialect_;
    bool postgres_ = false;
    long pendingWrites_ = 0;
    std::map<std::string, std::vector<FieldInfo>> columnCache_;
};

}  // namespace core::odbc
