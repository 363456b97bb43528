// Reads every table of every fixture through the driver and checks table
// lists, row counts, column names and every value against mdbtools' own
// command-line export of the same file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/engine/access/AccessConnection.h"
#include "tests/access/AccessFixtures.h"
#include "tests/access/MdbTools.h"

using namespace core;
using core::access::AccessConnection;

namespace {

std::string Hex(const Bytes& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0xF]);
    }
    return out;
}

std::string CurrencyText(Currency c) {
    const bool negative = c.scaled < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(c.scaled) : static_cast<unsigned long long>(c.scaled);
    char text[48];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000, magnitude % 10000);
    return text;
}

// mdb-export rounds the time of day to the nearest second.
std::string DateText(DateTime d) {
    DateTime rounded{(d.ms >= 0 ? d.ms + 500 : d.ms - 500) / 1000 * 1000};
    int y, mo, da, h, mi, s, ms;
    rounded.ToParts(y, mo, da, h, mi, s, ms);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, da, h, mi, s);
    return text;
}

// mdb-export handles texts and short binary values as C strings: it stops
// at the first zero byte (the system tables hold such values). The driver
// keeps them whole; the comparison cuts them where mdb-export does.
Variant AsMdbExportSeesIt(const FieldInfo& field, const Variant& value) {
    if (value.IsText()) return Variant(value.AsText().substr(0, value.AsText().find('\0')));
    if (value.kind() == Variant::Kind::Binary && field.type == DataType::Binary) {
        const Bytes& bytes = value.AsBytes();
        return Variant(Bytes(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0)));
    }
    return value;
}

// Empty when the driver's value agrees with mdb-export's text, otherwise a
// description of the difference.
std::string Compare(const FieldInfo& field, const Variant& value, const std::optional<std::string>& theirs) {
    std::ostringstream why;
    const Variant ours = AsMdbExportSeesIt(field, value);
    // mdb-export prints a Null and an empty text alike.
    const bool oursEmpty = ours.IsNull() || (ours.IsText() && ours.AsText().empty()) ||
                           (ours.kind() == Variant::Kind::Binary && ours.AsBytes().empty());
    if (!theirs) {
        // mdb-export prints nothing for a binary value that starts with a
        // zero byte or whose type it does not know.
        if (oursEmpty || field.type == DataType::Binary) return {};
        why << "expected Null or empty, got " << Describe(ours);
        return why.str();
    }
    if (ours.IsNull()) return "got Null, expected '" + *theirs + "'";
    switch (ours.kind()) {
        case Variant::Kind::Boolean:
            if ((ours.AsBool() ? "1" : "0") == *theirs) return {};
            break;
        case Variant::Kind::Integer:
            if (std::to_string(ours.AsInteger()) == *theirs) return {};
            break;
        case Variant::Kind::Currency:
            if (CurrencyText(ours.AsCurrency()) == *theirs) return {};
            break;
        case Variant::Kind::Double: {
            const double expected = std::stod(*theirs);
            if (field.type == DataType::Single) {
                if (static_cast<float>(expected) == static_cast<float>(ours.AsDouble())) return {};
            } else if (std::fabs(expected - ours.AsDouble()) <= 1e-14 * std::max(1.0, std::fabs(expected))) {
                return {};
            }
            break;
        }
        case Variant::Kind::Date:
            // libmdb cannot print dates before 1899.
            if (ours.AsDate().ms < 0 || DateText(ours.AsDate()) == *theirs) return {};
            break;
        case Variant::Kind::Text:
            if (ours.AsText() == *theirs) return {};
            if (field.type == DataType::Guid) {
                // mdb-export prints the GUID's text in hex, and without the
                // dash between its last two groups.
                std::string text = ours.AsText();
                std::erase(text, '-');
                std::string printed = *theirs;
                std::string clear;
                for (std::size_t i = 0; i + 1 < printed.size(); i += 2)
                    clear.push_back(static_cast<char>(std::stoi(printed.substr(i, 2), nullptr, 16)));
                std::erase(clear, '-');
                if (text == clear) return {};
            }
            break;
        case Variant::Kind::Binary:
            if (Hex(ours.AsBytes()) == *theirs) return {};
            break;
        default:
            break;
    }
    why << "got " << Describe(ours).substr(0, 200) << ", mdb-export says '" << theirs->substr(0, 200) << "'";
    return why.str();
}

class ExportComparison : public ::testing::TestWithParam<accesstest::Fixture> {};

TEST_P(ExportComparison, TablesRowsAndValuesMatchMdbExport) {
    // scripts/setup.sh installs mdbtools: without mdb-export nothing is compared.
    ASSERT_TRUE(accesstest::MdbToolsAvailable()) << "mdb-export not found on PATH (package mdbtools)";
    const auto& fixture = GetParam();
    auto connection = AccessConnection::Open(fixture.path, fixture.password);

    const auto names = connection->TableNames();
    ASSERT_EQ(names, accesstest::MdbTables(fixture.path));

    for (const auto& name : names) {
        SCOPED_TRACE("table " + name);
        const auto exported = accesstest::MdbExport(fixture.path, name);
        auto cursor = connection->OpenCursor("SELECT * FROM [" + name + "]");
        const auto& columns = cursor->Columns();
        std::vector<std::string> columnNames;
        for (const auto& c : columns) columnNames.push_back(c.name);
        ASSERT_EQ(columnNames, exported.columns);

        std::size_t row = 0;
        int mismatches = 0;
        for (; !cursor->AtEnd(); cursor->Next(), ++row) {
            ASSERT_LT(row, exported.rows.size()) << "more rows than mdb-export";
            const auto& theirs = exported.rows[row];
            ASSERT_EQ(theirs.size(), columns.size()) << "row " << row;
            for (std::size_t c = 0; c < columns.size() && mismatches < 5; ++c) {
                const std::string why = Compare(columns[c], cursor->Get(static_cast<int>(c)), theirs[c]);
                if (!why.empty()) {
                    ++mismatches;
                    ADD_FAILURE() << "row " << row << " field " << columns[c].name << ": " << why;
                }
            }
        }
        EXPECT_EQ(row, exported.rows.size()) << "row count";
    }
}

std::string FixtureName(const ::testing::TestParamInfo<accesstest::Fixture>& info) {
    std::string name = info.param.path.substr(info.param.path.find_last_of('/') + 1);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryFixture, ExportComparison, ::testing::ValuesIn(accesstest::ReadableFixtures()),
                         FixtureName);

}  // namespace
