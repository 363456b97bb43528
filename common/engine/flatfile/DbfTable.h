#pragma once
// A dBASE table (.dbf) read one record at a time.
//
// What a read verifies: the header's field descriptions add up to the
// record length, the file holds every record the header counts, and each
// record read starts with a valid deletion mark; anything else is 3049.

#include <memory>
#include <string>

#include "common/engine/Driver.h"

namespace core::flatfile {

// Opens the table and positions on its first record that is not deleted.
// Raises 3024/3011 for a missing or unreadable file, 3343 for a file that
// is not a dBASE table or uses an unknown code page, 3049 for a damaged or
// truncated one, and an error naming the field for an unsupported field type.
std::unique_ptr<Cursor> OpenDbfTable(const std::string& file);

}  // namespace core::flatfile
