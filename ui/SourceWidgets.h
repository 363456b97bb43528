#pragma once
// The source selection (common/SourceSelection.h) on a real window: the
// open dialog, txtSourceDb, cmdAvvia and Tessily's cmbTblFrom.

#include <string>
#include <vector>

#include "common/SourceSelection.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

class SourceWidgets : public core::SourceView {
public:
    SourceWidgets(QWidget* owner, QLineEdit* txtSourceDb, QPushButton* cmdAvvia, QComboBox* cmbTblFrom = nullptr)
        : owner(owner), txtSourceDb(txtSourceDb), cmdAvvia(cmdAvvia), cmbTblFrom(cmbTblFrom) {}

    QWidget* owner = nullptr;          // parent of the dialog
    QLineEdit* txtSourceDb = nullptr;  // shows the chosen file
    QPushButton* cmdAvvia = nullptr;   // enabled once the source is open
    QComboBox* cmbTblFrom = nullptr;   // Tessily's source tables; nullptr for Varnel

    bool Complete(core::ProgramKind kind) const override;
    core::cFile ChooseFile(const std::string& filter) override;
    void ShowSourcePath(const std::string& path) override;
    void EnableAvvia(bool enabled) override;
    void ListSourceTables(const std::vector<std::string>& names) override;
};

// Shows the open dialog (existing files and paths only) in the dialog start
// folder, which the first call sets to the program's folder, and fills the
// result. A cancel or any failure leaves the result as it was.
void ShowOpenFile(QWidget* owner, const std::string& filter, core::cFile& result);

}  // namespace ui
