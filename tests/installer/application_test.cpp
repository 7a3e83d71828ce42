// The application's top-level error handler: an error that escapes an event handler is shown in a standard
// error box, and the application goes on.
#include "installer/application.h"

#include <QEvent>
#include <QMessageBox>

#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/installer/installer_application.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

// Raises an error for its first `failures` events of the user type, then counts the rest.
class Failing : public QObject {
public:
    int failures = 1;
    int handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        if (failures > 0) {
            --failures;
            throw std::runtime_error("Falha ao registrar o package: arquivo não encontrado.");
        }
        ++handled;
        return true;
    }
};

TEST(Application, AnUncaughtErrorIsShownAndTheApplicationGoesOn)
{
    test::InstallerApplication();
    test::ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Return, Qt::NoModifier, [](QWidget* w) {
        EXPECT_NE(qobject_cast<QMessageBox*>(w), nullptr);
        EXPECT_EQ(qobject_cast<QMessageBox*>(w)->icon(), QMessageBox::Critical);
    });

    Failing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Tarvix Library");
    EXPECT_TRUE(answers.seen()[0].text.contains("Falha ao registrar o package: arquivo não encontrado."))
        << answers.seen()[0].text.toStdString();
    // The event after the failing one was delivered as usual.
    EXPECT_EQ(target.handled, 1);
    EXPECT_EQ(target.failures, 0);

    // A direct send reports the failure as an unhandled event.
    answers.pressKey(Qt::Key_Return);
    target.failures = 1;
    QEvent direct(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &direct));
    EXPECT_EQ(answers.seen().size(), 2u);
}

} // namespace
} // namespace tarvix
