#pragma once
// A check of a workbook's structure before FreeXL reads it.

#include <cstdio>

namespace core::flatfile {

// FreeXL trusts two things that a damaged workbook can get wrong, and reads
// past its buffers when they are:
// - each directory entry's stored name length (a name holds at most 64
//   bytes);
// - each sheet's DIMENSION record, from which it sizes the sheet's cells (a
//   second one, one of the wrong length, or bounds no workbook can have).
// Reads the compound document's directory and its "Workbook" (or "Book")
// stream and checks both: false when either is damaged, or when the
// directory or the stream cannot be read. The stream is also checked for
// what FreeXL would silently skip: a substream without its EOF, a record of
// type 0 (a stretch of zeros), a sheet whose BOF is not where the sheet list
// says, a cell with a value outside its sheet's DIMENSION, a shared-string table that
// does not hold exactly the strings it declares.
bool WorkbookStructureSound(std::FILE* in);

}  // namespace core::flatfile
