#include "components/kq_skin_plus.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QWidget>

#include <algorithm>

#include "components/kq_color_qt.h"
#include "components/kq_skin_hook.h"

namespace tarvix {
namespace {

// The forms of a report library that build their controls each time they are shown.
constexpr const char* BuiltInSpecialForms[] = {"TfrxPDFExportDialog", "TfrxPreviewForm"};

bool Contains(const std::vector<QPointer<QWidget>>& list, const QWidget* form)
{
    return std::any_of(list.begin(), list.end(), [form](const QPointer<QWidget>& p) { return p.data() == form; });
}

void Remove(std::vector<QPointer<QWidget>>& list, const QWidget* form)
{
    std::erase_if(list, [form](const QPointer<QWidget>& p) { return p.isNull() || p.data() == form; });
}

// The first form still alive of a pending list, taken out of it; nullptr when none is left.
QWidget* TakeFirst(std::vector<QPointer<QWidget>>& list)
{
    while (!list.empty()) {
        QPointer<QWidget> first = list.front();
        list.erase(list.begin());
        if (first)
            return first;
    }
    return nullptr;
}

std::vector<QWidget*> Alive(const std::vector<QPointer<QWidget>>& list)
{
    std::vector<QWidget*> forms;
    for (const QPointer<QWidget>& p : list)
        if (p)
            forms.push_back(p);
    return forms;
}

} // namespace

TKqSkinPlus::TKqSkinPlus(QObject* AOwner) : QObject(AOwner), FColors(std::make_unique<TKqSkinColors>())
{
    // The engine hears of new forms and of activations through the events of the whole application.
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

TKqSkinPlus::~TKqSkinPlus()
{
    FDestroying = true;
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    // The hooks go first, each taking its event filter off its control, while the colour set still exists.
    const QList<THookWindowProc*> hooks = findChildren<THookWindowProc*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(hooks);
}

bool TKqSkinPlus::IsForm(const QWidget* X)
{
    if (X == nullptr || !X->isWindow())
        return false;
    switch (X->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::Desktop:
    case Qt::ForeignWindow: return false;
    default: return true;
    }
}

void TKqSkinPlus::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    FActive = Value;
    if (FActive) {
        SetCurrentSkinColors(FColors.get());
        InitAllForms();
    }
}

void TKqSkinPlus::Loaded()
{
    SetCurrentSkinColors(FColors.get());
    if (FActive)
        InitAllForms();
}

void TKqSkinPlus::InitForm(QWidget* AForm)
{
    if (AForm == nullptr)
        return;
    const TColor face = CurrentSkinColors().Form().Face();
    if (face == clNone || (FSkipTag != 0 && SkinTag(AForm) == FSkipTag))
        return;
    QPalette palette = AForm->palette();
    palette.setColor(QPalette::Window, ToQColor(face, QApplication::palette()));
    AForm->setPalette(palette);
}

void TKqSkinPlus::InitControls(QWidget* WinCtl)
{
    if (WinCtl == nullptr)
        return;
    // The list is taken first: hooking and repainting may add or remove children.
    std::vector<QPointer<QWidget>> children;
    for (QObject* child : WinCtl->children())
        if (child != nullptr && child->isWidgetType())
            children.emplace_back(static_cast<QWidget*>(child));
    for (const QPointer<QWidget>& child : children) {
        // A window among the children is a form of its own, not a control of this one.
        if (!child || child->isWindow())
            continue;
        if (FSkipTag != 0 && SkinTag(child) == FSkipTag)
            continue;
        if (THookWindowProc::HookOf(child) == nullptr) {
            HookControl(child, this);
            if (child)
                child->repaint();
        }
        if (child && !child->children().isEmpty())
            InitControls(child);
    }
}

void TKqSkinPlus::InitAllForms()
{
    std::vector<QPointer<QWidget>> forms;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (IsForm(widget))
            forms.emplace_back(widget);
    for (const QPointer<QWidget>& form : forms) {
        InitForm(form);
        InitControls(form);
        InitMenus(form);
    }
}

void TKqSkinPlus::InitMenus(QWidget* FOwner)
{
    if (FOwner == nullptr)
        return;
    // A menu inside something whose Tag is SkipTag is left alone with it.
    const auto skipped = [this, FOwner](const QObject* o) {
        for (; FSkipTag != 0 && o != nullptr && o != FOwner; o = o->parent())
            if (SkinTag(o) == FSkipTag)
                return true;
        return false;
    };
    std::vector<QPointer<QWidget>> menus;
    for (QMenuBar* bar : FOwner->findChildren<QMenuBar*>())
        menus.emplace_back(bar);
    for (QMenu* menu : FOwner->findChildren<QMenu*>())
        menus.emplace_back(menu);
    for (const QPointer<QWidget>& menu : menus)
        if (menu && !skipped(menu))
            HookMenu(menu, this);
}

bool TKqSkinPlus::IsSpecialForm(const QString& Name) const
{
    if (FSpecialForms.contains(Name, Qt::CaseInsensitive))
        return true;
    return std::any_of(std::begin(BuiltInSpecialForms), std::end(BuiltInSpecialForms), [&Name](const char* builtIn) {
        return Name.compare(QLatin1String(builtIn), Qt::CaseInsensitive) == 0;
    });
}

void TKqSkinPlus::Notification(QWidget* AComponent, TOperation Operation)
{
    if (AComponent == nullptr)
        return;
    if (Operation == opInsert) {
        if (!FActive)
            return;
        if (!Contains(FFormList, AComponent)) {
            FFormList.emplace_back(AComponent);
            FFormMenuList.emplace_back(AComponent);
            PostMainWindowHook();
            return;
        }
    }
    // A form that goes leaves both lists whether or not the engine is active, so that none of them ever holds a
    // form that no longer exists.
    Remove(FFormList, AComponent);
    Remove(FFormMenuList, AComponent);
}

std::vector<QWidget*> TKqSkinPlus::FormList() const
{
    return Alive(FFormList);
}

std::vector<QWidget*> TKqSkinPlus::FormMenuList() const
{
    return Alive(FFormMenuList);
}

bool TKqSkinPlus::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Create:
        // Sent from the widget's constructor: only what QWidget knows of it may be looked at yet.
        if (watched->isWidgetType() && IsForm(static_cast<QWidget*>(watched)))
            Notification(static_cast<QWidget*>(watched), opInsert);
        break;
    case QEvent::WindowActivate:
        // Qt sends it to the activated window and to every widget in it; the window's own one counts.
        if (watched->isWidgetType() && watched == QApplication::activeWindow())
            ActiveFormChanged(QCoreApplication::instance());
        break;
    default: break;
    }
    return false;
}

void TKqSkinPlus::ActiveFormChanged(QObject*)
{
    // Each form is taken out before it is skinned, so that skinning it again from inside (a nested activation)
    // finds it gone.
    while (QWidget* form = TakeFirst(FFormList)) {
        // A widget made when it had no parent yet, and put into a form since, is a control of that form.
        if (!IsForm(form))
            continue;
        InitForm(form);
        InitMenus(form);
        InitControls(form);
    }
    // A special form builds controls while it is shown: it is skinned at every activation, active engine or not.
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && IsSpecialForm(SkinClassName(active))) {
        InitForm(active);
        InitMenus(active);
        InitControls(active);
    }
}

void TKqSkinPlus::PostMainWindowHook()
{
    if (FMainWindowHookPosted)
        return;
    FMainWindowHookPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FMainWindowHookPosted = false;
            MainWindowHook();
        },
        Qt::QueuedConnection);
}

void TKqSkinPlus::MainWindowHook()
{
    while (!FDestroying) {
        QWidget* form = TakeFirst(FFormMenuList);
        if (form == nullptr)
            break;
        if (IsForm(form)) {
            InitForm(form);
            InitMenus(form);
        }
    }
}

} // namespace tarvix
