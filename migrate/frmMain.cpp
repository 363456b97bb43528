#include "migrate/frmMain.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/SourceSelection.h"
#include "common/Startup.h"
#include "common/WindowLoad.h"
#include "common/ProgressText.h"
#include "ui/LoadWidgets.h"
#include "ui/ProgressCaption.h"
#include "ui/RunLock.h"
#include "ui/SourceWidgets.h"
#include "ui/ctrProgress.h"

namespace migrate {

namespace {

constexpr int kTwipsPerPixel = 15;

QString Q(const std::string& text) { return QString::fromStdString(text); }

template <class W>
W* Place(QWidget* parent, const char* name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(left / kTwipsPerPixel, top / kTwipsPerPixel);
    return label;
}

// One engraved separator: a grey line with a white one just below it.
void Separator(QWidget* parent, const char* grey, const char* white, int topTwips, int widthTwips) {
    auto* g = Place<QFrame>(parent, grey, frmMain::Twips(0, topTwips, widthTwips, 15));
    g->setStyleSheet("background-color: #808080;");
    auto* w = Place<QFrame>(parent, white, frmMain::Twips(0, topTwips + 15, widthTwips, 15));
    w->setStyleSheet("background-color: #FFFFFF;");
}

}  // namespace

QRect frmMain::Twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

frmMain::frmMain()
    : safety_(kProgramTitle, [this] {
          dcTo.Close();
          dcSupport.Close();
      }) {
    BuildControls();
    safety_.OnProgress([this](int percent) {
        lblProgress->SetFullText(QString::fromUtf8("Copia di sicurezza del database… %1%").arg(percent));
        pacer_.Tick();
    });
}

void frmMain::BuildControls() {
    setObjectName("frmMain");
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setFixedSize(6615 / kTwipsPerPixel, 3420 / kTwipsPerPixel);

    // Banner: grey ground with the title, the subtitle and the date.
    auto* picture = Place<QFrame>(this, "Picture1", Twips(0, 0, 9060, 480));
    picture->setStyleSheet(
        "QFrame#Picture1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #3a4a5c, stop:1 #8a96a3); }");
    auto* title = Place<QLabel>(picture, "Label1", Twips(480, 0, 2580, 240));
    title->setText(QString::fromUtf8("Utilità di Importazione Dati"));
    title->setStyleSheet("color: white; font-weight: bold;");
    title->adjustSize();  // wider than designed where Tahoma is missing
    auto* subtitle = Place<QLabel>(picture, "Label4", Twips(480, 240, 3195, 195));
    subtitle->setText(QStringLiteral("per il passaggio dalla versione 4 alla 5"));
    subtitle->setStyleSheet("color: white; font-weight: bold; font-size: 7pt;");
    subtitle->adjustSize();
    lblData = Place<QLabel>(picture, "lblData", Twips(4320, 240, 2160, 195));
    lblData->setStyleSheet("color: #FFFFC0; font-size: 7pt;");

    Caption(this, "Label2", "File Origine", 120, 600);
    txtSourceDb = Place<QLineEdit>(this, "txtSourceDb", Twips(120, 840, 6015, 315));
    txtSourceDb->setReadOnly(true);
    cmdSourceDb = Place<QPushButton>(this, "cmdSourceDb", Twips(6180, 840, 315, 315));
    cmdSourceDb->setText(QStringLiteral(".."));
    cmdSourceDb->setAutoDefault(false);

    Caption(this, "Label3", "File Destinazione", 120, 1200);
    txtTargetDb = Place<QLineEdit>(this, "txtTargetDb", Twips(120, 1440, 6015, 315));
    txtTargetDb->setReadOnly(true);
    cmdTargetDb = Place<QPushButton>(this, "cmdTargetDb", Twips(6180, 1440, 315, 315));
    cmdTargetDb->setText(QStringLiteral(".."));
    cmdTargetDb->setAutoDefault(false);

    auto* shape = Place<QFrame>(this, "Shape1", Twips(120, 1860, 6375, 435));
    shape->setStyleSheet("QFrame#Shape1 { background-color: #E4E4E4; border: 1px solid #A0A0A0; }");
    chkSvuota = Place<QCheckBox>(this, "chkSvuota", Twips(240, 1920, 6135, 315));
    chkSvuota->setText(QStringLiteral("Svuota le tabelle di destinazione prima della copia"));
    chkSvuota->setStyleSheet("background-color: #E4E4E4;");

    Separator(this, "Line1", "Line2", 2445, 6615);
    Separator(this, "Line3", "Line4", 3060, 6615);

    cmdAvvia = Place<QPushButton>(this, "cmdAvvia", Twips(4020, 2580, 1215, 375));
    cmdAvvia->setText(QStringLiteral("Avvia"));
    cmdAvvia->setDefault(true);
    cmdAvvia->setEnabled(false);  // until a source has been chosen
    cmdChiudi = Place<QPushButton>(this, "cmdChiudi", Twips(5280, 2580, 1215, 375));
    cmdChiudi->setText(QStringLiteral("Chiudi"));
    cmdChiudi->setAutoDefault(false);

    // Left of the buttons, above the bar: two lines, each shortened in the
    // middle when it does not fit.
    lblProgress = Place<ui::ProgressCaption>(this, "lblProgress", Twips(120, 2505, 3840, 525));

    pbrMain = new ui::ctrProgress(this);
    pbrMain->setObjectName("pbrMain");
    pbrMain->setGeometry(Twips(120, 3180, 6375, 135));
    ui::ConfigureAsMainProgress(*pbrMain);

    setTabOrder(txtSourceDb, cmdSourceDb);
    setTabOrder(cmdSourceDb, txtTargetDb);
    setTabOrder(txtTargetDb, cmdTargetDb);
    setTabOrder(cmdTargetDb, chkSvuota);
    setTabOrder(chkSvuota, cmdAvvia);
    setTabOrder(cmdAvvia, cmdChiudi);

    connect(cmdSourceDb, &QPushButton::clicked, this, [this] { cmdSourceDb_Click(); });
    // While a run works the button reads "Interrompi" and stops it.
    connect(cmdAvvia, &QPushButton::clicked, this, [this] { cmdAvvia_Click(); });
    connect(cmdChiudi, &QPushButton::clicked, this, [this] { cmdChiudi_Click(); });
    // cmdTargetDb has no action.
}

bool frmMain::Load() {
    ui::LoadWidgets view;
    view.window = this;
    view.lblData = lblData;
    view.txtTargetDb = txtTargetDb;
    view.cmdTargetDb = cmdTargetDb;
    return core::LoadMainWindow(view);
}

void frmMain::cmdSourceDb_Click() {
    ui::SourceWidgets view;
    view.owner = this;
    view.txtSourceDb = txtSourceDb;
    view.cmdAvvia = cmdAvvia;
    core::SourceDbClick(view, dcFrom, core::ProgramKind::Varnel);
}

RunOutcome frmMain::cmdAvvia_Click() {
    if (pacer_.Running()) {
        pacer_.RequestStop();
        return RunOutcome::Declined;
    }
    const ui::RunLock lock({cmdSourceDb, chkSvuota}, cmdAvvia);
    pacer_.Begin();
    safety_.Reset();
    MigrationRun run(*this, {dcFrom, dcTo, dcSupport});
    run.UseSafety(&safety_);
    const RunOutcome outcome = run.Run();
    pacer_.End();
    ShowEnd(outcome, run.Report());
    if (endAfterRun_) core::EndProgram(0);
    return outcome;
}

void frmMain::cmdChiudi_Click() {
    if (pacer_.Running()) {
        // The run stops at its next record and shows its message first.
        if (core::AskToStopAndClose(core::ThePrefs().programTitle)) {
            endAfterRun_ = true;
            pacer_.RequestStop();
        }
        return;
    }
    core::EndProgram(0);
}

void frmMain::reject() { cmdChiudi_Click(); }

std::string frmMain::SourcePath() const { return txtSourceDb->text().toStdString(); }

bool frmMain::EmptyTablesChecked() const { return chkSvuota->checkState() == Qt::Checked; }

void frmMain::SetProgressVisible(bool visible) { pbrMain->setVisible(visible); }

void frmMain::SetProgressValue(int percent) { pbrMain->SetValue(percent); }

void frmMain::StepStarted(std::size_t index, std::size_t count, const TableStep& step) {
    stepIndex_ = index;
    stepCount_ = count;
    stepText_ = "Passo " + std::to_string(index + 1) + " di " + std::to_string(count) + ": " + step.sourceTable +
                " → " + step.destinationTable;
    ShowRecords(0);
    lblProgress->repaint();
    pacer_.Tick();
}

void frmMain::ShowRecords(long long saved) {
    lblProgress->SetFullText(Q(stepText_ + "\n" + core::CountOf(saved, "record scritto", "record scritti")));
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
    lblProgress->SetFullText(Q(text));
}

}  // namespace migrate
