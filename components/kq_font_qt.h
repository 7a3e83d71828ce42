// Font values on the Qt side. A QFont has no colour and no character set: they travel beside it.
#pragma once

#include <QFont>

#include "components/kq_font.h"

namespace tarvix {

// The QFont of a font value: family, point size, pitch and style. A size of 0 or less keeps QFont's default.
QFont ToQFont(const TKqFontValue& font);
// The font value of a QFont with the colour and character set given; a font sized in pixels takes its size in
// points at 96 dots per inch.
TKqFontValue FromQFont(const QFont& font, TColor color = clWindowText, uint8_t charset = DEFAULT_CHARSET);

} // namespace tarvix
