#include "bench/migrate/SetBasedScript.h"

#include <sstream>

#include "migrate/MigrationMap.h"

namespace bench {

namespace {

using migrate::FieldRow;
using migrate::RecordFilter;
using migrate::Rule;
using migrate::TableStep;

std::string Name(const std::string& name) { return "\"" + name + "\""; }
std::string Literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string Source(const FieldRow& row) { return "s." + Name(row.source); }

// The leading-number rule. Blanks, tabs and line feeds are dropped, then
// CAST reads the leading number (0 for none). &H and &O texts are read as
// two-digit hexadecimal and octal numbers, which is what the generated
// archives hold. A Null leaves the field to the structure's default, 0.
std::string NumberExpression(const FieldRow& row) {
    const std::string t = "replace(replace(replace(" + Source(row) + ", ' ', ''), char(9), ''), char(10), '')";
    auto at = [&](int i, const char* digits) {
        return "(instr('" + std::string(digits) + "', upper(substr(" + t + ", " + std::to_string(i) + ", 1))) - 1)";
    };
    return "IFNULL(CASE upper(substr(" + t + ", 1, 2))"
           " WHEN '&H' THEN " + at(3, "0123456789ABCDEF") + " * 16 + " + at(4, "0123456789ABCDEF") +
           " WHEN '&O' THEN " + at(3, "01234567") + " * 8 + " + at(4, "01234567") +
           " ELSE CAST(" + t + " AS REAL) END, 0)";
}

// The first record of the table with that code: the index on sCodice
// gives them in the order of their IDs. A Null code is the empty code.
std::string LookupExpression(const FieldRow& row) {
    return "(SELECT min(t.ID) FROM main." + Name(row.lookupTable) + " AS t WHERE t.sCodice = IFNULL(" + Source(row) +
           ", ''))";
}

std::string Expression(const FieldRow& row, const TableStep& step) {
    switch (row.rule) {
    case Rule::Copy: return Source(row);
    case Rule::Cut: return "substr(" + Source(row) + ", 1, " + std::to_string(row.length) + ")";
    case Rule::Number: return NumberExpression(row);
    case Rule::Constant: return std::to_string(row.constant.ToInteger());
    case Rule::Lookup:
        // A look-up in the table being filled sees only the records saved
        // before it: resolved afterwards (see SelfLookups).
        return row.lookupTable == step.destinationTable ? "NULL" : LookupExpression(row);
    }
    return "NULL";
}

// Look-ups of a step into its own table: the k-th source record became the
// record base + k, and may only find records with a smaller ID.
void SelfLookups(std::ostringstream& sql, const TableStep& step) {
    for (const FieldRow& row : step.rows) {
        if (row.rule != Rule::Lookup || row.lookupTable != step.destinationTable) continue;
        const std::string dest = "main." + Name(step.destinationTable);
        sql << "CREATE TEMP TABLE codes (k INTEGER PRIMARY KEY, code TEXT);\n"
            << "INSERT INTO codes (code) SELECT " << Name(row.source) << " FROM v4." << Name(step.sourceTable)
            << " ORDER BY rowid;\n"
            << "UPDATE " << dest << " SET " << Name(row.destination) << " = (SELECT min(t.ID) FROM " << dest
            << " AS t WHERE t.ID < " << dest << ".ID AND t.sCodice = IFNULL((SELECT code FROM codes WHERE k = "
            << dest << ".ID - (SELECT b FROM base)), '')) WHERE ID > (SELECT b FROM base);\n"
            << "DROP TABLE codes;\n";
    }
}

void Step(std::ostringstream& sql, const TableStep& step) {
    const std::string dest = "main." + Name(step.destinationTable);
    sql << "-- " << step.sourceTable << " -> " << step.destinationTable << "\n";
    sql << "CREATE TEMP TABLE base AS SELECT IFNULL(max(ID), 0) AS b FROM " << dest << ";\n";
    std::string columns, values;
    for (const FieldRow& row : step.rows) {
        columns += (columns.empty() ? "" : ", ") + Name(row.destination);
        values += (values.empty() ? "" : ", ") + Expression(row, step) + " AS " + Name(row.destination);
    }
    sql << "INSERT INTO " << dest << " (" << columns << ")\n";
    if (step.filter == RecordFilter::FirstLookupFound) {
        // The first look-up decides whether a record is made at all.
        sql << "SELECT * FROM (SELECT " << values << " FROM v4." << Name(step.sourceTable)
            << " AS s ORDER BY s.rowid) WHERE " << Name(step.rows.front().destination) << " IS NOT NULL;\n";
    } else {
        sql << "SELECT " << values << " FROM v4." << Name(step.sourceTable) << " AS s";
        if (step.filter == RecordFilter::Name)
            sql << " WHERE s." << Name(migrate::kNameField) << " IS NOT NULL AND length(s."
                << Name(migrate::kNameField) << ") > 2";
        sql << " ORDER BY s.rowid;\n";
    }
    SelfLookups(sql, step);
    sql << "DROP TABLE base;\n";
}

}  // namespace

std::string SetBasedMigrationScript(const std::string& archivePath, const std::string& archiveKey,
                                    const std::string& destinationKey) {
    std::ostringstream sql;
    // The archive's key is derived when it is attached: the compatibility
    // has to be the default by then.
    sql << "PRAGMA cipher_default_compatibility = 3;\n"
        << "PRAGMA key = " << Literal(destinationKey) << ";\n"
        << "PRAGMA cipher_compatibility = 3;\n"
        << "ATTACH DATABASE " << Literal(archivePath) << " AS v4 KEY " << Literal(archiveKey) << ";\n"
        << "BEGIN;\n";
    for (const TableStep& step : migrate::MigrationSteps()) Step(sql, step);
    sql << "COMMIT;\n";
    return sql.str();
}

}  // namespace bench
