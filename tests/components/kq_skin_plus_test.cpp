// The skin engine on the offscreen platform: which controls it hooks, how it finds forms created after it, the
// tags and special forms it honours, the recolouring of labels and edit-like controls, the life of its hooks,
// the state its hooks keep, the paint over what a control drew (in pixels), and the installer's skinned windows.
#include "components/kq_skin_plus.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "components/kq_color_qt.h"
#include "components/kq_gauge.h"
#include "components/kq_panel.h"
#include "components/kq_skin_hook.h"
#include "components/kq_skin_paint_menus.h"
#include "installer/frm_aguardar.h"
#include "installer/frm_main.h"
#include "tests/installer/wizard_bench.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix::skin_test {

// A form class of its own, for the special forms.
class TFrmEspecial : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
};

// A class derived from the gauge: the engine recognises the gauge by its exact class name only.
class TKqGaugeDerivado : public TKqGauge {
    Q_OBJECT
public:
    using TKqGauge::TKqGauge;
};

namespace {

const TColor kFormFace = RGBColor(10, 120, 200);

// The installer's button colours: Light, Face and Border are one colour, so a normal button is flat.
const TColor kInstallerFace = 14327845; // $00DAA025

QColor Rgb(TColor color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

QColor WindowColour(const QWidget& widget)
{
    return widget.palette().color(QPalette::Window);
}

bool Hooked(const QWidget* widget)
{
    return THookWindowProc::HookOf(widget) != nullptr;
}

qsizetype HookCount(const TKqSkinPlus& engine)
{
    return engine.findChildren<THookWindowProc*>().size();
}

// Shows the form and waits until it is the active window.
void Activate(QWidget& form)
{
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form)) << form.objectName().toStdString();
}

// The pixels of `area` in `image` that have colour `c`.
int CountColour(const QImage& image, const QRect& area, const QColor& c)
{
    // 32 bits a pixel: the rows of the copy follow each other without padding.
    const QImage part = image.copy(area).convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(part.constBits());
    return static_cast<int>(std::count(pixels, pixels + part.width() * part.height(), c.rgb()));
}

void UseInstallerButtonColours(TKqSkinColors& colors)
{
    TKqButtonColors& button = colors.Button();
    button.SetBorder(kInstallerFace);
    button.SetFace(kInstallerFace);
    button.SetLight(kInstallerFace);
    button.SetText(clWhite);
}

struct SkinEngine : ::testing::Test {
    SkinEngine()
    {
        engine = std::make_unique<TKqSkinPlus>();
        engine->Colors().Form().SetFace(kFormFace);
    }
    TKqSkinPlus& Engine() { return *engine; }

    QApplication& app = test::qtApplication();
    std::unique_ptr<TKqSkinPlus> engine;
};

// ---------------------------------------------------------------------------------------------------------------
// Which controls are hooked

struct KindCase {
    const char* name;
    std::function<QWidget*(QWidget* parent)> make;
    TKqSkinKind kind;
};

TEST_F(SkinEngine, RecognisesTheControlsItHasPaintersForAndWalksThroughTheRest)
{
    const KindCase cases[] = {
        {"push button", [](QWidget* p) { return new QPushButton("OK", p); }, TKqSkinKind::Button},
        {"push button with an icon",
         [](QWidget* p) {
             auto* b = new QPushButton("OK", p);
             QPixmap glyph(16, 16);
             glyph.fill(Qt::red);
             b->setIcon(QIcon(glyph));
             return b;
         },
         TKqSkinKind::BitBtn},
        {"check box", [](QWidget* p) { return new QCheckBox("x", p); }, TKqSkinKind::CheckBox},
        {"radio button", [](QWidget* p) { return new QRadioButton("x", p); }, TKqSkinKind::RadioButton},
        {"group box", [](QWidget* p) { return new QGroupBox("x", p); }, TKqSkinKind::GroupBox},
        {"edit", [](QWidget* p) { return new QLineEdit(p); }, TKqSkinKind::EditLike},
        {"memo", [](QWidget* p) { return new QPlainTextEdit(p); }, TKqSkinKind::EditLike},
        {"rich memo", [](QWidget* p) { return new QTextEdit(p); }, TKqSkinKind::EditLike},
        {"list box", [](QWidget* p) { return new QListWidget(p); }, TKqSkinKind::EditLike},
        {"tree view",
         [](QWidget* p) {
             auto* tree = new QTreeView(p);
             tree->setHeaderHidden(true);
             return tree;
         },
         TKqSkinKind::EditLike},
        {"list view (a tree view with its header)", [](QWidget* p) { return new QTreeView(p); }, TKqSkinKind::ListView},
        {"progress bar", [](QWidget* p) { return new QProgressBar(p); }, TKqSkinKind::ProgressBar},
        {"gauge", [](QWidget* p) { return new TKqGauge(p); }, TKqSkinKind::Gauge},
        {"class derived from the gauge", [](QWidget* p) { return new TKqGaugeDerivado(p); }, TKqSkinKind::None},
        {"label", [](QWidget* p) { return new QLabel("x", p); }, TKqSkinKind::None},
        {"panel", [](QWidget* p) { return new TKqPanel(p); }, TKqSkinKind::None},
        {"bevel", [](QWidget* p) { return new QFrame(p); }, TKqSkinKind::None},
        {"tool button of its own (speed button)", [](QWidget* p) { return new QToolButton(p); },
         TKqSkinKind::SpeedButton},
        {"combo box", [](QWidget* p) { return new QComboBox(p); }, TKqSkinKind::ComboBox},
        {"scroll bar", [](QWidget* p) { return new QScrollBar(p); }, TKqSkinKind::None},
    };
    for (const KindCase& c : cases) {
        QWidget form;
        QWidget* control = c.make(&form);
        EXPECT_EQ(SkinKind(control), c.kind) << c.name;
        Engine().InitControls(&form);
        EXPECT_EQ(Hooked(control), c.kind != TKqSkinKind::None) << c.name;
    }
}

TEST_F(SkinEngine, ControlsInsidePanelsAreHookedButChildWindowsAreFormsOfTheirOwn)
{
    QWidget form;
    auto* panel = new TKqPanel(&form);
    auto* inner = new QFrame(panel);
    auto* deep = new QPushButton("OK", inner);
    auto* group = new QGroupBox("Grupo", &form);
    auto* inGroup = new QCheckBox("x", group);
    // A dialog whose parent is the form is a window: its controls are not the form's controls.
    auto* dialog = new QDialog(&form);
    auto* dialogButton = new QPushButton("OK", dialog);

    Engine().InitControls(&form);
    EXPECT_FALSE(Hooked(panel));
    EXPECT_FALSE(Hooked(inner));
    EXPECT_TRUE(Hooked(deep));
    EXPECT_TRUE(Hooked(group));
    EXPECT_TRUE(Hooked(inGroup));
    EXPECT_FALSE(Hooked(dialog));
    EXPECT_FALSE(Hooked(dialogButton));
}

TEST_F(SkinEngine, InitControlsTwiceHooksNothingTwiceAndRecoloursLabelsAgain)
{
    QWidget form;
    auto* button = new QPushButton("OK", &form);
    auto* group = new QGroupBox("Grupo", &form);
    auto* edit = new QLineEdit(group);
    auto* label = new QLabel("Texto", group);
    Engine().Colors().Labels().SetText(RGBColor(200, 0, 0));
    SetCurrentSkinColors(&Engine().Colors());

    Engine().InitControls(&form);
    const qsizetype hooks = HookCount(Engine());
    EXPECT_EQ(hooks, 3);
    THookWindowProc* onButton = THookWindowProc::HookOf(button);
    THookWindowProc* onEdit = THookWindowProc::HookOf(edit);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(200, 0, 0));

    // The label gets the window-text colour back; the second walk recolours it, and hooks nothing anew.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    label->setPalette(palette);
    Engine().InitControls(&form);
    EXPECT_EQ(HookCount(Engine()), hooks);
    EXPECT_EQ(THookWindowProc::HookOf(button), onButton);
    EXPECT_EQ(THookWindowProc::HookOf(edit), onEdit);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(200, 0, 0));
}

TEST_F(SkinEngine, AControlHookedByAnotherEngineIsNotHookedAgain)
{
    QWidget form;
    auto* button = new QPushButton("OK", &form);
    TKqSkinPlus other;
    other.InitControls(&form);
    Engine().InitControls(&form);
    EXPECT_EQ(THookWindowProc::HookOf(button)->parent(), &other);
    EXPECT_EQ(HookCount(Engine()), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Forms: when they are found and skinned

TEST_F(SkinEngine, LoadedSkinsEveryFormThereIs)
{
    QWidget first;
    auto* firstButton = new QPushButton("OK", &first);
    QDialog second;
    auto* secondEdit = new QLineEdit(&second);
    Engine().Loaded();
    EXPECT_EQ(&CurrentSkinColors(), &Engine().Colors());
    EXPECT_EQ(WindowColour(first), Rgb(kFormFace));
    EXPECT_EQ(WindowColour(second), Rgb(kFormFace));
    EXPECT_TRUE(Hooked(firstButton));
    EXPECT_TRUE(Hooked(secondEdit));
}

TEST_F(SkinEngine, AFormCreatedLaterGetsItsColourAtTheNextTurnAndItsControlsWhenActivated)
{
    Engine().Loaded();
    auto dialog = std::make_unique<QDialog>();
    dialog->setObjectName("dialog");
    auto* ok = new QPushButton("OK", dialog.get());
    EXPECT_EQ(Engine().FormList(), std::vector<QWidget*>{dialog.get()});
    EXPECT_EQ(Engine().FormMenuList(), std::vector<QWidget*>{dialog.get()});
    EXPECT_NE(WindowColour(*dialog), Rgb(kFormFace));

    QCoreApplication::processEvents();
    EXPECT_EQ(WindowColour(*dialog), Rgb(kFormFace));
    EXPECT_TRUE(Engine().FormMenuList().empty());
    EXPECT_FALSE(Hooked(ok)) << "the controls wait for an activation";
    EXPECT_EQ(Engine().FormList(), std::vector<QWidget*>{dialog.get()});

    Activate(*dialog);
    EXPECT_TRUE(Hooked(ok));
    EXPECT_TRUE(Engine().FormList().empty());

    // A control added afterwards belongs to a form that is no longer pending: the next activation leaves it.
    auto* later = new QPushButton("Depois", dialog.get());
    QWidget elsewhere;
    elsewhere.setObjectName("elsewhere");
    Activate(elsewhere);
    Activate(*dialog);
    EXPECT_FALSE(Hooked(later));
}

TEST_F(SkinEngine, AFormDestroyedBeforeItWasSkinnedLeavesThePendingLists)
{
    Engine().Loaded();
    auto dialog = std::make_unique<QDialog>();
    QWidget kept;
    ASSERT_EQ(Engine().FormList().size(), 2u);
    dialog.reset();
    EXPECT_EQ(Engine().FormList(), std::vector<QWidget*>{&kept});
    EXPECT_EQ(Engine().FormMenuList(), std::vector<QWidget*>{&kept});
    QCoreApplication::processEvents();
    EXPECT_EQ(WindowColour(kept), Rgb(kFormFace));
}

TEST_F(SkinEngine, PopupsAreNoFormsAndWidgetsPutIntoAFormAreItsControls)
{
    Engine().Loaded();
    QWidget popup(nullptr, Qt::Popup);
    QWidget tip(nullptr, Qt::ToolTip);
    EXPECT_TRUE(Engine().FormList().empty());

    QDialog form;
    auto* adopted = new QPushButton("OK");
    adopted->setParent(&form);
    ASSERT_EQ(Engine().FormList().size(), 2u) << "made without a parent, the button was a window at first";
    Activate(form);
    EXPECT_TRUE(Hooked(adopted));
    EXPECT_TRUE(Engine().FormList().empty());
}

TEST_F(SkinEngine, SkipTagLeavesAFormsColourAndAControlWithEverythingInIt)
{
    Engine().SetSkipTag(5);
    QWidget tagged;
    tagged.setProperty("Tag", 5);
    QPalette own;
    own.setColor(QPalette::Window, QColor(1, 2, 3));
    tagged.setPalette(own);
    auto* button = new QPushButton("OK", &tagged);
    auto* skipped = new QFrame(&tagged);
    skipped->setProperty("Tag", 5);
    auto* inSkipped = new QPushButton("OK", skipped);
    auto* deepInSkipped = new QLineEdit(new QWidget(skipped));
    auto* sibling = new QFrame(&tagged);
    auto* inSibling = new QCheckBox("x", sibling);
    auto* gauge = new TKqGauge(&tagged);
    gauge->SetTag(5); // the gauge's own Tag property

    QWidget plain;
    plain.setProperty("Tag", 6);

    Engine().Loaded();
    EXPECT_EQ(WindowColour(tagged), QColor(1, 2, 3));
    EXPECT_EQ(WindowColour(plain), Rgb(kFormFace));
    EXPECT_TRUE(Hooked(button)) << "the form's own tag does not skip its controls";
    EXPECT_FALSE(Hooked(inSkipped));
    EXPECT_FALSE(Hooked(deepInSkipped));
    EXPECT_TRUE(Hooked(inSibling));
    EXPECT_FALSE(Hooked(gauge));
}

TEST_F(SkinEngine, InitMenusMakesTheFormsMenusOwnerDrawnExceptTheSkippedOnes)
{
    Engine().SetSkipTag(7);
    QWidget form;
    auto* bar = new QMenuBar(&form);
    QMenu* file = bar->addMenu("File");
    QMenu* recent = file->addMenu("Recent");
    auto* skippedBar = new QMenuBar(&form);
    skippedBar->setProperty("Tag", 7);
    QMenu* underSkipped = skippedBar->addMenu("Edit");
    auto* popup = new QMenu(&form);
    auto* skippedPopup = new QMenu(&form);
    skippedPopup->setProperty("Tag", 7);
    // A menu of another form's is not this form's.
    QWidget other;
    auto* foreign = new QMenu(&other);

    // The controls' walk does not hook menus: they are not controls.
    Engine().InitControls(&form);
    EXPECT_FALSE(Hooked(bar));

    Engine().InitMenus(&form);
    for (QWidget* menu : std::initializer_list<QWidget*>{bar, file, recent, popup}) {
        EXPECT_TRUE(Hooked(menu)) << menu->metaObject()->className();
        EXPECT_EQ(menu->style(), MenuStyle());
        EXPECT_EQ(SkinKind(menu), menu == bar ? TKqSkinKind::MenuBar : TKqSkinKind::Menu);
    }
    for (QWidget* menu : std::initializer_list<QWidget*>{skippedBar, underSkipped, skippedPopup, foreign}) {
        EXPECT_FALSE(Hooked(menu));
        EXPECT_NE(menu->style(), MenuStyle());
    }
    // Again: nothing is hooked twice.
    const qsizetype hooks = HookCount(Engine());
    Engine().InitMenus(&form);
    EXPECT_EQ(HookCount(Engine()), hooks);
}

TEST_F(SkinEngine, FormFaceNoneKeepsTheFormsColoursAndSkinsTheRest)
{
    Engine().Colors().Form().SetFace(clNone);
    QWidget form;
    QPalette own;
    own.setColor(QPalette::Window, QColor(1, 2, 3));
    form.setPalette(own);
    auto* button = new QPushButton("OK", &form);
    Engine().Loaded();
    EXPECT_EQ(WindowColour(form), QColor(1, 2, 3));
    EXPECT_TRUE(Hooked(button));
}

TEST_F(SkinEngine, SpecialFormsInAnyCaseAndTheTwoBuiltInOnes)
{
    Engine().SetSpecialForms({"TFrmEspecial", "tfrmRelatorio"});
    const std::pair<const char*, bool> cases[] = {
        {"TFrmEspecial", true},    {"tfrmespecial", true}, {"TFRMRELATORIO", true}, {"TfrxPDFExportDialog", true},
        {"tfrxpreviewform", true}, {"TFrmOutra", false},   {"TfrxPreview", false},  {"", false},
    };
    for (const auto& [name, special] : cases)
        EXPECT_EQ(Engine().IsSpecialForm(QString::fromLatin1(name)), special) << name;

    const QStringList assigned = Engine().SpecialForms();
    Engine().SetSpecialForms({});
    EXPECT_EQ(assigned.size(), 2) << "assigning copies the lines";
    EXPECT_FALSE(Engine().IsSpecialForm("TFrmEspecial"));
}

TEST_F(SkinEngine, ASpecialFormIsSkinnedAgainOnEveryActivationActiveOrNot)
{
    Engine().SetSpecialForms({"tfrmESPECIAL"});
    Engine().Loaded();
    TFrmEspecial special;
    special.setObjectName("special");
    auto* first = new QPushButton("1", &special);
    QDialog plain;
    plain.setObjectName("plain");
    auto* plainFirst = new QPushButton("1", &plain);
    EXPECT_EQ(SkinClassName(&special), "TFrmEspecial");

    Activate(special);
    EXPECT_TRUE(Hooked(first));
    EXPECT_TRUE(Hooked(plainFirst)) << "every pending form is skinned at the first activation";

    // Controls made at run time.
    auto* later = new QPushButton("2", &special);
    auto* plainLater = new QPushButton("2", &plain);
    Activate(plain);
    EXPECT_FALSE(Hooked(plainLater));
    Activate(special);
    EXPECT_TRUE(Hooked(later));
    EXPECT_FALSE(Hooked(plainLater));

    Engine().SetActive(false);
    auto* whileInactive = new QPushButton("3", &special);
    special.setPalette(QPalette(QColor(1, 2, 3)));
    Activate(plain);
    Activate(special);
    EXPECT_TRUE(Hooked(whileInactive));
    EXPECT_EQ(WindowColour(special), Rgb(kFormFace));
}

TEST_F(SkinEngine, ActiveFalseStopsTrackingOnlyAndTrueSkinsAgainWithThisEnginesColours)
{
    QWidget first;
    first.setObjectName("first");
    auto* firstButton = new QPushButton("OK", &first);
    Engine().Loaded();
    ASSERT_TRUE(Hooked(firstButton));

    TKqSkinPlus second;
    second.Colors().Form().SetFace(RGBColor(90, 90, 90));
    second.Loaded();
    EXPECT_EQ(&CurrentSkinColors(), &second.Colors());
    EXPECT_EQ(WindowColour(first), QColor(90, 90, 90));

    Engine().SetActive(false);
    EXPECT_FALSE(Engine().Active());
    EXPECT_EQ(&CurrentSkinColors(), &second.Colors());
    EXPECT_TRUE(Hooked(firstButton)) << "hooks stay";
    QDialog late;
    auto* lateButton = new QPushButton("OK", &late);
    EXPECT_EQ(Engine().FormList(), std::vector<QWidget*>{&first}) << "new forms are not tracked";
    EXPECT_EQ(second.FormList(), std::vector<QWidget*>{&late});

    Engine().SetActive(true);
    EXPECT_EQ(&CurrentSkinColors(), &Engine().Colors());
    EXPECT_EQ(WindowColour(first), Rgb(kFormFace));
    EXPECT_EQ(WindowColour(late), Rgb(kFormFace));
    EXPECT_TRUE(Hooked(lateButton));

    // Setting the value it has does nothing.
    first.setPalette(QPalette(QColor(1, 2, 3)));
    Engine().SetActive(true);
    EXPECT_EQ(WindowColour(first), QColor(1, 2, 3));
}

// ---------------------------------------------------------------------------------------------------------------
// Labels and edit-like controls

// The application's palette for a case, put back afterwards.
class ApplicationPalette {
public:
    explicit ApplicationPalette(const QPalette& palette) : saved_(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~ApplicationPalette() { QApplication::setPalette(saved_); }

private:
    QPalette saved_;
};

struct RecolourCase {
    const char* name;
    std::function<QWidget*(QWidget* parent)> make;
    std::function<void(TKqSkinColors&)> colours;
    QPalette::ColorRole role;
    QColor expected;
};

QWidget* WithColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    return widget;
}

TEST_F(SkinEngine, LabelsAndEditLikeControlsInTheWindowColoursTakeTheSkinsColours)
{
    // A system whose window text is not black.
    const QColor windowText(40, 40, 40);
    QPalette system = QApplication::palette();
    system.setColor(QPalette::WindowText, windowText);
    system.setColor(QPalette::Text, windowText);
    system.setColor(QPalette::Base, Qt::white);
    ApplicationPalette scope(system);

    const QColor labelColour(200, 0, 0);
    const QColor editFace(250, 240, 200);
    const QColor editText(0, 0, 120);
    const auto skinColours = [&](TKqSkinColors& c) {
        c.Labels().SetText(FromQColor(labelColour));
        c.Edit().SetFace(FromQColor(editFace));
        c.Edit().SetText(FromQColor(editText));
    };
    const auto none = [](TKqSkinColors&) {};
    const auto label = [](QWidget* p) { return new QLabel("Texto", p); };
    const auto edit = [](QWidget* p) { return new QLineEdit(p); };
    const QColor black(0, 0, 0);
    const QColor yellow(255, 255, 0);
    const QColor white(255, 255, 255);

    const RecolourCase cases[] = {
        {"label in the inherited window text", label, none, QPalette::WindowText, labelColour},
        {"label explicitly black", [&](QWidget* p) { return WithColour(label(p), QPalette::WindowText, black); }, none,
         QPalette::WindowText, black},
        {"label explicitly in the window-text RGB",
         [&](QWidget* p) { return WithColour(label(p), QPalette::WindowText, windowText); }, none, QPalette::WindowText,
         labelColour},
        {"label in another colour", [&](QWidget* p) { return WithColour(label(p), QPalette::WindowText, yellow); },
         none, QPalette::WindowText, yellow},
        {"label colour clNone", label, [](TKqSkinColors& c) { c.Labels().SetText(clNone); }, QPalette::WindowText,
         windowText},
        {"image label",
         [](QWidget* p) {
             auto* image = new QLabel(p);
             QPixmap picture(8, 8);
             picture.fill(Qt::blue);
             image->setPixmap(picture);
             return image;
         },
         none, QPalette::WindowText, windowText},
        {"edit explicitly white", [&](QWidget* p) { return WithColour(edit(p), QPalette::Base, white); }, none,
         QPalette::Base, editFace},
        {"edit in another colour", [&](QWidget* p) { return WithColour(edit(p), QPalette::Base, yellow); }, none,
         QPalette::Base, yellow},
        {"edit text in the window-text colour", edit, none, QPalette::Text, editText},
        {"edit text explicitly black", [&](QWidget* p) { return WithColour(edit(p), QPalette::Text, black); }, none,
         QPalette::Text, black},
        {"edit face clNone", edit, [](TKqSkinColors& c) { c.Edit().SetFace(clNone); }, QPalette::Base, white},
        {"edit text clNone", edit, [](TKqSkinColors& c) { c.Edit().SetText(clNone); }, QPalette::Text, windowText},
        {"memo", [](QWidget* p) { return new QPlainTextEdit(p); }, none, QPalette::Base, editFace},
        {"tree view", [](QWidget* p) { return new QTreeView(p); }, none, QPalette::Base, editFace},
        {"push buttons are no edits", [](QWidget* p) { return new QPushButton("OK", p); }, none, QPalette::Base, white},
    };
    for (const RecolourCase& c : cases) {
        TKqSkinPlus caseEngine;
        skinColours(caseEngine.Colors());
        c.colours(caseEngine.Colors());
        SetCurrentSkinColors(&caseEngine.Colors());
        QWidget form;
        QWidget* control = c.make(&form);
        caseEngine.InitControls(&form);
        EXPECT_EQ(control->palette().color(QPalette::Active, c.role), c.expected) << c.name;
    }
}

TEST_F(SkinEngine, RecolouredTextKeepsThePlatformsDisabledLook)
{
    Engine().Colors().Labels().SetText(RGBColor(200, 0, 0));
    SetCurrentSkinColors(&Engine().Colors());
    QWidget form;
    auto* label = new QLabel("Texto", &form);
    const QColor disabled = label->palette().color(QPalette::Disabled, QPalette::WindowText);
    Engine().InitControls(&form);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(200, 0, 0));
    EXPECT_EQ(label->palette().color(QPalette::Inactive, QPalette::WindowText), QColor(200, 0, 0));
    EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText), disabled);
}

TEST_F(SkinEngine, AProgressBarGetsTheSkinsBackgroundAndBar)
{
    Engine().Colors().ProgressBar().SetBackground(RGBColor(1, 2, 3));
    Engine().Colors().ProgressBar().SetBar(RGBColor(4, 5, 6));
    SetCurrentSkinColors(&Engine().Colors());
    QWidget form;
    auto* bar = new QProgressBar(&form);
    Engine().InitControls(&form);
    EXPECT_EQ(bar->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(1, 2, 3));
    EXPECT_EQ(bar->palette().color(QPalette::Highlight), QColor(4, 5, 6));
}

// ---------------------------------------------------------------------------------------------------------------
// The hooks' life

TEST_F(SkinEngine, AControlDestroyedWhileHookedTakesItsHookAlong)
{
    QWidget form;
    auto* button = new QPushButton("OK", &form);
    auto* other = new QPushButton("Outro", &form);
    Engine().Loaded();
    QPointer<THookWindowProc> hook = THookWindowProc::HookOf(button);
    ASSERT_FALSE(hook.isNull());
    const qsizetype hooks = HookCount(Engine());

    const QWidget* address = button;
    delete button;
    EXPECT_TRUE(hook.isNull());
    EXPECT_EQ(THookWindowProc::HookOf(address), nullptr);
    EXPECT_EQ(HookCount(Engine()), hooks - 1);
    // The rest goes on as before.
    Engine().InitControls(&form);
    EXPECT_EQ(HookCount(Engine()), hooks - 1);
    EXPECT_TRUE(Hooked(other));
    EXPECT_FALSE(form.grab().isNull());
}

TEST_F(SkinEngine, AnEngineDestroyedWhileControlsAreHookedUnhooksThem)
{
    QWidget form;
    form.resize(200, 100);
    auto* button = new QPushButton("OK", &form);
    button->setGeometry(10, 10, 75, 25);
    UseInstallerButtonColours(Engine().Colors());
    Engine().Loaded();
    ASSERT_TRUE(Hooked(button));
    ASSERT_EQ(button->grab().toImage().pixelColor(4, 12), Rgb(kInstallerFace));

    engine.reset();
    EXPECT_FALSE(Hooked(button));
    EXPECT_EQ(CurrentSkinColors().Button().Face(), TKqSkinColors().Button().Face())
        << "the default colours are current again";
    // Events and paints reach the control without a hook.
    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QCoreApplication::sendEvent(button, &enter);
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(button, &focus);
    EXPECT_NE(button->grab().toImage().pixelColor(4, 12), Rgb(kInstallerFace));
}

// ---------------------------------------------------------------------------------------------------------------
// The state a hook keeps

using Step = std::function<void(QPushButton*)>;

void SendEnter(QPushButton* b)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(b, &enter);
}
void SendLeave(QPushButton* b)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(b, &leave);
}
Step Mouse(QEvent::Type type, Qt::MouseButton button)
{
    return [type, button](QPushButton* b) {
        QMouseEvent event(type, QPointF(5, 5), QPointF(5, 5), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(b, &event);
    };
}
Step Key(QEvent::Type type, int key, bool autoRepeat = false)
{
    return [type, key, autoRepeat](QPushButton* b) {
        QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "a", autoRepeat);
        QCoreApplication::sendEvent(b, &event);
    };
}
Step Focus(QEvent::Type type)
{
    return [type](QPushButton* b) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QCoreApplication::sendEvent(b, &event);
    };
}
void Disable(QPushButton* b)
{
    b->setEnabled(false);
}

struct StateCase {
    const char* name;
    std::vector<Step> steps;
    bool lButtonDown;
    bool mouseOver;
    bool pressed;
    std::optional<uint32_t> msg; // nothing: the message noted before the steps
};

TEST_F(SkinEngine, AHookFollowsTheMouseTheSpaceBarAndTheControlsState)
{
    const Step press = Mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    const Step release = Mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    const Step spaceDown = Key(QEvent::KeyPress, Qt::Key_Space);
    const Step spaceUp = Key(QEvent::KeyRelease, Qt::Key_Space);
    const StateCase cases[] = {
        {"mouse enters", {SendEnter}, false, true, false, smMouseEnter},
        {"mouse enters and leaves", {SendEnter, SendLeave}, false, false, false, smMouseLeave},
        {"mouse enters a disabled control", {Disable, SendEnter}, false, false, false, smMouseEnter},
        {"disabled under the mouse", {SendEnter, Disable}, false, false, false, smEnabledChanged},
        {"left button down", {SendEnter, press}, true, true, false, smLButtonDown},
        {"left button down and up", {SendEnter, press, release}, false, true, false, smLButtonUp},
        {"right button", {Mouse(QEvent::MouseButtonPress, Qt::RightButton)}, false, false, false, std::nullopt},
        {"space down", {spaceDown}, false, false, true, smKeyDown},
        {"space held: repeated presses and releases",
         {spaceDown, Key(QEvent::KeyPress, Qt::Key_Space, true), Key(QEvent::KeyRelease, Qt::Key_Space, true)},
         false,
         false,
         true,
         smKeyDown},
        {"space down and up", {spaceDown, spaceUp}, false, false, false, smKeyUp},
        {"another key", {Key(QEvent::KeyPress, Qt::Key_A)}, false, false, false, smKeyDown},
        {"focus gained", {Focus(QEvent::FocusIn)}, false, false, false, smSetFocus},
        {"focus lost", {Focus(QEvent::FocusIn), Focus(QEvent::FocusOut)}, false, false, false, smKillFocus},
        {"checked",
         {[](QPushButton* b) {
             b->setCheckable(true);
             b->setChecked(true);
         }},
         false,
         false,
         false,
         smSetCheck},
        {"colours changed",
         {[](QPushButton* b) { b->setPalette(QPalette(Qt::red)); }},
         false,
         false,
         false,
         smParentColorChanged},
    };
    for (const StateCase& c : cases) {
        QWidget form;
        auto* button = new QPushButton("OK", &form);
        Engine().InitControls(&form);
        THookWindowProc* hook = THookWindowProc::HookOf(button);
        ASSERT_NE(hook, nullptr);
        const uint32_t before = hook->Msg();
        for (const Step& step : c.steps)
            step(button);
        EXPECT_EQ(hook->LButtonDown(), c.lButtonDown) << c.name;
        EXPECT_EQ(hook->MouseOver(), c.mouseOver) << c.name;
        EXPECT_EQ(hook->Pressed(), c.pressed) << c.name;
        EXPECT_EQ(hook->Msg(), c.msg.value_or(before)) << c.name;
        const TKqPaintState state = hook->State();
        EXPECT_EQ(state.Control, button) << c.name;
        EXPECT_EQ(state.LButtonDown, c.lButtonDown) << c.name;
        EXPECT_EQ(state.MouseOver, c.mouseOver) << c.name;
        EXPECT_EQ(state.Pressed, c.pressed) << c.name;
    }
}

TEST(SkinMessages, TheEventsAHookHandlesAndTheMessagesTheyAre)
{
    const QMouseEvent leftDown(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::LeftButton, Qt::LeftButton,
                               Qt::NoModifier);
    const QMouseEvent rightUp(QEvent::MouseButtonRelease, QPointF(), QPointF(), Qt::RightButton, Qt::NoButton,
                              Qt::NoModifier);
    const QKeyEvent repeatedUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true);
    const QEvent paint(QEvent::Paint);
    const QEvent resize(QEvent::Resize);
    const QEvent enabled(QEvent::EnabledChange);
    const std::pair<const QEvent*, uint32_t> cases[] = {
        {&leftDown, smLButtonDown},   {&rightUp, 0}, {&repeatedUp, 0}, {&paint, smPaint},
        {&enabled, smEnabledChanged}, {&resize, 0},
    };
    for (const auto& [event, msg] : cases)
        EXPECT_EQ(SkinMessageOf(*event), msg) << event->type();

    const uint32_t handled[] = {0x0002, 0x0007, 0x0008, 0x000F, 0x0085, 0x00F0, 0x00F1, 0x00F3, 0x0100, 0x0101,
                                0x0200, 0x0201, 0x0202, 0xB009, 0xB00C, 0xB012, 0xB013, 0xB014, 0xB01B};
    for (uint32_t msg : handled)
        EXPECT_TRUE(HandlesMessage(msg)) << std::hex << msg;
    for (uint32_t msg : {0x0000u, 0x0001u, 0x0005u, 0x0014u, 0x00F2u, 0x0203u, 0x0204u, 0xB00Au, 0xB01Au})
        EXPECT_FALSE(HandlesMessage(msg)) << std::hex << msg;
}

TEST_F(SkinEngine, HookedControlsStillGetTheirEvents)
{
    QWidget form;
    form.setObjectName("form");
    auto* button = new QPushButton("OK", &form);
    button->setGeometry(10, 10, 75, 25);
    auto* box = new QCheckBox("Caixa", &form);
    box->setGeometry(10, 40, 120, 20);
    Engine().Loaded();
    Activate(form);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });

    QTest::mouseClick(button, Qt::LeftButton);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(clicks, 2);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, 10));
    EXPECT_TRUE(box->isChecked());

    // A check box that loses the focus while the space bar holds it down lets go, as an unhooked one does.
    box->setFocus();
    QTest::keyPress(box, Qt::Key_Space);
    ASSERT_TRUE(box->isDown());
    EXPECT_TRUE(THookWindowProc::HookOf(box)->Pressed());
    button->setFocus();
    EXPECT_FALSE(box->isDown());
    EXPECT_EQ(THookWindowProc::HookOf(box)->Msg(), uint32_t{smKillFocus});
    QTest::keyRelease(box, Qt::Key_Space);
    EXPECT_TRUE(box->isChecked()) << "the release after the focus went is no click";
}

// ---------------------------------------------------------------------------------------------------------------
// The paint over what the control drew

TEST_F(SkinEngine, AHookedPushButtonShowsTheSkinsFaceOverItsOwnPainting)
{
    QWidget form;
    form.resize(200, 100);
    auto* hooked = new QPushButton("OK", &form);
    hooked->setGeometry(10, 10, 75, 25);
    hooked->setFont(test::testFont(12, false));
    auto* skipped = new QPushButton("OK", &form);
    skipped->setGeometry(100, 10, 75, 25);
    skipped->setFont(test::testFont(12, false));
    skipped->setProperty("Tag", 9);
    Engine().SetSkipTag(9);
    UseInstallerButtonColours(Engine().Colors());
    Engine().Loaded();

    const QColor face = Rgb(kInstallerFace);
    const QImage image = hooked->grab().toImage();
    const QRect inside(0, 0, 75, 25);
    for (const QPoint p : {QPoint(0, 0), QPoint(74, 24), QPoint(4, 12), QPoint(70, 3)})
        EXPECT_EQ(image.pixelColor(p), face) << p.x() << ", " << p.y();
    EXPECT_GT(CountColour(image, inside, Qt::white), 10) << "the caption in white";
    EXPECT_EQ(CountColour(skipped->grab().toImage(), inside, face), 0) << "the control's own look";

    // The same pixels when the form is rendered: the button is painted over inside the form's paint too.
    const QImage whole = form.grab().toImage();
    EXPECT_EQ(whole.pixelColor(14, 22), face);
    EXPECT_EQ(whole.pixelColor(10, 10), face);
}

// ---------------------------------------------------------------------------------------------------------------
// The installer's windows

const QColor kInstallerBlue(0x25, 0xA0, 0xDA);     // $00DAA025
const QColor kInstallerDisabled(0xE9, 0xF1, 0xFC); // $00FCF1E9
const QColor kInstallerCaption(0x52, 0x6D, 0xCF);  // $00CF6D52
const QColor kInstallerForm(245, 245, 245);        // $00F5F5F5

// Where a control is in a picture of its window.
QRect AreaIn(const QWidget& window, const QWidget* control)
{
    return QRect(control->mapTo(&window, QPoint(0, 0)), control->size());
}

TEST(SkinnedInstaller, TheMainWindowHasFlatBlueButtonsWithWhiteTextAndBlueGroupCaptions)
{
    test::WizardBench bench;
    TFrmMain w(bench.InstallerPath());
    w.show();
    ASSERT_TRUE(test::WaitFor([&] { return w.Iniciada(); }));
    auto* next = test::Control<QPushButton>(w, "BtnAvancar");
    auto* cancel = test::Control<QPushButton>(w, "BtnCancelar");
    auto* back = test::Control<QPushButton>(w, "BtnVoltar");
    ASSERT_FALSE(back->isEnabled()) << "the welcome page";
    for (QPushButton* button : {next, cancel, back})
        EXPECT_TRUE(Hooked(button)) << button->objectName().toStdString();
    EXPECT_EQ(WindowColour(w), kInstallerForm);

    const QImage shot = w.grab().toImage();
    for (QPushButton* button : {next, cancel}) {
        const QRect r = AreaIn(w, button);
        // Inside the focus dots and the default ring the face is one flat blue.
        for (const QPoint p : {r.topLeft() + QPoint(4, 4), r.bottomRight() - QPoint(4, 4)})
            EXPECT_EQ(shot.pixelColor(p), kInstallerBlue) << button->objectName().toStdString();
        EXPECT_GT(CountColour(shot, r, Qt::white), 10) << button->objectName().toStdString();
    }
    const QRect r = AreaIn(w, back);
    EXPECT_EQ(shot.pixelColor(r.topLeft() + QPoint(4, 4)), kInstallerDisabled);
    EXPECT_EQ(CountColour(shot, r, Qt::white), 0) << "the disabled caption is grey";

    // The installer's own forms have no group box; one put on the welcome page gets the window's skin.
    auto* page = test::Control<QWidget>(w, "NpgBemVindo");
    auto* group = new QGroupBox("Grupo", page);
    group->setFont(test::testFont(12, false));
    group->setGeometry(10, 10, 200, 60);
    group->show();
    auto* skin = w.findChild<TKqSkinPlus*>("SkinPlus1");
    ASSERT_NE(skin, nullptr);
    skin->InitControls(page);
    ASSERT_TRUE(Hooked(group));
    const QImage caption = group->grab().toImage();
    EXPECT_GT(CountColour(caption, QRect(0, 0, 200, 20), kInstallerCaption), 10);
}

TEST(SkinnedInstaller, MessageBoxesTheFolderDialogAndTheWaitOverlayAreSkinnedAsTheyOpen)
{
    test::WizardBench bench;
    TFrmMain w(bench.InstallerPath());
    w.show();
    ASSERT_TRUE(test::WaitFor([&] { return w.Iniciada(); }));

    // What each window showed while it was open.
    struct Seen {
        bool hooked = false;
        QColor face;
        QColor form;
    };
    const auto look = [](Seen& seen, const char* buttonName) {
        return [&seen, buttonName](QWidget* window) {
            auto* button = window->findChild<QPushButton*>(QLatin1String(buttonName));
            ASSERT_NE(button, nullptr) << buttonName;
            seen.hooked = test::WaitFor([button] { return Hooked(button); });
            seen.face = button->grab().toImage().pixelColor(4, 4);
            seen.form = WindowColour(*window);
        };
    };
    Seen message;
    Seen folders;
    test::ModalDialogHelper answers;
    answers.pressButton("&OK", look(message, "Btn3"));
    answers.pressButton("BtnCancelar", look(folders, "BtnCancelar"));
    w.MsgInformation("Teste");
    test::Control<QPushButton>(w, "BtnAlterar")->click();
    EXPECT_TRUE(message.hooked);
    EXPECT_EQ(message.face, kInstallerBlue);
    EXPECT_EQ(message.form, kInstallerForm);
    EXPECT_TRUE(folders.hooked);
    EXPECT_EQ(folders.face, kInstallerBlue);
    EXPECT_EQ(folders.form, kInstallerForm);

    MostrarAguardando(nullptr, QStringLiteral("Aguarde"));
    ASSERT_NE(FrmAguardar, nullptr);
    EXPECT_NE(QApplication::palette().color(QPalette::Button), kInstallerForm) << "the overlay's own colour";
    EXPECT_TRUE(test::WaitFor([] { return WindowColour(*FrmAguardar) == kInstallerForm; }));
    FecharAguardando();
}

} // namespace
} // namespace tarvix::skin_test

#include "kq_skin_plus_test.moc"
