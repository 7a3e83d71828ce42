#include "tests/support/modal_dialog_helper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

namespace tarvix::test {
namespace {

// Polling interval once the first, zero-length attempt found no modal window.
constexpr int retryMs = 10;
// Polling interval while no answer is queued (watching for windows nobody answers).
constexpr int idleMs = 25;

ModalDialogSeen record(QWidget* window)
{
    ModalDialogSeen seen;
    seen.title = window->windowTitle();
    seen.className = QString::fromLatin1(window->metaObject()->className());
    seen.objectName = window->objectName();
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    seen.text = texts.join(u'\n');
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        seen.buttons << button->text();
    if (QWidget* focus = window->focusWidget())
        seen.focusName = focus->objectName();
    return seen;
}

} // namespace

QApplication& qtApplication()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *app;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarvix-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: windows a test leaves behind must not outlive the application object.
    return *new QApplication(argc, argv);
}

QFont testFont(int pixelSize, bool antialias)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(antialias ? QFont::PreferDefault : QFont::NoAntialias);
    return font;
}

QFont boldFont(QFont font)
{
    font.setBold(true);
    return font;
}

int perCharacterAdvance(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    int width = 0;
    for (QChar c : text)
        width += metrics.horizontalAdvance(c);
    return width;
}

ModalDialogHelper::ModalDialogHelper(std::chrono::milliseconds wait) : wait_(wait)
{
    qtApplication();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    schedule(idleMs);
}

ModalDialogHelper::~ModalDialogHelper()
{
    timer_.stop();
    for (const QString& error : errors_)
        ADD_FAILURE() << "modal dialog helper: " << error.toStdString();
    for (const Answer& answer : answers_)
        ADD_FAILURE() << "modal dialog helper: answer never used: " << answer.description.toStdString();
}

QStringList ModalDialogHelper::takeErrors()
{
    QStringList taken;
    taken.swap(errors_);
    return taken;
}

ModalDialogHelper& ModalDialogHelper::pressButton(const QString& textOrName, Inspect inspect)
{
    return enqueue({QStringLiteral("press button \"%1\"").arg(textOrName),
                    [textOrName](QWidget* window, QString& error) {
                        QAbstractButton* button = findButton(window, textOrName);
                        if (!button) {
                            error = QStringLiteral("no button \"%1\" in \"%2\"").arg(textOrName, window->windowTitle());
                            return false;
                        }
                        button->click();
                        return true;
                    },
                    std::move(inspect)});
}

ModalDialogHelper& ModalDialogHelper::pressKey(int key, Qt::KeyboardModifiers modifiers, Inspect inspect)
{
    return enqueue({QStringLiteral("press key 0x%1").arg(key, 0, 16),
                    [key, modifiers](QWidget* window, QString&) {
                        sendKey(window, key, modifiers);
                        return true;
                    },
                    std::move(inspect)});
}

ModalDialogHelper& ModalDialogHelper::closeWindow(Inspect inspect)
{
    return enqueue({QStringLiteral("close the window"),
                    [](QWidget* window, QString&) {
                        closeLikeCloseBox(window);
                        return true;
                    },
                    std::move(inspect)});
}

ModalDialogHelper& ModalDialogHelper::act(std::function<void(QWidget*)> action, QString description)
{
    return enqueue({std::move(description),
                    [action = std::move(action)](QWidget* window, QString&) {
                        action(window);
                        return true;
                    },
                    {}});
}

void ModalDialogHelper::sendKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = window->focusWidget();
    if (!target || target->window() != window)
        target = window;
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

void ModalDialogHelper::closeLikeCloseBox(QWidget* window)
{
    // A window with a native counterpart gets the close request the window system sends for the close box: a
    // spontaneous close event on the native window, which hands it to the widget.
    if (QWindow* handle = window->windowHandle()) {
        QCloseEvent event;
        QSpontaneKeyEvent::setSpontaneous(&event);
        QCoreApplication::sendEvent(handle, &event);
    } else {
        window->close();
    }
}

QAbstractButton* ModalDialogHelper::findButton(QWidget* window, const QString& textOrName)
{
    const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons)
        if (button->text() == textOrName && button->isVisible())
            return button;
    for (QAbstractButton* button : buttons)
        if (button->objectName() == textOrName)
            return button;
    return nullptr;
}

ModalDialogHelper& ModalDialogHelper::enqueue(Answer answer)
{
    if (answers_.empty())
        waiting_.start();
    answers_.push_back(std::move(answer));
    schedule(0);
    return *this;
}

void ModalDialogHelper::schedule(int milliseconds)
{
    timer_.start(milliseconds);
}

void ModalDialogHelper::abandon(QWidget* window)
{
    // Whatever the window does with a close request, it must stop being modal so the test goes on.
    QPointer<QWidget> guard(window);
    closeLikeCloseBox(window);
    if (guard && guard->isVisible()) {
        if (auto* dialog = qobject_cast<QDialog*>(guard.data()))
            dialog->done(QDialog::Rejected);
        else
            guard->hide();
    }
}

void ModalDialogHelper::poll()
{
    QWidget* window = QApplication::activeModalWidget();

    if (answers_.empty()) {
        // Nobody expects this window: give the test the wait to answer it some other way, then close it.
        if (window && window != unanswered_.data()) {
            unanswered_ = window;
            unansweredSince_.start();
        } else if (!window) {
            unanswered_ = nullptr;
        } else if (unansweredSince_.hasExpired(wait_.count())) {
            errors_ << QStringLiteral("modal window \"%1\" appeared with no answer queued").arg(window->windowTitle());
            unanswered_ = nullptr;
            abandon(window);
        }
        schedule(idleMs);
        return;
    }

    if (!window) {
        if (waiting_.hasExpired(wait_.count())) {
            errors_ << QStringLiteral("no modal window appeared within %1 ms for: %2")
                           .arg(wait_.count())
                           .arg(answers_.front().description);
            answers_.pop_front();
            waiting_.start();
        }
        schedule(answers_.empty() ? idleMs : retryMs);
        return;
    }

    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    seen_.push_back(record(window));
    QPointer<QWidget> guard(window);
    if (answer.inspect)
        answer.inspect(window);
    // An action may open another modal window (a button that asks a question) and wait in it: the next answer
    // must be able to come while the action has not returned yet.
    waiting_.start();
    schedule(answers_.empty() ? idleMs : 0);
    QString error;
    if (guard && !answer.action(guard.data(), error)) {
        errors_ << error;
        if (guard)
            abandon(guard.data());
    }
    waiting_.start();
    schedule(answers_.empty() ? idleMs : 0);
}

} // namespace tarvix::test
