#include "components/kq_font_qt.h"

#include <cmath>

namespace tarvix {

QFont ToQFont(const TKqFontValue& font)
{
    QFont result;
    result.setFamily(QString::fromStdString(font.Name));
    if (font.Size > 0)
        result.setPointSize(font.Size);
    switch (font.Pitch) {
    case fpFixed:
        result.setFixedPitch(true);
        result.setStyleHint(QFont::TypeWriter);
        break;
    case fpVariable: result.setFixedPitch(false); break;
    case fpDefault: break;
    }
    result.setBold((font.Style & fsBold) != 0);
    result.setItalic((font.Style & fsItalic) != 0);
    result.setUnderline((font.Style & fsUnderline) != 0);
    result.setStrikeOut((font.Style & fsStrikeOut) != 0);
    return result;
}

TKqFontValue FromQFont(const QFont& font, TColor color, uint8_t charset)
{
    TKqFontValue result;
    result.Charset = charset;
    result.Color = color;
    result.Name = font.family().toStdString();
    if (font.pointSize() > 0)
        result.Size = font.pointSize();
    else if (font.pixelSize() > 0)
        result.Size = static_cast<int32_t>(std::lround(font.pixelSize() * 72.0 / 96.0));
    // Only a font that asks for fixed pitch says so; QFont cannot tell "variable" from "don't care".
    result.Pitch = font.fixedPitch() ? fpFixed : fpDefault;
    TFontStyles style = 0;
    if (font.bold())
        style |= fsBold;
    if (font.italic())
        style |= fsItalic;
    if (font.underline())
        style |= fsUnderline;
    if (font.strikeOut())
        style |= fsStrikeOut;
    result.Style = style;
    return result;
}

} // namespace tarvix
