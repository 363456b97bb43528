#include "ui/OleColor.h"

namespace ui {

namespace {
QPalette::ColorRole RoleOfSystemIndex(unsigned index)
{
    switch (index) {
    case 0x01: return QPalette::Window;          // desktop / background
    case 0x04: return QPalette::Window;          // menu
    case 0x05: return QPalette::Base;            // window
    case 0x07: return QPalette::Text;            // menu text
    case 0x08: return QPalette::Text;            // window text
    case 0x0D: return QPalette::Highlight;
    case 0x0E: return QPalette::HighlightedText;
    case 0x0F: return QPalette::Button;          // button face
    case 0x10: return QPalette::Dark;            // button shadow
    case 0x11: return QPalette::PlaceholderText; // grey text
    case 0x12: return QPalette::ButtonText;
    case 0x14: return QPalette::Light;           // button highlight
    case 0x15: return QPalette::Shadow;          // 3-D dark shadow
    case 0x16: return QPalette::Midlight;        // 3-D light
    case 0x17: return QPalette::ToolTipText;
    case 0x18: return QPalette::ToolTipBase;
    default: return QPalette::Button;
    }
}
}  // namespace

QColor ToQColor(OleColor color, const QPalette& palette)
{
    if (IsSystemColor(color))
        return palette.color(QPalette::Active, RoleOfSystemIndex(color & 0xFFu));
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

OleColor FromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<OleColor>(rgb.red()) | (static_cast<OleColor>(rgb.green()) << 8) |
           (static_cast<OleColor>(rgb.blue()) << 16);
}

}  // namespace ui
