#include "upgrade/TableCopy.h"

#include <cfenv>
#include <cmath>
#include <utility>
#include <vector>

#include "common/engine/Error.h"

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

TableCopyResult CopyTable(core::Database& archive, core::Database& upgrade, const std::string& table,
                          UpgradeView& view, const std::function<void()>& yield, UpgradeReport::Table& entry) {
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

    while (!source->Eof()) {
        ++entry.read;
        target->AddNew();
        for (const auto& [to, from] : pairs) target->SetValue(to, source->GetValue(from));
        target->Update();
        ++result.rows;
        ++entry.copied;
        view.SetProgress(ProgressValue(source->PercentPosition()));
        source->MoveNext();
    }
    source->Close();
    target->Close();
    result.copied = true;
    entry.state = UpgradeReport::TableState::Copied;
    return result;
}

}  // namespace upgrade
