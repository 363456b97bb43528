#pragma once
// Archives, templates and their inspection for the upgrade tests.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "upgrade/UpgradeView.h"

namespace upgradetest {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("agency-upgrade-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool Exists(const std::string& path) { return fs::exists(path); }

// Any -journal, -wal or -shm file in the folder.
inline std::vector<std::string> SideFilesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (name.size() > std::char_traits<char>::length(suffix) &&
                name.compare(name.size() - std::char_traits<char>::length(suffix), std::string::npos, suffix) == 0)
                found.push_back(name);
    }
    return found;
}

// Every row of a query, each value in its debug form.
inline std::vector<std::vector<std::string>> Rows(const std::string& path, const std::string& password,
                                                  const std::string& sql) {
    auto db = core::Workspace::OpenDatabase(path, false, true, ";PWD=" + password);
    auto rs = db->OpenRecordset(sql);
    std::vector<std::vector<std::string>> rows;
    while (!rs->Eof()) {
        std::vector<std::string> row;
        for (int i = 0; i < rs->Fields().Count(); ++i) row.push_back(core::Describe(rs->Fields().Item(i).Value()));
        rows.push_back(std::move(row));
        rs->MoveNext();
    }
    rs->Close();
    db->Close();
    return rows;
}

inline std::vector<std::string> FieldNames(const std::string& path, const std::string& password,
                                           const std::string& table) {
    auto db = core::Workspace::OpenDatabase(path, false, true, ";PWD=" + password);
    auto rs = db->OpenRecordset(table);
    std::vector<std::string> names;
    for (int i = 0; i < rs->Fields().Count(); ++i) names.push_back(rs->Fields().Item(i).Name());
    rs->Close();
    db->Close();
    return names;
}

inline std::vector<std::string> TableNames(const std::string& path, const std::string& password) {
    auto db = core::Workspace::OpenDatabase(path, false, true, ";PWD=" + password);
    std::vector<std::string> names;
    for (const auto& def : db->TableDefs()) names.push_back(def.Name);
    db->Close();
    return names;
}

// The whole content of a database as text, tables by name: two databases
// with the same dump hold the same data.
inline std::string Dump(const std::string& path, const std::string& password) {
    auto names = TableNames(path, password);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& table : names) {
        out += "[" + table + "]\n";
        for (const auto& row : Rows(path, password, "SELECT * FROM [" + table + "]")) {
            for (const auto& value : row) out += value + "|";
            out += "\n";
        }
    }
    return out;
}

// What the run showed on its window.
class RecordingView : public upgrade::UpgradeView {
public:
    void SetTableCaption(const std::string& caption) override { captions.push_back(caption); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void StageReached(upgrade::UpgradeStage stage) override { stages.push_back(stage); }

    std::vector<std::string> captions;
    std::vector<int> progress;
    std::vector<upgrade::UpgradeStage> stages;
};

}  // namespace upgradetest
