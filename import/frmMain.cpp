#include "import/frmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <tuple>

#include "common/Messages.h"
#include "common/DataHelpers.h"
#include "common/DateLabel.h"
#include "common/Dialogs.h"
#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/SourceSelection.h"
#include "common/Startup.h"
#include "common/WindowLoad.h"
#include "common/engine/Error.h"
#include "common/ProgressText.h"
#include "ui/ProgressCaption.h"
#include "ui/TwipsLayout.h"
#include "ui/RunLock.h"
#include "ui/SourceWidgets.h"
#include "ui/ctrProgress.h"

namespace import {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Geometry in pixels (the design's twips divided by 15).
constexpr int kWidth = 660;
constexpr int kHeight = 574;
constexpr int kLeft = 12;
constexpr int kFieldLeft = 130;
constexpr int kSlotTop = 168;
constexpr int kSlotWidth = 153;
constexpr int kSlotGap = 8;
constexpr int kSlotRow = 48;

}  // namespace

std::string PairingsChangedText(int cleared, int kept)
{
    std::string text = "Nuova tabella di destinazione: ";
    text += cleared == 1 ? "1 abbinamento annullato" : std::to_string(cleared) + " abbinamenti annullati";
    if (kept > 0)
        text += kept == 1 ? ", 1 mantenuto (stesso nome di campo)"
                          : ", " + std::to_string(kept) + " mantenuti (stesso nome di campo)";
    return text + ".";
}

frmMain::frmMain(QWidget* parent) : QWidget(parent), safety_(kProgramTitle, [this] { dcTo_.Close(); })
{
    setObjectName("frmMain");
    BuildControls();
    safety_.OnProgress([this](int percent) {
        lblStato_->SetFullText(QString::fromUtf8("Copia di sicurezza del database… %1%").arg(percent));
        pacer_.Tick();
    });
}

frmMain::~frmMain() = default;

void frmMain::BuildControls()
{
    setFixedSize(kWidth, kHeight);

    auto* banner = new QLabel(this);
    banner->setObjectName("imgBanner");
    banner->setGeometry(0, 0, kWidth, 52);
    banner->setStyleSheet(
        "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1f3f73, stop:1 #5d83bd);");

    auto* title = new QLabel("Utilità di Importazione Dati", this);
    title->setObjectName("lblTitolo");
    title->setGeometry(kLeft, 8, 360, 36);
    title->setStyleSheet("color: white; font-size: 17px; font-weight: bold; background: transparent;");

    lblData_ = new QLabel(this);
    lblData_->setObjectName("lblData");
    lblData_->setGeometry(360, 8, kWidth - 360 - kLeft, 36);
    lblData_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblData_->setStyleSheet("color: white; background: transparent;");

    auto label = [this](const char* name, const char* text, int x, int y, int w) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(name);
        l->setGeometry(x, y, w, 23);
        return l;
    };

    label("lblOrigine", "File Origine", kLeft, 64, 110);
    std::tie(txtSourceDb_, cmdSourceDb_) =
        ui::PlacePathField(this, "txtSourceDb", QRect(kFieldLeft, 64, kWidth - kFieldLeft - kLeft - 34, 23),
                           "cmdSourceDb", QRect(kWidth - kLeft - 28, 64, 28, 23));

    label("lblDestinazione", "File Destinazione", kLeft, 94, 115);
    std::tie(txtTargetDb_, cmdTargetDb_) =
        ui::PlacePathField(this, "txtTargetDb", QRect(kFieldLeft, 94, kWidth - kFieldLeft - kLeft - 34, 23),
                           "cmdTargetDb", QRect(kWidth - kLeft - 28, 94, 28, 23));

    label("lblTblOrigine", "Tabella Origine", kLeft, 128, 110);
    cmbTblFrom_ = new QComboBox(this);
    cmbTblFrom_->setObjectName("cmbTblFrom");
    cmbTblFrom_->setGeometry(kFieldLeft, 128, 190, 23);
    cmbTblFrom_->setEnabled(false);

    label("lblTblDestinazione", "Tabella Destinazione", 334, 128, 130);
    cmbTblTo_ = new QComboBox(this);
    cmbTblTo_->setObjectName("cmbTblTo");
    cmbTblTo_->setGeometry(466, 128, kWidth - 466 - kLeft, 23);

    for (int i = 0; i < kSlotCount; ++i) {
        const int column = i % 4;
        const int row = i / 4;
        const int x = kLeft + column * (kSlotWidth + kSlotGap);
        const int y = kSlotTop + row * kSlotRow;
        auto* l = new QLabel("-", this);
        l->setObjectName(QString("lblFldTo_%1").arg(i));
        l->setProperty("index", i);
        l->setGeometry(x, y, kSlotWidth, 18);
        auto* c = new QComboBox(this);
        c->setObjectName(QString("cmbFldFrom_%1").arg(i));
        c->setProperty("index", i);
        c->setGeometry(x, y + 19, kSlotWidth, 23);
        c->setEnabled(false);
        lblFldTo_[static_cast<std::size_t>(i)] = l;
        cmbFldFrom_[static_cast<std::size_t>(i)] = c;
    }

    const int below = kSlotTop + 6 * kSlotRow + 4;
    chkSvuota_ = new QCheckBox("Svuota la tabella di destinazione prima della copia", this);
    chkSvuota_->setObjectName("chkSvuota");
    chkSvuota_->setGeometry(kLeft, below, 400, 23);

    pbrMain_ = new ui::ctrProgress(this);
    pbrMain_->setObjectName("pbrMain");
    ui::ConfigureAsMainProgress(*pbrMain_);
    pbrMain_->setGeometry(kLeft, below + 32, kWidth - 2 * kLeft, 16);

    lblStato_ = new ui::ProgressCaption(this);
    lblStato_->setObjectName("lblStato");
    lblStato_->setGeometry(kLeft, below + 54, kWidth - kLeft - 2 * 96 - 8 - kLeft - 8, 36);

    cmdAvvia_ = new QPushButton("Avvia", this);
    cmdAvvia_->setObjectName("cmdAvvia");
    cmdAvvia_->setGeometry(kWidth - kLeft - 2 * 96 - 8, below + 58, 96, 28);
    cmdAvvia_->setEnabled(false);
    cmdChiudi_ = new QPushButton("Chiudi", this);
    cmdChiudi_->setObjectName("cmdChiudi");
    cmdChiudi_->setGeometry(kWidth - kLeft - 96, below + 58, 96, 28);

    connect(cmbTblTo_, &QComboBox::currentIndexChanged, this, [this](int index) { cmbTblTo_Click(index); });
    connect(cmbTblFrom_, &QComboBox::currentIndexChanged, this, [this](int index) { cmbTblFrom_Click(index); });
    connect(cmdSourceDb_, &QPushButton::clicked, this, [this] { cmdSourceDb_Click(); });
    connect(cmdAvvia_, &QPushButton::clicked, this, [this] { cmdAvvia_Click(); });
    connect(cmdChiudi_, &QPushButton::clicked, this, [this] { cmdChiudi_Click(); });
}

void frmMain::Refuse(const std::string& text)
{
    core::RefuseToStart(text);
    ended_ = true;
    core::EndProgram(0);
}

void frmMain::ShowError(int number, const std::string& description)
{
    core::TheDialogs().MessageBox(description, core::MsgButtons::Ok, core::MsgIcon::Critical,
                                  msg::ErrorTitle(number));
}

bool frmMain::Load()
{
    lblData_->setText(Q(core::TodayLabel()));
    const core::WindowTexts texts = core::LoadMainWindow();
    if (!texts.caption.empty()) setWindowTitle(Q(texts.caption));
    if (!texts.loaded) {
        ended_ = true;
        return false;
    }
    txtTargetDb_->setText(Q(texts.destination));
    txtTargetDb_->setEnabled(false);
    cmdTargetDb_->setEnabled(false);
    try {
        DestinationTables list = ReadDestinationTables(core::ThePrefs().iniPath);
        mTableCount = list.count;
        mTables = std::move(list.tables);
    } catch (const core::Error& e) {
        // A configuration that cannot be read leaves nothing to import into.
        Refuse(e.Description());
        return false;
    }
    {
        const QSignalBlocker quiet(cmbTblTo_);
        cmbTblTo_->clear();
        for (const core::cTable& table : mTables) cmbTblTo_->addItem(Q(table.Name), table.ID);
        cmbTblTo_->setCurrentIndex(-1);
    }
    if (cmbTblTo_->count() > 0) cmbTblTo_->setCurrentIndex(0);  // the template steps run now
    return !ended_;
}

void frmMain::SelectTblToQuietly(int index)
{
    const QSignalBlocker quiet(cmbTblTo_);
    cmbTblTo_->setCurrentIndex(index);
}

void frmMain::cmbTblTo_Click(int index)
{
    if (index < 0 || ended_) return;
    const std::string name = cmbTblTo_->itemText(index).toStdString();
    const std::string file = TemplatePath(name);
    if (!core::FileExists(file)) {
        Refuse("Il file di configurazione " + name + ".ini" + " non è stato trovato!");
        return;
    }

    ImportTemplate tpl;
    try {
        tpl = ReadImportTemplate(file);
    } catch (const core::Error& e) {
        // Nothing of the window changes: the list goes back to the table
        // whose fields the slots still show, so a run cannot mix the two.
        SelectTblToQuietly(shownTblTo_);
        ShowError(e.Number(), e.Description());
        return;
    }
    const bool otherTable = shownTblTo_ >= 0 && shownTblTo_ != index;
    mTemplate = std::move(tpl);
    shownTblTo_ = index;

    int cleared = 0;
    int kept = 0;
    for (int k = 1; k <= kSlotCount; ++k) {
        QLabel* label = lblFldTo_[static_cast<std::size_t>(k - 1)];
        QComboBox* list = cmbFldFrom_[static_cast<std::size_t>(k - 1)];
        if (const core::cField* field = mTemplate.Slot(k)) {
            // The slot keeps its list. A choice made for another table's
            // field would import the wrong column under the new label: it
            // stays only when the source field is named like the new one.
            label->setText(Q(field->Name));
            list->setEnabled(true);
            if (otherTable && list->currentIndex() > 0) {
                if (list->currentText().compare(Q(field->Field), Qt::CaseInsensitive) == 0) {
                    ++kept;
                } else {
                    list->setCurrentIndex(0);
                    ++cleared;
                }
            }
        } else {
            if (otherTable && list->currentIndex() > 0) ++cleared;
            label->setText(QString());
            list->clear();
            list->setEnabled(false);
        }
    }
    if (cleared > 0 || kept > 0) lblStato_->SetFullText(Q(PairingsChangedText(cleared, kept)));
    else if (otherTable) lblStato_->SetFullText(QString());
}

void frmMain::cmbTblFrom_Click(int index)
{
    if (index < 0) return;
    try {
        dcFrom_.RecordSource = cmbTblFrom_->itemText(index).toStdString();
        dcFrom_.Refresh();
        QStringList names;
        names << QString();
        const auto& columns = dcFrom_.Recordset().Columns();
        for (const core::FieldInfo& column : columns) names << Q(column.name);
        for (QComboBox* list : cmbFldFrom_) {
            list->clear();
            list->addItems(names);
        }
    } catch (const core::Error& e) {
        // The slots must not keep offering the fields of a table that is no
        // longer bound.
        for (QComboBox* list : cmbFldFrom_) {
            list->clear();
            list->addItem(QString());
        }
        ShowError(e.Number(), e.Description());
    }
}

void frmMain::cmdSourceDb_Click()
{
    ui::SourceWidgets view(this, txtSourceDb_, cmdAvvia_, cmbTblFrom_);
    core::SourceDbClick(view, dcFrom_, core::ProgramKind::Tessily);
}

void frmMain::cmdAvvia_Click()
{
    if (pacer_.Running()) {
        pacer_.RequestStop();
        return;
    }
    std::vector<QWidget*> inputs{cmdSourceDb_, cmbTblFrom_, cmbTblTo_, chkSvuota_};
    for (QComboBox* list : cmbFldFrom_) inputs.push_back(list);
    const ui::RunLock lock(inputs, cmdAvvia_);
    pacer_.Begin();
    safety_.Reset();
    activity_.clear();
    const core::Prefs& prefs = core::ThePrefs();
    ImportSetup setup;
    setup.tables = &mTables;
    setup.tpl = &mTemplate;
    setup.dcFrom = &dcFrom_;
    setup.dcTo = &dcTo_;
    setup.destinationPath = prefs.destinationPath;
    setup.destinationPassword = prefs.destinationPassword;
    setup.programTitle = prefs.programTitle;
    setup.safety = &safety_;
    ImportRun run(std::move(setup), *this);
    const bool succeeded = run.Run();
    pacer_.End();
    const std::string written = core::CountOf(run.RecordsCopied(), "record scritto", "record scritti");
    if (succeeded)
        lblStato_->SetFullText(Q("Importazione completata.\n" + written + "."));
    else if (!activity_.empty())
        lblStato_->SetFullText(Q(std::string(pacer_.StopRequested() ? "Importazione interrotta dall'utente.\n"
                                                                    : "Importazione fermata da un errore.\n") +
                                (safety_.Restored() ? std::string("Database ripristinato com'era prima dell'importazione.")
                                                    : written + " prima dell'interruzione.")));
    if (pacer_.EndAfterRun()) cmdChiudi_Click();
}

void frmMain::cmdChiudi_Click()
{
    if (pacer_.Running()) {
        // The run stops at its next record and shows its message first.
        pacer_.AskToStopAndClose(core::ThePrefs().programTitle);
        return;
    }
    ended_ = true;
    core::EndProgram(0);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (pacer_.Running()) {
        pacer_.AskToStopAndClose(core::ThePrefs().programTitle);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmMain::Activity(const std::string& text)
{
    activity_ = text;
    lblStato_->SetFullText(Q(text));
    lblStato_->repaint();
    pacer_.Tick();
}

void frmMain::ShowRecords(long long saved)
{
    lblStato_->SetFullText(Q(activity_ + "\n" + core::CountOf(saved, "record scritto", "record scritti")));
}

void frmMain::RecordDone(long long saved)
{
    if (!pacer_.Due()) return;
    ShowRecords(saved);
    pacer_.Yield();
}

std::int32_t frmMain::SelectedTableId() { return core::GetItemData(*cmbTblTo_); }

std::string frmMain::SlotSource(int k) { return cmbFldFrom_[static_cast<std::size_t>(k - 1)]->currentText().toStdString(); }

bool frmMain::EmptyDestinationFirst() { return chkSvuota_->checkState() == Qt::Checked; }

void frmMain::SetProgress(int percent) { pbrMain_->SetValue(percent); }

}  // namespace import
