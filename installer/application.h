// The installer's application object. Its event delivery is the top-level error handler: an error that no event
// handler caught is shown with its text in a standard error box, and the application goes on with the next
// event.
#pragma once

#include <QApplication>
#include <QString>

namespace tarvix {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an error that reached the top: a critical message box titled with the application's
    // display name, over the active window.
    static void ShowException(const QString& texto);
};

} // namespace tarvix
