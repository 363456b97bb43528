// The run class on its own, with a view that records what the window would
// show: progress after every source record, skipped ones included.

#include <gtest/gtest.h>

#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "migrate/MigrationRun.h"
#include "tests/migrate/MigrationFixture.h"
#include "tests/migrate/SampleRows.h"
#include "tests/support/ScriptedDialogs.h"

namespace migratetest {
namespace {

struct RecordingView : migrate::MigrationView {
    std::string source;
    bool empty = false;
    std::vector<int> values;
    std::vector<bool> visibility;
    std::string SourcePath() const override { return source; }
    bool EmptyTablesChecked() const override { return empty; }
    void SetProgressVisible(bool visible) override { visibility.push_back(visible); }
    void SetProgressValue(int percent) override { values.push_back(percent); }
};

class RunProgress : public MigrationFixture {
protected:
    migrate::RunOutcome Run(const std::vector<migrate::TableStep>& steps) {
        core::LoadDestinationSettings(true);
        view_.source = ArchivePath();
        migrate::MigrationRun run(view_, {from_, to_, support_});
        run.UseSteps(steps);
        dialogs_->AnswerMessage(core::MsgResult::Yes);
        return run.Run();
    }
    static std::vector<migrate::TableStep> Only(std::initializer_list<int> numbers) {
        std::vector<migrate::TableStep> steps;
        for (int n : numbers) steps.push_back(migrate::MigrationSteps()[static_cast<std::size_t>(n - 1)]);
        return steps;
    }

    testsupport::ScopedScriptedDialogs dialogs_;
    RecordingView view_;
    core::DataControl from_, to_, support_;
};

TEST_F(RunProgress, OneValuePerSourceRecordClimbingToTheEndOfEachTable) {
    MakeDestination();
    MakeArchive(BaseRows());
    ASSERT_EQ(Run(Only({1, 2})), migrate::RunOutcome::Succeeded) << dialogs_->Transcript();
    // 7 suppliers (3 of them skipped) and 4 areas, then the clean-up's 0.
    ASSERT_EQ(view_.values.size(), 7u + 4u + 1u);
    EXPECT_EQ(view_.values.back(), 0);
    for (std::size_t i = 0; i + 1 < view_.values.size(); ++i) {
        EXPECT_GE(view_.values[i], 0);
        EXPECT_LE(view_.values[i], 100);
    }
    for (std::size_t i = 1; i < 7; ++i) EXPECT_GE(view_.values[i], view_.values[i - 1]);
    for (std::size_t i = 8; i < 11; ++i) EXPECT_GE(view_.values[i], view_.values[i - 1]);
    EXPECT_LT(view_.values[7], view_.values[6]);  // falls back at the next table
    EXPECT_EQ(view_.visibility, (std::vector<bool>{true, false}));
}

TEST_F(RunProgress, AnEmptyTableLeavesTheBarWhereItWas) {
    MakeDestination();
    MakeArchive("INSERT INTO \"Area\" VALUES ('NORD','Nord');");
    ASSERT_EQ(Run(Only({2, 3})), migrate::RunOutcome::Succeeded);
    ASSERT_EQ(view_.values.size(), 2u);  // one area, no zone, the clean-up
    EXPECT_EQ(view_.values.back(), 0);
}

TEST_F(RunProgress, AReusedLookupControlNeverHandsOnAnEarlierRow) {
    // The zone after a resolved one names nothing: it must not inherit the
    // area found for the zone before it.
    MakeDestination();
    MakeArchive(
        "INSERT INTO \"Area\" VALUES ('NORD','Nord');\n"
        "INSERT INTO \"Zona\" VALUES ('Z1','Uno','NORD');\n"
        "INSERT INTO \"Zona\" VALUES ('Z2','Due','NESSUNA');\n"
        "INSERT INTO \"Zona\" VALUES ('Z3','Tre','NORD');\n");
    ASSERT_EQ(Run(Only({2, 3})), migrate::RunOutcome::Succeeded);
    const auto zones = Rows("tblZone");
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_FALSE(zones[0].at("IDArea").IsNull());
    EXPECT_TRUE(zones[1].at("IDArea").IsNull());
    EXPECT_EQ(zones[2].at("IDArea"), zones[0].at("IDArea"));
}

TEST_F(RunProgress, ALookupInTheStepsOwnTableSeesTheRecordsTheStepHasSaved) {
    // Zones that name another zone: Z1's zone is saved only after Z1 looked
    // for it, Z3 looks for the same code once it is there.
    MakeDestination();
    MakeArchive(
        "INSERT INTO \"Zona\" VALUES ('Z1','Uno','Z2');\n"
        "INSERT INTO \"Zona\" VALUES ('Z2','Due','Z1');\n"
        "INSERT INTO \"Zona\" VALUES ('Z3','Tre','Z2');\n");
    std::vector<migrate::TableStep> steps = Only({3});
    ASSERT_EQ(steps[0].rows.back().rule, migrate::Rule::Lookup);
    steps[0].rows.back().lookupTable = "tblZone";
    ASSERT_EQ(Run(steps), migrate::RunOutcome::Succeeded) << dialogs_->Transcript();
    const auto zones = Rows("tblZone");
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_TRUE(zones[0].at("IDArea").IsNull());
    EXPECT_EQ(zones[1].at("IDArea"), zones[0].at("ID"));
    EXPECT_EQ(zones[2].at("IDArea"), zones[1].at("ID"));
}

TEST_F(RunProgress, ErrorTitleIsTheNumberInDecimal) {
    EXPECT_EQ(msg::ErrorTitle(3022), "Errore n. 3022");
    EXPECT_EQ(msg::ErrorTitle(94), "Errore n. 94");
}

}  // namespace
}  // namespace migratetest
