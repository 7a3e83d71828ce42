#include "components/kq_panel.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QRegion>

#include "components/kq_color_qt.h"

namespace tarvix {

// --- gradient fills ----------------------------------------------------------------------------------------------

QColor GradientStep(const QColor& start, const QColor& end, int step)
{
    // Integer division truncates toward zero, also for a falling channel.
    const auto channel = [step](int s, int e) { return s + step * (e - s) / 255; };
    return QColor(channel(start.red(), end.red()), channel(start.green(), end.green()),
                  channel(start.blue(), end.blue()));
}

void FillHorizontalGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    const int w = rect.width();
    for (int i = 0; i < 255; ++i) {
        const int x0 = rect.left() + i * w / 255;
        const int x1 = rect.left() + (i + 1) * w / 255;
        if (x1 > x0)
            painter.fillRect(QRect(x0, rect.top(), x1 - x0, rect.height()), GradientStep(start, end, i));
    }
}

void FillVerticalGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    const int h = rect.height();
    for (int i = 0; i < 255; ++i) {
        const int y0 = rect.top() + i * h / 255;
        const int y1 = rect.top() + (i + 1) * h / 255;
        if (y1 > y0)
            painter.fillRect(QRect(rect.left(), y0, rect.width(), y1 - y0), GradientStep(start, end, i));
    }
}

void FillRadialGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    const int w = rect.width();
    const int h = rect.height();
    if (w <= 0 || h <= 0)
        return;
    QImage bitmap(w, h, QImage::Format_RGB32);
    // Pixels that no band covers (along the edges of a small area, where bands are thinner than a pixel) show
    // the end colour, that is, the panel's own colour.
    bitmap.fill(end);
    QPainter p(&bitmap);
    for (int i = 0; i < 256; ++i) {
        QPolygon band;
        if (i < 128) {
            band << QPoint(0, i * h / 128) << QPoint(0, (i + 1) * h / 128) << QPoint((i + 1) * w / 128, 0)
                 << QPoint(i * w / 128, 0);
        } else {
            const int j = i - 128;
            band << QPoint(j * w / 128, h) << QPoint((j + 1) * w / 128, h) << QPoint(w, (j + 1) * h / 128)
                 << QPoint(w, j * h / 128);
        }
        const QRegion region(band, Qt::OddEvenFill);
        const QColor colour = GradientStep(start, end, i);
        for (const QRect& r : region)
            p.fillRect(r, colour);
    }
    p.end();
    painter.drawImage(rect.topLeft(), bitmap);
}

void FillButtonizedGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    // 45 % and 15 % of the way, truncated toward zero, in exact integer arithmetic.
    const auto part = [&](int percent) {
        const auto channel = [percent](int s, int e) { return s + (e - s) * percent / 100; };
        return QColor(channel(start.red(), end.red()), channel(start.green(), end.green()),
                      channel(start.blue(), end.blue()));
    };
    const int bottom = rect.top() + rect.height(); // exclusive
    const int split = bottom - rect.height() / 2;
    FillVerticalGradient(painter, QRect(rect.left(), rect.top(), rect.width(), split - rect.top()), start, part(45));
    FillVerticalGradient(painter, QRect(rect.left(), split, rect.width(), bottom - split), end, part(15));
}

// --- TKqGradientOptions ------------------------------------------------------------------------------------------

void TKqGradientOptions::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    FOwner->update();
}

void TKqGradientOptions::SetFadeColor(TColor value)
{
    if (value == FFadeColor)
        return;
    FFadeColor = value;
    FOwner->update();
}

void TKqGradientOptions::SetDirection(TKqGradientDirection value)
{
    if (value == FDirection || value < TKqPanel::dgHorizontal || value > TKqPanel::dgButtonized)
        return;
    FDirection = value;
    FOwner->update();
}

// --- TKqPanel ----------------------------------------------------------------------------------------------------

TKqPanel::TKqPanel(QWidget* parent) : TKqCustomPanel(parent), FGradient(std::make_unique<TKqGradientOptions>(this))
{
    // The panel paints all of itself, and all of itself again after every move or resize.
    setAutoFillBackground(false);
    SetParentColor(true);
    SetBorderWidth(1);
}

TKqPanel::~TKqPanel() = default;

void TKqPanel::SetBevelColor(TColor value)
{
    if (value == FBevelColor)
        return;
    FBevelColor = value;
    update();
}

void TKqPanel::SetBevelWidth(int value)
{
    if (value == FBevelWidth || value < 0)
        return;
    FBevelWidth = value;
    update();
}

void TKqPanel::SetSpacer(bool value)
{
    if (value == FSpacer)
        return;
    FSpacer = value;
    if (FSpacer) {
        SetCaption(QString());
        SetBevelWidth(0);
    } else {
        SetBevelWidth(1);
        SetBorderWidth(0);
    }
    update();
}

void TKqPanel::SetAlignment(TAlignment value)
{
    if (value == FAlignment || value < taLeftJustify || value > taCenter)
        return;
    FAlignment = value;
    update();
}

void TKqPanel::SetFontColor(TColor value)
{
    if (value == FFontColor)
        return;
    FFontColor = value;
    update();
}

bool TKqPanel::GradientEnabled() const
{
    return FGradient->Enabled();
}
void TKqPanel::SetGradientEnabled(bool value)
{
    FGradient->SetEnabled(value);
}
TColor TKqPanel::GradientFadeColor() const
{
    return FGradient->FadeColor();
}
void TKqPanel::SetGradientFadeColor(TColor value)
{
    FGradient->SetFadeColor(value);
}
TKqGradientDirection TKqPanel::GradientDirection() const
{
    return FGradient->Direction();
}
void TKqPanel::SetGradientDirection(TKqGradientDirection value)
{
    FGradient->SetDirection(value);
}

void TKqPanel::moveEvent(QMoveEvent* event)
{
    update();
    TKqCustomPanel::moveEvent(event);
}

void TKqPanel::resizeEvent(QResizeEvent* event)
{
    // The gradient spans the whole panel: all of it changes with the size.
    update();
    TKqCustomPanel::resizeEvent(event);
}

void TKqPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    QRect r = rect();

    // Frame: BevelWidth one-pixel rectangles, each inside the previous one.
    const QColor bevel = ToQColor(FBevelColor, pal);
    for (int i = 0; i < FBevelWidth && r.width() > 0 && r.height() > 0; ++i) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), bevel);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bevel);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), bevel);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bevel);
        r.adjust(1, 1, -1, -1);
    }

    // Interior. Both colours as plain RGB values (system colours resolved).
    const QColor colour = EffectiveColor().toRgb();
    if (r.width() > 0 && r.height() > 0) {
        if (FGradient->Enabled() && !FSpacer) {
            const QColor fade = ToQColor(FGradient->FadeColor(), pal).toRgb();
            switch (FGradient->Direction()) {
            case dgHorizontal: FillHorizontalGradient(p, r, fade, colour); break;
            case dgVertical: FillVerticalGradient(p, r, fade, colour); break;
            case dgRadial: FillRadialGradient(p, r, fade, colour); break;
            case dgButtonized: FillButtonizedGradient(p, r, fade, colour); break;
            }
        } else {
            p.fillRect(r, colour);
        }
    }

    // Caption: inside the border at the sides, inside the frame at the top and the bottom.
    if (Caption().isEmpty())
        return;
    const QRect textRect = r.adjusted(BorderWidth(), FBevelWidth, -BorderWidth(), -FBevelWidth);
    if (textRect.width() <= 0 || textRect.height() <= 0)
        return;
    const int horizontal = FAlignment == taLeftJustify    ? Qt::AlignLeft
                           : FAlignment == taRightJustify ? Qt::AlignRight
                                                          : Qt::AlignHCenter;
    const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextExpandTabs;
    p.setFont(font());
    p.setPen(ToQColor(FFontColor, pal));
    const QString shown = p.fontMetrics().elidedText(Caption(), Qt::ElideRight, textRect.width(), flags);
    p.drawText(textRect, horizontal | Qt::AlignVCenter | flags, shown);
}

} // namespace tarvix
