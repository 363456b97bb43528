#include "upgrade/TableCopy.h"

#include <cfenv>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "common/engine/Error.h"
#include "upgrade/ReadAhead.h"

namespace upgrade {

bool IsSystemTableName(const std::string& name) { return name.rfind("MS", 0) == 0; }

int ProgressValue(double percent) {
    if (!(percent > 0)) return 0;  // also NaN
    if (percent >= 100) return 100;
    // nearbyint follows the current rounding mode; the default one rounds
    // halves to even, which is what the bar's value expects.
    std::fesetround(FE_TONEAREST);
    return static_cast<int>(std::nearbyint(percent));
}

namespace {

// The table by one statement; false when it is to be copied record by
// record (nothing of it was written then).
bool CopyAtOnce(core::TableTransfer& transfer, const std::string& table,
                std::vector<std::pair<std::string, std::string>> columns, UpgradeView& view,
                UpgradeReport::Table& entry, TableCopyResult& result) {
    core::TableTransfer::Request request;
    request.table = table;
    request.columns = std::move(columns);
    // Called as each row is about to be written, which the statement does
    // next: the window counts it with the rows written.
    request.rowDone = [&](long long rows, double percent) {
        ++entry.read;
        view.SetProgress(ProgressValue(percent));
        view.RowDone(rows);
    };
    std::optional<long long> rows;
    try {
        rows = transfer.Copy(request);
    } catch (...) {
        // The rows this statement wrote were taken back.
        entry.copied = 0;
        throw;
    }
    if (!rows) {
        entry.read = 0;
        return false;
    }
    result.rows = *rows;
    entry.read = entry.copied = *rows;
    return true;
}

}  // namespace

TableCopyResult CopyTable(core::Database& archive, core::Database& upgrade, const std::string& table,
                          UpgradeView& view, const std::function<void()>& yield, UpgradeReport::Table& entry,
                          core::TableTransfer* transfer) {
    TableCopyResult result;
    entry.state = UpgradeReport::TableState::InProgress;
    auto target = upgrade.OpenRecordset(table);
    std::unique_ptr<core::Recordset> source;
    try {
        source = archive.OpenRecordset(table);
    } catch (const core::Error& e) {
        if (e.Number() != core::err::TableNotFound) throw;
        // A table new in this structure keeps the rows it was delivered with.
        target->Close();
        entry.state = UpgradeReport::TableState::Missing;
        return result;
    }

    view.SetTableCaption("Copia della tabella " + table + " in corso...");
    if (yield) yield();

    while (!target->Eof()) {
        target->Delete();
        target->MoveNext();
    }

    // Matched by name once per table: a template field without a namesake
    // in the archive keeps its default, an archive field the template lacks
    // is dropped.
    auto targetFields = target->Fields();
    auto sourceFields = source->Fields();
    std::vector<std::pair<int, int>> pairs;  // template column, archive column
    for (int i = 0; i < targetFields.Count(); ++i) {
        const int j = sourceFields.IndexOf(targetFields.Item(i).Name());
        if (j >= 0) pairs.emplace_back(i, j);
        else entry.defaulted.push_back(targetFields.Item(i).Name());
    }
    for (int j = 0; j < sourceFields.Count(); ++j)
        if (targetFields.IndexOf(sourceFields.Item(j).Name()) < 0) entry.dropped.push_back(sourceFields.Item(j).Name());

    std::vector<std::pair<std::string, std::string>> names;
    for (const auto& [t, a] : pairs) names.emplace_back(targetFields.Item(t).Name(), sourceFields.Item(a).Name());
    if (transfer && CopyAtOnce(*transfer, table, std::move(names), view, entry, result)) {
        source->Close();
        target->Close();
        result.copied = true;
        entry.state = UpgradeReport::TableState::Copied;
        return result;
    }

    std::vector<int> sourceColumns;
    sourceColumns.reserve(pairs.size());
    for (const auto& pair : pairs) sourceColumns.push_back(pair.second);
    {
        // The archive's rows are read on a second thread while this one
        // saves them, row by row, into the template.
        ReadAhead rows(*source, std::move(sourceColumns));
        while (ReadAhead::Row* row = rows.Next()) {
            ++entry.read;
            target->AddNew();
            for (std::size_t k = 0; k < pairs.size(); ++k)
                target->SetValue(pairs[k].first, std::move(row->values[k]));
            target->Update();
            ++result.rows;
            ++entry.copied;
            view.SetProgress(ProgressValue(row->percent));
            view.RowDone(result.rows);
        }
    }
    source->Close();
    target->Close();
    result.copied = true;
    entry.state = UpgradeReport::TableState::Copied;
    return result;
}

}  // namespace upgrade
