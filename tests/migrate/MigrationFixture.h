#pragma once
// A program folder for Varnel's tests: its INI file, an empty encrypted
// version-5 database built from the sample structure and a small encrypted
// version-4 archive built from the sample version-4 structure plus the rows
// each test needs. Destination tables are read back through the engine.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"

namespace migratetest {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string V5Script() { return ReadText(std::string(AGENCY_SAMPLES) + "/schema/v5.sql"); }
inline std::string V4Script() { return ReadText(std::string(AGENCY_SAMPLES) + "/v4gen/v4_schema.sql"); }

// Replaces the first occurrence of `from` in `text`; fails the test when absent.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "not in the script: " << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

using Row = std::map<std::string, core::Variant>;

inline constexpr const char* kDestinationKey = "chiave5";  // hex 63686961766535
inline constexpr const char* kArchiveName = "archivio4.sqlite";

class MigrationFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString();
        std::filesystem::create_directories(folder_ + "/Dati");
        core::SetProgramFolderForTesting(folder_);
        core::InitPrefs("Varnel", "Varnel.ini");
        WriteIni(DefaultIni());
    }
    void TearDown() override {
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        core::SetProgramFolderForTesting({});
    }

    static std::string DefaultIni() {
        return "[CFG]\r\nAPPNAME=Agenzia Prova\r\nDBPATH=Dati\\\r\nDBFILE=archivio5.db\r\n"
               "DBPWD=63686961766535\r\nPREFILE=ARCHIVIO4.sqlite\r\nPREPWD=vup\r\nFORMATS=2\r\n"
               "[FORMATS]\r\n1=Microsoft Access,,.mdb\r\n2=SQLite,,.sqlite\r\n";
    }
    void WriteIni(const std::string& text) {
        std::ofstream(folder_ + "/Varnel.ini", std::ios::binary) << text;
    }

    std::string DestinationPath() const { return folder_ + "/Dati/archivio5.db"; }
    std::string ArchivePath() const { return folder_ + "/" + kArchiveName; }

    // The destination from the sample structure, changed by `edit` when given.
    void MakeDestination(const std::string& script = V5Script()) {
        core::sqlite::CreateDatabase(DestinationPath(), script, kDestinationKey);
    }
    // The archive: the version-4 structure and then `rows` (INSERT statements).
    void MakeArchive(const std::string& rows, const std::string& structure = V4Script()) {
        core::sqlite::CreateDatabase(ArchivePath(), structure + "\n" + rows, "vup");
    }

    // Every record of a destination table, in the order of its IDs.
    std::vector<Row> Rows(const std::string& table) {
        auto db = core::Workspace::OpenDatabase(DestinationPath(), false, false,
                                                std::string(";PWD=") + kDestinationKey);
        auto rs = db->OpenRecordset("SELECT * FROM [" + table + "] ORDER BY [ID]");
        std::vector<Row> rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            Row row;
            for (int i = 0; i < rs->Fields().Count(); ++i) row[rs->Fields()[i].Name()] = rs->Fields()[i].Value();
            rows.push_back(std::move(row));
        }
        return rows;
    }
    // The record of a table with this code; fails the test when there is not exactly one.
    Row One(const std::string& table, const std::string& code) {
        std::vector<Row> found;
        for (auto& row : Rows(table))
            if (row["sCodice"].ToTextOrEmpty() == code) found.push_back(row);
        EXPECT_EQ(found.size(), 1u) << table << " " << code;
        return found.empty() ? Row{} : found.front();
    }
    core::Variant IdOf(const std::string& table, const std::string& code) { return One(table, code)["ID"]; }
    std::size_t Count(const std::string& table) { return Rows(table).size(); }
    void Execute(const std::string& sql) {
        auto db = core::Workspace::OpenDatabase(DestinationPath(), false, false,
                                                std::string(";PWD=") + kDestinationKey);
        db->Execute(sql);
        core::Engine::Instance().FlushAll();
    }

    QTemporaryDir dir_;
    std::string folder_;
};

}  // namespace migratetest
