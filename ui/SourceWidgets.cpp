#include "ui/SourceWidgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <cstdint>

#include "common/Dialogs.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/engine/Error.h"
#include "ui/clsCommonDialog.h"

namespace ui {

namespace {
constexpr std::int32_t kExistingFileAndPath = ofn::FileMustExist | ofn::PathMustExist;
}  // namespace

bool SourceWidgets::Complete(core::ProgramKind kind) const
{
    return txtSourceDb && cmdAvvia && (kind != core::ProgramKind::Tessily || cmbTblFrom);
}

core::cFile SourceWidgets::ChooseFile(const std::string& filter)
{
    core::cFile file;
    ShowOpenFile(owner, filter, file);
    return file;
}

void SourceWidgets::ShowSourcePath(const std::string& path) { txtSourceDb->setText(QString::fromStdString(path)); }

void SourceWidgets::EnableAvvia(bool enabled) { cmdAvvia->setEnabled(enabled); }

void SourceWidgets::ListSourceTables(const std::vector<std::string>& names)
{
    QComboBox& list = *cmbTblFrom;
    {
        // Filling must not fire the selection handler; only the explicit
        // choice of the first entry below does.
        const QSignalBlocker quiet(&list);
        list.clear();
        for (const std::string& name : names)
            list.addItem(QString::fromStdString(name));
        list.setCurrentIndex(-1);
    }
    list.setEnabled(list.count() > 0);
    if (list.count() > 0)
        list.setCurrentIndex(0);
}

void ShowOpenFile(QWidget* owner, const std::string& filter, core::cFile& result)
{
    clsCommonDialog dialog;
    try {
        core::Prefs& prefs = core::ThePrefs();
        if (prefs.dialogFolder.empty())
            prefs.dialogFolder = core::ProgramFolder();
        dialog.Parent = owner;
        dialog.CancelError = true;
        dialog.Filter = filter;
        dialog.FilterIndex = 0;
        dialog.Flags = kExistingFileAndPath;
        dialog.InitDir = prefs.dialogFolder;
        dialog.ShowOpen();
        result.FileName = dialog.FileName;
        result.SetFilterIndex(dialog.FilterIndex);
    } catch (const core::Error& e) {
        // Nothing was chosen. A plain cancel needs no word; a path too long
        // for the dialog's buffer, or a failing dialog, does.
        if (dialog.ExtendedError() == cderr::BufferTooSmall)
            core::TheDialogs().MessageBox(
                "Il percorso scelto è troppo lungo: ne sono ammessi al massimo " +
                    std::to_string(dialog.MaxFileSize - 1) + " caratteri, quello scelto ne ha " +
                    std::to_string(dialog.RefusedFileName().size()) + " ('" + dialog.RefusedFileName() +
                    "'). Spostare il file in una cartella con un percorso più corto.",
                core::MsgButtons::Ok, core::MsgIcon::Exclamation, core::ThePrefs().programTitle);
        else if (e.Number() != core::err::DialogCancel)
            core::TheDialogs().MessageBox(e.Description(), core::MsgButtons::Ok, core::MsgIcon::Critical,
                                          msg::ErrorTitle(e.Number()));
    } catch (const std::exception& e) {
        core::TheDialogs().MessageBox(std::string(msg::kInternalError) + e.what(), core::MsgButtons::Ok,
                                      core::MsgIcon::Critical, msg::ErrorTitle(51));
    }
}

}  // namespace ui
