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

    // Controls, by their design names (also their object names).
    QLabel* lblData = nullptr;
    QLineEdit* txtSourceDb = nullptr;
    QPushButton* cmdSourceDb = nullptr;
    QLineEdit* txtTargetDb = nullptr;
    QPushButton* cmdTargetDb = nullptr;
    QCheckBox* chkSvuota = nullptr;
    QPushButton* cmdAvvia = nullptr;
    QPushButton* cmdChiudi = nullptr;
    ui::ctrProgress* pbrMain = nullptr;
    // What the run is doing and how far it got; at the end, how it ended.
    ui::ProgressCaption* lblProgress = nullptr;
    core::DataControl dcFrom;
    core::DataControl dcTo;
    core::DataControl dcSupport;

    // The run's yields and its stop ("Interrompi"); tests shorten the interval.
    core::RunPacer& Pacer() { return pacer_; }

    // Pixels from twips (15 twips to a pixel).
    static QRect Twips(int left, int top, int width, int height);

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

    core::RunPacer pacer_;
    core::RunSafety safety_;
    std::string stepText_;
    std::size_t stepIndex_ = 0;
    std::size_t stepCount_ = 0;
    bool endAfterRun_ = false;
};

}  // namespace migrate
