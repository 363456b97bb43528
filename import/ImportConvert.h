#pragma once
// How a source value becomes the value written into a destination field,
// chosen by the destination field's type. The engine then stores it in the
// field's own type (FieldConvert.h), refusing what cannot be stored.

#include "common/engine/Driver.h"
#include "common/engine/Variant.h"

namespace tessily {

enum class ConversionGroup {
    Date,         // date/time
    WholeNumber,  // byte, integer, long, single: the leading-number rule
    OtherNumber,  // currency, double, numeric, decimal, float: ValueAsDouble
    Text,         // everything else: the text form, cut to a text field's size
};

ConversionGroup GroupOf(core::DataType type);

// The value to write into `field`. `today` is what a Null or a text that is
// no date gives in the date group. Raises 94 for a Null in the whole-number
// group (it has no text form) and 13 for a source that has no text form.
core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field, ConversionGroup group,
                               const core::DateTime& today);

inline core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field,
                                      const core::DateTime& today)
{
    return ConvertForImport(value, field, GroupOf(field.type), today);
}

}  // namespace tessily
