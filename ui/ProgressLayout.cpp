#include "ui/ProgressLayout.h"

#include "common/text/Rounding.h"

namespace ui {

ProgressLayout::ProgressLayout(int twipsPerPixelX, int twipsPerPixelY)
    : twipsX_(twipsPerPixelX > 0 ? twipsPerPixelX : 15),
      twipsY_(twipsPerPixelY > 0 ? twipsPerPixelY : 15)
{
}

void ProgressLayout::ResizeTwips(double widthTwips, double heightTwips)
{
    // Whole twips first, then whole-number division by the screen's figure.
    width_ = static_cast<int>(static_cast<long long>(core::text::RoundHalfEven(widthTwips)) / twipsX_);
    height_ = static_cast<int>(static_cast<long long>(core::text::RoundHalfEven(heightTwips)) / twipsY_);
    PlaceFrame();
    LayOutBar();
    ApplyValue();
}

void ProgressLayout::ResizePixels(int width, int height)
{
    ResizeTwips(static_cast<double>(width) * twipsX_, static_cast<double>(height) * twipsY_);
}

void ProgressLayout::PlaceFrame()
{
    const int w = width_;
    const int h = height_;
    linUp_ = {0, 0, w, 0, show3D_};
    linDown_ = {0, h - 1, w, h - 1, show3D_};
    linLeft_ = {0, 0, 0, h, show3D_};
    linRight_ = {w - 1, 0, w - 1, h, show3D_};
}

void ProgressLayout::SetOrientation(std::int32_t orientation)
{
    orientation_ = orientation;
    LayOutBar();
    ApplyValue();
}

void ProgressLayout::LayOutBar()
{
    if (orientation_ == kHorizontal) {
        hatch_ = Hatch::Vertical;
        bar_.height = height_;
        bar_.left = 0;
        bar_.top = 0;
    } else if (orientation_ == kVertical) {
        hatch_ = Hatch::Horizontal;
        bar_.left = 0;
        bar_.top = height_;
        bar_.width = width_;
    }
}

void ProgressLayout::SetValue(std::int32_t value)
{
    value_ = value < 0 ? 0 : (value > 100 ? 100 : value);
    ApplyValue();
}

void ProgressLayout::ApplyValue()
{
    double full = 0;
    if (orientation_ == kHorizontal)
        full = width_;
    else if (orientation_ == kVertical)
        full = height_;
    const int length = static_cast<int>(core::text::RoundHalfEven(full / 100.0 * value_));
    if (orientation_ == kHorizontal) {
        bar_.width = length;
    } else if (orientation_ == kVertical) {
        bar_.height = length;
        bar_.top = height_ - length;
    }
}

void ProgressLayout::SetShow3D(bool show)
{
    show3D_ = show;
    linUp_.visible = linDown_.visible = linLeft_.visible = linRight_.visible = show;
}

}  // namespace ui
