#include "ui/ctrProgress.h"

#include <QEvent>
#include <QPainter>
#include <QResizeEvent>

namespace ui {

namespace {
const QString kBackColor = QStringLiteral("BackColor");
const QString kFillColor = QStringLiteral("FillColor");
const QString kOrientation = QStringLiteral("Orientation");
const QString kShow3D = QStringLiteral("Show3D");
const QString kValue = QStringLiteral("Value");

// Light enough to read as hatching over any fill colour.
QColor HatchColor(const QColor& fill)
{
    return fill.lightness() > 200 ? fill.darker(130) : fill.lighter(175);
}
}  // namespace

ctrProgress::ctrProgress(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    layout_.ResizePixels(width(), height());
    SetBackColor(kDefaultBackColor);
    SetFillColor(kDefaultFillColor);
    SetOrientation(0);
    SetShow3D(true);
    SetValue(100);
}

void ctrProgress::SetBackColor(OleColor color)
{
    backColor_ = color;
    update();
}

void ctrProgress::SetFillColor(OleColor color)
{
    fillColor_ = color;
    update();
}

void ctrProgress::SetOrientation(std::int32_t orientation)
{
    layout_.SetOrientation(orientation);
    update();
}

void ctrProgress::SetShow3D(bool show)
{
    layout_.SetShow3D(show);
    update();
}

void ctrProgress::SetValue(std::int32_t value)
{
    const RectGeometry before = layout_.Bar();
    layout_.SetValue(value);
    if (!(layout_.Bar() == before) && isVisible())
        repaint();
}

QColor ctrProgress::ResolvedBackColor() const { return ToQColor(backColor_, palette()); }
QColor ctrProgress::ResolvedFillColor() const { return ToQColor(fillColor_, palette()); }

void ctrProgress::WriteProperties(PropertyBag& bag) const
{
    bag.Write(kBackColor, QVariant::fromValue<quint32>(backColor_));
    bag.Write(kFillColor, QVariant::fromValue<quint32>(fillColor_));
    bag.Write(kOrientation, QVariant::fromValue<qint32>(Orientation()));
    bag.Write(kShow3D, QVariant(Show3D()));
    bag.Write(kValue, QVariant::fromValue<qint32>(Value()));
}

void ctrProgress::ReadProperties(const PropertyBag& bag)
{
    if (auto v = bag.Read(kBackColor))
        if (auto c = BagToColor(*v))
            SetBackColor(*c);
    if (auto v = bag.Read(kFillColor))
        if (auto c = BagToColor(*v))
            SetFillColor(*c);
    if (auto v = bag.Read(kOrientation))
        if (auto n = BagToInt32(*v))
            SetOrientation(*n);
    if (auto v = bag.Read(kShow3D))
        if (auto b = BagToBool(*v))
            SetShow3D(*b);
    if (auto v = bag.Read(kValue))
        if (auto n = BagToInt32(*v))
            SetValue(*n);
}

void ctrProgress::resizeEvent(QResizeEvent* event)
{
    layout_.ResizePixels(event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
}

void ctrProgress::changeEvent(QEvent* event)
{
    // System colours follow the palette.
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

void ctrProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ResolvedBackColor());

    const RectGeometry& bar = layout_.Bar();
    if (bar.width > 0 && bar.height > 0) {
        const QRect area(bar.left, bar.top, bar.width, bar.height);
        const QColor fill = ResolvedFillColor();
        painter.fillRect(area, fill);
        const Qt::BrushStyle pattern =
            layout_.BarHatch() == Hatch::Vertical ? Qt::VerPattern : Qt::HorPattern;
        painter.setBrushOrigin(0, 0);
        painter.fillRect(area, QBrush(HatchColor(fill), pattern));
    }

    // The frame over the bar, so the sunken edge stays whole at 100%.
    auto drawLine = [&](const LineGeometry& line, OleColor colour) {
        if (!line.visible)
            return;
        painter.setPen(QPen(ToQColor(colour, palette()), 0));
        painter.drawLine(line.x1, line.y1, line.x2, line.y2);
    };
    drawLine(layout_.LinUp(), kLineGrey);
    drawLine(layout_.LinLeft(), kLineGrey);
    drawLine(layout_.LinDown(), kLineWhite);
    drawLine(layout_.LinRight(), kLineWhite);
}

void ConfigureAsMainProgress(ctrProgress& bar)
{
    bar.SetBackColor(kSystemButtonFace);
    bar.SetFillColor(ctrProgress::kDefaultFillColor);
    bar.SetOrientation(0);
    bar.SetShow3D(false);
    bar.SetValue(0);
}

}  // namespace ui
