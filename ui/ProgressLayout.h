#pragma once
// The geometry of the progress bar, apart from the widget so that tests can
// check every position without a screen. All figures are pixels of the
// control's own surface.

#include <cstdint>

namespace ui {

struct LineGeometry {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool visible = true;
};

struct RectGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const RectGeometry&) const = default;
};

enum class Hatch { Vertical, Horizontal };

class ProgressLayout {
public:
    static constexpr int kHorizontal = 0;
    static constexpr int kVertical = 1;

    // twipsPerPixel: the screen's figures, taken once by the control.
    explicit ProgressLayout(int twipsPerPixelX = 15, int twipsPerPixelY = 15);

    // The control's size in twips; places the frame, then re-applies the
    // orientation and the value.
    void ResizeTwips(double widthTwips, double heightTwips);
    void ResizePixels(int width, int height);

    // Stores the orientation, lays the bar out (0 and 1 only; any other
    // value leaves the bar where it was) and re-applies the value.
    void SetOrientation(std::int32_t orientation);
    // Clamps to 0..100, stores it and sizes the bar.
    void SetValue(std::int32_t value);
    void SetShow3D(bool show);

    std::int32_t Orientation() const { return orientation_; }
    std::int32_t Value() const { return value_; }
    bool Show3D() const { return show3D_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    const LineGeometry& LinUp() const { return linUp_; }
    const LineGeometry& LinDown() const { return linDown_; }
    const LineGeometry& LinLeft() const { return linLeft_; }
    const LineGeometry& LinRight() const { return linRight_; }
    const RectGeometry& Bar() const { return bar_; }
    Hatch BarHatch() const { return hatch_; }

private:
    void PlaceFrame();
    void LayOutBar();
    void ApplyValue();

    int twipsX_;
    int twipsY_;
    int width_ = 0;
    int height_ = 0;
    std::int32_t orientation_ = kHorizontal;
    std::int32_t value_ = 0;
    bool show3D_ = true;
    LineGeometry linUp_, linDown_, linLeft_, linRight_;
    RectGeometry bar_;
    Hatch hatch_ = Hatch::Vertical;
};

}  // namespace ui
