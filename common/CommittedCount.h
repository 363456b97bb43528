#pragma once
// What a run really saved in a destination table, counted there after an
// error: a database that rolls back its open batch (full disk, I/O error, a
// commit refused while another program holds the file) takes records with
// it that the run had already counted as saved.

#include <string>

namespace core {

class Database;

// Records in the table now, less those it held when the run started on it;
// -1 when they cannot be counted.
long long CountSince(Database& database, const std::string& table, long long baseline) noexcept;

// The sentence for the final message: how many of this run's records the
// table holds (counted, not assumed) and, when fewer than the run counted
// as saved, which of them were lost.
std::string CommittedSentence(const std::string& table, long long counted, long long recorded);

}  // namespace core
