// The skin's owner-drawn menus: the menu bar and its drop-down menus, measured and drawn by the skin.
//
// On our platform a menu bar is a QMenuBar and a drop-down or pop-up menu a QMenu; a menu item is a QAction of
// them (a separator action is a separator item, a checkable checked action a checked item, the menu's default
// action its default item, the action's icon its image). Qt has no owner-drawn menus: a menu is made owner-drawn
// by giving it the skin's menu style, whose item sizes go through MenuMeasureItem, and by hooking it like a
// control, so that after Qt has drawn it, every item is drawn again by MenuDrawItem in the same paint. "Hot" is
// the highlighted item of a drop-down menu, or the bar item under the mouse while its menu is closed; "selected"
// is the bar item (or drop-down item) whose sub-menu is open. The bar is filled right of its last item up to its
// own right edge, which in Qt is the form's inner right edge, maximised or not.
#pragma once

#include <QRect>

#include "components/kq_skin_paint.h"

class QAction;
class QPainter;
class QStyle;
class QWidget;

namespace tarvix {

// The size of an item, grown from what the platform measured: a drop-down item by 74 (the 24 of the icon column
// and 50) and 5; a bar item with an image by 5 in width; a bar item without one keeps its size.
void MenuMeasureItem(bool MainMenuItem, bool HasImage, int& Width, int& Height);

// Draws one item of Menu (a QMenuBar or a QMenu) on R.
void MenuDrawItem(QPainter& Canvas, const QWidget* Menu, const QAction* Item, const QRect& R, bool Hot, bool Selected);

// A hooked menu bar or menu: every visible item over what Qt drew.
void PaintMenu(const TKqPaintState& s, QPainter& p);

// The style that makes a menu owner-drawn: the application's style with the item sizes of MenuMeasureItem. It
// lives as long as the application.
QStyle* MenuStyle();
// Gives Menu (a QMenuBar or QMenu) the menu style; true when it did not have it yet.
bool MakeOwnerDrawn(QWidget* Menu);

} // namespace tarvix
