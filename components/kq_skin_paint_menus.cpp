#include "components/kq_skin_paint_menus.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>

#include "components/kq_skin_colors.h"
#include "components/kq_skin_paint_arrows.h"

namespace tarvix {
namespace {

// The application's style with the owner-drawn item sizes.
class TKqMenuStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        QSize measured = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type != CT_MenuItem && type != CT_MenuBarItem)
            return measured;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        // A bar item is at least as wide as its caption with the 6 pixels the skin keeps on either side of it,
        // and the icon column when it has an image, as the platform measures an owner-drawn bar item.
        if (type == CT_MenuBarItem && item != nullptr && widget != nullptr) {
            QString caption = item->text;
            caption.remove(QLatin1Char('&'));
            const int wanted = widget->fontMetrics().horizontalAdvance(caption) + 12 + (item->icon.isNull() ? 0 : 24);
            measured.setWidth(std::max(measured.width(), wanted));
        }
        int width = measured.width();
        int height = measured.height();
        MenuMeasureItem(type == CT_MenuBarItem, item != nullptr && !item->icon.isNull(), width, height);
        return QSize(width, height);
    }
};

bool IsLastBarItem(const QMenuBar* bar, const QAction* item)
{
    const QList<QAction*> actions = bar->actions();
    for (auto it = actions.crbegin(); it != actions.crend(); ++it)
        if ((*it)->isVisible())
            return *it == item;
    return false;
}

QPixmap ItemImage(const QWidget* menu, const QAction* item)
{
    if (item->icon().isNull())
        return {};
    const int size = menu->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu);
    QImage image = item->icon().pixmap(size, size).toImage();
    // A disabled item shows its image in brightened greys.
    if (!item->isEnabled())
        GreyBitmap(image, 20);
    return QPixmap::fromImage(image);
}

} // namespace

void MenuMeasureItem(bool MainMenuItem, bool HasImage, int& Width, int& Height)
{
    if (!MainMenuItem) {
        Width += 74;
        Height += 5;
    } else if (HasImage) {
        Width += 5;
    }
}

void MenuDrawItem(QPainter& Canvas, const QWidget* Menu, const QAction* Item, const QRect& R, bool Hot, bool Selected)
{
    if (Menu == nullptr || Item == nullptr || R.isEmpty())
        return;
    const TKqSkinColors& colors = CurrentSkinColors();
    const auto rgb = [Menu](TColor v) { return SkinRGB(v, Menu); };
    const auto* bar = qobject_cast<const QMenuBar*>(Menu);
    const bool mainItem = bar != nullptr;
    Canvas.save();
    Canvas.setBrush(Qt::NoBrush);

    if (mainItem && IsLastBarItem(bar, Item)) {
        const TKqMainMenuColors& m = colors.MainMenu();
        FillGradient(Canvas, FromEdges(RightOf(R), R.y(), bar->width(), BottomOf(R)), 1, rgb(m.Light()), rgb(m.Face()));
    }
    const int iconWidth = mainItem && Item->icon().isNull() ? 0 : 24;
    const QRect iconColumn = FromEdges(R.x(), R.y(), R.x() + iconWidth, BottomOf(R));
    const QRect textColumn = FromEdges(R.x() + iconWidth, R.y(), RightOf(R), BottomOf(R));
    QRect r = R;
    if (mainItem) {
        const TKqMainMenuColors& m = colors.MainMenu();
        if (Hot) {
            FrameRect(Canvas, r, rgb(m.BorderOn()));
            r = Inset(r, 1);
        } else if (Selected) {
            FrameRect(Canvas, r, rgb(m.BorderPress()));
            r = Inset(r, 1);
        }
        if (Hot)
            FillGradient(Canvas, r, 1, rgb(m.LightOn()), rgb(m.FaceOn()));
        else if (!Selected)
            FillGradient(Canvas, r, 1, rgb(m.Light()), rgb(m.Face()));
        else
            FillGradient(Canvas, r, 1, rgb(m.LightPress()), rgb(m.FacePress()));
    } else {
        const TKqMenuItemColors& m = colors.MenuItem();
        if (Hot || Selected) {
            FrameRect(Canvas, r, rgb(m.BorderOn()));
            FillGradient(Canvas, Inset(r, 1), 4, rgb(m.LightOn()), rgb(m.FaceOn()));
        } else {
            FillGradient(Canvas, iconColumn, 3, rgb(m.IconLight()), rgb(m.Icon()));
            FillGradient(Canvas, textColumn, 3, rgb(m.Light()), rgb(m.Face()));
        }
        if (Item->isCheckable() && Item->isChecked()) {
            QPen pen(rgb(m.Mark()), 1);
            pen.setCapStyle(Qt::FlatCap);
            Canvas.setPen(pen);
            DrawTick(Canvas, QRect(iconColumn.x() + (iconColumn.width() - 9) / 2,
                                   iconColumn.y() + (iconColumn.height() - 10) / 2, 9, 10));
        }
    }

    if (const QPixmap image = ItemImage(Menu, Item); !image.isNull())
        LayoutGlyphAndText(Canvas, iconColumn, image, QString(), true, false, glGlyphLeft, 0, -1);

    if (Item->isSeparator()) {
        const int y = (textColumn.y() + BottomOf(textColumn)) / 2;
        Canvas.fillRect(FromEdges(textColumn.x() + 6, y, RightOf(textColumn), y + 1), rgb(colors.MenuItem().Line()));
        Canvas.restore();
        return;
    }

    QColor textColor;
    if (mainItem) {
        const TKqMainMenuColors& m = colors.MainMenu();
        textColor = rgb(!Item->isEnabled() ? m.TextDisable() : Hot ? m.TextOn() : !Selected ? m.Text() : m.TextPress());
    } else {
        const TKqMenuItemColors& m = colors.MenuItem();
        textColor = rgb(!Item->isEnabled() ? m.TextDisable() : Hot || Selected ? m.TextOn() : m.Text());
    }
    QFont font = Menu->font();
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    const auto* menu = qobject_cast<const QMenu*>(Menu);
    font.setBold(menu != nullptr && menu->defaultAction() == Item);
    Canvas.setFont(font);
    Canvas.setPen(textColor);
    // Qt carries a shortcut given as text after a tab in the caption.
    const QString caption = Item->text();
    const qsizetype tab = caption.indexOf(QLatin1Char('\t'));
    QString shortcut = tab >= 0 ? caption.mid(tab + 1) : QString();
    if (shortcut.isEmpty() && !Item->shortcut().isEmpty())
        shortcut = Item->shortcut().toString(QKeySequence::NativeText);
    const QRect text = textColumn.adjusted(6, 0, -6, 0);
    constexpr int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    Canvas.drawText(text, flags | Qt::AlignLeft, tab >= 0 ? caption.left(tab) : caption);
    if (!mainItem && !shortcut.isEmpty())
        Canvas.drawText(text, flags | Qt::AlignRight, shortcut);
    // An item that opens a sub-menu shows the way to it at its right, as the platform draws it for owner-drawn
    // items too.
    if (!mainItem && Item->menu() != nullptr)
        DrawArrow(Canvas,
                  FromEdges(RightOf(textColumn) - 12, textColumn.y(), RightOf(textColumn) - 4, BottomOf(textColumn)),
                  adRight, 0);
    Canvas.restore();
}

void PaintMenu(const TKqPaintState& s, QPainter& p)
{
    if (const auto* bar = qobject_cast<const QMenuBar*>(s.Control)) {
        const QAction* active = bar->activeAction();
        const bool open = active != nullptr && active->menu() != nullptr && active->menu()->isVisible();
        for (QAction* item : bar->actions()) {
            const QRect r = bar->actionGeometry(item);
            if (!item->isVisible() || r.isEmpty())
                continue;
            MenuDrawItem(p, bar, item, r, item == active && !open, item == active && open);
        }
        return;
    }
    if (const auto* menu = qobject_cast<const QMenu*>(s.Control)) {
        const QAction* active = menu->activeAction();
        for (QAction* item : menu->actions()) {
            const QRect r = menu->actionGeometry(item);
            if (!item->isVisible() || r.isEmpty())
                continue;
            const bool open = item->menu() != nullptr && item->menu()->isVisible();
            MenuDrawItem(p, menu, item, r, item == active && !open, open);
        }
    }
}

QStyle* MenuStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new TKqMenuStyle;
        // Gone with the application, after every menu that could use it.
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

bool MakeOwnerDrawn(QWidget* Menu)
{
    if (Menu == nullptr || Menu->style() == MenuStyle())
        return false;
    Menu->setStyle(MenuStyle());
    return true;
}

} // namespace tarvix
