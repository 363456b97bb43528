#include "migrate/MigrationRun.h"

#include <iostream>

#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "migrate/RunQuestion.h"
#include "migrate/StepCopier.h"

namespace migrate {

std::string ErrorTitle(int number) { return "Errore n. " + std::to_string(number); }

MigrationRun::MigrationRun(MigrationView& view, MigrationControls controls)
    : view_(view), controls_(controls), steps_(&MigrationSteps()) {}

void MigrationRun::RunSteps() {
    const std::vector<TableStep>& steps = *steps_;
    for (std::size_t i = 0; i < steps.size(); ++i) {
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
            dialogs.MessageBox(e.Description(), core::MsgButtons::Ok, core::MsgIcon::Critical, ErrorTitle(e.Number()));
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
        dialogs.ProcessEvents();  // the run's only yield
        RunSteps();
        report_.SetSucceeded();
        dialogs.MessageBox(kSuccessMessage, core::MsgButtons::Ok, core::MsgIcon::Information, title, report_.Text());
        outcome = RunOutcome::Succeeded;
    } catch (const OpenFailed&) {
        // Already reported by OpenDataControl.
    } catch (const core::Error& e) {
        // The record being built is not saved; what was saved stays.
        try {
            if (controls_.to.HasRecordset()) controls_.to.Recordset().CancelUpdate();
        } catch (const std::exception&) {
        }
        try {
            dialogs.MessageBox(e.Description(), core::MsgButtons::Ok, core::MsgIcon::Critical, ErrorTitle(e.Number()),
                               report_.Text());
        } catch (const std::exception& nested) {
            std::cerr << nested.what() << '\n';
        }
    } catch (const std::exception& e) {
        try {
            dialogs.MessageBox(e.what(), core::MsgButtons::Ok, core::MsgIcon::Critical,
                               ErrorTitle(core::err::ReservedError), report_.Text());
        } catch (const std::exception& nested) {
            std::cerr << nested.what() << '\n';
        }
    }
    CleanUp();
    return outcome;
}

void MigrationRun::CleanUp() {
    try {
        core::TheDialogs().SetBusy(false);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    view_.SetProgressValue(0);
    view_.SetProgressVisible(false);
}

}  // namespace migrate
