// What the pixel tests of the skin's painters share: a form with fixed colours and font, a colour set made
// current for the test, and a picture of a control as Qt drew it with a painter's work over it.
#pragma once

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>

#include <gtest/gtest.h>

#include "components/kq_skin_colors.h"
#include "components/kq_skin_paint.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix::skin_test {

using Painter = void (*)(const TKqPaintState&, QPainter&);

inline QColor Rgb(TColor c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// The control as Qt draws it, then the painter over it, as a hook does within the control's paint.
inline QImage PaintedOver(QWidget* control, Painter painter, TKqPaintState s = {})
{
    QImage image = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    s.Control = control;
    s.Msg = smPaint;
    QPainter p(&image);
    painter(s, p);
    return image;
}

inline int CountColour(const QImage& image, const QRect& area, const QColor& c)
{
    int n = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixelColor(x, y) == c)
                ++n;
    return n;
}

// The smallest rectangle holding every pixel of colour c (empty when there is none).
inline QRect BoundsOf(const QImage& image, const QColor& c)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == c)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// The colour that the vertical (or horizontal) gradient from `from` to `to` gives row (column) `at` of an area
// `extent` rows (columns) long: of the 256 steps, the last one whose band starts there; step i is
// from + (to - from) * i div 255 per channel.
inline QColor BandColour(const QColor& from, const QColor& to, int extent, int at)
{
    int step = 0;
    for (int i = 0; i <= 255; ++i)
        if (i * extent / 255 == at && (i + 1) * extent / 255 > at)
            step = i;
    const auto channel = [step](int a, int b) { return a + (b - a) * step / 255; };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

// The same for the glass gradient of an area `extent` rows high: the upper rows from `light` a quarter of the way
// to `face`, the lower ones from `face` 55 % of the way back.
inline QColor GlassColour(const QColor& light, const QColor& face, int extent, int at)
{
    const auto toward = [&](double share) {
        const auto channel = [share](int a, int b) { return a + static_cast<int>((b - a) * share); };
        return QColor(channel(light.red(), face.red()), channel(light.green(), face.green()),
                      channel(light.blue(), face.blue()));
    };
    const int upper = extent - extent / 2;
    return at < upper ? BandColour(light, toward(0.25), upper, at)
                      : BandColour(face, toward(0.55), extent - upper, at - upper);
}

// Every channel of c lies between those of a and b.
inline bool Between(const QColor& c, const QColor& a, const QColor& b)
{
    const auto within = [](int v, int x, int y) { return v >= std::min(x, y) && v <= std::max(x, y); };
    return within(c.red(), a.red(), b.red()) && within(c.green(), a.green(), b.green()) &&
           within(c.blue(), a.blue(), b.blue());
}

inline QImage Blank(int w, int h, const QColor& c)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

const QColor kBack(236, 233, 216); // the form's Window colour in these tests
const QColor kBase(255, 255, 250); // its Base colour

// A form with fixed colours and an unantialiased font (text pixels have the pen's exact colour), and a colour
// set that is current while the test runs.
struct SkinPainting : ::testing::Test {
    SkinPainting()
    {
        QPalette pal = QApplication::palette();
        pal.setColor(QPalette::Window, kBack);
        pal.setColor(QPalette::Base, kBase);
        top.setPalette(pal);
        top.setFont(test::testFont(12, false));
        top.resize(400, 300);
        SetCurrentSkinColors(&colors);
    }
    ~SkinPainting() override { SetCurrentSkinColors(nullptr); }

    template <class W>
    W* Make(W* w, QRect geometry)
    {
        w->setGeometry(geometry);
        return w;
    }

    QApplication& app = test::qtApplication();
    TKqSkinColors colors;
    QWidget top;
};

} // namespace tarvix::skin_test
