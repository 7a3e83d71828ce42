// The skin's arrows, arrow buttons, header sections and the painters of combo boxes, up-downs, headers, string
// grids and list views, in pixels on the offscreen platform. Expected colours come from the colour set.
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "components/kq_skin_paint_arrows.h"
#include "components/kq_skin_paint_lists.h"
#include "tests/components/kq_skin_test_support.h"

namespace tarvix::skin_test {
namespace {

// ---- DrawArrow

TEST(DrawArrow, PointsItsTipTheWayItIsToldWithSizePlusFourLines)
{
    struct Case {
        int direction;
        int size;
        QPoint tip;    // the single pixel of line 0, relative to the centre
        QPoint baseAt; // a pixel of the widest line, relative to the centre
        bool baseHorizontal;
    };
    // Centre (10, 10); the widest line k = Size + 3 is 2 (Size + 3) + 1 long.
    const Case cases[] = {
        {adDown, 0, {0, 2}, {0, -1}, true},  {adDown, 1, {0, 3}, {0, -1}, true},   {adUp, 0, {0, -1}, {0, 2}, true},
        {adUp, 2, {0, -3}, {0, 2}, true},    {adRight, 0, {2, 0}, {-1, 0}, false}, {adLeft, 0, {-2, 0}, {1, 0}, false},
        {adLeft, 1, {-3, 0}, {1, 0}, false},
    };
    for (const Case& c : cases) {
        QImage image = Blank(21, 21, Qt::white);
        {
            QPainter p(&image);
            p.setPen(Qt::black);
            DrawArrow(p, QRect(0, 0, 20, 20), c.direction, c.size);
        }
        const QPoint centre(10, 10);
        const int n = c.size + 4;
        EXPECT_EQ(CountColour(image, image.rect(), Qt::black), n * n) << c.direction << "/" << c.size;
        const QPoint tip = centre + c.tip;
        EXPECT_EQ(image.pixelColor(tip), QColor(Qt::black)) << c.direction << "/" << c.size;
        // Nothing beyond the tip, and the tip is a single pixel across.
        const QPoint outward = c.baseHorizontal ? QPoint(0, c.tip.y() > 0 ? 1 : -1) : QPoint(c.tip.x() > 0 ? 1 : -1, 0);
        const QPoint across = c.baseHorizontal ? QPoint(1, 0) : QPoint(0, 1);
        EXPECT_EQ(image.pixelColor(tip + outward), QColor(Qt::white)) << c.direction << "/" << c.size;
        EXPECT_EQ(image.pixelColor(tip + across), QColor(Qt::white)) << c.direction << "/" << c.size;
        // The base runs from centre - (Size + 3) to centre + (Size + 3).
        const QPoint base = centre + c.baseAt;
        const int half = c.size + 3;
        EXPECT_EQ(image.pixelColor(base - across * half), QColor(Qt::black)) << c.direction << "/" << c.size;
        EXPECT_EQ(image.pixelColor(base + across * half), QColor(Qt::black)) << c.direction << "/" << c.size;
        EXPECT_EQ(image.pixelColor(base + across * (half + 1)), QColor(Qt::white)) << c.direction << "/" << c.size;
    }
}

// ---- DrawArrowButton

struct ArrowLook {
    const char* name;
    bool enabled, pushed, hot;
    TColor (TKqArrowBtnColors::*border)() const;
    TColor (TKqArrowBtnColors::*face)() const;
    TColor (TKqArrowBtnColors::*light)() const;
    TColor (TKqArrowBtnColors::*mark)() const;
};

const ArrowLook kArrowLooks[] = {
    {"normal", true, false, false, &TKqArrowBtnColors::Border, &TKqArrowBtnColors::Face, &TKqArrowBtnColors::Light,
     &TKqArrowBtnColors::Mark},
    {"hot", true, false, true, &TKqArrowBtnColors::BorderOn, &TKqArrowBtnColors::FaceOn, &TKqArrowBtnColors::LightOn,
     &TKqArrowBtnColors::Mark},
    {"pushed", true, true, false, &TKqArrowBtnColors::BorderPress, &TKqArrowBtnColors::FacePress,
     &TKqArrowBtnColors::LightPress, &TKqArrowBtnColors::Mark},
    {"pushed wins over hot", true, true, true, &TKqArrowBtnColors::BorderPress, &TKqArrowBtnColors::FacePress,
     &TKqArrowBtnColors::LightPress, &TKqArrowBtnColors::Mark},
    // Disabled: flat in FaceDisable.
    {"disabled", false, false, false, &TKqArrowBtnColors::BorderDisable, &TKqArrowBtnColors::FaceDisable,
     &TKqArrowBtnColors::FaceDisable, &TKqArrowBtnColors::MarkDisable},
    {"disabled ignores hot and pushed", false, true, true, &TKqArrowBtnColors::BorderDisable,
     &TKqArrowBtnColors::FaceDisable, &TKqArrowBtnColors::FaceDisable, &TKqArrowBtnColors::MarkDisable},
};

TEST_F(SkinPainting, ArrowButtonsInEveryLookAndTheirDisabledGlyph)
{
    const TKqArrowBtnColors& c = colors.ArrowBtn();
    for (const ArrowLook& look : kArrowLooks) {
        QImage image = Blank(40, 30, Qt::red);
        const QRect r(5, 5, 17, 16);
        {
            QPainter p(&image);
            DrawArrowButton(p, r, look.enabled, 0, adDown, look.pushed, look.hot);
        }
        EXPECT_EQ(image.pixelColor(5, 5), Rgb((c.*look.border)())) << look.name;
        EXPECT_EQ(image.pixelColor(21, 20), Rgb((c.*look.border)())) << look.name;
        // The glass (flat when disabled), 16 rows high, inside the border.
        const QColor light = Rgb((c.*look.light)());
        const QColor face = Rgb((c.*look.face)());
        for (const int row : {1, 7, 8, 14})
            EXPECT_EQ(image.pixelColor(7, 5 + row), GlassColour(light, face, 16, row)) << look.name << " " << row;
        // The down arrow's tip: the centre (13, 13) + 2.
        EXPECT_EQ(image.pixelColor(13, 15), Rgb((c.*look.mark)())) << look.name;
        EXPECT_EQ(CountColour(image, r, Rgb((c.*look.mark)())), 16) << look.name;
        // Nothing outside R.
        EXPECT_EQ(image.pixelColor(4, 4), QColor(Qt::red)) << look.name;
        EXPECT_EQ(image.pixelColor(22, 21), QColor(Qt::red)) << look.name;
    }
}

// ---- Combo box

TEST_F(SkinPainting, ComboBoxButtonIsHotWhereItsStyleSaysAndPushedWhileTheButtonIsDown)
{
    struct Case {
        const char* name;
        bool editable;
        bool mouseOver;
        bool cursorOnButton;
        bool lButtonDown;
        TColor (TKqArrowBtnColors::*border)() const;
    };
    const Case cases[] = {
        {"drop-down, mouse away", true, false, false, false, &TKqArrowBtnColors::Border},
        {"drop-down, mouse on the edit", true, true, false, false, &TKqArrowBtnColors::Border},
        {"drop-down, mouse on the button", true, true, true, false, &TKqArrowBtnColors::BorderOn},
        {"drop-down list, mouse anywhere", false, true, false, false, &TKqArrowBtnColors::BorderOn},
        {"drop-down list, mouse away", false, false, false, false, &TKqArrowBtnColors::Border},
        {"left button down", true, false, false, true, &TKqArrowBtnColors::BorderPress},
    };
    for (const Case& c : cases) {
        auto* combo = Make(new QComboBox(&top), QRect(0, 0, 160, 26));
        combo->setEditable(c.editable);
        combo->addItem(QStringLiteral("Item"));
        const QRect button = ComboButtonRect(combo);
        EXPECT_EQ(button.right(), 160 - 3) << c.name;
        EXPECT_EQ(button.top(), 2) << c.name;
        TKqPaintState s;
        s.MouseOver = c.mouseOver;
        s.LButtonDown = c.lButtonDown;
        s.Cursor = c.cursorOnButton ? button.center() : QPoint(10, 10);
        const QImage image = PaintedOver(combo, PaintComboBox, s);
        EXPECT_EQ(image.pixelColor(button.topLeft()), Rgb((colors.ArrowBtn().*c.border)())) << c.name;
        // The edit frame comes first.
        EXPECT_EQ(image.pixelColor(0, 13), Rgb(colors.Edit().Border())) << c.name;
        delete combo;
    }
}

// ---- Up-down

TEST_F(SkinPainting, UpDownShowsOnlyTheHalfUnderTheCursorHotOrPushed)
{
    struct Case {
        const char* name;
        bool enabled;
        bool mouseOver;
        bool lButtonDown;
        bool cursorUpper;
        TColor (TKqArrowBtnColors::*upper)() const;
        TColor (TKqArrowBtnColors::*lower)() const;
    };
    const Case cases[] = {
        {"mouse away", true, false, false, true, &TKqArrowBtnColors::Border, &TKqArrowBtnColors::Border},
        {"hot upper", true, true, false, true, &TKqArrowBtnColors::BorderOn, &TKqArrowBtnColors::Border},
        {"hot lower", true, true, false, false, &TKqArrowBtnColors::Border, &TKqArrowBtnColors::BorderOn},
        {"pushed lower", true, true, true, false, &TKqArrowBtnColors::Border, &TKqArrowBtnColors::BorderPress},
        {"pushed upper", true, true, true, true, &TKqArrowBtnColors::BorderPress, &TKqArrowBtnColors::Border},
        {"disabled", false, true, true, true, &TKqArrowBtnColors::BorderDisable, &TKqArrowBtnColors::BorderDisable},
    };
    for (const Case& c : cases) {
        auto* spin = Make(new QSpinBox(&top), QRect(0, 0, 90, 30));
        spin->setEnabled(c.enabled);
        const TKqUpDownArea area = UpDownArea(spin);
        ASSERT_FALSE(area.Area.isEmpty()) << c.name;
        const QRect r = Inset(area.Area, 1);
        const int half = r.height() / 2;
        TKqPaintState s;
        s.MouseOver = c.mouseOver;
        s.LButtonDown = c.lButtonDown;
        s.Cursor = QPoint(r.center().x(), c.cursorUpper ? r.y() + 1 : BottomOf(r) - 2);
        const QImage image = PaintedOver(spin, PaintUpDown, s);
        // The frame in the window colour around both buttons.
        EXPECT_EQ(image.pixelColor(area.Area.topLeft()), QApplication::palette().color(QPalette::Base)) << c.name;
        EXPECT_EQ(image.pixelColor(r.topLeft()), Rgb((colors.ArrowBtn().*c.upper)())) << c.name;
        EXPECT_EQ(image.pixelColor(r.x(), BottomOf(r) - 1), Rgb((colors.ArrowBtn().*c.lower)())) << c.name;
        // The lower button starts half-way down: its top row is its border.
        EXPECT_EQ(image.pixelColor(r.x() + 3, r.y() + half), Rgb((colors.ArrowBtn().*c.lower)())) << c.name;
        delete spin;
    }
}

// ---- DrawHeaderSection

TEST_F(SkinPainting, HeaderSectionNormalSelectedAndPressed)
{
    struct Case {
        const char* name;
        bool selected, pushed, divider;
        TColor (TKqHeaderColors::*light)() const;
        TColor (TKqHeaderColors::*face)() const;
        TColor (TKqHeaderColors::*text)() const;
    };
    const Case cases[] = {
        {"normal", false, false, true, &TKqHeaderColors::Light, &TKqHeaderColors::Face, &TKqHeaderColors::Text},
        {"selected", true, false, true, &TKqHeaderColors::LightSelect, &TKqHeaderColors::FaceSelect,
         &TKqHeaderColors::TextSelect},
        {"pressed", false, true, false, &TKqHeaderColors::LightPress, &TKqHeaderColors::FacePress,
         &TKqHeaderColors::TextPress},
        {"pressed wins over selected", true, true, true, &TKqHeaderColors::LightPress, &TKqHeaderColors::FacePress,
         &TKqHeaderColors::TextPress},
    };
    const TKqHeaderColors& h = colors.Header();
    // Texts in a colour of their own, so that they can be told from the default black.
    colors.Header().SetText(RGBColor(200, 0, 0));
    colors.Header().SetTextSelect(RGBColor(0, 150, 0));
    colors.Header().SetTextPress(RGBColor(0, 0, 200));
    for (const Case& c : cases) {
        QImage image = Blank(80, 40, Qt::red);
        const QRect r(10, 5, 50, 20);
        {
            QPainter p(&image);
            p.setFont(top.font());
            DrawHeaderSection(p, r, QImage(), c.selected, c.pushed, c.divider, saLeft, QStringLiteral("Name"), ipNone);
        }
        // The face from the light colour over the bitmap's height less its last row: R's height.
        EXPECT_EQ(image.pixelColor(12, 5), BandColour(Rgb((h.*c.light)()), Rgb((h.*c.face)()), 20, 0)) << c.name;
        EXPECT_EQ(image.pixelColor(12, 5 + 18), BandColour(Rgb((h.*c.light)()), Rgb((h.*c.face)()), 20, 18)) << c.name;
        // The bottom border on R's last row, the column right of R covered too, the row below R left alone.
        EXPECT_EQ(image.pixelColor(30, 24), Rgb(h.Border())) << c.name;
        EXPECT_EQ(image.pixelColor(60, 24), Rgb(h.Border())) << c.name;
        EXPECT_EQ(image.pixelColor(30, 25), QColor(Qt::red)) << c.name;
        EXPECT_EQ(image.pixelColor(61, 10), QColor(Qt::red)) << c.name;
        // The divider in R's last column, over the row below too.
        EXPECT_EQ(image.pixelColor(59, 10) == Rgb(h.Divider()), c.divider) << c.name;
        EXPECT_EQ(image.pixelColor(59, 25) == Rgb(h.Divider()), c.divider) << c.name;
        const QRect text = BoundsOf(image, Rgb((h.*c.text)()));
        ASSERT_FALSE(text.isEmpty()) << c.name;
        // Left-aligned 3 pixels in, vertically centred.
        EXPECT_GE(text.left(), 13) << c.name;
        EXPECT_LE(text.left(), 15) << c.name;
        EXPECT_NEAR(text.center().y(), 15, 3) << c.name;
    }
}

TEST_F(SkinPainting, HeaderSectionPlacesTextAndImageByAlignmentAndImagePosition)
{
    QImage mark(8, 8, QImage::Format_RGB32);
    mark.fill(QColor(0, 0, 255));
    colors.Header().SetText(RGBColor(200, 0, 0));
    struct Case {
        const char* name;
        int alignment;
        int imagePosition;
        bool image;
        int textLeftMin, textLeftMax; // relative to R
        int imageLeft;                // relative to R, -1 without image
    };
    // R is 100 wide, the bitmap 101; "Ab" is about 15 pixels wide in the test font.
    const Case cases[] = {
        {"left, no image", saLeft, ipNone, false, 3, 5, -1},
        {"right, no image", saRight, ipNone, false, 75, 86, -1},
        {"centre, no image", saCentre, ipNone, false, 38, 48, -1},
        {"image left, text after it", saLeft, ipLeft, true, 14, 16, 3},
        {"image right, text left", saLeft, ipRight, true, 3, 5, 101 - 8 - 3},
        {"image right, text right of centre but before it", saRight, ipRight, true, 65, 80, 101 - 8 - 3},
    };
    for (const Case& c : cases) {
        QImage image = Blank(140, 30, Qt::white);
        const QRect r(10, 2, 100, 22);
        {
            QPainter p(&image);
            p.setFont(top.font());
            DrawHeaderSection(p, r, c.image ? mark : QImage(), false, false, true, c.alignment, QStringLiteral("Ab"),
                              c.imagePosition);
        }
        const QRect text = BoundsOf(image, QColor(200, 0, 0));
        ASSERT_FALSE(text.isEmpty()) << c.name;
        EXPECT_GE(text.left() - r.x(), c.textLeftMin) << c.name;
        EXPECT_LE(text.left() - r.x(), c.textLeftMax) << c.name;
        const QRect drawn = BoundsOf(image, QColor(0, 0, 255));
        if (c.imageLeft < 0) {
            EXPECT_TRUE(drawn.isEmpty()) << c.name;
        } else {
            EXPECT_EQ(drawn.left() - r.x(), c.imageLeft) << c.name;
            EXPECT_EQ(drawn.size(), QSize(8, 8)) << c.name;
            // Vertically centred in the bitmap less its last row.
            EXPECT_EQ(drawn.top() - r.y(), (23 - 1 - 8) / 2) << c.name;
        }
    }
}

// ---- Header control and list view

struct HeaderFixture : SkinPainting {
    QHeaderView* MakeHeader(int width, std::initializer_list<int> sections)
    {
        auto* model = new QStandardItemModel(0, static_cast<int>(sections.size()), &top);
        auto* header = Make(new QHeaderView(Qt::Horizontal, &top), QRect(0, 0, width, 24));
        header->setModel(model);
        header->setStretchLastSection(false);
        int i = 0;
        for (const int size : sections) {
            model->setHeaderData(i, Qt::Horizontal, QStringLiteral("S%1").arg(i));
            header->resizeSection(i++, size);
        }
        header->show();
        return header;
    }
};

TEST_F(HeaderFixture, HeaderControlPressesTheSectionUnderTheCursorAndFillsTheRest)
{
    struct Case {
        const char* name;
        int width;
        bool lButtonDown;
        QPoint cursor;
        int pushedSection; // -1 for none
        bool restFilled;
    };
    const Case cases[] = {
        {"nothing pressed, a wide rest", 300, false, {50, 10}, -1, true},
        {"second section pressed", 300, true, {150, 10}, 1, true},
        {"cursor within 8 pixels of the edge presses nothing", 300, true, {104, 10}, -1, true},
        {"a rest of 2 pixels is left alone", 202, false, {0, 0}, -1, false},
        {"a rest of 3 pixels gets its section", 203, false, {0, 0}, -1, true},
    };
    const TKqHeaderColors& h = colors.Header();
    for (const Case& c : cases) {
        QHeaderView* header = MakeHeader(c.width, {100, 100});
        QWidget* viewport = header->viewport();
        TKqPaintState s;
        s.LButtonDown = c.lButtonDown;
        s.Cursor = c.cursor;
        const QImage image = PaintedOver(viewport, PaintHeaderWindow, s);
        const int high = viewport->height();
        const QColor normal = BandColour(Rgb(h.Light()), Rgb(h.Face()), high, 0);
        const QColor pushed = BandColour(Rgb(h.LightPress()), Rgb(h.FacePress()), high, 0);
        for (int section = 0; section < 2; ++section) {
            const QColor first = image.pixelColor(section * 100 + 50, 0);
            EXPECT_EQ(first, section == c.pushedSection ? pushed : normal) << c.name << " " << section;
            // Every section has the divider at its right.
            EXPECT_EQ(image.pixelColor(section * 100 + 99, 5), Rgb(h.Divider())) << c.name << " " << section;
        }
        EXPECT_EQ(image.pixelColor(201, 0) == BandColour(Rgb(h.Light()), Rgb(h.Face()), high, 0), c.restFilled)
            << c.name;
        delete header;
    }
}

TEST_F(HeaderFixture, HeaderSectionsTakeTheModelsAlignment)
{
    colors.Header().SetText(RGBColor(200, 0, 0));
    QHeaderView* header = MakeHeader(300, {100, 100, 100});
    header->model()->setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    header->model()->setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter | Qt::AlignVCenter), Qt::TextAlignmentRole);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QImage image = PaintedOver(header->viewport(), PaintHeaderWindow);
    const auto textIn = [&image](int section) {
        return BoundsOf(image.copy(section * 100, 0, 100, 24), QColor(200, 0, 0));
    };
    EXPECT_LE(textIn(0).left(), 5);
    EXPECT_GE(textIn(1).left(), 70);
    EXPECT_NEAR(textIn(2).center().x(), 50, 4);
}

TEST_F(SkinPainting, ListViewInReportStyleGetsTheHeadersSurroundAndOtherwiseOnlyTheFrame)
{
    for (const bool report : {true, false}) {
        auto* view = Make(new QTreeWidget(&top), QRect(0, 0, 200, 120));
        view->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
        view->setHeaderHidden(!report);
        top.show();
        QApplication::processEvents();
        const QImage image = PaintedOver(view, PaintListViewFrame);
        EXPECT_EQ(image.pixelColor(0, 60), Rgb(colors.Edit().Border())) << report;
        const QRect g = view->header()->geometry();
        if (report && g.x() >= 2) {
            EXPECT_EQ(image.pixelColor(g.x() + 10, g.y() - 1), Rgb(colors.Header().Light()));
            EXPECT_EQ(image.pixelColor(g.x() - 1, g.y() - 1), Rgb(colors.Header().Light()));
            EXPECT_EQ(image.pixelColor(g.x() - 1, BottomOf(g) - 1), Rgb(colors.Header().Border()));
            EXPECT_EQ(image.pixelColor(RightOf(g), BottomOf(g) - 1), Rgb(colors.Header().Border()));
        } else {
            // The ring inside the frame keeps the control's own colour.
            EXPECT_EQ(image.pixelColor(20, 1), view->palette().color(QPalette::Base)) << report;
        }
        delete view;
    }
}

// ---- String grid

TEST_F(SkinPainting, GridFixedCellsAreSectionsWithTheCurrentColumnSelected)
{
    auto* grid = Make(new QTableWidget(3, 3, &top), QRect(0, 0, 300, 150));
    grid->setHorizontalHeaderLabels({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    grid->horizontalHeader()->setStretchLastSection(false);
    for (int i = 0; i < 3; ++i)
        grid->setColumnWidth(i, 60);
    grid->setCurrentCell(2, 1);
    top.show();
    QApplication::processEvents();
    const TKqHeaderColors& h = colors.Header();
    struct Case {
        const char* name;
        bool lButtonDown;
        QPoint cursor;
        int first, second, third; // 0 normal, 1 selected, 2 pushed
    };
    const Case cases[] = {
        {"current column selected", false, {0, 0}, 0, 1, 0},
        {"a pressed title", true, {150, 5}, 0, 1, 2},
        {"pressing the selected one", true, {90, 5}, 0, 2, 0},
        {"4 pixels in from the edge press nothing", true, {122, 5}, 0, 1, 0},
    };
    QWidget* fixedRow = grid->horizontalHeader()->viewport();
    const int high = fixedRow->height();
    const QColor looks[] = {BandColour(Rgb(h.Light()), Rgb(h.Face()), high, 0),
                            BandColour(Rgb(h.LightSelect()), Rgb(h.FaceSelect()), high, 0),
                            BandColour(Rgb(h.LightPress()), Rgb(h.FacePress()), high, 0)};
    for (const Case& c : cases) {
        TKqPaintState s;
        s.LButtonDown = c.lButtonDown;
        s.Cursor = c.cursor;
        const QImage image = PaintedOver(fixedRow, PaintGridHeader, s);
        EXPECT_EQ(image.pixelColor(30, 0), looks[c.first]) << c.name;
        EXPECT_EQ(image.pixelColor(90, 0), looks[c.second]) << c.name;
        EXPECT_EQ(image.pixelColor(150, 0), looks[c.third]) << c.name;
        EXPECT_EQ(image.pixelColor(60 - 1, 5), Rgb(h.Divider())) << c.name;
    }
    // The fixed column: never selected, a section per row.
    QHeaderView* rows = grid->verticalHeader();
    const QImage column = PaintedOver(rows->viewport(), PaintGridHeader);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(column.pixelColor(5, rows->sectionViewportPosition(row)),
                  BandColour(Rgb(h.Light()), Rgb(h.Face()), rows->sectionSize(row), 0))
            << row;
}

TEST_F(SkinPainting, GridCornerBetweenTheScrollBarsOnlyWhenBothShow)
{
    for (const bool both : {true, false}) {
        auto* grid = Make(new QTableWidget(both ? 30 : 2, both ? 10 : 2, &top), QRect(0, 0, 200, 120));
        top.show();
        QApplication::processEvents();
        ASSERT_EQ(grid->verticalScrollBar()->isVisible(), both);
        const QImage image = PaintedOver(grid, PaintStringGrid);
        EXPECT_EQ(image.pixelColor(0, 50), Rgb(colors.Edit().Border()));
        const QPoint corner(200 - 4, 120 - 4);
        EXPECT_EQ(image.pixelColor(corner) == Rgb(colors.Header().Light()), both) << both;
        delete grid;
    }
}

} // namespace
} // namespace tarvix::skin_test
