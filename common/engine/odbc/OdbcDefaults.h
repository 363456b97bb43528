#pragma once
// What a PostgreSQL column takes when a new record leaves it unassigned,
// where that is a fixed value: Null for a column without a default, the
// constant of a default that is a plain literal (0, -1.5, '', 'testo',
// true). A record whose unassigned columns are filled with these values is
// saved exactly as the server would save it, and records that assign
// different columns can then share one prepared statement. Columns with
// any other default (a counter, the clock, an expression) stay unassigned.

#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"

namespace core::odbc {

// The fixed value of a default as pg_get_expr() writes it, for a column of
// the given type; nothing when the default is no plain literal or does not
// suit the type. `expression` empty: the column has no default (Null).
std::optional<Variant> FixedDefault(const std::string& expression, const FieldInfo& column);

}  // namespace core::odbc
