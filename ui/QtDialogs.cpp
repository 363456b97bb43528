#include "ui/QtDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>

namespace ui {

QMessageBox::Icon ToQtIcon(core::MsgIcon icon)
{
    switch (icon) {
    case core::MsgIcon::Critical: return QMessageBox::Critical;
    case core::MsgIcon::Question: return QMessageBox::Question;
    case core::MsgIcon::Exclamation: return QMessageBox::Warning;
    case core::MsgIcon::Information: return QMessageBox::Information;
    case core::MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(core::MsgButtons buttons)
{
    switch (buttons) {
    case core::MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case core::MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case core::MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case core::MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case core::MsgButtons::OkRestore:  // "Ripristina" is added by MessageBox
    case core::MsgButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

core::MsgResult FromQtButton(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return core::MsgResult::Yes;
    case QMessageBox::No: return core::MsgResult::No;
    case QMessageBox::Cancel: return core::MsgResult::Cancel;
    case QMessageBox::Retry: return core::MsgResult::Retry;
    default: return core::MsgResult::Ok;
    }
}

QStringList ToNameFilters(const std::vector<std::pair<std::string, std::string>>& filters)
{
    QStringList list;
    for (const auto& [description, pattern] : filters) {
        QString patterns = QString::fromStdString(pattern);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        list << QString::fromStdString(description) + QStringLiteral(" (") + patterns.simplified() +
                    QLatin1Char(')');
    }
    return list;
}

namespace {
QWidget* DialogOwner()
{
    if (QWidget* active = QApplication::activeModalWidget())
        return active;
    return QApplication::activeWindow();
}

// The first button of each set is the default, as in the system's boxes.
QMessageBox::StandardButton DefaultButton(core::MsgButtons buttons)
{
    switch (buttons) {
    case core::MsgButtons::YesNo:
    case core::MsgButtons::YesNoCancel: return QMessageBox::Yes;
    case core::MsgButtons::RetryCancel: return QMessageBox::Retry;
    default: return QMessageBox::Ok;
    }
}
// The details of a run are a report of many short lines: the box's own
// narrow area would wrap every one of them. It is made wide enough for the
// longest line and tall enough for the whole text, within the screen; the
// text stays selectable, by mouse and keyboard, to be copied.
void FitDetails(QMessageBox& box, const QString& details)
{
    auto* edit = box.findChild<QTextEdit*>();
    if (!edit)
        return;
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const QFontMetrics metrics(edit->font());
    int widest = 0;
    const QStringList lines = details.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margins = 2 * edit->frameWidth() + 2 * static_cast<int>(edit->document()->documentMargin());
    const QRect screen = box.screen() ? box.screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    // The box grows to the right and downwards when the details are opened,
    // from where it was centred with them closed: these shares keep it
    // inside the screen.
    const int width = std::min(widest + margins + edit->verticalScrollBar()->sizeHint().width(), screen.width() * 3 / 5);
    const int height = std::min(static_cast<int>(lines.size()) * metrics.lineSpacing() + margins, screen.height() / 3);
    edit->setMinimumWidth(width);
    edit->setFixedHeight(std::max(height, edit->minimumSizeHint().height()));
}

// The 1-based type of the filter Qt reports: with the details hidden it
// reports the description alone.
int SelectedFilterIndex(const std::vector<std::pair<std::string, std::string>>& types, const QStringList& filters,
                        const QString& selected)
{
    for (int i = 0; i < filters.size(); ++i)
        if (selected == filters.at(i) || selected == QString::fromStdString(types[static_cast<std::size_t>(i)].first).trimmed())
            return i + 1;
    return 1;
}
}  // namespace

QtDialogs::~QtDialogs()
{
    if (busy_ && QGuiApplication::instance())
        QGuiApplication::restoreOverrideCursor();
}

core::MsgResult QtDialogs::MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon icon,
                                      const std::string& title, const std::string& details)
{
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    ToQtButtons(buttons), DialogOwner());
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setDefaultButton(DefaultButton(buttons));
    if (buttons == core::MsgButtons::RetryCancel) {
        box.button(QMessageBox::Retry)->setText(QStringLiteral("&Riprova"));
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Annulla"));
    }
    if (!details.empty()) {
        const QString text = QString::fromStdString(details);
        box.setDetailedText(text);
        FitDetails(box, text);
    }
    QPushButton* restore = nullptr;
    if (buttons == core::MsgButtons::OkRestore)
        restore = box.addButton(QStringLiteral("&Ripristina"), QMessageBox::ActionRole);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (restore && clicked == restore) return core::MsgResult::Restore;
    if (!clicked)
        return buttons == core::MsgButtons::YesNo ? core::MsgResult::No
               : buttons == core::MsgButtons::Ok || buttons == core::MsgButtons::OkRestore ? core::MsgResult::Ok
                                                  : core::MsgResult::Cancel;
    return FromQtButton(box.standardButton(clicked));
}

std::string QtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                const std::string& defaultText, bool password)
{
    QInputDialog dialog(DialogOwner());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setLabelText(QString::fromStdString(prompt));
    dialog.setTextValue(QString::fromStdString(defaultText));
    dialog.setTextEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue().toStdString();
}

core::FileDialogResult QtDialogs::ShowFileDialog(const core::FileDialogRequest& request)
{
    const bool save = request.kind == core::FileDialogRequest::Kind::Save;
    QFileDialog dialog(DialogOwner());
    // Qt's own dialog: the same look and behaviour on every desktop, and the
    // pattern lists as given.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Only the descriptions are shown, as in the system's dialog.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.title.empty())
        dialog.setWindowTitle(QString::fromStdString(request.title));
    const QStringList filters = ToNameFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex : 1;
        dialog.selectNameFilter(filters.at(index - 1));
    }
    if (!request.initialDir.empty())
        dialog.setDirectory(QString::fromStdString(request.initialDir));
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromStdString(request.fileName));
    if (!request.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));

    core::FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    const QString chosen = dialog.selectedFiles().constFirst();
    if (request.pathMustExist && !QFileInfo(chosen).absoluteDir().exists())
        return result;
    result.accepted = true;
    result.fileName = QDir::toNativeSeparators(chosen).toStdString();
    result.filterIndex = filters.isEmpty() ? 0 : SelectedFilterIndex(request.filters, filters, dialog.selectedNameFilter());
    return result;
}

void QtDialogs::SetBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void QtDialogs::ProcessEvents() { QCoreApplication::processEvents(); }

void QtDialogs::SetWaitText(const std::string& text)
{
    QWidget* window = DialogOwner();
    if (text.empty() || !window) {
        if (waitLabel_) waitLabel_->hide();
        return;
    }
    if (!waitLabel_ || waitLabel_->parentWidget() != window) {
        delete waitLabel_;
        waitLabel_ = new QLabel(window);
        waitLabel_->setObjectName(QStringLiteral("lblAttesa"));
        waitLabel_->setWordWrap(true);
        waitLabel_->setAutoFillBackground(true);
        waitLabel_->setStyleSheet(QStringLiteral("background: #fff3c4; border: 1px solid #c9a227; padding: 4px;"));
    }
    // Kept up while the waiter keeps saying so; once the calls stop (the
    // database was freed) the next processed events take it away.
    waitShown_.start();
    if (!waitTimer_) {
        waitTimer_ = new QTimer(window);
        waitTimer_->setInterval(300);
        QObject::connect(waitTimer_, &QTimer::timeout, waitTimer_, [this] {
            if (waitShown_.isValid() && waitShown_.elapsed() < 300) return;
            if (waitLabel_) waitLabel_->hide();
            if (waitTimer_) waitTimer_->stop();
        });
    }
    waitTimer_->start();
    waitLabel_->setText(QString::fromStdString(text));
    waitLabel_->setFixedWidth(window->width() - 16);
    waitLabel_->adjustSize();
    waitLabel_->move(8, window->height() - waitLabel_->height() - 8);
    waitLabel_->show();
    waitLabel_->raise();
}

}  // namespace ui
