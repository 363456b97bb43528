#pragma once
// The Qt implementation of core::Dialogs that the programs install at
// start-up: message boxes, input boxes, file dialogs, the busy pointer and
// the runs' single yields.

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include "common/Dialogs.h"

namespace ui {

class QtDialogs : public core::Dialogs {
public:
    QtDialogs() = default;
    // Restores the pointer if a run left it busy.
    ~QtDialogs() override;

    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon icon,
                               const std::string& title, const std::string& details = {}) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText = {}, bool password = false) override;
    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest& request) override;
    // Balanced: a second SetBusy(true) or an unmatched SetBusy(false) does nothing.
    void SetBusy(bool busy) override;
    void ProcessEvents() override;
    void SetWaitText(const std::string& text) override;

private:
    bool busy_ = false;
    QPointer<QLabel> waitLabel_;
    QPointer<QTimer> waitTimer_;
    QElapsedTimer waitShown_;
};

// Pieces of the dialogs that do not need a screen.
QMessageBox::Icon ToQtIcon(core::MsgIcon icon);
QMessageBox::StandardButtons ToQtButtons(core::MsgButtons buttons);
core::MsgResult FromQtButton(QMessageBox::StandardButton button);
// "Description (pattern)" for each type; ";" between patterns becomes a blank
// as Qt expects.
QStringList ToNameFilters(const std::vector<std::pair<std::string, std::string>>& filters);

}  // namespace ui
