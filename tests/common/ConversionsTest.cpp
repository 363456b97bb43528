#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/Conversions.h"
#include "common/engine/Error.h"
#include "common/engine/NumberText.h"

using core::DecodeHex;
using core::Variant;

namespace {

TEST(DecodeHexTest, PairsBecomeWindows1252Characters) {
    EXPECT_EQ(DecodeHex("616263"), "abc");
    EXPECT_EQ(DecodeHex("6A"), "j");
    EXPECT_EQ(DecodeHex("6a"), "j");
    EXPECT_EQ(DecodeHex(""), "");
    EXPECT_EQ(DecodeHex("E0"), "\xC3\xA0");            // à
    EXPECT_EQ(DecodeHex("80"), "\xE2\x82\xAC");        // €
    EXPECT_EQ(DecodeHex("81"), "\xC2\x81");            // undefined in 1252: U+0081 as Windows
    EXPECT_EQ(DecodeHex("FF"), "\xC3\xBF");            // ÿ
    EXPECT_EQ(DecodeHex("536F636965743F"), "Societ?");
}

TEST(DecodeHexTest, OddLengthReadsTheLastDigitAlone) {
    EXPECT_EQ(DecodeHex("616"), std::string("a\x06"));
    EXPECT_EQ(DecodeHex("F"), std::string("\x0F"));
}

TEST(DecodeHexTest, NonHexCharactersEndTheirPair) {
    EXPECT_EQ(DecodeHex("6G"), std::string("\x06"));   // digit then a letter beyond F
    EXPECT_EQ(DecodeHex("616Z62"), std::string("a\x06" "b"));
    // A pair of characters that are no digits is worth 0, and a 0 ends the
    // password: nothing after it reaches the connect text.
    EXPECT_EQ(DecodeHex("61ZZ62"), "a");
    EXPECT_EQ(DecodeHex("GG61"), "");
    EXPECT_EQ(DecodeHex("610062"), "a");
    // Non-ASCII input is taken character by character, not byte by byte.
    EXPECT_EQ(DecodeHex("\xC3\xA0" "1" "61"), "");  // "à1" is worth 0
    EXPECT_EQ(DecodeHex("61\xC3\xA0"), "a");
}

TEST(DecodeHexTest, LongPasswordsDecodeWhole) {
    std::string encoded;
    for (int i = 0; i < 127; ++i) encoded += "41";
    EXPECT_EQ(DecodeHex(encoded), std::string(127, 'A'));
}

TEST(HexPairValueTest, RewritesThePairInUpperCase) {
    std::string pair = "6a";
    EXPECT_EQ(core::HexPairValue(pair), 0x6A);
    EXPECT_EQ(pair, "6A");
    pair = "ff";
    EXPECT_EQ(core::HexPairValue(pair), 255);
    EXPECT_EQ(pair, "FF");
    pair = "g1";
    EXPECT_EQ(core::HexPairValue(pair), 0);
    EXPECT_EQ(pair, "G1");
    pair = "\xC3\xA0" "b";  // àb
    EXPECT_EQ(core::HexPairValue(pair), 0);
    EXPECT_EQ(pair, "\xC3\x80" "B");
    pair = "";
    EXPECT_EQ(core::HexPairValue(pair), 0);
    EXPECT_EQ(pair, "");
    pair = "7";
    EXPECT_EQ(core::HexPairValue(pair), 7);
}

TEST(ValueAsDoubleTest, NothingNumericGivesZero) {
    EXPECT_EQ(core::ValueAsDouble(Variant()), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant("")), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant("abc")), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant("12abc")), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(core::DateTime::FromParts(2002, 9, 25))), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(core::Bytes{1, 2, 3})), 0.0);
}

TEST(ValueAsDoubleTest, NumbersAndNumericTexts) {
    EXPECT_EQ(core::ValueAsDouble(Variant("12")), 12.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(" -3 ")), -3.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(7)), 7.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(2.25)), 2.25);
    EXPECT_EQ(core::ValueAsDouble(Variant(true)), -1.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(core::Currency{125000})), 12.5);
    // The system's decimal point decides.
    const char point = core::NumberFormat::System().decimalPoint;
    EXPECT_EQ(core::ValueAsDouble(Variant(std::string("1") + point + "5")), 1.5);
}

TEST(ValueAsDoubleTest, NonFiniteNumbersGiveZero) {
    EXPECT_EQ(core::ValueAsDouble(Variant(std::numeric_limits<double>::infinity())), 0.0);
    EXPECT_EQ(core::ValueAsDouble(Variant(std::nan(""))), 0.0);
}

TEST(ToInt16Test, ConvertsAsTheRuntimeCInt) {
    EXPECT_EQ(core::ToInt16("12"), 12);
    EXPECT_EQ(core::ToInt16(" 12 "), 12);
    EXPECT_EQ(core::ToInt16("0"), 0);
    EXPECT_EQ(core::ToInt16("-32768"), -32768);
    EXPECT_EQ(core::ToInt16("32767"), 32767);
    EXPECT_EQ(core::ToInt16("0.5"), 0);
    EXPECT_EQ(core::ToInt16("1.5"), 2);
    EXPECT_EQ(core::ToInt16("2.5"), 2);
    EXPECT_EQ(core::ToInt16("-2.5"), -2);
    EXPECT_EQ(core::ToInt16("2.51"), 3);
}

TEST(ToInt16Test, ErrorsCarryTheRuntimeNumbers) {
    const auto number = [](std::string_view text) {
        try {
            core::ToInt16(text);
        } catch (const core::Error& e) {
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(number(""), core::err::TypeMismatch);
    EXPECT_EQ(number("   "), core::err::TypeMismatch);
    EXPECT_EQ(number("abc"), core::err::TypeMismatch);
    EXPECT_EQ(number("12abc"), core::err::TypeMismatch);
    EXPECT_EQ(number("40000"), core::err::Overflow);
    EXPECT_EQ(number("32767.5"), core::err::Overflow);  // rounds to 32768
    EXPECT_EQ(number("-32769"), core::err::Overflow);
    EXPECT_EQ(number("1e10"), core::err::Overflow);
}

}  // namespace
