#include "components/kq_color.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "platform/ascii_case.h"

namespace tarvix {
namespace {

struct ColorName {
    std::string_view name;
    TColor color;
};

constexpr std::array<ColorName, 50> colorNames{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clLtGray", clLtGray},
    {"clDkGray", clDkGray},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
}};

} // namespace

std::optional<TColor> IdentToColor(std::string_view ident)
{
    for (const ColorName& entry : colorNames)
        if (platform::equalsIgnoringAsciiCase(entry.name, ident))
            return entry.color;
    return std::nullopt;
}

std::optional<std::string> ColorToIdent(TColor color)
{
    for (const ColorName& entry : colorNames)
        if (entry.color == color)
            return std::string(entry.name);
    return std::nullopt;
}

std::optional<TColor> StringToColor(std::string_view text)
{
    if (auto named = IdentToColor(text))
        return named;
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (!digits.empty() && digits.front() == '$') {
        base = 16;
        digits.remove_prefix(1);
    } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty())
        return std::nullopt;
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    // Hexadecimal literals name all 32 bits ($FF00000F is a system colour); decimal ones are signed integers.
    if (base == 16 ? value > 0xFFFFFFFFull : value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return std::nullopt;
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<TColor>(bits);
}

} // namespace tarvix
