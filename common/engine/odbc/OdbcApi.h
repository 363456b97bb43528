#pragma once
// Owners of the ODBC handles, text conversion between UTF-8 and the
// driver's UTF-16, and the one place where a failed ODBC call becomes an
// engine error with the engine's number.

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

namespace core::odbc {

// A handle of one ODBC type, freed when the owner goes.
template <SQLSMALLINT HandleType>
class Handle {
public:
    Handle() = default;
    explicit Handle(SQLHANDLE h) : handle_(h) {}
    ~Handle() { Reset(); }
    Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = SQL_NULL_HANDLE; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = SQL_NULL_HANDLE;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    void Reset() noexcept {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(HandleType, handle_);
        handle_ = SQL_NULL_HANDLE;
    }

private:
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

using EnvHandle = Handle<SQL_HANDLE_ENV>;
using DbcHandle = Handle<SQL_HANDLE_DBC>;
using StmtHandle = Handle<SQL_HANDLE_STMT>;

std::u16string ToWide(std::string_view utf8);
std::string FromWide(const SQLWCHAR* text, std::size_t length);

// What went wrong, as the driver reported it.
struct Diagnostic {
    std::string sqlState;  // first record's SQLSTATE
    long nativeError = 0;
    std::string message;   // all records, the password removed
};
Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& password);

// The engine's number for a SQLSTATE (3031 login refused, 3078 missing
// table, 3265 missing column, 3022 duplicate key, 3314 Null in a required
// field, 3163 text too long, 3421 value not convertible, 3146 otherwise).
int EngineNumberFor(const std::string& sqlState, const std::string& message);

// Raises the engine error for a failed call; `what` says in Italian what
// was being done ("apertura della tabella 'T'").
[[noreturn]] void ThrowDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what,
                                  const std::string& password);

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Removes the value of every PWD= (and the password itself) from a text
// that may be shown or logged.
std::string HidePassword(std::string text, const std::string& password);

}  // namespace core::odbc
