// Font values to QFont and back.
#include "components/kq_font_qt.h"

#include "tests/support/modal_dialog_helper.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace tarvix {
namespace {

class FontQtTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApplication(); }
};

TEST_F(FontQtTest, EveryStyleCombinationSurvivesTheRoundTrip)
{
    for (TFontStyles style = 0; style <= fsAllStyles; ++style) {
        TKqFontValue font;
        font.Name = "DejaVu Sans";
        font.Size = 11;
        font.Style = style;
        const QFont q = ToQFont(font);
        EXPECT_EQ(q.bold(), (style & fsBold) != 0) << int(style);
        EXPECT_EQ(q.italic(), (style & fsItalic) != 0) << int(style);
        EXPECT_EQ(q.underline(), (style & fsUnderline) != 0) << int(style);
        EXPECT_EQ(q.strikeOut(), (style & fsStrikeOut) != 0) << int(style);
        EXPECT_EQ(FromQFont(q), font) << int(style);
    }
}

TEST_F(FontQtTest, FamilySizePitchColourAndCharset)
{
    TKqFontValue font;
    font.Name = "DejaVu Sans Mono";
    font.Size = 14;
    font.Pitch = fpFixed;
    const QFont q = ToQFont(font);
    EXPECT_EQ(q.family(), "DejaVu Sans Mono");
    EXPECT_EQ(q.pointSize(), 14);
    EXPECT_TRUE(q.fixedPitch());

    const TKqFontValue back = FromQFont(q, clRed, 204);
    EXPECT_EQ(back.Name, "DejaVu Sans Mono");
    EXPECT_EQ(back.Size, 14);
    EXPECT_EQ(back.Pitch, fpFixed);
    EXPECT_EQ(back.Color, clRed);
    EXPECT_EQ(back.Charset, 204);

    font.Pitch = fpVariable;
    EXPECT_FALSE(ToQFont(font).fixedPitch());
    EXPECT_EQ(FromQFont(ToQFont(font)).Pitch, fpDefault) << "QFont cannot ask for variable pitch";
}

TEST_F(FontQtTest, PixelSizedFontsAndSizelessValues)
{
    QFont pixels("DejaVu Sans");
    pixels.setPixelSize(16);
    EXPECT_EQ(FromQFont(pixels).Size, 12); // 16 px at 96 dpi

    TKqFontValue sizeless;
    sizeless.Size = 0;
    EXPECT_GT(ToQFont(sizeless).pointSize(), 0) << "a size of 0 keeps QFont's own size";
}

} // namespace
} // namespace tarvix
