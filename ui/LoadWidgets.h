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
    QWidget* window = nullptr;
    QLabel* lblData = nullptr;
    QLineEdit* txtTargetDb = nullptr;    // shows the destination, disabled
    QPushButton* cmdTargetDb = nullptr;  // disabled

    // A date wider than the label was laid out for grows to the left
    // instead of losing its year at the window's edge.
    void ShowDate(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void ShowDestination(const std::string& text) override;
};

}  // namespace ui
