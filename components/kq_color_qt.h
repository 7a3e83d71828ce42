// Colour values on the Qt side: system colours resolve through the widget's palette.
#pragma once

#include <QColor>
#include <QPalette>

#include "components/kq_color.h"

namespace tarvix {

// The QColor of a colour value. System colours take the matching role of `palette`; clNone gives an invalid
// (transparent) QColor; clDefault gives `fallback`.
QColor ToQColor(TColor color, const QPalette& palette, const QColor& fallback = QColor());
// The literal colour value of a QColor (alpha ignored).
TColor FromQColor(const QColor& color);

} // namespace tarvix
