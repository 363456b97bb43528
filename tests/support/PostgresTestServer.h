#pragma once
// Access to the throwaway PostgreSQL server that scripts/pg-test-server.sh
// starts for the test run. Tests that need it call
// AGENCY_REQUIRE_POSTGRES(connect, "dbname"): it (re)creates the database
// with the version-5 structure and gives its ODBC connect text; without a
// server the test is skipped with a notice, except under CI, where a
// missing server is a failure.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace testsupport {

inline std::string PgConnectBase() {
    const char* connect = std::getenv("AGENCY_PG_CONNECT");
    return connect ? connect : "";
}

inline std::string PgValue(const std::string& key) {
    const std::string connect = PgConnectBase();
    const std::string needle = key + "=";
    const std::size_t pos = connect.find(needle);
    if (pos == std::string::npos) return {};
    const std::size_t end = connect.find(';', pos);
    return connect.substr(pos + needle.size(), end == std::string::npos ? std::string::npos : end - pos - needle.size());
}

// Runs psql against the test server; true on success.
inline bool RunPsql(const std::string& database, const std::string& arguments) {
    const std::string command = "PGPASSWORD='" + PgValue("PWD") + "' psql -q -X -v ON_ERROR_STOP=1 -h " +
                                PgValue("SERVER") + " -p " + PgValue("PORT") + " -U " + PgValue("UID") + " -d " +
                                database + " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A fresh database holding the version-5 structure (schemaFile relative to
// the repository); its ODBC connect text, or nothing without a server.
inline std::optional<std::string> FreshPostgresDatabase(const std::string& database, const std::string& schemaFile) {
    if (PgConnectBase().empty()) return std::nullopt;
    // CREATE DATABASE fails while another session copies the template
    // (tests run in parallel): tried again a few times.
    bool created = false;
    for (int attempt = 0; attempt < 5 && !created; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        created = RunPsql("postgres", "-c 'DROP DATABASE IF EXISTS \"" + database + "\" WITH (FORCE)'") &&
                  RunPsql("postgres", "-c 'CREATE DATABASE \"" + database + "\"'");
    }
    if (!created) return std::nullopt;
    if (!schemaFile.empty() && !RunPsql(database, "-f '" + schemaFile + "'")) return std::nullopt;
    std::string connect = PgConnectBase();
    const std::size_t pos = connect.find("DATABASE=");
    const std::size_t end = connect.find(';', pos);
    connect.replace(pos, (end == std::string::npos ? connect.size() : end) - pos, "DATABASE=" + database);
    return connect;
}

inline bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

}  // namespace testsupport

#define AGENCY_REQUIRE_POSTGRES(var, database, schema)                                                  \
    std::string var;                                                                                    \
    do {                                                                                                \
        auto fresh_ = ::testsupport::FreshPostgresDatabase(database, schema);                     \
        if (!fresh_) {                                                                                  \
            if (::testsupport::UnderCi()) FAIL() << "no PostgreSQL test server under CI";           \
            GTEST_SKIP() << "NOTICE: no PostgreSQL test server (start one with scripts/pg-test-server.sh)"; \
        }                                                                                               \
        var = *fresh_;                                                                                  \
    } while (0)
