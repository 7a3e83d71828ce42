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

TKqGauge::TKqGauge(QWidget* parent)
    : QWidget(parent)
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
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (autoSize_)
        AdjustSize();
}

void TKqGauge::SetBevelStyle(TKqGaugeBevel value)
{
    if (value == bevelStyle_ || value < bvLowered || value > bvRaised)
        return;
    bevelStyle_ = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetBorderStyle(TBorderStyle value)
{
    if (value == borderStyle_ || value < bsNone || value > bsSingle)
        return;
    borderStyle_ = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetBoxColor(TColor value)
{
    if (value == boxColor_)
        return;
    boxColor_ = value;
    RequestRepaint();
}

void TKqGauge::SetBoxNumber(int value)
{
    if (value == boxNumber_ || value < 2 || value > 100)
        return;
    boxNumber_ = value;
    if (autoSize_) {
        AdjustSize();
    } else {
        // As many boxes of the width that `value` boxes would have as it takes to cover the present width, kept
        // within 2 to 100: the painting divides by the number.
        const float x = static_cast<float>(width() - 2 * FrameInset()) /
                        static_cast<float>(BoxWidth(value) + boxSpace_);
        const float whole = std::trunc(x);
        const double count = static_cast<double>(whole) + (x - whole > 0.0f ? 1.0 : 0.0);
        boxNumber_ = static_cast<int>(std::clamp(count, 2.0, 100.0));
    }
    RequestRepaint();
}

void TKqGauge::SetBoxSpace(int value)
{
    if (value == boxSpace_ || value < 1 || value > 10)
        return;
    boxSpace_ = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetGaugeStyle(TKqGaugeStyle value)
{
    if (value == gaugeStyle_ || value < gsBoxes || value > gsImage)
        return;
    gaugeStyle_ = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetImage(const QPixmap& value)
{
    if (value.cacheKey() == image_.cacheKey())
        return;
    image_ = value;
    // A deep copy: the caller may go on painting into its pixmap.
    image_.detach();
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetMargin(int value)
{
    if (value == margin_ || value < 0 || value > 9)
        return;
    margin_ = value;
    AdjustSize();
    RequestRepaint();
}

void TKqGauge::SetMaxValue(int value)
{
    if (value == maxValue_ || value <= minValue_)
        return;
    maxValue_ = value;
    RequestRepaint();
}

void TKqGauge::SetMinValue(int value)
{
    if (value == minValue_ || value >= maxValue_)
        return;
    minValue_ = value;
    RequestRepaint();
}

void TKqGauge::SetProgress(int value)
{
    value = std::min(std::max(value, minValue_), maxValue_);
    if (value == progress_)
        return;
    progress_ = value;
    // Now, not from the event loop: the caller is usually a busy loop. Only the bar area; the frame stays.
    repaint(BarArea());
}

void TKqGauge::SetShowPercent(bool value)
{
    if (value == showPercent_)
        return;
    showPercent_ = value;
    RequestRepaint();
}

void TKqGauge::SetColor(TColor value)
{
    if (value == color_ && !parentColor_)
        return;
    color_ = value;
    parentColor_ = false;
    RequestRepaint();
}

void TKqGauge::SetParentColor(bool value)
{
    if (value == parentColor_)
        return;
    parentColor_ = value;
    RequestRepaint();
}

void TKqGauge::SetFontColor(TColor value)
{
    if (value == fontColor_)
        return;
    fontColor_ = value;
    RequestRepaint();
}

// --- operations --------------------------------------------------------------------------------------------------

void TKqGauge::Add(int value)
{
    SetProgress(static_cast<int>(std::clamp<int64_t>(int64_t{progress_} + value, INT32_MIN, INT32_MAX)));
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
    if (CustomStyle() && bevelStyle_ != bvNone)
        return 1 + margin_;
    return (borderStyle_ == bsSingle ? 1 : 0) + (bevelStyle_ != bvNone ? 1 : 0) + margin_;
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
    const int w = width() - 2 * FrameInset() - boxSpace_ * (boxNumber - 1);
    // Rounded up (the remainder of a negative width is not positive, so that is truncated). No 8-bit limit:
    // a wide gauge gets wide boxes. At least one pixel, so that every box shows.
    const int boxWidth = w / boxNumber + (w % boxNumber > 0 ? 1 : 0);
    return std::max(boxWidth, 1);
}

float TKqGauge::FilledFraction() const
{
    // The differences in 64 bits: an extreme range must not wrap around.
    const double done = static_cast<double>(int64_t{progress_} - minValue_);
    const double range = static_cast<double>(int64_t{maxValue_} - minValue_);
    return static_cast<float>(done / range);
}

bool TKqGauge::CustomStyle() const
{
    return !qApp->styleSheet().isEmpty() || style()->inherits("QStyleSheetStyle");
}

QSize TKqGauge::sizeHint() const
{
    const int inset = FrameInset();
    if (gaugeStyle_ == gsImage && !image_.isNull())
        return QSize(image_.width() + 2 * inset, image_.height() + 2 * inset);
    if (gaugeStyle_ == gsBoxes)
        return QSize(BoxWidth() * boxNumber_ + 2 * inset + boxSpace_ * (boxNumber_ - 1), height());
    return QSize(200, height());
}

// --- sizing and painting -----------------------------------------------------------------------------------------

void TKqGauge::AdjustSize()
{
    if (!autoSize_)
        return;
    const int inset = FrameInset();
    switch (gaugeStyle_) {
    case gsBoxes:
        // Boxes that fill the bar area exactly; the height stays.
        resize(BoxWidth() * boxNumber_ + 2 * inset + boxSpace_ * (boxNumber_ - 1), height());
        break;
    case gsImage:
        if (!image_.isNull())
            resize(image_.width() + 2 * inset, image_.height() + 2 * inset);
        break;
    case gsBar:
        break;
    }
}

void TKqGauge::RequestRepaint()
{
    paintPending_ = true;
    update();
}

void TKqGauge::FlushPaint()
{
    if (paintPending_)
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
        paintPending_ = false;
    QPainter p(this);
    const QPalette& pal = palette();
    const bool custom = CustomStyle();
    const QColor background = custom ? pal.color(QPalette::Window)
                              : parentColor_ ? pal.color(QPalette::Window)
                                             : ToQColor(color_, pal);

    // What the background erase would leave between the frame and the bar area.
    p.fillRect(rect(), background);

    QRect r = rect();
    if (custom && bevelStyle_ != bvNone) {
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        if (borderStyle_ == bsSingle) {
            const QColor frame = ToQColor(clWindowFrame, pal);
            Frame3D(p, r, frame, frame);
            r.adjust(1, 1, -1, -1);
        }
        const QColor shadow = ToQColor(clBtnShadow, pal);
        const QColor highlight = ToQColor(clBtnHighlight, pal);
        if (bevelStyle_ == bvLowered)
            Frame3D(p, r, shadow, highlight);
        else if (bevelStyle_ == bvRaised)
            Frame3D(p, r, highlight, shadow);
    }

    ComposeBar();
    if (!bar_.isNull()) {
        const int inset = FrameInset();
        p.drawImage(QPoint(inset, inset), bar_);
    }
}

void TKqGauge::ComposeBar()
{
    const QRect area = BarArea();
    if (area.width() <= 0 || area.height() <= 0) {
        bar_ = QImage();
        return;
    }
    const int w = area.width();
    const int h = area.height();
    const qreal ratio = devicePixelRatioF();
    const QSize physical(qCeil(w * ratio), qCeil(h * ratio));
    if (bar_.size() != physical || bar_.devicePixelRatio() != ratio) {
        bar_ = QImage(physical, QImage::Format_RGB32);
        bar_.setDevicePixelRatio(ratio);
    }
    // Text measured and drawn at the widget's resolution.
    bar_.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    bar_.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));

    const QPalette& pal = palette();
    const bool custom = CustomStyle();
    const QColor background = custom ? pal.color(QPalette::Window)
                              : parentColor_ ? pal.color(QPalette::Window)
                                             : ToQColor(color_, pal);
    const QColor fill = custom ? pal.color(QPalette::Highlight) : ToQColor(boxColor_, pal);
    const double fraction = FilledFraction();

    QPainter p(&bar_);
    p.fillRect(QRect(0, 0, w, h), background);

    switch (gaugeStyle_) {
    case gsBoxes: {
        const int count = RoundHalfEven(fraction * boxNumber_);
        const int boxWidth = BoxWidth();
        // Boxes past the bar area (a progress above a lowered maximum) would only be clipped.
        for (int i = 0, x = 0; i < count && x < w; ++i, x += boxWidth + boxSpace_)
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
        if (!image_.isNull()) {
            // Above the maximum the picture would only be stretched past the bar area and clipped there: the
            // visible part is the whole picture over the whole area.
            const double shown = std::min(fraction, 1.0);
            const int sourceWidth = RoundHalfEven(image_.width() * shown);
            const int targetWidth = RoundHalfEven(w * shown);
            if (sourceWidth > 0 && targetWidth > 0)
                p.drawPixmap(QRect(0, 0, targetWidth, h), image_, QRect(0, 0, sourceWidth, image_.height()));
        }
        break;
    }

    if (showPercent_) {
        const QString text = QString::number(RoundHalfEven(fraction * 100)) + QLatin1Char('%');
        p.setFont(font());
        const QFontMetrics metrics = p.fontMetrics();
        const int x = (w - metrics.horizontalAdvance(text)) / 2;
        const int y = (h - metrics.height()) / 2;
        p.setPen(ToQColor(fontColor_, pal));
        p.drawText(QPoint(x, y + metrics.ascent()), text);
    }
}

} // namespace tarvix
