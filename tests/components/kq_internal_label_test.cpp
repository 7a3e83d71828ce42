// The markup renderer of the message label: what it measures and what it paints.
#include "components/kq_msg_dlg.h"

#include <QFontMetrics>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

using test::boldFont;
using test::perCharacterAdvance;

class InternalLabelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::qtApplication(); }

    void SetUp() override
    {
        label.setFont(font);
        lineHeight = QFontMetrics(font).height();
    }

    QRect measure(const QString& text, QPoint origin = {0, 0})
    {
        label.setText(text);
        QRect r(origin, QSize(0, 0));
        label.DrawFormattedText(r, TKqInternalLabel::CalcRect);
        return r;
    }

    QFont font = test::testFont(12);
    TKqInternalLabel label;
    int lineHeight = 0;
};

TEST_F(InternalLabelTest, TheTestFontIsTheFixedOne)
{
    EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans");
    EXPECT_GT(lineHeight, 0);
}

TEST_F(InternalLabelTest, MeasuresLinesAndIgnoresConsumedTags)
{
    const QString forty = QString(40, u'x');
    const QString name29 = QString(29, u'y');
    const QString name30 = QString(30, u'y');
    struct Case {
        const char* what;
        QString text;
        QString drawn; // the characters that take up width, on the widest line
        int lines;
    };
    const Case cases[] = {
        {"plain text", "Hello, world", "Hello, world", 1},
        {"empty text is one empty line", "", "", 1},
        {"carriage return", "ab\rlonger", "longer", 2},
        {"line feed", "longer\nab", "longer", 2},
        {"CR LF is one break", "ab\r\nlonger", "longer", 2},
        {"LF CR is two breaks", "ab\n\rcd", "ab", 3},
        {"empty line between", "ab\r\rcd", "ab", 3},
        {"break at the end", "abc\r", "abc", 2},
        {"italic and underline take no room", "<i>ab<i><u>cd<u>", "abcd", 1},
        {"colour tags take no room", "<c:clBlue>ab<c>cd", "abcd", 1},
        {"an invalid colour is consumed too", "<c:NoColour>ab", "ab", 1},
        {"integer colours", "<c:$00FF0000>a<c:255>b", "ab", 1},
        {"red toggles take no room", "<r>a<r>b", "ab", 1},
        {"name of 29 characters closes in the window", "<c:" + name29 + ">ab", "ab", 1},
        {"'>' past 30 characters: only '<' is dropped", "<c:" + name30 + ">ab", "c:" + name30 + ">ab", 1},
        {"'<c:' and 40 characters without '>'", "<c:" + forty, "c:" + forty, 1},
        {"unknown tag drawn literally", "<x>ab", "<x>ab", 1},
        {"tags are case-sensitive", "<B>ab<C>", "<B>ab<C>", 1},
        {"lone '<' at the end", "ab<", "ab<", 1},
        {"'<c' without ':' or '>'", "<cd", "<cd", 1},
        {"'|' is an ordinary character here", "a|b", "a|b", 1},
    };
    for (const Case& c : cases) {
        const QRect r = measure(c.text);
        EXPECT_EQ(r.width(), perCharacterAdvance(font, c.drawn)) << c.what;
        EXPECT_EQ(r.height(), c.lines * lineHeight) << c.what;
    }
}

TEST_F(InternalLabelTest, BoldTogglesAndWidensTheText)
{
    const int regular = measure("abcd").width();
    const int boldPart = measure("<b>ab<b>cd").width();
    EXPECT_EQ(boldPart, perCharacterAdvance(boldFont(font), "ab") + perCharacterAdvance(font, "cd"));
    EXPECT_GT(boldPart, regular);
    EXPECT_EQ(measure("<b>abcd").width(), perCharacterAdvance(boldFont(font), "abcd"));
    // A style left on at the end does not carry into the next walk.
    EXPECT_EQ(measure("abcd").width(), regular);
    // The widest line wins, whatever its style.
    const QRect lines = measure("Mensagem<b>\rMensagem<b>\rx");
    EXPECT_EQ(lines.width(), perCharacterAdvance(boldFont(font), "Mensagem"));
    EXPECT_EQ(lines.height(), 3 * lineHeight);
}

TEST_F(InternalLabelTest, MeasureKeepsTheOriginAndSetsTheFarEdges)
{
    const QRect r = measure("ab\rcde", QPoint(10, 5));
    EXPECT_EQ(r.left(), 10);
    EXPECT_EQ(r.top(), 5);
    EXPECT_EQ(r.left() + r.width(), 10 + perCharacterAdvance(font, "cde"));
    EXPECT_EQ(r.top() + r.height(), 5 + 2 * lineHeight);
}

TEST_F(InternalLabelTest, ASurrogatePairIsOneCharacter)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600
    ASSERT_EQ(emoji.size(), 2);
    EXPECT_EQ(measure("a" + emoji).width(),
              perCharacterAdvance(font, "a") + QFontMetrics(font).horizontalAdvance(emoji));
}

// Painting: glyphs without antialiasing, so every painted pixel has exactly the pen's colour. The label sits on
// a white parent; its own palette has a green background, which must never show.
class InternalLabelPaintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::qtApplication(); }

    void SetUp() override
    {
        QPalette parentPalette = parent.palette();
        parentPalette.setColor(QPalette::Window, Qt::white);
        parent.setPalette(parentPalette);
        parent.setAutoFillBackground(true);
        label = new TKqInternalLabel(&parent);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        palette.setColor(QPalette::Window, Qt::green);
        label->setPalette(palette);
    }

    void setLabelColour(const QColor& colour)
    {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }

    // The label measured and painted on its parent.
    QImage paint(const QString& text)
    {
        label->setText(text);
        QRect r(0, 0, 0, 0);
        label->DrawFormattedText(r, TKqInternalLabel::CalcRect);
        label->setGeometry(QRect(QPoint(0, 0), r.size()));
        parent.resize(r.size());
        return parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // The colours other than the parent's white in the column band [from, to).
    static std::set<QRgb> coloursIn(const QImage& image, int from, int to)
    {
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = from; x < to && x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255))
                    colours.insert(image.pixel(x, y));
        return colours;
    }

    QFont font = test::testFont(20, false);
    QWidget parent;
    TKqInternalLabel* label = nullptr;
    const QRgb black = qRgb(0, 0, 0);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
};

TEST_F(InternalLabelPaintTest, ColourTagsColourTheFollowingCharacters)
{
    const int m = perCharacterAdvance(font, "M");
    struct Case {
        const char* what;
        QString text;
        QRgb first;
        QRgb second;
    };
    const Case cases[] = {
        {"named colour, then back to the label's", "<c:clBlue>M<c>M", blue, black},
        {"hexadecimal $00BBGGRR", "<c:$0000FF00>M<c>M", qRgb(0, 255, 0), black},
        {"decimal", "<c:32768>M<c>M", qRgb(0, 128, 0), black},
        {"a name that is no colour changes nothing", "<c:clBlue>M<c:Nothing>M", blue, blue},
        {"red on, red off", "<r>M<r>M", red, black},
        {"red replaces another colour", "<c:clBlue><r>M<r>M", red, black},
    };
    for (const Case& c : cases) {
        const QImage image = paint(c.text);
        ASSERT_EQ(image.width(), 2 * m) << c.what;
        EXPECT_EQ(coloursIn(image, 0, m), std::set<QRgb>{c.first}) << c.what;
        EXPECT_EQ(coloursIn(image, m, 2 * m), std::set<QRgb>{c.second}) << c.what;
    }
}

TEST_F(InternalLabelPaintTest, RedToggleWithARedLabelFontStaysRed)
{
    setLabelColour(Qt::red);
    const int m = perCharacterAdvance(font, "M");
    const QImage image = paint("<r>M<r>M");
    EXPECT_EQ(coloursIn(image, 0, m), std::set<QRgb>{red});
    EXPECT_EQ(coloursIn(image, m, 2 * m), std::set<QRgb>{red});
}

TEST_F(InternalLabelPaintTest, LinesArePaintedOneBelowTheOther)
{
    const int lineHeight = QFontMetrics(font).height();
    const QImage image = paint("<c:clBlue>M\rM");
    ASSERT_EQ(image.height(), 2 * lineHeight);
    auto rowsWithInk = [&](int from, int to) {
        int rows = 0;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                    ++rows;
                    break;
                }
        return rows;
    };
    EXPECT_GT(rowsWithInk(0, lineHeight), 0);
    EXPECT_GT(rowsWithInk(lineHeight, 2 * lineHeight), 0);
    // The colour lasts across the line break.
    EXPECT_EQ(coloursIn(image, 0, image.width()), std::set<QRgb>{blue});
}

TEST_F(InternalLabelPaintTest, TheBackgroundIsLeftUnpainted)
{
    const QImage image = paint("M M");
    const int m = perCharacterAdvance(font, "M");
    const int space = perCharacterAdvance(font, " ");
    EXPECT_TRUE(coloursIn(image, m, m + space).empty());
}

} // namespace
} // namespace tarvix
