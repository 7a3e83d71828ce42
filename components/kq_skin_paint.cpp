#include "components/kq_skin_paint.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPoint>
#include <QProgressBar>
#include <QPushButton>
#include <QRegion>
#include <QStyle>
#include <QStyleOption>
#include <QTabWidget>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "components/kq_color_qt.h"
#include "components/kq_skin_colors.h"

namespace tarvix {
namespace {

// Step i of 0..255 on the way from `from` to `to`, per channel.
QColor gradientStep(const QColor& from, const QColor& to, int i)
{
    const auto channel = [i](int a, int b) { return (a + (b - a) * i / 255) & 0xFF; };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

void fillBands(QPainter& p, const QRect& r, bool vertical, const QColor& from, const QColor& to)
{
    const int extent = vertical ? r.height() : r.width();
    const int origin = vertical ? r.y() : r.x();
    const int end = origin + extent;
    for (int i = 0; i <= 255; ++i) {
        const int first = origin + i * extent / 255;
        // The last band would reach extent / 255 pixels past the area; it stops at the area's edge.
        const int last = std::min(origin + (i + 1) * extent / 255, end);
        if (last <= first)
            continue;
        const QRect band =
            vertical ? FromEdges(r.x(), first, RightOf(r), last) : FromEdges(first, r.y(), last, BottomOf(r));
        p.fillRect(band, gradientStep(from, to, i));
    }
}

void fillDiagonal(QPainter& p, const QRect& r, const QColor& from, const QColor& to)
{
    const int w = r.width();
    const int h = r.height();
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(from);
    {
        QPainter ip(&image);
        for (int i = 0; i <= 255; ++i) {
            std::array<QPoint, 4> corners;
            if (i < 128)
                corners = {QPoint(0, i * h / 128), QPoint(0, (i + 1) * h / 128), QPoint((i + 1) * w / 128, 0),
                           QPoint(i * w / 128, 0)};
            else
                corners = {QPoint((i - 128) * w / 128, h), QPoint((i - 127) * w / 128, h),
                           QPoint(w, (i - 127) * h / 128), QPoint(w, (i - 128) * h / 128)};
            const QColor c = gradientStep(from, to, i);
            ip.setPen(c);
            ip.setBrush(c);
            ip.drawPolygon(corners.data(), static_cast<int>(corners.size()), Qt::OddEvenFill);
        }
    }
    p.drawImage(r.topLeft(), image);
}

QColor towards(const QColor& from, const QColor& to, double share)
{
    const auto channel = [share](int a, int b) { return (a + static_cast<int>((b - a) * share)) & 0xFF; };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

bool isPushed(const TKqPaintState& s)
{
    return (s.LButtonDown && s.MouseOver) || s.Pressed;
}

// A focused control that has not just been told it lost the focus (a hooked check box hears of that only from
// the skin).
bool isFocused(const TKqPaintState& s)
{
    return s.Control->hasFocus() && s.Msg != smKillFocus && s.Msg != smExit;
}

QColor controlColor(const QWidget* w)
{
    return w->palette().color(QPalette::Window);
}

constexpr int kTextFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;

QString elided(const QFontMetrics& fm, const QString& text, int width)
{
    return fm.elidedText(text, Qt::ElideRight, std::max(width, 0), Qt::TextShowMnemonic);
}

// Steps shared by the push and bitmap buttons: face, border, the default ring and, on the next ring inside, the
// focus dots while the button is not being pushed. Returns the rectangle inside the default ring.
QRect paintButtonFace(const TKqPaintState& s, QPainter& p, TKqSkinLook look)
{
    const TKqButtonColors& c = CurrentSkinColors().Button();
    const QWidget* w = s.Control;
    const auto rgb = [w](TColor v) { return SkinRGB(v, w); };
    QRect r = w->rect();
    PaintGlassFace(p, r, look, c, w);
    r = Inset(r, 1);
    const auto* button = qobject_cast<const QPushButton*>(w);
    if (button != nullptr && button->isDefault() && w->isEnabled())
        FrameRect(p, r, rgb(c.DefaultBorder()));
    r = Inset(r, 1);
    if (isFocused(s) && !s.LButtonDown && !s.Pressed)
        DrawFocusDots(p, r, rgb(c.FocusRect()));
    return r;
}

QColor buttonTextColor(const QWidget* w, TKqSkinLook look)
{
    const TKqButtonColors& c = CurrentSkinColors().Button();
    return SkinRGB(ByLook(look, c.Text(), c.TextOn(), c.TextPress(), c.TextDisable()), w);
}

QString buttonText(const QWidget* w)
{
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    return button != nullptr ? button->text() : QString();
}

bool isProgressKind(const QWidget* w)
{
    return qobject_cast<const QProgressBar*>(w) != nullptr || w->inherits("tarvix::TKqGauge");
}

bool hasSunkenEdge(const QWidget* w)
{
    if (qobject_cast<const QComboBox*>(w) != nullptr)
        return true;
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->hasFrame();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(w))
        return spin->hasFrame();
    if (const auto* frame = qobject_cast<const QFrame*>(w))
        return frame->frameShape() != QFrame::NoFrame && frame->frameShadow() == QFrame::Sunken &&
               frame->frameWidth() > 0;
    return false;
}

} // namespace

void FrameRect(QPainter& Canvas, const QRect& R, const QColor& Color)
{
    // Filled edge by edge, so that it lands on exactly these pixels in any painter.
    if (R.width() <= 0 || R.height() <= 0)
        return;
    Canvas.fillRect(QRect(R.x(), R.y(), R.width(), 1), Color);
    Canvas.fillRect(QRect(R.x(), BottomOf(R) - 1, R.width(), 1), Color);
    Canvas.fillRect(QRect(R.x(), R.y(), 1, R.height()), Color);
    Canvas.fillRect(QRect(RightOf(R) - 1, R.y(), 1, R.height()), Color);
}

TColor ByLook(TKqSkinLook Look, TColor Normal, TColor Hot, TColor Pushed, TColor Disabled)
{
    switch (Look) {
    case TKqSkinLook::Disabled: return Disabled;
    case TKqSkinLook::Pushed: return Pushed;
    case TKqSkinLook::Hot: return Hot;
    case TKqSkinLook::Normal: break;
    }
    return Normal;
}

TKqSkinLook LookOf(bool Enabled, bool Pushed, bool Hot)
{
    if (!Enabled)
        return TKqSkinLook::Disabled;
    if (Pushed)
        return TKqSkinLook::Pushed;
    return Hot ? TKqSkinLook::Hot : TKqSkinLook::Normal;
}

void DrawPlatformFocusRect(QPainter& Canvas, const QWidget* Control, const QRect& R, const QColor& Color)
{
    QStyleOptionFocusRect option;
    option.initFrom(Control);
    option.rect = R;
    option.backgroundColor = Color;
    // Drawn whenever the control has the focus, not only after keyboard navigation, as the buttons' dots are.
    option.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    Control->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &Canvas, Control);
}

TKqSkinLook SkinLook(const TKqPaintState& s)
{
    return LookOf(s.Control == nullptr || s.Control->isEnabled(), isPushed(s), s.MouseOver);
}

QColor SkinRGB(TColor color, const QWidget* control)
{
    // Only system colours need a palette; any other value, clNone included, is drawn as the colour its bytes
    // give.
    if (IsSystemColor(color))
        return ToQColor(color, control != nullptr ? control->palette() : QApplication::palette());
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

void FillGradient(QPainter& Canvas, const QRect& R, int Style, const QColor& From, const QColor& To)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    switch (Style) {
    case 1: fillBands(Canvas, R, true, From, To); break;
    case 2: fillDiagonal(Canvas, R, From, To); break;
    case 3: fillBands(Canvas, R, false, From, To); break;
    case 4: {
        const int upperBottom = BottomOf(R) - R.height() / 2;
        fillBands(Canvas, FromEdges(R.x(), R.y(), RightOf(R), upperBottom), true, From, towards(From, To, 0.25));
        fillBands(Canvas, FromEdges(R.x(), upperBottom, RightOf(R), BottomOf(R)), true, To, towards(From, To, 0.55));
        break;
    }
    default: break;
    }
}

void DrawFocusDots(QPainter& Canvas, const QRect& R, const QColor& Color)
{
    const int left = R.x();
    const int top = R.y();
    const int right = RightOf(R);
    const int bottom = BottomOf(R);
    std::vector<QPoint> dots;
    int v = 1;
    for (int x = left; x < right; ++x) {
        if (v > 0)
            dots.emplace_back(x, top);
        if (v == (bottom - top) % 2)
            dots.emplace_back(x, bottom - 1);
        v = std::abs(v - 1);
    }
    for (int y = top + 1; y < bottom; ++y) {
        if (v > 0)
            dots.emplace_back(right - 1, y);
        if (v == (right - left) % 2)
            dots.emplace_back(left, y);
        v = std::abs(v - 1);
    }
    for (const QPoint& dot : dots)
        Canvas.fillRect(QRect(dot, QSize(1, 1)), Color);
}

void DrawTick(QPainter& Canvas, const QRect& R)
{
    for (int i = 1; i <= 3; ++i) {
        const std::array<QPoint, 3> points{QPoint(R.x() + 2, R.y() + i + 3), QPoint(R.x() + 4, R.y() + i + 5),
                                           QPoint(R.x() + 9, R.y() + i)};
        Canvas.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
}

void DrawRadioGlyph(QImage& Bitmap, const QRect& R, bool Enabled, bool Checked, bool Pushed, bool Hot,
                    const QWidget* Control)
{
    // The outline of the 12 x 12 glyph, one string per row.
    static constexpr std::array<const char*, 12> radioMask{
        "000011110000", "001100001100", "010000000010", "010000000010", "100000000001", "100000000001",
        "100000000001", "100000000001", "010000000010", "010000000010", "001100001100", "000011110000"};

    const TKqRadioButtonColors& c = CurrentSkinColors().RadioButton();
    const auto rgb = [Control](TColor v) { return SkinRGB(v, Control); };
    const TKqSkinLook look = LookOf(Enabled, Pushed, Hot);
    Bitmap.convertTo(QImage::Format_RGB32);
    const int x0 = R.x() + (R.width() - 12) / 2;
    const int y0 = R.y() + (R.height() - 12) / 2;
    const QRect bounds = Bitmap.rect();

    const QRgb outline = rgb(ByLook(look, c.Border(), c.BorderOn(), c.BorderPress(), c.BorderDisable())).rgb();
    for (int row = 0; row < 12; ++row)
        for (int col = 0; col < 12; ++col)
            if (radioMask[row][col] == '1' && bounds.contains(x0 + col, y0 + row))
                Bitmap.setPixel(x0 + col, y0 + row, outline);

    // Flood fill from the centre, four-connected, up to the outline colour.
    const QRgb back = rgb(ByLook(look, c.Back(), c.BackOn(), c.BackPress(), c.BackDisable())).rgb();
    const QPoint centre(x0 + 6, y0 + 6);
    if (bounds.contains(centre) && Bitmap.pixel(centre) != outline) {
        std::vector<bool> seen(static_cast<size_t>(bounds.width()) * bounds.height(), false);
        std::vector<QPoint> pending{centre};
        seen[static_cast<size_t>(centre.y()) * bounds.width() + centre.x()] = true;
        while (!pending.empty()) {
            const QPoint at = pending.back();
            pending.pop_back();
            Bitmap.setPixel(at, back);
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint next = at + step;
                if (!bounds.contains(next))
                    continue;
                const size_t index = static_cast<size_t>(next.y()) * bounds.width() + next.x();
                if (seen[index] || Bitmap.pixel(next) == outline)
                    continue;
                seen[index] = true;
                pending.push_back(next);
            }
        }
    }

    QPainter p(&Bitmap);
    FillGradient(p, QRect(x0 + 3, y0 + 3, 6, 6), 2,
                 rgb(ByLook(look, c.Face(), c.FaceOn(), c.FacePress(), c.FaceDisable())),
                 rgb(ByLook(look, c.Light(), c.LightOn(), c.LightPress(), c.LightDisable())));
    // A stroked ellipse or rectangle covers its rectangle's size plus the pen: these cover (+2..+9) and (+3..+8).
    p.setBrush(Qt::NoBrush);
    p.setPen(rgb(ByLook(look, c.SecBorder(), c.SecBorderOn(), c.SecBorderPress(), c.SecBorderDisable())));
    p.drawEllipse(QRect(x0 + 2, y0 + 2, 7, 7));
    if (Checked) {
        p.setBrush(rgb(Enabled ? c.MarkEye() : c.MarkEyeDisable()));
        p.setPen(rgb(Enabled ? c.Mark() : c.MarkDisable()));
        p.drawRoundedRect(QRect(x0 + 3, y0 + 3, 5, 5), 1, 1);
    }
}

void SmoothBitmap(QImage& Bitmap, int Amount)
{
    // The pull toward a pixel is 50 / (Amount + 50); at -50 and below it is no longer a pull.
    if (Bitmap.isNull() || Amount <= -50)
        return;
    Bitmap.convertTo(QImage::Format_RGB32);
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    const double pull = 50.0 / (Amount + 50.0);
    const auto blend = [pull](int p, int n) { return static_cast<int>(std::nearbyint(p + (n - p) * pull)); };
    for (int r = 0; r < height; ++r) {
        for (int c = 1; c < width; ++c) {
            const QRgb centre = Bitmap.pixel(c, r);
            const std::array<QPoint, 4> neighbours{QPoint(c - 1, r), QPoint(c == width - 1 ? 0 : c + 1, r),
                                                   QPoint(c, r == 0 ? height - 1 : r - 1),
                                                   QPoint(c, r == height - 1 ? 0 : r + 1)};
            for (const QPoint& at : neighbours) {
                const QRgb other = Bitmap.pixel(at);
                if (qRgb(qRed(other), qGreen(other), qBlue(other)) == qRgb(qRed(centre), qGreen(centre), qBlue(centre)))
                    continue;
                Bitmap.setPixel(at, qRgb(blend(qRed(centre), qRed(other)), blend(qGreen(centre), qGreen(other)),
                                         blend(qBlue(centre), qBlue(other))));
            }
        }
    }
}

void GreyBitmap(QImage& Bitmap, int Amount)
{
    if (Bitmap.isNull())
        return;
    Bitmap.convertTo(Bitmap.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    bool havePrevious = false;
    QRgb previousIn = 0;
    QRgb previousOut = 0;
    for (int y = 0; y < Bitmap.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(Bitmap.scanLine(y));
        for (int x = 0; x < Bitmap.width(); ++x) {
            const QRgb in = line[x];
            if (!havePrevious || in != previousIn) {
                int g = (qRed(in) + qGreen(in) + qBlue(in)) / 3 + Amount;
                if (g > 245)
                    g = 246;
                g = std::max(g, 0);
                previousIn = in;
                previousOut = qRgba(g, g, g, qAlpha(in));
                havePrevious = true;
            }
            line[x] = previousOut;
        }
    }
}

TKqGlyphTextRects LayoutGlyphAndText(QPainter& Canvas, const QRect& R, const QPixmap& Glyph, const QString& Text,
                                     bool Centre, bool Pushed, int Layout, int Spacing, int Margin)
{
    const QSize glyphSize = Glyph.isNull() ? QSize(0, 0) : Glyph.deviceIndependentSize().toSize();
    const int gw = glyphSize.width();
    const int gh = glyphSize.height();
    const QFontMetrics fm(Canvas.font());
    // An empty caption takes no room in either direction.
    const int tw = Text.isEmpty() ? 0 : fm.size(kTextFlags, Text).width() + 1;
    const int th = Text.isEmpty() ? 0 : fm.height();
    if (Text.isEmpty() || gw == 0)
        Spacing = 0;
    const int W = R.width();
    const int H = R.height();
    int gx = 0;
    int gy = 0;
    int tx = 0;
    int ty = 0;
    switch (Layout) {
    case glGlyphRight:
        gx = Centre ? tw + Spacing + (W - gw - tw - Spacing) / 2 : W - gw - Margin;
        gy = (H - gh) / 2;
        tx = gx - tw - Spacing;
        ty = (H - th) / 2;
        break;
    case glGlyphTop:
        gx = (W - gw) / 2;
        gy = Centre ? (H - gh - th - Spacing) / 2 : Margin;
        tx = (W - tw) / 2 + (W - tw) % 2;
        ty = gy + gh + Spacing;
        break;
    case glGlyphBottom:
        gx = (W - gw) / 2;
        gy = Centre ? (H - gh - th - Spacing) / 2 + th + Spacing : H - gh - Margin;
        tx = (W - tw) / 2;
        ty = gy - th - Spacing;
        break;
    default: // glGlyphLeft
        gx = Centre ? (W - gw - tw - Spacing) / 2 : Margin;
        gy = (H - gh) / 2;
        tx = gx + gw + Spacing;
        ty = (H - th) / 2;
        break;
    }
    TKqGlyphTextRects placed{QRect(R.x() + gx, R.y() + gy, gw, gh), QRect(R.x() + tx, R.y() + ty, tw, th)};
    if (Pushed) {
        placed.Glyph.translate(1, 1);
        placed.Text.translate(1, 1);
    }
    if (placed.Text.x() < 4)
        placed.Text.setLeft(3);
    if (RightOf(placed.Text) > RightOf(R) - 3)
        placed.Text.setRight(RightOf(R) - 4);

    if (!Glyph.isNull())
        Canvas.drawPixmap(placed.Glyph.topLeft(), Glyph);
    if (!Text.isEmpty() && placed.Text.width() > 0) {
        Canvas.setBrush(Qt::NoBrush);
        Canvas.drawText(placed.Text, Qt::AlignHCenter | Qt::AlignVCenter | kTextFlags,
                        elided(fm, Text, placed.Text.width()));
    }
    return placed;
}

void PaintButton(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    const QWidget* w = s.Control;
    p.save();
    const TKqSkinLook look = SkinLook(s);
    paintButtonFace(s, p, look);
    const QRect textRect = w->rect().adjusted(3, 0, -3, 0);
    p.setFont(w->font());
    p.setPen(buttonTextColor(w, look));
    p.setBrush(Qt::NoBrush);
    p.drawText(textRect, Qt::AlignCenter | kTextFlags, elided(p.fontMetrics(), buttonText(w), textRect.width()));
    p.restore();
}

void PaintBitBtn(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    const QWidget* w = s.Control;
    p.save();
    const TKqSkinLook look = SkinLook(s);
    const QRect r = paintButtonFace(s, p, look);

    // The icon's disabled image stands for the disabled cell of a glyph strip, its active image for the down
    // cell.
    QPixmap glyph;
    if (const auto* button = qobject_cast<const QAbstractButton*>(w); button != nullptr && !button->icon().isNull()) {
        const QIcon::Mode mode = !w->isEnabled() ? QIcon::Disabled : s.LButtonDown ? QIcon::Active : QIcon::Normal;
        glyph = button->icon().pixmap(button->iconSize(), w->devicePixelRatioF(), mode);
    }
    // Layout, spacing and margin as the button carries them; by default the glyph is left of the caption, 4
    // pixels apart, and the pair is centred.
    const QVariant layout = w->property("Layout");
    const QVariant spacing = w->property("Spacing");
    const QVariant margin = w->property("Margin");
    const int marginValue = margin.isValid() ? margin.toInt() : -1;
    p.setFont(w->font());
    p.setPen(buttonTextColor(w, look));
    LayoutGlyphAndText(p, r, glyph, buttonText(w), marginValue < 0, s.LButtonDown || s.Pressed,
                       layout.isValid() ? layout.toInt() : glGlyphLeft, spacing.isValid() ? spacing.toInt() : 4,
                       marginValue);
    p.restore();
}

void PaintCheckBox(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    const QWidget* w = s.Control;
    const TKqCheckColors& c = CurrentSkinColors().Check();
    const auto rgb = [w](TColor v) { return SkinRGB(v, w); };
    const TKqSkinLook look = SkinLook(s);
    const QRect client = w->rect();
    const QColor back = controlColor(w);
    QImage bitmap(client.size(), QImage::Format_RGB32);
    bitmap.fill(back);
    QPainter ip(&bitmap);

    const bool boxRight = w->layoutDirection() == Qt::RightToLeft;
    const QRect column = boxRight ? FromEdges(RightOf(client) - 13, client.y(), RightOf(client), BottomOf(client))
                                  : FromEdges(client.x(), client.y(), client.x() + 13, BottomOf(client));
    const QRect textArea = boxRight ? FromEdges(client.x() + 1, client.y(), RightOf(client) - 18, BottomOf(client))
                                    : FromEdges(client.x() + 16, client.y(), RightOf(client), BottomOf(client));
    QRect box(column.x(), column.y() + (column.height() - 13) / 2, 13, 13);
    FrameRect(ip, box, rgb(ByLook(look, c.Border(), c.BorderOn(), c.BorderPress(), c.BorderDisable())));
    box = Inset(box, 1);
    FrameRect(ip, box, rgb(ByLook(look, c.Light(), c.LightOn(), c.LightPress(), c.FaceDisable())));
    box = Inset(box, 1);
    if (look == TKqSkinLook::Disabled)
        FillGradient(ip, box, 1, rgb(c.FaceDisable()), rgb(c.FaceDisable()));
    else
        FillGradient(ip, box, 2, rgb(ByLook(look, c.Face(), c.FaceOn(), c.FacePress(), c.Face())),
                     rgb(ByLook(look, c.Light(), c.LightOn(), c.LightPress(), c.Light())));

    const auto* checkBox = qobject_cast<const QCheckBox*>(w);
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    const Qt::CheckState state = checkBox != nullptr                        ? checkBox->checkState()
                                 : button != nullptr && button->isChecked() ? Qt::Checked
                                                                            : Qt::Unchecked;
    if (state == Qt::PartiallyChecked) {
        // A disabled check box never shows the hot mark.
        ip.fillRect(Inset(box, 2), rgb(s.MouseOver && w->isEnabled() ? c.Mark() : c.MarkDisable()));
    } else if (state == Qt::Checked) {
        QPen pen(rgb(w->isEnabled() ? c.Mark() : c.MarkDisable()), 1);
        pen.setCapStyle(Qt::FlatCap);
        ip.setPen(pen);
        DrawTick(ip, Inset(box, -1));
    }

    const QString caption = buttonText(w);
    if (!caption.trimmed().isEmpty()) {
        ip.setFont(w->font());
        const QFontMetrics fm = ip.fontMetrics();
        const QString shown = elided(fm, caption, textArea.width());
        const QRect measured = fm.boundingRect(textArea, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown);
        QRect area(textArea.x() + (boxRight ? 1 : 0), textArea.y() + (textArea.height() - measured.height()) / 2,
                   std::min(measured.width(), textArea.width()), measured.height());
        ip.fillRect(area, back);
        ip.setPen(rgb(ByLook(look, c.Text(), c.TextOn(), c.TextPress(), c.TextDisable())));
        ip.drawText(area, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown);
        if (isFocused(s))
            DrawPlatformFocusRect(ip, w, area.adjusted(-2, -1, 2, 1) & client, back);
    }
    ip.end();
    p.drawImage(0, 0, bitmap);
}

void PaintRadioButton(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    const QWidget* w = s.Control;
    const TKqRadioButtonColors& c = CurrentSkinColors().RadioButton();
    const TKqSkinLook look = SkinLook(s);
    const QRect client = w->rect();
    const QColor back = controlColor(w);
    const auto* button = qobject_cast<const QAbstractButton*>(w);

    QImage whole(client.width() + 1, client.height() + 1, QImage::Format_RGB32);
    whole.fill(back);
    QImage glyph(14, 14, QImage::Format_RGB32);
    glyph.fill(back);
    QImage text(std::max(client.width() - 16, 0), client.height(), QImage::Format_RGB32);
    text.fill(back);

    DrawRadioGlyph(glyph, glyph.rect(), w->isEnabled(), button != nullptr && button->isChecked(), isPushed(s),
                   s.MouseOver, w);
    SmoothBitmap(glyph, 8);

    const QString caption = buttonText(w);
    if (!text.isNull() && !caption.trimmed().isEmpty()) {
        QPainter tp(&text);
        tp.setFont(w->font());
        const QFontMetrics fm = tp.fontMetrics();
        const QRect bounds = Inset(text.rect(), 2);
        const QString shown = elided(fm, caption, bounds.width());
        const QRect measured = fm.boundingRect(bounds, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown);
        const QRect area(measured.x(), (text.height() - measured.height()) / 2 - 1, measured.width(),
                         measured.height());
        tp.setPen(SkinRGB(ByLook(look, c.Text(), c.TextOn(), c.TextPress(), c.TextDisable()), w));
        tp.drawText(area, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown);
        if (isFocused(s))
            DrawPlatformFocusRect(tp, w, area.adjusted(-2, -1, 2, 1), back);
    }

    {
        QPainter wp(&whole);
        const bool boxRight = w->layoutDirection() == Qt::RightToLeft;
        const int glyphTop = client.y() + (client.height() - 14) / 2;
        wp.drawImage(boxRight ? RightOf(client) - 14 : client.x(), glyphTop, glyph);
        wp.drawImage(boxRight ? RightOf(client) - 16 - text.width() : client.x() + 16, client.y(), text);
    }
    // The composition is one pixel larger than the client both ways; drawn unscaled, the extra row and column
    // fall outside the control, and the glyph keeps its pixels.
    p.drawImage(client.topLeft(), whole);
}

void PaintEditFrame(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr || !hasSunkenEdge(s.Control))
        return;
    const QWidget* w = s.Control;
    const TKqEditColors& c = CurrentSkinColors().Edit();
    const QRect r = w->rect();
    FrameRect(p, r, SkinRGB(w->isEnabled() ? c.Border() : c.BorderDisable(), w));
    FrameRect(p, Inset(r, 1), w->palette().color(QPalette::Base));
}

void PaintGroupBox(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    const QWidget* w = s.Control;
    const auto* group = qobject_cast<const QGroupBox*>(w);
    const QString caption = group != nullptr ? group->title() : QString();
    const TKqGroupColors& c = CurrentSkinColors().Group();
    const QColor back = controlColor(w);
    const QRect client = w->rect();
    p.save();

    // The platform draws its own frame and title wherever its style puts them; the group box draws nothing else
    // of its own (its children paint after it), so all of it but a check indicator is cleared first.
    QRegion cleared(client);
    if (group != nullptr && group->isCheckable()) {
        QStyleOptionGroupBox option;
        option.initFrom(w);
        option.text = caption;
        option.subControls = QStyle::SC_GroupBoxCheckBox | QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        cleared -= w->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxCheckBox, w);
    }
    p.setClipRegion(cleared, Qt::IntersectClip);
    p.fillRect(client, back);
    p.setClipping(false);

    p.setFont(w->font());
    const QFontMetrics fm = p.fontMetrics();
    const int th = fm.height();
    if (!caption.isEmpty())
        p.fillRect(QRect(client.x() + 8, client.y(), fm.size(kTextFlags, caption).width(), th), back);
    QRect r = client;
    r.setTop(r.y() + th / 2 - 1);
    FrameRect(p, r, back);
    r = Inset(r, 1);
    FrameRect(p, r, back);
    FrameRect(p, r, SkinRGB(w->isEnabled() ? c.Border() : c.BorderDisable(), w));

    if (!caption.isEmpty()) {
        QColor textColor = w->palette().color(QPalette::WindowText);
        if (!w->isEnabled())
            textColor = SkinRGB(c.TextDisable(), w);
        else if (c.Text() != clNone)
            textColor = SkinRGB(c.Text(), w);
        const QRect textRect = client.adjusted(8, 0, -8, 0);
        const QString shown = elided(fm, caption, textRect.width());
        p.fillRect(fm.boundingRect(textRect, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown) & textRect, back);
        p.setPen(textColor);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | kTextFlags, shown);
    }
    p.restore();
}

void PaintProgressFrame(const TKqPaintState& s, QPainter& p)
{
    if (s.Control == nullptr)
        return;
    QWidget* w = s.Control;
    // Tag counts the paints since the last other message, up to 2. The frame goes on the first two of them and
    // is then left to the control, until another message starts the count again.
    const int before = w->property("Tag").toInt();
    const int tag = s.Msg == smPaint ? std::min(before + 1, 2) : 0;
    if (tag != before)
        w->setProperty("Tag", tag);
    if (s.Msg == smPaint && before >= 2)
        return;
    FrameRect(p, w->rect(), SkinRGB(CurrentSkinColors().ProgressBar().Border(), w));
}

bool SkinMessage(const TKqPaintState& s)
{
    if (s.Control == nullptr)
        return false;
    if (s.Msg == smPaint)
        return true;
    if (isProgressKind(s.Control)) {
        if (s.Control->property("Tag").toInt() != 0)
            s.Control->setProperty("Tag", 0);
        return true;
    }
    if (qobject_cast<const QGroupBox*>(s.Control) != nullptr || qobject_cast<const QTabWidget*>(s.Control) != nullptr)
        return s.Msg != smMouseMove && s.Msg != smMouseEnter && s.Msg != smMouseLeave && s.Msg != smLButtonUp;
    return true;
}

} // namespace tarvix
