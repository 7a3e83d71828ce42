// The skin's painters and the drawing routines they share. A hook of the skin engine (components/kq_skin_hook.h)
// lets its control paint itself and then, in the same paint, hands a painter a QPainter open on the control; the
// painter draws over what the control drew, in the colours of CurrentSkinColors() (components/kq_skin_colors.h).
// The check box and the radio button are composed on an off-screen image and drawn in one operation, so they do
// not flicker.
//
// The control roles on our platform: a push button is a QPushButton without an icon; a bitmap button is a
// QPushButton with an icon (the message dialog's buttons); check box QCheckBox (its partially checked state is the
// grayed state); radio button QRadioButton; group box QGroupBox; the edit-like controls are QLineEdit,
// QPlainTextEdit, QTextEdit, QTreeView and QListView/QListWidget (and QComboBox, which always has a frame, and a
// spin box with a frame); the progress frame is for QProgressBar and the library's gauge TKqGauge. A control's Tag is its "Tag" property (an
// int, 0 when absent). A control's colour is the Window role of its palette; an edit-like control's is Base.
// Captions of buttons, check boxes and radio buttons are one line (these Qt controls do not wrap), with an end
// ellipsis, and show their mnemonic. A bitmap button takes its glyph from the icon (the disabled image when it is
// disabled, the active image while the left button is down) and may carry the int properties "Layout"
// (TKqGlyphLayout, default glyph left), "Spacing" (default 4) and "Margin" (default -1: the pair is centred).
//
// Rectangles in the routines are QRects whose right and bottom edges are exclusive: x() + width() is the right
// edge. Colours handed to the routines are already resolved to RGB.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>

#include "components/kq_color.h"

class QPainter;
class QWidget;

namespace tarvix {

// The Windows message numbers a hook handles, as the painters see them in TKqPaintState::Msg.
enum TKqSkinMsg : uint32_t {
    smDestroy = 0x0002,
    smSetFocus = 0x0007,
    smKillFocus = 0x0008,
    smPaint = 0x000F,
    smNcPaint = 0x0085,
    smGetCheck = 0x00F0,
    smSetCheck = 0x00F1,
    smSetState = 0x00F3,
    smKeyDown = 0x0100,
    smKeyUp = 0x0101,
    smMouseMove = 0x0200,
    smLButtonDown = 0x0201,
    smLButtonUp = 0x0202,
    smParentColorChanged = 0xB009,
    smEnabledChanged = 0xB00C,
    smTextChanged = 0xB012,
    smMouseEnter = 0xB013,
    smMouseLeave = 0xB014,
    smExit = 0xB01B,
};

// What a painter knows of the hooked control: the control and the hook's state flags.
struct TKqPaintState {
    QWidget* Control = nullptr;
    bool LButtonDown = false; // the left button went down on the control and has not come up
    bool MouseOver = false;   // the mouse is over the control
    bool Pressed = false;     // the space bar is held down on the control
    uint32_t Msg = 0;         // the message the hook is handling (smPaint, ...)
    // Where the mouse cursor is, in the control's coordinates: the painters that skin one part of a control (the
    // half of an up-down, a header section, a combo box's button) look at it.
    QPoint Cursor{-1, -1};
};

// Rectangles with exclusive right and bottom edges.
inline int RightOf(const QRect& R)
{
    return R.x() + R.width();
}
inline int BottomOf(const QRect& R)
{
    return R.y() + R.height();
}
inline QRect FromEdges(int Left, int Top, int Right, int Bottom)
{
    return QRect(Left, Top, Right - Left, Bottom - Top);
}
inline QRect Inset(const QRect& R, int N)
{
    return R.adjusted(N, N, -N, -N);
}

// The look a painter gives a control: disabled when the control is not enabled (tested first); pushed when
// (LButtonDown and MouseOver) or Pressed; hot when MouseOver; else normal.
enum class TKqSkinLook { Normal, Hot, Pushed, Disabled };
TKqSkinLook SkinLook(const TKqPaintState& s);
// The look from explicit flags, in the same order: disabled, pushed, hot, normal.
TKqSkinLook LookOf(bool Enabled, bool Pushed, bool Hot);
// The colour of the four for the look.
TColor ByLook(TKqSkinLook Look, TColor Normal, TColor Hot, TColor Pushed, TColor Disabled);
// A one-pixel frame on R, right on its outermost pixels.
void FrameRect(QPainter& Canvas, const QRect& R, const QColor& Color);
// A platform focus rectangle on R for Control.
void DrawPlatformFocusRect(QPainter& Canvas, const QWidget* Control, const QRect& R, const QColor& Color);

// The painters. A hook runs them only inside the control's paint event, after the control has painted itself,
// with Msg = smPaint; each does nothing without a control.
void PaintButton(const TKqPaintState& s, QPainter& p);      // push button
void PaintBitBtn(const TKqPaintState& s, QPainter& p);      // bitmap button
void PaintCheckBox(const TKqPaintState& s, QPainter& p);    // check box
void PaintRadioButton(const TKqPaintState& s, QPainter& p); // radio button
void PaintEditFrame(const TKqPaintState& s, QPainter& p);   // edit-like controls with a sunken frame
void PaintGroupBox(const TKqPaintState& s, QPainter& p);    // group box
// The progress frame counts in Tag the paints since the last other message (up to 2) and frames the control on
// the first two of them only; after that the control's own edge shows until another message comes.
void PaintProgressFrame(const TKqPaintState& s, QPainter& p); // progress bar and TKqGauge

// A hook cannot draw outside the control's paint event. For a handled message other than a paint that would
// repaint the skin, it calls this (s.Msg = that message) and asks for a repaint when it returns true. It keeps
// what painters remember between messages: a progress bar's or gauge's paint counter (Tag) goes back to 0. It
// returns false for a group box and a tab widget on a mouse move, enter, leave or left button up, so hovering
// does not redraw them.
bool SkinMessage(const TKqPaintState& s);

// A skin colour in RGB: a system colour resolves through the control's palette (the application's without a
// control).
QColor SkinRGB(TColor color, const QWidget* control);

// Fills R in 256 steps from From to To. Style 1 vertical (From at the top), 2 diagonal (From top-left, To
// bottom-right), 3 horizontal (From at the left), 4 glass (the upper half from From to a quarter of the way to
// To, the lower half from To to 55 % of the way back). Any other style fills nothing.
void FillGradient(QPainter& Canvas, const QRect& R, int Style, const QColor& From, const QColor& To);
// A one-pixel dotted frame on R.
void DrawFocusDots(QPainter& Canvas, const QRect& R, const QColor& Color);
// A tick three pixels thick in the painter's current pen, placed in the 11 x 11 area at R's top-left corner.
void DrawTick(QPainter& Canvas, const QRect& R);
// Draws the 12 x 12 radio glyph centred in R on Bitmap (outline, flood-filled inside, gradient face, inner ring,
// the dot when checked) in the RadioButton colours (system colours resolved through Control's palette).
void DrawRadioGlyph(QImage& Bitmap, const QRect& R, bool Enabled, bool Checked, bool Pushed, bool Hot,
                    const QWidget* Control = nullptr);
// Softens edges in place: each pixel pulls its four (wrapping) neighbours that differ from it toward itself, the
// more the smaller Amount is. The image becomes Format_RGB32.
void SmoothBitmap(QImage& Bitmap, int Amount);
// Turns every pixel grey: (R + G + B) div 3 + Amount, values above 245 becoming 246. Alpha is kept.
void GreyBitmap(QImage& Bitmap, int Amount);

// Glyph positions relative to the text, as LayoutGlyphAndText takes them.
enum TKqGlyphLayout { glGlyphLeft = 0, glGlyphRight = 1, glGlyphTop = 2, glGlyphBottom = 3 };
// Where LayoutGlyphAndText put the glyph and the text.
struct TKqGlyphTextRects {
    QRect Glyph;
    QRect Text;
};
// Places a glyph and a one-line caption in R and draws them: the text centred in its rectangle with an end
// ellipsis, in the painter's current font and pen, on a clear brush. Centre centres the pair; otherwise the glyph
// keeps Margin from the side it is on. Pushed moves both by (1, 1).
TKqGlyphTextRects LayoutGlyphAndText(QPainter& Canvas, const QRect& R, const QPixmap& Glyph, const QString& Text,
                                     bool Centre, bool Pushed, int Layout, int Spacing, int Margin);

// The glass face and border of the button-like controls, in a colour set with Light, Face and Border and their
// On, Press and Disable forms (Button, ArrowBtn): the glass from Light to Face of the look, flat in FaceDisable
// when disabled, then a frame on R in the look's Border. System colours resolve through Control's palette.
template <class Colors>
void PaintGlassFace(QPainter& Canvas, const QRect& R, TKqSkinLook Look, const Colors& c, const QWidget* Control)
{
    const auto rgb = [Control](TColor v) { return SkinRGB(v, Control); };
    if (Look == TKqSkinLook::Disabled)
        FillGradient(Canvas, R, 1, rgb(c.FaceDisable()), rgb(c.FaceDisable()));
    else
        FillGradient(Canvas, R, 4, rgb(ByLook(Look, c.Light(), c.LightOn(), c.LightPress(), c.Light())),
                     rgb(ByLook(Look, c.Face(), c.FaceOn(), c.FacePress(), c.Face())));
    FrameRect(Canvas, R, rgb(ByLook(Look, c.Border(), c.BorderOn(), c.BorderPress(), c.BorderDisable())));
}

} // namespace tarvix
