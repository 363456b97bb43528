// The map's shape against the migration's table of steps: a wrong order or
// a lost row would only show as a missing field deep in a run.

#include <gtest/gtest.h>

#include <set>

#include "migrate/MigrationMap.h"

using migrate::MigrationSteps;
using migrate::RecordFilter;
using migrate::Rule;

TEST(MigrationMap, ThirteenStepsInOrderOfDependence) {
    const auto& steps = MigrationSteps();
    ASSERT_EQ(steps.size(), 13u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Fornitori", "tblAnMandanti"}, {"Area", "tblAree"},          {"Zona", "tblZone"},
        {"Pagamenti", "tblTiPagamento"}, {"ModalitaPagamento", "tblMoPagamento"},
        {"CatArt", "tblCaArticoli"},    {"IVA", "tblAliquoteIVA"},    {"Listini", "tblListini"},
        {"Unita", "tblUnMisura"},       {"Agenti", "tblAnSubAgenti"}, {"Clienti", "tblAnClienti"},
        {"Articoli", "tblArticoli"},    {"ArtList", "tblArListini"}};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].number, static_cast<int>(i + 1));
        EXPECT_EQ(steps[i].sourceTable, expected[i].first);
        EXPECT_EQ(steps[i].destinationTable, expected[i].second);
    }
    // Fields per step: plain rows and look-ups together.
    const std::vector<std::size_t> rows = {32, 2, 3, 2, 15, 3, 4, 4, 2, 25, 45, 18, 2};
    for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].rows.size(), rows[i]) << steps[i].sourceTable;
}

TEST(MigrationMap, FiltersAndLookupsComeWhereTheyBelong) {
    const auto& steps = MigrationSteps();
    for (const auto& step : steps) {
        const RecordFilter want = step.number == 1 || step.number == 10 || step.number == 11 ? RecordFilter::Name
                                  : step.number == 13                                          ? RecordFilter::FirstLookupFound
                                                                                               : RecordFilter::None;
        EXPECT_EQ(step.filter, want) << step.sourceTable;
        // Look-ups come after every plain field.
        bool seenLookup = false;
        std::set<std::string> destinations;
        for (const auto& row : step.rows) {
            if (row.rule == Rule::Lookup) seenLookup = true;
            else EXPECT_FALSE(seenLookup) << step.sourceTable << " " << row.destination;
            EXPECT_TRUE(destinations.insert(row.destination).second) << "written twice: " << row.destination;
        }
    }
    // Every look-up table is filled by an earlier step, or never (customer
    // categories and ratings), or by the step itself (price lists).
    std::set<std::string> filled;
    for (const auto& step : steps) {
        for (const auto& row : step.rows) {
            if (row.rule != Rule::Lookup) continue;
            const bool earlier = filled.count(row.lookupTable) > 0;
            const bool self = row.lookupTable == step.destinationTable;
            const bool preset = row.lookupTable == "tblCaClienti" || row.lookupTable == "tblBoClienti";
            EXPECT_TRUE(earlier || self || preset) << step.sourceTable << " " << row.lookupTable;
        }
        filled.insert(step.destinationTable);
    }
}

TEST(MigrationMap, InstalmentsAndConstant) {
    const auto& methods = MigrationSteps()[4].rows;
    EXPECT_EQ(methods[3].destination, "nScad01");
    EXPECT_EQ(methods[3].source, "Scad1");
    EXPECT_EQ(methods[14].destination, "nScad12");
    EXPECT_EQ(methods[14].source, "Scad12");
    for (int i = 3; i < 15; ++i) EXPECT_EQ(methods[i].rule, Rule::Number);
    const auto& agents = MigrationSteps()[9].rows;
    EXPECT_EQ(agents[22].destination, "IDTiMandato");
    EXPECT_EQ(agents[22].rule, Rule::Constant);
    EXPECT_EQ(agents[22].constant, core::Variant(1));
}
