// A font as the non-visual components store it: a plain value with the character set, colour, face name, pitch,
// size in points and style bits. The Qt side converts it to and from QFont (components/kq_font_qt.h).
#pragma once

#include <cstdint>
#include <string>

#include "components/kq_color.h"

namespace tarvix {

// Character set numbers (the font's charset byte).
inline constexpr uint8_t ANSI_CHARSET = 0;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t SYMBOL_CHARSET = 2;

enum TFontPitch : uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };

// Style bits; a font's Style is any combination of them.
using TFontStyles = uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;
inline constexpr TFontStyles fsAllStyles = fsBold | fsItalic | fsUnderline | fsStrikeOut;

// A default-constructed value has the default settings of a new font: the default character set, the window
// text colour, Tahoma at 8 points, default pitch, no style.
struct TKqFontValue {
    uint8_t Charset = DEFAULT_CHARSET;
    TColor Color = clWindowText;
    std::string Name = "Tahoma"; // UTF-8
    TFontPitch Pitch = fpDefault;
    int32_t Size = 8; // points
    TFontStyles Style = 0;

    friend bool operator==(const TKqFontValue&, const TKqFontValue&) = default;
};

} // namespace tarvix
