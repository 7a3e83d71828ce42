#include "components/kq_gauge.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QPaintEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "components/kq_color_qt.h"
#include "tests/support/modal_dialog_helper.h"
#include "tests/support/paint_counter.h"

namespace tarvix {
namespace {

// Fixed colours for the system colours the gauge uses, so that pixels can be checked.
const QColor kFace(212, 208, 200);      // clBtnFace (Button)
const QColor kShadow(128, 128, 128);    // clBtnShadow (Mid)
const QColor kHighlight(255, 255, 250); // clBtnHighlight (Light)
const QColor kFrame(10, 10, 10);        // clWindowFrame (Shadow)
const QColor kNavy(0, 0, 128);          // the default BoxColor
const QColor kGreen(0, 159, 0);

QPalette TestPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Button, kFace);
    pal.setColor(QPalette::Mid, kShadow);
    pal.setColor(QPalette::Light, kHighlight);
    pal.setColor(QPalette::Shadow, kFrame);
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    return pal;
}

QFont TestFont()
{
    return test::testFont(10);
}

struct GaugeFixture : ::testing::Test {
    GaugeFixture()
    {
        gauge.setPalette(TestPalette());
        gauge.setFont(TestFont());
    }
    QImage Render() { return gauge.grab().toImage(); }
    QApplication& app = test::qtApplication();
    TKqGauge gauge;
};

QColor Pixel(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// The columns of row `y` from `from` up to (not including) `to` that have colour `c`.
int CountInRow(const QImage& image, int y, int from, int to, const QColor& c)
{
    int n = 0;
    for (int x = from; x < to; ++x)
        if (image.pixelColor(x, y) == c)
            ++n;
    return n;
}

TEST_F(GaugeFixture, Defaults)
{
    EXPECT_TRUE(gauge.AutoSize());
    EXPECT_EQ(gauge.BevelStyle(), TKqGauge::bvLowered);
    EXPECT_EQ(gauge.BorderStyle(), TKqGauge::bsNone);
    EXPECT_EQ(gauge.BoxColor(), 8388608);
    EXPECT_EQ(gauge.BoxNumber(), 20);
    EXPECT_EQ(gauge.BoxSpace(), 1);
    EXPECT_EQ(gauge.GaugeStyle(), TKqGauge::gsBoxes);
    EXPECT_TRUE(gauge.Image().isNull());
    EXPECT_EQ(gauge.Margin(), 1);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.Progress(), 20);
    EXPECT_FALSE(gauge.ShowPercent());
    EXPECT_EQ(gauge.Color(), clBtnFace);
    EXPECT_EQ(gauge.FontColor(), 16777215);
    EXPECT_EQ(gauge.size(), QSize(200, 18));
    EXPECT_FALSE(gauge.CustomStyle());
}

TEST_F(GaugeFixture, SettersKeepTheirRanges)
{
    struct Case {
        std::string what;
        std::function<void(TKqGauge&)> set;
        std::function<int(const TKqGauge&)> get;
        int expected;
    };
    const std::vector<Case> cases = {
        {"BoxNumber 1", [](TKqGauge& g) { g.SetBoxNumber(1); }, &TKqGauge::BoxNumber, 20},
        {"BoxNumber 101", [](TKqGauge& g) { g.SetBoxNumber(101); }, &TKqGauge::BoxNumber, 20},
        {"BoxNumber 100", [](TKqGauge& g) { g.SetBoxNumber(100); }, &TKqGauge::BoxNumber, 100},
        {"BoxSpace 0", [](TKqGauge& g) { g.SetBoxSpace(0); }, &TKqGauge::BoxSpace, 1},
        {"BoxSpace 11", [](TKqGauge& g) { g.SetBoxSpace(11); }, &TKqGauge::BoxSpace, 1},
        {"BoxSpace 10", [](TKqGauge& g) { g.SetBoxSpace(10); }, &TKqGauge::BoxSpace, 10},
        {"Margin 10", [](TKqGauge& g) { g.SetMargin(10); }, &TKqGauge::Margin, 1},
        {"Margin -1", [](TKqGauge& g) { g.SetMargin(-1); }, &TKqGauge::Margin, 1},
        {"Margin 0", [](TKqGauge& g) { g.SetMargin(0); }, &TKqGauge::Margin, 0},
        {"MinValue 100 with MaxValue 100", [](TKqGauge& g) { g.SetMinValue(100); }, &TKqGauge::MinValue, 0},
        {"MinValue 99", [](TKqGauge& g) { g.SetMinValue(99); }, &TKqGauge::MinValue, 99},
        {"MaxValue 0 with MinValue 0", [](TKqGauge& g) { g.SetMaxValue(0); }, &TKqGauge::MaxValue, 100},
        {"MaxValue 1", [](TKqGauge& g) { g.SetMaxValue(1); }, &TKqGauge::MaxValue, 1},
        {"Progress 150", [](TKqGauge& g) { g.SetProgress(150); }, &TKqGauge::Progress, 100},
        {"Progress -5", [](TKqGauge& g) { g.SetProgress(-5); }, &TKqGauge::Progress, 0},
        {"Add 30", [](TKqGauge& g) { g.Add(30); }, &TKqGauge::Progress, 50},
        {"Add past the maximum", [](TKqGauge& g) { g.Add(INT32_MAX); }, &TKqGauge::Progress, 100},
        {"Initialize(200, 300): minimum", [](TKqGauge& g) { g.Initialize(200, 300); }, &TKqGauge::MinValue, 0},
        {"Initialize(200, 300): maximum", [](TKqGauge& g) { g.Initialize(200, 300); }, &TKqGauge::MaxValue, 300},
        {"Initialize(200, 300): progress", [](TKqGauge& g) { g.Initialize(200, 300); }, &TKqGauge::Progress, 0},
        {"Initialize(0, 50)", [](TKqGauge& g) { g.Initialize(0, 50); }, &TKqGauge::MaxValue, 50},
        {"Initialize(10, 50): progress", [](TKqGauge& g) { g.Initialize(10, 50); }, &TKqGauge::Progress, 10},
        {"MaxValue below Progress",
         [](TKqGauge& g) {
             g.SetProgress(80);
             g.SetMaxValue(50);
         },
         &TKqGauge::Progress, 80},
        {"MinValue above Progress", [](TKqGauge& g) { g.SetMinValue(30); }, &TKqGauge::Progress, 20},
        {"GaugeStyle out of range", [](TKqGauge& g) { g.SetGaugeStyle(static_cast<TKqGaugeStyle>(7)); },
         [](const TKqGauge& g) { return static_cast<int>(g.GaugeStyle()); }, TKqGauge::gsBoxes},
    };
    for (const Case& c : cases) {
        TKqGauge g;
        c.set(g);
        EXPECT_EQ(c.get(g), c.expected) << c.what;
    }
}

TEST_F(GaugeFixture, PropertiesTakeFormValues)
{
    // A form sets enums by number or by name and colours as numbers.
    EXPECT_TRUE(gauge.setProperty("GaugeStyle", 1));
    EXPECT_EQ(gauge.GaugeStyle(), TKqGauge::gsBar);
    EXPECT_TRUE(gauge.setProperty("BorderStyle", "bsSingle"));
    EXPECT_EQ(gauge.BorderStyle(), TKqGauge::bsSingle);
    EXPECT_TRUE(gauge.setProperty("BevelStyle", QVariant::fromValue(TKqGauge::bvNone)));
    EXPECT_EQ(gauge.BevelStyle(), TKqGauge::bvNone);
    EXPECT_TRUE(gauge.setProperty("BoxColor", 40704));
    EXPECT_EQ(gauge.BoxColor(), RGBColor(0, 159, 0));
}

TEST_F(GaugeFixture, BoxWidthAndAutomaticSizing)
{
    gauge.SetAutoSize(false);
    gauge.show(); // a hidden widget gets its resize events only when it is shown
    gauge.resize(200, 18);
    EXPECT_EQ(gauge.FrameInset(), 2);
    EXPECT_EQ(gauge.BoxWidth(), 9);
    gauge.SetAutoSize(true);
    EXPECT_EQ(gauge.width(), 9 * 20 + 4 + 19);
    EXPECT_EQ(gauge.height(), 18);

    // Every resize snaps the width to the boxes again: 300 gives boxes of 14 (277 / 20 rounded up).
    gauge.resize(300, 25);
    EXPECT_EQ(gauge.size(), QSize(14 * 20 + 4 + 19, 25));

    // The inset grows with the border and the margin; the width follows.
    gauge.SetBorderStyle(TKqGauge::bsSingle);
    gauge.SetMargin(3);
    EXPECT_EQ(gauge.FrameInset(), 5);
    EXPECT_EQ(gauge.width(), gauge.BoxWidth() * 20 + 10 + 19);

    // The bar style keeps whatever width it is given.
    gauge.SetGaugeStyle(TKqGauge::gsBar);
    gauge.resize(250, 18);
    EXPECT_EQ(gauge.width(), 250);
}

TEST_F(GaugeFixture, BoxNumberWithoutAutoSizeFollowsThePresentWidth)
{
    struct Case {
        int width;
        int number;
        int expected;
    };
    const Case cases[] = {
        {200, 30, 28},              // boxes of 6 for 30: 196 / 7 = 28
        {200, 10, 10},              // boxes of 19: 196 / 20 = 9.8, rounded up
        {203, 20, 20}, {10, 50, 3}, // too narrow for 50: boxes of one pixel, 6 / 2
        {4, 50, 2},                 // no room at all: still 2
        {2000, 3, 3},
    };
    for (const Case& c : cases) {
        TKqGauge g;
        g.SetAutoSize(false);
        g.resize(c.width, 18);
        g.SetBoxNumber(c.number);
        EXPECT_EQ(g.BoxNumber(), c.expected) << c.width << " " << c.number;
        EXPECT_EQ(g.width(), c.width);
    }
}

TEST_F(GaugeFixture, BoxesAreDrawnFromTheLeftWithTheirSpaces)
{
    gauge.show(); // sizes itself to 203
    ASSERT_EQ(gauge.width(), 203);
    struct Case {
        int max;
        int progress;
        int boxes;
    };
    // round(fraction * 20), halves to even: 2.5 boxes give 2, 3.5 give 4.
    const Case cases[] = {{100, 0, 0},  {100, 20, 4},   {100, 12, 2}, {100, 13, 3}, {100, 17, 3},
                          {100, 18, 4}, {100, 100, 20}, {40, 5, 2},   {40, 15, 8}};
    for (const Case& c : cases) {
        gauge.Initialize(0, c.max);
        gauge.SetProgress(c.progress);
        const QImage image = Render();
        const int y = 9;
        for (int box = 0; box < 20; ++box) {
            const int x = 2 + box * 10;
            const QColor expected = box < c.boxes ? kNavy : kFace;
            EXPECT_EQ(Pixel(image, x, y), expected) << c.progress << " box " << box;
            EXPECT_EQ(Pixel(image, x + 8, y), expected) << c.progress << " box " << box;
            if (box < 19) {
                EXPECT_EQ(Pixel(image, x + 9, y), kFace) << c.progress << " space after box " << box;
            }
        }
    }
}

TEST_F(GaugeFixture, BoxesWiderThan255PixelsAreDrawnWhole)
{
    gauge.SetAutoSize(false);
    gauge.resize(3000, 18);
    gauge.SetBoxNumber(2);
    ASSERT_EQ(gauge.BoxNumber(), 2);
    EXPECT_EQ(gauge.BoxWidth(), 1498);
    gauge.SetProgress(50); // one box
    const QImage image = Render();
    EXPECT_EQ(CountInRow(image, 9, 0, 3000, kNavy), 1498);
    EXPECT_EQ(Pixel(image, 2 + 1497, 9), kNavy);
    EXPECT_EQ(Pixel(image, 2 + 1498, 9), kFace);
}

TEST_F(GaugeFixture, TheBarFillsItsShareOfTheBarArea)
{
    gauge.SetGaugeStyle(TKqGauge::gsBar);
    gauge.SetBorderStyle(TKqGauge::bsSingle);
    gauge.SetBevelStyle(TKqGauge::bvNone);
    gauge.resize(570, 19);
    ASSERT_EQ(gauge.FrameInset(), 2);
    struct Case {
        int min, max, progress;
        int filled;
    };
    const Case cases[] = {
        {0, 100, 50, 283}, {10, 20, 15, 283}, {0, 100, 0, 0}, {0, 100, 100, 566}, {0, 3, 1, 189}, // 566 / 3 = 188.67
        {0, 4, 1, 142}, // 141.5 rounds to even
        {0, 4, 3, 424}, // 424.5 rounds to even
    };
    for (const Case& c : cases) {
        gauge.Initialize(c.min, c.max);
        gauge.SetMinValue(c.min);
        gauge.SetProgress(c.progress);
        const QImage image = Render();
        EXPECT_EQ(CountInRow(image, 9, 0, 570, kNavy), c.filled) << c.min << ".." << c.max << " at " << c.progress;
        if (c.filled > 0) {
            EXPECT_EQ(Pixel(image, 2, 9), kNavy);
        }
        EXPECT_EQ(Pixel(image, 1, 9), kFace) << "margin";
        EXPECT_EQ(Pixel(image, 0, 9), kFrame) << "border";
    }

    // A maximum lowered below the progress: the bar fills the whole area and stops there.
    gauge.Initialize(0, 100);
    gauge.SetProgress(80);
    gauge.SetMaxValue(40);
    const QImage image = Render();
    EXPECT_EQ(CountInRow(image, 9, 0, 570, kNavy), 566);
    EXPECT_EQ(Pixel(image, 568, 9), kFace);
}

TEST_F(GaugeFixture, FrameAndBevelPixels)
{
    gauge.SetGaugeStyle(TKqGauge::gsBar);
    gauge.SetProgress(0);
    gauge.resize(40, 12);
    struct Case {
        TKqGauge::TBorderStyle border;
        TKqGauge::TKqGaugeBevel bevel;
        QColor topLeft, bottomRight; // of the bevel
    };
    const Case cases[] = {
        {TKqGauge::bsSingle, TKqGauge::bvLowered, kShadow, kHighlight},
        {TKqGauge::bsSingle, TKqGauge::bvRaised, kHighlight, kShadow},
        {TKqGauge::bsNone, TKqGauge::bvLowered, kShadow, kHighlight},
    };
    for (const Case& c : cases) {
        gauge.SetBorderStyle(c.border);
        gauge.SetBevelStyle(c.bevel);
        const QImage image = Render();
        const int o = c.border == TKqGauge::bsSingle ? 1 : 0; // the bevel's ring
        if (o == 1) {
            for (const QPoint pt : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 11), QPoint(39, 11), QPoint(20, 0),
                                    QPoint(0, 6), QPoint(39, 6), QPoint(20, 11)})
                EXPECT_EQ(Pixel(image, pt.x(), pt.y()), kFrame) << pt.x() << "," << pt.y();
        }
        const int l = o, t = o, r = 39 - o, b = 11 - o;
        EXPECT_EQ(Pixel(image, l, t), c.topLeft);
        EXPECT_EQ(Pixel(image, 20, t), c.topLeft);
        EXPECT_EQ(Pixel(image, l, 6), c.topLeft);
        EXPECT_EQ(Pixel(image, r, 6), c.bottomRight);
        EXPECT_EQ(Pixel(image, 20, b), c.bottomRight);
        EXPECT_EQ(Pixel(image, r, b), c.bottomRight);
        // The corners where the two colours meet belong to the bottom-right side.
        EXPECT_EQ(Pixel(image, r, t), c.bottomRight);
        EXPECT_EQ(Pixel(image, l, b), c.bottomRight);
        // Then the margin, then the (empty) bar area.
        EXPECT_EQ(Pixel(image, l + 1, 6), kFace);
        EXPECT_EQ(gauge.FrameInset(), o + 2);
    }
}

// The bar area as the gauge should compose it: background, a bar of `filled` pixels, the text centred.
QImage ExpectedBar(const QSize& size, int filled, const QString& text)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kFace);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, filled, size.height()), kGreen);
    p.setFont(TestFont());
    const QFontMetrics metrics = p.fontMetrics();
    const int x = (size.width() - metrics.horizontalAdvance(text)) / 2;
    const int y = (size.height() - metrics.height()) / 2;
    p.setPen(Qt::white);
    p.drawText(QPoint(x, y + metrics.ascent()), text);
    return image;
}

TEST_F(GaugeFixture, PercentageText)
{
    gauge.SetGaugeStyle(TKqGauge::gsBar);
    gauge.SetBoxColor(RGBColor(0, 159, 0));
    gauge.SetShowPercent(true);
    gauge.resize(120, 19);
    struct Case {
        int min, max, progress, lowerMaxTo;
        QString text;
        int filled;
    };
    const Case cases[] = {
        {0, 3, 1, 0, "33%", 39},       {0, 3, 2, 0, "67%", 77},
        {0, 8, 1, 0, "12%", 14}, // 12.5 % and 14.5 pixels round to even
        {0, 8, 3, 0, "38%", 44}, // 37.5 % and 43.5 pixels too
        {0, 100, 60, 40, "150%", 116},
    };
    for (const Case& c : cases) {
        gauge.Initialize(c.min, c.max);
        gauge.SetProgress(c.progress);
        if (c.lowerMaxTo != 0)
            gauge.SetMaxValue(c.lowerMaxTo);
        const QImage bar = Render().copy(gauge.BarArea()).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(bar, ExpectedBar(gauge.BarArea().size(), c.filled, c.text)) << c.text.toStdString();
    }
}

TEST_F(GaugeFixture, ThePictureGrowsWithTheProgress)
{
    QPixmap picture(40, 8);
    {
        QPainter p(&picture);
        p.fillRect(0, 0, 20, 8, Qt::red);
        p.fillRect(20, 0, 20, 8, Qt::blue);
    }
    gauge.SetGaugeStyle(TKqGauge::gsImage);
    gauge.SetImage(picture);
    picture.fill(Qt::black); // the gauge keeps its own copy
    // Sized to the picture plus the frame inset (bevel and margin) on every side.
    EXPECT_EQ(gauge.size(), QSize(44, 12));

    gauge.SetProgress(50);
    QImage image = Render();
    EXPECT_EQ(CountInRow(image, 6, 0, 44, Qt::red), 20);
    EXPECT_EQ(CountInRow(image, 6, 0, 44, Qt::blue), 0);

    // Without automatic sizing the shown part is stretched over its share of the bar area.
    gauge.SetAutoSize(false);
    gauge.resize(84, 12); // a bar area of 80
    gauge.SetProgress(75);
    image = Render();
    EXPECT_EQ(CountInRow(image, 6, 0, 84, Qt::red), 40);
    EXPECT_EQ(CountInRow(image, 6, 0, 84, Qt::blue), 20);
    EXPECT_EQ(Pixel(image, 2 + 60, 6), kFace);
}

using test::PaintCounter;

TEST_F(GaugeFixture, ProgressRedrawsTheBarAreaAtOnce)
{
    QWidget window;
    window.resize(300, 100);
    auto& onWindow = *new TKqGauge(&window);
    onWindow.SetGaugeStyle(TKqGauge::gsBar);
    window.show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    onWindow.installEventFilter(&counter);

    onWindow.SetProgress(60);
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(counter.last, onWindow.BarArea());
    onWindow.SetProgress(60);
    onWindow.SetProgress(500); // clamped to 100
    onWindow.SetProgress(100);
    EXPECT_EQ(counter.paints, 2);

    // Other setters only request a paint; Add and Initialize carry it out.
    onWindow.SetBoxColor(clRed);
    EXPECT_EQ(counter.paints, 2);
    onWindow.Add(0);
    EXPECT_EQ(counter.paints, 3);
    EXPECT_EQ(counter.last, onWindow.rect());
    onWindow.Add(0); // nothing pending any more
    EXPECT_EQ(counter.paints, 3);
    // The synchronous paint of the progress change takes the pending full paint with it.
    onWindow.SetShowPercent(true);
    onWindow.Initialize(0, 100);
    EXPECT_EQ(counter.paints, 4);
    EXPECT_EQ(counter.last, onWindow.rect());
}

TEST_F(GaugeFixture, UnderAStyleSheetTheStyleColoursAndOneRectangleFrameTheGauge)
{
    QWidget window;
    window.setStyleSheet("tarvix--TKqGauge { background-color: rgb(10, 20, 30); "
                         "selection-background-color: rgb(200, 0, 0); }");
    auto& onWindow = *new TKqGauge(&window);
    const auto Render = [&onWindow] { return onWindow.grab().toImage(); };
    onWindow.SetGaugeStyle(TKqGauge::gsBar);
    onWindow.SetBorderStyle(TKqGauge::bsSingle);
    onWindow.resize(60, 12);
    window.show();
    ASSERT_TRUE(onWindow.CustomStyle());

    // With a bevel: one rectangle, whatever the border, and an inset of 1 + Margin.
    EXPECT_EQ(onWindow.FrameInset(), 2);
    onWindow.SetProgress(50);
    QImage image = Render();
    // (The palette's derived colours carry more than 8 bits a channel; the screen does not.)
    const QColor border = QColor(onWindow.palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(Pixel(image, 0, 0), border);
    EXPECT_EQ(Pixel(image, 59, 11), border);
    EXPECT_EQ(Pixel(image, 1, 6), QColor(10, 20, 30));
    EXPECT_EQ(CountInRow(image, 6, 0, 60, QColor(200, 0, 0)), 28);

    // Without a bevel the border is the ordinary one, the colours stay the style's.
    onWindow.SetBevelStyle(TKqGauge::bvNone);
    EXPECT_EQ(onWindow.FrameInset(), 2);
    image = Render();
    EXPECT_EQ(Pixel(image, 0, 0), QColor(onWindow.palette().color(QPalette::Shadow).rgb()));
    EXPECT_EQ(CountInRow(image, 6, 0, 60, QColor(200, 0, 0)), 28);
    window.setStyleSheet(QString());
    EXPECT_FALSE(onWindow.CustomStyle());
}

TEST_F(GaugeFixture, ParentColorTakesTheParentsBackground)
{
    QWidget window;
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(245, 245, 245));
    window.setPalette(pal);
    auto* g = new TKqGauge(&window);
    g->SetGaugeStyle(TKqGauge::gsBar);
    g->SetProgress(0);
    g->SetParentColor(true);
    EXPECT_EQ(g->grab().toImage().pixelColor(5, 9), QColor(245, 245, 245));
    g->SetColor(clWhite);
    EXPECT_FALSE(g->ParentColor());
    EXPECT_EQ(g->grab().toImage().pixelColor(5, 9), QColor(255, 255, 255));
}

} // namespace
} // namespace tarvix
