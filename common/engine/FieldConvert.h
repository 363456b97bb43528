#pragma once
// Converting a value to a field's type when it is written, as the engine
// does for every driver: a value that cannot be stored is refused, never
// stored in a different type or cut silently.

#include "common/engine/Driver.h"
#include "common/engine/Variant.h"

namespace core {

// Returns the value in the field's own kind: Text for text and memo fields,
// Integer for byte/integer/long/big integers, Double for single/double and
// the decimal types, Currency, Date, Boolean, Binary. A Null stays Null.
// Raises 3421 (conversion error) when the value has no such form or is out
// of the type's range, and 3163 when a text is longer than the field's size
// (counted in characters).
Variant ConvertForField(const Variant& value, const FieldInfo& field);
// The same, moving a text that needs no conversion instead of copying it.
Variant ConvertForField(Variant&& value, const FieldInfo& field);

// Why `value` cannot be written into `field`, in words, the field named
// `shown` (its own name, or the label a window gives it): "44577 è fuori
// dall'intervallo ammesso per il campo 'Intero corto' (da -32768 a 32767)".
std::string ConversionReason(const Variant& value, const FieldInfo& field, const std::string& shown);
// The text of error 3163 for a text longer than the field, named `shown`.
std::string TooLongReason(const FieldInfo& field, const std::string& shown);
// A field that cannot take an empty value, named `shown`.
std::string NullReason(const std::string& shown);

// Number of characters (code points) of a UTF-8 text.
std::size_t CharCount(std::string_view utf8);
// Whether a UTF-8 text has more than n characters; counted only when it
// has more than n bytes (every field value saved asks this).
inline bool LongerThan(std::string_view utf8, std::size_t n) { return utf8.size() > n && CharCount(utf8) > n; }
// The first n characters of a UTF-8 text; never splits a character.
std::string CutChars(std::string_view utf8, std::size_t n);

}  // namespace core
