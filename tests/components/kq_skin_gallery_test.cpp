// The skin gallery skinned by one engine: every kind of control is hooked by the kind it is, its menus are made
// owner-drawn, and every painted control looks different from its unskinned self.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "components/kq_skin_hook.h"
#include "components/kq_skin_paint_menus.h"
#include "components/kq_skin_plus.h"
#include "tests/components/kq_skin_test_support.h"
#include "tests/support/modal_dialog_helper.h"
#include "tools/skin_gallery.h"

namespace tarvix {
namespace {

struct Gallery : ::testing::Test {
    Gallery()
    {
        gallery.setFont(test::testFont(12, false));
        gallery.show();
        QApplication::processEvents();
    }
    QApplication& app = test::qtApplication();
    SkinGallery gallery;
};

struct KindOf {
    const char* name;
    TKqSkinKind kind;
};

const KindOf kKinds[] = {
    {"push button", TKqSkinKind::Button},
    {"default button", TKqSkinKind::Button},
    {"bitmap button", TKqSkinKind::BitBtn},
    {"disabled button", TKqSkinKind::Button},
    {"check box", TKqSkinKind::CheckBox},
    {"grayed check box", TKqSkinKind::CheckBox},
    {"radio button", TKqSkinKind::RadioButton},
    {"group box", TKqSkinKind::GroupBox},
    {"edit", TKqSkinKind::EditLike},
    {"progress bar", TKqSkinKind::ProgressBar},
    {"gauge", TKqSkinKind::Gauge},
    {"speed button", TKqSkinKind::SpeedButton},
    {"flat speed button", TKqSkinKind::SpeedButton},
    {"down speed button", TKqSkinKind::SpeedButton},
    {"memo", TKqSkinKind::EditLike},
    {"list box", TKqSkinKind::EditLike},
    {"tree view", TKqSkinKind::EditLike},
    {"list view", TKqSkinKind::ListView},
    {"list view header", TKqSkinKind::HeaderWindow},
    {"string grid", TKqSkinKind::StringGrid},
    {"grid fixed row", TKqSkinKind::GridHeader},
    {"grid fixed column", TKqSkinKind::GridHeader},
    {"header control sections", TKqSkinKind::HeaderWindow},
    {"combo box", TKqSkinKind::ComboBox},
    {"drop-down list", TKqSkinKind::ComboBox},
    {"spin box", TKqSkinKind::UpDown},
    {"tab widget", TKqSkinKind::PageControl},
    {"tab bar", TKqSkinKind::TabBar},
    {"button tabs at the bottom", TKqSkinKind::PageControl},
    {"status bar", TKqSkinKind::StatusBar},
    {"tool bar", TKqSkinKind::ToolBar},
    {"non-flat tool bar", TKqSkinKind::ToolBar},
    {"tool button", TKqSkinKind::ToolButton},
    {"drop-down tool button", TKqSkinKind::ToolButton},
    {"menu bar", TKqSkinKind::MenuBar},
    {"menu", TKqSkinKind::Menu},
};

TEST_F(Gallery, EveryKindIsHookedAsWhatItIsAndTheMenusBecomeOwnerDrawn)
{
    TKqSkinPlus engine;
    engine.Loaded();
    // Every control of the gallery has its row here.
    EXPECT_EQ(gallery.controlNames().size(), static_cast<qsizetype>(std::size(kKinds)) + 1);
    for (const KindOf& k : kKinds) {
        QWidget* control = gallery.control(QString::fromLatin1(k.name));
        ASSERT_NE(control, nullptr) << k.name;
        EXPECT_EQ(SkinKind(control), k.kind) << k.name;
        EXPECT_NE(THookWindowProc::HookOf(control), nullptr) << k.name;
    }
    // The header control itself is walked through: its viewport is what paints.
    EXPECT_EQ(THookWindowProc::HookOf(gallery.control(QStringLiteral("header control"))), nullptr);
    EXPECT_EQ(gallery.menuBar()->style(), MenuStyle());
    EXPECT_EQ(gallery.fileMenu()->style(), MenuStyle());
    // Its sub-menus too.
    for (const QAction* item : gallery.fileMenu()->actions()) {
        if (item->menu() != nullptr) {
            EXPECT_NE(THookWindowProc::HookOf(item->menu()), nullptr);
        }
    }
    // Walking the form again hooks nothing twice.
    const qsizetype hooks = engine.findChildren<THookWindowProc*>().size();
    engine.InitAllForms();
    EXPECT_EQ(engine.findChildren<THookWindowProc*>().size(), hooks);
}

TEST_F(Gallery, EveryPaintedControlLooksDifferentSkinned)
{
    const QImage before = gallery.picture();
    TKqSkinPlus engine;
    engine.Loaded();
    const QImage after = gallery.picture();
    ASSERT_EQ(before.size(), after.size());
    for (const KindOf& k : kKinds) {
        if (k.kind == TKqSkinKind::Menu)
            continue; // a pop-up, not on the form's picture
        QWidget* control = gallery.control(QString::fromLatin1(k.name));
        const QRect area(control->mapTo(&gallery, QPoint(0, 0)), control->size());
        EXPECT_NE(before.copy(area), after.copy(area)) << k.name;
    }
    // A header paints nothing of its own while hooked: every pixel of its sections is the skin's, so the top row
    // runs from Header.Light.
    const TKqHeaderColors& h = engine.Colors().Header();
    QWidget* sections = gallery.control(QStringLiteral("header control sections"));
    const QImage header = sections->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(header.pixelColor(5, 0),
              skin_test::BandColour(skin_test::Rgb(h.Light()), skin_test::Rgb(h.Face()), sections->height(), 0));
}

TEST_F(Gallery, TheOpenMenuIsDrawnByTheSkin)
{
    TKqSkinPlus engine;
    engine.Loaded();
    const QImage menu = gallery.menuPicture();
    const TKqMenuItemColors& m = engine.Colors().MenuItem();
    const auto rgb = skin_test::Rgb;
    // The highlighted item's border, and the separator's line.
    QMenu* file = gallery.fileMenu();
    const QRect open = file->actionGeometry(file->actions().at(1));
    EXPECT_EQ(menu.pixelColor(open.topLeft()), rgb(m.BorderOn()));
    const QRect line = file->actionGeometry(file->actions().at(3));
    EXPECT_EQ(menu.pixelColor(line.x() + 24 + 10, (line.top() + line.bottom() + 1) / 2), rgb(m.Line()));
}

TEST_F(Gallery, AHookedHeaderFollowsTheCursorAsTheButtonGoesDown)
{
    TKqSkinPlus engine;
    engine.Loaded();
    QWidget* sections = gallery.control(QStringLiteral("list view header"));
    const TKqHeaderColors& h = engine.Colors().Header();
    const QColor press =
        skin_test::BandColour(skin_test::Rgb(h.LightPress()), skin_test::Rgb(h.FacePress()), sections->height(), 0);
    const QPoint middle(30, sections->height() / 2);
    QCursor::setPos(sections->mapToGlobal(middle));
    QTest::mousePress(sections, Qt::LeftButton, Qt::NoModifier, middle);
    QApplication::processEvents();
    const auto topRow = [sections] {
        return sections->grab().toImage().convertToFormat(QImage::Format_RGB32).pixelColor(30, 0);
    };
    const bool pressedShown = topRow() == press;
    QTest::mouseRelease(sections, Qt::LeftButton, Qt::NoModifier, middle);
    QApplication::processEvents();
    EXPECT_TRUE(pressedShown);
    EXPECT_NE(topRow(), press);
}

} // namespace
} // namespace tarvix
