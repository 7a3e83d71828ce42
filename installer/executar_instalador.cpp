#include "installer/executar_instalador.h"

#include <QByteArray>

#include <exception>
#include <memory>

#include "installer/application.h"
#include "installer/demo_autowalk.h"
#include "installer/frm_main.h"

namespace tarvix {

namespace {

int Executar(const std::string& executavel)
{
    // The main window is a top-level window without an owner, so it is the one the task bar shows; closing it
    // ends the application. It lives on this stack until the loop has ended, so no step that is still
    // unwinding after the close finds it gone.
    TFrmMain janela(executavel);

    // The demo walks the wizard by itself where there is no display to show it on.
    std::unique_ptr<TDemoAutoWalk> walk;
    if (const QByteArray pasta = qgetenv("TARVIX_DEMO_AUTOWALK"); !pasta.isEmpty()) {
        walk = std::make_unique<TDemoAutoWalk>(janela, QString::fromLocal8Bit(pasta));
        walk->Iniciar();
    }

    janela.show();
    const int resultado = TApplication::exec();
    return walk ? walk->Concluir() : resultado;
}

} // namespace

int ExecutarInstalador(const std::string& executavel)
{
    // Errors inside the message loop are the application's to show (TApplication::notify); what is left is the
    // window's creation, before any loop runs.
    try {
        return Executar(executavel);
    } catch (const std::exception& e) {
        TApplication::ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        TApplication::ShowException(QStringLiteral("Erro desconhecido."));
    }
    return 1;
}

} // namespace tarvix
