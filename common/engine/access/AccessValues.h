#pragma once
// Column descriptions and stored values of Access rows, read from the raw
// row bytes rather than from libmdb's text forms: currency stays an exact
// scaled integer, dates keep their time of day, and nothing depends on
// libmdb's bind size or date format.

#include "common/engine/access/MdbApi.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/engine/Driver.h"
#include "common/engine/Variant.h"
#include "common/engine/access/JetHeader.h"

namespace core::access {

// Type and size as the engine reports them: text sizes in characters (Jet 4
// and ACE store two bytes per character and libmdb reports bytes), the
// storage size for fixed types, 0 for memo and OLE.
FieldInfo DescribeColumn(const MdbColumn& column, JetFormat format);

// A fixed-size or inline value (every type but text, memo, OLE, yes/no and
// decimal) from its bytes. Nothing when the bytes are too few for the type
// or a date lies outside the engine's range (a damaged row).
std::optional<Variant> DecodeFixedValue(int mdbType, const std::uint8_t* data, std::size_t size);

// A Single as the shortest decimal that reads back as the same float, then
// as a double: 0.1f comes out as 0.1, not 0.100000001490116.
double SingleToDouble(float value);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" for the 16 bytes of a GUID.
std::string GuidText(const std::uint8_t* data);

// The content of a memo or OLE field whose 12-byte header sits in the
// handle's current page at start (size bytes in the row). The data may lie
// inline, in one long-value row, or in a chain of them. Nothing when the
// header or the chain is damaged. The handle's current page is kept.
std::optional<Bytes> ReadLongValue(MdbHandle* handle, int start, int size);

}  // namespace core::access
