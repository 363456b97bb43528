#pragma once
// A Tessily installation in a temporary folder: Tessily.ini, the encrypted
// version-5 destination database built from the sample structure, templates
// in Tpl and small SQLite source databases; plus reading the destination
// back for the checks.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"

namespace core {
// Readable values in the tests' failure messages.
inline void PrintTo(const Variant& value, std::ostream* os) { *os << Describe(value); }
}  // namespace core

namespace importtest {

inline constexpr const char* kDestinationKey = "segreto";
inline constexpr const char* kDestinationKeyHex = "7365677265746f";  // "segreto"

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class ImportFolder {
public:
    ImportFolder()
    {
        folder_ = dir_.path().toStdString();
        core::SetProgramFolderForTesting(folder_);
        core::InitPrefs("Tessily", "Tessily.ini");
        std::filesystem::create_directories(folder_ + "/Tpl");
        std::filesystem::create_directories(folder_ + "/Dati");
    }
    ~ImportFolder()
    {
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        core::SetProgramFolderForTesting({});
    }

    const std::string& Folder() const { return folder_; }
    std::string DestinationPath() const { return folder_ + "/Dati/archivio.db"; }

    // Tessily.ini with the destination in Dati\archivio.db and the given
    // TABLES part (CFG/TABLES and the TABLES section).
    void WriteIni(const std::string& tablesCount, const std::string& tablesSection,
                  const std::string& extraCfg = {}) const
    {
        std::ofstream out(folder_ + "/Tessily.ini", std::ios::binary);
        out << "[CFG]\nAPPNAME=Gestione Agenzia\nDBPATH=Dati\\\nDBFILE=archivio.db\nDBPWD=" << kDestinationKeyHex
            << "\nPREFILE=vecchio.db\nPREPWD=\nFORMATS=2\n";
        if (!tablesCount.empty()) out << "TABLES=" << tablesCount << "\n";
        out << extraCfg;
        out << "[FORMATS]\n1=Archivio SQLite,SQLite;,.db\n2=Testo CSV,Text;,.csv\n";
        out << "[TABLES]\n" << tablesSection;
    }

    void WriteTemplate(const std::string& displayName, const std::string& text) const
    {
        std::ofstream(folder_ + "/Tpl/" + displayName + ".ini", std::ios::binary) << text;
    }

    void CreateDestination() const
    {
        const std::string script = ReadWholeFile(std::string(AGENCY_SAMPLES) + "/schema/v5.sql");
        core::sqlite::CreateDatabase(DestinationPath(), script, kDestinationKey);
    }

    std::string CreateSource(const std::string& name, const std::string& script, const std::string& key = {}) const
    {
        const std::string path = folder_ + "/" + name;
        core::sqlite::CreateDatabase(path, script, key);
        return path;
    }

    // Executes statements on the destination (to seed records).
    void ExecuteOnDestination(const std::string& sql) const
    {
        auto db = core::Workspace::OpenDatabase(DestinationPath(), false, false,
                                                std::string(";PWD=") + kDestinationKey);
        db->Execute(sql);
        db->Close();
    }

    // Every row of a query on the destination, each value in its debug form.
    std::vector<std::vector<core::Variant>> Rows(const std::string& sql) const
    {
        core::Engine::Instance().FlushAll();
        auto db = core::Workspace::OpenDatabase(DestinationPath(), false, true, std::string(";PWD=") + kDestinationKey);
        auto rs = db->OpenRecordset(sql);
        std::vector<std::vector<core::Variant>> rows;
        const int n = rs->Fields().Count();
        while (!rs->Eof()) {
            std::vector<core::Variant> row;
            for (int i = 0; i < n; ++i) row.push_back(rs->GetValue(i));
            rows.push_back(std::move(row));
            rs->MoveNext();
        }
        return rows;
    }
    long long Count(const std::string& table) const
    {
        const auto rows = Rows("SELECT COUNT(*) AS n FROM [" + table + "]");
        return rows.at(0).at(0).ToInteger();
    }

private:
    QTemporaryDir dir_;
    std::string folder_;
};

}  // namespace importtest
