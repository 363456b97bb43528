#pragma once
// The load sequence (common/WindowLoad.h) on a real window: the caption,
// lblData and the destination's text box and button.

#include <string>

#include "common/WindowLoad.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

class LoadWidgets : public core::LoadView {
public:
    // txtTargetDb shows the destination; it and cmdTargetDb are disabled.
    LoadWidgets(QWidget* window, QLabel* lblData, QLineEdit* txtTargetDb, QPushButton* cmdTargetDb)
        : window(window), lblData(lblData), txtTargetDb(txtTargetDb), cmdTargetDb(cmdTargetDb) {}

    // A date wider than the label was laid out for grows to the left
    // instead of losing its year at the window's edge.
    void ShowDate(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void ShowDestination(const std::string& text) override;

private:
    QWidget* window;
    QLabel* lblData;
    QLineEdit* txtTargetDb;
    QPushButton* cmdTargetDb;
};

}  // namespace ui
