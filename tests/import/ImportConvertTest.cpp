#include <gtest/gtest.h>

#include <string>

#include "common/engine/Error.h"
#include "common/engine/NumberText.h"
#include "import/ImportConvert.h"

using core::DataType;
using core::Variant;
using import::ConversionGroup;
using import::ConvertForImport;

namespace {

core::FieldInfo FieldOf(DataType type, int size = 0)
{
    core::FieldInfo f;
    f.name = "campo";
    f.type = type;
    f.size = size;
    return f;
}

const core::DateTime kToday = core::DateTime::FromParts(2024, 5, 17);

// Runs a test body with the system's decimal separator set, then puts it back.
class DecimalComma {
public:
    explicit DecimalComma(char point = ',') : saved_(core::NumberFormat::System())
    {
        core::NumberFormat::System().decimalPoint = point;
        core::NumberFormat::System().groupSeparator = point == ',' ? '.' : ',';
    }
    ~DecimalComma() { core::NumberFormat::System() = saved_; }

private:
    core::NumberFormat saved_;
};

double Number(const Variant& v)
{
    EXPECT_EQ(v.kind(), Variant::Kind::Double) << core::Describe(v);
    return v.kind() == Variant::Kind::Double ? v.AsDouble() : -99999;
}

TEST(ImportConvert, GroupsFollowTheEngineTypeCodes)
{
    EXPECT_EQ(import::GroupOf(DataType::Date), ConversionGroup::Date);
    for (DataType t : {DataType::Byte, DataType::Integer, DataType::Long, DataType::Single})
        EXPECT_EQ(import::GroupOf(t), ConversionGroup::WholeNumber);
    for (DataType t : {DataType::Currency, DataType::Double, DataType::Numeric, DataType::Decimal, DataType::Float})
        EXPECT_EQ(import::GroupOf(t), ConversionGroup::OtherNumber);
    for (DataType t : {DataType::Text, DataType::Memo, DataType::Boolean, DataType::Binary, DataType::BigInt,
                       DataType::Guid, DataType::TimeStamp})
        EXPECT_EQ(import::GroupOf(t), ConversionGroup::Text);
}

TEST(ImportConvert, WholeNumbersReadTheLeadingNumber)
{
    const auto longField = FieldOf(DataType::Long, 4);
    EXPECT_EQ(Number(ConvertForImport(Variant("12abc"), longField, kToday)), 12);
    EXPECT_EQ(Number(ConvertForImport(Variant("3,5"), longField, kToday)), 3);
    EXPECT_EQ(Number(ConvertForImport(Variant("3.5"), longField, kToday)), 3.5);  // rounded by the engine
    EXPECT_EQ(Number(ConvertForImport(Variant(""), longField, kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant("abc"), longField, kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant(" - 1 2"), longField, kToday)), -12);
    EXPECT_EQ(Number(ConvertForImport(Variant("&H1F"), longField, kToday)), 31);
    EXPECT_EQ(Number(ConvertForImport(Variant(42), longField, kToday)), 42);
    EXPECT_EQ(Number(ConvertForImport(Variant(-7LL), FieldOf(DataType::Integer, 2), kToday)), -7);
}

TEST(ImportConvert, NullInTheWholeNumberGroupIsAnError)
{
    try {
        ConvertForImport(Variant(), FieldOf(DataType::Byte, 1), kToday);
        FAIL() << "no error";
    } catch (const core::Error& e) {
        EXPECT_EQ(e.Number(), core::err::InvalidUseOfNull);
    }
}

TEST(ImportConvert, NumericSourceGoesThroughTheSystemNumberFormat)
{
    {
        DecimalComma comma;
        EXPECT_EQ(Number(ConvertForImport(Variant(3.5), FieldOf(DataType::Long, 4), kToday)), 3);
        EXPECT_EQ(Number(ConvertForImport(Variant(3.5), FieldOf(DataType::Single, 4), kToday)), 3);
        EXPECT_EQ(Number(ConvertForImport(Variant(core::Currency{35000}), FieldOf(DataType::Single, 4), kToday)), 3);
        // The other numbers read the system's format: no loss there.
        EXPECT_EQ(Number(ConvertForImport(Variant(3.5), FieldOf(DataType::Double, 8), kToday)), 3.5);
        EXPECT_EQ(Number(ConvertForImport(Variant("3,5"), FieldOf(DataType::Double, 8), kToday)), 3.5);
    }
    {
        DecimalComma point('.');
        EXPECT_EQ(Number(ConvertForImport(Variant(3.5), FieldOf(DataType::Single, 4), kToday)), 3.5);
    }
}

TEST(ImportConvert, OtherNumbersGiveZeroForWhatIsNoNumber)
{
    const auto currency = FieldOf(DataType::Currency, 8);
    EXPECT_EQ(Number(ConvertForImport(Variant(""), currency, kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant(), currency, kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant("abc"), currency, kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant("12abc"), FieldOf(DataType::Double, 8), kToday)), 0);
    EXPECT_EQ(Number(ConvertForImport(Variant(2.25), FieldOf(DataType::Decimal, 16), kToday)), 2.25);
    EXPECT_EQ(Number(ConvertForImport(Variant(true), FieldOf(DataType::Double, 8), kToday)), -1);
}

TEST(ImportConvert, DatesOrToday)
{
    const auto date = FieldOf(DataType::Date, 8);
    const auto christmas = core::DateTime::FromParts(2020, 12, 25);
    EXPECT_EQ(ConvertForImport(Variant("25/12/2020"), date, kToday), Variant(christmas));
    EXPECT_EQ(ConvertForImport(Variant("2020-12-25"), date, kToday), Variant(christmas));
    const auto withTime = core::DateTime::FromParts(2020, 12, 25, 10, 30);
    EXPECT_EQ(ConvertForImport(Variant(withTime), date, kToday), Variant(withTime));
    EXPECT_EQ(ConvertForImport(Variant(), date, kToday), Variant(kToday));
    EXPECT_EQ(ConvertForImport(Variant("non è una data"), date, kToday), Variant(kToday));
    EXPECT_EQ(ConvertForImport(Variant("31/02/2020"), date, kToday), Variant(kToday));
    EXPECT_EQ(ConvertForImport(Variant(""), date, kToday), Variant(kToday));
}

TEST(ImportConvert, TextsAreCutToTheFieldSizeInCharacters)
{
    const std::string sixty(60, 'x');
    const Variant cut = ConvertForImport(Variant(sixty), FieldOf(DataType::Text, 50), kToday);
    EXPECT_EQ(cut, Variant(std::string(50, 'x')));

    // Accented letters and emoji count as one character and are never split.
    std::string accented;
    for (int i = 0; i < 60; ++i) accented += "è";
    EXPECT_EQ(ConvertForImport(Variant(accented), FieldOf(DataType::Text, 50), kToday).AsText(),
              accented.substr(0, 100));
    EXPECT_EQ(ConvertForImport(Variant("ab😀cd"), FieldOf(DataType::Text, 3), kToday), Variant("ab😀"));
    EXPECT_EQ(ConvertForImport(Variant("abc"), FieldOf(DataType::Text, 50), kToday), Variant("abc"));
}

TEST(ImportConvert, MemoAndUnlimitedTextTakeTheWholeText)
{
    const std::string long_(5000, 'm');
    EXPECT_EQ(ConvertForImport(Variant(long_), FieldOf(DataType::Memo, 0), kToday), Variant(long_));
    EXPECT_EQ(ConvertForImport(Variant(long_), FieldOf(DataType::Text, 0), kToday), Variant(long_));
}

TEST(ImportConvert, TextGroupKeepsNullAndUsesTheTextForm)
{
    EXPECT_TRUE(ConvertForImport(Variant(), FieldOf(DataType::Text, 10), kToday).IsNull());
    EXPECT_EQ(ConvertForImport(Variant(12345), FieldOf(DataType::Text, 3), kToday), Variant("123"));
    {
        DecimalComma comma;
        EXPECT_EQ(ConvertForImport(Variant(3.5), FieldOf(DataType::Text, 10), kToday), Variant("3,5"));
    }
    // A yes/no field's size counts bytes, not characters: its text is not cut.
    EXPECT_EQ(ConvertForImport(Variant("True"), FieldOf(DataType::Boolean, 1), kToday), Variant("True"));
    EXPECT_EQ(ConvertForImport(Variant(-1), FieldOf(DataType::Boolean, 1), kToday), Variant("-1"));
}

}  // namespace
