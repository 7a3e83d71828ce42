#include "components/kq_panel.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QPaintEvent>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

#include "components/kq_color_qt.h"
#include "tests/support/modal_dialog_helper.h"
#include "tests/support/paint_counter.h"

namespace tarvix {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kBevel(0x75, 0x9D, 0xC3); // 12819829 = $00C39D75

// A panel of the given size on a parent window of a fixed colour (the panel's colour by ParentColor).
struct PanelFixture : ::testing::Test {
    PanelFixture()
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, kBlack);
        pal.setColor(QPalette::WindowText, kBlack);
        window.setPalette(pal);
        window.setFont(test::testFont(12));
        window.resize(700, 400);
        panel = new TKqPanel(&window);
    }
    QImage Render(int w, int h)
    {
        panel->resize(w, h);
        return panel->grab().toImage();
    }
    QApplication& app = test::qtApplication();
    QWidget window;
    TKqPanel* panel = nullptr;
};

// The bounding box of the pixels of `image` that differ from `background`.
QRect InkBox(const QImage& image, const QColor& background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(PanelFixture, Defaults)
{
    EXPECT_TRUE(panel->ParentColor());
    EXPECT_EQ(panel->BevelColor(), 12819829);
    EXPECT_EQ(panel->BevelWidth(), 1);
    EXPECT_EQ(panel->BorderWidth(), 1);
    EXPECT_EQ(panel->contentsMargins(), QMargins(1, 1, 1, 1));
    EXPECT_FALSE(panel->Spacer());
    EXPECT_EQ(panel->Alignment(), TKqPanel::taCenter);
    EXPECT_TRUE(panel->Gradient().Enabled());
    EXPECT_EQ(panel->Gradient().FadeColor(), clWhite);
    EXPECT_EQ(panel->Gradient().Direction(), TKqPanel::dgRadial);
    EXPECT_EQ(panel->Gradient().Owner(), panel);
    EXPECT_EQ(panel->EffectiveColor(), kBlack);
}

TEST_F(PanelFixture, FormPropertiesReachTheGradientOptions)
{
    EXPECT_TRUE(panel->setProperty("GradientEnabled", false));
    EXPECT_TRUE(panel->setProperty("GradientDirection", "dgButtonized"));
    EXPECT_TRUE(panel->setProperty("GradientFadeColor", 255));
    EXPECT_FALSE(panel->Gradient().Enabled());
    EXPECT_EQ(panel->Gradient().Direction(), TKqPanel::dgButtonized);
    EXPECT_EQ(panel->Gradient().FadeColor(), clRed);
    panel->Gradient().SetDirection(static_cast<TKqGradientDirection>(9));
    EXPECT_EQ(panel->Gradient().Direction(), TKqPanel::dgButtonized);
}

TEST_F(PanelFixture, GradientSteps)
{
    struct Case {
        QColor start, end;
        int step;
        QColor expected;
    };
    const Case cases[] = {
        {kWhite, kBlack, 0, kWhite},
        {kWhite, kBlack, 128, QColor(127, 127, 127)},
        {kWhite, kBlack, 255, kBlack},
        {kBlack, kWhite, 128, QColor(128, 128, 128)},
        // A falling channel truncates toward zero: 255 + (1 * -100) div 255 = 255.
        {QColor(255, 0, 10), QColor(155, 100, 10), 1, QColor(255, 0, 10)},
        {QColor(255, 0, 10), QColor(155, 100, 10), 200, QColor(255 - 78, 78, 10)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GradientStep(c.start, c.end, c.step), c.expected) << c.step;
}

TEST_F(PanelFixture, PlainFillAndFrame)
{
    panel->Gradient().SetEnabled(false);
    panel->SetColor(RGBColor(10, 200, 30));
    const QColor fill(10, 200, 30);
    for (const int bevelWidth : {0, 1, 3}) {
        panel->SetBevelWidth(bevelWidth);
        const QImage image = Render(40, 20);
        for (int ring = 0; ring < bevelWidth; ++ring) {
            EXPECT_EQ(image.pixelColor(ring, 10), kBevel) << bevelWidth;
            EXPECT_EQ(image.pixelColor(39 - ring, 10), kBevel) << bevelWidth;
            EXPECT_EQ(image.pixelColor(20, ring), kBevel) << bevelWidth;
            EXPECT_EQ(image.pixelColor(20, 19 - ring), kBevel) << bevelWidth;
            EXPECT_EQ(image.pixelColor(ring, ring), kBevel) << bevelWidth;
        }
        EXPECT_EQ(image.pixelColor(bevelWidth, bevelWidth), fill) << bevelWidth;
        EXPECT_EQ(image.pixelColor(39 - bevelWidth, 19 - bevelWidth), fill) << bevelWidth;
    }
    panel->SetBevelWidth(-2);
    EXPECT_EQ(panel->BevelWidth(), 3);

    // A spacer ignores the gradient.
    panel->Gradient().SetEnabled(true);
    panel->SetSpacer(true);
    const QImage image = Render(40, 20);
    EXPECT_EQ(InkBox(image, fill), QRect());
}

TEST_F(PanelFixture, HorizontalAndVerticalStripes)
{
    panel->Gradient().SetFadeColor(clWhite); // to the parent's black
    panel->Gradient().SetDirection(TKqPanel::dgHorizontal);
    // An interior of 255 columns: one stripe each.
    QImage image = Render(257, 10);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(image.pixelColor(1 + i, 5), QColor(255 - i, 255 - i, 255 - i)) << i;
    EXPECT_EQ(image.pixelColor(1 + 128, 5), QColor(127, 127, 127));

    // Narrower than 255: some stripes are empty. Column 0 gets step 2, the last column step 254.
    image = Render(102, 10);
    EXPECT_EQ(image.pixelColor(1, 5), QColor(253, 253, 253));
    EXPECT_EQ(image.pixelColor(100, 5), QColor(1, 1, 1));
    for (int x = 2; x <= 100; ++x)
        EXPECT_LE(image.pixelColor(x, 5).red(), image.pixelColor(x - 1, 5).red()) << x;
    // Stripe edges: stripe 5 is [5*100/255, 6*100/255) = [1, 2), stripe 7 starts the next column.
    EXPECT_EQ(image.pixelColor(1 + 1, 5), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(1 + 2, 5), QColor(248, 248, 248));

    panel->Gradient().SetDirection(TKqPanel::dgVertical);
    image = Render(10, 257);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(image.pixelColor(5, 1 + i), QColor(255 - i, 255 - i, 255 - i)) << i;
    // Rows are uniform.
    EXPECT_EQ(image.pixelColor(1, 100), image.pixelColor(8, 100));
}

TEST_F(PanelFixture, RadialBandsRunFromTopLeftToBottomRight)
{
    panel->Gradient().SetFadeColor(clWhite);
    ASSERT_EQ(panel->Gradient().Direction(), TKqPanel::dgRadial);
    panel->SetBevelWidth(0);
    // On a square of 256 the bands are two pixels wide along the anti-diagonals: band (x + y) div 2 (a pixel
    // whose centre lies on the line between two bands goes to the nearer one to the top left).
    QImage image = Render(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int band = (x + y) / 2;
            ASSERT_EQ(image.pixelColor(x, y), GradientStep(kWhite, kBlack, band)) << x << "," << y;
        }

    // The header strip's shape, inside a one-pixel frame: darker toward the bottom right along every row and
    // every column, from the fade colour in the corner to the panel's colour in the opposite one.
    panel->SetBevelWidth(1);
    image = Render(632, 77);
    EXPECT_EQ(image.pixelColor(0, 0), kBevel);
    // (Band 0 has no area at this size; the corner pixel falls in band 1.)
    EXPECT_GE(image.pixelColor(1, 1).red(), 253);
    EXPECT_LE(image.pixelColor(630, 75).red(), 2);
    for (int y = 1; y <= 75; ++y)
        for (int x = 2; x <= 630; ++x)
            ASSERT_LE(image.pixelColor(x, y).red(), image.pixelColor(x - 1, y).red()) << x << "," << y;
    for (int x = 1; x <= 630; x += 7)
        for (int y = 2; y <= 75; ++y)
            ASSERT_LE(image.pixelColor(x, y).red(), image.pixelColor(x, y - 1).red()) << x << "," << y;
}

TEST_F(PanelFixture, ButtonizedSplitsAtHalfTheHeight)
{
    panel->SetColor(RGBColor(55, 105, 155));
    panel->Gradient().SetFadeColor(clWhite);
    panel->Gradient().SetDirection(TKqPanel::dgButtonized);
    // Interior 20 x 11: an upper part of 6 rows from white toward M1 = white + 45 % of the way, truncated:
    // (165, 188, 210); a lower part of 5 rows from the panel's colour back toward M2 = (225, 233, 240).
    const QImage image = Render(22, 13);
    const QColor start = kWhite;
    const QColor m1(165, 188, 210);
    const QColor end(55, 105, 155);
    const QColor m2(225, 233, 240);
    // Upper rows: row r of 6 is stripe (r * 255 + 254) div 6 ... the last stripe that starts in it.
    EXPECT_EQ(image.pixelColor(5, 1), GradientStep(start, m1, 42));
    EXPECT_EQ(image.pixelColor(5, 6), GradientStep(start, m1, 254));
    EXPECT_EQ(image.pixelColor(5, 6), QColor(166, 189, 211));
    // The jump at the split: the lower part starts near the panel's colour.
    EXPECT_EQ(image.pixelColor(5, 7), GradientStep(end, m2, 50));
    EXPECT_EQ(image.pixelColor(5, 7), QColor(88, 130, 171));
    EXPECT_EQ(image.pixelColor(5, 11), GradientStep(end, m2, 254));
    // Six distinct upper rows, five lower ones.
    for (int y = 2; y <= 6; ++y)
        EXPECT_LT(image.pixelColor(5, y).red(), image.pixelColor(5, y - 1).red()) << y;
    for (int y = 8; y <= 11; ++y)
        EXPECT_GT(image.pixelColor(5, y).red(), image.pixelColor(5, y - 1).red()) << y;
}

TEST_F(PanelFixture, SpacerSideEffects)
{
    panel->SetBorderWidth(5);
    panel->SetCaption("Arquivo:");
    panel->SetSpacer(true);
    EXPECT_TRUE(panel->Spacer());
    EXPECT_EQ(panel->BorderWidth(), 5);
    EXPECT_TRUE(panel->Caption().isEmpty());
    EXPECT_EQ(panel->BevelWidth(), 0);

    panel->SetBevelWidth(4);
    panel->SetSpacer(true); // no change, no side effect
    EXPECT_EQ(panel->BevelWidth(), 4);

    panel->SetSpacer(false);
    EXPECT_EQ(panel->BevelWidth(), 1);
    EXPECT_EQ(panel->BorderWidth(), 0);
    EXPECT_EQ(panel->contentsMargins(), QMargins(0, 0, 0, 0));
}

TEST_F(PanelFixture, ChildrenSitInsideTheBorderAndMayCoverAWiderFrame)
{
    panel->SetBorderWidth(3);
    panel->SetBevelWidth(6);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* child = new QLabel("x", panel);
    layout->addWidget(child);
    panel->resize(100, 50);
    window.show();
    EXPECT_EQ(child->geometry(), QRect(3, 3, 94, 44));
}

TEST_F(PanelFixture, CaptionIsOneLineInsideBorderAndFrame)
{
    panel->Gradient().SetEnabled(false);
    panel->SetColor(clWhite);
    panel->SetFontColor(clBlack);
    panel->SetBorderWidth(10);
    panel->SetBevelWidth(0);
    panel->SetCaption("Arquivo");

    panel->SetAlignment(TKqPanel::taLeftJustify);
    QRect ink = InkBox(Render(200, 30), kWhite);
    EXPECT_GE(ink.left(), 10);
    EXPECT_LE(ink.left(), 12);

    panel->SetAlignment(TKqPanel::taRightJustify);
    ink = InkBox(Render(200, 30), kWhite);
    EXPECT_LE(ink.right(), 189);
    EXPECT_GE(ink.right(), 187);

    panel->SetAlignment(TKqPanel::taCenter);
    ink = InkBox(Render(200, 30), kWhite);
    EXPECT_NEAR(ink.center().x(), 100, 2);
    EXPECT_NEAR(ink.center().y(), 15, 3);

    // Too long for the room: cut with an ellipsis, never past the border.
    panel->SetAlignment(TKqPanel::taLeftJustify);
    panel->SetCaption("Um texto longo demais para caber no painel");
    ink = InkBox(Render(80, 30), kWhite);
    EXPECT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 10);
    EXPECT_LE(ink.right(), 69);

    // The ampersand marks an accelerator and is not drawn (the letter after it is underlined).
    panel->SetCaption("Arquivo");
    const QRect plain = InkBox(Render(200, 30), kWhite);
    panel->SetCaption("&Arquivo");
    const QRect marked = InkBox(Render(200, 30), kWhite);
    EXPECT_NEAR(marked.left(), plain.left(), 1);
    EXPECT_NEAR(marked.right(), plain.right(), 1);
}

using test::PaintCounter;

TEST_F(PanelFixture, MovesAndResizesRepaintTheWholePanel)
{
    panel->setGeometry(10, 10, 100, 40);
    window.show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    panel->installEventFilter(&counter);

    panel->move(30, 20);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(counter.last, panel->rect());

    counter.paints = 0;
    panel->resize(150, 60);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(counter.last, panel->rect());

    // Every gradient setting repaints.
    counter.paints = 0;
    panel->Gradient().SetDirection(TKqPanel::dgVertical);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
}

TEST_F(PanelFixture, TheGradientEndsInTheParentsColourAndSystemColoursResolve)
{
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 255));
    pal.setColor(QPalette::Button, QColor(200, 100, 0));
    window.setPalette(pal);
    panel->Gradient().SetDirection(TKqPanel::dgHorizontal);
    panel->Gradient().SetFadeColor(clBtnFace);
    const QImage image = Render(257, 10);
    EXPECT_EQ(image.pixelColor(1, 5), QColor(200, 100, 0));
    EXPECT_EQ(image.pixelColor(255, 5), GradientStep(QColor(200, 100, 0), QColor(0, 0, 255), 254));
}

} // namespace
} // namespace tarvix
