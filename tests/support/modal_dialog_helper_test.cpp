#include "tests/support/modal_dialog_helper.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvix::test {
namespace {

using namespace std::chrono_literals;

// A dialog with a label and two buttons that records how it was closed.
class SampleDialog : public QDialog {
public:
    explicit SampleDialog(const QString& title)
    {
        setWindowTitle(title);
        setObjectName(QStringLiteral("Sample"));
        auto* label = new QLabel(QStringLiteral("Line one\nLine two"), this);
        label->move(10, 10);
        auto* yes = new QPushButton(QStringLiteral("&Yes"), this);
        yes->setObjectName(QStringLiteral("YesButton"));
        yes->move(10, 60);
        auto* no = new QPushButton(QStringLiteral("&No"), this);
        no->setObjectName(QStringLiteral("NoButton"));
        no->move(100, 60);
        connect(yes, &QPushButton::clicked, this, [this] { done(6); });
        connect(no, &QPushButton::clicked, this, [this] { done(7); });
        no->setFocus();
    }
    bool spontaneousClose = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        spontaneousClose = event->spontaneous();
        QDialog::closeEvent(event);
    }
};

class ModalDialogHelperTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qtApplication(); }
};

TEST_F(ModalDialogHelperTest, PressesButtonsByCaptionOrNameAndRecordsTheWindow)
{
    ModalDialogHelper answers;
    answers.pressButton(QStringLiteral("&Yes")).pressButton(QStringLiteral("NoButton"));
    SampleDialog first(QStringLiteral("First"));
    EXPECT_EQ(first.exec(), 6);
    SampleDialog second(QStringLiteral("Second"));
    EXPECT_EQ(second.exec(), 7);

    ASSERT_EQ(answers.seen().size(), 2u);
    const ModalDialogSeen& seen = answers.seen()[0];
    EXPECT_EQ(seen.title, "First");
    EXPECT_EQ(seen.text, "Line one\nLine two");
    EXPECT_EQ(seen.buttons, QStringList({"&Yes", "&No"}));
    EXPECT_EQ(seen.objectName, "Sample");
    EXPECT_EQ(seen.focusName, "NoButton");
    EXPECT_EQ(answers.seen()[1].title, "Second");
    EXPECT_EQ(answers.pending(), 0u);
}

TEST_F(ModalDialogHelperTest, KeysGoToTheFocusedWidgetAndTheCloseBoxSendsASpontaneousClose)
{
    ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Escape);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Box"), QStringLiteral("Text?"),
                    QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_EQ(box.exec(), QMessageBox::Cancel);

    SampleDialog dialog(QStringLiteral("Closed"));
    answers.closeWindow();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(dialog.spontaneousClose);

    answers.pressKey(Qt::Key_Space); // the focused "&No"
    SampleDialog spaced(QStringLiteral("Space"));
    EXPECT_EQ(spaced.exec(), 7);
}

TEST_F(ModalDialogHelperTest, InspectRunsWhileTheWindowIsShown)
{
    ModalDialogHelper answers;
    bool visible = false;
    answers.pressButton(QStringLiteral("&Yes"), [&visible](QWidget* window) { visible = window->isVisible(); });
    SampleDialog dialog(QStringLiteral("Inspected"));
    EXPECT_EQ(dialog.exec(), 6);
    EXPECT_TRUE(visible);
}

TEST_F(ModalDialogHelperTest, AMissingButtonIsAnErrorAndTheWindowIsClosedInsteadOfHanging)
{
    ModalDialogHelper answers(200ms);
    answers.pressButton(QStringLiteral("&Maybe"));
    SampleDialog dialog(QStringLiteral("No such button"));
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    const QStringList errors = answers.takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("&Maybe")) << errors[0].toStdString();
}

TEST_F(ModalDialogHelperTest, AnAnswerWhoseWindowNeverAppearsIsAnErrorAfterTheWait)
{
    ModalDialogHelper answers(100ms);
    answers.pressButton(QStringLiteral("&Yes"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.pending() == 0; }, 3000));
    const QStringList errors = answers.takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("no modal window")) << errors[0].toStdString();
    EXPECT_TRUE(answers.seen().empty());
}

TEST_F(ModalDialogHelperTest, AModalWindowNobodyAnswersIsClosedAfterTheWait)
{
    ModalDialogHelper answers(150ms);
    SampleDialog dialog(QStringLiteral("Unexpected"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_GE(clock.elapsed(), 150);
    const QStringList errors = answers.takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("Unexpected")) << errors[0].toStdString();
}

} // namespace
} // namespace tarvix::test
