#pragma once
// What an upgrade run did, kept by the run as it goes and shown as the
// details of its final message: per template table the archive's rows and
// the rows copied, or why the table was not copied; the fields the new
// structure dropped or added; the backup; and where a run that failed
// stopped. Plain counters: the copy loop pays two increments per row.

#include <optional>
#include <string>
#include <vector>

#include "upgrade/UpgradeView.h"

namespace upgrade {

class UpgradeReport {
public:
    enum class TableState {
        NotReached,  // the run stopped before it
        InProgress,  // the run stopped in it
        Copied,
        Missing,  // not in the archive: the template's rows stay
        System,   // the engine's table ("MS..."): left alone
    };

    struct Table {
        std::string name;
        TableState state = TableState::NotReached;
        long long read = 0;    // archive rows read
        long long copied = 0;  // rows appended to the template
        std::vector<std::string> dropped;    // archive fields the template lacks
        std::vector<std::string> defaulted;  // template fields the archive lacks
    };

    // A new run; `backup` is the name the archive gets once it is replaced.
    void Start(std::string backup);

    // The template's tables in the order the run takes them.
    void AddTable(std::string name)
    {
        Table table;
        table.name = std::move(name);
        tables_.push_back(std::move(table));
    }
    Table& At(std::size_t index) { return tables_[index]; }
    const std::vector<Table>& Tables() const { return tables_; }

    void Reached(UpgradeStage stage) { stage_ = stage; }
    void BackupMade() { backupMade_ = true; }
    void FilesSwapped() { swapped_ = true; }
    void Finished() { finished_ = true; }

    const std::string& Backup() const { return backup_; }
    bool Succeeded() const { return finished_; }

    // The details in Italian, one fact a line.
    std::string Text() const;

private:
    std::string StopLine() const;
    std::string BackupLine() const;
    static void AppendTable(std::string& out, const Table& table);

    std::string backup_;
    std::vector<Table> tables_;
    std::optional<UpgradeStage> stage_;
    bool backupMade_ = false;
    bool swapped_ = false;
    bool finished_ = false;
};

}  // namespace upgrade
