#include "components/kq_skin_paint_lists.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <functional>

#include "components/kq_skin_colors.h"

namespace tarvix {
namespace {

// A section's alignment: its own, else the header's default.
int AlignmentOf(const QHeaderView* header, const QVariant& value)
{
    const Qt::Alignment alignment = value.isValid() ? Qt::Alignment(value.toInt()) : header->defaultAlignment();
    if (alignment & Qt::AlignRight)
        return saRight;
    if (alignment & Qt::AlignHCenter)
        return saCentre;
    return saLeft;
}

QImage ImageOf(const QHeaderView* header, const QVariant& value)
{
    const int size = header->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, header);
    if (value.canConvert<QIcon>()) {
        const QIcon icon = value.value<QIcon>();
        if (!icon.isNull())
            return icon.pixmap(size, size).toImage();
    }
    if (value.canConvert<QPixmap>())
        return value.value<QPixmap>().toImage();
    return {};
}

// What the painters need of one visible section of a header, in the viewport's coordinates.
struct Section {
    int Logical;
    QRect Rect;
};

// The visible sections in visual order; a section that would start at or before one already given (hidden or
// merged cells) is left out, and so is one scrolled out before the start. Returns where the last one ends.
int ForEachSection(const QHeaderView* header, const std::function<void(const Section&)>& visit)
{
    const QWidget* viewport = header->viewport();
    const bool horizontal = header->orientation() == Qt::Horizontal;
    int lastStart = -1;
    int end = 0;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || header->isSectionHidden(logical))
            continue;
        const int start = header->sectionViewportPosition(logical);
        const int size = header->sectionSize(logical);
        if (start + size <= 0 || start <= lastStart || size <= 0)
            continue;
        lastStart = start;
        end = std::max(end, start + size);
        visit({logical,
               horizontal ? QRect(start, 0, size, viewport->height()) : QRect(0, start, viewport->width(), size)});
    }
    return end;
}

QString TextOf(const QHeaderView* header, int logical)
{
    const QAbstractItemModel* model = header->model();
    return model != nullptr ? model->headerData(logical, header->orientation(), Qt::DisplayRole).toString() : QString();
}

QVariant DataOf(const QHeaderView* header, int logical, int role)
{
    const QAbstractItemModel* model = header->model();
    return model != nullptr ? model->headerData(logical, header->orientation(), role) : QVariant();
}

} // namespace

void DrawHeaderSection(QPainter& Canvas, const QRect& R, const QImage& Image, bool Selected, bool Pushed,
                       bool RightDivider, int Alignment, const QString& Text, int ImagePosition, const QWidget* Control)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    const TKqHeaderColors& c = CurrentSkinColors().Header();
    const auto rgb = [Control](TColor v) { return SkinRGB(v, Control); };
    // The bitmap's last row is left transparent: only R itself and the column right of it are covered.
    QImage bitmap(R.width() + 1, R.height() + 1, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::transparent);
    const int W = bitmap.width();
    const int H = bitmap.height();
    {
        QPainter bp(&bitmap);
        bp.setFont(Canvas.font());
        const QFontMetrics fm(Canvas.font());
        constexpr int flags = Qt::TextWordWrap | Qt::AlignTop;
        const QRect measured =
            Text.isEmpty() ? QRect() : fm.boundingRect(QRect(0, 0, R.width(), R.height()), flags, Text);
        const int tw = measured.width();
        const int th = measured.height();

        if (Pushed)
            FillGradient(bp, QRect(0, 0, W, H - 1), 1, rgb(c.LightPress()), rgb(c.FacePress()));
        else if (Selected)
            FillGradient(bp, QRect(0, 0, W, H - 1), 1, rgb(c.LightSelect()), rgb(c.FaceSelect()));
        else
            FillGradient(bp, QRect(0, 0, W, H - 1), 1, rgb(c.Light()), rgb(c.Face()));

        const int iw = Image.isNull() ? 0 : Image.width();
        const int imageTop = Image.isNull() ? 0 : (H - 1 - Image.height()) / 2;
        QRect textRect;
        switch (ImagePosition) {
        case ipLeft: {
            const int x = Alignment == saCentre  ? std::max(iw + 6, (W - tw) / 2)
                          : Alignment == saRight ? std::max(iw + 6, W - tw - 4)
                                                 : iw + 6;
            if (!Image.isNull())
                bp.drawImage(3, imageTop, Image);
            textRect = FromEdges(x, 0, W - 3, H - 1);
            break;
        }
        case ipRight: {
            const int x = Alignment == saCentre  ? std::max(3, (W - tw) / 2)
                          : Alignment == saRight ? std::max(3, W - iw - tw - 4)
                                                 : 3;
            if (!Image.isNull())
                bp.drawImage(W - iw - 3, imageTop, Image);
            textRect = FromEdges(x, 0, x + tw, H - 1);
            break;
        }
        default: {
            const int x = Alignment == saCentre  ? std::max(3, (W - tw) / 2)
                          : Alignment == saRight ? std::max(3, W - tw - 4)
                                                 : 3;
            textRect = FromEdges(x, 0, x + tw, H - 1);
            break;
        }
        }
        if (!Text.isEmpty()) {
            textRect.translate(0, (textRect.height() - th) / 2);
            bp.setPen(rgb(Pushed ? c.TextPress() : Selected ? c.TextSelect() : c.Text()));
            bp.drawText(textRect, flags | (Alignment == saCentre ? Qt::AlignHCenter : Qt::AlignLeft), Text);
        }
        bp.fillRect(QRect(0, H - 2, W, 1), rgb(c.Border()));
        if (RightDivider)
            bp.fillRect(QRect(W - 2, 0, 1, H), rgb(c.Divider()));
    }
    Canvas.drawImage(R.topLeft(), bitmap);
}

QHeaderView* HeaderOfViewport(const QWidget* Viewport)
{
    if (Viewport == nullptr)
        return nullptr;
    auto* header = qobject_cast<QHeaderView*>(Viewport->parentWidget());
    return header != nullptr && header->viewport() == Viewport ? header : nullptr;
}

void PaintHeaderWindow(const TKqPaintState& s, QPainter& p)
{
    const QHeaderView* header = HeaderOfViewport(s.Control);
    if (header == nullptr)
        return;
    p.save();
    p.setFont(header->font());
    const int end = ForEachSection(header, [&](const Section& section) {
        const QImage image = ImageOf(header, DataOf(header, section.Logical, Qt::DecorationRole));
        const bool pushed = s.LButtonDown && section.Rect.adjusted(8, 0, -8, 0).contains(s.Cursor);
        DrawHeaderSection(p, section.Rect, image, false, pushed, true,
                          AlignmentOf(header, DataOf(header, section.Logical, Qt::TextAlignmentRole)),
                          TextOf(header, section.Logical), image.isNull() ? ipNone : ipLeft, header);
    });
    const QRect client = s.Control->rect();
    const QRect rest = header->orientation() == Qt::Horizontal ? FromEdges(end, 0, RightOf(client), BottomOf(client))
                                                               : FromEdges(0, end, RightOf(client), BottomOf(client));
    if ((header->orientation() == Qt::Horizontal ? rest.width() : rest.height()) > 2)
        DrawHeaderSection(p, rest, QImage(), false, false, false, saCentre, QString(), ipNone, header);
    p.restore();
}

void PaintGridHeader(const TKqPaintState& s, QPainter& p)
{
    const QHeaderView* header = HeaderOfViewport(s.Control);
    if (header == nullptr)
        return;
    const auto* grid = qobject_cast<const QTableView*>(header->parentWidget());
    const int currentColumn = grid != nullptr && grid->currentIndex().isValid() ? grid->currentIndex().column() : -1;
    p.save();
    p.setFont(header->font());
    ForEachSection(header, [&](const Section& section) {
        // Only a column title can be the current column's; a row title stands in a fixed column.
        const bool selected = header->orientation() == Qt::Horizontal && section.Logical == currentColumn;
        const bool pushed = s.LButtonDown && section.Rect.adjusted(4, 0, -4, 0).contains(s.Cursor);
        DrawHeaderSection(p, section.Rect, QImage(), selected, pushed, true, saLeft, TextOf(header, section.Logical),
                          ipRight, header);
    });
    p.restore();
}

void PaintListViewFrame(const TKqPaintState& s, QPainter& p)
{
    const auto* view = qobject_cast<const QTreeView*>(s.Control);
    if (view == nullptr)
        return;
    PaintEditFrame(s, p);
    const QHeaderView* header = view->header();
    if (header == nullptr || view->isHeaderHidden() || !header->isVisible())
        return;
    // The ring of pixels around the header, inside the edit frame, takes the header's colours, so that the
    // header meets the frame without the platform's edge between them.
    const QRect g = header->geometry();
    if (g.x() < 2 || g.y() < 2)
        return;
    const TKqHeaderColors& c = CurrentSkinColors().Header();
    const auto rgb = [view](TColor v) { return SkinRGB(v, view); };
    p.fillRect(QRect(g.x() - 1, g.y() - 1, g.width() + 2, 1), rgb(c.Light()));
    for (const int x : {g.x() - 1, RightOf(g)}) {
        FillGradient(p, FromEdges(x, g.y() - 1, x + 1, BottomOf(g)), 1, rgb(c.Light()), rgb(c.Face()));
        p.fillRect(QRect(x, BottomOf(g) - 1, 1, 1), rgb(c.Border()));
    }
}

void PaintStringGrid(const TKqPaintState& s, QPainter& p)
{
    const auto* grid = qobject_cast<const QAbstractScrollArea*>(s.Control);
    if (grid == nullptr)
        return;
    PaintEditFrame(s, p);
    const QScrollBar* vertical = grid->verticalScrollBar();
    const QScrollBar* horizontal = grid->horizontalScrollBar();
    if (vertical == nullptr || horizontal == nullptr || !vertical->isVisible() || !horizontal->isVisible())
        return;
    // A scroll bar sits in a container of the grid's; the corner lies right of the one and below the other.
    const auto placed = [grid](const QScrollBar* bar) {
        const QWidget* holder = bar->parentWidget();
        return holder != nullptr && holder != grid ? holder->geometry() : bar->geometry();
    };
    const QRect v = placed(vertical);
    const QRect h = placed(horizontal);
    p.fillRect(FromEdges(v.x(), h.y(), RightOf(v), BottomOf(h)), SkinRGB(CurrentSkinColors().Header().Light(), grid));
}

} // namespace tarvix
