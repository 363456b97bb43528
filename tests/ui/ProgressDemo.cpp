// A window with progress bars at 0, 37 and 100 percent as the main windows
// use them (no frame), one with the frame and one vertical, to look at.

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

#include "ui/ctrProgress.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("ctrProgress");
    auto* form = new QFormLayout;

    auto addBar = [&](const QString& label, int value, bool frame) {
        auto* bar = new ui::ctrProgress;
        ui::ConfigureAsMainProgress(*bar);
        bar->SetShow3D(frame);
        bar->SetValue(value);
        bar->setFixedSize(425, 20);
        form->addRow(label, bar);
    };
    addBar("pbrMain 0%", 0, false);
    addBar("pbrMain 37%", 37, false);
    addBar("pbrMain 100%", 100, false);
    addBar("Show3D 37%", 37, true);
    addBar("Show3D 100%", 100, true);

    auto* vertical = new ui::ctrProgress;
    vertical->SetOrientation(1);
    vertical->SetValue(25);
    vertical->setFixedSize(30, 120);
    form->addRow("verticale 25%", vertical);

    window.setLayout(form);
    window.move(20, 20);
    window.show();
    return app.exec();
}
