// Qt test support: the shared QApplication of the GUI tests, a fixed test font, and the helper that answers
// modal dialogs while the code under test waits in them.
//
//   tarvix::test::ModalDialogHelper answers;
//   answers.pressButton("&Sim");                  // queue the answer first ...
//   EXPECT_EQ(dialog.MsgConfirmation("..."), 6);  // ... then open the dialog
//   EXPECT_EQ(answers.seen().at(0).title, "Confirmação");
//
// Each queued answer waits (polling from a zero-length timer, then every few milliseconds) for a modal window,
// records its title, texts and buttons, and then acts on it; a window that the action opens (a question behind
// a button) gets the next answer while the action waits in it. An answer that finds no modal window within the
// wait, a button that does not exist, or a modal window that nobody answers within the wait is an error: the
// helper closes such a window so that the test goes on instead of hanging, and reports every error (and every
// answer never used) as a test failure when it is destroyed.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

class QAbstractButton;
class QApplication;
class QWidget;

namespace tarvix::test {

// The QApplication of the test process (created on first use on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise). It is deliberately never destroyed.
QApplication& qtApplication();

// "DejaVu Sans" at a pixel size, so that measured text does not depend on the machine's default font. Without
// antialiasing the glyphs are drawn in the exact pen colour, which pixel checks rely on.
QFont testFont(int pixelSize = 12, bool antialias = true);
// The same font in bold.
QFont boldFont(QFont font);
// Width of a text drawn one character at a time (no kerning between them), as the markup renderer draws it: the
// oracle that measurements are checked against.
int perCharacterAdvance(const QFont& font, const QString& text);

// What an answer saw of the window it answered.
struct ModalDialogSeen {
    QString title;
    QString text;        // the texts of the window's labels, in creation order, joined by "\n"
    QStringList buttons; // the captions of its buttons, in creation order
    QString className;
    QString objectName;
    QString focusName; // object name of the widget that had the focus
};

class ModalDialogHelper {
public:
    using Inspect = std::function<void(QWidget* window)>;

    explicit ModalDialogHelper(std::chrono::milliseconds wait = std::chrono::milliseconds(5000));
    // Reports errors and unused answers as test failures.
    ~ModalDialogHelper();
    ModalDialogHelper(const ModalDialogHelper&) = delete;
    ModalDialogHelper& operator=(const ModalDialogHelper&) = delete;

    // Queue answers; each answers the next modal window, in order. `inspect`, when given, is called with the
    // window after it has been recorded and before the answer acts (for checks while the window is shown).
    // Presses the button whose caption or object name is `textOrName`.
    ModalDialogHelper& pressButton(const QString& textOrName, Inspect inspect = {});
    // Presses a key (Qt::Key_Escape, Qt::Key_Return, ...) on the widget that has the focus in the window.
    ModalDialogHelper& pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, Inspect inspect = {});
    // Closes the window the way its close box does.
    ModalDialogHelper& closeWindow(Inspect inspect = {});
    // Anything else; the action must end the modal state itself.
    ModalDialogHelper& act(std::function<void(QWidget* window)> action, QString description);

    // The windows answered so far, in order.
    const std::vector<ModalDialogSeen>& seen() const { return seen_; }
    // Answers not yet used.
    std::size_t pending() const { return answers_.size(); }
    // The errors so far; taking them clears them (so they are not reported as failures).
    const QStringList& errors() const { return errors_; }
    QStringList takeErrors();

    // Presses a key on a window's focused widget, or on the window itself when nothing has the focus.
    static void sendKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Delivers the close request of the window's close box.
    static void closeLikeCloseBox(QWidget* window);
    // The button of a window with that caption or object name, or nullptr.
    static QAbstractButton* findButton(QWidget* window, const QString& textOrName);

private:
    struct Answer {
        QString description;
        std::function<bool(QWidget*, QString& error)> action;
        Inspect inspect;
    };

    ModalDialogHelper& enqueue(Answer answer);
    void poll();
    void schedule(int milliseconds);
    void abandon(QWidget* window);

    std::chrono::milliseconds wait_;
    std::deque<Answer> answers_;
    std::vector<ModalDialogSeen> seen_;
    QStringList errors_;
    QTimer timer_;
    QElapsedTimer waiting_;        // since the first queued answer began to wait
    QPointer<QWidget> unanswered_; // a modal window that appeared while nothing was queued
    QElapsedTimer unansweredSince_;
};

} // namespace tarvix::test
