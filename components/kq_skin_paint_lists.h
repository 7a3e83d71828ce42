// The skin's header sections and the painters of the controls that show them: headers, list views and string
// grids. Like every painter (components/kq_skin_paint.h) they draw over what the control drew, inside its paint
// event, in the colours of CurrentSkinColors().
//
// The roles on our platform:
//   header control   a QHeaderView of its own (not the header of a tree or table view). Qt paints a header's
//                    sections on its viewport, so the hook sits on the viewport, and the header never paints
//                    itself while hooked: the skin draws every section and the empty rest.
//   list view        a QTreeView (QTreeWidget) that shows its header: Qt's view with columns, in report style.
//                    Its header is painted like a header control; the view gets the edit frame and the surround
//                    of its header. With its header hidden the view is a plain tree (or a list in another style)
//                    and gets the edit frame only.
//   string grid      QTableView (QTableWidget). Its fixed cells are its two headers: the column titles are the
//                    fixed row, the row titles the fixed column. The grid gets the edit frame and the corner
//                    between its scroll bars; each header lets Qt paint it, and then gets one section per fixed
//                    cell, the current column's title selected. A hidden header is a grid without that fixed row
//                    or column.
// A section rectangle is the section's own rectangle on the header's viewport; a header's texts, alignments and
// images are its model's header data (display, text-alignment and decoration roles).
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include "components/kq_skin_paint.h"

class QHeaderView;
class QPainter;

namespace tarvix {

// Where DrawHeaderSection puts the image: none, left of the text, right of it.
enum TKqImagePosition { ipNone = 0, ipLeft = 1, ipRight = 2 };
// Text alignments in a section.
enum TKqSectionAlignment { saLeft = 0, saRight = 1, saCentre = 2 };

// One header section on R, composed off-screen: the gradient face (selected or pushed, pushed winning), the image
// and the text placed by Alignment and ImagePosition, the bottom border and, when RightDivider, the divider at
// its right. The section covers R and one column to its right (the next section covers that again). The text is
// in the painter's current font; Control resolves system colours.
void DrawHeaderSection(QPainter& Canvas, const QRect& R, const QImage& Image, bool Selected, bool Pushed,
                       bool RightDivider, int Alignment, const QString& Text, int ImagePosition,
                       const QWidget* Control = nullptr);

// The header of s.Control (the viewport of a header), or nullptr.
QHeaderView* HeaderOfViewport(const QWidget* Viewport);

// A header control or a list view's header (s.Control is the header's viewport): every section, pushed while the
// left button is down and the cursor lies in it (8 pixels in from its sides), then an empty section over the rest
// when more than 2 pixels remain.
void PaintHeaderWindow(const TKqPaintState& s, QPainter& p);
// The fixed cells of a string grid (s.Control is the viewport of one of its headers).
void PaintGridHeader(const TKqPaintState& s, QPainter& p);
// A list view: the edit frame and, in report style, the surround of its header in the header's colours.
void PaintListViewFrame(const TKqPaintState& s, QPainter& p);
// A string grid: the edit frame and, when both scroll bars show, the corner between them in Header.Light.
void PaintStringGrid(const TKqPaintState& s, QPainter& p);

} // namespace tarvix
