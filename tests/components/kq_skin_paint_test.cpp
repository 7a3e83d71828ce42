#include "components/kq_skin_paint.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/kq_gauge.h"
#include "components/kq_skin_colors.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

using Painter = void (*)(const TKqPaintState&, QPainter&);

QColor rgbOf(TColor c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QColor grey(int v)
{
    return QColor(v, v, v);
}

// Paints over a widget the way a hook does: in the widget's paint event, the widget paints itself first, then
// the painter draws with a QPainter of its own, still inside the same paint.
class PaintOver : public QObject {
public:
    PaintOver(QWidget* widget, Painter painter) : widget_(widget), painter_(painter)
    {
        widget->installEventFilter(this);
    }
    TKqPaintState state; // the flags the painter gets; Control and Msg are filled in
    int paints = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != widget_ || event->type() != QEvent::Paint || inside_)
            return false;
        inside_ = true;
        static_cast<QObject*>(widget_)->event(event);
        inside_ = false;
        ++paints;
        TKqPaintState s = state;
        s.Control = widget_;
        s.Msg = smPaint;
        QPainter p(widget_);
        painter_(s, p);
        return true;
    }

private:
    QWidget* widget_;
    Painter painter_;
    bool inside_ = false;
};

// The installer's colours over the defaults.
void SetInstallerColors(TKqSkinColors& colors)
{
    TKqButtonColors& b = colors.Button();
    b.SetBorder(14327845);
    b.SetBorderOn(13402624);
    b.SetBorderPress(11632444);
    b.SetDefaultBorder(9134636);
    b.SetFace(14327845);
    b.SetFaceDisable(16577001);
    b.SetFaceOn(13402624);
    b.SetFacePress(11632444);
    b.SetLight(14327845);
    b.SetLightOn(13402624);
    b.SetLightPress(11632444);
    b.SetText(clWhite);
    b.SetTextDisable(clGray);
    b.SetTextOn(clWhite);
    b.SetTextPress(clWhite);
    colors.Form().SetFace(16119285);
    colors.Group().SetBorder(12171705);
    colors.Group().SetText(13593938);
}

const QColor kBack(240, 240, 240); // the controls' Window colour in these tests
const QColor kBase(255, 255, 250); // the edit-like controls' Base colour

struct SkinPaint : ::testing::Test {
    SkinPaint()
    {
        QPalette pal = QApplication::palette();
        pal.setColor(QPalette::Window, kBack);
        pal.setColor(QPalette::Base, kBase);
        pal.setColor(QPalette::WindowText, Qt::black);
        top.setPalette(pal);
        // Without antialiasing, text pixels have the exact pen colour.
        top.setFont(test::testFont(12, false));
        SetCurrentSkinColors(&colors);
    }
    ~SkinPaint() override { SetCurrentSkinColors(nullptr); }

    template <class W>
    W* Make(QSize size)
    {
        auto* w = new W(&top);
        w->setGeometry(QRect(QPoint(0, 0), size));
        return w;
    }
    static QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QApplication& app = test::qtApplication();
    TKqSkinColors colors;
    QWidget top;
};

int CountColor(const QImage& image, const QRect& area, const QColor& c)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == c)
                ++n;
    return n;
}

bool Near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QImage Blank(int w, int h, const QColor& c = Qt::white)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

// ---- FillGradient

TEST(FillGradient, VerticalAndHorizontalRunInStepsOf255)
{
    struct Case {
        int style;
        int extent;  // height for style 1, width for style 3
        int divisor; // pixels per step
    };
    for (const Case c : {Case{1, 255, 1}, Case{1, 510, 2}, Case{3, 255, 1}, Case{3, 510, 2}}) {
        const bool vertical = c.style == 1;
        // The area sits inside a larger image, so that paint beyond it shows.
        QImage image = vertical ? Blank(6, c.extent + 4, Qt::red) : Blank(c.extent + 4, 6, Qt::red);
        const QRect area = vertical ? QRect(1, 2, 4, c.extent) : QRect(2, 1, c.extent, 4);
        {
            QPainter p(&image);
            FillGradient(p, area, c.style, Qt::black, Qt::white);
        }
        for (int k = 0; k < c.extent; ++k) {
            const QColor got = vertical ? image.pixelColor(2, 2 + k) : image.pixelColor(2 + k, 2);
            ASSERT_EQ(got, grey(k / c.divisor)) << "style " << c.style << " extent " << c.extent << " at " << k;
        }
        // Nothing past the area's far edge, though the last step would reach beyond it.
        const QColor after = vertical ? image.pixelColor(2, 2 + c.extent) : image.pixelColor(2 + c.extent, 2);
        EXPECT_EQ(after, QColor(Qt::red)) << "style " << c.style << " extent " << c.extent;
        const QColor before = vertical ? image.pixelColor(2, 1) : image.pixelColor(1, 2);
        EXPECT_EQ(before, QColor(Qt::red));
    }
}

TEST(FillGradient, StepsAreSignedPerChannel)
{
    QImage image = Blank(1, 255);
    {
        QPainter p(&image);
        FillGradient(p, image.rect(), 1, QColor(200, 10, 100), QColor(10, 200, 100));
    }
    EXPECT_EQ(image.pixelColor(0, 0), QColor(200, 10, 100));
    // The last row is step 254: step 255's band would lie below the area.
    EXPECT_EQ(image.pixelColor(0, 254), QColor(11, 199, 100));
    // Step 100: 200 - 190 * 100 / 255 = 200 - 74 (toward zero), 10 + 74.
    EXPECT_EQ(image.pixelColor(0, 100), QColor(126, 84, 100));
}

TEST(FillGradient, GlassHasTwoHalves)
{
    // Light 252 to face 207: the upper 13 rows run from 252 toward 241 (a quarter of the way), the lower 12 from
    // 207 toward 228 (55 % of the way from 252).
    QImage image = Blank(3, 25);
    {
        QPainter p(&image);
        FillGradient(p, image.rect(), 4, grey(252), grey(207));
    }
    const std::vector<int> rows = {252, 251, 250, 249, 248, 247, 247, 246, 245, 244, 243, 242, 242,
                                   208, 210, 212, 213, 215, 217, 219, 220, 222, 224, 226, 227};
    for (int y = 0; y < 25; ++y)
        EXPECT_EQ(image.pixelColor(1, y), grey(rows[y])) << "row " << y;
}

TEST(FillGradient, DiagonalGoesFromTopLeftToBottomRight)
{
    QImage image = Blank(52, 42, Qt::red);
    const QRect area(1, 1, 50, 40);
    {
        QPainter p(&image);
        FillGradient(p, area, 2, Qt::black, Qt::white);
    }
    // The corners get the colour of the last step that reaches them, a few steps from either end.
    EXPECT_LE(image.pixelColor(1, 1).red(), 8);
    EXPECT_GE(image.pixelColor(50, 40).red(), 247);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(51, 41), QColor(Qt::red));
    // Darker toward the top-left along both edges and the diagonal; the anti-diagonal is one middle tone.
    for (int k = 1; k < 40; ++k) {
        EXPECT_LE(image.pixelColor(k, 1).red(), image.pixelColor(k + 1, 1).red()) << k;
        EXPECT_LE(image.pixelColor(1, k).red(), image.pixelColor(1, k + 1).red()) << k;
    }
    const int middle = image.pixelColor(50, 1).red();
    EXPECT_NEAR(middle, 128, 4);
    EXPECT_NEAR(image.pixelColor(1, 40).red(), middle, 4);
    EXPECT_NEAR(image.pixelColor(26, 21).red(), middle, 4);
}

TEST(FillGradient, OtherStylesAndEmptyAreasPaintNothing)
{
    struct Case {
        int style;
        QRect area;
    };
    for (const Case c : {Case{0, QRect(0, 0, 8, 8)}, Case{5, QRect(0, 0, 8, 8)}, Case{1, QRect(2, 2, 0, 5)},
                         Case{2, QRect(2, 2, 5, 0)}, Case{4, QRect(2, 2, -3, 5)}}) {
        QImage image = Blank(8, 8);
        {
            QPainter p(&image);
            FillGradient(p, c.area, c.style, Qt::black, Qt::black);
        }
        EXPECT_EQ(CountColor(image, image.rect(), Qt::white), 64) << "style " << c.style;
    }
}

// ---- Shared routines

TEST(DrawFocusDots, EveryOtherPixelOfTheFrame)
{
    // Odd and even sizes: the dots are the frame pixels at an even distance (x + y) from the top-left corner.
    for (const QSize size : {QSize(4, 4), QSize(5, 3), QSize(4, 3), QSize(5, 4), QSize(9, 7), QSize(2, 2)}) {
        QImage image = Blank(size.width() + 4, size.height() + 4);
        const QRect r(QPoint(2, 2), size);
        {
            QPainter p(&image);
            DrawFocusDots(p, r, Qt::black);
        }
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const bool onFrame =
                    r.contains(x, y) && (x == r.left() || x == r.right() || y == r.top() || y == r.bottom());
                const bool dot = onFrame && (x - r.left() + y - r.top()) % 2 == 0;
                ASSERT_EQ(image.pixelColor(x, y) == QColor(Qt::black), dot)
                    << size.width() << "x" << size.height() << " at " << x << "," << y;
            }
    }
}

TEST(DrawTick, ThreePixelsThickInThePen)
{
    QImage image = Blank(16, 16);
    {
        QPainter p(&image);
        QPen pen(Qt::black, 1);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        DrawTick(p, QRect(2, 1, 11, 11));
    }
    // The tick's lowest point is column 2 + 4, rows 1 + 6 .. 1 + 8; its left arm starts at column 2 + 2.
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(image.pixelColor(6, y) == QColor(Qt::black), y >= 7 && y <= 9) << y;
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(image.pixelColor(4, y) == QColor(Qt::black), y >= 5 && y <= 7) << y;
    // The right arm ends one column short of 2 + 9; nothing left of the left arm.
    EXPECT_EQ(CountColor(image, QRect(11, 0, 5, 16), Qt::black), 0);
    EXPECT_EQ(CountColor(image, QRect(0, 0, 4, 16), Qt::black), 0);
    EXPECT_EQ(image.pixelColor(10, 3), QColor(Qt::black));
}

TEST(GreyBitmap, AverageRaisedAndCapped)
{
    struct Case {
        QColor in;
        int amount;
        QColor out;
        int red; // what pure red (average 85) becomes with the same amount
    };
    const std::vector<Case> cases = {
        {QColor(30, 60, 90), 0, grey(60), 85},
        {QColor(30, 60, 91), 10, grey(70), 95},       // 181 / 3 = 60
        {QColor(240, 240, 240), 5, grey(245), 90},    // exactly 245 stays
        {QColor(240, 240, 240), 6, grey(246), 91},    // above 245
        {QColor(255, 255, 255), 0, grey(246), 85},    // above 245
        {QColor(200, 200, 200), 161, grey(246), 246}, // far above 245
        {QColor(3, 3, 3), -10, grey(0), 75},          // never below black
        {QColor(20, 40, 60, 100), 0, QColor(40, 40, 40, 100), 85},
    };
    for (const Case& c : cases) {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(c.in);
        image.setPixelColor(2, 1, Qt::red); // a run of equal pixels, then a different one
        GreyBitmap(image, c.amount);
        const std::string what = c.in.name(QColor::HexArgb).toStdString() + " " + std::to_string(c.amount);
        EXPECT_EQ(image.pixelColor(0, 0), c.out) << what;
        EXPECT_EQ(image.pixelColor(1, 1), c.out) << what;
        EXPECT_EQ(image.pixelColor(2, 1), grey(c.red)) << what;
    }
}

std::vector<int> GreyRow(const QImage& image, int y)
{
    std::vector<int> row;
    for (int x = 0; x < image.width(); ++x)
        row.push_back(image.pixelColor(x, y).red());
    return row;
}

TEST(SmoothBitmap, PullsDifferingNeighboursInPlaceWithWrapping)
{
    // A white pixel in the middle of black, Amount 8 (a pull of 50 / 58). Worked through in scan order, each
    // pixel from column 1 adjusting its four neighbours (wrapping at the edges) with results seen by later
    // pixels.
    QImage image = Blank(3, 3, Qt::black);
    image.setPixelColor(1, 1, Qt::white);
    SmoothBitmap(image, 8);
    EXPECT_EQ(GreyRow(image, 0), (std::vector<int>{0, 30, 5}));
    EXPECT_EQ(GreyRow(image, 1), (std::vector<int>{30, 171, 27}));
    EXPECT_EQ(GreyRow(image, 2), (std::vector<int>{5, 27, 8}));
}

TEST(SmoothBitmap, RoundsHalvesToEven)
{
    // Width 2: pixel (1, 0) pulls (0, 0) as its left and, wrapping, as its right neighbour. Amount 50 pulls half
    // way: 1 -> 0.5 -> 0, then equal; 5 -> 2.5 -> 2, then 2 -> 1 (rounding halves up would give 1 and 2).
    // 3 -> 1.5 -> 2, then 2 -> 1.
    struct Case {
        int left;
        int expected;
    };
    for (const Case c : {Case{3, 1}, Case{1, 0}, Case{5, 1}}) {
        QImage image = Blank(2, 1, Qt::black);
        image.setPixelColor(0, 0, grey(c.left));
        SmoothBitmap(image, 50);
        EXPECT_EQ(image.pixelColor(0, 0), grey(c.expected)) << c.left;
        EXPECT_EQ(image.pixelColor(1, 0), grey(0));
    }
}

TEST(SmoothBitmap, UniformAndDegenerateImagesStay)
{
    QImage uniform = Blank(5, 4, QColor(10, 20, 30));
    SmoothBitmap(uniform, 8);
    EXPECT_EQ(CountColor(uniform, uniform.rect(), QColor(10, 20, 30)), 20);
    QImage column = Blank(1, 3, Qt::black);
    column.setPixelColor(0, 1, Qt::white);
    SmoothBitmap(column, 8); // no column from 1 on
    EXPECT_EQ(column.pixelColor(0, 1), QColor(Qt::white));
    QImage pushing = Blank(3, 3, Qt::black);
    pushing.setPixelColor(1, 1, Qt::white);
    SmoothBitmap(pushing, -50);
    EXPECT_EQ(pushing.pixelColor(1, 0), QColor(Qt::black));
}

// ---- Radio glyph

const char* const kRadioMask[12] = {"000011110000", "001100001100", "010000000010", "010000000010",
                                    "100000000001", "100000000001", "100000000001", "100000000001",
                                    "010000000010", "010000000010", "001100001100", "000011110000"};

struct RadioSkin : SkinPaint {
    const TKqRadioButtonColors& rc = colors.RadioButton();
};

TEST_F(RadioSkin, GlyphOutlineFillAndDot)
{
    QImage image = Blank(16, 16, kBack);
    DrawRadioGlyph(image, image.rect(), true, true, false, false);
    // 12 x 12 centred in 16 x 16: from (2, 2).
    for (int row = 0; row < 12; ++row)
        for (int col = 0; col < 12; ++col)
            if (kRadioMask[row][col] == '1') {
                ASSERT_EQ(image.pixelColor(2 + col, 2 + row), rgbOf(rc.Border())) << col << "," << row;
            }
    // Inside the outline but outside the inner ring: the flood fill.
    EXPECT_EQ(image.pixelColor(2 + 1, 2 + 5), rgbOf(rc.Back()));
    EXPECT_EQ(image.pixelColor(2 + 4, 2 + 1), rgbOf(rc.Back()));
    // Outside the outline: untouched, the corners included.
    EXPECT_EQ(image.pixelColor(2, 2), kBack);
    EXPECT_EQ(image.pixelColor(2 + 1, 2 + 1), kBack);
    EXPECT_EQ(image.pixelColor(0, 0), kBack);
    EXPECT_EQ(image.pixelColor(15, 8), kBack);
    // The dot: pen Mark around, brush MarkEye inside.
    EXPECT_EQ(image.pixelColor(2 + 5, 2 + 5), rgbOf(rc.MarkEye()));
    EXPECT_EQ(image.pixelColor(2 + 5, 2 + 3), rgbOf(rc.Mark()));
    EXPECT_EQ(image.pixelColor(2 + 3, 2 + 5), rgbOf(rc.Mark()));
    // The inner ring (+2 .. +9) in SecBorder.
    EXPECT_EQ(image.pixelColor(2 + 5, 2 + 2), rgbOf(rc.SecBorder()));
    EXPECT_EQ(image.pixelColor(2 + 9, 2 + 6), rgbOf(rc.SecBorder()));
}

TEST_F(RadioSkin, GlyphColoursByState)
{
    struct Case {
        std::string what;
        bool enabled;
        bool checked;
        bool pushed;
        bool hot;
        TColor border;
        TColor back;
        TColor face; // checked: the dot's inside; else the face gradient runs from face to light
        TColor light;
    };
    const std::vector<Case> cases = {
        {"normal", true, false, false, false, rc.Border(), rc.Back(), rc.Face(), rc.Light()},
        {"hot", true, true, false, true, rc.BorderOn(), rc.BackOn(), rc.MarkEye(), 0},
        {"pushed", true, false, true, true, rc.BorderPress(), rc.BackPress(), rc.FacePress(), rc.LightPress()},
        {"pushed without hot", true, false, true, false, rc.BorderPress(), rc.BackPress(), rc.FacePress(),
         rc.LightPress()},
        {"hot unchecked", true, false, false, true, rc.BorderOn(), rc.BackOn(), rc.FaceOn(), rc.LightOn()},
        {"disabled", false, true, true, true, rc.BorderDisable(), rc.BackDisable(), rc.MarkEyeDisable(), 0},
        {"disabled unchecked", false, false, false, false, rc.BorderDisable(), rc.BackDisable(), rc.FaceDisable(),
         rc.LightDisable()},
    };
    const auto between = [](int v, int a, int b) { return v >= std::min(a, b) && v <= std::max(a, b); };
    for (const Case& c : cases) {
        QImage image = Blank(12, 12, kBack);
        DrawRadioGlyph(image, image.rect(), c.enabled, c.checked, c.pushed, c.hot);
        EXPECT_EQ(image.pixelColor(4, 0), rgbOf(c.border)) << c.what;
        EXPECT_EQ(image.pixelColor(1, 5), rgbOf(c.back)) << c.what;
        const QColor centre = image.pixelColor(5, 5);
        if (c.checked) {
            EXPECT_EQ(centre, rgbOf(c.face)) << c.what;
        } else {
            const QColor face = rgbOf(c.face);
            const QColor light = rgbOf(c.light);
            EXPECT_TRUE(between(centre.red(), face.red(), light.red()) &&
                        between(centre.green(), face.green(), light.green()) &&
                        between(centre.blue(), face.blue(), light.blue()))
                << c.what << " " << centre.name().toStdString();
            EXPECT_NE(centre, rgbOf(rc.MarkEye())) << c.what;
        }
    }
}

// ---- Glyph and text layout

struct Layout : SkinPaint {
    TKqGlyphTextRects Place(const QString& text, bool centre, bool pushed, int layout, int spacing, int margin,
                            QImage* out = nullptr)
    {
        QImage image = Blank(r.x() + r.width() + 10, r.y() + r.height() + 10);
        QPainter p(&image);
        p.setFont(top.font());
        p.setPen(Qt::black);
        const TKqGlyphTextRects placed = LayoutGlyphAndText(p, r, glyph, text, centre, pushed, layout, spacing, margin);
        p.end();
        if (out != nullptr)
            *out = image;
        return placed;
    }
    Layout() { glyph.fill(Qt::red); }
    const QRect r{5, 4, 120, 60};
    QPixmap glyph{16, 12};
};

int RightOf(const QRect& r)
{
    return r.x() + r.width();
}
int BottomOf(const QRect& r)
{
    return r.y() + r.height();
}

TEST_F(Layout, GlyphBesideTheText)
{
    const int th = QFontMetrics(top.font()).height();
    // Glyph left, centred: the pair is centred with the spacing between them; the text is vertically centred.
    TKqGlyphTextRects g = Place("Sim", true, false, glGlyphLeft, 4, -1);
    EXPECT_EQ(g.Text.x() - RightOf(g.Glyph), 4);
    EXPECT_LE(std::abs((g.Glyph.x() - r.x()) - (RightOf(r) - RightOf(g.Text))), 1);
    EXPECT_EQ(g.Glyph.y(), r.y() + (60 - 12) / 2);
    EXPECT_EQ(g.Text.y(), r.y() + (60 - th) / 2);
    EXPECT_EQ(g.Text.height(), th);
    EXPECT_EQ(g.Text.width(), QFontMetrics(top.font()).horizontalAdvance("Sim") + 1);
    // With a margin the glyph keeps it from its own side.
    g = Place("Sim", false, false, glGlyphLeft, 4, 7);
    EXPECT_EQ(g.Glyph.x(), r.x() + 7);
    g = Place("Sim", false, false, glGlyphRight, 4, 7);
    EXPECT_EQ(RightOf(g.Glyph), RightOf(r) - 7);
    EXPECT_EQ(RightOf(g.Text) + 4, g.Glyph.x());
    g = Place("Sim", true, false, glGlyphRight, 4, -1);
    EXPECT_EQ(RightOf(g.Text) + 4, g.Glyph.x());
    EXPECT_LE(std::abs((g.Text.x() - r.x()) - (RightOf(r) - RightOf(g.Glyph))), 1);
}

TEST_F(Layout, GlyphAboveOrBelowTheText)
{
    const int th = QFontMetrics(top.font()).height();
    TKqGlyphTextRects g = Place("Sim", true, false, glGlyphTop, 2, -1);
    EXPECT_EQ(g.Glyph.y() + 12 + 2, g.Text.y());
    EXPECT_EQ(g.Glyph.y(), r.y() + (60 - 12 - th - 2) / 2);
    EXPECT_EQ(g.Glyph.x(), r.x() + (120 - 16) / 2);
    // Centred text leans right by the odd pixel.
    const int tw = g.Text.width();
    EXPECT_EQ(g.Text.x(), r.x() + (120 - tw) / 2 + (120 - tw) % 2);
    g = Place("Sim", false, false, glGlyphTop, 2, 5);
    EXPECT_EQ(g.Glyph.y(), r.y() + 5);
    g = Place("Sim", false, false, glGlyphBottom, 2, 5);
    EXPECT_EQ(BottomOf(g.Glyph), BottomOf(r) - 5);
    EXPECT_EQ(BottomOf(g.Text) + 2, g.Glyph.y());
    EXPECT_EQ(g.Text.x(), r.x() + (120 - tw) / 2);
    g = Place("Sim", true, false, glGlyphBottom, 2, -1);
    EXPECT_EQ(g.Glyph.y(), r.y() + (60 - 12 - th - 2) / 2 + th + 2);
}

TEST_F(Layout, PushedEmptyAndClampedText)
{
    const TKqGlyphTextRects normal = Place("Sim", true, false, glGlyphLeft, 4, -1);
    const TKqGlyphTextRects pushed = Place("Sim", true, true, glGlyphLeft, 4, -1);
    EXPECT_EQ(pushed.Glyph, normal.Glyph.translated(1, 1));
    EXPECT_EQ(pushed.Text, normal.Text.translated(1, 1));

    // Without text the spacing goes too and the glyph alone is centred.
    const TKqGlyphTextRects alone = Place("", true, false, glGlyphLeft, 4, -1);
    EXPECT_EQ(alone.Glyph.x(), r.x() + (120 - 16) / 2);
    QImage image;
    Place("", true, false, glGlyphLeft, 4, -1, &image);
    EXPECT_EQ(image.pixelColor(alone.Glyph.topLeft()), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(alone.Glyph.bottomRight()), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(alone.Glyph.x() - 1, alone.Glyph.y()), QColor(Qt::white));

    // A text too wide for the area: its left edge is raised to 3 and its right edge kept 3 inside R; the text
    // then ends in an ellipsis within that.
    glyph = QPixmap();
    const QString longText(60, QLatin1Char('W'));
    const TKqGlyphTextRects wide = Place(longText, false, false, glGlyphLeft, 4, -200, &image);
    EXPECT_EQ(wide.Text.x(), 3);
    EXPECT_EQ(RightOf(wide.Text), RightOf(r) - 3);
    EXPECT_EQ(CountColor(image, QRect(RightOf(r) - 3, 0, 13, image.height()), Qt::black), 0);
    EXPECT_GT(CountColor(image, wide.Text, Qt::black), 0);
}

// ---- Push and bitmap buttons

TEST_F(SkinPaint, ButtonGradientRows)
{
    // A 75 x 25 button in the default colours: the glass gradient from Light to Face, the border on the
    // outermost ring.
    auto* button = Make<QPushButton>(QSize(75, 25));
    button->setText("OK");
    PaintOver over(button, PaintButton);
    const QImage image = Grab(button);
    const std::vector<int> rows = {251, 250, 249, 248, 247, 247, 246, 245, 244, 243, 242, 242,
                                   208, 210, 212, 213, 215, 217, 219, 220, 222, 224, 226};
    for (int y = 1; y <= 23; ++y) {
        EXPECT_EQ(image.pixelColor(5, y), grey(rows[y - 1])) << "row " << y;
        EXPECT_EQ(image.pixelColor(70, y), grey(rows[y - 1])) << "row " << y;
    }
    const QColor border = rgbOf(colors.Button().Border());
    for (const QPoint at : {QPoint(0, 0), QPoint(37, 0), QPoint(74, 24), QPoint(0, 12), QPoint(74, 12)})
        EXPECT_EQ(image.pixelColor(at), border) << at.x() << "," << at.y();
    EXPECT_GT(CountColor(image, QRect(20, 5, 35, 15), rgbOf(colors.Button().Text())), 10);
}

TEST_F(SkinPaint, InstallerButtonsAreFlat)
{
    SetInstallerColors(colors);
    const TKqButtonColors& b = colors.Button();
    struct Case {
        std::string what;
        std::function<void(QPushButton&, TKqPaintState&)> setUp;
        TColor face;
        TColor border;
        TColor ring; // the pixel just inside the border
        TColor text;
    };
    const std::vector<Case> cases = {
        {"normal", [](QPushButton&, TKqPaintState&) {}, b.Face(), b.Border(), b.Face(), b.Text()},
        {"hot", [](QPushButton&, TKqPaintState& s) { s.MouseOver = true; }, b.FaceOn(), b.BorderOn(), b.FaceOn(),
         b.TextOn()},
        {"pushed by the mouse",
         [](QPushButton&, TKqPaintState& s) {
             s.MouseOver = true;
             s.LButtonDown = true;
         },
         b.FacePress(), b.BorderPress(), b.FacePress(), b.TextPress()},
        {"pushed by the space bar", [](QPushButton&, TKqPaintState& s) { s.Pressed = true; }, b.FacePress(),
         b.BorderPress(), b.FacePress(), b.TextPress()},
        {"button down, mouse away", [](QPushButton&, TKqPaintState& s) { s.LButtonDown = true; }, b.Face(), b.Border(),
         b.Face(), b.Text()},
        {"disabled, mouse over",
         [](QPushButton& w, TKqPaintState& s) {
             w.setEnabled(false);
             s.MouseOver = true;
         },
         b.FaceDisable(), b.BorderDisable(), b.FaceDisable(), b.TextDisable()},
        {"default", [](QPushButton& w, TKqPaintState&) { w.setDefault(true); }, b.Face(), b.Border(), b.DefaultBorder(),
         b.Text()},
        {"default, disabled",
         [](QPushButton& w, TKqPaintState&) {
             w.setDefault(true);
             w.setEnabled(false);
         },
         b.FaceDisable(), b.BorderDisable(), b.FaceDisable(), b.TextDisable()},
    };
    for (const Case& c : cases) {
        auto* button = Make<QPushButton>(QSize(75, 25));
        button->setText("&Avançar");
        PaintOver over(button, PaintButton);
        c.setUp(*button, over.state);
        const QImage image = Grab(button);
        EXPECT_EQ(image.pixelColor(5, 12), rgbOf(c.face)) << c.what;
        EXPECT_EQ(image.pixelColor(5, 3), rgbOf(c.face)) << c.what;
        EXPECT_EQ(image.pixelColor(5, 22), rgbOf(c.face)) << c.what;
        EXPECT_EQ(image.pixelColor(0, 0), rgbOf(c.border)) << c.what;
        EXPECT_EQ(image.pixelColor(74, 24), rgbOf(c.border)) << c.what;
        EXPECT_EQ(image.pixelColor(1, 1), rgbOf(c.ring)) << c.what;
        EXPECT_EQ(image.pixelColor(73, 12), rgbOf(c.ring)) << c.what;
        EXPECT_GT(CountColor(image, QRect(3, 2, 69, 21), rgbOf(c.text)), 20) << c.what;
        delete button;
    }
}

TEST_F(SkinPaint, InstallerNormalButtonIsOneColourAndItsText)
{
    SetInstallerColors(colors);
    auto* button = Make<QPushButton>(QSize(75, 25));
    button->setText("&Fechar");
    PaintOver over(button, PaintButton);
    const QImage image = Grab(button);
    const QColor face = rgbOf(colors.Button().Face());
    const int white = CountColor(image, image.rect(), Qt::white);
    EXPECT_GT(white, 20);
    EXPECT_EQ(CountColor(image, image.rect(), face) + white, 75 * 25);
}

TEST_F(SkinPaint, FocusDotsTwoPixelsInsideExceptWhilePushed)
{
    top.show();
    top.activateWindow();
    struct Case {
        std::string what;
        bool lButtonDown;
        bool pressed;
        bool dots;
    };
    for (const Case& c : {Case{"focused", false, false, true}, Case{"button down", true, false, false},
                          Case{"space held", false, true, false}}) {
        auto* button = Make<QPushButton>(QSize(75, 25));
        button->setText("OK");
        button->show();
        button->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(button->hasFocus());
        PaintOver over(button, PaintButton);
        over.state.MouseOver = true;
        over.state.LButtonDown = c.lButtonDown;
        over.state.Pressed = c.pressed;
        const QImage image = Grab(button);
        const QColor dot = rgbOf(colors.Button().FocusRect());
        EXPECT_EQ(image.pixelColor(2, 2) == dot, c.dots) << c.what;
        EXPECT_EQ(image.pixelColor(4, 2) == dot, c.dots) << c.what;
        EXPECT_EQ(image.pixelColor(72, 22) == dot, c.dots) << c.what;
        EXPECT_NE(image.pixelColor(3, 2), dot) << c.what;
        EXPECT_NE(image.pixelColor(1, 1), dot) << c.what;
        delete button;
    }
}

TEST_F(SkinPaint, BitmapButtonPlacesItsIconBesideTheCaption)
{
    SetInstallerColors(colors);
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    auto* button = Make<QPushButton>(QSize(90, 30));
    button->setText("&Sim");
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(16, 16));
    PaintOver over(button, PaintBitBtn);
    QImage image = Grab(button);
    // The icon sits left of the caption, the pair centred in the face, vertically centred.
    const QRect red = [&] {
        QRect found;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(Qt::red))
                    found |= QRect(x, y, 1, 1);
        return found;
    }();
    EXPECT_EQ(red.size(), QSize(16, 16));
    EXPECT_EQ(red.y(), 2 + (26 - 16) / 2); // inside the border and the default ring
    EXPECT_GT(CountColor(image, QRect(red.right() + 1, 2, 90 - red.right() - 4, 26), Qt::white), 10);
    EXPECT_EQ(CountColor(image, QRect(0, 0, red.x(), 30), Qt::white), 0);
    EXPECT_EQ(image.pixelColor(0, 0), rgbOf(colors.Button().Border()));
    EXPECT_EQ(image.pixelColor(5, 5), rgbOf(colors.Button().Face()));

    // Pushed by the mouse: icon and caption move by one pixel.
    over.state.LButtonDown = true;
    over.state.MouseOver = true;
    image = Grab(button);
    EXPECT_EQ(image.pixelColor(red.topLeft() + QPoint(1, 1)), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(red.topLeft()), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(5, 5), rgbOf(colors.Button().FacePress()));

    // A margin from the button carries the icon to the left.
    over.state = {};
    button->setProperty("Margin", 2);
    image = Grab(button);
    EXPECT_EQ(image.pixelColor(2 + 2, 15), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(2 + 1, 15), QColor(Qt::red));

    // Disabled: the icon's disabled image, which is no longer pure red.
    button->setEnabled(false);
    image = Grab(button);
    EXPECT_EQ(CountColor(image, image.rect(), Qt::red), 0);
    EXPECT_EQ(image.pixelColor(0, 0), rgbOf(colors.Button().BorderDisable()));
}

// ---- Check box

struct CheckSkin : SkinPaint {
    CheckSkin()
    {
        box = Make<QCheckBox>(QSize(120, 21));
        box->setText("Aceito");
        over = std::make_unique<PaintOver>(box, PaintCheckBox);
    }
    QCheckBox* box = nullptr;
    std::unique_ptr<PaintOver> over;
    const TKqCheckColors& cc = colors.Check();
    static constexpr int kBoxTop = (21 - 13) / 2; // 4
};

TEST_F(CheckSkin, BoxByState)
{
    struct Case {
        std::string what;
        std::function<void(QCheckBox&, TKqPaintState&)> setUp;
        TColor border;
        TColor ring;
        TColor face;                // the inside's top-left pixel
        std::optional<TColor> mark; // in the tick and in the grayed square; none when neither is drawn
        TColor text;
    };
    const std::vector<Case> cases = {
        {"unchecked", [](QCheckBox&, TKqPaintState&) {}, cc.Border(), cc.Light(), cc.Face(), std::nullopt, cc.Text()},
        {"checked", [](QCheckBox& w, TKqPaintState&) { w.setChecked(true); }, cc.Border(), cc.Light(), cc.Face(),
         cc.Mark(), cc.Text()},
        {"checked, hot",
         [](QCheckBox& w, TKqPaintState& s) {
             w.setChecked(true);
             s.MouseOver = true;
         },
         cc.BorderOn(), cc.LightOn(), cc.FaceOn(), cc.Mark(), cc.TextOn()},
        {"pushed",
         [](QCheckBox&, TKqPaintState& s) {
             s.MouseOver = true;
             s.LButtonDown = true;
         },
         cc.BorderPress(), cc.LightPress(), cc.FacePress(), std::nullopt, cc.TextPress()},
        {"checked, disabled, mouse over",
         [](QCheckBox& w, TKqPaintState& s) {
             w.setChecked(true);
             w.setEnabled(false);
             s.MouseOver = true;
         },
         cc.BorderDisable(), cc.FaceDisable(), cc.FaceDisable(), cc.MarkDisable(), cc.TextDisable()},
        {"grayed",
         [](QCheckBox& w, TKqPaintState&) {
             w.setTristate(true);
             w.setCheckState(Qt::PartiallyChecked);
         },
         cc.Border(), cc.Light(), cc.Face(), cc.MarkDisable(), cc.Text()},
        {"grayed, hot",
         [](QCheckBox& w, TKqPaintState& s) {
             w.setTristate(true);
             w.setCheckState(Qt::PartiallyChecked);
             s.MouseOver = true;
         },
         cc.BorderOn(), cc.LightOn(), cc.FaceOn(), cc.Mark(), cc.TextOn()},
        {"grayed, disabled, mouse over",
         [](QCheckBox& w, TKqPaintState& s) {
             w.setTristate(true);
             w.setCheckState(Qt::PartiallyChecked);
             w.setEnabled(false);
             s.MouseOver = true;
         },
         cc.BorderDisable(), cc.FaceDisable(), cc.FaceDisable(), cc.MarkDisable(), cc.TextDisable()},
    };
    for (const Case& c : cases) {
        box->setEnabled(true);
        box->setTristate(false);
        box->setCheckState(Qt::Unchecked);
        over->state = {};
        c.setUp(*box, over->state);
        const QImage image = Grab(box);
        EXPECT_EQ(image.pixelColor(0, kBoxTop), rgbOf(c.border)) << c.what;
        EXPECT_EQ(image.pixelColor(12, kBoxTop + 12), rgbOf(c.border)) << c.what;
        EXPECT_EQ(image.pixelColor(1, kBoxTop + 6), rgbOf(c.ring)) << c.what;
        // The inside's gradient starts at the face colour; its corner pixel is a few steps on.
        EXPECT_TRUE(Near(image.pixelColor(2, kBoxTop + 2), rgbOf(c.face), 6))
            << c.what << " " << image.pixelColor(2, kBoxTop + 2).name().toStdString();
        // A pixel of the tick's lowest point that lies in the grayed square too.
        const QColor mark = image.pixelColor(5, kBoxTop + 7);
        if (c.mark) {
            EXPECT_EQ(mark, rgbOf(*c.mark)) << c.what;
        } else {
            EXPECT_NE(mark, rgbOf(cc.Mark())) << c.what;
            EXPECT_NE(mark, rgbOf(cc.MarkDisable())) << c.what;
        }
        // Above and below the box: the control's colour.
        EXPECT_EQ(image.pixelColor(6, kBoxTop - 1), kBack) << c.what;
        EXPECT_EQ(image.pixelColor(6, kBoxTop + 13), kBack) << c.what;
        EXPECT_GT(CountColor(image, QRect(16, 0, 104, 21), rgbOf(c.text)), 10) << c.what;
        EXPECT_EQ(CountColor(image, QRect(13, 0, 3, 21), rgbOf(c.text)), 0) << c.what;
    }
}

TEST_F(CheckSkin, GrayedMarkIsFiveByFive)
{
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    over->state.MouseOver = true;
    const QImage image = Grab(box);
    EXPECT_EQ(CountColor(image, QRect(0, 0, 13, 21), rgbOf(cc.Mark())), 25);
    EXPECT_EQ(CountColor(image, QRect(4, kBoxTop + 4, 5, 5), rgbOf(cc.Mark())), 25);
}

TEST_F(CheckSkin, BlankCaptionDrawsNoTextNorFocus)
{
    top.show();
    top.activateWindow();
    for (const char* caption : {"", "   "}) {
        box->setText(caption);
        box->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(box->hasFocus());
        const QImage image = Grab(box);
        EXPECT_EQ(CountColor(image, QRect(13, 0, 107, 21), kBack), 107 * 21) << "'" << caption << "'";
    }
}

TEST_F(CheckSkin, FocusRectangleAroundTheCaptionOnly)
{
    top.show();
    top.activateWindow();
    const QImage unfocused = Grab(box);
    box->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(box->hasFocus());
    const QImage focused = Grab(box);
    EXPECT_NE(focused.copy(13, 0, 107, 21), unfocused.copy(13, 0, 107, 21));
    EXPECT_EQ(focused.copy(0, 0, 13, 21), unfocused.copy(0, 0, 13, 21));
    // Told that the focus is going, it paints without the rectangle.
    over->state.Msg = smKillFocus;
    TKqPaintState s = over->state;
    s.Control = box;
    QImage told(box->size(), QImage::Format_RGB32);
    {
        QPainter p(&told);
        PaintCheckBox(s, p);
    }
    EXPECT_EQ(told.copy(13, 0, 107, 21), unfocused.copy(13, 0, 107, 21));
}

TEST_F(CheckSkin, BoxOnTheRight)
{
    box->setLayoutDirection(Qt::RightToLeft);
    box->setChecked(true);
    const QImage image = Grab(box);
    EXPECT_EQ(image.pixelColor(120 - 13, kBoxTop), rgbOf(cc.Border()));
    EXPECT_EQ(image.pixelColor(119, kBoxTop + 12), rgbOf(cc.Border()));
    EXPECT_EQ(image.pixelColor(120 - 13 + 5, kBoxTop + 7), rgbOf(cc.Mark()));
    EXPECT_EQ(CountColor(image, QRect(0, 0, 13, 21), rgbOf(cc.Border())), 0);
    EXPECT_GT(CountColor(image, QRect(1, 0, 120 - 18 - 1, 21), rgbOf(cc.Text())), 10);
    EXPECT_EQ(CountColor(image, QRect(120 - 18, 0, 18, 21), rgbOf(cc.Text())), 0);
}

// ---- Radio button

TEST_F(RadioSkin, ButtonComposesGlyphAndCaption)
{
    auto* radio = Make<QRadioButton>(QSize(100, 20));
    radio->setText("Opção");
    radio->setChecked(true);
    PaintOver over(radio, PaintRadioButton);
    const QImage image = Grab(radio);
    // The glyph: drawn and softened on its own 14 x 14 image, placed at the left, centred vertically, unscaled.
    QImage glyph = Blank(14, 14, kBack);
    DrawRadioGlyph(glyph, glyph.rect(), true, true, false, false);
    SmoothBitmap(glyph, 8);
    EXPECT_EQ(image.copy(0, 3, 14, 14), glyph);
    // The caption from 16 pixels on, nothing between the glyph and it.
    EXPECT_GT(CountColor(image, QRect(16, 0, 84, 20), rgbOf(rc.Text())), 10);
    EXPECT_EQ(CountColor(image, QRect(14, 0, 2, 20), kBack), 2 * 20);
    EXPECT_EQ(CountColor(image, QRect(0, 0, 14, 3), kBack), 14 * 3);

    over.state.MouseOver = true;
    radio->setChecked(false);
    QImage hotGlyph = Blank(14, 14, kBack);
    DrawRadioGlyph(hotGlyph, hotGlyph.rect(), true, false, false, true);
    SmoothBitmap(hotGlyph, 8);
    const QImage hot = Grab(radio);
    EXPECT_EQ(hot.copy(0, 3, 14, 14), hotGlyph);
    EXPECT_GT(CountColor(hot, QRect(16, 0, 84, 20), rgbOf(rc.TextOn())), 10);
}

TEST_F(RadioSkin, GlyphOnTheRight)
{
    auto* radio = Make<QRadioButton>(QSize(100, 20));
    radio->setText("Opção");
    radio->setLayoutDirection(Qt::RightToLeft);
    PaintOver over(radio, PaintRadioButton);
    const QImage image = Grab(radio);
    QImage glyph = Blank(14, 14, kBack);
    DrawRadioGlyph(glyph, glyph.rect(), true, false, false, false);
    SmoothBitmap(glyph, 8);
    EXPECT_EQ(image.copy(100 - 14, 3, 14, 14), glyph);
    EXPECT_EQ(CountColor(image, QRect(84, 0, 2, 20), kBack), 2 * 20);
    EXPECT_GT(CountColor(image, QRect(0, 0, 84, 20), rgbOf(rc.Text())), 10);
}

// ---- Edit frames

TEST_F(SkinPaint, EditFrameFlattensTheSunkenEdge)
{
    const TKqEditColors& ec = colors.Edit();
    struct Case {
        std::string what;
        std::function<QWidget*(SkinPaint&)> make;
        TColor border;
    };
    const std::vector<Case> cases = {
        {"line edit", [](SkinPaint& f) { return f.Make<QLineEdit>(QSize(80, 22)); }, ec.Border()},
        {"memo", [](SkinPaint& f) { return f.Make<QPlainTextEdit>(QSize(80, 40)); }, ec.Border()},
        {"disabled line edit",
         [](SkinPaint& f) {
             auto* e = f.Make<QLineEdit>(QSize(80, 22));
             e->setEnabled(false);
             return e;
         },
         ec.BorderDisable()},
    };
    for (const Case& c : cases) {
        QWidget* w = c.make(*this);
        PaintOver over(w, PaintEditFrame);
        const QImage image = Grab(w);
        const QRect r = w->rect();
        for (const QPoint at : {r.topLeft(), r.bottomRight(), QPoint(40, 0), QPoint(0, r.height() / 2)})
            EXPECT_EQ(image.pixelColor(at), rgbOf(c.border)) << c.what << " " << at.x() << "," << at.y();
        EXPECT_EQ(image.pixelColor(1, 1), kBase) << c.what;
        EXPECT_EQ(image.pixelColor(40, r.height() - 2), kBase) << c.what;
        delete w;
    }
}

TEST_F(SkinPaint, EditWithoutSunkenEdgeIsLeftAlone)
{
    struct Case {
        std::string what;
        std::function<QWidget*(SkinPaint&)> make;
    };
    const std::vector<Case> cases = {
        {"line edit without frame",
         [](SkinPaint& f) {
             auto* e = f.Make<QLineEdit>(QSize(80, 22));
             e->setFrame(false);
             return e;
         }},
        {"memo with a flat frame",
         [](SkinPaint& f) {
             auto* e = f.Make<QPlainTextEdit>(QSize(80, 40));
             e->setFrameStyle(QFrame::Box | QFrame::Plain);
             return e;
         }},
        {"memo without frame",
         [](SkinPaint& f) {
             auto* e = f.Make<QPlainTextEdit>(QSize(80, 40));
             e->setFrameStyle(QFrame::NoFrame);
             return e;
         }},
    };
    for (const Case& c : cases) {
        QWidget* w = c.make(*this);
        const QImage plain = Grab(w);
        PaintOver over(w, PaintEditFrame);
        EXPECT_EQ(Grab(w), plain) << c.what;
        EXPECT_EQ(over.paints, 1) << c.what;
        delete w;
    }
}

// ---- Group box

struct GroupSkin : SkinPaint {
    GroupSkin()
    {
        group = Make<QGroupBox>(QSize(140, 70));
        over = std::make_unique<PaintOver>(group, PaintGroupBox);
    }
    QGroupBox* group = nullptr;
    std::unique_ptr<PaintOver> over;
    const TKqGroupColors& gc = colors.Group();
    const int th = QFontMetrics(top.font()).height();
};

TEST_F(GroupSkin, FrameLinesHalfACaptionDown)
{
    for (const char* title : {"Destino", ""}) {
        group->setTitle(title);
        const QImage image = Grab(group);
        const int line = th / 2; // top moved by th div 2 - 1, then one pixel in
        const QColor border = rgbOf(gc.Border());
        EXPECT_EQ(image.pixelColor(3, line), border) << title;
        EXPECT_EQ(image.pixelColor(138, line), border) << title;
        EXPECT_EQ(image.pixelColor(3, line - 1), kBack) << title;
        EXPECT_EQ(image.pixelColor(3, line + 1), kBack) << title;
        EXPECT_EQ(image.pixelColor(1, 40), border) << title;
        EXPECT_EQ(image.pixelColor(138, 40), border) << title;
        EXPECT_EQ(image.pixelColor(70, 68), border) << title;
        EXPECT_EQ(image.pixelColor(0, 40), kBack) << title;
        EXPECT_EQ(image.pixelColor(70, 69), kBack) << title;
        EXPECT_EQ(image.pixelColor(2, 40), kBack) << title;
        // The frame is the only line: one border pixel per column in the middle.
        EXPECT_EQ(CountColor(image, QRect(120, 0, 1, 70), border), 2) << title;
        const int captionPixels = CountColor(image, QRect(8, 0, 124, th), rgbOf(gc.Text()));
        EXPECT_EQ(captionPixels > 10, *title != '\0') << title;
    }
}

TEST_F(GroupSkin, CaptionColours)
{
    group->setTitle("Destino");
    struct Case {
        std::string what;
        bool enabled;
        TColor text;
        QColor expected;
        QColor border;
    };
    const std::vector<Case> cases = {
        {"skin colour", true, 13593938, rgbOf(13593938), rgbOf(gc.Border())},
        {"no skin colour: the font's", true, clNone, QColor(Qt::black), rgbOf(gc.Border())},
        {"disabled", false, 13593938, rgbOf(gc.TextDisable()), rgbOf(gc.BorderDisable())},
    };
    for (const Case& c : cases) {
        colors.Group().SetText(c.text);
        group->setEnabled(c.enabled);
        const QImage image = Grab(group);
        EXPECT_GT(CountColor(image, QRect(8, 0, 124, th), c.expected), 10) << c.what;
        EXPECT_EQ(image.pixelColor(1, 40), c.border) << c.what;
    }
}

TEST_F(GroupSkin, HoveringAsksForNoRepaint)
{
    struct Case {
        uint32_t msg;
        bool repaint;
    };
    for (const Case c :
         {Case{smMouseMove, false}, Case{smMouseEnter, false}, Case{smMouseLeave, false}, Case{smLButtonUp, false},
          Case{smLButtonDown, true}, Case{smSetFocus, true}, Case{smEnabledChanged, true}}) {
        TKqPaintState s;
        s.Control = group;
        s.Msg = c.msg;
        EXPECT_EQ(SkinMessage(s), c.repaint) << std::hex << c.msg;
    }
}

// ---- Progress frame

TEST_F(SkinPaint, ProgressFrameOnTheFirstTwoPaintsOnly)
{
    const QColor frame = rgbOf(colors.ProgressBar().Border());
    struct Case {
        std::string what;
        std::function<QWidget*(SkinPaint&)> make;
    };
    const std::vector<Case> cases = {
        {"gauge",
         [](SkinPaint& f) {
             auto* g = new TKqGauge(&f.top);
             g->SetGaugeStyle(TKqGauge::gsBar);
             return g;
         }},
        {"progress bar", [](SkinPaint& f) { return f.Make<QProgressBar>(QSize(120, 20)); }},
    };
    for (const Case& c : cases) {
        QWidget* w = c.make(*this);
        const QColor own = Grab(w).pixelColor(0, 0);
        ASSERT_NE(own, frame) << c.what;
        PaintOver over(w, PaintProgressFrame);
        const std::vector<bool> framed = {true, true, false, false};
        for (size_t i = 0; i < framed.size(); ++i)
            EXPECT_EQ(Grab(w).pixelColor(0, 0) == frame, framed[i]) << c.what << " paint " << i + 1;
        EXPECT_EQ(w->property("Tag").toInt(), 2) << c.what;

        // Any other handled message starts the count again.
        TKqPaintState s;
        s.Control = w;
        s.Msg = smMouseEnter;
        EXPECT_TRUE(SkinMessage(s));
        EXPECT_EQ(w->property("Tag").toInt(), 0) << c.what;
        for (size_t i = 0; i < framed.size(); ++i)
            EXPECT_EQ(Grab(w).pixelColor(0, 0) == frame, framed[i]) << c.what << " paint " << i + 1;
        delete w;
    }
}

TEST_F(SkinPaint, ProgressFrameCoversTheWholeEdge)
{
    auto* gauge = new TKqGauge(&top);
    gauge->SetGaugeStyle(TKqGauge::gsBar);
    PaintOver over(gauge, PaintProgressFrame);
    const QImage image = Grab(gauge);
    const QColor frame = rgbOf(colors.ProgressBar().Border());
    const QRect r = gauge->rect();
    EXPECT_EQ(CountColor(image, QRect(0, 0, r.width(), 1), frame), r.width());
    EXPECT_EQ(CountColor(image, QRect(0, r.height() - 1, r.width(), 1), frame), r.width());
    EXPECT_EQ(CountColor(image, QRect(0, 0, 1, r.height()), frame), r.height());
    EXPECT_EQ(CountColor(image, QRect(r.width() - 1, 0, 1, r.height()), frame), r.height());
    EXPECT_NE(image.pixelColor(1, 1), frame);
}

TEST_F(SkinPaint, MessagesLeaveOtherControlsTagsAlone)
{
    auto* button = Make<QPushButton>(QSize(75, 25));
    button->setProperty("Tag", 7);
    TKqPaintState s;
    s.Control = button;
    s.Msg = smMouseEnter;
    EXPECT_TRUE(SkinMessage(s));
    EXPECT_EQ(button->property("Tag").toInt(), 7);
    s.Control = nullptr;
    EXPECT_FALSE(SkinMessage(s));
}

// ---- States

TEST(SkinLook, DisabledFirstThenPushedThenHot)
{
    test::qtApplication();
    QWidget enabled;
    QWidget disabled;
    disabled.setEnabled(false);
    struct Case {
        QWidget* control;
        bool lButtonDown;
        bool mouseOver;
        bool pressed;
        TKqSkinLook look;
    };
    const std::vector<Case> cases = {
        {&enabled, false, false, false, TKqSkinLook::Normal}, {&enabled, false, true, false, TKqSkinLook::Hot},
        {&enabled, true, true, false, TKqSkinLook::Pushed},   {&enabled, true, false, false, TKqSkinLook::Normal},
        {&enabled, false, false, true, TKqSkinLook::Pushed},  {&disabled, true, true, true, TKqSkinLook::Disabled},
    };
    for (const Case& c : cases) {
        TKqPaintState s;
        s.Control = c.control;
        s.LButtonDown = c.lButtonDown;
        s.MouseOver = c.mouseOver;
        s.Pressed = c.pressed;
        EXPECT_EQ(SkinLook(s), c.look) << c.lButtonDown << c.mouseOver << c.pressed;
    }
}

TEST_F(SkinPaint, PaintersWithoutAControlDrawNothing)
{
    QImage image = Blank(10, 10);
    QPainter p(&image);
    const TKqPaintState none;
    for (Painter painter :
         {PaintButton, PaintBitBtn, PaintCheckBox, PaintRadioButton, PaintEditFrame, PaintGroupBox, PaintProgressFrame})
        painter(none, p);
    p.end();
    EXPECT_EQ(CountColor(image, image.rect(), Qt::white), 100);
}

TEST_F(SkinPaint, SystemColoursResolveThroughTheControlsPalette)
{
    auto* edit = Make<QLineEdit>(QSize(80, 22));
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, QColor(1, 2, 3));
    edit->setPalette(pal);
    EXPECT_EQ(SkinRGB(clWindow, edit), QColor(1, 2, 3));
    EXPECT_EQ(SkinRGB(0x00336699, edit), QColor(0x99, 0x66, 0x33));
    // clNone outside the places that honour it is a colour like any other.
    EXPECT_EQ(SkinRGB(clNone, edit), QColor(255, 255, 255));
    colors.Edit().SetBorder(clBtnShadow);
    PaintOver over(edit, PaintEditFrame);
    EXPECT_EQ(Grab(edit).pixelColor(0, 0).rgb(), edit->palette().color(QPalette::Mid).rgb());
}

} // namespace
} // namespace tarvix
