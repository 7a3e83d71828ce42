#include "components/kq_skin_paint_arrows.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QWidget>

#include "components/kq_skin_colors.h"

namespace tarvix {

void DrawArrow(QPainter& Canvas, const QRect& R, int Direction, int Size)
{
    const QColor color = Canvas.pen().color();
    const int cx = R.x() + R.width() / 2;
    const int cy = R.y() + R.height() / 2;
    for (int k = 0; k <= Size + 3; ++k) {
        // Line k runs from cx - k (or cy - k) up to, not including, cx + k + 1.
        switch (Direction) {
        case adDown: Canvas.fillRect(QRect(cx - k, cy + Size - k + 2, 2 * k + 1, 1), color); break;
        case adUp: Canvas.fillRect(QRect(cx - k, cy + k - Size - 1, 2 * k + 1, 1), color); break;
        case adRight: Canvas.fillRect(QRect(cx + Size - k + 2, cy - k, 1, 2 * k + 1), color); break;
        case adLeft: Canvas.fillRect(QRect(cx + k - Size - 2, cy - k, 1, 2 * k + 1), color); break;
        default: return;
        }
    }
}

void DrawArrowButton(QPainter& Canvas, const QRect& R, bool Enabled, int Size, int Direction, bool Pushed, bool Hot,
                     const QWidget* Control)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    const TKqArrowBtnColors& c = CurrentSkinColors().ArrowBtn();
    const auto rgb = [Control](TColor v) { return SkinRGB(v, Control); };
    const TKqSkinLook look = LookOf(Enabled, Pushed, Hot);
    QImage bitmap(R.size(), QImage::Format_RGB32);
    {
        QPainter bp(&bitmap);
        const QRect whole = bitmap.rect();
        PaintGlassFace(bp, whole, look, c, Control);
        bp.setPen(rgb(Enabled ? c.Mark() : c.MarkDisable()));
        DrawArrow(bp, whole, Direction, Size);
    }
    Canvas.drawImage(R.topLeft(), bitmap);
}

QRect ComboButtonRect(const QWidget* Control)
{
    QRect r = Inset(Control->rect(), 2);
    r.setLeft(RightOf(r) - Control->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Control));
    return r;
}

void PaintComboBox(const TKqPaintState& s, QPainter& p)
{
    const auto* combo = qobject_cast<const QComboBox*>(s.Control);
    if (combo == nullptr)
        return;
    PaintEditFrame(s, p);
    const QRect r = ComboButtonRect(combo);
    // A drop-down list opens wherever it is clicked, so its button is hot wherever the mouse is over it.
    const bool hot = s.MouseOver && (r.contains(s.Cursor) || !combo->isEditable());
    DrawArrowButton(p, r, combo->isEnabled(), 1, adDown, s.LButtonDown, hot, combo);
}

TKqUpDownArea UpDownArea(const QWidget* Control)
{
    const auto* spin = qobject_cast<const QAbstractSpinBox*>(Control);
    if (spin == nullptr)
        return {Control->rect(), false};
    if (spin->buttonSymbols() == QAbstractSpinBox::NoButtons)
        return {QRect(), true};
    QStyleOptionSpinBox option;
    option.initFrom(spin);
    option.frame = spin->hasFrame();
    option.buttonSymbols = spin->buttonSymbols();
    option.subControls =
        QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField;
    option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    const QStyle* style = spin->style();
    const QRect up = style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, spin);
    const QRect down = style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxDown, spin);
    return {up.united(down) & spin->rect(), true};
}

void PaintUpDown(const TKqPaintState& s, QPainter& p)
{
    const QWidget* w = s.Control;
    if (w == nullptr)
        return;
    // Our spin box is the edit and its up-down in one control.
    if (qobject_cast<const QAbstractSpinBox*>(w) != nullptr)
        PaintEditFrame(s, p);
    const TKqUpDownArea area = UpDownArea(w);
    QRect r = area.Area;
    if (r.width() <= 0 || r.height() <= 0)
        return;
    // The window colour of the platform, not the control's own (the skin may have recoloured it).
    FrameRect(p, r, SkinRGB(clWindow, nullptr));
    if (area.Inset)
        r = Inset(r, 1);
    const int half = r.height() / 2;
    const bool upperSide = s.Cursor.y() < r.y() + half;
    const QRect upper = FromEdges(r.x(), r.y(), RightOf(r), BottomOf(r) - half);
    const QRect lower = FromEdges(r.x(), r.y() + half, RightOf(r), BottomOf(r));
    const bool enabled = w->isEnabled();
    DrawArrowButton(p, upper, enabled, 0, adUp, s.LButtonDown && upperSide, s.MouseOver && upperSide, w);
    DrawArrowButton(p, lower, enabled, 0, adDown, s.LButtonDown && !upperSide, s.MouseOver && !upperSide, w);
}

} // namespace tarvix
