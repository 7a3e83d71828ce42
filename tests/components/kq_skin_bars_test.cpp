// The skin's owner-drawn menus, tabs, status bars, tool bars, tool buttons and speed buttons, in pixels on the
// offscreen platform. Expected colours come from the colour set.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "components/kq_skin_paint_bars.h"
#include "components/kq_skin_paint_menus.h"
#include "tests/components/kq_skin_test_support.h"

namespace tarvix::skin_test {
namespace {

QIcon SquareIcon(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// ---- Menus

TEST(MenuMeasureItem, DropDownItemsGrowAndBarItemsOnlyWithAnImage)
{
    struct Case {
        bool mainItem, image;
        QSize expected;
    };
    for (const Case c : {Case{false, false, {174, 25}}, Case{false, true, {174, 25}}, Case{true, true, {105, 20}},
                         Case{true, false, {100, 20}}}) {
        int width = 100;
        int height = 20;
        MenuMeasureItem(c.mainItem, c.image, width, height);
        EXPECT_EQ(QSize(width, height), c.expected) << c.mainItem << c.image;
    }
}

TEST_F(SkinPainting, AnOwnerDrawnMenuMeasuresItsItemsWiderAndTaller)
{
    QMenu plain(&top);
    QMenu skinned(&top);
    for (QMenu* menu : {&plain, &skinned})
        menu->addAction(QStringLiteral("Open"));
    EXPECT_TRUE(MakeOwnerDrawn(&skinned));
    EXPECT_FALSE(MakeOwnerDrawn(&skinned));
    const QRect before = plain.actionGeometry(plain.actions().at(0));
    const QRect after = skinned.actionGeometry(skinned.actions().at(0));
    EXPECT_EQ(after.height(), before.height() + 5);
    EXPECT_GE(after.width(), before.width() + 74);
}

struct MenuItems : SkinPainting {
    MenuItems()
    {
        colors.MenuItem().SetText(RGBColor(200, 0, 0));
        colors.MenuItem().SetTextOn(RGBColor(0, 150, 0));
        colors.MenuItem().SetTextDisable(RGBColor(0, 0, 200));
    }
    QImage Draw(QAction* item, bool hot, bool selected, const QWidget* owner = nullptr)
    {
        QImage image = Blank(200, 30, Qt::red);
        QPainter p(&image);
        MenuDrawItem(p, owner != nullptr ? owner : &menu, item, QRect(0, 0, 200, 30), hot, selected);
        return image;
    }
    QMenu menu{&top};
};

TEST_F(MenuItems, DropDownItemsNormalHotDisabledCheckedAndSeparator)
{
    const TKqMenuItemColors& m = colors.MenuItem();
    QAction* open = menu.addAction(QStringLiteral("Open"));
    QAction* wrap = menu.addAction(QStringLiteral("Wrap"));
    wrap->setCheckable(true);
    wrap->setChecked(true);
    QAction* print = menu.addAction(SquareIcon(QColor(60, 120, 180)), QStringLiteral("Print"));
    print->setEnabled(false);
    QAction* line = menu.addSeparator();
    // The icon column's gradient runs from left to right over its 24 pixels.
    const QColor iconLeft = BandColour(Rgb(m.IconLight()), Rgb(m.Icon()), 24, 0);

    struct Case {
        const char* name;
        QAction* item;
        bool hot;
        bool selected;
        QColor corner;     // (0, 0)
        QColor iconColumn; // (1, 15): the icon column's left edge, or the hot fill
        QColor text;       // the caption's colour (invalid: no caption)
    };
    const Case cases[] = {
        {"normal", open, false, false, iconLeft, iconLeft, Rgb(m.Text())},
        {"hot", open, true, false, Rgb(m.BorderOn()), QColor(), Rgb(m.TextOn())},
        {"selected", open, false, true, Rgb(m.BorderOn()), QColor(), Rgb(m.TextOn())},
        {"disabled", print, false, false, iconLeft, iconLeft, Rgb(m.TextDisable())},
        {"disabled and hot", print, true, false, Rgb(m.BorderOn()), QColor(), Rgb(m.TextDisable())},
        {"separator", line, false, false, iconLeft, iconLeft, QColor()},
    };
    for (const Case& c : cases) {
        const QImage image = Draw(c.item, c.hot, c.selected);
        EXPECT_EQ(image.pixelColor(0, 0), c.corner) << c.name;
        if (c.iconColumn.isValid()) {
            EXPECT_EQ(image.pixelColor(0, 15), c.iconColumn) << c.name;
        }
        // The text column starts at 24 with MenuItem.Light; the hot fill starts at LightOn inside the border.
        if (!c.hot && !c.selected)
            EXPECT_EQ(image.pixelColor(24, 15), BandColour(Rgb(m.Light()), Rgb(m.Face()), 176, 0)) << c.name;
        else
            EXPECT_EQ(image.pixelColor(1, 1), GlassColour(Rgb(m.LightOn()), Rgb(m.FaceOn()), 28, 0)) << c.name;
        for (const QColor other : {Rgb(m.Text()), Rgb(m.TextOn()), Rgb(m.TextDisable())}) {
            const QRect text = BoundsOf(image, other);
            if (other == c.text) {
                ASSERT_FALSE(text.isEmpty()) << c.name;
                // The caption 6 pixels into the text column.
                EXPECT_GE(text.left(), 24 + 6) << c.name;
                EXPECT_LE(text.left(), 24 + 8) << c.name;
            } else {
                EXPECT_TRUE(text.isEmpty()) << c.name;
            }
        }
    }

    // The separator: a line in the middle from 6 pixels into the text column to its end.
    const QImage separator = Draw(line, false, false);
    EXPECT_EQ(separator.pixelColor(24 + 6, 15), Rgb(m.Line()));
    EXPECT_EQ(separator.pixelColor(199, 15), Rgb(m.Line()));
    EXPECT_NE(separator.pixelColor(24 + 5, 15), Rgb(m.Line()));
    EXPECT_NE(separator.pixelColor(100, 14), Rgb(m.Line()));

    // The check mark: a tick in Mark in the icon column, none for an unchecked item.
    const QImage checked = Draw(wrap, false, false);
    const QRect tick = BoundsOf(checked.copy(0, 0, 24, 30), Rgb(m.Mark()));
    ASSERT_FALSE(tick.isEmpty());
    // DrawTick's 11 x 11 area from the top-left corner of the 9 x 10 area centred in the icon column.
    EXPECT_TRUE(QRect((24 - 9) / 2, (30 - 10) / 2, 11, 11).contains(tick)) << tick.x() << "," << tick.y();
    EXPECT_GE(tick.width(), 7);
    EXPECT_GE(tick.height(), 7);
    EXPECT_TRUE(BoundsOf(Draw(open, false, false).copy(0, 0, 24, 30), Rgb(m.Mark())).isEmpty());

    // A disabled item's image in brightened greys: (60 + 120 + 180) / 3 + 20.
    const QImage disabled = Draw(print, false, false);
    EXPECT_EQ(CountColour(disabled, QRect(0, 0, 24, 30), QColor(140, 140, 140)), 16 * 16);
    const QImage enabled = Draw(open, false, false);
    EXPECT_EQ(CountColour(enabled, QRect(0, 0, 24, 30), QColor(140, 140, 140)), 0);
}

TEST_F(MenuItems, BarItemsHotSelectedAndTheBarRightOfTheLastOne)
{
    const TKqMainMenuColors& m = colors.MainMenu();
    QMenuBar bar(&top);
    bar.setGeometry(0, 0, 300, 30);
    QAction* file = bar.addAction(QStringLiteral("File"));
    QAction* edit = bar.addAction(QStringLiteral("Edit"));
    struct Case {
        const char* name;
        QAction* item;
        bool hot, selected;
        QColor corner, inside;
        bool barFilled;
    };
    // A resting item is filled over its 30 rows; a hot or selected one inside its border, over 28.
    const QColor resting = BandColour(Rgb(m.Light()), Rgb(m.Face()), 30, 0);
    const QColor restingInside = BandColour(Rgb(m.Light()), Rgb(m.Face()), 30, 1);
    const Case cases[] = {
        {"normal", file, false, false, resting, restingInside, false},
        {"hot", file, true, false, Rgb(m.BorderOn()), BandColour(Rgb(m.LightOn()), Rgb(m.FaceOn()), 28, 0), false},
        {"selected", file, false, true, Rgb(m.BorderPress()),
         BandColour(Rgb(m.LightPress()), Rgb(m.FacePress()), 28, 0), false},
        {"the last item", edit, false, false, resting, restingInside, true},
    };
    for (const Case& c : cases) {
        QImage image = Blank(300, 30, Qt::red);
        {
            QPainter p(&image);
            MenuDrawItem(p, &bar, c.item, QRect(0, 0, 60, 30), c.hot, c.selected);
        }
        EXPECT_EQ(image.pixelColor(0, 0), c.corner) << c.name;
        EXPECT_EQ(image.pixelColor(1, 1), c.inside) << c.name;
        // A bar item without an image has no icon column: its fill starts at its left edge.
        EXPECT_EQ(image.pixelColor(60, 0) == resting, c.barFilled) << c.name;
        EXPECT_EQ(image.pixelColor(299, 0) == resting, c.barFilled) << c.name;
    }
}

// ---- Tabs

struct TabCase {
    const char* name;
    QTabWidget::TabPosition position;
    int style;
    bool hot;
    int borders; // Border-coloured pixels on the line across the inactive second tab
};

TEST_F(SkinPainting, TabsInEveryPositionAndStyle)
{
    const TKqTabButtonColors& t = colors.TabButton();
    const TabCase cases[] = {
        {"tabs at the top", QTabWidget::North, tsTabs, false, 1},
        {"tabs at the bottom", QTabWidget::South, tsTabs, false, 1},
        {"tabs at the left", QTabWidget::West, tsTabs, false, 1},
        {"tabs at the right", QTabWidget::East, tsTabs, false, 1},
        {"buttons at the top", QTabWidget::North, tsButtons, false, 2},
        {"buttons at the bottom", QTabWidget::South, tsButtons, false, 2},
        {"buttons at the left", QTabWidget::West, tsButtons, false, 2},
        {"flat buttons", QTabWidget::North, tsFlatButtons, false, 0},
        {"flat buttons at the right", QTabWidget::East, tsFlatButtons, false, 0},
        {"a hot flat button", QTabWidget::North, tsFlatButtons, true, 2},
    };
    for (const TabCase& c : cases) {
        auto* tabs = Make(new QTabWidget(&top), QRect(0, 0, 320, 200));
        tabs->setTabPosition(c.position);
        tabs->setProperty("TabStyle", c.style);
        for (const char* caption : {"First", "Second", "Third"})
            tabs->addTab(new QWidget(tabs), QString::fromLatin1(caption));
        tabs->show();
        QTabBar* bar = tabs->tabBar();
        EXPECT_EQ(TabStyleOf(bar), c.style) << c.name;
        const QRect second = bar->tabRect(1);
        TKqPaintState s;
        s.Cursor = c.hot ? second.center() : QPoint(-10, -10);
        const QImage image = PaintedOver(bar, PaintTabBar, s);
        // A line across the second tab, through its middle, from the bar's outer edge to the page.
        const bool horizontal = c.position == QTabWidget::North || c.position == QTabWidget::South;
        const QRect across = horizontal ? QRect(second.center().x() - 8, 0, 1, bar->height())
                                        : QRect(0, second.center().y() + 1, bar->width(), 1);
        EXPECT_EQ(CountColour(image, across, Rgb(t.Border())), c.borders) << c.name;
        // The active tab, in FaceSelect from LightSelect (one colour by default), left of its caption.
        const QRect first = bar->tabRect(0);
        const QPoint inside = horizontal ? QPoint(first.x() + 4, first.center().y()) : first.topLeft() + QPoint(4, 4);
        EXPECT_EQ(image.pixelColor(inside), Rgb(t.FaceSelect())) << c.name;
        delete tabs;
    }
}

TEST_F(SkinPainting, DisabledTabsAndTabCaptionsTakeTheirColours)
{
    colors.TabButton().SetText(RGBColor(200, 0, 0));
    colors.TabButton().SetTextSelect(RGBColor(0, 150, 0));
    colors.TabButton().SetTextDisable(RGBColor(0, 0, 200));
    colors.TabButton().SetTextOn(RGBColor(150, 0, 150));
    colors.TabButton().SetFaceDisable(RGBColor(10, 20, 30));
    colors.TabButton().SetLightDisable(RGBColor(10, 20, 30));
    auto* tabs = Make(new QTabWidget(&top), QRect(0, 0, 320, 200));
    for (const char* caption : {"One", "Two", "Off"})
        tabs->addTab(new QWidget(tabs), QString::fromLatin1(caption));
    tabs->setTabEnabled(2, false);
    tabs->show();
    QTabBar* bar = tabs->tabBar();
    TKqPaintState s;
    s.Cursor = bar->tabRect(1).center();
    const QImage image = PaintedOver(bar, PaintTabBar, s);
    const QColor expected[] = {QColor(0, 150, 0), QColor(150, 0, 150), QColor(0, 0, 200)};
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(CountColour(image, bar->tabRect(i), expected[i]), 0) << i;
    EXPECT_GT(CountColour(image, bar->tabRect(2), QColor(10, 20, 30)), 0);
}

TEST_F(SkinPainting, PageControlFramesThePageAndFillsTheTabStripWithTheParentsColour)
{
    struct Case {
        QTabWidget::TabPosition position;
        QPoint farEdge;  // on the page's frame, opposite the tabs
        QPoint stripEnd; // in the tab strip, past the tabs
    };
    const Case cases[] = {
        {QTabWidget::North, {160, 199}, {318, 1}},
        {QTabWidget::South, {160, 0}, {318, 198}},
        {QTabWidget::West, {319, 100}, {1, 198}},
        {QTabWidget::East, {0, 100}, {318, 198}},
    };
    for (const Case& c : cases) {
        auto* tabs = Make(new QTabWidget(&top), QRect(0, 0, 320, 200));
        tabs->setTabPosition(c.position);
        tabs->addTab(new QWidget(tabs), QStringLiteral("One"));
        tabs->show();
        const QImage image = PaintedOver(tabs, PaintPageControl);
        EXPECT_EQ(image.pixelColor(c.farEdge), Rgb(colors.PageControl().Border())) << c.position;
        EXPECT_EQ(image.pixelColor(c.stripEnd), kBack) << c.position;
        EXPECT_EQ(image.pixelColor(160, 100), Rgb(colors.PageControl().Face())) << c.position;
        // The colour is the skin's from then on.
        EXPECT_EQ(tabs->palette().color(QPalette::Window), Rgb(colors.PageControl().Face()));
        delete tabs;
    }
}

// ---- Status bar

TEST_F(SkinPainting, StatusBarWithAndWithoutPanelsAndSizeGrip)
{
    const TKqStatusBarColors& c = colors.StatusBar();
    struct Case {
        const char* name;
        int panels;
        bool grip;
        bool resizable;
        int borderWidth;
    };
    const Case cases[] = {
        {"a simple panel", 0, false, true, 0},          {"three panels", 3, false, true, 0},
        {"panels and the size grip", 2, true, true, 0}, {"a grip on a fixed window shows none", 1, true, false, 0},
        {"a border width", 2, false, true, 2},
    };
    for (const Case& k : cases) {
        QWidget form;
        form.resize(300, 100);
        if (!k.resizable)
            form.setFixedSize(300, 100);
        auto* bar = new QStatusBar(&form);
        bar->setGeometry(0, 70, 300, 24);
        bar->setProperty("BorderWidth", k.borderWidth);
        for (int i = 0; i < k.panels; ++i)
            bar->addWidget(new QLabel(QStringLiteral("Panel"), bar));
        bar->setSizeGripEnabled(k.grip);
        form.show();
        QApplication::processEvents();
        const QImage unskinned = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage image = PaintedOver(bar, PaintStatusBar);
        const QColor back = bar->palette().color(QPalette::Window);
        // The top band: four rows from Border toward Face.
        EXPECT_EQ(image.pixelColor(150, 0), BandColour(Rgb(c.Border()), Rgb(c.Face()), 4, 0)) << k.name;
        // With a border width, the rows below the band get the bar's colour.
        EXPECT_EQ(image.pixelColor(150, 3), k.borderWidth > 0 ? bar->palette().color(QPalette::Window)
                                                              : BandColour(Rgb(c.Border()), Rgb(c.Face()), 4, 3))
            << k.name;
        EXPECT_EQ(image.pixelColor(k.borderWidth, 10), back) << k.name;
        // A divider after every panel but the last.
        EXPECT_EQ(CountColour(image, QRect(0, 12, 280, 1), Rgb(c.Divider())), std::max(k.panels - 1, 0)) << k.name;
        // The grip's dots: the bottom-right one, from Face toward Border, in the bar's own corner.
        const QColor dot = image.pixelColor(300 - 3, 24 - 3);
        const bool showsGrip = k.grip && k.resizable;
        const QColor face = Rgb(c.Face());
        const QColor border = Rgb(c.Border());
        if (showsGrip) {
            // Each 2 x 2 dot runs from Face at its top-left toward Border at its bottom-right.
            const QColor dotEnd = image.pixelColor(300 - 2, 24 - 2);
            EXPECT_TRUE(Between(dot, face, border)) << k.name;
            EXPECT_TRUE(Between(dotEnd, dot, border)) << k.name;
            EXPECT_NE(dot, dotEnd) << k.name;
            EXPECT_EQ(image.pixelColor(300 - 4, 24 - 4), back) << k.name;
            // Three rows of dots: 3, 2 and 1 from the right.
            for (const QPoint at : {QPoint(300 - 11, 24 - 3), QPoint(300 - 7, 24 - 7), QPoint(300 - 3, 24 - 11)})
                EXPECT_TRUE(Between(image.pixelColor(at), face, border)) << k.name;
            EXPECT_EQ(image.pixelColor(300 - 7, 24 - 11), back) << k.name;
            // The grip widget shows the same dots in its place.
            const auto* grip = bar->findChild<QSizeGrip*>();
            ASSERT_NE(grip, nullptr) << k.name;
            const QImage own = PaintedOver(const_cast<QSizeGrip*>(grip), PaintStatusBarGrip);
            const QPoint at = QPoint(300 - 3, 24 - 3) - grip->pos();
            ASSERT_TRUE(own.rect().contains(at)) << k.name;
            EXPECT_EQ(own.pixelColor(at), dot) << k.name;
        } else {
            // Left as the platform drew it.
            EXPECT_EQ(dot, unskinned.pixelColor(300 - 3, 24 - 3)) << k.name;
        }
    }
}

// ---- Tool bars and tool buttons

TEST_F(SkinPainting, ToolBarFrameFollowsItsEdgeBorders)
{
    const TKqToolBarColors& t = colors.ToolBar();
    struct Case {
        const char* name;
        QVariant edges;
        QColor top, bottom, left;
    };
    const Case cases[] = {
        {"the top edge by default", QVariant(), Rgb(t.Border()), Rgb(t.Face()), Rgb(t.Face())},
        {"all edges", ebLeft | ebTop | ebRight | ebBottom, Rgb(t.Border()), Rgb(t.Border()), Rgb(t.Border())},
        {"no edges", 0, Rgb(t.Face()), Rgb(t.Face()), Rgb(t.Face())},
        {"left and bottom", ebLeft | ebBottom, Rgb(t.Face()), Rgb(t.Border()), Rgb(t.Border())},
    };
    for (const Case& c : cases) {
        auto* bar = Make(new QToolBar(&top), QRect(0, 0, 200, 30));
        bar->setProperty("EdgeBorders", c.edges);
        const QImage image = PaintedOver(bar, PaintToolBarFrame);
        EXPECT_EQ(image.pixelColor(100, 0), c.top) << c.name;
        EXPECT_EQ(image.pixelColor(100, 29), c.bottom) << c.name;
        EXPECT_EQ(image.pixelColor(0, 15), c.left) << c.name;
        delete bar;
    }
}

TEST_F(SkinPainting, ToolButtonsOnFlatAndNonFlatBars)
{
    const TKqSpeedButtonColors& sb = colors.SpeedButton();
    struct Case {
        const char* name;
        bool flat;
        bool hot;
        bool lButtonDown;
        bool checked;
        QColor border;
        QColor light, face; // the fill inside the border (one colour for a flat fill)
    };
    const QColor barColour(200, 210, 220);
    const Case cases[] = {
        {"flat, resting", true, false, false, false, barColour, barColour, barColour},
        {"flat, hot", true, true, false, false, Rgb(sb.BorderOn()), Rgb(sb.LightOn()), Rgb(sb.FaceOn())},
        {"flat, down", true, false, false, true, Rgb(sb.BorderOn()), Rgb(sb.LightPress()), Rgb(sb.FacePress())},
        {"non-flat, resting", false, false, false, false, Rgb(sb.Border()), Rgb(sb.Light()), Rgb(sb.Face())},
        {"non-flat, hot", false, true, false, false, Rgb(sb.BorderOn()), Rgb(sb.LightOn()), Rgb(sb.FaceOn())},
        {"non-flat, pushed", false, true, true, false, Rgb(sb.BorderPress()), Rgb(sb.LightPress()),
         Rgb(sb.FacePress())},
        {"the left button away from it", false, false, true, false, Rgb(sb.Border()), Rgb(sb.Light()), Rgb(sb.Face())},
    };
    for (const Case& c : cases) {
        auto* bar = Make(new QToolBar(&top), QRect(0, 0, 200, 40));
        QPalette pal = bar->palette();
        pal.setColor(QPalette::Window, barColour);
        bar->setPalette(pal);
        bar->setProperty("Flat", c.flat);
        QAction* action = bar->addAction(SquareIcon(Qt::blue), QStringLiteral("Cut"));
        action->setCheckable(c.checked);
        action->setChecked(c.checked);
        bar->show();
        QApplication::processEvents();
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        TKqPaintState s;
        s.Cursor = c.hot ? button->rect().center() : QPoint(-5, -5);
        s.LButtonDown = c.lButtonDown;
        s.MouseOver = c.hot;
        const QImage image = PaintedOver(button, PaintToolButton, s);
        EXPECT_EQ(image.pixelColor(0, 0), c.border) << c.name;
        const int inside = button->height() - 2;
        const QColor fillTop = c.light == c.face ? c.light : GlassColour(c.light, c.face, inside, 0);
        EXPECT_EQ(image.pixelColor(1, 1), fillTop) << c.name;
        delete bar;
    }
}

TEST_F(SkinPainting, ToolBarSeparatorsAreDividers)
{
    auto* bar = Make(new QToolBar(&top), QRect(0, 0, 200, 40));
    bar->addAction(QStringLiteral("A"));
    QAction* separator = bar->addSeparator();
    bar->addAction(QStringLiteral("B"));
    bar->show();
    QApplication::processEvents();
    QWidget* divider = bar->widgetForAction(separator);
    ASSERT_NE(divider, nullptr);
    const QImage image = PaintedOver(divider, PaintToolButton);
    const int x = divider->width() / 2;
    EXPECT_EQ(image.pixelColor(x, divider->height() / 2), Rgb(colors.ToolBar().Divider()));
    EXPECT_EQ(image.pixelColor(x, 2), bar->palette().color(QPalette::Window));
    EXPECT_EQ(CountColour(image, image.rect(), Rgb(colors.ToolBar().Divider())), divider->height() - 6);
}

// ---- Speed buttons

TEST(SpeedButtonCell, TheCellForTheStateAndTheCellsThereAre)
{
    struct Case {
        int cells;
        bool enabled, lButtonDown, down;
        int expected;
    };
    const Case cases[] = {
        {1, false, false, false, 0}, {2, false, false, false, 1}, {4, false, true, true, 1},
        {2, true, true, false, 0},   {3, true, true, false, 2},   {3, true, false, true, 0},
        {4, true, false, true, 3},   {4, true, true, true, 2},    {4, true, false, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpeedButtonCell(c.cells, c.enabled, c.lButtonDown, c.down), c.expected)
            << c.cells << c.enabled << c.lButtonDown << c.down;
}

QImage Strip(int cells)
{
    static const QColor colours[] = {QColor(40, 90, 220), QColor(150, 150, 150), QColor(20, 40, 120),
                                     QColor(30, 160, 60)};
    QImage strip(16 * cells, 16, QImage::Format_RGB32);
    strip.fill(Qt::magenta);
    QPainter p(&strip);
    for (int i = 0; i < cells; ++i)
        p.fillRect(QRect(16 * i + 4, 4, 8, 8), colours[i]);
    return strip;
}

TEST(SpeedButtonGlyph, OneCellWithoutItsBackgroundAndGreyWhenDisabledAlone)
{
    // Pixmaps need the application object, also when this case runs alone.
    (void)test::qtApplication();
    const QImage cell = SpeedButtonGlyph(Strip(4), 4, 3, true).toImage();
    ASSERT_EQ(cell.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(cell.pixel(0, 0)), 0);
    EXPECT_EQ(cell.pixelColor(8, 8), QColor(30, 160, 60));
    const QImage grey = SpeedButtonGlyph(Strip(1), 1, 0, false).toImage();
    EXPECT_EQ(qAlpha(grey.pixel(0, 0)), 0);
    // (40 + 90 + 220) / 3 + 20
    EXPECT_EQ(grey.pixelColor(8, 8), QColor(136, 136, 136));
    // A strip with a disabled cell shows that cell as it is.
    EXPECT_EQ(SpeedButtonGlyph(Strip(2), 2, 1, false).toImage().pixelColor(8, 8), QColor(150, 150, 150));
}

struct SpeedButtons : SkinPainting {
    QToolButton* MakeButton(int cells, const QString& text)
    {
        auto* button = Make(new QToolButton(&top), QRect(0, 0, 110, 60));
        button->setIcon(QIcon(QPixmap::fromImage(Strip(cells))));
        button->setIconSize(QSize(16 * cells, 16));
        button->setProperty("NumGlyphs", cells);
        button->setText(text);
        return button;
    }
};

TEST_F(SpeedButtons, GlyphLayoutsPlaceTheGlyphAroundTheCaption)
{
    colors.SpeedButton().SetText(RGBColor(200, 0, 0));
    const QColor glyph(40, 90, 220);
    struct Case {
        int layout;
        const char* name;
    };
    for (const Case c : {Case{glGlyphLeft, "left"}, Case{glGlyphRight, "right"}, Case{glGlyphTop, "top"},
                         Case{glGlyphBottom, "bottom"}}) {
        QToolButton* button = MakeButton(4, QStringLiteral("Go"));
        button->setProperty("Layout", c.layout);
        const QImage image = PaintedOver(button, PaintSpeedButton);
        const QRect g = BoundsOf(image, glyph);
        const QRect t = BoundsOf(image, QColor(200, 0, 0));
        ASSERT_EQ(g.size(), QSize(8, 8)) << c.name;
        ASSERT_FALSE(t.isEmpty()) << c.name;
        switch (c.layout) {
        case glGlyphLeft: EXPECT_LT(g.right(), t.left()) << c.name; break;
        case glGlyphRight: EXPECT_GT(g.left(), t.right()) << c.name; break;
        case glGlyphTop: EXPECT_LT(g.bottom(), t.top()) << c.name; break;
        case glGlyphBottom: EXPECT_GT(g.top(), t.bottom()) << c.name; break;
        default: break;
        }
        // Centred: the pair is as far from either side (within the layout's rounding).
        const QRect pair = g | t;
        EXPECT_NEAR(pair.left(), 110 - 1 - pair.right(), 3) << c.name;
        EXPECT_NEAR(pair.top(), 60 - 1 - pair.bottom(), 3) << c.name;
        delete button;
    }
}

TEST_F(SpeedButtons, DownFlatHotAndDisabledFaces)
{
    const TKqSpeedButtonColors& sb = colors.SpeedButton();
    struct Case {
        const char* name;
        bool flat, down, hot, lButtonDown, enabled;
        QColor border, light, face, glyph;
    };
    const QColor normal(40, 90, 220), disabled(150, 150, 150), pressed(20, 40, 120), downCell(30, 160, 60);
    const Case cases[] = {
        {"normal", false, false, false, false, true, Rgb(sb.Border()), Rgb(sb.Light()), Rgb(sb.Face()), normal},
        {"down", false, true, false, false, true, Rgb(sb.BorderOn()), Rgb(sb.LightPress()), Rgb(sb.FacePress()),
         downCell},
        {"pushed", false, false, true, true, true, Rgb(sb.BorderPress()), Rgb(sb.LightPress()), Rgb(sb.FacePress()),
         pressed},
        {"hot", false, false, true, false, true, Rgb(sb.BorderOn()), Rgb(sb.LightOn()), Rgb(sb.FaceOn()), normal},
        {"disabled", false, false, false, false, false, Rgb(sb.BorderDisable()), Rgb(sb.FaceDisable()),
         Rgb(sb.FaceDisable()), disabled},
        {"flat, resting, blends into its parent", true, false, false, false, true, kBack, kBack, kBack, normal},
        {"flat, down", true, true, false, false, true, Rgb(sb.BorderOn()), Rgb(sb.LightPress()), Rgb(sb.FacePress()),
         downCell},
    };
    for (const Case& c : cases) {
        QToolButton* button = MakeButton(4, QStringLiteral("Go"));
        button->setAutoRaise(c.flat);
        button->setCheckable(true);
        button->setChecked(c.down);
        button->setEnabled(c.enabled);
        TKqPaintState s;
        s.MouseOver = c.hot;
        s.LButtonDown = c.lButtonDown;
        const QImage image = PaintedOver(button, PaintSpeedButton, s);
        EXPECT_EQ(image.pixelColor(0, 0), c.border) << c.name;
        EXPECT_EQ(image.pixelColor(109, 59), c.border) << c.name;
        const QColor fillTop = c.light == c.face ? c.light : GlassColour(c.light, c.face, 58, 0);
        EXPECT_EQ(image.pixelColor(1, 1), fillTop) << c.name;
        EXPECT_EQ(BoundsOf(image, c.glyph).size(), QSize(8, 8)) << c.name;
        delete button;
    }
}

TEST_F(SkinPainting, SpeedFaceWithADropDownArrow)
{
    const TKqSpeedButtonColors& sb = colors.SpeedButton();
    for (const bool hot : {false, true}) {
        QImage image = Blank(60, 30, Qt::red);
        TKqSpeedFace face;
        face.Hot = hot;
        face.DropDown = true;
        face.ParentColor = kBack;
        {
            QPainter p(&image);
            DrawSpeedFace(p, image.rect(), face);
        }
        // Inside the border: right = 59; the line at 59 - 14 from top + 5, the arrow centred in (47..55).
        EXPECT_EQ(image.pixelColor(45, 15) == Rgb(sb.BorderOn()), hot) << hot;
        EXPECT_EQ(CountColour(image, QRect(47, 4, 8, 22), Rgb(colors.ArrowBtn().Mark())), 16) << hot;
    }
}

} // namespace
} // namespace tarvix::skin_test
