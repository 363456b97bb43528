#pragma once
// Tessily's only window: the source and destination rows, the source and
// destination table lists, 24 pairing slots (a destination field's label
// above the list of source fields), the emptying check box, the progress bar
// and the two buttons. The handlers are public so that tests drive them
// without a screen; the run itself lives in ImportRun.

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/RunPacer.h"
#include "common/RunSafety.h"
#include "common/ValueClasses.h"
#include "common/engine/Dao.h"
#include "import/ImportRun.h"
#include "import/TemplateFormat.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class ctrProgress;
class ProgressCaption;
}

namespace import {

inline constexpr const char* kProgramTitle = "Tessily";

// What the status line says after a change of destination table.
std::string PairingsChangedText(int cleared, int kept);

class frmMain : public QWidget, private ImportView {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The load sequence; false when it ended the program.
    bool Load();

    // Event handlers.
    void cmbTblTo_Click(int index);
    void cmbTblFrom_Click(int index);
    void cmdSourceDb_Click();
    void cmdAvvia_Click();
    void cmdChiudi_Click();

    // Whether a handler ended the program (missing file at load or template).
    bool Ended() const { return ended_; }

    // Window state, for tests.
    const std::vector<core::cTable>& Tables() const { return mTables; }
    std::int16_t TableCount() const { return mTableCount; }
    const ImportTemplate& Template() const { return mTemplate; }
    core::DataControl& dcFrom() { return dcFrom_; }
    core::DataControl& dcTo() { return dcTo_; }

    QComboBox* cmbTblFrom() const { return cmbTblFrom_; }
    QComboBox* cmbTblTo() const { return cmbTblTo_; }
    QLabel* lblFldTo(int slotIndex) const { return lblFldTo_[static_cast<std::size_t>(slotIndex)]; }
    QComboBox* cmbFldFrom(int slotIndex) const { return cmbFldFrom_[static_cast<std::size_t>(slotIndex)]; }
    QCheckBox* chkSvuota() const { return chkSvuota_; }
    QPushButton* cmdAvvia() const { return cmdAvvia_; }
    QLineEdit* txtSourceDb() const { return txtSourceDb_; }
    QLineEdit* txtTargetDb() const { return txtTargetDb_; }
    QLabel* lblData() const { return lblData_; }
    ui::ctrProgress* pbrMain() const { return pbrMain_; }
    ui::ProgressCaption* lblStato() const { return lblStato_; }
    QPushButton* cmdChiudi() const { return cmdChiudi_; }
    // The run's yields and its stop ("Interrompi"); tests shorten the interval.
    core::RunPacer& Pacer() { return pacer_; }

protected:
    // Closing the window during a run asks whether to stop it.
    void closeEvent(QCloseEvent* event) override;

private:
    // ImportView
    std::int32_t SelectedTableId() override;
    std::string SlotSource(int k) override;
    bool EmptyDestinationFirst() override;
    void SetProgress(int percent) override;
    void Activity(const std::string& text) override;
    void RecordDone(long long saved) override;
    void ShowRecords(long long saved);

    void BuildControls();
    void Refuse(const std::string& text);
    void ShowError(int number, const std::string& description);
    void SelectTblToQuietly(int index);

    // Controls, named as the window's design names them.
    QLabel* lblData_ = nullptr;
    QLineEdit* txtSourceDb_ = nullptr;
    QPushButton* cmdSourceDb_ = nullptr;
    QLineEdit* txtTargetDb_ = nullptr;
    QPushButton* cmdTargetDb_ = nullptr;
    QComboBox* cmbTblFrom_ = nullptr;
    QComboBox* cmbTblTo_ = nullptr;
    std::array<QLabel*, kSlotCount> lblFldTo_{};
    std::array<QComboBox*, kSlotCount> cmbFldFrom_{};
    QCheckBox* chkSvuota_ = nullptr;
    ui::ctrProgress* pbrMain_ = nullptr;
    // What the run is doing, and what a change of destination did to the
    // pairings.
    ui::ProgressCaption* lblStato_ = nullptr;
    QPushButton* cmdAvvia_ = nullptr;
    QPushButton* cmdChiudi_ = nullptr;

    core::DataControl dcFrom_;
    core::DataControl dcTo_;

    std::int16_t mTableCount = 0;
    std::vector<core::cTable> mTables;
    ImportTemplate mTemplate;  // mTplFile, mStdCount, mReqCount, mFields
    int shownTblTo_ = -1;      // the entry whose template the slots show
    bool ended_ = false;

    core::RunPacer pacer_;
    core::RunSafety safety_;
    std::string activity_;
};

}  // namespace import
