#pragma once
// The check of a run's source tables before the run writes anything into
// its destination: a damaged source stops the run with the destination as
// it was. What is checked is what each driver's Verify can check cheaply
// (Connection::Verify); damage that only shows while the rows are read
// stops the run there, as any error does.

#include <string>
#include <vector>

namespace core {

class DataControl;

// Varnel: the tables of the source file that the run will read, on the
// file opened as the run opens it. Raises the damage (3049, or 3343 for a
// table that is no table of its format), with a note that the destination
// was not touched. A file or a table that cannot be opened for another
// reason is left to the run's own opening, which reports it as before.
void VerifySourceTables(const std::string& path, const std::string& connect, const std::vector<std::string>& tables);

// Tessily: the table behind the data control's record source
// ("SELECT * FROM [T]", with or without a WHERE, or a bare table name), on
// the control's open database. Raises whatever Verify raises, with the same
// note. A record source of another shape is not checked.
void VerifyRecordSource(DataControl& control);

}  // namespace core
