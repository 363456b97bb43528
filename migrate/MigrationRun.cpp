#include "migrate/MigrationRun.h"

#include <iostream>

#include "common/CommittedCount.h"
#include "common/DataHelpers.h"
#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/SourceCheck.h"
#include "common/RunError.h"
#include "common/RunSafety.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "migrate/RunQuestion.h"
#include "migrate/StepCopier.h"

namespace migrate {

namespace {

std::vector<std::string> SourceTables(const std::vector<TableStep>& steps) {
    std::vector<std::string> tables;
    for (const TableStep& step : steps) tables.push_back(step.sourceTable);
    return tables;
}

}  // namespace

MigrationRun::MigrationRun(MigrationView& view, MigrationControls controls)
    : view_(view), controls_(controls), steps_(&MigrationSteps()) {}

void MigrationRun::RunSteps() {
    const std::vector<TableStep>& steps = *steps_;
    // A source or destination table that cannot be opened stops the run in
    // OpenDataControl's own message, which then carries the report.
    core::OpenFailureDetails details([this] { return report_.Text(); });
    for (std::size_t i = 0; i < steps.size(); ++i) {
        view_.StepStarted(i, steps.size(), steps[i]);
        StepCopier(steps[i], view_, controls_, report_.Begin(i)).Run();
        report_.Finish(i);
    }
}

RunOutcome MigrationRun::Run() {
    const std::string& title = core::ThePrefs().programTitle;
    core::Dialogs& dialogs = core::TheDialogs();
    try {
        const bool empty = view_.EmptyTablesChecked();
        if (dialogs.MessageBox(ConfirmQuestion(empty, CountDestinationRecords(*steps_)), core::MsgButtons::YesNo,
                               core::MsgIcon::Exclamation, title) != core::MsgResult::Yes)
            return RunOutcome::Declined;
    } catch (const core::Error& e) {
        // Committing before the question failed: nothing has been touched.
        try {
            dialogs.MessageBox(e.Description(), core::MsgButtons::Ok, core::MsgIcon::Critical, msg::ErrorTitle(e.Number()));
        } catch (const std::exception& nested) {
            std::cerr << nested.what() << '\n';
        }
        return RunOutcome::Stopped;
    }

    RunOutcome outcome = RunOutcome::Stopped;
    try {
        report_.Start(*steps_);
        dialogs.SetBusy(true);
        view_.SetProgressVisible(true);
        dialogs.ProcessEvents();
        // A damaged source stops the run here, before anything is written.
        core::VerifySourceTables(view_.SourcePath(), std::string(";PWD=") + kSourcePassword, SourceTables(*steps_));
        if (safety_) safety_->BeforeFirstWrite();
        RunSteps();
        report_.SetSucceeded();
        // Closing commits: a failure here is the run's error.
        controls_.support.Close();
        controls_.to.Close();
        dialogs.MessageBox(msg::kSuccess, core::MsgButtons::Ok, core::MsgIcon::Information, title, report_.Text());
        outcome = RunOutcome::Succeeded;
    } catch (const OpenFailed&) {
        // Already reported by OpenDataControl.
    } catch (...) {
        const core::RunError error = core::CurrentRunError();
        std::string text = error.text;
        // The record being built is not saved; what was saved stays.
        try {
            if (controls_.to.HasRecordset()) controls_.to.Recordset().CancelUpdate();
        } catch (const std::exception& e) {
            text += "\n\n" + std::string(e.what());
        }
        for (const std::string& more : {RecountCurrentStep(), core::CloseAll({&controls_.support, &controls_.to})})
            if (!more.empty()) text += "\n\n" + more;
        try {
            core::ShowRunFailure(safety_, error.number, text, report_.Text());
        } catch (const std::exception& nested) {
            std::cerr << error.text << " / " << nested.what() << '\n';
        }
    }
    CleanUp();
    return outcome;
}

std::string MigrationRun::RecountCurrentStep() {
    MigrationReport::Step* step = report_.Current();
    if (!step || step->baseline < 0) return {};
    step->tallied = step->saved;
    step->counted = -1;
    try {
        step->counted = core::CountSince(controls_.to.Database(), step->step->destinationTable, step->baseline);
    } catch (const core::Error&) {
        // No database left to count in: said as such below.
    }
    if (step->counted >= 0) step->saved = step->counted;
    return core::CommittedSentence(step->step->destinationTable, step->counted, step->tallied);
}

void MigrationRun::CleanUp() {
    // Nothing stays open on the destination once the run is over.
    if (const std::string failures = core::CloseAll({&controls_.support, &controls_.to}); !failures.empty())
        std::cerr << failures << '\n';
    try {
        core::TheDialogs().SetBusy(false);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    view_.SetProgressValue(0);
    view_.SetProgressVisible(false);
}

}  // namespace migrate
