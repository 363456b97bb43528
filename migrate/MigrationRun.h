#pragma once
// The migration run started by "Avvia": after one confirmation it copies the
// thirteen version-4 tables into the version-5 database through the three
// data controls of the window, record by record, and ends with exactly one
// message (success or the error that stopped it). No widgets here: the
// window is reached through MigrationView, the user through TheDialogs().
// The final message carries the run's report as its details.

#include <string>
#include <vector>

#include "common/Messages.h"
#include "migrate/MigrationMap.h"
#include "migrate/MigrationReport.h"

namespace core {
class DataControl;
class RunSafety;
}

namespace migrate {

// What the run needs of its window.
class MigrationView {
public:
    virtual ~MigrationView() = default;
    virtual std::string SourcePath() const = 0;      // txtSourceDb
    virtual bool EmptyTablesChecked() const = 0;     // chkSvuota ticked (grey is not)
    virtual void SetProgressVisible(bool visible) = 0;  // pbrMain
    virtual void SetProgressValue(int percent) = 0;
    // The run reached step `index` (from 0) of `count`.
    virtual void StepStarted(std::size_t index, std::size_t count, const TableStep& step) {}
    // After every source record of a step, copied or skipped, with the
    // records the step has saved so far: where the window may process its
    // events, and raise core::UserInterrupt when the user stopped the run.
    virtual void RecordDone(long long saved) {}
};

struct MigrationControls {
    core::DataControl& from;     // source table
    core::DataControl& to;       // destination table
    core::DataControl& support;  // look-ups in the destination
};

// Every version-4 archive is protected with this password.
inline constexpr const char* kSourcePassword = "vup";

enum class RunOutcome {
    Declined,   // the user answered No: nothing was touched
    Succeeded,  // every step ran; the success message was shown
    Stopped,    // an error stopped the run; it was reported
};

class MigrationRun {
public:
    MigrationRun(MigrationView& view, MigrationControls controls);

    // Runs these steps instead of the full map (tests of a single step).
    void UseSteps(const std::vector<TableStep>& steps) { steps_ = &steps; }
    // A safety copy of the destination before the first write, offered
    // back at the end of a run that failed or was stopped.
    void UseSafety(core::RunSafety* safety) { safety_ = safety; }

    // The whole click: question, steps, message, clean-up. Never throws.
    RunOutcome Run();

    // What the last run did, as shown in the details of its final message.
    const MigrationReport& Report() const { return report_; }

private:
    void RunSteps();
    void CleanUp();
    // After an error: the step under way recounted in its destination
    // table; the sentence for the message (empty when no step was copying).
    std::string RecountCurrentStep();

    MigrationView& view_;
    MigrationControls controls_;
    const std::vector<TableStep>* steps_;
    core::RunSafety* safety_ = nullptr;
    MigrationReport report_;
};

}  // namespace migrate
