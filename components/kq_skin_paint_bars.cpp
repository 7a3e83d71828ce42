#include "components/kq_skin_paint_bars.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSizeGrip>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "components/kq_skin_colors.h"
#include "components/kq_skin_paint_arrows.h"

namespace tarvix {
namespace {

enum class Side { Top, Bottom, Left, Right };

Side SideOf(QTabBar::Shape shape)
{
    switch (shape) {
    case QTabBar::RoundedSouth:
    case QTabBar::TriangularSouth: return Side::Bottom;
    case QTabBar::RoundedWest:
    case QTabBar::TriangularWest: return Side::Left;
    case QTabBar::RoundedEast:
    case QTabBar::TriangularEast: return Side::Right;
    default: return Side::Top;
    }
}

Side SideOf(QTabWidget::TabPosition position)
{
    switch (position) {
    case QTabWidget::South: return Side::Bottom;
    case QTabWidget::West: return Side::Left;
    case QTabWidget::East: return Side::Right;
    default: return Side::Top;
    }
}

// The colour a control's parent shows behind it (its own without a parent).
QColor ParentColorOf(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    return (parent != nullptr ? parent : w)->palette().color(QPalette::Window);
}

const QTabWidget* TabWidgetOf(const QTabBar* bar)
{
    const auto* tabs = qobject_cast<const QTabWidget*>(bar->parentWidget());
    return tabs != nullptr && tabs->tabBar() == bar ? tabs : nullptr;
}

int IntProperty(const QObject* o, const char* name, int fallback)
{
    const QVariant value = o->property(name);
    return value.isValid() ? value.toInt() : fallback;
}

// A status bar's size grip shows when it is enabled and the window can be resized.
bool ShowsSizeGrip(const QStatusBar* bar)
{
    const QWidget* form = bar->window();
    return bar->isSizeGripEnabled() && form->minimumSize() != form->maximumSize() &&
           !form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

// The size grip's area and dots, in the bar's coordinates.
void DrawGrip(QPainter& p, const QStatusBar* bar)
{
    const TKqStatusBarColors& c = CurrentSkinColors().StatusBar();
    const int w = bar->width();
    const int h = bar->height();
    p.fillRect(FromEdges(w - 16, 3, w, h - 2), bar->palette().color(QPalette::Window));
    for (int r = 3; r >= 1; --r)
        for (int k = 1; k <= r; ++k)
            FillGradient(p, QRect(w - 4 * k + 1, h + 4 * r - 15, 2, 2), 2, SkinRGB(c.Face(), bar),
                         SkinRGB(c.Border(), bar));
}

std::vector<const QWidget*> PanelsOf(const QStatusBar* bar)
{
    std::vector<const QWidget*> panels;
    for (const QObject* child : bar->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget != nullptr && !widget->isWindow() && widget->isVisible() &&
            qobject_cast<const QSizeGrip*>(widget) == nullptr)
            panels.push_back(widget);
    }
    std::sort(panels.begin(), panels.end(), [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    return panels;
}

} // namespace

int TabStyleOf(const QTabBar* Bar)
{
    if (const QTabWidget* tabs = TabWidgetOf(Bar); tabs != nullptr && tabs->property("TabStyle").isValid())
        return tabs->property("TabStyle").toInt();
    return IntProperty(Bar, "TabStyle", tsTabs);
}

void PaintPageControl(const TKqPaintState& s, QPainter& p)
{
    auto* tabs = qobject_cast<QTabWidget*>(s.Control);
    if (tabs == nullptr)
        return;
    const TKqPageControlColors& c = CurrentSkinColors().PageControl();
    const QColor face = SkinRGB(c.Face(), tabs);
    if (tabs->palette().color(QPalette::Window) != face) {
        QPalette palette = tabs->palette();
        palette.setColor(QPalette::Window, face);
        tabs->setPalette(palette);
    }
    const auto* stack = tabs->findChild<const QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly);
    const QRect d = stack != nullptr ? stack->geometry() : tabs->rect();
    const QRect client = tabs->rect();
    QRect page = client;
    QRect strip;
    const int l = client.x();
    const int t = client.y();
    const int r = RightOf(client);
    const int b = BottomOf(client);
    switch (SideOf(tabs->tabPosition())) {
    case Side::Top:
        page.setTop(d.y() - 2);
        strip = FromEdges(l, t, r, d.y() - 2);
        break;
    case Side::Bottom:
        page = FromEdges(l, t, r, BottomOf(d) + 2);
        strip = FromEdges(l, BottomOf(d) + 2, r, b);
        break;
    case Side::Left:
        page.setLeft(d.x() - 2);
        strip = FromEdges(l, t, d.x() - 2, b);
        break;
    case Side::Right:
        page = FromEdges(l, t, RightOf(d) + 2, b);
        strip = FromEdges(RightOf(d) + 2, t, r, b);
        break;
    }
    p.fillRect(page, face);
    FrameRect(p, page, SkinRGB(c.Border(), tabs));
    if (strip.width() > 0 && strip.height() > 0)
        p.fillRect(strip, ParentColorOf(tabs));
}

void DrawTabButton(QPainter& Canvas, const QTabBar* Bar, int Index, bool IsActive, const QPoint& Cursor)
{
    if (Bar == nullptr || Index < 0 || Index >= Bar->count())
        return;
    const TKqTabButtonColors& c = CurrentSkinColors().TabButton();
    const auto rgb = [Bar](TColor v) { return SkinRGB(v, Bar); };
    const int style = TabStyleOf(Bar);
    const bool tabStyle = style == tsTabs;
    const Side side = SideOf(Bar->shape());
    const bool horizontal = side == Side::Top || side == Side::Bottom;
    QRect tab = Bar->tabRect(Index);
    if (tabStyle) {
        // A tab is one pixel narrower than its place; the active one stands out by 2 on three sides.
        if (horizontal)
            tab.setWidth(tab.width() - 1);
        else
            tab.setHeight(tab.height() - 1);
        if (IsActive) {
            switch (side) {
            case Side::Top: tab.adjust(-2, -2, 2, 0); break;
            case Side::Bottom: tab.adjust(-2, 0, 2, 2); break;
            case Side::Left: tab.adjust(-2, -2, 0, 2); break;
            case Side::Right: tab.adjust(0, -2, 2, 2); break;
            }
        }
    }
    const bool hot = tab.contains(Cursor);
    const QWidget* owner = TabWidgetOf(Bar) != nullptr ? static_cast<const QWidget*>(TabWidgetOf(Bar)) : Bar;
    // One pixel longer along the strip; a tab reaches 4 pixels further toward the page, of which 3 are left out
    // below, so that it stays open to its page.
    const int extra = tabStyle ? 4 : 0;
    QImage bitmap(tab.width() + (horizontal ? 1 : extra), tab.height() + (horizontal ? extra : 1),
                  QImage::Format_RGB32);
    bitmap.fill(ParentColorOf(owner));
    const QRect f(0, 0, bitmap.width() - 1, bitmap.height() - 1);
    const bool enabled = Bar->isEnabled() && Bar->isTabEnabled(Index);
    {
        QPainter bp(&bitmap);
        if (style != tsFlatButtons || IsActive || hot) {
            if (!enabled)
                FillGradient(bp, f, 1, rgb(c.FaceDisable()), rgb(c.LightDisable()));
            else
                FillGradient(bp, f, 4,
                             rgb(IsActive ? c.LightSelect()
                                 : hot    ? c.LightOn()
                                          : c.Light()),
                             rgb(IsActive ? c.FaceSelect()
                                 : hot    ? c.FaceOn()
                                          : c.Face()));
            FrameRect(bp, f, rgb(c.Border()));
        }
        QPixmap glyph;
        if (const QIcon icon = Bar->tabIcon(Index); !icon.isNull()) {
            QImage image = icon.pixmap(Bar->iconSize()).toImage();
            if (!enabled)
                GreyBitmap(image, 20);
            glyph = QPixmap::fromImage(image);
        }
        bp.setFont(Bar->font());
        bp.setPen(rgb(!enabled ? c.TextDisable() : IsActive ? c.TextSelect() : hot ? c.TextOn() : c.Text()));
        LayoutGlyphAndText(bp, f, glyph, Bar->tabText(Index), true, false, horizontal ? glGlyphLeft : glGlyphTop, 4,
                           -1);
        if (IsActive && (Bar->hasFocus() || owner->hasFocus()))
            DrawFocusDots(bp, Inset(f, 3), Qt::black);
    }
    QRect source = bitmap.rect();
    QPoint at = tab.topLeft();
    if (tabStyle) {
        switch (side) {
        case Side::Top: source.setHeight(source.height() - 3); break;
        case Side::Bottom: source.setTop(3); break;
        case Side::Left: source.setWidth(source.width() - 3); break;
        case Side::Right: source.setLeft(3); break;
        }
    }
    // An inactive tab at the bottom sits one pixel lower, where the bar has that row to spare.
    if (!IsActive && side == Side::Bottom && BottomOf(tab) < Bar->height())
        at.ry() += 1;
    Canvas.drawImage(at, bitmap, source);
}

void PaintTabBar(const TKqPaintState& s, QPainter& p)
{
    const auto* bar = qobject_cast<const QTabBar*>(s.Control);
    if (bar == nullptr)
        return;
    const int current = bar->currentIndex();
    for (int i = 0; i < bar->count(); ++i)
        if (i != current && bar->isTabVisible(i))
            DrawTabButton(p, bar, i, false, s.Cursor);
    if (current >= 0)
        DrawTabButton(p, bar, current, true, s.Cursor);
}

void PaintStatusBar(const TKqPaintState& s, QPainter& p)
{
    const auto* bar = qobject_cast<const QStatusBar*>(s.Control);
    if (bar == nullptr)
        return;
    const TKqStatusBarColors& c = CurrentSkinColors().StatusBar();
    const int w = bar->width();
    const int h = bar->height();
    const int b = IntProperty(bar, "BorderWidth", 0);
    const QColor back = bar->palette().color(QPalette::Window);
    FillGradient(p, FromEdges(-3, 0, w + 3, 4), 1, SkinRGB(c.Border(), bar), SkinRGB(c.Face(), bar));
    if (b > 0) {
        p.fillRect(FromEdges(b, 3, w, b + 3), back);
        p.fillRect(FromEdges(b, h - 2 - b, w, h - 2), back);
    }
    p.fillRect(FromEdges(b, 3, b + 1, h - 1), back);
    const std::vector<const QWidget*> panels = PanelsOf(bar);
    for (size_t i = 0; i + 1 < panels.size(); ++i) {
        const int x = RightOf(panels[i]->geometry());
        p.fillRect(FromEdges(x - 1, 3, x + 3, h - 1), back);
        p.fillRect(FromEdges(x + 1, b + 4, x + 2, h - b - 3), SkinRGB(c.Divider(), bar));
    }
    if (ShowsSizeGrip(bar))
        DrawGrip(p, bar);
}

void PaintStatusBarGrip(const TKqPaintState& s, QPainter& p)
{
    const QWidget* grip = s.Control;
    const auto* bar = grip != nullptr ? qobject_cast<const QStatusBar*>(grip->parentWidget()) : nullptr;
    if (bar == nullptr || !ShowsSizeGrip(bar))
        return;
    p.save();
    p.translate(-grip->pos());
    DrawGrip(p, bar);
    p.restore();
}

void PaintToolBarFrame(const TKqPaintState& s, QPainter& p)
{
    const QWidget* bar = s.Control;
    if (bar == nullptr)
        return;
    const TKqToolBarColors& c = CurrentSkinColors().ToolBar();
    const int edges = IntProperty(bar, "EdgeBorders", ebTop);
    // A side without an edge border has its frame just outside the bar.
    QRect r = bar->rect().adjusted((edges & ebLeft) ? 0 : -1, (edges & ebTop) ? 0 : -1, (edges & ebRight) ? 0 : 1,
                                   (edges & ebBottom) ? 0 : 1);
    FrameRect(p, r, SkinRGB(c.Border(), bar));
    FrameRect(p, Inset(r, 1), SkinRGB(c.Face(), bar));
}

void PaintToolButton(const TKqPaintState& s, QPainter& p)
{
    const QWidget* w = s.Control;
    if (w == nullptr)
        return;
    const auto* bar = qobject_cast<const QToolBar*>(w->parentWidget());
    const QColor barColor = (bar != nullptr ? static_cast<const QWidget*>(bar) : w)->palette().color(QPalette::Window);
    const QRect client = w->rect();
    const auto* button = qobject_cast<const QToolButton*>(w);
    if (button == nullptr) {
        // A separator of the tool bar is a divider: a line across the bar.
        p.fillRect(client, barColor);
        const QColor divider = SkinRGB(CurrentSkinColors().ToolBar().Divider(), w);
        if (bar != nullptr && bar->orientation() == Qt::Vertical)
            p.fillRect(FromEdges(client.x() + 3, client.height() / 2, RightOf(client) - 3, client.height() / 2 + 1),
                       divider);
        else
            p.fillRect(FromEdges(client.width() / 2, client.y() + 3, client.width() / 2 + 1, BottomOf(client) - 3),
                       divider);
        return;
    }
    const bool flat =
        bar != nullptr && bar->property("Flat").isValid() ? bar->property("Flat").toBool() : button->autoRaise();
    const bool hot = client.contains(s.Cursor);
    const bool down = button->isChecked();
    if (hot || down || !flat)
        FrameRect(p, client, barColor);
    const Qt::ToolButtonStyle buttonStyle = button->toolButtonStyle();
    const bool listMode = buttonStyle == Qt::ToolButtonTextBesideIcon;
    TKqSpeedFace face;
    if (buttonStyle != Qt::ToolButtonIconOnly)
        face.Text = button->text();
    if (!button->icon().isNull() && buttonStyle != Qt::ToolButtonTextOnly) {
        const QIcon::Mode mode = !w->isEnabled() ? QIcon::Disabled : hot ? QIcon::Active : QIcon::Normal;
        face.Glyph = button->icon().pixmap(button->iconSize(), w->devicePixelRatioF(), mode);
    }
    face.Centre = !listMode;
    face.Hot = hot;
    face.Pushed = hot && s.LButtonDown;
    face.Down = down;
    face.Enabled = w->isEnabled();
    face.Flat = flat;
    face.DropDown = button->popupMode() == QToolButton::MenuButtonPopup;
    face.Spacing = listMode ? 2 : 1;
    face.Margin = -1;
    face.ParentColor = barColor;
    face.Layout = listMode ? glGlyphLeft : glGlyphTop;
    p.save();
    p.setFont((bar != nullptr ? static_cast<const QWidget*>(bar) : w)->font());
    DrawSpeedFace(p, client, face, w);
    p.restore();
}

int SpeedButtonCell(int NumGlyphs, bool Enabled, bool LButtonDown, bool Down)
{
    if (!Enabled && NumGlyphs >= 2)
        return 1;
    if (LButtonDown && NumGlyphs > 2)
        return 2;
    if (Down && NumGlyphs > 3)
        return 3;
    return 0;
}

QPixmap SpeedButtonGlyph(const QImage& Strip, int NumGlyphs, int Cell, bool Enabled)
{
    if (Strip.isNull() || NumGlyphs < 1)
        return {};
    const int cellWidth = Strip.width() / NumGlyphs;
    if (cellWidth <= 0)
        return {};
    QImage cell = Strip.copy(Cell * cellWidth, 0, cellWidth, Strip.height()).convertToFormat(QImage::Format_ARGB32);
    // The cell's top-left colour is its background: left out where the glyph is drawn.
    const QRgb background = cell.pixel(0, 0);
    for (int y = 0; y < cell.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cell.width(); ++x)
            if (line[x] == background)
                line[x] = qRgba(0, 0, 0, 0);
    }
    if (NumGlyphs == 1 && !Enabled)
        GreyBitmap(cell, 20);
    return QPixmap::fromImage(cell);
}

void PaintSpeedButton(const TKqPaintState& s, QPainter& p)
{
    const auto* button = qobject_cast<const QToolButton*>(s.Control);
    if (button == nullptr)
        return;
    const int numGlyphs = std::max(1, IntProperty(button, "NumGlyphs", 1));
    const bool enabled = button->isEnabled();
    const bool down = button->isChecked();
    const int cell = SpeedButtonCell(numGlyphs, enabled, s.LButtonDown, down);
    const QIcon icon = button->icon();
    const QImage strip = icon.isNull() ? QImage() : icon.pixmap(icon.actualSize(QSize(4096, 4096))).toImage();
    TKqSpeedFace face;
    face.Text = button->text();
    face.Margin = IntProperty(button, "Margin", -1);
    face.Spacing = IntProperty(button, "Spacing", 4);
    face.Layout = IntProperty(button, "Layout", glGlyphLeft);
    face.Centre = face.Margin == -1;
    face.Hot = s.MouseOver;
    face.Pushed = (s.MouseOver && s.LButtonDown) || s.Pressed;
    face.Down = down;
    face.Enabled = enabled;
    face.Flat = button->autoRaise();
    face.ParentColor = ParentColorOf(button);
    face.Glyph = SpeedButtonGlyph(strip, numGlyphs, cell, enabled);
    p.save();
    p.setFont(button->font());
    DrawSpeedFace(p, button->rect(), face, button);
    p.restore();
}

void DrawSpeedFace(QPainter& Canvas, const QRect& R, const TKqSpeedFace& Face, const QWidget* Control)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    const TKqSpeedButtonColors& c = CurrentSkinColors().SpeedButton();
    const auto rgb = [Control](TColor v) { return SkinRGB(v, Control); };
    QImage bitmap(R.size(), QImage::Format_RGB32);
    QPainter bp(&bitmap);
    bp.setFont(Canvas.font());
    QRect r = bitmap.rect();
    QColor border;
    if (Face.Flat)
        border = Face.Down || Face.Hot ? rgb(c.BorderOn()) : Face.ParentColor;
    else
        border = rgb(!Face.Enabled           ? c.BorderDisable()
                     : Face.Pushed           ? c.BorderPress()
                     : Face.Down || Face.Hot ? c.BorderOn()
                                             : c.Border());
    FrameRect(bp, r, border);
    r = Inset(r, 1);
    if (Face.Flat && !Face.Down && !Face.Hot)
        FillGradient(bp, r, 1, Face.ParentColor, Face.ParentColor);
    else if (!Face.Enabled)
        FillGradient(bp, r, 1, rgb(c.FaceDisable()), rgb(c.FaceDisable()));
    else if (Face.Pushed || Face.Down)
        FillGradient(bp, r, 4, rgb(c.LightPress()), rgb(c.FacePress()));
    else if (Face.Hot)
        FillGradient(bp, r, 4, rgb(c.LightOn()), rgb(c.FaceOn()));
    else
        FillGradient(bp, r, 4, rgb(c.Light()), rgb(c.Face()));
    if (Face.DropDown) {
        if (Face.Hot)
            bp.fillRect(FromEdges(RightOf(r) - 14, r.y() + 5, RightOf(r) - 13, BottomOf(r) - 5),
                        rgb(Face.Enabled ? c.BorderOn() : c.BorderDisable()));
        const TKqArrowBtnColors& arrow = CurrentSkinColors().ArrowBtn();
        bp.setPen(rgb(Face.Enabled ? arrow.Mark() : arrow.MarkDisable()));
        DrawArrow(bp, FromEdges(RightOf(r) - 12, r.y() + 3, RightOf(r) - 4, BottomOf(r) - 3), adDown, 0);
        r.setWidth(r.width() - 15);
    }
    bp.setPen(rgb(!Face.Enabled ? c.TextDisable() : Face.Pushed ? c.TextPress() : Face.Hot ? c.TextOn() : c.Text()));
    LayoutGlyphAndText(bp, r, Face.Glyph, Face.Text, Face.Centre, Face.Down || (Face.Hot && Face.Pushed), Face.Layout,
                       Face.Spacing, Face.Margin);
    bp.end();
    Canvas.drawImage(R.topLeft(), bitmap);
}

} // namespace tarvix
