#include "migrate/frmMain.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>

#include "common/DateLabel.h"
#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/SourceSelection.h"
#include "common/Startup.h"
#include "common/WindowLoad.h"
#include "common/ProgressText.h"
#include "ui/ProgressCaption.h"
#include "ui/RunLock.h"
#include "ui/TwipsLayout.h"
#include "ui/SourceWidgets.h"
#include "ui/ctrProgress.h"

namespace migrate {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmMain::frmMain()
    : safety_(kProgramTitle, [this] {
          dcTo_.Close();
          dcSupport_.Close();
      }) {
    BuildControls();
    safety_.OnProgress([this](int percent) {
        lblProgress_->SetFullText(QString::fromUtf8("Copia di sicurezza del database… %1%").arg(percent));
        pacer_.Tick();
    });
}

void frmMain::BuildControls() {
    setObjectName("frmMain");
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setFixedSize(6615 / ui::kTwipsPerPixel, 3420 / ui::kTwipsPerPixel);

    // Banner: grey ground with the title, the subtitle and the date.
    auto* picture = ui::Place<QFrame>(this, "Picture1", ui::Twips(0, 0, 9060, 480));
    picture->setStyleSheet(
        "QFrame#Picture1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #3a4a5c, stop:1 #8a96a3); }");
    auto* title = ui::Place<QLabel>(picture, "Label1", ui::Twips(480, 0, 2580, 240));
    title->setText(QString::fromUtf8("Utilità di Importazione Dati"));
    title->setStyleSheet("color: white; font-weight: bold;");
    title->adjustSize();  // wider than designed where Tahoma is missing
    auto* subtitle = ui::Place<QLabel>(picture, "Label4", ui::Twips(480, 240, 3195, 195));
    subtitle->setText(QStringLiteral("per il passaggio dalla versione 4 alla 5"));
    subtitle->setStyleSheet("color: white; font-weight: bold; font-size: 7pt;");
    subtitle->adjustSize();
    lblData_ = ui::Place<QLabel>(picture, "lblData", ui::Twips(4320, 240, 2160, 195));
    lblData_->setStyleSheet("color: #FFFFC0; font-size: 7pt;");

    ui::Caption(this, "Label2", "File Origine", 120, 600);
    std::tie(txtSourceDb_, cmdSourceDb_) = ui::PlacePathField(this, "txtSourceDb", ui::Twips(120, 840, 6015, 315),
                                                            "cmdSourceDb", ui::Twips(6180, 840, 315, 315));

    ui::Caption(this, "Label3", "File Destinazione", 120, 1200);
    std::tie(txtTargetDb_, cmdTargetDb_) = ui::PlacePathField(this, "txtTargetDb", ui::Twips(120, 1440, 6015, 315),
                                                            "cmdTargetDb", ui::Twips(6180, 1440, 315, 315));

    auto* shape = ui::Place<QFrame>(this, "Shape1", ui::Twips(120, 1860, 6375, 435));
    shape->setStyleSheet("QFrame#Shape1 { background-color: #E4E4E4; border: 1px solid #A0A0A0; }");
    chkSvuota_ = ui::Place<QCheckBox>(this, "chkSvuota", ui::Twips(240, 1920, 6135, 315));
    chkSvuota_->setText(QStringLiteral("Svuota le tabelle di destinazione prima della copia"));
    chkSvuota_->setStyleSheet("background-color: #E4E4E4;");

    ui::Separator(this, "Line1", "Line2", 2445, 6615);
    ui::Separator(this, "Line3", "Line4", 3060, 6615);

    cmdAvvia_ = ui::Place<QPushButton>(this, "cmdAvvia", ui::Twips(4020, 2580, 1215, 375));
    cmdAvvia_->setText(QStringLiteral("Avvia"));
    cmdAvvia_->setDefault(true);
    cmdAvvia_->setEnabled(false);  // until a source has been chosen
    cmdChiudi_ = ui::Place<QPushButton>(this, "cmdChiudi", ui::Twips(5280, 2580, 1215, 375));
    cmdChiudi_->setText(QStringLiteral("Chiudi"));
    cmdChiudi_->setAutoDefault(false);

    // Left of the buttons, above the bar: two lines, each shortened in the
    // middle when it does not fit.
    lblProgress_ = ui::Place<ui::ProgressCaption>(this, "lblProgress", ui::Twips(120, 2505, 3840, 525));

    pbrMain_ = new ui::ctrProgress(this);
    pbrMain_->setObjectName("pbrMain");
    pbrMain_->setGeometry(ui::Twips(120, 3180, 6375, 135));
    ui::ConfigureAsMainProgress(*pbrMain_);

    setTabOrder(txtSourceDb_, cmdSourceDb_);
    setTabOrder(cmdSourceDb_, txtTargetDb_);
    setTabOrder(txtTargetDb_, cmdTargetDb_);
    setTabOrder(cmdTargetDb_, chkSvuota_);
    setTabOrder(chkSvuota_, cmdAvvia_);
    setTabOrder(cmdAvvia_, cmdChiudi_);

    connect(cmdSourceDb_, &QPushButton::clicked, this, [this] { cmdSourceDb_Click(); });
    // While a run works the button reads "Interrompi" and stops it.
    connect(cmdAvvia_, &QPushButton::clicked, this, [this] { cmdAvvia_Click(); });
    connect(cmdChiudi_, &QPushButton::clicked, this, [this] { cmdChiudi_Click(); });
    // cmdTargetDb_ has no action.
}

bool frmMain::Load() {
    lblData_->setText(Q(core::TodayLabel()));
    const core::WindowTexts texts = core::LoadMainWindow();
    if (!texts.caption.empty()) setWindowTitle(Q(texts.caption));
    if (!texts.loaded) return false;
    txtTargetDb_->setText(Q(texts.destination));
    txtTargetDb_->setEnabled(false);
    cmdTargetDb_->setEnabled(false);
    return true;
}

void frmMain::cmdSourceDb_Click() {
    ui::SourceWidgets view(this, txtSourceDb_, cmdAvvia_);
    core::SourceDbClick(view, dcFrom_, core::ProgramKind::Varnel);
}

RunOutcome frmMain::cmdAvvia_Click() {
    if (pacer_.Running()) {
        pacer_.RequestStop();
        return RunOutcome::Declined;
    }
    const ui::RunLock lock({cmdSourceDb_, chkSvuota_}, cmdAvvia_);
    pacer_.Begin();
    safety_.Reset();
    MigrationRun run(*this, {dcFrom_, dcTo_, dcSupport_});
    run.UseSafety(&safety_);
    const RunOutcome outcome = run.Run();
    pacer_.End();
    ShowEnd(outcome, run.Report());
    if (pacer_.EndAfterRun()) core::EndProgram(0);
    return outcome;
}

void frmMain::cmdChiudi_Click() {
    if (pacer_.Running()) {
        // The run stops at its next record and shows its message first.
        pacer_.AskToStopAndClose(core::ThePrefs().programTitle);
        return;
    }
    core::EndProgram(0);
}

void frmMain::reject() { cmdChiudi_Click(); }

std::string frmMain::SourcePath() const { return txtSourceDb_->text().toStdString(); }

bool frmMain::EmptyTablesChecked() const { return chkSvuota_->checkState() == Qt::Checked; }

void frmMain::SetProgressVisible(bool visible) { pbrMain_->setVisible(visible); }

void frmMain::SetProgressValue(int percent) { pbrMain_->SetValue(percent); }

void frmMain::StepStarted(std::size_t index, std::size_t count, const TableStep& step) {
    stepIndex_ = index;
    stepCount_ = count;
    stepText_ = "Passo " + std::to_string(index + 1) + " di " + std::to_string(count) + ": " + step.sourceTable +
                " → " + step.destinationTable;
    ShowRecords(0);
    lblProgress_->repaint();
    pacer_.Tick();
}

void frmMain::ShowRecords(long long saved) {
    lblProgress_->SetFullText(Q(stepText_ + "\n" + core::CountOf(saved, "record scritto", "record scritti")));
}

void frmMain::RecordDone(long long saved) {
    if (!pacer_.Due()) return;
    ShowRecords(saved);
    pacer_.Yield();
}

void frmMain::ShowEnd(RunOutcome outcome, const MigrationReport& report) {
    long long saved = 0;
    std::size_t reached = 0;
    for (const auto& step : report.Steps()) {
        saved += step.saved;
        if (step.state != MigrationReport::StepState::NotReached) ++reached;
    }
    const std::string written = core::CountOf(saved, "record scritto", "record scritti");
    std::string text;
    switch (outcome) {
    case RunOutcome::Declined: return;
    case RunOutcome::Succeeded:
        text = "Operazione completata.\n" + written + " in " + std::to_string(report.Steps().size()) + " passi.";
        break;
    case RunOutcome::Stopped:
        text = std::string(pacer_.StopRequested() ? "Interrotta dall'utente" : "Fermata da un errore") +
               (reached > 0 ? " al passo " + std::to_string(reached) + " di " + std::to_string(report.Steps().size())
                            : std::string()) +
               ".\n" + (safety_.Restored() ? std::string("Database ripristinato com'era prima.")
                                            : written + " prima dell'interruzione.");
        break;
    }
    lblProgress_->SetFullText(Q(text));
}

}  // namespace migrate
