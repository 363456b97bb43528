#pragma once
// One row of values packed into a string of bytes (a kind byte, then the
// value's bytes or a length and its bytes), for copies of tables that must
// stay small: a packed row takes about what its values take on disk
// instead of a Variant per field.

#include <string>
#include <vector>

#include "common/engine/Variant.h"

namespace core::odbc {

std::string PackRow(const std::vector<Variant>& row);
std::vector<Variant> UnpackRow(const std::string& packed);

}  // namespace core::odbc
