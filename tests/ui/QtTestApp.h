#pragma once
// One QApplication for the widget tests (offscreen platform, set by CTest).

#include <QApplication>
#include <QString>
#include <ostream>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace testsupport {

inline QApplication& EnsureQtApp()
{
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app =
        qobject_cast<QApplication*>(QCoreApplication::instance()) ? nullptr : new QApplication(argc, argv);
    (void)app;
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace testsupport
