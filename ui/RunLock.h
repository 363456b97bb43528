#pragma once
// A window while its run works: its inputs are disabled, so that nothing
// the window processes between two records can start a second run or
// change what the run reads, and the start button reads "Interrompi"
// (its click then stops the run). Everything is given back as it was when
// the lock goes.

#include <QPointer>
#include <QString>
#include <vector>

class QPushButton;
class QWidget;

namespace ui {

class RunLock {
public:
    RunLock(const std::vector<QWidget*>& inputs, QPushButton* start);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    static constexpr const char* kStopCaption = "Interrompi";

private:
    std::vector<std::pair<QPointer<QWidget>, bool>> inputs_;
    QPointer<QPushButton> start_;
    QString startCaption_;
    bool startEnabled_ = true;
};

}  // namespace ui
