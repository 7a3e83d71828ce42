// The skin's arrow buttons and the painters of the controls that show them: the combo box's drop button and the
// up-down arrows. Like every painter (components/kq_skin_paint.h) they draw over what the control drew, inside its
// paint event, in the colours of CurrentSkinColors().
//
// The roles on our platform:
//   combo box   QComboBox: an editable one is a drop-down combo (its button is hot only while the cursor is over
//               the button), a non-editable one a drop-down list (hot wherever the mouse is over it). Qt has no
//               combo box whose list is always open, so the simple style never occurs.
//   up-down     QAbstractSpinBox (QSpinBox, QDoubleSpinBox, QDateTimeEdit): our spin box is an edit and its
//               vertical up-down in one control, so it gets the edit frame and then its two arrow buttons in the
//               rectangle where the style puts its arrows. A control whose class name is TKqInternalUpDown is a
//               bare up-down: always vertical, over its whole client rectangle, not inset.
// The button width of a combo box is the style's scroll-bar extent (the width of a vertical scroll bar's arrow).
#pragma once

#include <QRect>

#include "components/kq_skin_paint.h"

class QPainter;

namespace tarvix {

// The directions DrawArrow and DrawArrowButton take.
enum TKqArrowDirection { adDown = 0, adUp = 1, adRight = 2, adLeft = 3 };

// A filled triangle of Size + 4 one-pixel lines in the painter's current pen colour, around R's centre, its tip
// toward Direction.
void DrawArrow(QPainter& Canvas, const QRect& R, int Direction, int Size);
// An arrow button on R: the glass face (flat when disabled), a border and the arrow, in the ArrowBtn colours of
// the look (disabled first, then pushed, then hot). System colours resolve through Control's palette.
void DrawArrowButton(QPainter& Canvas, const QRect& R, bool Enabled, int Size, int Direction, bool Pushed, bool Hot,
                     const QWidget* Control = nullptr);

// The combo box: the edit frame, then the drop button at the right, pushed while the left button is down on it.
void PaintComboBox(const TKqPaintState& s, QPainter& p);
// The up-down arrows: a frame in the window colour, then the two halves, each hot or pushed only while the cursor
// is over it.
void PaintUpDown(const TKqPaintState& s, QPainter& p);

// Where the up-down arrows of a control lie (the spin box's arrow area; a bare up-down's client rectangle), and
// whether the buttons sit inset by 1 inside the frame the painter draws around it. Our up-downs are all vertical.
struct TKqUpDownArea {
    QRect Area;
    bool Inset = true;
};
TKqUpDownArea UpDownArea(const QWidget* Control);
// The drop button of a combo box.
QRect ComboButtonRect(const QWidget* Control);

} // namespace tarvix
