#pragma once
// The file-type list of the open and save dialogs, written as one text of
// description and pattern pairs with every item separated by "|"
// ("Access (*.mdb)|*.mdb|Testo (*.txt)|*.txt;*.csv|").

#include <string>
#include <utility>
#include <vector>

namespace ui {

using FilterList = std::vector<std::pair<std::string, std::string>>;

// The buffer that the system dialog reads: each "|" becomes a NUL, and two
// NULs close the list.
std::string FilterBuffer(const std::string& filter);

// Reads a NUL-separated buffer as the system dialog does: description and
// pattern strings in turn, up to the first empty string. A description whose
// pattern is missing or empty ends the list without being offered.
FilterList ParseFilterBuffer(const std::string& buffer);

// Filter text -> the list the dialog shows.
inline FilterList ParseFilter(const std::string& filter) { return ParseFilterBuffer(FilterBuffer(filter)); }

}  // namespace ui
