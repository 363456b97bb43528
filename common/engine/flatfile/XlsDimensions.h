#pragma once
// A check of a workbook's sheet dimensions before FreeXL reads it.

#include <cstdio>

namespace core::flatfile {

// FreeXL sizes each sheet's cell table from the sheet's DIMENSION record and
// reads past its buffers when a sheet holds a second one, or one of the wrong
// length, or bounds no workbook can have. Reads the compound document's
// "Workbook" (or "Book") stream and walks its records: false when a sheet's
// dimensions are damaged in any of these ways, or when the stream itself
// cannot be read.
bool WorkbookDimensionsSound(std::FILE* in);

}  // namespace core::flatfile
