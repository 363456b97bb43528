#pragma once
// One exception type for every failure the programs report: engine errors
// (3031, 3078, 3265, ...) and the runtime's own (13, 94, 6, 32755, ...).
// The number is what the error handlers sort on; the description is the
// Italian text shown to the user and names the table, field or file; the
// driver's own message is kept apart for diagnostics and never shown raw.

#include <optional>
#include <stdexcept>
#include <string>

namespace core {

namespace err {
// Runtime errors.
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int InvalidUseOfNull = 94;
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int PathNotFound = 76;
constexpr int InvalidProcedureCall = 5;
constexpr int DialogCancel = 32755;
// Engine errors.
constexpr int ReservedError = 3000;
constexpr int InvalidArgument = 3001;
constexpr int CannotOpenFile = 3011;       // file missing or not readable
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFoundDb = 3024;       // database file not found
constexpr int ReadOnlyDatabase = 3027;     // cannot update: database or object is read-only
constexpr int BadPassword = 3031;
constexpr int FileInUse = 3045;
constexpr int DiskFull = 3026;          // not enough space on disk
constexpr int CannotOpenAnyMore = 3048;
constexpr int DiskIo = 3043;
constexpr int TableNotFound = 3078;
constexpr int TooFewParameters = 3061;
constexpr int CannotExecuteSelect = 3065;
constexpr int SyntaxError = 3075;          // syntax error in query expression
constexpr int SyntaxErrorSql = 3134;       // syntax error in an SQL statement
constexpr int FieldTooSmall = 3163;
constexpr int NotInstalledIsam = 3170;
constexpr int UpdateWithoutAddNew = 3020;
constexpr int ItemNotFound = 3265;
constexpr int NotADatabase = 3343;         // unrecognised database format
constexpr int NullInRequired = 3314;
constexpr int ConversionError = 3421;
constexpr int ObjectClosed = 3420;
constexpr int CorruptDatabase = 3049;      // database is corrupt or not a database
constexpr int ServerError = 3146;          // ODBC call failed
}  // namespace err

class Error : public std::runtime_error {
public:
    Error(int number, std::string description, std::string source = {},
          std::string nativeText = {}, bool uncommittedLost = false);

    int Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }
    // The library's own message (SQLite, libmdb, ODBC...), for logs and tests.
    const std::string& NativeText() const { return nativeText_; }
    // The database dropped the writes it had not yet committed: records a
    // run counted as saved since the last commit are not there.
    bool UncommittedLost() const { return uncommittedLost_; }
    // A record refused by a server, raised after later records were
    // already accepted (saves go to a server in batches): how many of those
    // there were; they are not saved either. The refused record is this
    // many before the last one accepted. Nothing for other errors.
    std::optional<long long> RecordsAfter() const { return recordsAfter_; }
    void SetRecordsAfter(long long count) { recordsAfter_ = count; }

private:
    int number_;
    std::string description_;
    std::string source_;
    std::string nativeText_;
    bool uncommittedLost_ = false;
    std::optional<long long> recordsAfter_;
};

}  // namespace core
