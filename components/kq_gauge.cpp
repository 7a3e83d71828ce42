#include "components/kq_gauge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "components/kq_color_qt.h"

namespace tarvix {
namespace {

// Nearest integer, halves to even (the rounding mode in force by default), kept well inside int.
int RoundHalfEven(double value)
{
    const double r = std::nearbyint(value);
    return static_cast<int>(std::clamp(r, -1.0e9, 1.0e9));
}

// A one-pixel 3-D frame along the edge of `r`: the top row and the left column in `topLeft`, the right column and
// the bottom row in `bottomRight`, which also owns the top-right and bottom-left corner pixels.
void Frame3D(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int left = r.left();
    const int top = r.top();
    const int right = r.left() + r.width() - 1;
    const int bottom = r.top() + r.height() - 1;
    p.fillRect(QRect(left, top, right - left, 1), topLeft);
    p.fillRect(QRect(left, top, 1, bottom - top), topLeft);
    p.fillRect(QRect(right, top, 1, bottom - top + 1), bottomRight);
    p.fillRect(QRect(left, bottom, right - left + 1, 1), bottomRight);
}

} // namespace

TKqGauge::TKqGauge(QWidget* parent) : QWidget(parent)
{
    // The gauge paints every pixel of itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Like a progress bar in a layout: as wide as it is given, as high as it was made.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    resize(200, 18);
}

// --- properties --------------------------------------------------------------------------------------------------

void TKqGauge::SetAutoSize(bool value)
{
    if (value == FAutoSize)
        return;
    FAutoSize = value;
    if (FAutoSize)
        AdjustSize();
}

void TKqGauge::SetBevelStyle(TKqGaugeBevel value)
{
    if (value == FBevelStyle || value < bvLowered || value > bvRaised)
        return;
    FBevelStyle = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle || value < bsNone || value > bsSingle)
        return;
    FBorderStyle = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetBoxColor(TColor value)
{
    if (value == FBoxColor)
        return;
    FBoxColor = value;
    RequestRepaint();
}

void TKqGauge::SetBoxNumber(int value)
{
    if (value == FBoxNumber || value < 2 || value > 100)
        return;
    FBoxNumber = value;
    if (FAutoSize) {
        AdjustSize();
    } else {
        // As many boxes of the width that `value` boxes would have as it takes to cover the present width, kept
        // within 2 to 100: the painting divides by the number.
        const float x =
            static_cast<float>(width() - 2 * FrameInset()) / static_cast<float>(BoxWidth(value) + FBoxSpace);
        const float whole = std::trunc(x);
        const double count = static_cast<double>(whole) + (x - whole > 0.0f ? 1.0 : 0.0);
        FBoxNumber = static_cast<int>(std::clamp(count, 2.0, 100.0));
    }
    RequestRepaint();
}

void TKqGauge::SetBoxSpace(int value)
{
    if (value == FBoxSpace || value < 1 || value > 10)
        return;
    FBoxSpace = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetGaugeStyle(TKqGaugeStyle value)
{
    if (value == FGaugeStyle || value < gsBoxes || value > gsImage)
        return;
    FGaugeStyle = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetImage(const QPixmap& value)
{
    if (value.cacheKey() == FImage.cacheKey())
        return;
    FImage = value;
    // A deep copy: the caller may go on painting into its pixmap.
    FImage.detach();
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetMargin(int value)
{
    if (value == FMargin || value < 0 || value > 9)
        return;
    FMargin = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetMaxValue(int value)
{
    if (value == FMaxValue || value <= FMinValue)
        return;
    FMaxValue = value;
    RequestRepaint();
}

void TKqGauge::SetMinValue(int value)
{
    if (value == FMinValue || value >= FMaxValue)
        return;
    FMinValue = value;
    RequestRepaint();
}

void TKqGauge::SetProgress(int value)
{
    value = std::min(std::max(value, FMinValue), FMaxValue);
    if (value == FProgress)
        return;
    FProgress = value;
    // Now, not from the event loop: the caller is usually a busy loop. Only the bar area; the frame stays.
    repaint(BarArea());
}

void TKqGauge::SetShowPercent(bool value)
{
    if (value == FShowPercent)
        return;
    FShowPercent = value;
    RequestRepaint();
}

void TKqGauge::SetColor(TColor value)
{
    if (value == FColor && !FParentColor)
        return;
    FColor = value;
    FParentColor = false;
    RequestRepaint();
}

void TKqGauge::SetParentColor(bool value)
{
    if (value == FParentColor)
        return;
    FParentColor = value;
    RequestRepaint();
}

void TKqGauge::SetFontColor(TColor value)
{
    if (value == FFontColor)
        return;
    FFontColor = value;
    RequestRepaint();
}

// --- operations --------------------------------------------------------------------------------------------------

void TKqGauge::Add(int value)
{
    SetProgress(static_cast<int>(std::clamp<int64_t>(int64_t{FProgress} + value, INT32_MIN, INT32_MAX)));
    FlushPaint();
}

void TKqGauge::Initialize(int min, int max)
{
    SetMinValue(min);
    SetMaxValue(max);
    SetProgress(0);
    FlushPaint();
}

// --- derived quantities ------------------------------------------------------------------------------------------

int TKqGauge::FrameInset() const
{
    if (CustomStyle() && FBevelStyle != bvNone)
        return 1 + FMargin;
    return (FBorderStyle == bsSingle ? 1 : 0) + (FBevelStyle != bvNone ? 1 : 0) + FMargin;
}

QRect TKqGauge::BarArea() const
{
    const int inset = FrameInset();
    return rect().adjusted(inset, inset, -inset, -inset);
}

int TKqGauge::BoxWidth(int boxNumber) const
{
    if (boxNumber < 1)
        return 1;
    const int w = width() - 2 * FrameInset() - FBoxSpace * (boxNumber - 1);
    // Rounded up (the remainder of a negative width is not positive, so that is truncated). No 8-bit limit:
    // a wide gauge gets wide boxes. At least one pixel, so that every box shows.
    const int boxWidth = w / boxNumber + (w % boxNumber > 0 ? 1 : 0);
    return std::max(boxWidth, 1);
}

float TKqGauge::FilledFraction() const
{
    // The differences in 64 bits: an extreme range must not wrap around.
    const double done = static_cast<double>(int64_t{FProgress} - FMinValue);
    const double range = static_cast<double>(int64_t{FMaxValue} - FMinValue);
    return static_cast<float>(done / range);
}

bool TKqGauge::CustomStyle() const
{
    return !qApp->styleSheet().isEmpty() || style()->inherits("QStyleSheetStyle");
}

QSize TKqGauge::sizeHint() const
{
    const int inset = FrameInset();
    if (FGaugeStyle == gsImage && !FImage.isNull())
        return QSize(FImage.width() + 2 * inset, FImage.height() + 2 * inset);
    if (FGaugeStyle == gsBoxes)
        return QSize(BoxWidth() * FBoxNumber + 2 * inset + FBoxSpace * (FBoxNumber - 1), height());
    return QSize(200, height());
}

// --- sizing and painting -----------------------------------------------------------------------------------------

void TKqGauge::AdjustSize()
{
    if (!FAutoSize)
        return;
    const int inset = FrameInset();
    switch (FGaugeStyle) {
    case gsBoxes:
        // Boxes that fill the bar area exactly; the height stays.
        resize(BoxWidth() * FBoxNumber + 2 * inset + FBoxSpace * (FBoxNumber - 1), height());
        break;
    case gsImage:
        if (!FImage.isNull())
            resize(FImage.width() + 2 * inset, FImage.height() + 2 * inset);
        break;
    case gsBar: break;
    }
}

void TKqGauge::RequestRepaint()
{
    FPaintPending = true;
    update();
}

void TKqGauge::FlushPaint()
{
    if (FPaintPending)
        repaint();
}

void TKqGauge::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    AdjustSize();
}

void TKqGauge::paintEvent(QPaintEvent* event)
{
    // A paint of the bar area alone leaves a requested full paint pending.
    if (event->rect().contains(rect()))
        FPaintPending = false;
    QPainter p(this);
    const QPalette& pal = palette();
    const bool custom = CustomStyle();
    const QColor background = custom         ? pal.color(QPalette::Window)
                              : FParentColor ? pal.color(QPalette::Window)
                                             : ToQColor(FColor, pal);

    // What the background erase would leave between the frame and the bar area.
    p.fillRect(rect(), background);

    QRect r = rect();
    if (custom && FBevelStyle != bvNone) {
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        if (FBorderStyle == bsSingle) {
            const QColor frame = ToQColor(clWindowFrame, pal);
            Frame3D(p, r, frame, frame);
            r.adjust(1, 1, -1, -1);
        }
        const QColor shadow = ToQColor(clBtnShadow, pal);
        const QColor highlight = ToQColor(clBtnHighlight, pal);
        if (FBevelStyle == bvLowered)
            Frame3D(p, r, shadow, highlight);
        else if (FBevelStyle == bvRaised)
            Frame3D(p, r, highlight, shadow);
    }

    ComposeBar();
    if (!FBar.isNull()) {
        const int inset = FrameInset();
        p.drawImage(QPoint(inset, inset), FBar);
    }
}

void TKqGauge::ComposeBar()
{
    const QRect area = BarArea();
    if (area.width() <= 0 || area.height() <= 0) {
        FBar = QImage();
        return;
    }
    const int w = area.width();
    const int h = area.height();
    const qreal ratio = devicePixelRatioF();
    const QSize physical(qCeil(w * ratio), qCeil(h * ratio));
    if (FBar.size() != physical || FBar.devicePixelRatio() != ratio) {
        FBar = QImage(physical, QImage::Format_RGB32);
        FBar.setDevicePixelRatio(ratio);
    }
    // Text measured and drawn at the widget's resolution.
    FBar.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    FBar.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));

    const QPalette& pal = palette();
    const bool custom = CustomStyle();
    const QColor background = custom         ? pal.color(QPalette::Window)
                              : FParentColor ? pal.color(QPalette::Window)
                                             : ToQColor(FColor, pal);
    const QColor fill = custom ? pal.color(QPalette::Highlight) : ToQColor(FBoxColor, pal);
    const double fraction = FilledFraction();

    QPainter p(&FBar);
    p.fillRect(QRect(0, 0, w, h), background);

    switch (FGaugeStyle) {
    case gsBoxes: {
        const int count = RoundHalfEven(fraction * FBoxNumber);
        const int boxWidth = BoxWidth();
        // Boxes past the bar area (a progress above a lowered maximum) would only be clipped.
        for (int i = 0, x = 0; i < count && x < w; ++i, x += boxWidth + FBoxSpace)
            p.fillRect(QRect(x, 0, boxWidth, h), fill);
        break;
    }
    case gsBar: {
        const int filled = RoundHalfEven(w * fraction);
        if (filled > 0)
            p.fillRect(QRect(0, 0, std::min(filled, w), h), fill);
        break;
    }
    case gsImage:
        if (!FImage.isNull()) {
            // Above the maximum the picture would only be stretched past the bar area and clipped there: the
            // visible part is the whole picture over the whole area.
            const double shown = std::min(fraction, 1.0);
            const int sourceWidth = RoundHalfEven(FImage.width() * shown);
            const int targetWidth = RoundHalfEven(w * shown);
            if (sourceWidth > 0 && targetWidth > 0)
                p.drawPixmap(QRect(0, 0, targetWidth, h), FImage, QRect(0, 0, sourceWidth, FImage.height()));
        }
        break;
    }

    if (FShowPercent) {
        const QString text = QString::number(RoundHalfEven(fraction * 100)) + QLatin1Char('%');
        p.setFont(font());
        const QFontMetrics metrics = p.fontMetrics();
        const int x = (w - metrics.horizontalAdvance(text)) / 2;
        const int y = (h - metrics.height()) / 2;
        p.setPen(ToQColor(FFontColor, pal));
        p.drawText(QPoint(x, y + metrics.ascent()), text);
    }
}

} // namespace tarvix
