#include "components/kq_skin_hook.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSet>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <iterator>

#include "components/kq_color_qt.h"
#include "components/kq_skin_colors.h"
#include "components/kq_skin_paint_arrows.h"
#include "components/kq_skin_paint_bars.h"
#include "components/kq_skin_paint_lists.h"
#include "components/kq_skin_paint_menus.h"

namespace tarvix {
namespace {

// Which hook sits on which control. A control is never hooked twice, by any engine.
QHash<const QWidget*, THookWindowProc*>& hooks()
{
    static QHash<const QWidget*, THookWindowProc*> registry;
    return registry;
}

// A colour value in RGB, system colours resolved the way the platform resolves them: through the application's
// palette, not through a control's own (a control may have replaced its colours).
TColor SystemRGB(TColor color)
{
    return FromQColor(ToQColor(color, QApplication::palette()));
}

// The colour a control shows in a role when it is enabled.
TColor ControlRGB(const QWidget* X, QPalette::ColorRole role)
{
    return FromQColor(X->palette().color(QPalette::Active, role));
}

// Gives the control `color` in `role`. A text colour is set for the enabled look only, so that disabled controls
// keep the platform's grey text; a background is set for every state.
void SetControlColor(QWidget* X, QPalette::ColorRole role, TColor color, bool background)
{
    const QColor rgb = ToQColor(color, QApplication::palette());
    QPalette palette = X->palette();
    if (background) {
        palette.setColor(role, rgb);
    } else {
        palette.setColor(QPalette::Active, role, rgb);
        palette.setColor(QPalette::Inactive, role, rgb);
    }
    X->setPalette(palette);
}

bool IsTextLabel(const QLabel* label)
{
    // A label that shows a picture stands for an image, which has no text colour to give.
    return label->pixmap().isNull() && label->movie() == nullptr && label->picture().isNull();
}

// The label colour for a label whose font colour is the window-text colour.
void RecolourLabel(QLabel* label, const TKqSkinColors& colors)
{
    const TColor text = colors.Labels().Text();
    if (text != clNone && ControlRGB(label, QPalette::WindowText) == SystemRGB(clWindowText))
        SetControlColor(label, QPalette::WindowText, text, false);
}

// The edit colours for edit-like controls that still have the window colours.
void RecolourEditLike(QWidget* X, const TKqSkinColors& colors)
{
    const TColor face = colors.Edit().Face();
    if (face != clNone && ControlRGB(X, QPalette::Base) == SystemRGB(clWindow))
        SetControlColor(X, QPalette::Base, face, true);
    const TColor text = colors.Edit().Text();
    if (text != clNone && ControlRGB(X, QPalette::Text) == SystemRGB(clWindowText))
        SetControlColor(X, QPalette::Text, text, false);
}

// The platform's progress bar gets the skin's background and bar colours once.
void ColourProgressBar(QWidget* X, const TKqSkinColors& colors)
{
    SetControlColor(X, QPalette::Window, colors.ProgressBar().Background(), true);
    SetControlColor(X, QPalette::Base, colors.ProgressBar().Background(), true);
    SetControlColor(X, QPalette::Highlight, colors.ProgressBar().Bar(), true);
}

bool IsSpace(const QEvent* event)
{
    if (event == nullptr || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return false;
    return static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Space;
}

// A colour a hooked control shows on its own background.
void SetControlFace(QWidget* X, TColor color)
{
    SetControlColor(X, QPalette::Window, color, true);
    X->setAutoFillBackground(true);
}

// The kinds whose painters look at which part of the control the cursor is over: they repaint as it moves.
bool FollowsTheCursor(TKqSkinKind kind)
{
    return kind == TKqSkinKind::UpDown || kind == TKqSkinKind::HeaderWindow || kind == TKqSkinKind::GridHeader ||
           kind == TKqSkinKind::ToolButton || kind == TKqSkinKind::TabBar;
}

bool IsEditLikeKind(TKqSkinKind kind)
{
    return kind == TKqSkinKind::EditLike || kind == TKqSkinKind::ListView || kind == TKqSkinKind::StringGrid ||
           kind == TKqSkinKind::ComboBox || kind == TKqSkinKind::UpDown;
}

void PaintKind(TKqSkinKind kind, const TKqPaintState& s, QPainter& p)
{
    switch (kind) {
    case TKqSkinKind::ListView: PaintListViewFrame(s, p); break;
    case TKqSkinKind::StringGrid: PaintStringGrid(s, p); break;
    case TKqSkinKind::EditLike: PaintEditFrame(s, p); break;
    case TKqSkinKind::HeaderWindow: PaintHeaderWindow(s, p); break;
    case TKqSkinKind::GridHeader: PaintGridHeader(s, p); break;
    case TKqSkinKind::SpeedButton: PaintSpeedButton(s, p); break;
    case TKqSkinKind::ToolButton: PaintToolButton(s, p); break;
    case TKqSkinKind::UpDown: PaintUpDown(s, p); break;
    case TKqSkinKind::PageControl: PaintPageControl(s, p); break;
    case TKqSkinKind::TabBar: PaintTabBar(s, p); break;
    case TKqSkinKind::ComboBox: PaintComboBox(s, p); break;
    case TKqSkinKind::StatusBar: PaintStatusBar(s, p); break;
    case TKqSkinKind::SizeGrip: PaintStatusBarGrip(s, p); break;
    case TKqSkinKind::ToolBar: PaintToolBarFrame(s, p); break;
    case TKqSkinKind::MenuBar:
    case TKqSkinKind::Menu: PaintMenu(s, p); break;
    case TKqSkinKind::ExToolBar: break;
    case TKqSkinKind::BitBtn: PaintBitBtn(s, p); break;
    case TKqSkinKind::Button: PaintButton(s, p); break;
    case TKqSkinKind::CheckBox: PaintCheckBox(s, p); break;
    case TKqSkinKind::RadioButton: PaintRadioButton(s, p); break;
    case TKqSkinKind::GroupBox: PaintGroupBox(s, p); break;
    case TKqSkinKind::ProgressBar:
    case TKqSkinKind::Gauge: PaintProgressFrame(s, p); break;
    case TKqSkinKind::None: break;
    }
}

} // namespace

QString SkinClassName(const QObject* X)
{
    if (X == nullptr)
        return {};
    const QString name = QString::fromLatin1(X->metaObject()->className());
    const qsizetype colons = name.lastIndexOf(QStringLiteral("::"));
    return colons < 0 ? name : name.mid(colons + 2);
}

int SkinTag(const QObject* X)
{
    return X != nullptr ? X->property("Tag").toInt() : 0;
}

TKqSkinKind SkinKind(const QWidget* X)
{
    if (X == nullptr)
        return TKqSkinKind::None;
    // Tree views are edit-like too: the one with a header comes first.
    if (const auto* tree = qobject_cast<const QTreeView*>(X); tree != nullptr && !tree->isHeaderHidden())
        return TKqSkinKind::ListView;
    if (qobject_cast<const QTableView*>(X))
        return TKqSkinKind::StringGrid;
    if (qobject_cast<const QLineEdit*>(X) || qobject_cast<const QPlainTextEdit*>(X) ||
        qobject_cast<const QTextEdit*>(X) || qobject_cast<const QListView*>(X) || qobject_cast<const QTreeView*>(X))
        return TKqSkinKind::EditLike;
    if (const QHeaderView* header = HeaderOfViewport(X))
        return qobject_cast<const QTableView*>(header->parentWidget()) ? TKqSkinKind::GridHeader
                                                                       : TKqSkinKind::HeaderWindow;
    if (const auto* button = qobject_cast<const QPushButton*>(X))
        return button->icon().isNull() ? TKqSkinKind::Button : TKqSkinKind::BitBtn;
    if (qobject_cast<const QToolButton*>(X)) {
        if (qobject_cast<const QToolBar*>(X->parentWidget()))
            return TKqSkinKind::ToolButton;
        // A tab bar's scroll arrows and a menu bar's extension button belong to their bars.
        const QWidget* parent = X->parentWidget();
        return qobject_cast<const QTabBar*>(parent) || qobject_cast<const QMenuBar*>(parent) ? TKqSkinKind::None
                                                                                             : TKqSkinKind::SpeedButton;
    }
    const QString className = SkinClassName(X);
    if (className == QLatin1String("QToolBarSeparator"))
        return TKqSkinKind::ToolButton;
    if (qobject_cast<const QCheckBox*>(X))
        return TKqSkinKind::CheckBox;
    if (qobject_cast<const QRadioButton*>(X))
        return TKqSkinKind::RadioButton;
    if (qobject_cast<const QGroupBox*>(X))
        return TKqSkinKind::GroupBox;
    if (qobject_cast<const QAbstractSpinBox*>(X) || className == QLatin1String("TKqInternalUpDown"))
        return TKqSkinKind::UpDown;
    if (qobject_cast<const QProgressBar*>(X))
        return TKqSkinKind::ProgressBar;
    // The library's own controls are recognised by their exact class names.
    if (className == QLatin1String("TKqGauge"))
        return TKqSkinKind::Gauge;
    if (qobject_cast<const QTabWidget*>(X))
        return TKqSkinKind::PageControl;
    if (qobject_cast<const QTabBar*>(X))
        return TKqSkinKind::TabBar;
    if (qobject_cast<const QComboBox*>(X))
        return TKqSkinKind::ComboBox;
    if (qobject_cast<const QStatusBar*>(X))
        return TKqSkinKind::StatusBar;
    if (qobject_cast<const QSizeGrip*>(X) && qobject_cast<const QStatusBar*>(X->parentWidget()))
        return TKqSkinKind::SizeGrip;
    if (qobject_cast<const QToolBar*>(X))
        return TKqSkinKind::ToolBar;
    if (className == QLatin1String("TExToolBar"))
        return TKqSkinKind::ExToolBar;
    if (qobject_cast<const QMenuBar*>(X))
        return TKqSkinKind::MenuBar;
    if (qobject_cast<const QMenu*>(X))
        return TKqSkinKind::Menu;
    return TKqSkinKind::None;
}

uint32_t SkinMessageOf(const QEvent& Event)
{
    switch (Event.type()) {
    case QEvent::FocusIn: return smSetFocus;
    case QEvent::FocusOut: return smKillFocus;
    case QEvent::Paint: return smPaint;
    case QEvent::KeyPress: return smKeyDown;
    // Holding a key down makes Qt repeat releases along with the presses; only the last release lets it go.
    case QEvent::KeyRelease: return static_cast<const QKeyEvent&>(Event).isAutoRepeat() ? 0u : uint32_t{smKeyUp};
    case QEvent::MouseMove: return smMouseMove;
    case QEvent::MouseButtonPress:
        return static_cast<const QMouseEvent&>(Event).button() == Qt::LeftButton ? uint32_t{smLButtonDown} : 0u;
    case QEvent::MouseButtonRelease:
        return static_cast<const QMouseEvent&>(Event).button() == Qt::LeftButton ? uint32_t{smLButtonUp} : 0u;
    case QEvent::PaletteChange: return smParentColorChanged;
    case QEvent::EnabledChange: return smEnabledChanged;
    case QEvent::Enter: return smMouseEnter;
    case QEvent::Leave: return smMouseLeave;
    default: return 0;
    }
}

bool HandlesMessage(uint32_t Msg)
{
    static constexpr uint32_t handled[] = {
        smDestroy,        smSetFocus,    smKillFocus,  smPaint,      smNcPaint,     smGetCheck,  smSetCheck,
        smSetState,       smKeyDown,     smKeyUp,      smMouseMove,  smLButtonDown, smLButtonUp, smParentColorChanged,
        smEnabledChanged, smTextChanged, smMouseEnter, smMouseLeave, smExit,
    };
    return std::find(std::begin(handled), std::end(handled), Msg) != std::end(handled);
}

THookWindowProc::THookWindowProc(QWidget* X, QObject* AOwner) : QObject(AOwner), FControl(X), FKey(X)
{
    hooks().insert(X, this);
    X->installEventFilter(this);
    connect(X, &QObject::destroyed, this, [this] {
        FControlDestroyed = true;
        HandleMessage(smDestroy);
    });
    if (auto* button = qobject_cast<QAbstractButton*>(X))
        connect(button, &QAbstractButton::toggled, this, [this] { HandleMessage(smSetCheck); });
}

THookWindowProc::~THookWindowProc()
{
    auto& registry = hooks();
    if (registry.value(FKey) == this)
        registry.remove(FKey);
    if (FControl)
        FControl->removeEventFilter(this);
}

THookWindowProc* THookWindowProc::HookOf(const QWidget* X)
{
    return hooks().value(X, nullptr);
}

TKqPaintState THookWindowProc::State() const
{
    TKqPaintState s;
    s.Control = FControl;
    s.LButtonDown = FLButtonDown;
    s.MouseOver = FMouseOver;
    s.Pressed = FPressed;
    s.Msg = FMsg;
    if (FControl)
        s.Cursor = FControl->mapFromGlobal(QCursor::pos());
    return s;
}

bool THookWindowProc::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FControl.data())
        return false;
    return HookWndProc(event);
}

bool THookWindowProc::HookWndProc(QEvent* event)
{
    const uint32_t msg = SkinMessageOf(*event);
    if (!HandlesMessage(msg))
        return false;
    if (msg == smPaint) {
        // A paint that the control's own painting sends on to itself takes its normal way.
        if (FInOwnPaint)
            return false;
        HandlePaint(event);
        return true;
    }
    try {
        HandleMessage(msg, event);
    } catch (...) {
        // The control still gets the event: it keeps working, only unskinned this once.
    }
    return false;
}

void THookWindowProc::HandlePaint(QEvent* event)
{
    QWidget* control = FControl;
    try {
        {
            FInOwnPaint = true;
            const auto ownPaintDone = qScopeGuard([this] { FInOwnPaint = false; });
            // The control's own event handler, past the other filters: it paints what it always paints. A header
            // control paints nothing of its own while hooked: the skin paints all of it.
            if (SkinKind(control) != TKqSkinKind::HeaderWindow)
                static_cast<QObject*>(control)->event(event);
        }
        // A painter may be opened on the control only inside its paint event: not for a paint event sent to it
        // by hand.
        if (!FControl || !control->testAttribute(Qt::WA_WState_InPaintEvent))
            return;
        QPainter canvas(control);
        FCanvas = &canvas;
        const auto canvasDone = qScopeGuard([this] { FCanvas = nullptr; });
        HandleMessage(smPaint, event);
    } catch (...) {
        // Unskinned for this paint.
    }
}

void THookWindowProc::HandleMessage(uint32_t Msg, const QEvent* Event)
{
    FMsg = Msg;
    QWidget* control = FControl;
    switch (Msg) {
    case smDestroy:
        // Only the control's own destruction ends the hook: the hook unhooks itself and goes.
        if (FControlDestroyed)
            delete this;
        return;
    case smSetFocus:
    case smKillFocus:
    case smPaint:
    case smNcPaint:
    case smGetCheck:
    case smSetCheck:
    case smParentColorChanged:
    case smTextChanged:
    case smExit: PaintControl(); return;
    case smSetState:
        if (FMouseOver || FPressed)
            PaintControl();
        return;
    case smKeyDown:
        if (IsSpace(Event) && !FPressed) {
            FPressed = true;
            PaintControl();
        }
        return;
    case smKeyUp:
        if (IsSpace(Event)) {
            FPressed = false;
            PaintControl();
        }
        return;
    case smMouseMove:
        if (control != nullptr && control->isEnabled() && FollowsTheCursor(SkinKind(control)))
            PaintControl();
        return;
    case smLButtonDown:
        FLButtonDown = true;
        PaintControl();
        return;
    case smLButtonUp:
        FLButtonDown = false;
        PaintControl();
        return;
    case smEnabledChanged:
        if (control != nullptr && !control->isEnabled())
            FMouseOver = false;
        PaintControl();
        return;
    case smMouseEnter:
    case smMouseLeave:
        if (control != nullptr && control->isEnabled()) {
            FMouseOver = Msg == smMouseEnter;
            PaintControl();
        }
        return;
    default: return;
    }
}

void THookWindowProc::PaintControl()
{
    QWidget* control = FControl;
    if (control == nullptr)
        return;
    const TKqPaintState s = State();
    if (FCanvas != nullptr) {
        PaintKind(SkinKind(control), s, *FCanvas);
        return;
    }
    // Outside a paint nothing can be drawn on the control: the painters hear of the message and say whether the
    // skin's look changes; the repaint then comes through the control's paint event.
    if (SkinMessage(s))
        control->update();
}

THookWindowProc* HookControl(QWidget* X, QObject* AOwner)
{
    if (X == nullptr || THookWindowProc::HookOf(X) != nullptr)
        return nullptr;
    const TKqSkinColors& colors = CurrentSkinColors();
    const TKqSkinKind kind = SkinKind(X);
    if (kind == TKqSkinKind::None) {
        if (auto* label = qobject_cast<QLabel*>(X); label != nullptr && IsTextLabel(label))
            RecolourLabel(label, colors);
        return nullptr;
    }
    if (kind == TKqSkinKind::Menu || kind == TKqSkinKind::MenuBar)
        return nullptr;
    auto* hook = new THookWindowProc(X, AOwner);
    switch (kind) {
    case TKqSkinKind::ProgressBar: ColourProgressBar(X, colors); break;
    case TKqSkinKind::PageControl: SetControlColor(X, QPalette::Window, colors.PageControl().Face(), true); break;
    case TKqSkinKind::StatusBar:
        SetControlFace(X, colors.StatusBar().Face());
        SetControlColor(X, QPalette::WindowText, colors.Edit().Text(), false);
        break;
    case TKqSkinKind::ToolBar:
    case TKqSkinKind::ExToolBar: SetControlFace(X, colors.ToolBar().Face()); break;
    default: break;
    }
    if (IsEditLikeKind(kind))
        RecolourEditLike(X, colors);
    // Without a button held, Qt tells a control of mouse moves only when it tracks the mouse.
    if (FollowsTheCursor(kind))
        X->setMouseTracking(true);
    return hook;
}

namespace {

THookWindowProc* HookMenuTree(QWidget* Menu, QObject* AOwner, QSet<const QWidget*>& seen)
{
    const TKqSkinKind kind = SkinKind(Menu);
    if ((kind != TKqSkinKind::Menu && kind != TKqSkinKind::MenuBar) || seen.contains(Menu))
        return THookWindowProc::HookOf(Menu);
    seen.insert(Menu);
    MakeOwnerDrawn(Menu);
    THookWindowProc* hook = THookWindowProc::HookOf(Menu);
    if (hook == nullptr)
        hook = new THookWindowProc(Menu, AOwner);
    // A menu may be reached again through its own items: each is hooked once.
    for (const QAction* item : Menu->actions())
        if (QMenu* sub = item->menu())
            HookMenuTree(sub, AOwner, seen);
    return hook;
}

} // namespace

THookWindowProc* HookMenu(QWidget* Menu, QObject* AOwner)
{
    QSet<const QWidget*> seen;
    return HookMenuTree(Menu, AOwner, seen);
}

} // namespace tarvix
