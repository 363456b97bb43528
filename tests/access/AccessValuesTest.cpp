#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/engine/access/AccessValues.h"

using namespace core;
using namespace core::access;

namespace {

template <typename T>
std::vector<std::uint8_t> Le(T value) {
    std::vector<std::uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

Variant Decode(int type, const std::vector<std::uint8_t>& bytes) {
    auto value = DecodeFixedValue(type, bytes.data(), bytes.size());
    EXPECT_TRUE(value.has_value());
    return value.value_or(Variant());
}

TEST(FixedValues, IntegersKeepTheirSignAndWidth) {
    EXPECT_EQ(Decode(MDB_BYTE, {0xFF}), Variant(255));
    EXPECT_EQ(Decode(MDB_INT, Le<std::int16_t>(-2)), Variant(-2));
    EXPECT_EQ(Decode(MDB_LONGINT, Le<std::int32_t>(-2000000000)), Variant(-2000000000));
}

TEST(FixedValues, CurrencyIsTheExactScaledInteger) {
    // 0.1 + 0.2 in binary floating point would not be 0.3; here it is exact.
    EXPECT_EQ(Decode(MDB_MONEY, Le<std::int64_t>(3000)), Variant(Currency{3000}));
    EXPECT_EQ(Decode(MDB_MONEY, Le<std::int64_t>(-922337203685477580LL)),
              Variant(Currency{-922337203685477580LL}));
}

TEST(FixedValues, DatesKeepTheTimeOfDay) {
    // 21 September 1974 at 18:00.
    const Variant value = Decode(MDB_DATETIME, Le<double>(27293.75));
    ASSERT_EQ(value.kind(), Variant::Kind::Date);
    EXPECT_EQ(value.AsDate(), DateTime::FromParts(1974, 9, 21, 18, 0, 0));
}

TEST(FixedValues, DatesOutsideTheEngineRangeAreRefused) {
    for (double serial : {3e6, -7e5, std::nan(""), 1e300}) {
        const auto bytes = Le<double>(serial);
        EXPECT_FALSE(DecodeFixedValue(MDB_DATETIME, bytes.data(), bytes.size())) << serial;
    }
    const auto lastDay = Le<double>(2958465.5);  // 31/12/9999 at noon
    EXPECT_TRUE(DecodeFixedValue(MDB_DATETIME, lastDay.data(), lastDay.size()));
}

TEST(FixedValues, SinglesReadAsTheirShortestDecimal) {
    EXPECT_EQ(Decode(MDB_FLOAT, Le<float>(0.1f)), Variant(0.1));
    EXPECT_EQ(Decode(MDB_FLOAT, Le<float>(0.15f)), Variant(0.15));
    EXPECT_EQ(SingleToDouble(-3.25f), -3.25);
    EXPECT_EQ(Decode(MDB_DOUBLE, Le<double>(444.555)), Variant(444.555));
}

TEST(FixedValues, TooFewBytesAreADamagedRowNotAnOverread) {
    const std::vector<std::uint8_t> three = {1, 2, 3};
    for (int type : {MDB_INT, MDB_LONGINT, MDB_MONEY, MDB_FLOAT, MDB_DOUBLE, MDB_DATETIME, MDB_REPID}) {
        const std::size_t size = type == MDB_INT ? 1 : 3;
        EXPECT_FALSE(DecodeFixedValue(type, three.data(), size)) << type;
    }
    EXPECT_FALSE(DecodeFixedValue(MDB_BYTE, three.data(), 0));
}

TEST(FixedValues, GuidsAndBinaryData) {
    const std::vector<std::uint8_t> guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(Decode(MDB_REPID, guid), Variant("{00112233-4455-6677-8899-AABBCCDDEEFF}"));
    EXPECT_EQ(Decode(MDB_BINARY, {0, 1, 2}), Variant(Bytes{0, 1, 2}));
}

TEST(ColumnDescription, TypesAndSizesAsTheEngineReportsThem) {
    MdbColumn column{};
    std::strcpy(column.name, "Descrizione");
    column.col_type = MDB_TEXT;
    column.col_size = 100;  // bytes, as libmdb reports a Text(50) of Jet 4
    EXPECT_EQ(DescribeColumn(column, JetFormat::Jet4).size, 50);
    EXPECT_EQ(DescribeColumn(column, JetFormat::Ace).size, 50);
    EXPECT_EQ(DescribeColumn(column, JetFormat::Jet3).size, 100);
    EXPECT_EQ(DescribeColumn(column, JetFormat::Jet4).type, DataType::Text);
    EXPECT_EQ(DescribeColumn(column, JetFormat::Jet4).name, "Descrizione");

    struct Case {
        int mdbType;
        DataType type;
        int size;
    } cases[] = {{MDB_BOOL, DataType::Boolean, 1},  {MDB_BYTE, DataType::Byte, 1},
                 {MDB_INT, DataType::Integer, 2},   {MDB_LONGINT, DataType::Long, 4},
                 {MDB_MONEY, DataType::Currency, 8}, {MDB_FLOAT, DataType::Single, 4},
                 {MDB_DOUBLE, DataType::Double, 8}, {MDB_DATETIME, DataType::Date, 8},
                 {MDB_MEMO, DataType::Memo, 0},     {MDB_OLE, DataType::LongBinary, 0},
                 {MDB_REPID, DataType::Guid, 16}};
    for (const auto& c : cases) {
        column.col_type = c.mdbType;
        const FieldInfo info = DescribeColumn(column, JetFormat::Jet4);
        EXPECT_EQ(info.type, c.type) << c.mdbType;
        EXPECT_EQ(info.size, c.size) << c.mdbType;
    }
}

}  // namespace
