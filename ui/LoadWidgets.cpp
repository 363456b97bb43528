#include "ui/LoadWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

void LoadWidgets::ShowDate(const std::string& text) {
    lblData->setText(QString::fromStdString(text));
    const int needed = lblData->fontMetrics().horizontalAdvance(lblData->text()) + 2;
    if (needed > lblData->width()) {
        const int right = lblData->geometry().right();
        lblData->setGeometry(right + 1 - needed, lblData->y(), needed, lblData->height());
    }
}

void LoadWidgets::SetCaption(const std::string& caption) { window->setWindowTitle(QString::fromStdString(caption)); }

void LoadWidgets::ShowDestination(const std::string& text) {
    txtTargetDb->setText(QString::fromStdString(text));
    txtTargetDb->setEnabled(false);
    cmdTargetDb->setEnabled(false);
}

}  // namespace ui
