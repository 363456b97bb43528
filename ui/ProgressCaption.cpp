#include "ui/ProgressCaption.h"

#include <QFontMetrics>
#include <QStringList>

namespace ui {

QString ElideLines(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) line = metrics.elidedText(line, Qt::ElideMiddle, width);
    return lines.join(QLatin1Char('\n'));
}

ProgressCaption::ProgressCaption(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
}

void ProgressCaption::SetFullText(const QString& text)
{
    if (text == full_) return;
    full_ = text;
    setToolTip(text);
    Elide();
}

void ProgressCaption::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void ProgressCaption::Elide()
{
    const int room = contentsRect().width() - 2 * margin() - 2;
    setText(room > 0 ? ElideLines(full_, fontMetrics(), room) : full_);
}

}  // namespace ui
