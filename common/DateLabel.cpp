#include "common/DateLabel.h"

#include <QLocale>
#include <QString>

namespace core {

std::string ProperCase(const std::string& text) {
    QString s = QString::fromStdString(text);
    bool wordStart = true;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isSpace() || c.isNull()) {
            wordStart = true;
            continue;
        }
        s[i] = wordStart ? c.toUpper() : c.toLower();
        wordStart = false;
    }
    return s.toStdString();
}

std::string LongDateLabel(const QDate& date) {
    const QString text = QLocale(QLocale::Italian, QLocale::Italy).toString(date, QStringLiteral("dddd, dd MMMM yyyy"));
    return ProperCase(text.toStdString());
}

std::string TodayLabel() { return LongDateLabel(QDate::currentDate()); }

}  // namespace core
