#include <gtest/gtest.h>

#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/NumberText.h"
#include "common/engine/Variant.h"

using namespace core;

namespace {

int ErrorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

FieldInfo FieldOf(DataType type, int size = 0) { return FieldInfo{"Campo", type, size, false, false}; }

// Runs a test under another decimal point and restores the default.
struct DecimalComma {
    DecimalComma() { NumberFormat::System() = NumberFormat{',', '.'}; }
    ~DecimalComma() { NumberFormat::System() = NumberFormat{}; }
};

}  // namespace

TEST(DateTimeTest, SerialsRoundTripWithTimeOfDayAndBeforeTheEpoch) {
    const DateTime noon = DateTime::FromParts(2002, 9, 27, 12, 30, 15);
    EXPECT_EQ(noon.ToIso(), "2002-09-27 12:30:15");
    EXPECT_EQ(DateTime::FromSerial(noon.ToSerial()), noon);
    EXPECT_EQ(DateTime::FromSerial(0.0).ToIso(), "1899-12-30 00:00:00");
    EXPECT_EQ(DateTime::FromSerial(2.5).ToIso(), "1900-01-01 12:00:00");
    // Before the epoch the fraction is a time of day, not a step back.
    EXPECT_EQ(DateTime::FromSerial(-1.25).ToIso(), "1899-12-29 06:00:00");
    EXPECT_DOUBLE_EQ(DateTime::FromParts(1899, 12, 29, 6).ToSerial(), -1.25);
    EXPECT_EQ(DateTime::FromParts(2024, 2, 29).ToDisplay(), "29/02/2024");
    // A time alone (on the epoch's day) is written as a time and reads back
    // as the same value; the epoch's midnight stays a date.
    EXPECT_EQ(DateTime::FromParts(1899, 12, 30, 5, 15, 7).ToDisplay(), "05:15:07");
    EXPECT_EQ(*ParseDateText(DateTime::FromSerial(0.25).ToDisplay()), DateTime::FromSerial(0.25));
    EXPECT_EQ(DateTime::FromSerial(0.0).ToDisplay(), "30/12/1899");
    EXPECT_EQ(DateTime::FromParts(1899, 12, 31, 5, 15, 7).ToDisplay(), "31/12/1899 05:15:07");
    // Milliseconds only when there are some; the first and last years.
    EXPECT_EQ(DateTime::FromParts(2002, 9, 27, 12, 30, 15, 250).ToIso(), "2002-09-27 12:30:15.250");
    EXPECT_EQ(DateTime::FromParts(2002, 9, 27, 0, 0, 0, 7).ToIso(), "2002-09-27 00:00:00.007");
    EXPECT_EQ(DateTime::FromParts(100, 1, 1).ToIso(), "0100-01-01 00:00:00");
    EXPECT_EQ(DateTime::FromParts(9999, 12, 31, 23, 59, 59).ToIso(), "9999-12-31 23:59:59");
    EXPECT_FALSE(DateTime::FromParts(2024, 2, 29).HasTime());
}

TEST(DateTimeTest, ParsesItalianAndIsoTextsAndRefusesImpossibleDates) {
    EXPECT_EQ(ParseDateText("27/09/2002")->ToIso(), "2002-09-27 00:00:00");
    EXPECT_EQ(ParseDateText(" 1-2-03 ")->ToIso(), "2003-02-01 00:00:00");
    EXPECT_EQ(ParseDateText("2002-09-27 08:05")->ToIso(), "2002-09-27 08:05:00");
    EXPECT_EQ(ParseDateText("2002-09-27T08:05:09.5")->ToIso(), "2002-09-27 08:05:09.500");
    EXPECT_EQ(ParseDateText("13:45")->ToIso(), "1899-12-30 13:45:00");
    EXPECT_FALSE(ParseDateText("31/02/2002"));
    EXPECT_FALSE(ParseDateText("29/02/2001"));
    EXPECT_FALSE(ParseDateText("abc"));
    EXPECT_FALSE(ParseDateText(""));
    EXPECT_FALSE(ParseDateText("12/13/2002"));
    EXPECT_FALSE(ParseDateText("27/09/2002 25:00"));
}

TEST(VariantTest, TextFormsAndNullAndMismatchErrors) {
    EXPECT_EQ(Variant(12).ToText(), "12");
    EXPECT_EQ(Variant(3.5).ToText(), "3.5");
    EXPECT_EQ(Variant(Currency{123400}).ToText(), "12.34");
    EXPECT_EQ(Variant(Currency{-5}).ToText(), "-0.0005");
    EXPECT_EQ(Variant(true).ToText(), "True");
    EXPECT_EQ(ErrorNumber([] { Variant().ToText(); }), err::InvalidUseOfNull);
    EXPECT_EQ(ErrorNumber([] { Variant("abc").ToDouble(); }), err::TypeMismatch);
    EXPECT_EQ(Variant().ToTextOrEmpty(), "");
    EXPECT_EQ(Variant(2.5).ToInteger(), 2);  // half to even
    EXPECT_EQ(Variant(3.5).ToInteger(), 4);
    EXPECT_EQ(Variant("").IsNull(), false);
    DecimalComma comma;
    EXPECT_EQ(Variant(3.5).ToText(), "3,5");
    EXPECT_DOUBLE_EQ(Variant("1.234,5").ToDouble(), 1234.5);
}

TEST(NumberTextTest, SystemNumbersFollowTheRegionalFormat) {
    EXPECT_EQ(ParseSystemNumber(" 12 "), 12.0);
    EXPECT_EQ(ParseSystemNumber("-3.25"), -3.25);
    EXPECT_EQ(ParseSystemNumber("12-"), -12.0);
    EXPECT_EQ(ParseSystemNumber("1,234.5"), 1234.5);
    EXPECT_EQ(ParseSystemNumber("1e3"), 1000.0);
    EXPECT_EQ(ParseSystemNumber("&HFF"), 255.0);
    EXPECT_EQ(ParseSystemNumber("&HFFFF"), -1.0);
    EXPECT_FALSE(ParseSystemNumber(""));
    EXPECT_FALSE(ParseSystemNumber("abc"));
    EXPECT_FALSE(ParseSystemNumber("12abc"));
    EXPECT_FALSE(ParseSystemNumber("1e"));
    EXPECT_FALSE(ParseSystemNumber("."));
    EXPECT_FALSE(ParseSystemNumber("1e999"));
    DecimalComma comma;
    EXPECT_EQ(ParseSystemNumber("3,5"), 3.5);
    EXPECT_FALSE(ParseSystemNumber("3,5,1"));
}

TEST(NumberTextTest, LeadingNumberReadsAsFarAsItGoesAndAlwaysWithAPoint) {
    EXPECT_EQ(LeadingNumber("12abc"), 12.0);
    EXPECT_EQ(LeadingNumber("3,5"), 3.0);
    EXPECT_EQ(LeadingNumber(""), 0.0);
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber(" 6 0 giorni"), 60.0);
    EXPECT_EQ(LeadingNumber("\t-1.5e2x"), -150.0);
    EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(LeadingNumber("2e"), 2.0);
    EXPECT_EQ(LeadingNumber("&H1F"), 31.0);
    EXPECT_EQ(LeadingNumber("&O17"), 15.0);
    EXPECT_EQ(LeadingNumber("&Hzz"), 0.0);
    EXPECT_EQ(LeadingNumber("-"), 0.0);
    EXPECT_EQ(LeadingNumber(".5"), 0.5);
    DecimalComma comma;
    EXPECT_EQ(LeadingNumber("3,5"), 3.0);
    EXPECT_EQ(LeadingNumber("3.5"), 3.5);
}

TEST(FieldConvertTest, TextsAreCutNeverAndRefusedWhenTooLong) {
    const FieldInfo text10 = FieldOf(DataType::Text, 10);
    EXPECT_EQ(ConvertForField(Variant("àèìòù12345"), text10), Variant("àèìòù12345"));
    EXPECT_EQ(ErrorNumber([&] { ConvertForField(Variant("àèìòù123456"), text10); }), err::FieldTooSmall);
    EXPECT_EQ(ConvertForField(Variant(12.5), text10), Variant("12.5"));
    EXPECT_TRUE(ConvertForField(Variant(), text10).IsNull());
    const std::string big(70000, 'x');
    EXPECT_EQ(ConvertForField(Variant(big), FieldOf(DataType::Memo)).AsText().size(), big.size());
}

TEST(FieldConvertTest, NumbersAreConvertedOrRefusedWithTheConversionError) {
    EXPECT_EQ(ConvertForField(Variant("42"), FieldOf(DataType::Long)), Variant(42));
    EXPECT_EQ(ConvertForField(Variant(2.5), FieldOf(DataType::Long)), Variant(2));
    EXPECT_EQ(ErrorNumber([] { ConvertForField(Variant("abc"), FieldOf(DataType::Long)); }), err::ConversionError);
    EXPECT_EQ(ErrorNumber([] { ConvertForField(Variant("12abc"), FieldOf(DataType::Double)); }),
              err::ConversionError);
    EXPECT_EQ(ErrorNumber([] { ConvertForField(Variant(256), FieldOf(DataType::Byte)); }), err::ConversionError);
    EXPECT_EQ(ErrorNumber([] { ConvertForField(Variant(40000), FieldOf(DataType::Integer)); }),
              err::ConversionError);
    EXPECT_EQ(ConvertForField(Variant(1.23456), FieldOf(DataType::Currency)), Variant(Currency{12346}));
    EXPECT_EQ(ConvertForField(Variant("19.99"), FieldOf(DataType::Currency)), Variant(Currency{199900}));
    EXPECT_EQ(ConvertForField(Variant("27/09/2002"), FieldOf(DataType::Date)),
              Variant(DateTime::FromParts(2002, 9, 27)));
    EXPECT_EQ(ErrorNumber([] { ConvertForField(Variant("domani"), FieldOf(DataType::Date)); }),
              err::ConversionError);
    EXPECT_EQ(ConvertForField(Variant("Vero"), FieldOf(DataType::Boolean)), Variant(true));
    EXPECT_EQ(ConvertForField(Variant(0), FieldOf(DataType::Boolean)), Variant(false));
}

TEST(FieldConvertTest, ARefusedValueIsExplainedInWordsWithTheFieldAsShown) {
    const struct {
        Variant value;
        DataType type;
        const char* said;
    } cases[] = {
        {Variant(44577.0), DataType::Integer,
         "44577 è fuori dall'intervallo ammesso per il campo 'Intero corto' (da -32768 a 32767)"},
        {Variant(-1), DataType::Byte, "-1 è fuori dall'intervallo ammesso per il campo 'Intero corto' (da 0 a 255)"},
        {Variant("12abc"), DataType::Long, "'12abc' non è un numero valido per il campo 'Intero corto'"},
        {Variant("domani"), DataType::Date, "'domani' non è una data valida per il campo 'Intero corto'"},
        {Variant("forse"), DataType::Boolean, "'forse' non è un valore Sì/No valido per il campo 'Intero corto'"},
        {Variant(), DataType::Long, "il campo 'Intero corto' non accetta un valore vuoto (Null)"},
    };
    for (const auto& c : cases) {
        FieldInfo field = FieldOf(c.type);
        field.name = "nCorto";
        EXPECT_EQ(ConversionReason(c.value, field, "Intero corto"), c.said);
        if (c.value.IsNull()) continue;
        try {
            ConvertForField(c.value, field);
            ADD_FAILURE() << c.said;
        } catch (const Error& e) {
            EXPECT_EQ(e.Description(), "Errore di conversione del tipo di dati: " +
                                           ConversionReason(c.value, field, "nCorto") + ".");
        }
    }
}

TEST(FieldConvertTest, CutsCountCharactersAndNeverSplitOne) {
    EXPECT_EQ(CharCount("caffè"), 5u);
    EXPECT_EQ(CutChars("caffè lungo", 5), "caffè");
    EXPECT_EQ(CutChars("😀😀😀", 2), "😀😀");
    EXPECT_EQ(CutChars("ab", 10), "ab");
    EXPECT_EQ(CutChars("abc", 0), "");
}
