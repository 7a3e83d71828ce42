// The skin's colour set: one sub-object per kind of control, each holding only colours. The skin engine
// (components/kq_skin_plus.h) owns one set and makes it the current one when it is loaded or activated; every
// hook and painter reads its colours through CurrentSkinColors(), never through its own engine, so with several
// engines in one process the one loaded or activated last colours all hooked controls.
//
// Naming of the colours: Face is the main fill, Light the highlight end of a gradient, Border the outer line, Text
// the caption; a name ending in On is for the hot state (mouse over), in Press for the pushed state, in Disable
// for the disabled state, in Select for the selected state. In the radio-button set, Mark and MarkEye are the
// outer and inner colours of the dot and SecBorder the inner ring.
//
// Colours are TColor values (components/kq_color.h): system colours are resolved through the control's palette
// (components/kq_color_qt.h) before any comparison or gradient arithmetic. clNone means "no colour" only where
// the engine and the painters say so (Form.Face, Labels.Text, Edit.Face, Edit.Text, Group.Text).
//
// A form description addresses the colours as Colors.<Set>.<Colour> (Colors.Button.Face); Color() and SetColor()
// take the part after "Colors.".
#pragma once

#include <optional>
#include <string_view>

#include "components/kq_color.h"

namespace tarvix {

// The colour lists of the sub-objects, in declaration order. Each entry becomes a getter of the colour's name, a
// setter SetName and a field FName; the constructors set the values.
// clang-format off
#define TARVIX_SKIN_ARROWBTN_COLORS(X) \
    X(Border) X(BorderDisable) X(BorderOn) X(BorderPress) X(Face) X(FaceDisable) X(FaceOn) X(FacePress) X(Light) \
    X(LightOn) X(LightPress) X(Mark) X(MarkDisable)
#define TARVIX_SKIN_BUTTON_COLORS(X) \
    X(Border) X(BorderDisable) X(BorderOn) X(BorderPress) X(DefaultBorder) X(Face) X(FaceDisable) X(FaceOn) \
    X(FacePress) X(FocusRect) X(Light) X(LightOn) X(LightPress) X(Text) X(TextDisable) X(TextOn) X(TextPress)
#define TARVIX_SKIN_CHECK_COLORS(X) \
    X(Border) X(BorderDisable) X(BorderOn) X(BorderPress) X(Face) X(FaceDisable) X(FaceOn) X(FacePress) X(Light) \
    X(LightOn) X(LightPress) X(Mark) X(MarkDisable) X(Text) X(TextDisable) X(TextOn) X(TextPress)
#define TARVIX_SKIN_EDIT_COLORS(X) X(Border) X(BorderDisable) X(Face) X(Text)
#define TARVIX_SKIN_FORM_COLORS(X) X(Face)
#define TARVIX_SKIN_GROUP_COLORS(X) X(Border) X(BorderDisable) X(Text) X(TextDisable)
#define TARVIX_SKIN_HEADER_COLORS(X) \
    X(Border) X(Divider) X(Face) X(FacePress) X(FaceSelect) X(IndexMark) X(Light) X(LightPress) X(LightSelect) \
    X(Text) X(TextPress) X(TextSelect)
#define TARVIX_SKIN_LABEL_COLORS(X) X(Text)
#define TARVIX_SKIN_MAINMENU_COLORS(X) \
    X(BorderOn) X(BorderPress) X(Face) X(FaceOn) X(FacePress) X(Light) X(LightOn) X(LightPress) X(Text) \
    X(TextDisable) X(TextOn) X(TextPress)
#define TARVIX_SKIN_MENUITEM_COLORS(X) \
    X(BorderOn) X(Face) X(FaceOn) X(Light) X(LightOn) X(Icon) X(IconLight) X(Line) X(Mark) X(Text) \
    X(TextDisable) X(TextOn)
#define TARVIX_SKIN_PAGECONTROL_COLORS(X) X(Border) X(Face)
#define TARVIX_SKIN_PROGRESSBAR_COLORS(X) X(Border) X(Background) X(Bar)
#define TARVIX_SKIN_RADIOBUTTON_COLORS(X) \
    X(Back) X(BackDisable) X(BackOn) X(BackPress) X(Border) X(BorderDisable) X(BorderOn) X(BorderPress) X(Face) \
    X(FaceDisable) X(FaceOn) X(FacePress) X(Light) X(LightDisable) X(LightOn) X(LightPress) X(Mark) X(MarkEye) \
    X(MarkEyeDisable) X(MarkDisable) X(SecBorder) X(SecBorderDisable) X(SecBorderOn) X(SecBorderPress) X(Text) \
    X(TextDisable) X(TextOn) X(TextPress)
#define TARVIX_SKIN_SPEEDBUTTON_COLORS(X) \
    X(Border) X(BorderDisable) X(BorderOn) X(BorderPress) X(DefaultBorder) X(Face) X(FaceDisable) X(FaceOn) \
    X(FacePress) X(Light) X(LightOn) X(LightPress) X(Text) X(TextDisable) X(TextOn) X(TextPress)
#define TARVIX_SKIN_STATUSBAR_COLORS(X) X(Border) X(Divider) X(Face) X(Text)
#define TARVIX_SKIN_TABBUTTON_COLORS(X) \
    X(Border) X(Face) X(FaceDisable) X(FaceOn) X(FaceSelect) X(Light) X(LightDisable) X(LightOn) X(LightSelect) \
    X(Text) X(TextDisable) X(TextOn) X(TextSelect)
#define TARVIX_SKIN_TOOLBAR_COLORS(X) X(Border) X(Divider) X(Face)

#define TARVIX_SKIN_COLOR_ACCESSORS(Name) \
    TColor Name() const { return F##Name; } \
    void Set##Name(TColor value) { F##Name = value; }
#define TARVIX_SKIN_COLOR_FIELD(Name) TColor F##Name = clNone;

// A colour set: the accessors of its list, and Color / SetColor by name. Color gives the colour called `name`
// (without regard to case), nothing for an unknown name; SetColor returns false (and changes nothing) for one.
#define TARVIX_SKIN_COLOR_CLASS(Class, List) \
    class Class { \
    public: \
        Class(); \
        List(TARVIX_SKIN_COLOR_ACCESSORS) \
        std::optional<TColor> Color(std::string_view name) const; \
        bool SetColor(std::string_view name, TColor value); \
    \
    private: \
        List(TARVIX_SKIN_COLOR_FIELD) \
    };
// clang-format on

TARVIX_SKIN_COLOR_CLASS(TKqArrowBtnColors, TARVIX_SKIN_ARROWBTN_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqButtonColors, TARVIX_SKIN_BUTTON_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqCheckColors, TARVIX_SKIN_CHECK_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqEditColors, TARVIX_SKIN_EDIT_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqFormColors, TARVIX_SKIN_FORM_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqHeaderColors, TARVIX_SKIN_HEADER_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqLabelColors, TARVIX_SKIN_LABEL_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqMainMenuColors, TARVIX_SKIN_MAINMENU_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqMenuItemColors, TARVIX_SKIN_MENUITEM_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqPageControlColors, TARVIX_SKIN_PAGECONTROL_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqProgressBarColors, TARVIX_SKIN_PROGRESSBAR_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqRadioButtonColors, TARVIX_SKIN_RADIOBUTTON_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqSpeedButtonColors, TARVIX_SKIN_SPEEDBUTTON_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqStatusBarColors, TARVIX_SKIN_STATUSBAR_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqTabButtonColors, TARVIX_SKIN_TABBUTTON_COLORS)
TARVIX_SKIN_COLOR_CLASS(TKqToolBarColors, TARVIX_SKIN_TOOLBAR_COLORS)

// The group-box colours. Border and Text have declared defaults other than the values the constructor sets; the
// declared default decides whether a form description stores the colour, so a description normally stores both.
class TKqGroupColors {
public:
    static constexpr TColor BorderDeclaredDefault = 11447982; // $00AEAEAE
    static constexpr TColor TextDeclaredDefault = 13262398;   // $00CA5E3E

    TKqGroupColors();
    TARVIX_SKIN_GROUP_COLORS(TARVIX_SKIN_COLOR_ACCESSORS)
    std::optional<TColor> Color(std::string_view name) const;
    bool SetColor(std::string_view name, TColor value);

    // Whether a form description stores the colour: it differs from the declared default.
    bool BorderStored() const { return FBorder != BorderDeclaredDefault; }
    bool TextStored() const { return FText != TextDeclaredDefault; }

private:
    TARVIX_SKIN_GROUP_COLORS(TARVIX_SKIN_COLOR_FIELD)
};

#undef TARVIX_SKIN_COLOR_CLASS

// The whole colour set. It is not copied (the current set is known by its address); Assign copies the colours.
// Destroying the current set makes the built-in default set current again, so no painter reads a freed set.
class TKqSkinColors {
public:
    TKqSkinColors();
    ~TKqSkinColors();
    TKqSkinColors(const TKqSkinColors&) = delete;
    TKqSkinColors& operator=(const TKqSkinColors&) = delete;

    // Every colour of every sub-object becomes Source's.
    void Assign(const TKqSkinColors& Source);

    TKqArrowBtnColors& ArrowBtn() { return FArrowBtn; }
    const TKqArrowBtnColors& ArrowBtn() const { return FArrowBtn; }
    TKqButtonColors& Button() { return FButton; }
    const TKqButtonColors& Button() const { return FButton; }
    TKqCheckColors& Check() { return FCheck; }
    const TKqCheckColors& Check() const { return FCheck; }
    TKqEditColors& Edit() { return FEdit; }
    const TKqEditColors& Edit() const { return FEdit; }
    TKqFormColors& Form() { return FForm; }
    const TKqFormColors& Form() const { return FForm; }
    TKqGroupColors& Group() { return FGroup; }
    const TKqGroupColors& Group() const { return FGroup; }
    TKqHeaderColors& Header() { return FHeader; }
    const TKqHeaderColors& Header() const { return FHeader; }
    TKqLabelColors& Labels() { return FLabels; }
    const TKqLabelColors& Labels() const { return FLabels; }
    TKqMainMenuColors& MainMenu() { return FMainMenu; }
    const TKqMainMenuColors& MainMenu() const { return FMainMenu; }
    TKqMenuItemColors& MenuItem() { return FMenuItem; }
    const TKqMenuItemColors& MenuItem() const { return FMenuItem; }
    TKqPageControlColors& PageControl() { return FPageControl; }
    const TKqPageControlColors& PageControl() const { return FPageControl; }
    TKqProgressBarColors& ProgressBar() { return FProgressBar; }
    const TKqProgressBarColors& ProgressBar() const { return FProgressBar; }
    TKqRadioButtonColors& RadioButton() { return FRadioButton; }
    const TKqRadioButtonColors& RadioButton() const { return FRadioButton; }
    TKqSpeedButtonColors& SpeedButton() { return FSpeedButton; }
    const TKqSpeedButtonColors& SpeedButton() const { return FSpeedButton; }
    TKqStatusBarColors& StatusBar() { return FStatusBar; }
    const TKqStatusBarColors& StatusBar() const { return FStatusBar; }
    TKqTabButtonColors& TabButton() { return FTabButton; }
    const TKqTabButtonColors& TabButton() const { return FTabButton; }
    TKqToolBarColors& ToolBar() { return FToolBar; }
    const TKqToolBarColors& ToolBar() const { return FToolBar; }

    // A colour addressed as "<Set>.<Colour>" ("Button.Face"), without regard to case; nothing for an unknown
    // path.
    std::optional<TColor> Color(std::string_view path) const;
    // False (and nothing changed) for an unknown path.
    bool SetColor(std::string_view path, TColor value);

private:
    // Declared in the order the sub-objects are created.
    TKqArrowBtnColors FArrowBtn;
    TKqButtonColors FButton;
    TKqCheckColors FCheck;
    TKqEditColors FEdit;
    TKqFormColors FForm;
    TKqGroupColors FGroup;
    TKqHeaderColors FHeader;
    TKqLabelColors FLabels;
    TKqMainMenuColors FMainMenu;
    TKqMenuItemColors FMenuItem;
    TKqPageControlColors FPageControl;
    TKqProgressBarColors FProgressBar;
    TKqRadioButtonColors FRadioButton;
    TKqSpeedButtonColors FSpeedButton;
    TKqStatusBarColors FStatusBar;
    TKqTabButtonColors FTabButton;
    TKqToolBarColors FToolBar;
};

// The colour set that hooks and painters read: the one last made current, else a built-in set with the default
// colours (so painting never depends on an engine being present).
TKqSkinColors& CurrentSkinColors();
// nullptr makes the built-in default set current again.
void SetCurrentSkinColors(TKqSkinColors* Colors);

} // namespace tarvix
