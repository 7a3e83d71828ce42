#include "installer/application.h"

#include <QMessageBox>

#include <exception>

namespace tarvix {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationDisplayName(QStringLiteral("Tarvix Library"));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Erro desconhecido."));
    }
    return false;
}

void TApplication::ShowException(const QString& texto)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), texto);
}

} // namespace tarvix
