#include "import/ImportConvert.h"

#include <string>
#include <utility>

#include "common/Conversions.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/NumberText.h"

namespace import {

ConversionGroup GroupOf(core::DataType type)
{
    using core::DataType;
    switch (type) {
    case DataType::Date: return ConversionGroup::Date;
    case DataType::Byte:
    case DataType::Integer:
    case DataType::Long:
    case DataType::Single: return ConversionGroup::WholeNumber;
    case DataType::Currency:
    case DataType::Double:
    case DataType::Numeric:
    case DataType::Decimal:
    case DataType::Float: return ConversionGroup::OtherNumber;
    default: return ConversionGroup::Text;
    }
}

int CutSize(const core::FieldInfo& field)
{
    // The sizes of other types must not cut their text form.
    const bool text = field.type == core::DataType::Text || field.type == core::DataType::Char;
    return text && field.size > 0 ? field.size : 0;
}

namespace {

// Whether a 0 read from `value` stands for a value that was no number: only
// asked once the result is 0, so the hot path never parses twice.
bool NonNumericBecameZero(const core::Variant& value, const std::string* text)
{
    using Kind = core::Variant::Kind;
    switch (value.kind()) {
    case Kind::Null:
    case Kind::Boolean:
    case Kind::Integer:
    case Kind::Double:
    case Kind::Currency: return false;
    case Kind::Text: return !core::ParseSystemNumber(text ? *text : value.AsText()).has_value();
    default: return true;  // a date or binary data has no number to give
    }
}

}  // namespace

core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field, ConversionGroup group,
                               const core::DateTime& today, ConversionNote& note)
{
    using Kind = core::Variant::Kind;
    note = ConversionNote::None;
    switch (group) {
    case ConversionGroup::Date:
        // Only what the system takes for a date: a date value, or a text
        // written as one. Numbers are not dates.
        if (value.kind() == Kind::Date) return value;
        if (value.kind() == Kind::Text)
            if (auto date = core::ParseDateText(value.AsText())) return core::Variant(*date);
        note = ConversionNote::Today;
        return core::Variant(today);

    case ConversionGroup::WholeNumber: {
        // A number is first written out in the system's number format, so
        // with a decimal comma 3.5 reads back as 3. ToText raises 94 on Null.
        if (value.kind() == Kind::Integer) return core::Variant(static_cast<double>(value.AsInteger()));
        const std::string text = value.ToText();
        const double number = core::LeadingNumber(text);
        if (number == 0 && NonNumericBecameZero(value, &text)) note = ConversionNote::Zero;
        return core::Variant(number);
    }

    case ConversionGroup::OtherNumber: {
        const double number = core::ValueAsDouble(value);
        if (number == 0) {
            if (value.IsNull()) note = ConversionNote::NullZero;
            else if (NonNumericBecameZero(value, nullptr)) note = ConversionNote::Zero;
        }
        return core::Variant(number);
    }

    case ConversionGroup::Text: {
        if (value.IsNull()) return value;
        std::string text = value.ToText();
        const int size = CutSize(field);
        if (size > 0 && text.size() > static_cast<std::size_t>(size)) {
            // The byte length only says a cut is possible: accented letters
            // take two bytes and may still fit.
            std::string cut = core::CutChars(text, static_cast<std::size_t>(size));
            if (cut.size() < text.size()) note = ConversionNote::Cut;
            text = std::move(cut);
        }
        return core::Variant(std::move(text));
    }
    }
    return value;
}

}  // namespace import
