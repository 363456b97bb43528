#pragma once
// The version-4 to version-5 migration as data: thirteen table steps, each
// a source table, a destination table, a record filter and one row per
// destination field, in the order in which the fields are written.

#include <string>
#include <vector>

#include "common/engine/Variant.h"

namespace migrate {

enum class Rule {
    Copy,      // the source value as it stands, Null included
    Cut,       // the first n characters of the value as text; Null stays Null
    Number,    // the leading number of the value as text; Null leaves the field unwritten
    Constant,  // a fixed value
    Lookup,    // the ID of the destination record of lookupTable whose sCodice is the source value
};

struct FieldRow {
    std::string destination;
    std::string source;       // empty for a constant
    Rule rule = Rule::Copy;
    int length = 0;           // Cut
    core::Variant constant;   // Constant
    std::string lookupTable;  // Lookup
};

enum class RecordFilter {
    None,
    // Denominazione not Null and longer than 2 characters.
    Name,
    // The first row's look-up must find its record, or no record is made.
    FirstLookupFound,
};

struct TableStep {
    int number = 0;  // 1 to 13, the order of the run
    std::string sourceTable;
    std::string destinationTable;
    RecordFilter filter = RecordFilter::None;
    std::vector<FieldRow> rows;
};

// The thirteen steps in the order of the run: every look-up table is
// filled before the tables that refer to it.
const std::vector<TableStep>& MigrationSteps();

// The source field of the name filter.
inline constexpr const char* kNameField = "Denominazione";

}  // namespace migrate
