#include "components/kq_skin_colors.h"

#include <utility>

#include "platform/ascii_case.h"

namespace tarvix {

using platform::equalsIgnoringAsciiCase;

// Name lookup of one sub-object, generated from its colour list.
#define TARVIX_SKIN_COLOR_GET(Name)                                                                                    \
    if (equalsIgnoringAsciiCase(name, #Name))                                                                          \
        return F##Name;
#define TARVIX_SKIN_COLOR_SET(Name)                                                                                    \
    if (equalsIgnoringAsciiCase(name, #Name)) {                                                                        \
        F##Name = value;                                                                                               \
        return true;                                                                                                   \
    }
#define TARVIX_SKIN_COLOR_LOOKUP(Class, List)                                                                          \
    std::optional<TColor> Class::Color(std::string_view name) const                                                    \
    {                                                                                                                  \
        List(TARVIX_SKIN_COLOR_GET) return std::nullopt;                                                               \
    }                                                                                                                  \
    bool Class::SetColor(std::string_view name, TColor value)                                                          \
    {                                                                                                                  \
        List(TARVIX_SKIN_COLOR_SET) return false;                                                                      \
    }

TARVIX_SKIN_COLOR_LOOKUP(TKqArrowBtnColors, TARVIX_SKIN_ARROWBTN_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqButtonColors, TARVIX_SKIN_BUTTON_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqCheckColors, TARVIX_SKIN_CHECK_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqEditColors, TARVIX_SKIN_EDIT_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqFormColors, TARVIX_SKIN_FORM_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqGroupColors, TARVIX_SKIN_GROUP_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqHeaderColors, TARVIX_SKIN_HEADER_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqLabelColors, TARVIX_SKIN_LABEL_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqMainMenuColors, TARVIX_SKIN_MAINMENU_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqMenuItemColors, TARVIX_SKIN_MENUITEM_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqPageControlColors, TARVIX_SKIN_PAGECONTROL_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqProgressBarColors, TARVIX_SKIN_PROGRESSBAR_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqRadioButtonColors, TARVIX_SKIN_RADIOBUTTON_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqSpeedButtonColors, TARVIX_SKIN_SPEEDBUTTON_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqStatusBarColors, TARVIX_SKIN_STATUSBAR_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqTabButtonColors, TARVIX_SKIN_TABBUTTON_COLORS)
TARVIX_SKIN_COLOR_LOOKUP(TKqToolBarColors, TARVIX_SKIN_TOOLBAR_COLORS)

#undef TARVIX_SKIN_COLOR_LOOKUP
#undef TARVIX_SKIN_COLOR_SET
#undef TARVIX_SKIN_COLOR_GET

TKqArrowBtnColors::TKqArrowBtnColors()
{
    FBorder = 15186341;        // $00E7B9A5
    FBorderDisable = 11907757; // $00B5B2AD
    FBorderOn = 11632444;      // $00B17F3C
    FBorderPress = 9134636;    // $008B622C
    FFace = 13619151;          // $00CFCFCF
    FFaceDisable = 16053492;   // $00F4F4F4
    FFaceOn = 16243884;        // $00F7DCAC
    FFacePress = 14201192;     // $00D8B168
    FLight = 16579836;         // $00FCFCFC
    FLightOn = 16643558;       // $00FDF5E6
    FLightPress = 16511972;    // $00FBF3E4
    FMark = 9722951;           // $00945C47
    FMarkDisable = 12500670;   // $00BEBEBE
}

TKqButtonColors::TKqButtonColors()
{
    FBorder = 11632444;        // $00B17F3C
    FBorderDisable = 11907757; // $00B5B2AD
    FBorderOn = 11632444;      // $00B17F3C
    FBorderPress = 9134636;    // $008B622C
    FDefaultBorder = 15836033; // $00F1A381
    FFace = 13619151;          // $00CFCFCF
    FFaceDisable = 16053492;   // $00F4F4F4
    FFaceOn = 16243884;        // $00F7DCAC
    FFacePress = 14201192;     // $00D8B168
    FFocusRect = 6316128;      // $00606060
    FLight = 16579836;         // $00FCFCFC
    FLightOn = 16643558;       // $00FDF5E6
    FLightPress = 16511972;    // $00FBF3E4
    FText = 2496538;           // $0026181A
    FTextDisable = 8618883;    // $00838383
    FTextOn = 0;
    FTextPress = 0;
}

TKqCheckColors::TKqCheckColors()
{
    FBorder = 9408398;         // $008F8F8E
    FBorderDisable = 11645361; // $00B1B1B1
    FBorderOn = 10716757;      // $00A38655
    FBorderPress = 9134636;    // $008B622C
    FFace = 14012363;          // $00D5CFCB
    FFaceDisable = 15790320;   // $00F0F0F0
    FFaceOn = 16371081;        // $00F9CD89
    FFacePress = 16234078;     // $00F7B65E
    FLight = 15987699;         // $00F3F3F3
    FLightOn = 16708832;       // $00FEF4E0
    FLightPress = 16707799;    // $00FEF0D7
    FMark = 9722951;           // $00945C47
    FMarkDisable = 12500670;   // $00BEBEBE
    FText = 2496538;           // $0026181A
    FTextDisable = 8618883;    // $00838383
    FTextOn = 0;
    FTextPress = 0;
}

TKqEditColors::TKqEditColors()
{
    FBorder = 11640717;        // $00B19F8D
    FBorderDisable = 12894136; // $00C4BFB8
    FFace = clWindow;
    FText = clWindowText;
}

TKqFormColors::TKqFormColors()
{
    FFace = 15461355; // $00EBEBEB
}

TKqGroupColors::TKqGroupColors()
{
    FBorder = 12171705;        // $00B9B9B9
    FBorderDisable = 12894136; // $00C4BFB8
    FText = 13593938;          // $00CF6D52
    FTextDisable = 8618883;    // $00838383
}

TKqHeaderColors::TKqHeaderColors()
{
    FBorder = 11640717;      // $00B19F8D
    FDivider = 13615283;     // $00CFC0B3
    FFace = 15326163;        // $00E9DBD3
    FFacePress = 14991773;   // $00E4C19D
    FFaceSelect = 13813180;  // $00D2C5BC
    FIndexMark = 16601;      // $000040D9
    FLight = 16513782;       // $00FBFAF6
    FLightPress = 16511972;  // $00FBF3E4
    FLightSelect = 15000287; // $00E4E2DF
    FText = 4079911;         // $003E4127
    FTextPress = 0;
    FTextSelect = 0;
}

TKqLabelColors::TKqLabelColors()
{
    FText = clWindowText;
}

TKqMainMenuColors::TKqMainMenuColors()
{
    FBorderOn = 14922381;    // $00E3B28D
    FBorderPress = 6313807;  // $0060574F
    FFace = 16767935;        // $00FFDBBF
    FFaceOn = 16181470;      // $00F6E8DE
    FFacePress = 8288354;    // $007E7862
    FLight = 15984347;       // $00F3E6DB
    FLightOn = 16709618;     // $00FEF7F2
    FLightPress = 12757400;  // $00C2A998
    FText = 5118500;         // $004E1A24
    FTextDisable = 13815242; // $00D2CDCA
    FTextOn = 0;
    FTextPress = 16777215; // $00FFFFFF
}

TKqMenuItemColors::TKqMenuItemColors()
{
    FBorderOn = 7913444;     // $0078BFE4
    FFace = 16777215;        // $00FFFFFF
    FFaceOn = 6936319;       // $0069D6FF
    FLight = 16777215;       // $00FFFFFF
    FLightOn = 15138047;     // $00E6FCFF
    FIcon = 16767161;        // $00FFD8B9
    FIconLight = 15658729;   // $00EEEEE9
    FLine = 8354147;         // $007F7963
    FMark = 8354147;         // $007F7963
    FText = 5118500;         // $004E1A24
    FTextDisable = 13815242; // $00D2CDCA
    FTextOn = 0;
}

TKqPageControlColors::TKqPageControlColors()
{
    FBorder = 9800841; // $00958C89
    FFace = 15790320;  // $00F0F0F0
}

TKqProgressBarColors::TKqProgressBarColors()
{
    FBorder = 6842472;      // $00686868
    FBackground = 16777215; // $00FFFFFF
    FBar = 764694;          // $000BAB16
}

TKqRadioButtonColors::TKqRadioButtonColors()
{
    FBack = 15921906;             // $00F2F2F2
    FBackDisable = 15592941;      // $00EDEDED
    FBackOn = 16316123;           // $00F8F6DB
    FBackPress = 16052682;        // $00F4F1CA
    FBorder = 9605777;            // $00929291
    FBorderDisable = 13553358;    // $00CECECE
    FBorderOn = 10848601;         // $00A58959
    FBorderPress = 8676405;       // $00846435
    FFace = 13618119;             // $00CFCBC7
    FFaceDisable = 14606046;      // $00DEDEDE
    FFaceOn = 16637873;           // $00FDDFB1
    FFacePress = 16367474;        // $00F9BF72
    FLight = 15395561;            // $00EAEAE9
    FLightDisable = 15790320;     // $00F0F0F0
    FLightOn = 16641488;          // $00FDEDD0
    FLightPress = 16573627;       // $00FCE4BB
    FMark = 5783584;              // $00584020
    FMarkEye = 13074955;          // $00C7820B
    FMarkEyeDisable = 11842740;   // $00B4B4B4
    FMarkDisable = 10197915;      // $009B9B9B
    FSecBorder = 12565173;        // $00BFBAB5
    FSecBorderDisable = 14474460; // $00DCDCDC
    FSecBorderOn = 16370564;      // $00F9CB84
    FSecBorderPress = 16168030;   // $00F6B45E
    FText = 2496538;              // $0026181A
    FTextDisable = 8618883;       // $00838383
    FTextOn = 0;
    FTextPress = 0;
}

// A speed button starts with the push button's colours; it has all of them but the focus rectangle's.
TKqSpeedButtonColors::TKqSpeedButtonColors()
{
    const TKqButtonColors button;
#define TARVIX_SKIN_FROM_BUTTON(Name) F##Name = button.Name();
    TARVIX_SKIN_SPEEDBUTTON_COLORS(TARVIX_SKIN_FROM_BUTTON)
#undef TARVIX_SKIN_FROM_BUTTON
}

TKqStatusBarColors::TKqStatusBarColors()
{
    FBorder = 11504744;  // $00AF8C68
    FDivider = 15326163; // $00E9DBD3
    FFace = 16645369;    // $00FDFCF9
    FText = clWindowText;
}

TKqTabButtonColors::TKqTabButtonColors()
{
    FBorder = 11632444;       // $00B17F3C
    FFace = 13619151;         // $00CFCFCF
    FFaceDisable = 15790320;  // $00F0F0F0
    FFaceOn = 16243884;       // $00F7DCAC
    FFaceSelect = 15790320;   // $00F0F0F0
    FLight = 16579836;        // $00FCFCFC
    FLightDisable = 15790320; // $00F0F0F0
    FLightOn = 16643558;      // $00FDF5E6
    FLightSelect = 15790320;  // $00F0F0F0
    FText = 2496538;          // $0026181A
    FTextDisable = 8618883;   // $00838383
    FTextOn = 0;
    FTextSelect = 0;
}

TKqToolBarColors::TKqToolBarColors()
{
    FBorder = 11632444;  // $00B17F3C
    FDivider = 13084562; // $00C7A792
    FFace = 15592420;    // $00EDEBE4
}

// The sub-objects by the names a form description uses for them.
// clang-format off
#define TARVIX_SKIN_SUB_OBJECTS(X) \
    X(ArrowBtn) X(Button) X(Check) X(Edit) X(Form) X(Group) X(Header) X(Labels) X(MainMenu) X(MenuItem) \
    X(PageControl) X(ProgressBar) X(RadioButton) X(SpeedButton) X(StatusBar) X(TabButton) X(ToolBar)
// clang-format on

namespace {

TKqSkinColors*& currentSet()
{
    static TKqSkinColors* current = nullptr;
    return current;
}

TKqSkinColors& defaultSet()
{
    static TKqSkinColors defaults;
    return defaults;
}

// "Button.Face" -> ("Button", "Face"); a path without a dot gives an empty colour name.
std::pair<std::string_view, std::string_view> splitPath(std::string_view path)
{
    const auto dot = path.find('.');
    if (dot == std::string_view::npos)
        return {path, {}};
    return {path.substr(0, dot), path.substr(dot + 1)};
}

} // namespace

TKqSkinColors::TKqSkinColors() = default;

TKqSkinColors::~TKqSkinColors()
{
    if (currentSet() == this)
        currentSet() = nullptr;
}

void TKqSkinColors::Assign(const TKqSkinColors& Source)
{
#define TARVIX_SKIN_ASSIGN(Sub) F##Sub = Source.F##Sub;
    TARVIX_SKIN_SUB_OBJECTS(TARVIX_SKIN_ASSIGN)
#undef TARVIX_SKIN_ASSIGN
}

std::optional<TColor> TKqSkinColors::Color(std::string_view path) const
{
    const auto [sub, name] = splitPath(path);
#define TARVIX_SKIN_SUB_GET(Sub)                                                                                       \
    if (equalsIgnoringAsciiCase(sub, #Sub))                                                                            \
        return F##Sub.Color(name);
    TARVIX_SKIN_SUB_OBJECTS(TARVIX_SKIN_SUB_GET)
#undef TARVIX_SKIN_SUB_GET
    return std::nullopt;
}

bool TKqSkinColors::SetColor(std::string_view path, TColor value)
{
    const auto [sub, name] = splitPath(path);
#define TARVIX_SKIN_SUB_SET(Sub)                                                                                       \
    if (equalsIgnoringAsciiCase(sub, #Sub))                                                                            \
        return F##Sub.SetColor(name, value);
    TARVIX_SKIN_SUB_OBJECTS(TARVIX_SKIN_SUB_SET)
#undef TARVIX_SKIN_SUB_SET
    return false;
}

TKqSkinColors& CurrentSkinColors()
{
    TKqSkinColors* current = currentSet();
    return current != nullptr ? *current : defaultSet();
}

void SetCurrentSkinColors(TKqSkinColors* Colors)
{
    currentSet() = Colors;
}

} // namespace tarvix
