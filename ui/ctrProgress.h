#pragma once
// The progress bar of the main windows: a hatched bar whose length is a
// percentage of the control's width (or height), optionally inside a thin
// sunken frame of four lines.

#include <QWidget>
#include <cstdint>

#include "ui/OleColor.h"
#include "ui/ProgressLayout.h"
#include "ui/PropertyBag.h"

namespace ui {

class ctrProgress : public QWidget {
    Q_OBJECT
public:
    // Twips per pixel of this platform's screens (96 dpi).
    static constexpr int kTwipsPerPixel = 15;

    // The frame's fixed colours: grey top and left, white bottom and right.
    static constexpr OleColor kLineGrey = 0x00808080u;
    static constexpr OleColor kLineWhite = 0x00FFFFFFu;

    static constexpr OleColor kDefaultBackColor = kSystemButtonFace;
    static constexpr OleColor kDefaultFillColor = 0x00A56D3Au;

    // A newly placed control: the defaults go through the setters.
    explicit ctrProgress(QWidget* parent = nullptr);

    OleColor BackColor() const { return backColor_; }
    void SetBackColor(OleColor color);
    OleColor FillColor() const { return fillColor_; }
    void SetFillColor(OleColor color);
    std::int32_t Orientation() const { return layout_.Orientation(); }
    void SetOrientation(std::int32_t orientation);
    bool Show3D() const { return layout_.Show3D(); }
    void SetShow3D(bool show);
    std::int32_t Value() const { return layout_.Value(); }
    // Clamps to 0..100. When the bar's length in pixels changes the control
    // repaints at once, so the bar moves while a run keeps the event loop
    // busy; otherwise nothing is repainted.
    void SetValue(std::int32_t value);

    // Writes all five properties; loading passes each readable one through
    // its setter and skips what is missing or unreadable.
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    // Geometry of the drawing elements (pixels of the control's surface).
    const ProgressLayout& Layout() const { return layout_; }
    QColor ResolvedBackColor() const;
    QColor ResolvedFillColor() const;

    // The windows place the bar with a fixed geometry; layouts get a thin bar.
    QSize sizeHint() const override { return {200, 16}; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    OleColor backColor_ = kDefaultBackColor;
    OleColor fillColor_ = kDefaultFillColor;
    ProgressLayout layout_{kTwipsPerPixel, kTwipsPerPixel};
};

// The settings saved with every main window's pbrMain: horizontal, no frame,
// empty.
void ConfigureAsMainProgress(ctrProgress& bar);

}  // namespace ui
