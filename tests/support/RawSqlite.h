#pragma once
// Reading a test's SQLite file straight through the library, past the
// engine: what the file really stores, storage classes included.

#include <sqlcipher/sqlite3.h>

#include <initializer_list>
#include <string>

namespace testsupport {

// The rows of each query, a line per row, every value in its text form
// followed by "|" (NULL for a Null); a query SQLite refuses gives its error.
inline std::string RawRows(const std::string& path, const std::string& key, std::initializer_list<const char*> queries) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (!key.empty()) {
        sqlite3_key(db, key.data(), static_cast<int>(key.size()));
        sqlite3_exec(db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
    }
    std::string out;
    for (const char* sql : queries) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) out += "<" + std::string(sqlite3_errmsg(db)) + ">";
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                out += std::string(text ? text : "NULL") + "|";
            }
            out += "\n";
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return out;
}

}  // namespace testsupport
