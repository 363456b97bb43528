#pragma once
// Quillon's one window: the archive and its upgrade template, read-only,
// "Avvia" for the upgrade run and "Chiudi".

#include <QWidget>

#include <functional>
#include <memory>

#include "common/RunPacer.h"
#include "common/engine/Dao.h"
#include "upgrade/UpgradeRun.h"
#include "upgrade/UpgradeView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace ui {
class ctrProgress;
class ProgressCaption;
}

namespace upgrade {

inline constexpr const char* kProgramTitle = "Quillon";

class frmMain : public QWidget, public UpgradeView {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The load sequence. False when it refused to start (the refusal, if
    // any, already shown): the program is to end.
    bool Load();

    // The buttons' handlers, public so that tests press them headless.
    void cmdAvvia_Click();
    void cmdChiudi_Click();

    // What "Chiudi" does; tests replace it to stay alive.
    void SetEndProgram(std::function<void()> end) { endProgram_ = std::move(end); }

    // UpgradeView
    void SetTableCaption(const std::string& caption) override;
    void SetProgress(int percent) override;
    void StageReached(UpgradeStage stage) override;
    void TableStarted(std::size_t index, std::size_t count, const std::string& name) override;
    void RowDone(long long copied) override;

    UpgradeRun& Run() { return run_; }
    // The run's yields and its stop ("Interrompi"); tests shorten the interval.
    core::RunPacer& Pacer() { return pacer_; }

protected:
    // Closing the window during a run asks whether to stop it.
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowRows(long long copied);
    void ShowEnd();

    void BuildControls();

    QWidget* picture1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* lblData_ = nullptr;
    QLabel* label2_ = nullptr;
    QLineEdit* txtSourceDb_ = nullptr;
    QPushButton* cmdSourceDb_ = nullptr;
    QLabel* label3_ = nullptr;
    QLineEdit* txtTargetDb_ = nullptr;
    QPushButton* cmdTargetDb_ = nullptr;
    // The table being copied and its rows, the final checks, the swap; at
    // the end how the run ended.
    ui::ProgressCaption* lblTbl_ = nullptr;
    QPushButton* cmdAvvia_ = nullptr;
    QPushButton* cmdChiudi_ = nullptr;
    ui::ctrProgress* pbrMain_ = nullptr;
    // Part of the layout every program shares; this program's code never
    // uses them.
    core::DataControl dcFrom_;
    core::DataControl dcTo_;

    UpgradeRun run_;
    std::function<void()> endProgram_;
    core::RunPacer pacer_;
    std::string tableText_;
    std::size_t tableIndex_ = 0;
    std::size_t tableCount_ = 0;
    std::string pendingTable_;
};

}  // namespace upgrade
