#include "upgrade/frmMain.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

#include "common/DateLabel.h"
#include "common/Dialogs.h"
#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/Startup.h"
#include "common/WindowLoad.h"
#include "common/ProgressText.h"
#include "ui/ProgressCaption.h"
#include "ui/RunLock.h"
#include "ui/TwipsLayout.h"
#include "ui/ctrProgress.h"
#include "upgrade/UpgradeRecovery.h"

namespace upgrade {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The banner behind the title and the date.
class Banner : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, QColor(0x1F, 0x3A, 0x6E));
        g.setColorAt(1, QColor(0x8F, 0xA8, 0xD0));
        p.fillRect(rect(), g);
    }
};

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent), run_(*this), endProgram_([] { core::EndProgram(); }) {
    setObjectName(QStringLiteral("frmMain"));
    dcFrom_.Connect = "Access 2000;";
    dcTo_.Connect = "Access 2000;";
    BuildControls();
}

frmMain::~frmMain() = default;

void frmMain::BuildControls() {
    setFixedSize(6615 / ui::kTwipsPerPixel, 2910 / ui::kTwipsPerPixel);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    setFont(tahoma);

    picture1_ = new Banner(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setGeometry(0, 0, width(), 480 / ui::kTwipsPerPixel);

    label1_ = ui::Caption(this, "Label1", QStringLiteral("Utilit\u00E0 di Aggiornamento"), 480, 120);
    QFont bold = label1_->font();
    bold.setBold(true);
    label1_->setFont(bold);
    label1_->setStyleSheet(QStringLiteral("color: white;"));
    label1_->adjustSize();

    lblData_ = new QLabel(this);
    lblData_->setObjectName(QStringLiteral("lblData"));
    lblData_->setGeometry(ui::Twips(4380, 240, 2160, 195));
    QFont sans(QStringLiteral("MS Sans Serif"));
    sans.setPointSize(8);
    lblData_->setFont(sans);
    lblData_->setStyleSheet(QStringLiteral("color: white;"));
    lblData_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    label2_ = ui::Caption(this, "Label2", QStringLiteral("File Origine"), 120, 600);
    txtSourceDb_ = new QLineEdit(this);
    txtSourceDb_->setObjectName(QStringLiteral("txtSourceDb"));
    txtSourceDb_->setGeometry(ui::Twips(120, 840, 6015, 315));
    cmdSourceDb_ = new QPushButton(QStringLiteral(".."), this);
    cmdSourceDb_->setObjectName(QStringLiteral("cmdSourceDb"));
    cmdSourceDb_->setGeometry(ui::Twips(6180, 840, 315, 315));

    label3_ = ui::Caption(this, "Label3", QStringLiteral("File Destinazione"), 120, 1200);
    txtTargetDb_ = new QLineEdit(this);
    txtTargetDb_->setObjectName(QStringLiteral("txtTargetDb"));
    txtTargetDb_->setGeometry(ui::Twips(120, 1440, 6015, 315));
    cmdTargetDb_ = new QPushButton(QStringLiteral(".."), this);
    cmdTargetDb_->setObjectName(QStringLiteral("cmdTargetDb"));
    cmdTargetDb_->setGeometry(ui::Twips(6180, 1440, 315, 315));

    ui::Separator(this, "Line1", "Line2", 1905, 6615);
    ui::Separator(this, "Line3", "Line4", 2520, 6615);

    // Left of the buttons, between the separators: two lines, each shortened
    // in the middle when it does not fit, never cut by "Avvia".
    lblTbl_ = new ui::ProgressCaption(this);
    lblTbl_->setObjectName(QStringLiteral("lblTbl"));
    lblTbl_->setGeometry(ui::Twips(120, 1965, 3840, 525));
    lblTbl_->SetFullText(QStringLiteral("Tabella"));

    cmdAvvia_ = new QPushButton(QStringLiteral("Avvia"), this);
    cmdAvvia_->setObjectName(QStringLiteral("cmdAvvia"));
    cmdAvvia_->setGeometry(ui::Twips(4020, 2040, 1215, 375));
    cmdChiudi_ = new QPushButton(QStringLiteral("Chiudi"), this);
    cmdChiudi_->setObjectName(QStringLiteral("cmdChiudi"));
    cmdChiudi_->setGeometry(ui::Twips(5280, 2040, 1215, 375));

    pbrMain_ = new ui::ctrProgress(this);
    pbrMain_->setObjectName(QStringLiteral("pbrMain"));
    pbrMain_->setGeometry(ui::Twips(120, 2640, 6375, 135));
    ui::ConfigureAsMainProgress(*pbrMain_);

    connect(cmdAvvia_, &QPushButton::clicked, this, [this] { cmdAvvia_Click(); });
    connect(cmdChiudi_, &QPushButton::clicked, this, [this] { cmdChiudi_Click(); });
}

bool frmMain::Load() {
    lblTbl_->SetFullText(QString());
    lblData_->setText(Q(core::TodayLabel()));
    // The date was laid out for a narrower font: a longer text grows to the
    // left instead of losing its year at the window's edge.
    const int needed = lblData_->fontMetrics().horizontalAdvance(lblData_->text()) + 2;
    if (needed > lblData_->width())
        lblData_->setGeometry(lblData_->geometry().right() + 1 - needed, lblData_->y(), needed, lblData_->height());
    core::LoadOptions options;
    options.previousVersion = false;
    // The upgrade swaps files: a destination on a database server is not one.
    options.serverRefusal = "La configurazione indica un database su server (DBCONNECT): l'aggiornamento della "
                            "struttura si esegue solo su un archivio su file.";
    // What an upgrade killed half-way left is put right before the archive
    // is looked for: between the two renames the archive exists only as its
    // backup.
    options.beforeDestinationCheck = [] {
        const core::Prefs& prefs = core::ThePrefs();
        OfferRecovery(prefs.destinationPath, prefs.destinationPassword, prefs.programTitle);
    };
    const core::WindowTexts texts = core::LoadMainWindow(options);
    if (!texts.caption.empty()) setWindowTitle(Q(texts.caption));
    if (!texts.loaded) return false;
    // The archive is this program's source.
    txtSourceDb_->setText(Q(texts.destination));
    txtSourceDb_->setEnabled(false);
    cmdSourceDb_->setEnabled(false);
    txtTargetDb_->setText(txtSourceDb_->text() + ".upg");
    txtTargetDb_->setEnabled(false);
    cmdTargetDb_->setEnabled(false);
    if (!core::FileExists(txtTargetDb_->text().toStdString())) {
        core::RefuseToStart(core::NotFoundSentence("il file archivio di destinazione", txtTargetDb_->text().toStdString()));
        return false;
    }
    return true;
}

void frmMain::cmdAvvia_Click() {
    if (pacer_.Running()) {
        pacer_.RequestStop();
        return;
    }
    const ui::RunLock lock({}, cmdAvvia_);
    pacer_.Begin();
    UpgradeFiles files;
    files.archive = txtSourceDb_->text().toStdString();
    files.upgradeTemplate = txtTargetDb_->text().toStdString();
    files.password = core::ThePrefs().destinationPassword;
    tableText_.clear();
    run_.Start(files);
    pacer_.End();
    ShowEnd();
    if (pacer_.EndAfterRun()) endProgram_();
}

void frmMain::cmdChiudi_Click() {
    if (pacer_.Running()) {
        // The run stops at its next row, renaming nothing, and shows its
        // message first.
        pacer_.AskToStopAndClose(core::ThePrefs().programTitle);
        return;
    }
    endProgram_();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (pacer_.Running()) {
        pacer_.AskToStopAndClose(core::ThePrefs().programTitle);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmMain::TableStarted(std::size_t index, std::size_t count, const std::string& name) {
    tableIndex_ = index;
    tableCount_ = count;
    pendingTable_ = name;
}

// The run names a table only when the archive has it.
void frmMain::SetTableCaption(const std::string&) {
    tableText_ = "Tabella " + std::to_string(tableIndex_ + 1) + " di " + std::to_string(tableCount_) + ": " +
                 pendingTable_;
    ShowRows(0);
    lblTbl_->repaint();
}

void frmMain::ShowRows(long long copied) {
    lblTbl_->SetFullText(Q(tableText_ + "\n" + core::CountOf(copied, "record scritto", "record scritti")));
}

void frmMain::RowDone(long long copied) {
    if (!pacer_.Due()) return;
    ShowRows(copied);
    pacer_.Yield();
}

void frmMain::StageReached(UpgradeStage stage) {
    // The checks and the swap take their time without a yield: the text
    // is painted at once.
    switch (stage) {
    case UpgradeStage::TablesCopied:
        // From here on the run no longer looks at a stop: the checks and
        // the swap run to their end.
        cmdAvvia_->setEnabled(false);
        lblTbl_->SetFullText(QString::fromUtf8("Verifica del database aggiornato…"));
        break;
    case UpgradeStage::Flushed: lblTbl_->SetFullText(QString::fromUtf8("Sostituzione dei file…")); break;
    default: return;
    }
    lblTbl_->repaint();
}

void frmMain::ShowEnd() {
    const UpgradeReport& report = run_.Report();
    long long rows = 0;
    int tables = 0;
    for (const auto& table : report.Tables()) {
        rows += table.copied;
        if (table.state == UpgradeReport::TableState::Copied) ++tables;
    }
    std::string text;
    if (report.Succeeded())
        text = "Aggiornamento completato.\n" + core::CountOf(tables, "tabella copiata", "tabelle copiate") + ", " +
               core::CountOf(rows, "record scritto", "record scritti") + ".";
    else if (pacer_.StopRequested())
        text = "Aggiornamento interrotto dall'utente.\nL'archivio non è stato modificato.";
    else if (!tableText_.empty())
        text = "Aggiornamento non completato.\nVedere il messaggio d'errore.";
    else
        return;  // answered No, or stopped before the first table
    lblTbl_->SetFullText(Q(text));
}

void frmMain::SetProgress(int percent) { pbrMain_->SetValue(percent); }

}  // namespace upgrade
