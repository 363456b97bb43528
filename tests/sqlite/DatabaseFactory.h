#pragma once
// What the engine conformance tests need from a writable driver: a fresh
// database holding the test tables, and a way to look into it that does
// not go through the engine (so that "it is in the file" means it).
//
// The test tables, in each driver's own terms:
//   tblAree  ID counter key; sCodice text(10) required, unique, compared
//            without regard to case and indexed; sDescrizione text(50)
//   tblTipi  ID counter key; sTesto text(50); mNote memo; nLong long;
//            nInt integer; nByte byte; nSingle single; nDouble double;
//            nValuta currency; dData date; bFlag boolean; oDati long binary
//   tblNomi  ID counter key; sNome text(30); sCognome text(30);
//            sCompleto text(61)

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct TestDatabase {
    std::string path;     // DatabaseName / OpenDatabase path
    std::string connect;  // the connect text that opens it
};

class DatabaseFactory {
public:
    virtual ~DatabaseFactory() = default;
    virtual std::string Name() const = 0;
    // A new database with the test tables in dir; password may be empty.
    virtual TestDatabase Create(const std::filesystem::path& dir, const std::string& password) = 0;
    // Rows of a table, read without the engine (another process).
    virtual long long CountRowsOutside(const TestDatabase& db, const std::string& table) = 0;
    // Why a test of the suite (its name without the driver) cannot apply to
    // this driver; empty when it applies. A skipped test says why.
    virtual std::string SkipReason(const std::string& /*test*/) const { return {}; }
};

// One factory per writable driver; the conformance suite runs over all.
std::vector<std::shared_ptr<DatabaseFactory>> WritableDatabaseFactories();

// The server variant (tests/odbc/PostgresFactory.cpp).
std::shared_ptr<DatabaseFactory> MakePostgresFactory();

// Test names and messages show the driver, never the object's address.
inline void PrintTo(const std::shared_ptr<DatabaseFactory>& factory, std::ostream* os) {
    *os << (factory ? factory->Name() : std::string("(none)"));
}

// A folder of its own under the system's temporary folder, removed with
// everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs a shell command and returns what it printed on standard output.
std::string RunCommand(const std::string& command);
