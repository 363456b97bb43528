#pragma once
// Runs mdbtools' command-line programs on a fixture file, so that the
// driver's output can be checked against an independent reading of the
// same file.

#include <optional>
#include <string>
#include <vector>

namespace accesstest {

// One exported table: the column names, then every row; a Null (or, since
// mdb-export cannot tell them apart, an empty text) is std::nullopt.
struct ExportedTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// mdb-export with dates as "YYYY-MM-DD HH:MM:SS", binary data in hex, money
// with four decimals and yes/no as 1/0.
ExportedTable MdbExport(const std::string& file, const std::string& table);

// mdb-tables -S: every table, system tables included, in catalogue order.
std::vector<std::string> MdbTables(const std::string& file);

// Whether the mdbtools programs can be run here.
bool MdbToolsAvailable();

}  // namespace accesstest
