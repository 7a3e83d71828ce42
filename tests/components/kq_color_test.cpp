#include "components/kq_color.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

TEST(KqColor, StringToColorAcceptsIdentifiersAndIntegers)
{
    struct Case {
        const char* text;
        std::optional<TColor> expected;
    };
    const Case cases[] = {
        {"clBlue", clBlue},
        {"CLWINDOWTEXT", clWindowText},
        {"255", clRed},
        {"$00FF0000", clBlue},
        {"0x0000FF00", clLime},
        {"$FF00000F", clBtnFace},
        {"-16777201", clBtnFace},
        {"16119285", RGBColor(245, 245, 245)},
        {"clNoSuchColour", std::nullopt},
        {"", std::nullopt},
        {"$", std::nullopt},
        {"12abc", std::nullopt},
        {"$100000000", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringToColor(c.text), c.expected) << c.text;
}

TEST(KqColor, ComponentsAndIdentifiers)
{
    const TColor green = RGBColor(0, 159, 0);
    EXPECT_EQ(green, 0x009F00);
    EXPECT_EQ(GetGValue(green), 159);
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_EQ(SystemColorIndex(clBtnFace), 15);
    EXPECT_FALSE(IsSystemColor(clNone));
    EXPECT_EQ(ColorToIdent(clNavy), "clNavy");
    EXPECT_EQ(ColorToIdent(0x123456), std::nullopt);
}

} // namespace
} // namespace tarvix
