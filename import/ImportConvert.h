#pragma once
// How a source value becomes the value written into a destination field,
// chosen by the destination field's type. The engine then stores it in the
// field's own type (FieldConvert.h), refusing what cannot be stored.

#include "common/engine/Driver.h"
#include "common/engine/Variant.h"

namespace import {

enum class ConversionGroup {
    Date,         // date/time
    WholeNumber,  // byte, integer, long, single: the leading-number rule
    OtherNumber,  // currency, double, numeric, decimal, float: ValueAsDouble
    Text,         // everything else: the text form, cut to a text field's size
};

ConversionGroup GroupOf(core::DataType type);

// The size a text is cut to in `field`, or 0 when it takes the whole text:
// only a text field's size counts characters; a memo (or a text of size 0)
// is unlimited, and the sizes of other types are storage bytes.
int CutSize(const core::FieldInfo& field);

// What a conversion lost of the source value, for the run's report. Small
// consecutive values: the run counts them in an array indexed by the note.
enum class ConversionNote : unsigned char {
    None,      // the value as the field takes it
    Cut,       // a text cut to the field's size
    Zero,      // a non-numeric value (a text that is no number) became 0
    NullZero,  // a Null became 0 (other numbers)
    Today,     // a Null or a value that is no date became today's date
};
inline constexpr int kConversionNoteCount = 5;

// The value to write into `field`. `today` is what a Null or a text that is
// no date gives in the date group. Raises 94 for a Null in the whole-number
// group (it has no text form) and 13 for a source that has no text form.
// `note` says what the conversion lost; the value is the same either way.
core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field, ConversionGroup group,
                               const core::DateTime& today, ConversionNote& note);

inline core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field, ConversionGroup group,
                                      const core::DateTime& today)
{
    ConversionNote ignored = ConversionNote::None;
    return ConvertForImport(value, field, group, today, ignored);
}

inline core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field,
                                      const core::DateTime& today)
{
    return ConvertForImport(value, field, GroupOf(field.type), today);
}

}  // namespace import
