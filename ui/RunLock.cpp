#include "ui/RunLock.h"

#include <QPushButton>

namespace ui {

RunLock::RunLock(const std::vector<QWidget*>& inputs, QPushButton* start) : start_(start)
{
    for (QWidget* input : inputs) {
        if (!input) continue;
        inputs_.emplace_back(input, input->isEnabled());
        input->setEnabled(false);
    }
    if (start_) {
        startCaption_ = start_->text();
        startEnabled_ = start_->isEnabled();
        start_->setText(QString::fromLatin1(kStopCaption));
        start_->setEnabled(true);
    }
}

RunLock::~RunLock()
{
    for (auto& [input, enabled] : inputs_)
        if (input) input->setEnabled(enabled);
    if (start_) {
        start_->setText(startCaption_);
        start_->setEnabled(startEnabled_);
    }
}

}  // namespace ui
