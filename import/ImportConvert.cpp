#include "import/ImportConvert.h"

#include "common/Conversions.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/NumberText.h"

namespace tessily {

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

core::Variant ConvertForImport(const core::Variant& value, const core::FieldInfo& field, ConversionGroup group,
                               const core::DateTime& today)
{
    using Kind = core::Variant::Kind;
    switch (group) {
    case ConversionGroup::Date:
        // Only what the system takes for a date: a date value, or a text
        // written as one. Numbers are not dates.
        if (value.kind() == Kind::Date) return value;
        if (value.kind() == Kind::Text)
            if (auto date = core::ParseDateText(value.AsText())) return core::Variant(*date);
        return core::Variant(today);

    case ConversionGroup::WholeNumber:
        // A number is first written out in the system's number format, so
        // with a decimal comma 3.5 reads back as 3. ToText raises 94 on Null.
        if (value.kind() == Kind::Integer) return core::Variant(static_cast<double>(value.AsInteger()));
        return core::Variant(core::LeadingNumber(value.ToText()));

    case ConversionGroup::OtherNumber:
        return core::Variant(core::ValueAsDouble(value));

    case ConversionGroup::Text: {
        if (value.IsNull()) return value;
        std::string text = value.ToText();
        // Only a text field's size counts characters; a memo (or a text of
        // size 0, unlimited) takes the whole text, and the sizes of other
        // types are storage bytes, which must not cut their text form.
        const bool sized = (field.type == core::DataType::Text || field.type == core::DataType::Char) && field.size > 0;
        if (sized && text.size() > static_cast<std::size_t>(field.size))
            text = core::CutChars(text, static_cast<std::size_t>(field.size));
        return core::Variant(std::move(text));
    }
    }
    return value;
}

}  // namespace tessily
