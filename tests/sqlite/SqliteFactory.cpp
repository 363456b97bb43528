#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

#include "common/engine/sqlite/SqliteTools.h"
#include "tests/sqlite/DatabaseFactory.h"

namespace {

// Text columns compare without regard to case, as the sample structures
// declare them, so the unique index on sCodice also serves look-ups.
constexpr const char* kSchema = R"sql(
CREATE TABLE tblAree (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  sCodice TEXT(10) COLLATE NOCASE NOT NULL,
  sDescrizione TEXT(50) COLLATE NOCASE);
CREATE UNIQUE INDEX ixAreeCodice ON tblAree (sCodice);
CREATE TABLE tblTipi (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  sTesto TEXT(50) COLLATE NOCASE, mNote MEMO, nLong LONG, nInt SMALLINT, nByte BYTE,
  nSingle SINGLE, nDouble DOUBLE, nValuta CURRENCY, dData DATETIME, bFlag YESNO, oDati BLOB);
CREATE TABLE tblNomi (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  sNome TEXT(30) COLLATE NOCASE, sCognome TEXT(30) COLLATE NOCASE,
  sCompleto TEXT(61) COLLATE NOCASE);
)sql";

std::string SqlLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

class SqliteFactory : public DatabaseFactory {
public:
    std::string Name() const override { return "SQLite"; }

    TestDatabase Create(const std::filesystem::path& dir, const std::string& password) override {
        TestDatabase db;
        db.path = (dir / "prova.db").string();
        db.connect = password.empty() ? ";" : ";PWD=" + password;
        core::sqlite::CreateDatabase(db.path, kSchema, password);
        password_ = password;
        return db;
    }

    long long CountRowsOutside(const TestDatabase& db, const std::string& table) override {
        const std::string script = db.path + ".count.sql";
        {
            std::ofstream out(script);
            if (!password_.empty())
                out << ".output /dev/null\nPRAGMA key = " << SqlLiteral(password_) << ";\n.output stdout\n"
                    << "PRAGMA cipher_compatibility = 3;\n";
            out << "SELECT count(*) FROM \"" << table << "\";\n";
        }
        const std::string output = RunCommand("sqlcipher -batch '" + db.path + "' < '" + script + "'");
        std::filesystem::remove(script);
        return std::stoll(output);
    }

private:
    std::string password_;
};

}  // namespace

std::vector<std::shared_ptr<DatabaseFactory>> WritableDatabaseFactories() {
    return {std::make_shared<SqliteFactory>(), MakePostgresFactory()};
}

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("agency-sqlite-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string RunCommand(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::string output;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    return output;
}
