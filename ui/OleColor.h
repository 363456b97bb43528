#pragma once
// Colours as the window designs store them: 32-bit values &H00BBGGRR (blue
// in the high byte), or system colours &H800000nn that follow the palette.

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace ui {

using OleColor = std::uint32_t;

constexpr OleColor kSystemButtonFace = 0x8000000Fu;

constexpr bool IsSystemColor(OleColor c) { return (c & 0x80000000u) != 0; }

// System colours resolve through the palette (button face -> Button, ...);
// an index the palette has no role for gives the button face.
QColor ToQColor(OleColor color, const QPalette& palette);
// An explicit colour, ignoring alpha.
OleColor FromQColor(const QColor& color);

}  // namespace ui
