// The wait overlay on the offscreen platform: the width rule, the form description, the panel in the middle of an
// owner and floating on the screen, taking it away (also after the owner is gone), the keys the floating form
// swallows, the animation and the pixels the panel paints.
#include "installer/frm_aguardar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTest>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "components/kq_color.h"
#include "components/kq_panel.h"
#include "components/qt_message_pump.h"
#include "tests/support/fake_message_pump.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

const QColor kFrame(89, 116, 145);
const QColor kWhite(255, 255, 255);
const QColor kOwnerColour(40, 160, 40);

const QString kFinalizando = QStringLiteral("Finalizando...");
// Long enough in a 9-point bold font for the width to grow beyond 200.
const QString kLongMessage = QStringLiteral("Aguarde: enviando o relatório da instalação ao servidor");

// Every test runs with the Qt message pump and ends without an overlay, whatever it left behind.
struct Overlay : ::testing::Test {
    ~Overlay() override { FecharAguardando(); }

    // A shown top-level window of `size` in a plain colour of its own.
    static std::unique_ptr<QWidget> Owner(QSize size)
    {
        auto owner = std::make_unique<QWidget>();
        QPalette pal = owner->palette();
        pal.setColor(QPalette::Window, kOwnerColour);
        owner->setPalette(pal);
        owner->setAutoFillBackground(true);
        owner->resize(size);
        owner->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(owner.get()));
        return owner;
    }

    QApplication& app = test::qtApplication();
    ScopedQtMessagePump pump;
};

// The place the panel must take in `owner`: the middle of the owner's outer size, truncated toward zero.
QPoint MiddleOf(const QWidget& owner, QSize panel)
{
    const QRect outer = owner.frameGeometry();
    return {(outer.width() - panel.width()) / 2, (outer.height() - panel.height()) / 2};
}

// True when a pixel of `area` in `image` passes `test`.
bool AnyPixel(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& test)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

bool Contains(const QImage& image, const QRect& area, const QColor& colour)
{
    return AnyPixel(image, area, [&colour](const QColor& c) { return c == colour; });
}

TEST(LarguraAguardando, TwoThirdsOfTheMeasureRoundedPlus65AndNeverBelow200)
{
    const struct {
        int measured;
        int width;
    } cases[] = {{0, 200}, {203, 200}, {204, 201}, {300, 265}, {301, 266}, {1000, 732}};
    for (const auto& c : cases)
        EXPECT_EQ(LarguraAguardando(c.measured), c.width) << c.measured;
}

TEST_F(Overlay, TheFormDescriptionGivesTheFormAndItsControls)
{
    TFrmAguardar form;
    EXPECT_EQ(form.windowTitle(), "...");
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowType(), Qt::Tool);
    EXPECT_EQ(form.size(), QSize(220, 71));
    EXPECT_EQ(form.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(form.font().pointSize(), 9);
    EXPECT_TRUE(form.font().bold());

    TKqPanel* panel = form.PanFundo();
    EXPECT_EQ(panel->parentWidget(), &form);
    EXPECT_EQ(panel->geometry(), QRect(8, 8, 200, 55));
    EXPECT_EQ(panel->Color(), clWhite);
    EXPECT_FALSE(panel->ParentColor());
    EXPECT_FALSE(panel->Gradient().Enabled());
    EXPECT_EQ(panel->BevelColor(), RGBColor(89, 116, 145));
    EXPECT_EQ(panel->BorderWidth(), 10);
    EXPECT_TRUE(panel->font().bold());

    EXPECT_EQ(form.LabMsg()->text(), "Aguarde a operação no banco de dados");
    EXPECT_TRUE(form.LabMsg()->wordWrap());
    EXPECT_TRUE(form.LabMsg()->alignment() & Qt::AlignVCenter);
    EXPECT_FALSE(form.AninAguardando()->Active());
    EXPECT_EQ(form.Dono(), nullptr);
}

TEST_F(Overlay, ThePanelIsAsWideAsTheRuleMakesOfTheMeasuredMessage)
{
    const auto owner = Owner({640, 480});
    MostrarAguardando(owner.get(), kFinalizando);
    ASSERT_NE(FrmAguardar, nullptr);
    const QFontMetrics metrics(FrmAguardar->font());
    EXPECT_EQ(FrmAguardar->PanFundo()->width(), LarguraAguardando(metrics.horizontalAdvance(kFinalizando)));
    EXPECT_EQ(FrmAguardar->PanFundo()->size(), QSize(200, 55));

    MostrarAguardando(owner.get(), kLongMessage);
    const int measured = metrics.horizontalAdvance(kLongMessage);
    ASSERT_GT(measured, 203) << "the message must be long enough to widen the panel";
    EXPECT_EQ(FrmAguardar->PanFundo()->width(), LarguraAguardando(measured));
    EXPECT_EQ(FrmAguardar->PanFundo()->height(), 55);
    EXPECT_EQ(FrmAguardar->LabMsg()->text(), kLongMessage);

    // The controls follow the panel's width inside its 10-pixel border: the animation, the 10-pixel spacer and
    // the message filling the rest.
    const int width = FrmAguardar->PanFundo()->width();
    EXPECT_EQ(FrmAguardar->AninAguardando()->geometry(), QRect(10, 10, 35, 35));
    EXPECT_EQ(FrmAguardar->Bevel1()->geometry().left(), 45);
    EXPECT_EQ(FrmAguardar->Bevel1()->width(), 10);
    EXPECT_EQ(FrmAguardar->LabMsg()->geometry(), QRect(55, 10, width - 65, 35));

    // Back to a short message: back to 200.
    MostrarAguardando(owner.get(), kFinalizando);
    EXPECT_EQ(FrmAguardar->PanFundo()->width(), 200);
    EXPECT_EQ(FrmAguardar->LabMsg()->geometry().width(), 200 - 65);
}

TEST_F(Overlay, InsideAnOwnerThePanelSitsInTheMiddleOfTheOwnersOuterSize)
{
    // Odd sizes for the truncating division, and an owner smaller than the panel, where truncation toward zero
    // and rounding down part.
    const QSize sizes[] = {{400, 300}, {401, 301}, {151, 40}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << " x " << size.height());
        const auto owner = Owner(size);
        auto* other = new QLabel("under the panel", owner.get());
        other->setGeometry(owner->rect());
        other->show();

        MostrarAguardando(owner.get(), kFinalizando);
        ASSERT_NE(FrmAguardar, nullptr);
        TKqPanel* panel = FrmAguardar->PanFundo();
        EXPECT_EQ(panel->parentWidget(), owner.get());
        EXPECT_EQ(FrmAguardar->Dono(), owner.get());
        EXPECT_EQ(panel->pos(), MiddleOf(*owner, panel->size()));
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(owner->children().last(), panel) << "in front of the owner's other children";
        EXPECT_FALSE(FrmAguardar->isVisible());
        EXPECT_TRUE(FrmAguardar->AninAguardando()->Active());
        FecharAguardando();
    }
}

TEST_F(Overlay, TheOverlayProcessesThePendingEventsOnceThePanelIsInPlace)
{
    const auto owner = Owner({400, 300});
    test::FakeMessagePump fake;
    const test::ScopedMessagePump scoped(fake);
    bool placed = false;
    fake.onProcess = [&](test::FakeMessagePump&) {
        placed = FrmAguardar && FrmAguardar->PanFundo()->parentWidget() == owner.get() &&
                 FrmAguardar->PanFundo()->isVisible() && FrmAguardar->LabMsg()->text() == kFinalizando;
    };
    MostrarAguardando(owner.get(), kFinalizando);
    EXPECT_EQ(fake.passes, 1);
    EXPECT_TRUE(placed);
}

TEST_F(Overlay, FecharAguardandoTakesThePanelOutOfTheOwnerAndDestroysTheForm)
{
    const auto owner = Owner({400, 300});
    MostrarAguardando(owner.get(), kFinalizando);
    const QPointer<TFrmAguardar> form = FrmAguardar;
    const QPointer<TKqPanel> panel = FrmAguardar->PanFundo();

    FecharAguardando();
    EXPECT_EQ(FrmAguardar, nullptr);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(panel.isNull());
    EXPECT_EQ(owner->findChild<TKqPanel*>(), nullptr);

    // Nothing to take away any more, nor before anything was shown.
    FecharAguardando();
    EXPECT_EQ(FrmAguardar, nullptr);
}

TEST_F(Overlay, ASecondCallReusesTheFormAndPlacesThePanelAgain)
{
    const auto first = Owner({400, 300});
    const auto second = Owner({701, 257});
    MostrarAguardando(first.get(), kLongMessage);
    TFrmAguardar* form = FrmAguardar;
    const int wide = form->PanFundo()->width();

    MostrarAguardando(second.get(), kFinalizando);
    EXPECT_EQ(FrmAguardar, form);
    TKqPanel* panel = form->PanFundo();
    EXPECT_EQ(panel->parentWidget(), second.get());
    EXPECT_EQ(first->findChild<TKqPanel*>(), nullptr);
    EXPECT_LT(panel->width(), wide);
    EXPECT_EQ(panel->pos(), MiddleOf(*second, panel->size()));
    EXPECT_EQ(form->LabMsg()->text(), kFinalizando);

    // And then floating: the panel goes back into the form, which shows.
    MostrarAguardando(nullptr, kFinalizando);
    EXPECT_EQ(FrmAguardar, form);
    EXPECT_EQ(panel->parentWidget(), form);
    EXPECT_EQ(panel->pos(), QPoint(8, 8));
    EXPECT_EQ(second->findChild<TKqPanel*>(), nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Dono(), nullptr);

    // Into an owner again: the floating form hides.
    MostrarAguardando(first.get(), kFinalizando);
    EXPECT_EQ(panel->parentWidget(), first.get());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Overlay, AnOwnerDestroyedUnderThePanelHandsItBackToTheForm)
{
    auto owner = Owner({400, 300});
    MostrarAguardando(owner.get(), kFinalizando);
    const QPointer<TKqPanel> panel = FrmAguardar->PanFundo();

    owner.reset();
    ASSERT_FALSE(panel.isNull());
    EXPECT_EQ(panel->parentWidget(), FrmAguardar);
    EXPECT_EQ(FrmAguardar->Dono(), nullptr);

    // The overlay goes on working, and goes away cleanly.
    const auto next = Owner({300, 200});
    MostrarAguardando(next.get(), kFinalizando);
    EXPECT_EQ(panel->parentWidget(), next.get());
    FecharAguardando();
    EXPECT_EQ(FrmAguardar, nullptr);
    EXPECT_TRUE(panel.isNull());

    // Taking it away while the panel is still in a destroyed owner's place works as well.
    auto gone = Owner({300, 200});
    MostrarAguardando(gone.get(), kFinalizando);
    gone.reset();
    FecharAguardando();
    EXPECT_EQ(FrmAguardar, nullptr);
}

TEST_F(Overlay, WithoutAnOwnerTheFormFloatsCentredOnTheScreen)
{
    MostrarAguardando(nullptr, kFinalizando);
    ASSERT_NE(FrmAguardar, nullptr);
    TFrmAguardar* form = FrmAguardar;
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->PanFundo()->parentWidget(), form);
    EXPECT_EQ(form->PanFundo()->geometry(), QRect(8, 8, 200, 55));
    EXPECT_EQ(form->size(), QSize(216, 71));
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_EQ(form->pos(), screen.center() - QRect(QPoint(), form->size()).center());

    // The activation starts the animation.
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_TRUE(QTest::qWaitFor([form] { return form->AninAguardando()->Active(); }, 5000));

    // A wider message widens the form with the panel.
    MostrarAguardando(nullptr, kLongMessage);
    EXPECT_EQ(form->size(), QSize(form->PanFundo()->width() + 16, 71));
    EXPECT_GT(form->width(), 216);

    // Around the panel the form shows the button face.
    const QImage image = form->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2), QApplication::palette().color(QPalette::Button));
}

TEST_F(Overlay, TheFloatingFormSwallowsEveryKeyAndAnOwnerGetsItsKeys)
{
    MostrarAguardando(nullptr, kFinalizando);
    TFrmAguardar* form = FrmAguardar;
    // A control of the form that would take keys, and a shortcut of the form.
    auto* edit = new QLineEdit(form);
    edit->show();
    int shortcuts = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), form);
    QObject::connect(shortcut, &QShortcut::activated, [&shortcuts] { ++shortcuts; });
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 5000));

    QTest::keyClicks(edit, "abc");
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(form, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(shortcuts, 0);
    FecharAguardando();

    // With the panel inside an owner the owner's controls and shortcuts get their keys as usual.
    const auto owner = Owner({400, 300});
    auto* ownerEdit = new QLineEdit(owner.get());
    ownerEdit->show();
    int ownerShortcuts = 0;
    auto* ownerShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), owner.get());
    QObject::connect(ownerShortcut, &QShortcut::activated, [&ownerShortcuts] { ++ownerShortcuts; });
    owner->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(owner.get()));
    ownerEdit->setFocus();
    MostrarAguardando(owner.get(), kFinalizando);
    ASSERT_TRUE(QTest::qWaitFor([&ownerEdit] { return ownerEdit->hasFocus(); }, 5000));

    QTest::keyClicks(ownerEdit, "abc");
    QTest::keyClick(ownerEdit, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ownerEdit->text(), "abc");
    EXPECT_EQ(ownerShortcuts, 1);
}

TEST_F(Overlay, TheAnimationPlaysItsSixteenFramesInALoopWhileStarted)
{
    TAnimacaoAguardando animation;
    animation.resize(35, 35);
    EXPECT_EQ(animation.sizeHint(), QSize(35, 35));
    EXPECT_FALSE(animation.Active());
    EXPECT_EQ(animation.Quadro(), 1);

    // Every frame looks different from the one before it, and after frame 16 comes frame 1 again.
    const QImage first = animation.grab().toImage();
    EXPECT_TRUE(Contains(first, first.rect(), kFrame)) << "the head of the ring is drawn in the frame's blue";
    QImage previous = first;
    for (int step = 2; step <= 17; ++step) {
        animation.ProximoQuadro();
        const int expected = step == 17 ? 1 : step;
        ASSERT_EQ(animation.Quadro(), expected);
        const QImage image = animation.grab().toImage();
        EXPECT_NE(image, previous) << "frame " << expected;
        previous = image;
    }
    EXPECT_EQ(previous, first);

    // Started, the timer moves the frames on; stopped, they stay.
    animation.ProximoQuadro();
    animation.ProximoQuadro();
    animation.Start();
    EXPECT_TRUE(animation.Active());
    EXPECT_EQ(animation.Quadro(), 1) << "a start plays from frame 1";
    EXPECT_TRUE(QTest::qWaitFor([&animation] { return animation.Quadro() >= 3; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&animation] { return animation.Quadro() == 1; }, 5000)) << "it loops";
    animation.Start();
    EXPECT_TRUE(QTest::qWaitFor([&animation] { return animation.Quadro() != 1; }, 5000))
        << "a second start goes on playing";
    animation.Stop();
    EXPECT_FALSE(animation.Active());
    const int stopped = animation.Quadro();
    QTest::qWait(100);
    EXPECT_EQ(animation.Quadro(), stopped);
}

TEST_F(Overlay, ThePanelPaintsWhiteInsideAFrameOfItsBlue)
{
    const auto owner = Owner({400, 300});
    MostrarAguardando(owner.get(), kFinalizando);
    const QRect r = FrmAguardar->PanFundo()->geometry();
    const QImage image = owner->grab().toImage();

    for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        EXPECT_EQ(image.pixelColor(corner), kFrame) << corner.x() << ", " << corner.y();
    // The frame is one pixel wide; the 10-pixel border inside it is the panel's white.
    for (const QPoint inside : {r.topLeft() + QPoint(1, 1), r.topLeft() + QPoint(5, 27), r.bottomRight() - QPoint(1, 1),
                                r.bottomRight() - QPoint(5, 5)})
        EXPECT_EQ(image.pixelColor(inside), kWhite) << inside.x() << ", " << inside.y();
    // Outside the panel, the owner.
    EXPECT_EQ(image.pixelColor(r.topLeft() - QPoint(1, 1)), kOwnerColour);
    EXPECT_EQ(image.pixelColor(r.bottomRight() + QPoint(1, 1)), kOwnerColour);

    // The animation in the blue, and the message in the label's area.
    const QRect animation = FrmAguardar->AninAguardando()->geometry().translated(r.topLeft());
    EXPECT_TRUE(Contains(image, animation, kFrame));
    const QRect label = FrmAguardar->LabMsg()->geometry().translated(r.topLeft());
    EXPECT_TRUE(AnyPixel(image, label, [](const QColor& c) { return c != kWhite; })) << "the message is drawn";
}

} // namespace
} // namespace tarvix
