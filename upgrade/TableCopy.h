#pragma once
// One table of the upgrade: the template's rows are deleted and every row
// of the archive's namesake is appended, field by field by name, as the
// template's structure decides.

#include <functional>
#include <string>

#include "common/engine/Dao.h"
#include "upgrade/UpgradeReport.h"
#include "upgrade/UpgradeView.h"

namespace upgrade {

struct TableCopyResult {
    bool copied = false;  // false: the archive has no such table
    long long rows = 0;   // rows appended
};

// Whether a template table is one of the engine's system tables, which the
// run never touches: the name begins with "MS", case included.
bool IsSystemTableName(const std::string& name);

// The progress bar's value for a percentage position: rounded to the
// nearest whole number, halves to the even neighbour, within 0..100.
int ProgressValue(double percent);

// Copies one table. `yield` runs once, after the caption is set and before
// the template is touched. Raises core::Error for anything but a missing
// archive table (3078), which leaves the template's table as delivered.
// `entry` follows the copy as it goes, so that it tells how far a copy got
// when it raises. With a transfer (see core::TableTransfer) the rows go in
// by one statement of the database where it gives what the record-by-record
// copy gives; a stop asked for during it takes the table's copied rows back.
TableCopyResult CopyTable(core::Database& archive, core::Database& upgrade, const std::string& table,
                          UpgradeView& view, const std::function<void()>& yield, UpgradeReport::Table& entry,
                          core::TableTransfer* transfer = nullptr);

}  // namespace upgrade
