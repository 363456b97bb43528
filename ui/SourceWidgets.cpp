#include "ui/SourceWidgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <cstdint>

#include "common/Paths.h"
#include "common/Prefs.h"
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
    try {
        core::Prefs& prefs = core::ThePrefs();
        if (prefs.dialogFolder.empty())
            prefs.dialogFolder = core::ProgramFolder();
        clsCommonDialog dialog;
        dialog.Parent = owner;
        dialog.CancelError = true;
        dialog.Filter = filter;
        dialog.FilterIndex = 0;
        dialog.Flags = kExistingFileAndPath;
        dialog.InitDir = prefs.dialogFolder;
        dialog.ShowOpen();
        result.FileName = dialog.FileName;
        result.SetFilterIndex(dialog.FilterIndex);
    } catch (...) {
        // A cancel (32755) or any failure: nothing was chosen.
    }
}

}  // namespace ui
