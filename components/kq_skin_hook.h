// The skin engine's hook on one control. A hook is an event filter on its control: it sees the control's events
// first, keeps the state flags the painters look at (mouse over, left button down, space held) and, on every
// paint, lets the control paint itself and then paints over it with the skin's painter for the control's kind
// (components/kq_skin_paint.h), all within the same paint event: Qt allows a QPainter on a widget only while the
// widget's paint event is being delivered, and the filter runs inside that delivery. Other events go on to the
// control unchanged; the hook only notes them and asks for a repaint when the skin's look changes. The hook has
// the control paint itself by calling the control's own event handler, so event filters installed on the control
// before the hook see none of its paint events (those installed after it see them first, as always).
//
// The control roles on our platform, in the order the painters are chosen (the painters' headers say more of
// each role):
//   list view       QTreeView and QTreeWidget showing their header (components/kq_skin_paint_lists.h)
//   string grid     QTableView and QTableWidget
//   edit frame      QLineEdit (edit), QPlainTextEdit and QTextEdit (memos), QListView and QListWidget (list box),
//                   QTreeView with its header hidden and the folder dialog's tree (tree view)
//   header          the viewport of a QHeaderView: the header of a list view or a header control (its own
//                   painting is left out), or the fixed cells of a string grid (the header of a QTableView)
//   bitmap button   a QPushButton with an icon (the message dialog's buttons when they show glyphs)
//   push button     any other QPushButton
//   speed button    a QToolButton that is not on a tool bar (components/kq_skin_paint_bars.h)
//   tool button     a QToolButton on a QToolBar, and the tool bar's separators
//   check box       QCheckBox
//   radio button    QRadioButton
//   group box       QGroupBox
//   up-down         QAbstractSpinBox (its arrows), class name TKqInternalUpDown
//                   (components/kq_skin_paint_arrows.h)
//   progress frame  QProgressBar (the platform's progress bar) and the library's gauge (class name TKqGauge)
//   page control    QTabWidget, and the tabs of a QTabBar
//   combo box       QComboBox
//   status bar      QStatusBar, and the size grip on it
//   tool bar        QToolBar; class name TExToolBar is hooked for its colour only
//   menus           QMenuBar and QMenu, hooked by the engine's InitMenus (components/kq_skin_paint_menus.h), not
//                   as controls
// Labels (QLabel without a picture) are recoloured once but not hooked. Everything else is not recognised: panels,
// notebooks, frames used as bevels or spacers, image labels, scroll bars, the scroll arrows of a tab bar and the
// extension button of a menu bar.
//
// The Windows messages a hook reacts to arrive on our platform as these events and signals:
//   window destroyed           QObject::destroyed of the control
//   focus gained / lost, exit  QEvent::FocusIn / QEvent::FocusOut (one FocusOut stands for both lost and exit)
//   paint                      QEvent::Paint
//   set check                  QAbstractButton::toggled
//   key down / key up          QEvent::KeyPress / QEvent::KeyRelease (auto-repeated releases are not a key up)
//   mouse move, left down/up   QEvent::MouseMove, QEvent::MouseButtonPress / MouseButtonRelease of the left button
//   parent colour changed      QEvent::PaletteChange
//   enabled changed            QEvent::EnabledChange
//   mouse enter / leave        QEvent::Enter / QEvent::Leave
// The painters that skin the part of a control under the cursor (up-downs, headers, tool buttons, tabs) repaint on
// every mouse move; Qt reports moves without a button held only to a control that tracks the mouse, so hooking
// such a control turns its mouse tracking on. Where the cursor is comes from QCursor::pos() at each paint.
// Text changes need no event of their own: Qt repaints a control whose text changed through its paint event, and
// the hook paints over every paint. Non-client paints, get-check and set-state have no counterpart in Qt (Qt draws
// a pressed button in its paint event too); HandleMessage still reacts to them when it is given one. Every event
// reaches the control, a check box's focus-lost event included: Qt lets go there of a box that the space bar holds
// down, and the skin repaints it in the paint that follows.
//
// Every hook is owned by the engine that created it. It lives until its control is destroyed (then it deletes
// itself) or until its owner deletes it; either way the event filter goes with it, so a control never calls into
// a freed hook.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>

#include "components/component.h"
#include "components/kq_skin_paint.h"

class QEvent;
class QPainter;

namespace tarvix {

// The kinds of control the skin recognises, in the order the painters are chosen.
enum class TKqSkinKind {
    None,
    ListView,
    StringGrid,
    EditLike,
    HeaderWindow, // a header control's or a list view's header (its viewport)
    GridHeader,   // a string grid's fixed cells (the viewport of one of its headers)
    BitBtn,
    Button,
    SpeedButton,
    ToolButton,
    CheckBox,
    RadioButton,
    GroupBox,
    UpDown,
    ProgressBar,
    Gauge,
    PageControl,
    TabBar,
    ComboBox,
    StatusBar,
    SizeGrip,
    ToolBar,
    ExToolBar, // hooked for its colour, painted by nobody
    MenuBar,
    Menu,
};

// The kind of a control; None for a control the skin does not hook.
TKqSkinKind SkinKind(const QWidget* X);
// The class name of an object without its namespace ("TKqGauge" for tarvix::TKqGauge): the name the class-name
// tests of the engine compare.
QString SkinClassName(const QObject* X);
// The "Tag" property of a form or control; 0 when it has none.
int SkinTag(const QObject* X);

// The message a hook sees in an event of its control; 0 for an event it does not handle.
uint32_t SkinMessageOf(const QEvent& Event);
// True for the messages a hook handles.
bool HandlesMessage(uint32_t Msg);

class THookWindowProc : public QObject, public TComponent {
    Q_OBJECT
public:
    // Hooks X; AOwner (the engine) owns the hook.
    THookWindowProc(QWidget* X, QObject* AOwner);
    // Unhooks the control when it is still alive.
    ~THookWindowProc() override;

    // The hook on a control, or nullptr.
    static THookWindowProc* HookOf(const QWidget* X);

    QWidget* Control() const { return FControl; }
    bool LButtonDown() const { return FLButtonDown; }
    bool MouseOver() const { return FMouseOver; }
    bool Pressed() const { return FPressed; }
    // The message handled last (smPaint, ...).
    uint32_t Msg() const { return FMsg; }
    // What the painters get: the control and the flags.
    TKqPaintState State() const;

    // The reaction to a handled message. A paint comes here after the control has painted itself; any other event
    // before the control sees it, which makes no difference, as those reactions only note state and ask for a
    // repaint. `Event` is the event the message came in (nullptr when it came as a signal).
    void HandleMessage(uint32_t Msg, const QEvent* Event = nullptr);
    // Inside a paint: the painter of the control's kind draws over it. Outside a paint the painters are told of
    // the message, and the control is repainted when the skin's look changes.
    void PaintControl();

protected:
    // The control's window procedure: everything handled goes through HandleMessage, whose errors are dropped
    // (the control has processed the event already, so it keeps working, only unskinned that once).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HookWndProc(QEvent* event);
    void HandlePaint(QEvent* event);

    QPointer<QWidget> FControl;
    const QWidget* FKey; // the control's address, which the registry of hooks knows it by
    bool FControlDestroyed = false;
    bool FLButtonDown = false;
    bool FMouseOver = false;
    bool FPressed = false;
    uint32_t FMsg = 0;
    // The painter open on the control while the hook handles a paint.
    QPainter* FCanvas = nullptr;
    // Set while the control paints itself, so that a paint it sends on from there goes its own way.
    bool FInOwnPaint = false;
};

// HookControl of the engine: recognises X, hooks it (AOwner owns the hook) and gives it its initial colours from
// CurrentSkinColors(). A label that is not hooked gets the label colour when it uses the window-text colour.
// Returns the new hook, or nullptr when X is not a kind the skin hooks (or is already hooked). Menus are not
// controls: HookMenu hooks them.
THookWindowProc* HookControl(QWidget* X, QObject* AOwner);
// Makes a menu bar or menu owner-drawn and hooks it (AOwner owns the hook), then the menus of its items, down
// the whole tree. Returns the hook on Menu (nullptr when it is no menu).
THookWindowProc* HookMenu(QWidget* Menu, QObject* AOwner);

} // namespace tarvix
