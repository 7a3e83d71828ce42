#include "components/kq_skin_colors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarvix {
namespace {

struct ColorCase {
    std::string path;
    TColor expected;
};

// At least the first and the last colour of every set, and the system colours where a set has them.
const std::vector<ColorCase> kDefaults = {
    {"ArrowBtn.Border", 15186341},
    {"ArrowBtn.FaceOn", 16243884},
    {"ArrowBtn.MarkDisable", 12500670},
    {"Button.Border", 11632444},
    {"Button.DefaultBorder", 15836033},
    {"Button.FocusRect", 6316128},
    {"Button.Light", 16579836},
    {"Button.Text", 2496538},
    {"Button.TextPress", 0},
    {"Check.Border", 9408398},
    {"Check.FacePress", 16234078},
    {"Check.Mark", 9722951},
    {"Check.TextPress", 0},
    {"Edit.Border", 11640717},
    {"Edit.BorderDisable", 12894136},
    {"Edit.Face", clWindow},
    {"Edit.Text", clWindowText},
    {"Form.Face", 15461355},
    {"Group.Border", 12171705},
    {"Group.BorderDisable", 12894136},
    {"Group.Text", 13593938},
    {"Group.TextDisable", 8618883},
    {"Header.Border", 11640717},
    {"Header.IndexMark", 16601},
    {"Header.TextSelect", 0},
    {"Labels.Text", clWindowText},
    {"MainMenu.BorderOn", 14922381},
    {"MainMenu.FacePress", 8288354},
    {"MainMenu.TextPress", 16777215},
    {"MenuItem.BorderOn", 7913444},
    {"MenuItem.IconLight", 15658729},
    {"MenuItem.TextOn", 0},
    {"PageControl.Border", 9800841},
    {"PageControl.Face", 15790320},
    {"ProgressBar.Border", 6842472},
    {"ProgressBar.Background", 16777215},
    {"ProgressBar.Bar", 764694},
    {"RadioButton.Back", 15921906},
    {"RadioButton.LightDisable", 15790320},
    {"RadioButton.MarkEye", 13074955},
    {"RadioButton.MarkEyeDisable", 11842740},
    {"RadioButton.SecBorderPress", 16168030},
    {"RadioButton.TextPress", 0},
    {"SpeedButton.Border", 11632444},
    {"SpeedButton.DefaultBorder", 15836033},
    {"SpeedButton.FacePress", 14201192},
    {"SpeedButton.TextPress", 0},
    {"StatusBar.Border", 11504744},
    {"StatusBar.Face", 16645369},
    {"StatusBar.Text", clWindowText},
    {"TabButton.Border", 11632444},
    {"TabButton.LightSelect", 15790320},
    {"TabButton.TextSelect", 0},
    {"ToolBar.Border", 11632444},
    {"ToolBar.Divider", 13084562},
    {"ToolBar.Face", 15592420},
};

TEST(KqSkinColors, DefaultsOfEverySet)
{
    const TKqSkinColors colors;
    for (const ColorCase& c : kDefaults)
        EXPECT_EQ(colors.Color(c.path), c.expected) << c.path;
}

TEST(KqSkinColors, GettersAndNamesReadTheSameFields)
{
    const TKqSkinColors colors;
    EXPECT_EQ(colors.Button().Face(), 13619151);
    EXPECT_EQ(colors.Button().FacePress(), 14201192);
    EXPECT_EQ(colors.Check().LightOn(), 16708832);
    EXPECT_EQ(colors.RadioButton().MarkDisable(), 10197915);
    EXPECT_EQ(colors.Header().Divider(), 13615283);
    EXPECT_EQ(colors.MenuItem().Line(), 8354147);
    EXPECT_EQ(colors.ArrowBtn().Light(), 16579836);
}

TEST(KqSkinColors, GroupColoursDifferFromTheirDeclaredDefaults)
{
    // A form description stores Border and Text of a fresh set: the constructor's values are not the declared
    // defaults.
    TKqGroupColors group;
    EXPECT_EQ(TKqGroupColors::BorderDeclaredDefault, 11447982);
    EXPECT_EQ(TKqGroupColors::TextDeclaredDefault, 13262398);
    EXPECT_TRUE(group.BorderStored());
    EXPECT_TRUE(group.TextStored());
    group.SetBorder(11447982);
    group.SetText(13262398);
    EXPECT_FALSE(group.BorderStored());
    EXPECT_FALSE(group.TextStored());
}

TEST(KqSkinColors, PathsMatchWithoutRegardToCase)
{
    TKqSkinColors colors;
    EXPECT_TRUE(colors.SetColor("button.FACEON", 13402624));
    EXPECT_EQ(colors.Button().FaceOn(), 13402624);
    EXPECT_EQ(colors.Color("BUTTON.faceon"), 13402624);
    colors.Group().SetText(clNone);
    EXPECT_EQ(colors.Color("Group.Text"), clNone);
}

TEST(KqSkinColors, UnknownPathsChangeNothing)
{
    TKqSkinColors colors;
    for (const char* path : {"Button", "Button.", ".Face", "Buttons.Face", "Button.Faces", "Form.Face.X", "",
                             "Labels.Face", "Group.Light", "SpeedButton.FocusRect"}) {
        EXPECT_FALSE(colors.Color(path).has_value()) << path;
        EXPECT_FALSE(colors.SetColor(path, 1)) << path;
    }
    const TKqSkinColors defaults;
    for (const ColorCase& c : kDefaults)
        EXPECT_EQ(colors.Color(c.path), defaults.Color(c.path)) << c.path;
}

TEST(KqSkinColors, AssignCopiesEverySet)
{
    TKqSkinColors source;
    // One changed colour in each set.
    const std::vector<ColorCase> changed = {
        {"ArrowBtn.Mark", 1},     {"Button.TextOn", 2},     {"Check.TextDisable", 3},  {"Edit.Face", 4},
        {"Form.Face", 5},         {"Group.Text", 6},        {"Header.LightSelect", 7}, {"Labels.Text", 8},
        {"MainMenu.Light", 9},    {"MenuItem.Icon", 10},    {"PageControl.Face", 11},  {"ProgressBar.Bar", 12},
        {"RadioButton.Mark", 13}, {"SpeedButton.Face", 14}, {"StatusBar.Divider", 15}, {"TabButton.FaceOn", 16},
        {"ToolBar.Face", 17},
    };
    for (const ColorCase& c : changed)
        ASSERT_TRUE(source.SetColor(c.path, c.expected)) << c.path;
    TKqSkinColors target;
    target.Assign(source);
    for (const ColorCase& c : changed)
        EXPECT_EQ(target.Color(c.path), c.expected) << c.path;
    EXPECT_EQ(target.Button().Face(), 13619151);
}

TEST(KqSkinColors, CurrentSetFallsBackToTheDefaults)
{
    SetCurrentSkinColors(nullptr);
    EXPECT_EQ(CurrentSkinColors().Button().Face(), 13619151);

    auto installer = std::make_unique<TKqSkinColors>();
    installer->Button().SetFace(14327845);
    SetCurrentSkinColors(installer.get());
    EXPECT_EQ(&CurrentSkinColors(), installer.get());
    EXPECT_EQ(CurrentSkinColors().Button().Face(), 14327845);

    // Another set destroyed leaves the current one alone; the current one destroyed gives back the defaults.
    {
        const TKqSkinColors other;
    }
    EXPECT_EQ(&CurrentSkinColors(), installer.get());
    installer.reset();
    EXPECT_EQ(CurrentSkinColors().Button().Face(), 13619151);
    EXPECT_EQ(CurrentSkinColors().Form().Face(), 15461355);
}

} // namespace
} // namespace tarvix
