// The skin's painters of tab widgets, status bars, tool bars, tool buttons and speed buttons. Like every painter
// (components/kq_skin_paint.h) they draw over what the control drew, inside its paint event, in the colours of
// CurrentSkinColors().
//
// The roles on our platform:
//   page control  QTabWidget: the display rectangle is the geometry of its page stack; its tabs sit on its QTabBar,
//                 a child widget that Qt paints over it, so the tabs are drawn by the tab bar's painter (a
//                 QTabBar of its own is a strip of tabs the same way). The tab position is the widget's tab
//                 position (the bar's shape). The tab style is the int property "TabStyle" of the tab widget, or
//                 of the bar when it has no tab widget (TKqTabStyle; tabs when absent).
//   status bar    QStatusBar. Its panels are the widgets added to it, left to right; a bar without any shows a
//                 single simple panel (its message). Its border width is the int property "BorderWidth" (0 when
//                 absent). Its size grip is the QSizeGrip Qt puts on it when the size grip is enabled and the
//                 window is resizable; that grip is a child widget, so it is painted by the grip's own hook, with
//                 the bar's drawing moved to the grip's place.
//   tool bar      QToolBar; its edge borders are the int property "EdgeBorders" (TKqEdgeBorder bits; the top
//                 edge only when absent). It is flat unless its bool property "Flat" is false (Qt's tool bars
//                 draw flat buttons).
//   tool button   a QToolButton on a QToolBar: in list mode when it shows its text beside its icon, captions
//                 shown unless it shows its icon only, down when checked, of the drop-down style when its menu
//                 pops up from a button of its own. The separators Qt puts on a tool bar are dividers.
//   speed button  a QToolButton anywhere else (a QTabBar's scroll arrows excepted). Its icon, at its own size,
//                 is the glyph strip; the int property "NumGlyphs" says how many cells it holds (1 when absent):
//                 cell 0 normal, 1 disabled, 2 while the left button is down, 3 down. The strip's top-left pixel's
//                 colour is transparent in each cell. Down is checked, flat is autoRaise; "Layout" (glyph left),
//                 "Spacing" (4) and "Margin" (-1, centred) are int properties with these defaults, as for the
//                 bitmap button. Its caption is its text.
// "The left button is physically down" is the hook's LButtonDown: the button went down on the control and has
// not come up.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>

#include "components/kq_skin_paint.h"

class QPainter;
class QStatusBar;
class QTabBar;

namespace tarvix {

enum TKqTabStyle { tsTabs = 0, tsButtons = 1, tsFlatButtons = 2 };
enum TKqEdgeBorder { ebLeft = 1, ebTop = 2, ebRight = 4, ebBottom = 8 };

// The page control: the page area framed in PageControl.Border on its face, and the strip of its tabs in the
// parent's colour.
void PaintPageControl(const TKqPaintState& s, QPainter& p);
// The tabs of a tab bar: the other tabs first, the current one last.
void PaintTabBar(const TKqPaintState& s, QPainter& p);
// One tab of Bar, composed off-screen and drawn on its place; Cursor (in Bar's coordinates) makes it hot.
void DrawTabButton(QPainter& Canvas, const QTabBar* Bar, int Index, bool IsActive, const QPoint& Cursor);
// The tab style of a tab bar, from its tab widget or itself.
int TabStyleOf(const QTabBar* Bar);

// The status bar: the top band, the side strips, the dividers between panels and the size grip's dots.
void PaintStatusBar(const TKqPaintState& s, QPainter& p);
// A status bar's size grip (s.Control is the QSizeGrip): the bar's grip drawing in the grip's place.
void PaintStatusBarGrip(const TKqPaintState& s, QPainter& p);

// The tool bar's frame.
void PaintToolBarFrame(const TKqPaintState& s, QPainter& p);
// A tool button, or a separator of a tool bar.
void PaintToolButton(const TKqPaintState& s, QPainter& p);
// A speed button.
void PaintSpeedButton(const TKqPaintState& s, QPainter& p);
// The cell of a speed button's glyph strip that its state shows (see above), and that cell as it is drawn.
int SpeedButtonCell(int NumGlyphs, bool Enabled, bool LButtonDown, bool Down);
QPixmap SpeedButtonGlyph(const QImage& Strip, int NumGlyphs, int Cell, bool Enabled);

// The face of a speed button or tool button on R, composed off-screen: border, fill, the drop-down arrow, and
// glyph and caption (in the painter's current font) through LayoutGlyphAndText.
struct TKqSpeedFace {
    QString Text;
    bool Centre = true;
    bool Hot = false;
    bool Pushed = false;
    bool Down = false;
    bool Enabled = true;
    bool Flat = false;
    bool DropDown = false;
    int Spacing = 4;
    int Margin = -1;
    QColor ParentColor;
    int Layout = glGlyphLeft;
    QPixmap Glyph;
};
void DrawSpeedFace(QPainter& Canvas, const QRect& R, const TKqSpeedFace& Face, const QWidget* Control = nullptr);

} // namespace tarvix
