// The skin engine: a non-visual component that gives the standard controls of every form of the application one
// flat colour scheme. One engine on the main form is enough: it finds the forms, walks their controls, hooks each
// recognised control (components/kq_skin_hook.h) so that the skin's painters draw over it, and recolours forms,
// labels and edit-like controls once. The colours come from its colour set Colors (components/kq_skin_colors.h),
// which becomes the current one, read by every hook and painter, when the engine is loaded or activated.
//
// Forms on our platform are the top-level widgets (dialogs and main windows alike; menus, tool tips and other
// pop-ups are not forms). A form's colour is the Window role of its palette, which its children inherit unless
// they have colours of their own. A form's or control's Tag is its "Tag" property (0 when it has none); the class
// names that SpecialForms lists are compared without the namespace ("TFrmExSelFolder", not
// "tarvix::TFrmExSelFolder").
//
// The menus of a form are its menu bars (QMenuBar) and the menus (QMenu) made with the form or one of its
// controls as parent; both are widgets inside the form, although a menu shows as a pop-up window of its own.
//
// How the engine hears of forms: it watches the events of the whole application. A new top-level widget is
// announced by the event Qt sends it on creation; while the engine is Active such a form is appended to the two
// pending lists. The next turn of the event loop gives the pending forms their colour (as the hidden application
// window's next message would); the first activation of any form then skins the pending forms' controls. A form
// that is destroyed drops out of both lists. Activation is the WindowActivate event of the window that becomes
// the application's active window; Qt hands that event to every listener, so nothing was replaced that would
// have to be chained or put back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

#include "components/component.h"
#include "components/kq_skin_colors.h"

class QWidget;

namespace tarvix {

class TKqSkinPlus : public QObject, public TComponent {
    Q_OBJECT
public:
    enum TOperation { opInsert, opRemove };

    explicit TKqSkinPlus(QObject* AOwner = nullptr);
    // Unhooks every control it hooked; a colour set that was current gives way to the default one.
    ~TKqSkinPlus() override;

    // Whether the engine skins the forms when it is loaded or activated, and tracks new forms. Setting it to True
    // makes Colors current and skins every form again; setting it to False removes nothing: hooks stay and keep
    // painting, colours already applied stay, only new forms are no longer tracked.
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TKqSkinColors& Colors() { return *FColors; }
    const TKqSkinColors& Colors() const { return *FColors; }
    // When not 0, forms and controls whose Tag equals it are left alone (a skipped control's children too).
    // Nothing is skinned again when it changes.
    int SkipTag() const { return FSkipTag; }
    void SetSkipTag(int Value) { FSkipTag = Value; }
    // Class names of forms that are skinned again every time they become the active form.
    const QStringList& SpecialForms() const { return FSpecialForms; }
    void SetSpecialForms(const QStringList& Value) { FSpecialForms = Value; }

    // Makes Colors current and, when Active, skins every form there is.
    void Loaded() override;

    // Gives a form the skin's form colour (unless that is clNone or the form's Tag is SkipTag).
    void InitForm(QWidget* AForm);
    // Hooks and recolours the controls below WinCtl, recursively. A control hooked already is not hooked again,
    // so repeated calls are harmless (labels are recoloured again).
    void InitControls(QWidget* WinCtl);
    // Makes the menus of a form owner-drawn: its menu bars and the menus that belong to it (and their sub-menus),
    // except those whose Tag is SkipTag (or that lie inside something that has it).
    void InitMenus(QWidget* FOwner);
    // InitForm, InitControls and InitMenus on every form.
    void InitAllForms();
    // True when SpecialForms lists Name, or Name is one of the two built-in special forms
    // (TfrxPDFExportDialog, TfrxPreviewForm); without regard to case.
    bool IsSpecialForm(const QString& Name) const;
    // The engine hears that a form was created (opInsert) or is going (opRemove). While Active, a new form is
    // appended to both pending lists; anything else said of a form takes it out of both.
    void Notification(QWidget* AComponent, TOperation Operation);

    // The forms that wait for their controls to be skinned (the first activation), and for their colour (the
    // next turn of the event loop), in order.
    std::vector<QWidget*> FormList() const;
    std::vector<QWidget*> FormMenuList() const;

    // True for the top-level widgets that count as forms.
    static bool IsForm(const QWidget* X);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The screen's active form changed: pending forms are skinned in full, a special form every time.
    void ActiveFormChanged(QObject* Sender);
    // The pending forms get their colour.
    void MainWindowHook();
    void PostMainWindowHook();

    bool FActive = true;
    std::unique_ptr<TKqSkinColors> FColors;
    int FSkipTag = 0;
    QStringList FSpecialForms;
    // Pending forms, not owned; a destroyed one is null until it is taken out.
    std::vector<QPointer<QWidget>> FFormList;
    std::vector<QPointer<QWidget>> FFormMenuList;
    bool FMainWindowHookPosted = false;
    bool FDestroying = false;
};

} // namespace tarvix
