// The message dialog: layout, results, keyboard, sounds, the timed message and DPI scaling.
#include "components/kq_msg_dlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/message_pump.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

using test::boldFont;
using test::ModalDialogHelper;
using test::perCharacterAdvance;

// Records the alerts the dialog asks for.
class RecordingPump : public platform::MessagePump {
public:
    RecordingPump() : previous_(platform::setMessagePump(this)) {}
    ~RecordingPump() override { platform::setMessagePump(previous_); }
    void processMessages() override { QCoreApplication::processEvents(); }
    bool terminating() const override { return false; }
    uint16_t keyState(int) const override { return 0; }
    void alert(uint32_t beepType) override { alerts.push_back(beepType); }
    std::vector<uint32_t> alerts;

private:
    platform::MessagePump* previous_;
};

class MsgDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::qtApplication(); }

    void SetUp() override
    {
        dialog.SetMessageFont(font);
        dialog.SetButtonFont(font);
        lineHeight = QFontMetrics(font).height();
        // The system's large icon: 32 pixels at 96 dots per inch, whatever the style's message-box icon is.
        const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        iconSize = qRound(32 * dpi / 96);
        ASSERT_EQ(dpi, 96) << "the offscreen platform's screen";
        ASSERT_EQ(iconSize, 32);
    }

    static QPushButton* button(QWidget* window, const char* name)
    {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    // The widgets that Tab visits, starting from the one with the focus.
    static QStringList tabCycle(QWidget* window)
    {
        QStringList names;
        QWidget* start = window->focusWidget();
        if (!start)
            return names;
        QWidget* w = start;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                names << w->objectName();
            w = w->nextInFocusChain();
        } while (w != start);
        return names;
    }

    QFont font = test::testFont(12);
    TKqMsgDlg dialog;
    int lineHeight = 0;
    int iconSize = 0;
};

// ----------------------------------------------------------------------------------------------------------------
// Defaults and properties

TEST_F(MsgDlgTest, Defaults)
{
    TKqMsgDlg fresh;
    EXPECT_EQ(fresh.BeepSound(), TKqBeepSound::bsNone);
    EXPECT_EQ(fresh.BtnHeight(), 25);
    EXPECT_EQ(fresh.BtnSpace(), 15);
    EXPECT_EQ(fresh.BtnWidth(), 75);
    EXPECT_EQ(fresh.Buttons(), TMsgDlgButtons({mbOK}));
    EXPECT_EQ(fresh.Color(), clBtnFace);
    EXPECT_EQ(fresh.DefaultButton(), mbYes);
    EXPECT_EQ(fresh.Indent(), 14);
    EXPECT_EQ(fresh.HelpContext(), 0);
    EXPECT_EQ(fresh.LineSeparator(), u'|');
    EXPECT_EQ(fresh.MessageType(), mtWarning);
    EXPECT_EQ(fresh.PosLeft(), 0);
    EXPECT_EQ(fresh.PosTop(), 0);
    EXPECT_TRUE(fresh.ShowIcon());
    EXPECT_FALSE(fresh.ShowGlyph());
    EXPECT_EQ(fresh.Style(), TKqMsgDlgStyle::msCenter);
    EXPECT_TRUE(fresh.Text().empty());
    EXPECT_TRUE(fresh.Title().empty());
    EXPECT_FALSE(fresh.TimerMsg());
}

TEST_F(MsgDlgTest, ButtonSetsHoldOneBitPerOrdinal)
{
    const TMsgDlgButtons set{mbCancel, mbYes, mbClose};
    EXPECT_EQ(set.Bits(), (1u << 3) | 1u | (1u << 11));
    EXPECT_TRUE(set.Contains(mbYes));
    EXPECT_FALSE(set.Contains(mbNo));
    TMsgDlgButtons custom;
    custom.Include(15);
    custom.Include(16); // outside the 16 bits: ignored
    EXPECT_EQ(custom.Bits(), 0x8000u);
}

TEST_F(MsgDlgTest, FontsAreCopiesOfTheAssignedOnes)
{
    QFont assigned = test::testFont(17);
    dialog.SetMessageFont(assigned);
    assigned.setPixelSize(30);
    EXPECT_EQ(dialog.MessageFont().pixelSize(), 17);
}

TEST_F(MsgDlgTest, LineSeparatorsBecomeLineBreaks)
{
    dialog.SetText("a|b||c");
    EXPECT_EQ(dialog.LabelCaption(), "a\rb\r\rc");
    dialog.SetLineSeparator(u'#');
    dialog.SetText("a|b#c");
    EXPECT_EQ(dialog.LabelCaption(), "a|b\rc");
}

// ----------------------------------------------------------------------------------------------------------------
// Layout

TEST_F(MsgDlgTest, OneLineTextIsCentredAgainstTheIconBand)
{
    dialog.SetText("Hello, world");
    auto form = dialog.BuildDialog();
    const int w = perCharacterAdvance(font, "Hello, world");

    auto* image = form->findChild<QLabel*>("Image");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(14, 14, iconSize, iconSize));

    auto* label = form->findChild<TKqInternalLabel*>("Message");
    ASSERT_NE(label, nullptr);
    const int top = 14 + (32 - lineHeight) / 2;
    EXPECT_EQ(label->geometry(), QRect(14 + iconSize + 14, top, w + 4, lineHeight));
    EXPECT_EQ(label->font().family(), "DejaVu Sans");

    const int width = label->x() + w + 4 + 28;
    const int contentHeight = std::max(14 + iconSize, top + lineHeight);
    EXPECT_EQ(form->size(), QSize(width, contentHeight + 25 + 28));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "fixed size";

    QPushButton* ok = button(form.get(), "Btn3");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "&OK");
    EXPECT_EQ(ok->geometry(), QRect((width - 75) / 2, contentHeight + 14, 75, 25));
    EXPECT_EQ(ok->font().family(), "DejaVu Sans");
    EXPECT_FALSE(ok->isDefault()) << "the default DefaultButton is mbYes";
    EXPECT_TRUE(ok->icon().isNull()) << "no glyph unless ShowGlyph";
    EXPECT_EQ(form->findChildren<QPushButton*>().size(), 1);
}

TEST_F(MsgDlgTest, TallTextStartsAtTheMarginAndGrowsBelowTheIcon)
{
    ASSERT_EQ(lineHeight, 14) << "the cases below assume the 12-pixel test font";
    struct Case {
        const char* text;
        int lines;
        int top; // 14 + (32 - h) div 2, never above the margin
    };
    const Case cases[] = {
        {"1", 1, 23},
        {"1|2", 2, 16},
        {"1|2|3", 3, 14}, // 14 + (32 - 42) div 2 = 9 would rise above the margin
        {"1|2|3|4|5|6|7|8|9|10", 10, 14},
    };
    for (const Case& c : cases) {
        dialog.SetText(c.text);
        auto form = dialog.BuildDialog();
        auto* label = form->findChild<TKqInternalLabel*>("Message");
        EXPECT_EQ(label->y(), c.top) << c.text;
        EXPECT_EQ(label->height(), c.lines * lineHeight) << c.text;
        const int contentHeight = std::max(14 + iconSize, c.top + c.lines * lineHeight);
        EXPECT_EQ(button(form.get(), "Btn3")->y(), contentHeight + 14) << c.text;
        EXPECT_EQ(form->height(), contentHeight + 25 + 28) << c.text;
    }
    // Ten lines reach below the icon.
    EXPECT_GT(14 + 10 * lineHeight, 14 + iconSize);
}

TEST_F(MsgDlgTest, TheDialogIsAsWideAsItsWidestLine)
{
    dialog.SetText("Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|Disco cheio");
    auto form = dialog.BuildDialog();
    const int widest = std::max(perCharacterAdvance(font, "Não foi possível extrair os arquivos de instalação."),
                                perCharacterAdvance(boldFont(font), "Mensagem de erro:"));
    auto* label = form->findChild<TKqInternalLabel*>("Message");
    EXPECT_EQ(label->width(), widest + 4);
    EXPECT_EQ(label->height(), 4 * lineHeight);
    EXPECT_EQ(form->width(), label->x() + widest + 4 + 28);

    // A long line without separators is never wrapped.
    const QString longLine(200, u'w');
    dialog.SetText(longLine.toStdString());
    auto wide = dialog.BuildDialog();
    EXPECT_EQ(wide->findChild<TKqInternalLabel*>("Message")->height(), lineHeight);
    EXPECT_EQ(wide->width(), 14 + iconSize + 14 + perCharacterAdvance(font, longLine) + 4 + 28);
}

TEST_F(MsgDlgTest, WithoutTheIconTheTextStartsAtTwiceTheIndent)
{
    dialog.SetShowIcon(false);
    dialog.SetIndent(10);
    dialog.SetText("x|y|z|w");
    auto form = dialog.BuildDialog();
    EXPECT_EQ(form->findChild<QLabel*>("Image"), nullptr);
    auto* label = form->findChild<TKqInternalLabel*>("Message");
    EXPECT_EQ(label->pos(), QPoint(20, 10));
    EXPECT_EQ(form->height(), 10 + 4 * lineHeight + 25 + 20);
}

TEST_F(MsgDlgTest, ButtonsFollowTheirOrdinalOrderInACentredRow)
{
    dialog.SetText(QString(60, u'W').toStdString()); // wider than the row
    dialog.SetButtons({mbCancel, mbYes});
    dialog.SetBtnSpace(10);
    auto form = dialog.BuildDialog();
    QPushButton* yes = button(form.get(), "Btn1");
    QPushButton* cancel = button(form.get(), "Btn4");
    ASSERT_TRUE(yes && cancel);
    EXPECT_EQ(yes->text(), "&Sim");
    EXPECT_EQ(cancel->text(), "&Cancelar");
    const int start = (form->width() - (2 * 75 + 10)) / 2;
    EXPECT_EQ(yes->x(), start);
    EXPECT_EQ(cancel->x(), start + 75 + 10);
    EXPECT_EQ(yes->y(), cancel->y());
    EXPECT_TRUE(yes->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    EXPECT_EQ(tabCycle(form.get()), QStringList({"Btn1", "Btn4"}));
}

TEST_F(MsgDlgTest, TheDefaultButtonTakesTheFirstTabPlace)
{
    dialog.SetButtons({mbYes, mbNo, mbOK, mbCancel});
    dialog.SetDefaultButton(mbOK);
    auto form = dialog.BuildDialog();
    EXPECT_TRUE(button(form.get(), "Btn3")->isDefault());
    EXPECT_EQ(form->findChildren<QPushButton*>().size(), 4);
    for (const char* other : {"Btn1", "Btn2", "Btn4"})
        EXPECT_FALSE(button(form.get(), other)->isDefault()) << other;
    EXPECT_EQ(tabCycle(form.get()), QStringList({"Btn3", "Btn1", "Btn2", "Btn4"}));

    dialog.SetDefaultButton(mbHelp); // not shown: the first button leads
    auto noDefault = dialog.BuildDialog();
    EXPECT_EQ(tabCycle(noDefault.get()), QStringList({"Btn1", "Btn2", "Btn3", "Btn4"}));
    for (QPushButton* b : noDefault->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault());
}

TEST_F(MsgDlgTest, ARowWiderThanTheTextStartsAtTheIndentAndWidensTheDialog)
{
    dialog.SetText("x");
    TMsgDlgButtons all;
    for (int ordinal = mbYes; ordinal <= mbClose; ++ordinal)
        all.Include(ordinal);
    dialog.SetButtons(all);
    auto form = dialog.BuildDialog();
    const int row = 12 * 75 + 11 * 15;
    EXPECT_EQ(button(form.get(), "Btn1")->x(), 14);
    EXPECT_EQ(button(form.get(), "Btn12")->x(), 14 + 11 * 90);
    EXPECT_EQ(form->width(), 28 + row);
}

TEST_F(MsgDlgTest, EveryButtonHasItsCaptionAndName)
{
    TMsgDlgButtons all;
    for (int ordinal = mbYes; ordinal <= mbClose; ++ordinal)
        all.Include(ordinal);
    dialog.SetButtons(all);
    auto form = dialog.BuildDialog();
    const char* captions[] = {"&Sim",     "&Não",   "&OK",        "&Cancelar",  "&Abortar", "&Repetir",
                              "&Ignorar", "&Todos", "Não To&dos", "S&im Todos", "A&juda",   "&Fechar"};
    for (int i = 0; i < 12; ++i) {
        QPushButton* b = button(form.get(), QStringLiteral("Btn%1").arg(i + 1).toLatin1().constData());
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(b->text(), QString::fromUtf8(captions[i])) << i;
        EXPECT_EQ(b->size(), QSize(75, 25)) << i;
    }
}

TEST_F(MsgDlgTest, NoButtonsAddOnlyTheMargin)
{
    dialog.SetButtons({});
    dialog.SetText("x");
    auto form = dialog.BuildDialog();
    EXPECT_TRUE(form->findChildren<QPushButton*>().isEmpty());
    EXPECT_EQ(form->height(), std::max(14 + iconSize, 14 + (32 - lineHeight) / 2 + lineHeight) + 14);
}

TEST_F(MsgDlgTest, GlyphsOnlyWhenAskedFor)
{
    dialog.SetShowGlyph(true);
    dialog.SetButtons({mbYes, mbNo});
    auto form = dialog.BuildDialog();
    EXPECT_FALSE(button(form.get(), "Btn1")->icon().isNull());
    EXPECT_FALSE(button(form.get(), "Btn2")->icon().isNull());
}

TEST_F(MsgDlgTest, CaptionAndIconFollowTheMessageType)
{
    QApplication::setApplicationDisplayName(QStringLiteral("Instalador"));
    struct Case {
        TMsgDlgType type;
        const char* caption;
        QStyle::StandardPixmap icon;
    };
    const Case cases[] = {
        {mtWarning, "Atenção", QStyle::SP_MessageBoxWarning},
        {mtError, "Erro", QStyle::SP_MessageBoxCritical},
        {mtInformation, "Informação", QStyle::SP_MessageBoxInformation},
        {mtConfirmation, "Confirmação", QStyle::SP_MessageBoxQuestion},
        {mtCustom, "Instalador", QStyle::SP_CustomBase},
    };
    for (const Case& c : cases) {
        dialog.SetMessageType(c.type);
        auto form = dialog.BuildDialog();
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8(c.caption));
        if (c.icon != QStyle::SP_CustomBase) {
            const QImage expected = QApplication::style()->standardIcon(c.icon).pixmap(iconSize, iconSize).toImage();
            EXPECT_EQ(form->findChild<QLabel*>("Image")->pixmap().toImage(), expected) << c.caption;
        }
    }
    dialog.SetTitle("Meu título");
    EXPECT_EQ(dialog.BuildDialog()->windowTitle(), "Meu título");
}

TEST_F(MsgDlgTest, TheDialogIsPaintedInItsColour)
{
    dialog.SetColor(RGBColor(245, 245, 245));
    dialog.SetText("<c:clBlue>M");
    auto form = dialog.BuildDialog();
    const QImage image = form->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2), QColor(245, 245, 245));
    // The label draws no background of its own.
    auto* label = form->findChild<TKqInternalLabel*>("Message");
    const QPoint corner = label->geometry().bottomRight();
    EXPECT_EQ(image.pixelColor(corner), QColor(245, 245, 245));
    EXPECT_TRUE(form->testAttribute(Qt::WA_QuitOnClose) == false);
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

// ----------------------------------------------------------------------------------------------------------------
// Results and keyboard, answered as a user would

TEST_F(MsgDlgTest, ConfirmationAnswers)
{
    struct Case {
        const char* what;
        std::function<void(ModalDialogHelper&)> answer;
        int result;
    };
    const Case cases[] = {
        {"Sim", [](ModalDialogHelper& a) { a.pressButton("&Sim"); }, mrYes},
        {"Não", [](ModalDialogHelper& a) { a.pressButton("&Não"); }, mrNo},
        {"Esc", [](ModalDialogHelper& a) { a.pressKey(Qt::Key_Escape); }, mrCancel},
        {"close box", [](ModalDialogHelper& a) { a.closeWindow(); }, mrCancel},
        {"Enter on the focused default Sim", [](ModalDialogHelper& a) { a.pressKey(Qt::Key_Return); }, mrYes},
        {"keypad Enter", [](ModalDialogHelper& a) { a.pressKey(Qt::Key_Enter); }, mrYes},
    };
    for (const Case& c : cases) {
        ModalDialogHelper answers;
        c.answer(answers);
        EXPECT_EQ(dialog.MsgConfirmation("Tem certeza?"), c.result) << c.what;
        ASSERT_EQ(answers.seen().size(), 1u) << c.what;
        EXPECT_EQ(answers.seen()[0].title, "Confirmação");
        EXPECT_EQ(answers.seen()[0].text, "Tem certeza?");
        EXPECT_EQ(answers.seen()[0].buttons, QStringList({"&Sim", QString::fromUtf8("&Não")}));
    }
}

TEST_F(MsgDlgTest, EscCancelsWhateverTheButtons)
{
    struct Case {
        const char* what;
        std::function<uint16_t()> show;
    };
    const Case cases[] = {
        {"MsgInformation", [this] { return dialog.MsgInformation("x"); }},
        {"MsgError", [this] { return dialog.MsgError("x"); }},
        {"MsgWarningEx", [this] { return dialog.MsgWarningEx("x"); }},
        {"no buttons", [this] { return dialog.MessageDlg("x", mtWarning, {}, 0); }},
    };
    for (const Case& c : cases) {
        ModalDialogHelper answers;
        answers.pressKey(Qt::Key_Escape);
        EXPECT_EQ(c.show(), mrCancel) << c.what;
    }
}

TEST_F(MsgDlgTest, InformationEnterPressesTheFocusedOkThatIsNotTheDefault)
{
    ModalDialogHelper answers;
    bool wasDefault = true;
    answers.pressKey(Qt::Key_Return, Qt::NoModifier, [&wasDefault](QWidget* window) {
        wasDefault = window->findChild<QPushButton*>("Btn3")->isDefault();
    });
    EXPECT_EQ(dialog.MsgInformation("Concluído"), mrOk);
    EXPECT_FALSE(wasDefault);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].focusName, "Btn3");
    EXPECT_EQ(answers.seen()[0].buttons, QStringList({"&OK"}));
}

TEST_F(MsgDlgTest, EnterPressesTheFocusedButtonRatherThanTheDefault)
{
    ModalDialogHelper answers;
    answers.act(
        [](QWidget* window) {
            window->findChild<QPushButton*>("Btn2")->setFocus();
            ModalDialogHelper::sendKey(window, Qt::Key_Return);
        },
        "focus Não, press Enter");
    EXPECT_EQ(dialog.MsgConfirmation("?"), mrNo);
}

TEST_F(MsgDlgTest, ConfirmationExAndWarningExOfferCancel)
{
    ModalDialogHelper answers;
    answers.pressButton("&Cancelar").pressButton("&Não");
    EXPECT_EQ(dialog.MsgConfirmationEx("?"), mrCancel);
    EXPECT_EQ(dialog.MsgWarningEx("!"), mrNo);
    ASSERT_EQ(answers.seen().size(), 2u);
    EXPECT_EQ(answers.seen()[0].buttons, QStringList({"&Sim", QString::fromUtf8("&Não"), "&Cancelar"}));
    EXPECT_EQ(answers.seen()[1].title, QString::fromUtf8("Atenção"));
}

TEST_F(MsgDlgTest, MessageDlgStoresItsArgumentsAndClearsTheTitle)
{
    dialog.SetTitle("Antes");
    ModalDialogHelper answers;
    answers.pressButton("&Repetir");
    EXPECT_EQ(dialog.MessageDlg("Tentar de novo?", mtError, {mbRetry, mbAbort}, 7), mrRetry);
    EXPECT_EQ(answers.seen().at(0).title, "Erro");
    EXPECT_EQ(dialog.Text(), "Tentar de novo?");
    EXPECT_EQ(dialog.MessageType(), mtError);
    EXPECT_EQ(dialog.Buttons(), TMsgDlgButtons({mbRetry, mbAbort}));
    EXPECT_EQ(dialog.HelpContext(), 7);
    EXPECT_TRUE(dialog.Title().empty());
}

TEST_F(MsgDlgTest, HelpKeepsTheDialogOpen)
{
    std::vector<int> helpAsked;
    dialog.OnHelp = [&helpAsked](int context) { helpAsked.push_back(context); };
    ModalDialogHelper answers;
    answers.pressButton("A&juda").pressButton("A&juda").pressButton("&OK");
    EXPECT_EQ(dialog.MessageDlg("Ajuda?", mtInformation, {mbOK, mbHelp}, 42), mrOk);
    EXPECT_EQ(helpAsked, std::vector<int>({42, 42}));
    EXPECT_EQ(answers.seen().size(), 3u);

    // Without a help context the button does nothing at all.
    helpAsked.clear();
    answers.pressButton("A&juda").pressButton("&OK");
    EXPECT_EQ(dialog.MessageDlg("Ajuda?", mtInformation, {mbOK, mbHelp}, 0), mrOk);
    EXPECT_TRUE(helpAsked.empty());
}

TEST_F(MsgDlgTest, CloseButtonAnswersClose)
{
    ModalDialogHelper answers;
    answers.pressButton("&Fechar");
    EXPECT_EQ(dialog.MessageDlg("x", mtWarning, {mbClose}, 0), mrClose);
}

TEST_F(MsgDlgTest, CustomCaptionsAnswerTheirIndex)
{
    struct Case {
        const char* what;
        std::function<void(ModalDialogHelper&)> answer;
        int result;
    };
    const Case cases[] = {
        {"first", [](ModalDialogHelper& a) { a.pressButton("Primeiro"); }, 1},
        {"second", [](ModalDialogHelper& a) { a.pressButton("Segundo"); }, 2},
        {"Esc", [](ModalDialogHelper& a) { a.pressKey(Qt::Key_Escape); }, 0},
        {"close box", [](ModalDialogHelper& a) { a.closeWindow(); }, 0},
    };
    for (const Case& c : cases) {
        ModalDialogHelper answers;
        c.answer(answers);
        EXPECT_EQ(dialog.MsgCustom("Escolha", mtConfirmation, {"Primeiro", "Segundo"}), c.result) << c.what;
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].buttons, QStringList({"Primeiro", "Segundo"})) << c.what;
        EXPECT_EQ(answers.seen()[0].title, QString::fromUtf8("Confirmação"));
    }
    EXPECT_EQ(dialog.Buttons(), TMsgDlgButtons({mbYes, mbNo}));
}

TEST_F(MsgDlgTest, CustomCaptionsWidenTheButtonsForGood)
{
    ModalDialogHelper answers;
    answers.pressButton("Ok");
    dialog.MsgCustom("x", mtCustom, {"Ok", "Não"});
    EXPECT_EQ(dialog.BtnWidth(), 75) << "short captions leave the width";

    const std::string wide = "Instalar em outra pasta agora";
    const int needed = QFontMetrics(font).horizontalAdvance(QString::fromStdString(wide)) + 12;
    ASSERT_GT(needed, 75);
    int shownWidth = 0;
    answers.pressButton(QString::fromStdString(wide), [&shownWidth](QWidget* window) {
        shownWidth = window->findChild<QPushButton*>("Btn1")->width();
    });
    EXPECT_EQ(dialog.MsgCustom("x", mtCustom, {"Ok", wide}), 2);
    EXPECT_EQ(dialog.BtnWidth(), needed);
    EXPECT_EQ(shownWidth, needed) << "every button gets the new width";
}

TEST_F(MsgDlgTest, CustomWithoutCaptionsEndsOnlyWithEscOrTheCloseBox)
{
    bool noButtons = false;
    ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Escape, Qt::NoModifier,
                     [&noButtons](QWidget* window) { noButtons = window->findChildren<QPushButton*>().isEmpty(); });
    EXPECT_EQ(dialog.MsgCustom("Só Esc", mtInformation, {}), 0);
    EXPECT_TRUE(noButtons);
    answers.pressKey(Qt::Key_Return).closeWindow();
    EXPECT_EQ(dialog.MsgCustom("Enter não fecha", mtInformation, {}), 0);
    EXPECT_EQ(answers.seen().size(), 3u) << "Enter left the dialog open for the close box";
}

TEST_F(MsgDlgTest, CustomCaptionsBeyondTheTwelfthHaveNoButton)
{
    std::vector<std::string> captions;
    for (int i = 1; i <= 14; ++i)
        captions.push_back("B" + std::to_string(i));
    int buttonCount = 0;
    ModalDialogHelper answers;
    answers.pressButton(
        "B12", [&buttonCount](QWidget* window) { buttonCount = int(window->findChildren<QPushButton*>().size()); });
    EXPECT_EQ(dialog.MsgCustom("Muitos", mtCustom, captions), 12);
    EXPECT_EQ(buttonCount, 12);
}

TEST_F(MsgDlgTest, PresetsPlayTheirSoundAndPutTheOldOneBack)
{
    RecordingPump pump;
    dialog.SetBeepSound(TKqBeepSound::bsAsterix);
    struct Case {
        const char* what;
        std::function<uint16_t()> show;
        uint32_t beep;
    };
    const Case cases[] = {
        {"MsgConfirmation", [this] { return dialog.MsgConfirmation("x"); }, 0x20},
        {"MsgConfirmationEx", [this] { return dialog.MsgConfirmationEx("x"); }, 0x20},
        {"MsgInformation", [this] { return dialog.MsgInformation("x"); }, 0x1},
        {"MsgError", [this] { return dialog.MsgError("x"); }, 0x10},
        {"MsgWarning", [this] { return dialog.MsgWarning("x"); }, 0x30},
        {"MsgWarningEx", [this] { return dialog.MsgWarningEx("x"); }, 0x30},
        {"Execute with the component's sound", [this] { return uint16_t(dialog.Execute()); }, 0x40},
        {"MsgCustom with the component's sound", [this] { return dialog.MsgCustom("x", mtCustom, {"A"}); }, 0x40},
    };
    for (const Case& c : cases) {
        pump.alerts.clear();
        ModalDialogHelper answers;
        answers.pressKey(Qt::Key_Escape);
        c.show();
        EXPECT_EQ(pump.alerts, std::vector<uint32_t>({c.beep})) << c.what;
        EXPECT_EQ(dialog.BeepSound(), TKqBeepSound::bsAsterix) << c.what;
    }
    pump.alerts.clear();
    dialog.SetBeepSound(TKqBeepSound::bsNone);
    ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Escape);
    dialog.Execute();
    EXPECT_TRUE(pump.alerts.empty());
}

TEST_F(MsgDlgTest, PlacementCentresOrUsesThePosition)
{
    QPoint centred, placed;
    QSize size;
    ModalDialogHelper answers;
    answers
        .pressButton("&OK",
                     [&](QWidget* window) {
                         centred = window->pos();
                         size = window->size();
                     })
        .pressButton("&OK", [&](QWidget* window) { placed = window->pos(); });
    dialog.MsgWarning("centred");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(centred, QPoint(screen.x() + (screen.width() - size.width()) / 2,
                              screen.y() + (screen.height() - size.height()) / 2));
    dialog.SetStyle(TKqMsgDlgStyle::msPosition);
    dialog.SetPosLeft(37);
    dialog.SetPosTop(53);
    dialog.MsgWarning("placed");
    EXPECT_EQ(placed, QPoint(37, 53));
}

TEST_F(MsgDlgTest, OnShowGetsTheWindow)
{
    QWidget* sender = nullptr;
    QString senderTitle;
    dialog.OnShow = [&](QWidget* window) {
        sender = window;
        senderTitle = window->windowTitle();
    };
    QWidget* answered = nullptr;
    ModalDialogHelper answers;
    answers.pressButton("&OK", [&answered](QWidget* window) { answered = window; });
    dialog.MsgError("x");
    EXPECT_NE(sender, nullptr);
    EXPECT_EQ(sender, answered);
    EXPECT_EQ(senderTitle, "Erro");
}

// ----------------------------------------------------------------------------------------------------------------
// The timed message

class MsgTimeTest : public MsgDlgTest {
protected:
    void SetUp() override
    {
        MsgDlgTest::SetUp();
        dialog.SetCountdownInterval(60);
    }

    static TKqMsgDlgForm* timedWindow()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TKqMsgDlgForm*>(widget); form && form->Counting())
                return form;
        return nullptr;
    }

    // Runs the events until the timed window is destroyed; returns the captions it went through.
    static QStringList runCountdown(TKqMsgDlgForm* window)
    {
        QStringList captions;
        QObject::connect(window, &QWidget::windowTitleChanged, [&captions](const QString& t) { captions << t; });
        QPointer<TKqMsgDlgForm> guard(window);
        EXPECT_TRUE(QTest::qWaitFor([&guard] { return guard.isNull(); }, 5000));
        return captions;
    }
};

TEST_F(MsgTimeTest, ReturnsAtOnceAndCountsDownInTheCaption)
{
    EXPECT_EQ(dialog.MsgTime("Aguarde", 3), 0);
    EXPECT_TRUE(dialog.TimerMsg());
    TKqMsgDlgForm* window = timedWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Informação"));
    EXPECT_TRUE(window->findChildren<QPushButton*>().isEmpty());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));

    const QStringList captions = runCountdown(window);
    EXPECT_EQ(captions, QStringList({QString::fromUtf8("Informação - 2s"), QString::fromUtf8("Informação - 1s"),
                                     QString::fromUtf8("Informação - 0s")}));
    EXPECT_FALSE(dialog.TimerMsg());
    EXPECT_EQ(timedWindow(), nullptr);
}

TEST_F(MsgTimeTest, EnterHidesItEarlyAndTheCountdownRunsOn)
{
    dialog.MsgTime("Aguarde", 2);
    TKqMsgDlgForm* window = timedWindow();
    ASSERT_NE(window, nullptr);
    ModalDialogHelper::sendKey(window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialog.TimerMsg());
    EXPECT_EQ(runCountdown(window).size(), 2);
    EXPECT_FALSE(dialog.TimerMsg());
}

TEST_F(MsgTimeTest, EscAndTheCloseBoxDoNothing)
{
    dialog.MsgTime("Aguarde", 2);
    TKqMsgDlgForm* window = timedWindow();
    ASSERT_NE(window, nullptr);
    ModalDialogHelper::sendKey(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    ModalDialogHelper::closeLikeCloseBox(window);
    EXPECT_TRUE(window->isVisible());
    runCountdown(window);
}

TEST_F(MsgTimeTest, OtherMessagesAreTimedWhileTheCountdownRuns)
{
    dialog.MsgTime("Primeira", 2);
    TKqMsgDlgForm* first = timedWindow();
    ASSERT_NE(first, nullptr);
    // No answer is queued: the warning must not wait for one.
    EXPECT_EQ(dialog.MsgWarning("Segunda"), 0);
    TKqMsgDlgForm* second = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TKqMsgDlgForm*>(widget); form && form != first && form->Counting())
            second = form;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->windowTitle(), QString::fromUtf8("Atenção"));
    EXPECT_FALSE(second->isModal());

    // MsgCustom stays modal; Enter closes it while the countdown runs, which answers 0.
    ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Return);
    EXPECT_EQ(dialog.MsgCustom("Terceira", mtCustom, {"A", "B"}), 0);

    QPointer<TKqMsgDlgForm> firstGuard(first), secondGuard(second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstGuard.isNull() && secondGuard.isNull(); }, 5000));
    EXPECT_FALSE(dialog.TimerMsg());
    answers.pressButton("&OK");
    EXPECT_EQ(dialog.MsgWarning("Modal de novo"), mrOk);
}

TEST_F(MsgTimeTest, TheCountdownOutlivesTheComponent)
{
    auto owned = std::make_unique<TKqMsgDlg>();
    owned->SetCountdownInterval(60);
    owned->MsgTime("x", 2);
    TKqMsgDlgForm* window = timedWindow();
    ASSERT_NE(window, nullptr);
    owned.reset();
    EXPECT_EQ(runCountdown(window).size(), 2);
}

// ----------------------------------------------------------------------------------------------------------------
// Scaling after loading

TEST_F(MsgDlgTest, ScalingRoundsHalvesToEven)
{
    struct Case {
        int pixelsPerInch;
        int space, width, height, indent, buttonPoints, messagePixels;
    };
    const Case cases[] = {
        {144, 22, 112, 38, 21, 14, 18}, // 22.5, 112.5, 37.5 → even; 9 pt → 13.5 → 14
        {120, 19, 94, 31, 18, 11, 15},  // 18.75, 93.75, 31.25, 17.5 → 18; 11.25; 15
        {96, 15, 75, 25, 14, 9, 12},    // unchanged
        {0, 15, 75, 25, 14, 9, 12},     // no value: unchanged
        {-10, 15, 75, 25, 14, 9, 12},
    };
    for (const Case& c : cases) {
        TKqMsgDlg scaled;
        QFont points(QStringLiteral("DejaVu Sans"));
        points.setPointSize(9);
        scaled.SetButtonFont(points);
        scaled.SetMessageFont(test::testFont(12));
        scaled.ScaleForPixelsPerInch(c.pixelsPerInch);
        EXPECT_EQ(scaled.BtnSpace(), c.space) << c.pixelsPerInch;
        EXPECT_EQ(scaled.BtnWidth(), c.width) << c.pixelsPerInch;
        EXPECT_EQ(scaled.BtnHeight(), c.height) << c.pixelsPerInch;
        EXPECT_EQ(scaled.Indent(), c.indent) << c.pixelsPerInch;
        EXPECT_EQ(scaled.ButtonFont().pointSize(), c.buttonPoints) << c.pixelsPerInch;
        EXPECT_EQ(scaled.MessageFont().pixelSize(), c.messagePixels) << c.pixelsPerInch;
    }
}

TEST_F(MsgDlgTest, LoadedUsesTheScreensLogicalDpi)
{
    const int dpi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    TKqMsgDlg loaded, expected;
    loaded.SetBtnWidth(85);
    expected.SetBtnWidth(85);
    loaded.Loaded();
    expected.ScaleForPixelsPerInch(dpi);
    EXPECT_EQ(loaded.BtnWidth(), expected.BtnWidth());
    EXPECT_EQ(loaded.Indent(), expected.Indent());
}

} // namespace
} // namespace tarvix
