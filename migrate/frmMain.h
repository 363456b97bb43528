#pragma once
// The one window of Varnel: source and destination paths, the check box
// that empties the destination tables, "Avvia" and "Chiudi", the progress
// bar. The window only wires its controls to the shared source selection
// and to the migration run.

#include <QDialog>
#include <memory>
#include <string>

#include "common/RunPacer.h"
#include "common/RunSafety.h"
#include "common/engine/Dao.h"
#include "migrate/MigrationRun.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class ctrProgress;
class ProgressCaption;
}

namespace migrate {

inline constexpr const char* kProgramTitle = "Varnel";
inline constexpr const char* kDesignCaption = "Varnel - Utilità di Importazione Dati";

class frmMain : public QDialog, private MigrationView {
    Q_OBJECT
public:
    frmMain();

    // The load sequence; false when it ended the program.
    bool Load();

    // Event handlers.
    void cmdSourceDb_Click();
    RunOutcome cmdAvvia_Click();
    void cmdChiudi_Click();

    // Controls, by their design names (also their object names), for tests.
    QLabel* lblData() const { return lblData_; }
    QLineEdit* txtSourceDb() const { return txtSourceDb_; }
    QPushButton* cmdSourceDb() const { return cmdSourceDb_; }
    QLineEdit* txtTargetDb() const { return txtTargetDb_; }
    QPushButton* cmdTargetDb() const { return cmdTargetDb_; }
    QCheckBox* chkSvuota() const { return chkSvuota_; }
    QPushButton* cmdAvvia() const { return cmdAvvia_; }
    QPushButton* cmdChiudi() const { return cmdChiudi_; }
    ui::ctrProgress* pbrMain() const { return pbrMain_; }
    ui::ProgressCaption* lblProgress() const { return lblProgress_; }
    core::DataControl& dcFrom() { return dcFrom_; }
    core::DataControl& dcTo() { return dcTo_; }
    core::DataControl& dcSupport() { return dcSupport_; }

    // The run's yields and its stop ("Interrompi"); tests shorten the interval.
    core::RunPacer& Pacer() { return pacer_; }

protected:
    // Escape and the window's close box end the program like "Chiudi".
    void reject() override;

private:
    void BuildControls();

    // MigrationView
    std::string SourcePath() const override;
    bool EmptyTablesChecked() const override;
    void SetProgressVisible(bool visible) override;
    void SetProgressValue(int percent) override;
    void StepStarted(std::size_t index, std::size_t count, const TableStep& step) override;
    void RecordDone(long long saved) override;

    void ShowRecords(long long saved);
    void ShowEnd(RunOutcome outcome, const MigrationReport& report);

    // Controls, by their design names.
    QLabel* lblData_ = nullptr;
    QLineEdit* txtSourceDb_ = nullptr;
    QPushButton* cmdSourceDb_ = nullptr;
    QLineEdit* txtTargetDb_ = nullptr;
    QPushButton* cmdTargetDb_ = nullptr;
    QCheckBox* chkSvuota_ = nullptr;
    QPushButton* cmdAvvia_ = nullptr;
    QPushButton* cmdChiudi_ = nullptr;
    ui::ctrProgress* pbrMain_ = nullptr;
    // What the run is doing and how far it got; at the end, how it ended.
    ui::ProgressCaption* lblProgress_ = nullptr;
    core::DataControl dcFrom_;
    core::DataControl dcTo_;
    core::DataControl dcSupport_;

    core::RunPacer pacer_;
    core::RunSafety safety_;
    std::string stepText_;
    std::size_t stepIndex_ = 0;
    std::size_t stepCount_ = 0;
};

}  // namespace migrate
